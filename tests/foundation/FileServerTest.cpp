#include "foundation/ArchiveFixture.h"
#include "foundation/kcArchive.h"
#include "foundation/kcBigFile.h"
#include "foundation/kcFile.h"
#include "foundation/kcFileServer.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <climits>
#include <cstring>
#include <memory>

namespace {
enum Kind { NONE, PLAIN, MEMBER, MEMORY };
Kind KindOf(kcFileBase* f)
{
    return !f ? NONE : dynamic_cast<kcBigFile*>(f) ? MEMBER : dynamic_cast<kcMemFile*>(f) ? MEMORY : PLAIN;
}

std::string Contents(kcFileBase* f)
{
    std::string s(f->GetSize(), '\0');
    if (!s.empty()) s.resize(std::max(0, f->Read(&s[0], (int)s.size())));
    return s;
}

// The configuration's side, installed for one test.
struct FakeConfig : kcFileServerResolver {
    int preopen = 0;
    std::string group, dir, ext, askedName;
    FakeConfig() { kcFileServer::SetResolver(this); }
    ~FakeConfig() { kcFileServer::SetResolver(nullptr); }
    int PreopenEnabled() override { return preopen; }
    int FindArchiveRow(const char* g, const char* sjisName, std::string* d, std::string* e) override
    {
        askedName = sjisName;
        if (_stricmp(g, group.c_str()) != 0) return 0;
        *d = dir;
        *e = ext;
        return 1;
    }
};

// A folder with plain files, an archive in slot 0 and a second archive in slot 1, all holding
// files of the same names with different contents, so the winner shows who answered.
class FileServerTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.File(L"f0");
        CreateDirectoryW(folder.c_str(), nullptr);
        WriteBytes(folder + L"\\x.txt", "folder x");
        WriteBytes(folder + L"\\v2.txt", "folder v2");
        slot0 = LoadFixtureArchive(dir.File(L"zero.arc"), {{L"x.txt", "zero x, enciphered in blocks"}, {L"only0.txt", "only0"}}, "key0");
        slot1 = LoadFixtureArchive(dir.File(L"one.arc"), {{L"x.txt", "one x"}, {L"only1.txt", "only1"}}, "");
        server.SetSlotArchive(0, slot0);
        server.SetSlot(0, L"data", folder.c_str(), 1);
        server.SetSlotArchive(1, slot1);
        server.SetSlot(1, L"Pack", folder.c_str(), 0);
    }
    std::string Answer(const wchar_t* name, int order, Kind* kind = nullptr)
    {
        std::unique_ptr<kcFileBase> f(server.Find(name, order));
        if (kind) *kind = KindOf(f.get());
        return f ? Contents(f.get()) : "<none>";
    }
    TempDir dir;
    std::wstring folder;
    kcFileServer server;
    kcArchive *slot0 = nullptr, *slot1 = nullptr;
};
} // namespace

TEST(FileServer, PlainFilesOpenCopyCreateAndReadWhole)
{
    LogCapture log;
    TempDir dir;
    kcFileServer server;
    {
        kcFileServer second;
        EXPECT_TRUE(log.Contains(Sjis(u8"kcFileServer は複数作成出来ません")));
    }
    EXPECT_EQ(&server, kcFileServer::Instance());
    EXPECT_EQ(nullptr, server.Open(L"config.int/gamedef.xml", 0x13));
    EXPECT_TRUE(log.Contains("Open file error > config.int/gamedef.xml"));
    log.Clear();
    std::wstring path = dir.File(L"data.bin"), missing = dir.File(L"missing");
    WriteBytes(path, "0123456789");
    for (int order : {1, 3}) EXPECT_EQ(PLAIN, KindOf(std::unique_ptr<kcFileBase>(server.Find(path.c_str(), order)).get()));
    EXPECT_EQ(nullptr, server.Find(path.c_str(), 4)); // empty tables: no archive answers
    EXPECT_EQ(1, server.Exists(path.c_str()));
    EXPECT_EQ(0, server.Exists(missing.c_str()));
    EXPECT_EQ(nullptr, server.Open(missing.c_str(), 0x10013));
    EXPECT_TRUE(log.Lines().empty()); // quiet

    kcFileBase* copy = server.Open(path.c_str(), 0x113);
    ASSERT_EQ(MEMORY, KindOf(copy));
    EXPECT_EQ("0123456789", Contents(copy));
    server.Close(copy);
    EXPECT_TRUE(DeleteFileW(path.c_str())); // the plain file was closed again
    WriteBytes(path, "old contents");
    kcFileBase* out = server.Open(path.c_str(), KCFS_CREATE);
    ASSERT_EQ(PLAIN, KindOf(out));
    EXPECT_EQ(3, out->Write("new", 3));
    server.Close(out);
    EXPECT_EQ(nullptr, server.Open(dir.File(L"no\\such\\folder.bin").c_str(), KCFS_CREATE));

    // ReadWhole fills only the caller's capacity, also when the file grew after its size was taken.
    EXPECT_EQ(3, server.ReadWhole(path.c_str(), nullptr, 0, 3));
    WriteBytes(path, "ABCDEFGHIJKL");
    char buf[12];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(8, server.ReadWhole(path.c_str(), buf, 8, 3));
    EXPECT_EQ("ABCDEFGH####", std::string(buf, 12));
    EXPECT_EQ(0, server.ReadWhole(missing.c_str(), buf, 8, 3));
}

TEST(FileServer, NamesAndPathsOfTheConfiguration)
{
    kcFileServer server;
    wchar_t out[260] = L"untouched";
    EXPECT_EQ(1, server.GetGroupName(L"voice/ch01/a.ogg", out)); // split at the first slash
    EXPECT_STREQ(L"voice", out);
    EXPECT_STREQ(L"ch01/a.ogg", server.GetMemberName(L"voice/ch01/a.ogg", out));
    EXPECT_EQ(0, server.GetGroupName(L"plain.txt", out));
    EXPECT_STREQ(L"", out);
    EXPECT_EQ(0, server.GetGroupName((std::wstring(300, L'g') + L"/m").c_str(), out));

    EXPECT_EQ(0, server.ResolvePath(out, L"a001", "voice")); // no resolver installed yet
    FakeConfig config;
    config.group = "voice";
    config.dir = Sjis(u8"音声\\ch");
    config.ext = "ogg";
    EXPECT_EQ(1, server.ResolvePath(out, L"sub\\a001", "none"));
    EXPECT_STREQ(L"sub\\a001", out);
    EXPECT_EQ(1, server.ResolvePath(out, L"a001", "VOICE"));
    EXPECT_STREQ(L"音声\\ch\\a001.ogg", out);
    EXPECT_EQ(1, server.ResolvePath(out, L"声.wav", "voice"));
    EXPECT_STREQ(L"音声\\ch\\声.wav", out);
    EXPECT_EQ(Sjis(u8"声.wav"), config.askedName);
    config.dir = std::string(250, 'd'); // a path that would not fit is refused, never cut
    EXPECT_EQ(0, server.ResolvePath(out, L"name_of_twenty_chars", "voice"));
    EXPECT_EQ(0, server.ResolvePath(out, (L"sub\\" + std::wstring(300, L'n')).c_str(), "voice"));
    EXPECT_STREQ(L"音声\\ch\\声.wav", out);
}

TEST_F(FileServerTables, SlotsAnswerInTheOrderAsked)
{
    Kind kind;
    EXPECT_EQ("folder x", Answer(L"data/x.txt", 3, &kind));
    EXPECT_EQ(PLAIN, kind);
    EXPECT_EQ("zero x, enciphered in blocks", Answer(L"DATA/x.txt", 4, &kind));
    EXPECT_EQ(MEMBER, kind);
    const struct {
        const wchar_t* name;
        int order;
        const char* answer;
    } rows[] = {
        {L"data/only0.txt", 3, "only0"},
        {L"data/x.txt", 2, "<none>"}, // order 2 matches the archive's own name, not the slot's
        {L"one.arc/x.txt", 2, "one x"},
        {L"pack/x.txt", 3, "one x"}, // a slot without its folder flag offers only its archive
        {L"pack/v2.txt", 3, "<none>"},
        {L"data/v2.txt", 4, "folder v2"},
        {L"other/x.txt", 3, "<none>"},
        {L"x.txt", 3, "folder x"}, // no group: every slot's folder, then its archive
        {L"only1.txt", 3, "only1"},
        {L"x.txt", 4, "<none>"},
    };
    for (const auto& r : rows) EXPECT_EQ(r.answer, Answer(r.name, r.order)) << r.name << " " << r.order;
    EXPECT_EQ(0, server.SetSlotArchive(0, slot1)); // taken
}

TEST_F(FileServerTables, LoadedArchivesGroupListsAndAliases)
{
    kcArchive* loaded = LoadFixtureArchive(dir.File(L"loaded.arc"), {{L"x.txt", "loaded x"}}, "", 1);
    server.AddArchive(loaded);
    server.AddArchive(slot1); // also in a slot: the server deletes it once
    std::wstring other = dir.File(L"f1");
    CreateDirectoryW(other.c_str(), nullptr);
    WriteBytes(other + L"\\f1.txt", "f1");
    kcFileGroupMember first = {-1, {}, 1}, second = {1, {}, 1}, broken = {999, {}, 0};
    wcscpy(first.folder, folder.c_str());
    wcscpy(second.folder, other.c_str());
    ASSERT_EQ(1, server.AddGroup(L"set.lst", {broken, first, second}));
    server.AddAlias(L"OLD", {L"data", L"v1", L"v2"});
    const struct {
        const wchar_t* name;
        int order;
        const char* answer;
    } rows[] = {
        {L"data/x.txt", 3, "loaded x"}, // loaded archives come first
        {L"anything/x.txt", 1, "loaded x"},
        {L"whatever/ONLY1.TXT", 5, "only1"},
        {L"SET.LST/f1.txt", 3, "f1"}, // group lists try their members in order
        {L"set.lst/v2.txt", 4, "folder v2"},
        {L"other.lst/f1.txt", 3, "<none>"},
        {L"old/v1.txt", 3, "folder v2"}, // aliases rename
        {L"olds/v1.txt", 3, "<none>"},
    };
    for (const auto& r : rows) EXPECT_EQ(r.answer, Answer(r.name, r.order)) << r.name << " " << r.order;
    // A listed member that cannot be opened (its one handle is taken) ends the search.
    LogCapture log;
    kcArchiveEntryHandle* held = loaded->OpenEntry(L"x.txt");
    EXPECT_EQ("<none>", Answer(L"data/x.txt", 3));
    EXPECT_EQ(1u, log.Asserts().size());
    loaded->CloseEntry(held);
}

TEST(FileServer, PreopenThreadServesMemoryCopiesUntilCancelled)
{
    TempDir dir;
    FakeConfig config;
    config.preopen = 1;
    kcFileServer server;
    EXPECT_EQ(0, server.QueuePreload(dir.File(L"a.txt").c_str(), 1, KCFS_CREATE | 3)); // pre-opening only reads
    std::wstring a = dir.File(L"a.txt"), b = dir.File(L"b.txt");
    WriteBytes(a, "aaa");
    WriteBytes(b, "bbbb");
    ASSERT_EQ(1, server.QueuePreload(a.c_str(), 1, 3));
    ASSERT_EQ(1, server.QueuePreload(dir.File(L"missing.txt").c_str(), 1, 0x10003));
    ASSERT_EQ(1, server.QueuePreload(b.c_str(), 2, 3));
    auto served = [&](const std::wstring& name) {
        return KindOf(std::unique_ptr<kcFileBase>(server.Find(name.c_str(), 3)).get()) == MEMORY;
    };
    for (int i = 0; i < 5000 && !(served(a) && served(b) && server.GetCurrentGroup() == INT_MAX); i++) Sleep(2);
    EXPECT_EQ(INT_MAX, server.GetCurrentGroup());
    DeleteFileW(a.c_str());
    DeleteFileW(b.c_str());
    for (int round = 0; round < 2; round++) { // the copy stays for every request
        std::unique_ptr<kcFileBase> f(server.Find(a.c_str(), 3));
        ASSERT_EQ(MEMORY, KindOf(f.get()));
        EXPECT_EQ("aaa", Contents(f.get()));
    }
    std::unique_ptr<kcFileBase> fb(server.Open(b.c_str(), 3));
    EXPECT_EQ("bbbb", fb ? Contents(fb.get()) : "<none>");
    EXPECT_EQ(1, server.CancelPreload());
    EXPECT_EQ(nullptr, server.Find(a.c_str(), 3));
}
