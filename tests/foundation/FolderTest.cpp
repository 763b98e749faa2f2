#include "foundation/kcFolder.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <string>

namespace {
unsigned long long V(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return (unsigned long long)a << 48 | (unsigned long long)b << 32 | (unsigned long long)c << 16 | d;
}
} // namespace

TEST(Folder, SpecialFoldersAreFoundOrEmpty)
{
    wchar_t path[MAX_PATH];
    for (unsigned kind = 0; kind <= 12; ++kind) { // 12 is no folder at all
        wcscpy(path, L"stale");
        int found = kcGetSpecialFolder(kind, path);
        EXPECT_EQ(found != 0, path[0] != 0) << kind; // never a stale path behind a 0
        if (kind == 12 || kind == KCFOLDER_APPDATA || kind == KCFOLDER_COMMON_APPDATA) EXPECT_EQ(kind != 12, found);
    }
    ASSERT_EQ(1, kcGetSpecialFolder(KCFOLDER_TEMP, path));
    EXPECT_EQ(L'\\', path[wcslen(path) - 1]);
    ASSERT_EQ(1, kcGetSpecialFolder(KCFOLDER_WINDOWS, path));
    EXPECT_EQ(2, kcPathExists(path));
}

TEST(Folder, PathKindsAndCreation)
{
    TempDir dir;
    std::wstring file = dir.File(L"file.txt");
    ASSERT_TRUE(WriteBytes(file, "x"));
    EXPECT_EQ(1, kcPathExists(file.c_str()));
    EXPECT_EQ(0, kcPathExists(dir.File(L"none").c_str()));
    EXPECT_EQ(0, kcPathExists(nullptr));
    const struct {
        std::wstring path;
        int isFile, result;
        std::wstring folder; // a folder that exists afterwards
    } cases[] = {
        {L"X:", 0, 1, L""}, {L"C:\\", 0, 1, L""}, // drive roots
        {dir.Path(), 0, 1, L""},                   // exists already
        {dir.Path() + L"\\", 0, 1, L""},
        {file, 0, 0, L""}, // a file stands there
        {file + L"\\sub", 0, 0, L""},
        {L"", 0, 0, L""},
        {dir.File(L"a\\b/c\\"), 0, 1, dir.File(L"a\\b\\c")}, // a trailing separator still succeeds
        {dir.File(L"p\\q\\data.bin"), 1, 1, dir.File(L"p\\q")}, // only the folders above the file
        {L"plain.txt", 1, 1, L""},                              // the current folder
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, kcCreateFolders(c.path.c_str(), c.isFile)) << c.path.c_str();
        if (!c.folder.empty()) EXPECT_EQ(2, kcPathExists(c.folder.c_str())) << c.folder.c_str();
    }
    EXPECT_EQ(0, kcPathExists(dir.File(L"p\\q\\data.bin").c_str()));
    EXPECT_EQ(0, kcCreateFolders(nullptr, 0));

    // Folders of more than 260 characters in all are made one by one.
    std::wstring longPath = L"\\\\?\\" + dir.Path();
    for (int i = 0; i < 30; ++i) longPath += L"\\folder" + std::to_wstring(i);
    EXPECT_EQ(1, kcCreateFolders(longPath.c_str(), 0));
    EXPECT_EQ(2, kcPathExists(longPath.c_str()));
    for (int i = 0; i < 30; ++i) {
        RemoveDirectoryW(longPath.c_str());
        longPath.resize(longPath.find_last_of(L'\\'));
    }
}

TEST(Folder, VersionOfFixtureModules)
{
    wchar_t exe[MAX_PATH]; // the fixture DLLs are built beside the test executable
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    const struct {
        const wchar_t* dll;
        int result;
        const wchar_t* text;
        unsigned long long version;
    } cases[] = {
        {L"verfix_commas", 1, L"1, 0, 0, 3", V(1, 0, 0, 3)},
        {L"verfix_dots", 1, L"1.0.0.3", V(1, 0, 0, 3)},
        {L"verfix_two", 1, L"2.1", V(2, 0, 0, 0)},
        {L"verfix_junk", 1, L"build x", 0},
        {L"verfix_notrans", 1, L"", 0}, // no translation block: no strings
        {L"verfix_none", 0, L"", 0},
        {L"no_such_file", 0, L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.dll)));
        kcVersionInfo info;
        memset(&info, 0x55, sizeof info);
        LogCapture log;
        EXPECT_EQ(c.result, kcGetVersionInfo((dir + c.dll + L".dll").c_str(), &info));
        EXPECT_STREQ(c.text, info.fileVersion);
        EXPECT_EQ(c.version, info.version);
        EXPECT_STREQ(c.text[0] ? L"kc fixtures" : L"", info.companyName); // else the record is zeroed
        if (c.text[0]) {
            EXPECT_EQ(std::wstring(c.dll) + L" special", info.specialBuild);
            EXPECT_TRUE(log.Contains("version : "));
        }
    }
}

TEST(Folder, FileVersionTexts)
{
    const struct {
        const wchar_t* text;
        unsigned long long version;
    } cases[] = {
        {L"  4 ,5,  6 , 7", V(4, 5, 6, 7)},
        {L"1.2,3.4", V(1, 3, 0, 0)}, // "," first: "1.2" gives its digits, then "." for the rest
        {L"1,2.3.4", V(1, 2, 3, 4)},
        {L"1.2.3", V(1, 2, 0, 0)}, // a number without a separator behind it is not read
        {L"65535.2.30.400 (release)", V(65535, 2, 30, 400)},
        {L"0x10.0X20.3.4", V(16, 32, 3, 4)},
        {L"70000.1.1.1", V(70000 & 0xFFFF, 1, 1, 1)},
        {L"a.b.c.d", 0},
        {L"1.x.3.y", V(1, 0, 3, 0)},
        {L"1.2.3.4.5", V(1, 2, 3, 4)},
        {L"1...", V(1, 0, 0, 0)},
        {L"", 0},
        {nullptr, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.version, kcParseFileVersion(c.text)) << (c.text ? c.text : L"(null)");
    std::wstring huge = std::wstring(5000, L'9') + L".1.2.3";
    EXPECT_EQ(V(0, 1, 2, 3), kcParseFileVersion(huge.c_str()) & 0xFFFFFFFFFFFFull);
}

TEST(Folder, Centring)
{
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    RECT r = {99, 99, 640, 480};
    kcCenterWindowRect(&r, WS_POPUP, (DWORD)-1, FALSE);
    RECT expect = {(sw - 640) / 2, (sh - 480) / 2, (sw - 640) / 2 + 640, (sh - 480) / 2 + 480};
    EXPECT_TRUE(EqualRect(&expect, &r));
    RECT framed = {0, 0, 640, 480};
    kcCenterWindowRect(&framed, WS_OVERLAPPEDWINDOW, WS_EX_DLGMODALFRAME, FALSE);
    AdjustWindowRectEx(&expect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_DLGMODALFRAME);
    EXPECT_TRUE(EqualRect(&expect, &framed));
    LogCapture log;
    kcCenterWindowRect(nullptr, 0, (DWORD)-1, FALSE);
    ASSERT_EQ(1u, log.Asserts().size());
    EXPECT_NE(std::string::npos, log.Asserts()[0].find("rect構造体が未定義です"));

    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, L"STATIC", L"child", WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
    if (!owner || !child) GTEST_SKIP() << "no window station";
    EXPECT_EQ(0, kcCenterWindow(owner, nullptr));
    EXPECT_EQ(1, kcCenterWindow(owner, child));
    RECT c, want = {250, 225, 350, 275};
    GetWindowRect(child, &c);
    EXPECT_TRUE(EqualRect(&want, &c));
    DestroyWindow(child);
    DestroyWindow(owner);
}
