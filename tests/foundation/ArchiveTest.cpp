#include "ArchiveFixture.h"
#include "kcArchive.h"
#include "kcBigFile.h"
#include "kcProtect.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <memory>

namespace {
const std::string kKey = "fixture key";

// Member sizes around the 8-byte block edges, enciphered or not.
const int kSizes[] = {1, 7, 8, 9, 15, 16, 17, 20, 33};

std::vector<FixtureMember> SizedMembers()
{
    std::vector<FixtureMember> members;
    for (int size : kSizes) members.push_back({L"M" + std::to_wstring(size), PatternBytes(size, size)});
    return members;
}

class ArchiveTest : public ::testing::TestWithParam<bool> {
protected:
    std::string Key() const { return GetParam() ? kKey : std::string(); }
    TempDir dir;
};
} // namespace

// Every start position and length inside every member delivers exactly the member's bytes:
// the head, middle and tail phases of enciphered reading and the plain last bytes.
TEST_P(ArchiveTest, EveryPositionAndLengthReadsTheMembersBytes)
{
    std::vector<FixtureMember> members = SizedMembers();
    std::unique_ptr<kcArchive> archive(LoadFixtureArchive(dir.File(L"a.arc"), members, Key()));
    for (const FixtureMember& m : members) {
        int size = (int)m.data.size();
        for (int pos = 0; pos < size; pos++) {
            for (int n = 1; n <= size + 2; n++) {
                kcArchiveEntryHandle* h = archive->OpenEntry(m.name.c_str());
                ASSERT_NE(KCARCHIVE_NO_ENTRY, h);
                ASSERT_EQ((uint32_t)pos, archive->SeekEntry(h, pos, 0));
                char buf[64];
                std::memset(buf, 0x5A, sizeof buf);
                int expect = std::min(n, size - pos);
                ASSERT_EQ(expect, archive->ReadEntry(h, buf, n)) << size << " " << pos << " " << n;
                ASSERT_EQ(m.data.substr(pos, expect), std::string(buf, expect)) << size << " " << pos << " " << n;
                ASSERT_EQ('\x5A', buf[expect]); // nothing written past what was delivered
                EXPECT_EQ((uint32_t)(pos + expect), archive->GetEntryPosition(h));
                if (pos + expect == size) {
                    EXPECT_EQ(0, archive->ReadEntry(h, buf, n)); // at the end
                }
                archive->CloseEntry(h);
            }
        }
    }
}

// An empty member at the very end of the archive file: any byte read would lie past the end.
TEST_P(ArchiveTest, EmptyMemberReadsAndSeeksNothing)
{
    std::wstring path = dir.File(L"a.arc");
    std::vector<FixtureMember> members = {{L"data", PatternBytes(16, 1)}, {L"empty", ""}};
    WriteFixtureArchive(path, members, Key());
    kcArchive archive;
    ASSERT_EQ(1, archive.Attach(path.c_str(), 2));
    kcArchiveIndexEntry end = {(uint32_t)(13 + 16 + 8), 0, 0}; // behind the trailer
    ASSERT_EQ(1, archive.AddMember(L"empty", end));
    if (GetParam()) archive.SetKey(kKey.data(), (int)kKey.size());
    kcArchiveEntryHandle* h = archive.OpenEntry(L"EMPTY");
    ASSERT_NE(KCARCHIVE_NO_ENTRY, h);
    char buf[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(0u, archive.SeekEntry(h, 5, 0));
    EXPECT_EQ(0u, archive.SeekEntry(h, 5, 1));
    EXPECT_EQ(0u, archive.GetEntryPosition(h));
    EXPECT_EQ(0, archive.ReadEntry(h, buf, 8));
    EXPECT_EQ('x', buf[0]);
}

INSTANTIATE_TEST_SUITE_P(PlainAndEnciphered, ArchiveTest, ::testing::Bool());

TEST(Archive, SeekClampsToLastByteAndReportsDistance)
{
    TempDir dir;
    std::unique_ptr<kcArchive> archive(LoadFixtureArchive(dir.File(L"a.arc"), {{L"m", PatternBytes(100, 2)}}, kKey));
    kcArchiveEntryHandle* h = archive->OpenEntry(L"m");
    EXPECT_EQ(99u, archive->SeekEntry(h, 200, 0));
    EXPECT_EQ(99u, archive->GetEntryPosition(h));
    EXPECT_EQ(40u, archive->SeekEntry(h, 40, 0));
    EXPECT_EQ(10u, archive->SeekEntry(h, 10, 1));
    EXPECT_EQ(50u, archive->GetEntryPosition(h));
    EXPECT_EQ(49u, archive->SeekEntry(h, 1000, 1)); // (size - 1) - base
    char buf[200];
    EXPECT_EQ(1, archive->ReadEntry(h, buf, 200));
    EXPECT_EQ(PatternBytes(100, 2)[99], buf[0]);
    ASSERT_EQ(90u, archive->SeekEntry(h, 90, 0));
    EXPECT_EQ(10, archive->ReadEntry(h, buf, 100));
}

TEST(Archive, NamesAreFoundInUpperCaseAndHandlesKeepTheGivenName)
{
    TempDir dir;
    std::unique_ptr<kcArchive> archive(LoadFixtureArchive(dir.File(L"Game.ARC"), {{L"Data\\One.txt", "one"}}, ""));
    EXPECT_EQ(1, archive->Contains(L"data\\one.TXT"));
    EXPECT_EQ(0, archive->Contains(L"data\\two.txt"));
    kcArchiveIndexEntry e = {};
    EXPECT_EQ(1, archive->LookupEntry(L"DATA\\ONE.TXT", &e));
    EXPECT_EQ(3u, e.size);
    EXPECT_EQ(100u, e.extra);
    kcArchiveEntryHandle* h = archive->OpenEntry(L"data\\one.txt");
    ASSERT_NE(KCARCHIVE_NO_ENTRY, h);
    wchar_t out[260];
    EXPECT_STREQ(L"data\\one.txt", archive->GetEntryName(h, out));
    EXPECT_STREQ(L"data\\one.txt", out);
    EXPECT_EQ(100u, h->extra);
    EXPECT_STREQ(L"Game.ARC", archive->GetName(out));
    EXPECT_EQ(KCARCHIVE_NO_ENTRY, archive->OpenEntry(L"missing"));
}

TEST(Archive, HandleTableRunsOutWithAnAssertionAndRecovers)
{
    LogCapture log;
    TempDir dir;
    std::unique_ptr<kcArchive> archive(LoadFixtureArchive(dir.File(L"a.arc"), {{L"m", "abc"}}, "", 2));
    kcArchiveEntryHandle* a = archive->OpenEntry(L"m");
    kcArchiveEntryHandle* b = archive->OpenEntry(L"m");
    ASSERT_NE(KCARCHIVE_NO_ENTRY, a);
    ASSERT_NE(KCARCHIVE_NO_ENTRY, b);
    EXPECT_EQ(KCARCHIVE_NO_ENTRY, archive->FindFreeEntry());
    EXPECT_EQ(KCARCHIVE_NO_ENTRY, archive->OpenEntry(L"m"));
    ASSERT_EQ(1u, log.Asserts().size());
    EXPECT_NE(std::string::npos, log.Asserts()[0].find(Sjis(u8"同時にオープンできるファイル数を超えています (MAX:2) : m")));
    EXPECT_EQ(1, archive->CloseEntry(a));
    EXPECT_EQ(0, archive->CloseEntry(a)); // already free
    EXPECT_EQ(a, archive->FindFreeEntry());
    EXPECT_EQ(0, a->tag);
    EXPECT_EQ(0, a->name[0]);
}

TEST(Archive, InvalidHandlesAndUnloadedArchiveGiveZero)
{
    LogCapture log;
    kcArchive unloaded;
    char buf[4];
    EXPECT_EQ(KCARCHIVE_NO_ENTRY, unloaded.OpenEntry(L"m"));
    EXPECT_EQ(nullptr, unloaded.GetName(nullptr));
    EXPECT_EQ(0, unloaded.Contains(L"m"));
    EXPECT_EQ(0, unloaded.LookupEntry(L"m", nullptr));
    ASSERT_EQ(1u, log.Asserts().size()); // lookup on an unloaded archive
    kcArchiveEntryHandle free = {};
    for (kcArchiveEntryHandle* h : {(kcArchiveEntryHandle*)nullptr, KCARCHIVE_NO_ENTRY, &free}) {
        EXPECT_EQ(0, unloaded.ReadEntry(h, buf, 4));
        EXPECT_EQ(0u, unloaded.SeekEntry(h, 1, 0));
        EXPECT_EQ(0u, unloaded.GetEntrySize(h));
        EXPECT_EQ(nullptr, unloaded.GetEntryName(h, nullptr));
        EXPECT_EQ(0, unloaded.CloseEntry(h));
    }
}

TEST(Archive, BadArgumentsAssertAndFail)
{
    LogCapture log;
    TempDir dir;
    std::unique_ptr<kcArchive> archive(LoadFixtureArchive(dir.File(L"a.arc"), {{L"m", "abcdef"}}, ""));
    kcArchiveEntryHandle* h = archive->OpenEntry(L"m");
    EXPECT_EQ(0, archive->ReadEntry(h, nullptr, 4));
    EXPECT_TRUE(log.Contains(Sjis(u8"読み込み先バッファが指定されていません")));
    EXPECT_EQ(0u, archive->SeekEntry(h, 1, 2));
    EXPECT_TRUE(log.Contains(Sjis(u8"ファイルポインタ移動タイプが不正です")));
    EXPECT_EQ(0u, archive->GetEntryPosition(h));
    char buf[4];
    EXPECT_EQ(0, archive->ReadEntry(h, buf, 0));
    EXPECT_EQ(0, archive->ReadEntry(h, buf, -5));
}

// The index is not trusted: members that would reach past the archive's end are refused,
// also when offset + size wraps in 32 bits.
TEST(Archive, IndexEntriesOutsideTheFileAreRefused)
{
    TempDir dir;
    std::wstring path = dir.File(L"a.arc");
    WriteBytes(path, std::string(64, 'z'));
    kcArchive archive;
    kcArchiveIndexEntry inside = {60, 4, 0}, pastEnd = {60, 5, 0}, wraps = {0xFFFFFFF0u, 0x20, 0};
    EXPECT_EQ(0, archive.AddMember(L"early", inside)); // not attached yet
    ASSERT_EQ(1, archive.Attach(path.c_str(), 1));
    EXPECT_EQ(0, archive.Attach(path.c_str(), 1));
    EXPECT_EQ(1, archive.AddMember(L"inside", inside));
    EXPECT_EQ(0, archive.AddMember(L"pastEnd", pastEnd));
    EXPECT_EQ(0, archive.AddMember(L"wraps", wraps));
    EXPECT_EQ(0, archive.AddMember(L"", inside));
    EXPECT_EQ(0, archive.AddMember(std::wstring(260, L'n').c_str(), inside));
    EXPECT_EQ(0, archive.Contains(L"pastEnd"));
    EXPECT_EQ(0, archive.SetKey("", 0));
}

// A refused read of the archive file (here: cut short behind the archive's back) is reported
// and fails, leaving the position alone.
TEST(Archive, RefusedReadReturnsMinusOne)
{
    LogCapture log;
    TempDir dir;
    std::wstring path = dir.File(L"a.arc");
    const std::vector<FixtureMember> members = {{L"m", PatternBytes(40, 4)}};
    std::vector<kcArchiveIndexEntry> index = WriteFixtureArchive(path, members, kKey);
    std::string whole;
    ASSERT_TRUE(ReadBytes(path, &whole));
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE mine = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    kcArchive archive;
    ASSERT_EQ(1, archive.Attach(mine, L"a.arc", 1));
    ASSERT_EQ(1, archive.AddMember(L"m", index[0]));
    ASSERT_EQ(1, archive.SetKey(kKey.data(), (int)kKey.size()));
    kcArchiveEntryHandle* h = archive.OpenEntry(L"m");
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    LARGE_INTEGER cut;
    cut.QuadPart = 20;
    ASSERT_TRUE(SetFilePointerEx(writer, cut, nullptr, FILE_BEGIN) && SetEndOfFile(writer));
    char buf[40];
    for (int pos : {0, 3, 36}) {
        archive.SeekEntry(h, pos, 0);
        EXPECT_EQ(-1, archive.ReadEntry(h, buf, 40)) << pos;
        EXPECT_EQ((uint32_t)pos, archive.GetEntryPosition(h));
    }
    EXPECT_TRUE(log.Contains(Sjis(u8"読み込みに失敗 (m:40)")));
    DWORD wrote = 0;
    cut.QuadPart = 0;
    ASSERT_TRUE(SetFilePointerEx(writer, cut, nullptr, FILE_BEGIN) && WriteFile(writer, whole.data(), (DWORD)whole.size(), &wrote, nullptr));
    CloseHandle(writer);
    archive.SeekEntry(h, 0, 0);
    ASSERT_EQ(40, archive.ReadEntry(h, buf, 40));
    EXPECT_EQ(members[0].data, std::string(buf, 40));
}

// Members beyond 2 GiB (a sparse file): offsets are never taken as signed 32-bit moves.
TEST(Archive, MembersBeyondTwoGigabytesAreRead)
{
    TempDir dir;
    std::wstring path = dir.File(L"big.arc");
    const uint32_t offset = 0xC0000004u;
    std::string data = PatternBytes(21, 9), stored = data;
    {
        kcProtect protect;
        protect.SetKey(kKey.data(), (int)kKey.size());
        protect.Encrypt(&stored[0], &stored[0], 16);
    }
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
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
    kcBigFile file(&archive);
    ASSERT_TRUE(file.Open(L"far", KCFILE_READ | KCFILE_OPEN_EXISTING));
    char buf[32];
    ASSERT_EQ(21, file.Read(buf, 32));
    EXPECT_EQ(data, std::string(buf, 21));
    EXPECT_EQ(12, file.Seek(12));
    ASSERT_EQ(8, file.Read(buf, 8));
    EXPECT_EQ(data.substr(12, 8), std::string(buf, 8));
}

TEST(BigFile, SlotsOverAMember)
{
    LogCapture log;
    TempDir dir;
    std::unique_ptr<kcArchive> archive(LoadFixtureArchive(dir.File(L"a.arc"), {{L"m", PatternBytes(20, 5)}, {L"n", "xy"}}, kKey));
    kcBigFile none(nullptr);
    char buf[32];
    EXPECT_FALSE(none.Open(L"m", KCFILE_READ));
    EXPECT_EQ(-1, none.Read(buf, 4));
    EXPECT_TRUE(log.Contains(Sjis(u8"kcBigFile : 統合ファイルがオープンされていません")));
    EXPECT_FALSE(none.Exists(L"m"));
    EXPECT_EQ(-1, none.GetSize());

    kcBigFile file(archive.get());
    EXPECT_EQ(-1, file.Read(buf, 4));
    EXPECT_TRUE(log.Contains(Sjis(u8"kcBigFile : ファイルハンドルが無効です")));
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(nullptr, file.GetName(nullptr));
    EXPECT_FALSE(file.Open(L"m", KCFILE_WRITE));
    EXPECT_TRUE(file.Open(L"M", KCFILE_READ | KCFILE_OPEN_EXISTING));
    EXPECT_EQ(20, file.GetSize());
    EXPECT_EQ(12, file.Seek(12));
    EXPECT_EQ(8, file.Read(buf, 8));
    EXPECT_EQ(PatternBytes(20, 5).substr(12), std::string(buf, 8));
    EXPECT_EQ(20, file.GetPosition());
    EXPECT_STREQ(L"M", file.GetName(nullptr));
    EXPECT_EQ(128u, file.GetAttributes(L"m"));
    EXPECT_TRUE(file.Exists(L"n"));
    EXPECT_FALSE(file.Exists(L"o"));
    EXPECT_FALSE(file.Open(L"o", KCFILE_READ)); // a failed open leaves no member held
    EXPECT_EQ(-1, file.GetSize());
    // The handle it held is free again: both of four can be taken anew.
    EXPECT_TRUE(file.Open(L"n", KCFILE_READ));
    EXPECT_TRUE(file.Close());
}
