#include "ArchiveFixture.h"
#include "kcArchive.h"
#include "kcBigFile.h"
#include "kcFile.h"
#include "kcFileServer.h"
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
    if (!f) return NONE;
    if (dynamic_cast<kcBigFile*>(f)) return MEMBER;
    if (dynamic_cast<kcMemFile*>(f)) return MEMORY;
    return PLAIN;
}

std::string Contents(kcFileBase* f)
{
    std::string s(f->GetSize(), '\0');
    if (!s.empty()) s.resize(std::max(0, f->Read(&s[0], (int)s.size())));
    return s;
}

struct FakeConfig : kcFileServerResolver {
    int preopen = 0;
    std::string group, dir, ext, askedName;
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

// Installs a resolver for one test and takes it away again.
struct ResolverScope {
    explicit ResolverScope(kcFileServerResolver* r) { kcFileServer::SetResolver(r); }
    ~ResolverScope() { kcFileServer::SetResolver(nullptr); }
};

// A folder with plain files, an archive in slot 0 and a second archive in slot 1, all
// holding files of the same names with different contents, so the winner shows who answered.
class FileServerTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.File(L"f0");
        CreateDirectoryW(folder.c_str(), nullptr);
        WriteBytes(folder + L"\\x.txt", "folder x");
        WriteBytes(folder + L"\\v2.txt", "folder v2");
        slot0 = LoadFixtureArchive(dir.File(L"zero.arc"), {{L"x.txt", "zero x, enciphered in two blocks"}, {L"only0.txt", "only0"}}, "key0");
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
    kcArchive* slot0 = nullptr;
    kcArchive* slot1 = nullptr;
};
} // namespace

TEST(FileServer, EmptyTablesResolvePlainFilesOnly)
{
    LogCapture log;
    TempDir dir;
    kcFileServer server;
    EXPECT_EQ(&server, kcFileServer::Instance());
    EXPECT_EQ(nullptr, server.Open(L"config.int/gamedef.xml", 0x13));
    EXPECT_TRUE(log.Contains("Open file error > config.int/gamedef.xml"));
    std::wstring path = dir.File(L"plain.txt");
    WriteBytes(path, "plain bytes");
    for (int order : {1, 3}) {
        std::unique_ptr<kcFileBase> f(server.Find(path.c_str(), order));
        EXPECT_EQ(PLAIN, KindOf(f.get())) << order;
    }
    EXPECT_EQ(nullptr, server.Find(path.c_str(), 4));
    EXPECT_EQ(nullptr, server.Find(path.c_str(), 5));
    EXPECT_EQ(nullptr, server.Find(dir.File(L"missing").c_str(), 3));
    log.Clear();
    EXPECT_EQ(0, server.Exists(dir.File(L"missing").c_str()));
    EXPECT_EQ(0, server.Exists(nullptr));
    EXPECT_EQ(1, server.Exists(path.c_str()));
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(nullptr, server.Open(dir.File(L"missing").c_str(), 0x10013));
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(nullptr, server.Open(nullptr, 3));
}

TEST(FileServer, OpenCopiesIntoMemoryOrCreatesForWriting)
{
    TempDir dir;
    kcFileServer server;
    std::wstring path = dir.File(L"data.bin");
    WriteBytes(path, "0123456789");
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
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ("new", bytes);
    EXPECT_EQ(nullptr, server.Open(dir.File(L"no\\such\\folder.bin").c_str(), KCFS_CREATE));
    server.Close(nullptr);
    EXPECT_EQ(-1, server.Read(nullptr, nullptr, 1));
    EXPECT_EQ(0, server.GetSize(nullptr));
}

TEST(FileServer, ReadWholeNeverWritesPastTheBuffer)
{
    LogCapture log;
    TempDir dir;
    kcFileServer server;
    std::wstring path = dir.File(L"w.bin");
    WriteBytes(path, "abcdefgh");
    EXPECT_EQ(8, server.ReadWhole(path.c_str(), nullptr, 0, 3));
    char buf[12];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(8, server.ReadWhole(path.c_str(), buf, 8, 3));
    EXPECT_EQ("abcdefgh####", std::string(buf, 12));
    // The file grew after its size was taken: only the caller's capacity is filled.
    WriteBytes(path, "ABCDEFGHIJKL");
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(8, server.ReadWhole(path.c_str(), buf, 8, 3));
    EXPECT_EQ("ABCDEFGH####", std::string(buf, 12));
    EXPECT_EQ(0, server.ReadWhole(nullptr, buf, 8, 3));
    EXPECT_EQ(0, server.ReadWhole(dir.File(L"none").c_str(), buf, 8, 3));
    EXPECT_TRUE(log.Contains("Open file error > "));
}

TEST(FileServer, GroupAndMemberNamesSplitAtTheFirstSlash)
{
    kcFileServer server;
    wchar_t out[260];
    EXPECT_EQ(1, server.GetGroupName(L"voice/ch01/a.ogg", out));
    EXPECT_STREQ(L"voice", out);
    EXPECT_STREQ(L"ch01/a.ogg", server.GetMemberName(L"voice/ch01/a.ogg", out));
    EXPECT_STREQ(L"ch01/a.ogg", out);
    EXPECT_EQ(0, server.GetGroupName(L"plain.txt", out));
    EXPECT_STREQ(L"", out);
    EXPECT_STREQ(L"plain.txt", server.GetMemberName(L"plain.txt", nullptr));
    EXPECT_EQ(0, server.GetGroupName((std::wstring(300, L'g') + L"/m").c_str(), out));
}

TEST(FileServer, ResolvePathAsksTheConfigurationsArchiveRow)
{
    FakeConfig config;
    config.group = "voice";
    config.dir = Sjis(u8"音声\\ch");
    config.ext = "ogg";
    kcFileServer server;
    wchar_t out[260] = L"untouched";
    EXPECT_EQ(0, server.ResolvePath(out, L"a001", "voice")); // no resolver installed yet
    ResolverScope scope(&config);
    EXPECT_EQ(1, server.ResolvePath(out, L"sub\\a001", "none"));
    EXPECT_STREQ(L"sub\\a001", out);
    wcscpy(out, L"untouched");
    EXPECT_EQ(0, server.ResolvePath(out, L"a001", "bgm"));
    EXPECT_STREQ(L"untouched", out);
    EXPECT_EQ(1, server.ResolvePath(out, L"a001", "VOICE"));
    EXPECT_STREQ(L"\u97f3\u58f0\\ch\\a001.ogg", out);
    EXPECT_EQ(1, server.ResolvePath(out, L"\u58f0.wav", "voice"));
    EXPECT_STREQ(L"\u97f3\u58f0\\ch\\\u58f0.wav", out);
    EXPECT_EQ(Sjis(u8"声.wav"), config.askedName);
    config.dir = "";
    config.ext = "";
    EXPECT_EQ(1, server.ResolvePath(out, L"a001", "voice"));
    EXPECT_STREQ(L"a001", out);
    // A path that would not fit is refused, never cut.
    config.dir = std::string(250, 'd');
    wcscpy(out, L"untouched");
    EXPECT_EQ(0, server.ResolvePath(out, L"name_of_twenty_chars", "voice"));
    EXPECT_STREQ(L"untouched", out);
}

TEST_F(FileServerTables, SlotsAnswerInTheOrderAsked)
{
    Kind kind;
    EXPECT_EQ("folder x", Answer(L"data/x.txt", 3, &kind));
    EXPECT_EQ(PLAIN, kind);
    EXPECT_EQ("zero x, enciphered in two blocks", Answer(L"DATA/x.txt", 4, &kind));
    EXPECT_EQ(MEMBER, kind);
    EXPECT_EQ("only0", Answer(L"data/only0.txt", 3));
    // Order 2 matches the archive's own name, not the slot's.
    EXPECT_EQ("<none>", Answer(L"data/x.txt", 2));
    EXPECT_EQ("one x", Answer(L"one.arc/x.txt", 2));
    // A slot without its folder flag offers only its archive.
    EXPECT_EQ("one x", Answer(L"pack/x.txt", 3));
    EXPECT_EQ("<none>", Answer(L"pack/v2.txt", 3));
    EXPECT_EQ("folder v2", Answer(L"data/v2.txt", 4));
    EXPECT_EQ("<none>", Answer(L"other/x.txt", 3));
    // No group: every slot's folder, then its archive.
    EXPECT_EQ("folder x", Answer(L"x.txt", 3));
    EXPECT_EQ("only1", Answer(L"only1.txt", 3));
    EXPECT_EQ("<none>", Answer(L"x.txt", 4));
    EXPECT_EQ(0, server.SetSlotArchive(0, slot1)); // taken
    EXPECT_EQ(0, server.SetSlotArchive(256, slot1));
}

TEST_F(FileServerTables, LoadedArchivesComeFirstAndAliasesRename)
{
    kcArchive* loaded = LoadFixtureArchive(dir.File(L"loaded.arc"), {{L"x.txt", "loaded x"}}, "", 1);
    server.AddArchive(loaded);
    server.AddArchive(slot1); // also in a slot: the server deletes it once
    Kind kind;
    EXPECT_EQ("loaded x", Answer(L"data/x.txt", 3, &kind));
    EXPECT_EQ(MEMBER, kind);
    EXPECT_EQ("loaded x", Answer(L"anything/x.txt", 1));
    EXPECT_EQ("only1", Answer(L"whatever/ONLY1.TXT", 5));
    // A listed member that cannot be opened (its one handle is taken) ends the search.
    LogCapture log;
    kcArchiveEntryHandle* held = loaded->OpenEntry(L"x.txt");
    EXPECT_EQ("<none>", Answer(L"data/x.txt", 3));
    EXPECT_EQ(1u, log.Asserts().size());
    loaded->CloseEntry(held);

    server.AddAlias(L"OLD", {L"data", L"v1", L"v2"});
    EXPECT_EQ("folder v2", Answer(L"old/v1.txt", 3));
    EXPECT_EQ("<none>", Answer(L"olds/v1.txt", 3));
}

TEST_F(FileServerTables, GroupListsTryTheirMembersInOrder)
{
    std::wstring other = dir.File(L"f1");
    CreateDirectoryW(other.c_str(), nullptr);
    WriteBytes(other + L"\\only1.txt", "f1 only1");
    kcFileGroupMember first = {-1, {}, 1}, second = {1, {}, 1}, broken = {999, {}, 0};
    wcscpy(first.folder, folder.c_str());
    wcscpy(second.folder, other.c_str());
    ASSERT_EQ(1, server.AddGroup(L"set.lst", {broken, first, second}));
    EXPECT_EQ("folder x", Answer(L"SET.LST/x.txt", 3));
    EXPECT_EQ("one x", Answer(L"set.lst/x.txt", 2));
    EXPECT_EQ("f1 only1", Answer(L"set.lst/only1.txt", 3));
    EXPECT_EQ("only1", Answer(L"set.lst/only1.txt", 4));
    EXPECT_EQ("folder x", Answer(L"set.lst/x.txt", 4)); // first member has no archive
    EXPECT_EQ("<none>", Answer(L"other.lst/x.txt", 3));
}

TEST(FileServer, PreopenThreadServesMemoryCopiesUntilCancelled)
{
    TempDir dir;
    FakeConfig config;
    config.preopen = 1;
    ResolverScope scope(&config);
    kcFileServer server;
    ASSERT_EQ(1, server.IsPreloadEnabled());
    std::wstring a = dir.File(L"a.txt"), b = dir.File(L"b.txt"), c = dir.File(L"c.txt");
    WriteBytes(a, "aaa");
    WriteBytes(b, "bbbb");
    WriteBytes(c, "cc");
    ASSERT_EQ(1, server.QueuePreload(a.c_str(), 1, 3));
    ASSERT_EQ(1, server.QueuePreload(dir.File(L"missing.txt").c_str(), 1, 0x10003));
    ASSERT_EQ(1, server.QueuePreload(b.c_str(), 2, 3));
    ASSERT_EQ(1, server.QueuePreload(c.c_str(), 1, 3));
    // Group 2 comes after group 1: once b is served from memory, every request was handled.
    auto served = [&](const std::wstring& name) {
        std::unique_ptr<kcFileBase> f(server.Find(name.c_str(), 3));
        return KindOf(f.get()) == MEMORY;
    };
    for (int i = 0; i < 5000 && !served(b); i++) Sleep(2);
    ASSERT_TRUE(served(b));
    EXPECT_TRUE(served(c));
    for (int i = 0; i < 5000 && server.GetCurrentGroup() != INT_MAX; i++) Sleep(2);
    EXPECT_EQ(INT_MAX, server.GetCurrentGroup());
    DeleteFileW(a.c_str());
    DeleteFileW(b.c_str());
    for (int round = 0; round < 2; round++) {
        std::unique_ptr<kcFileBase> f(server.Find(a.c_str(), 3));
        ASSERT_EQ(MEMORY, KindOf(f.get()));
        EXPECT_EQ("aaa", Contents(f.get()));
    }
    std::unique_ptr<kcFileBase> fb(server.Open(b.c_str(), 3));
    EXPECT_EQ("bbbb", fb ? Contents(fb.get()) : "<none>");
    fb.reset();
    EXPECT_EQ(1, server.CancelPreload());
    EXPECT_EQ(nullptr, server.Find(a.c_str(), 3));
    EXPECT_EQ(1, server.QueuePreload(c.c_str(), 3, 3));
}

TEST(FileServer, SecondServerIsRefused)
{
    LogCapture log;
    kcFileServer first;
    {
        kcFileServer second;
        EXPECT_EQ(&first, kcFileServer::Instance());
        EXPECT_TRUE(log.Contains(Sjis(u8"kcFileServer は複数作成出来ません")));
    }
    EXPECT_EQ(&first, kcFileServer::Instance());
}
