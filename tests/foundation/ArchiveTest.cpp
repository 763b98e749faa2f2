#include "foundation/ArchiveFixture.h"
#include "foundation/kcArchive.h"
#include "foundation/kcBigFile.h"
#include "foundation/kcProtect.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <memory>

namespace {
const std::string kKey = "fixture key";

class ArchiveTest : public ::testing::TestWithParam<bool> {
protected:
    std::string Key() const { return GetParam() ? kKey : std::string(); }
    TempDir dir;
};
} // namespace

// Every start and length inside members around the 8-byte block edges delivers exactly the
// member's bytes: head, middle and tail of enciphered reading, and the plain last bytes.
TEST_P(ArchiveTest, EveryPositionAndLengthReadsTheMembersBytes)
{
    std::vector<FixtureMember> members;
    for (int size : {1, 7, 8, 9, 15, 16, 17, 33}) members.push_back({L"M" + std::to_wstring(size), PatternBytes(size, size)});
    std::unique_ptr<kcArchive> archive(LoadFixtureArchive(dir.File(L"a.arc"), members, Key()));
    for (const FixtureMember& m : members) {
        int size = (int)m.data.size();
        for (int pos = 0; pos < size; pos++) {
            for (int n = 1; n <= size + 2; n++) {
                kcArchiveEntryHandle* h = archive->OpenEntry(m.name.c_str());
                ASSERT_EQ((uint32_t)pos, archive->SeekEntry(h, pos, 0));
                char buf[64];
                std::memset(buf, 0x5A, sizeof buf);
                int expect = std::min(n, size - pos);
                ASSERT_EQ(expect, archive->ReadEntry(h, buf, n)) << size << " " << pos << " " << n;
                ASSERT_EQ(m.data.substr(pos, expect), std::string(buf, expect)) << size << " " << pos << " " << n;
                ASSERT_EQ('\x5A', buf[expect]); // nothing written past what was delivered
                EXPECT_EQ((uint32_t)(pos + expect), archive->GetEntryPosition(h));
                if (pos + expect == size) EXPECT_EQ(0, archive->ReadEntry(h, buf, n));
                archive->CloseEntry(h);
            }
        }
    }
}

// An empty member behind the archive's last byte: any byte read would lie past the end.
TEST_P(ArchiveTest, EmptyMemberReadsAndSeeksNothing)
{
    std::wstring path = dir.File(L"a.arc");
    WriteFixtureArchive(path, {{L"data", PatternBytes(16, 1)}}, Key());
    kcArchive archive;
    ASSERT_EQ(1, archive.Attach(path.c_str(), 2));
    ASSERT_EQ(1, archive.AddMember(L"empty", {13 + 16 + 8, 0, 0}));
    if (GetParam()) archive.SetKey(kKey.data(), (int)kKey.size());
    kcArchiveEntryHandle* h = archive.OpenEntry(L"EMPTY");
    ASSERT_NE(KCARCHIVE_NO_ENTRY, h);
    char buf[8] = "xxxxxxx";
    EXPECT_EQ(0u, archive.SeekEntry(h, 5, 0));
    EXPECT_EQ(0u, archive.SeekEntry(h, 5, 1));
    EXPECT_EQ(0, archive.ReadEntry(h, buf, 8));
    EXPECT_EQ('x', buf[0]);
}

INSTANTIATE_TEST_SUITE_P(PlainAndEnciphered, ArchiveTest, ::testing::Bool());

TEST(Archive, NamesSeeksAndTheHandleTable)
{
    LogCapture log;
    TempDir dir;
    std::unique_ptr<kcArchive> archive(
        LoadFixtureArchive(dir.File(L"Game.ARC"), {{L"Data\\One.txt", PatternBytes(100, 2)}}, kKey, 2));
    EXPECT_EQ(1, archive->Contains(L"data\\one.TXT")); // names are found in upper case
    kcArchiveIndexEntry e = {};
    EXPECT_EQ(1, archive->LookupEntry(L"DATA\\ONE.TXT", &e));
    EXPECT_EQ(100u, e.size);
    kcArchiveEntryHandle* h = archive->OpenEntry(L"data\\one.txt");
    wchar_t out[260];
    EXPECT_STREQ(L"data\\one.txt", archive->GetEntryName(h, out)); // the handle keeps the given name
    EXPECT_EQ(100u, h->extra);
    EXPECT_STREQ(L"Game.ARC", archive->GetName(out));

    // Seeks clamp to the last byte and report the distance.
    EXPECT_EQ(99u, archive->SeekEntry(h, 200, 0));
    EXPECT_EQ(40u, archive->SeekEntry(h, 40, 0));
    EXPECT_EQ(10u, archive->SeekEntry(h, 10, 1));
    EXPECT_EQ(49u, archive->SeekEntry(h, 1000, 1)); // (size - 1) - base
    char buf[200];
    EXPECT_EQ(1, archive->ReadEntry(h, buf, 200));
    EXPECT_EQ(0, archive->ReadEntry(h, nullptr, 4));
    EXPECT_EQ(0u, archive->SeekEntry(h, 1, 2));
    EXPECT_EQ(0, archive->ReadEntry(h, buf, -5));

    // The handle table runs out with an assertion and recovers.
    kcArchiveEntryHandle* b = archive->OpenEntry(L"data\\one.txt");
    EXPECT_EQ(KCARCHIVE_NO_ENTRY, archive->OpenEntry(L"data\\one.txt"));
    EXPECT_EQ(1, archive->CloseEntry(b));
    EXPECT_EQ(0, archive->CloseEntry(b)); // already free
    EXPECT_EQ(b, archive->FindFreeEntry());
    EXPECT_EQ(KCARCHIVE_NO_ENTRY, archive->OpenEntry(L"missing"));
    const std::vector<std::string> asserts = {Sjis(u8"読み込み先バッファが指定されていません"),
                                              Sjis(u8"ファイルポインタ移動タイプが不正です"),
                                              Sjis(u8"同時にオープンできるファイル数を超えています (MAX:2) : data\\one.txt")};
    ASSERT_EQ(3u, log.Asserts().size());
    for (int i = 0; i < 3; i++) EXPECT_NE(std::string::npos, log.Asserts()[i].find(asserts[i])) << i;

    // Handles that are none, free or of an unloaded archive give zero.
    kcArchive unloaded;
    kcArchiveEntryHandle free = {};
    EXPECT_EQ(KCARCHIVE_NO_ENTRY, unloaded.OpenEntry(L"m"));
    for (kcArchiveEntryHandle* x : {(kcArchiveEntryHandle*)nullptr, KCARCHIVE_NO_ENTRY, &free}) {
        EXPECT_EQ(0, unloaded.ReadEntry(x, buf, 4));
        EXPECT_EQ(0u, unloaded.SeekEntry(x, 1, 0));
        EXPECT_EQ(0, unloaded.CloseEntry(x));
    }
}

// The index is not trusted: members that would reach past the archive's end are refused,
// also when offset + size wraps in 32 bits; so are keys of length 0.
TEST(Archive, IndexEntriesOutsideTheFileAreRefused)
{
    TempDir dir;
    std::wstring path = dir.File(L"a.arc");
    WriteBytes(path, std::string(64, 'z'));
    kcArchive archive;
    kcArchiveIndexEntry inside = {60, 4, 0};
    EXPECT_EQ(0, archive.AddMember(L"early", inside)); // not attached yet
    ASSERT_EQ(1, archive.Attach(path.c_str(), 1));
    // A second attach of either form is refused and changes nothing.
    EXPECT_EQ(0, archive.Attach(path.c_str(), 1));
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(0, archive.Attach(other, L"other.arc", 1));
    EXPECT_TRUE(CloseHandle(other)); // left to the caller
    EXPECT_STREQ(L"a.arc", archive.GetName(nullptr));
    EXPECT_EQ(1, archive.AddMember(L"inside", inside));
    EXPECT_EQ(0, archive.AddMember(L"pastEnd", {60, 5, 0}));
    EXPECT_EQ(0, archive.AddMember(L"wraps", {0xFFFFFFF0u, 0x20, 0}));
    EXPECT_EQ(0, archive.AddMember(L"", inside));
    EXPECT_EQ(0, archive.AddMember(std::wstring(260, L'n').c_str(), inside));
    EXPECT_EQ(0, archive.Contains(L"pastEnd"));
    EXPECT_EQ(0, archive.SetKey("", 0));
}

// A failed read of the archive file (cut short behind the archive's back) is reported and
// returns -1, leaving the position alone; the process goes on.
TEST(Archive, RefusedReadReturnsMinusOne)
{
    LogCapture log;
    TempDir dir;
    std::wstring path = dir.File(L"a.arc");
    const std::string data = PatternBytes(40, 4);
    std::vector<kcArchiveIndexEntry> index = WriteFixtureArchive(path, {{L"m", data}}, kKey);
    std::string whole;
    ASSERT_TRUE(ReadBytes(path, &whole));
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    kcArchive archive;
    ASSERT_EQ(1, archive.Attach(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr), L"a.arc", 1));
    ASSERT_EQ(1, archive.AddMember(L"m", index[0]));
    ASSERT_EQ(1, archive.SetKey(kKey.data(), (int)kKey.size()));
    kcArchiveEntryHandle* h = archive.OpenEntry(L"m");
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER at = {};
    at.QuadPart = 20;
    ASSERT_TRUE(SetFilePointerEx(writer, at, nullptr, FILE_BEGIN) && SetEndOfFile(writer));
    char buf[40];
    for (int pos : {0, 3, 36}) {
        archive.SeekEntry(h, pos, 0);
        EXPECT_EQ(-1, archive.ReadEntry(h, buf, 40)) << pos;
        EXPECT_EQ((uint32_t)pos, archive.GetEntryPosition(h));
    }
    EXPECT_TRUE(log.Contains(Sjis(u8"読み込みに失敗 (m:40)")));
    DWORD wrote = 0;
    at.QuadPart = 0;
    ASSERT_TRUE(SetFilePointerEx(writer, at, nullptr, FILE_BEGIN) && WriteFile(writer, whole.data(), (DWORD)whole.size(), &wrote, nullptr));
    CloseHandle(writer);
    archive.SeekEntry(h, 0, 0);
    ASSERT_EQ(40, archive.ReadEntry(h, buf, 40));
    EXPECT_EQ(data, std::string(buf, 40));
}

// Members beyond 2 GiB (a sparse file): offsets are never taken as signed 32-bit moves.
TEST(Archive, MembersBeyondTwoGigabytesAreRead)
{
    TempDir dir;
    std::wstring path = dir.File(L"big.arc");
    const uint32_t offset = 0xC0000004u;
    std::string data = PatternBytes(21, 9), stored = data;
    kcProtect protect;
    protect.SetKey(kKey.data(), (int)kKey.size());
    protect.Encrypt(&stored[0], &stored[0], 16);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD wrote = 0;
    bool ok = SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && WriteFile(f, stored.data(), 21, &wrote, nullptr);
    CloseHandle(f);
    if (!ok) GTEST_SKIP() << "no sparse file of 3 GiB here";
    kcArchive archive;
    ASSERT_EQ(1, archive.Attach(path.c_str(), 1));
    ASSERT_EQ(1, archive.AddMember(L"far", {offset, 21, 0}));
    ASSERT_EQ(1, archive.SetKey(kKey.data(), (int)kKey.size()));
    // A member of 2 GiB or more has no size an int can give.
    for (auto s : {std::make_pair(0x7fffffffu, 0x7fffffff), std::make_pair(0x80000000u, -1), std::make_pair(0xC0000000u, -1)}) {
        const std::wstring name = std::to_wstring(s.first);
        ASSERT_EQ(1, archive.AddMember(name.c_str(), {0, s.first, 0}));
        kcBigFile member(&archive);
        EXPECT_TRUE(member.Open(name.c_str(), KCFILE_READ) && member.GetSize() == s.second) << s.first;
    }
    kcBigFile file(&archive);
    ASSERT_TRUE(file.Open(L"far", KCFILE_READ | KCFILE_OPEN_EXISTING));
    char buf[32];
    ASSERT_EQ(21, file.Read(buf, 32));
    EXPECT_EQ(data, std::string(buf, 21));
    EXPECT_EQ(12, file.Seek(12));
    ASSERT_EQ(8, file.Read(buf, 8));
    EXPECT_EQ(data.substr(12, 8), std::string(buf, 8));
}

TEST(BigFile, FileObjectOverAMember)
{
    LogCapture log;
    TempDir dir;
    std::unique_ptr<kcArchive> archive(
        LoadFixtureArchive(dir.File(L"a.arc"), {{L"m", PatternBytes(20, 5)}, {L"n", "xy"}}, kKey, 1));
    kcBigFile none(nullptr), file(archive.get());
    char buf[32];
    EXPECT_FALSE(none.Open(L"m", KCFILE_READ));
    EXPECT_EQ(-1, none.Read(buf, 4));
    EXPECT_TRUE(log.Contains(Sjis(u8"kcBigFile : 統合ファイルがオープンされていません")));
    EXPECT_EQ(-1, file.Read(buf, 4));
    EXPECT_TRUE(log.Contains(Sjis(u8"kcBigFile : ファイルハンドルが無効です")));
    EXPECT_FALSE(file.Open(L"m", KCFILE_WRITE));
    ASSERT_TRUE(file.Open(L"M", KCFILE_READ | KCFILE_OPEN_EXISTING));
    EXPECT_EQ(20, file.GetSize());
    EXPECT_EQ(12, file.Seek(12));
    EXPECT_EQ(8, file.Read(buf, 8));
    EXPECT_EQ(PatternBytes(20, 5).substr(12), std::string(buf, 8));
    EXPECT_STREQ(L"M", file.GetName(nullptr));
    EXPECT_FALSE(file.Open(L"n", KCFILE_WRITE)); // a failed open leaves no member held,
    EXPECT_EQ(-1, file.GetSize());
    EXPECT_TRUE(file.Open(L"n", KCFILE_READ)); // and the one handle is free again
    EXPECT_TRUE(file.Close());
}
