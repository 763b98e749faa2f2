#include "kcFolder.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <string>

namespace {

// The fixture DLLs are built beside the test executable.
std::wstring Fixture(const wchar_t* name)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

unsigned long long V(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return (unsigned long long)a << 48 | (unsigned long long)b << 32 | (unsigned long long)c << 16 | d;
}

} // namespace

TEST(Folder, SpecialFolders)
{
    wchar_t path[MAX_PATH];
    wcscpy(path, L"stale");
    EXPECT_EQ(0, kcGetSpecialFolder(12, path));
    EXPECT_STREQ(L"", path); // never a stale path behind a 0
    EXPECT_EQ(0, kcGetSpecialFolder(0, nullptr));

    ASSERT_EQ(1, kcGetSpecialFolder(KCFOLDER_TEMP, path));
    size_t n = wcslen(path);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(L'\\', path[n - 1]);
    ASSERT_EQ(1, kcGetSpecialFolder(KCFOLDER_WINDOWS, path));
    EXPECT_EQ(2, kcPathExists(path));
    for (unsigned kind = 0; kind < 12; ++kind) {
        wcscpy(path, L"stale");
        int r = kcGetSpecialFolder(kind, path);
        if (r)
            EXPECT_NE(0u, wcslen(path)) << kind;
        else
            EXPECT_STREQ(L"", path) << kind;
    }
    EXPECT_EQ(1, kcGetSpecialFolder(KCFOLDER_COMMON_APPDATA, path));
    EXPECT_EQ(1, kcGetSpecialFolder(KCFOLDER_APPDATA, path));
}

TEST(Folder, PathKindsAndCreation)
{
    TempDir dir;
    std::wstring file = dir.File(L"file.txt");
    ASSERT_TRUE(WriteBytes(file, "x"));
    EXPECT_EQ(0, kcPathExists(nullptr));
    EXPECT_EQ(1, kcPathExists(file.c_str()));
    EXPECT_EQ(2, kcPathExists(dir.Path().c_str()));
    EXPECT_EQ(0, kcPathExists(dir.File(L"none").c_str()));

    EXPECT_EQ(1, kcCreateFolders(L"X:", 0));
    EXPECT_EQ(1, kcCreateFolders(L"C:\\", 0));
    EXPECT_EQ(1, kcCreateFolders(dir.Path().c_str(), 0)); // exists already
    EXPECT_EQ(1, kcCreateFolders((dir.Path() + L"\\").c_str(), 0));
    EXPECT_EQ(0, kcCreateFolders(file.c_str(), 0)); // a file stands there
    EXPECT_EQ(0, kcCreateFolders((file + L"\\sub").c_str(), 0));
    EXPECT_EQ(0, kcCreateFolders(L"", 0));
    EXPECT_EQ(0, kcCreateFolders(nullptr, 0));

    std::wstring deep = dir.File(L"a\\b/c\\");
    EXPECT_EQ(1, kcCreateFolders(deep.c_str(), 0)); // a trailing separator still succeeds
    EXPECT_EQ(2, kcPathExists(dir.File(L"a\\b\\c").c_str()));

    std::wstring target = dir.File(L"p\\q\\data.bin");
    EXPECT_EQ(1, kcCreateFolders(target.c_str(), 1)); // only the folders above the file
    EXPECT_EQ(2, kcPathExists(dir.File(L"p\\q").c_str()));
    EXPECT_EQ(0, kcPathExists(target.c_str()));
    EXPECT_EQ(1, kcCreateFolders(L"plain.txt", 1)); // the current folder

    // Folders of more than 260 characters in all are made one by one.
    std::wstring longPath = L"\\\\?\\" + dir.Path();
    for (int i = 0; i < 30; ++i) longPath += L"\\folder" + std::to_wstring(i);
    EXPECT_EQ(1, kcCreateFolders(longPath.c_str(), 0));
    EXPECT_EQ(2, kcPathExists(longPath.c_str()));
    for (int i = 29; i >= 0; --i) {
        RemoveDirectoryW(longPath.c_str());
        longPath.resize(longPath.find_last_of(L'\\'));
    }
}

TEST(Folder, VersionFixtures)
{
    struct Case {
        const wchar_t* dll;
        int result;
        const wchar_t* text;
        unsigned long long version;
    } cases[] = {
        {L"verfix_commas.dll", 1, L"1, 0, 0, 3", V(1, 0, 0, 3)},
        {L"verfix_dots.dll", 1, L"1.0.0.3", V(1, 0, 0, 3)},
        {L"verfix_two.dll", 1, L"2.1", V(2, 0, 0, 0)},
        {L"verfix_three.dll", 1, L"1.2.3", V(1, 2, 0, 0)},
        {L"verfix_full.dll", 1, L"65535.2.30.400 (release)", V(65535, 2, 30, 400)},
        {L"verfix_junk.dll", 1, L"build x", 0},
        {L"verfix_notrans.dll", 1, L"", 0},
        {L"verfix_none.dll", 0, L"", 0},
        {L"no_such_file.dll", 0, L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.dll)));
        kcVersionInfo info;
        memset(&info, 0x55, sizeof info);
        LogCapture log;
        EXPECT_EQ(c.result, kcGetVersionInfo(Fixture(c.dll).c_str(), &info));
        EXPECT_STREQ(c.text, info.fileVersion);
        EXPECT_EQ(c.version, info.version);
        if (c.text[0]) {
            EXPECT_STREQ(L"kc fixtures", info.companyName);
            EXPECT_STREQ((std::wstring(c.dll).substr(0, wcslen(c.dll) - 4) + L" special").c_str(), info.specialBuild);
            EXPECT_STREQ(L"", info.productName);
            EXPECT_TRUE(log.Contains("version : "));
        } else {
            EXPECT_STREQ(L"", info.companyName); // record zeroed
        }
    }
}

TEST(Folder, FileVersionTexts)
{
    struct Case {
        const wchar_t* text;
        unsigned long long version;
    } cases[] = {
        {L"1, 0, 0, 3", V(1, 0, 0, 3)},
        {L"  4 ,5,  6 , 7", V(4, 5, 6, 7)},
        {L"1.2,3.4", V(1, 3, 0, 0)}, // "," first: "1.2" gives its digits, then "." for the rest
        {L"1,2.3.4", V(1, 2, 3, 4)},
        {L"0x10.0X20.3.4", V(16, 32, 3, 4)},
        {L"70000.1.1.1", V(70000 & 0xFFFF, 1, 1, 1)},
        {L"a.b.c.d", 0},
        {L"1.x.3.y", V(1, 0, 3, 0)},
        {L"1.2.3.4.5", V(1, 2, 3, 4)},
        {L"1...", V(1, 0, 0, 0)},
        {L"", 0},
        {nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text ? c.text : L"(null)")));
        EXPECT_EQ(c.version, kcParseFileVersion(c.text));
    }
    std::wstring huge(5000, L'9');
    EXPECT_EQ(kcParseFileVersion((huge + L".1.2.3").c_str()) & 0xFFFFFFFFFFFFull, V(0, 1, 2, 3));
}

TEST(Folder, Centring)
{
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    RECT r = {99, 99, 640, 480};
    kcCenterWindowRect(&r, WS_POPUP, (DWORD)-1, FALSE);
    EXPECT_EQ((sw - 640) / 2, r.left);
    EXPECT_EQ((sh - 480) / 2, r.top);
    EXPECT_EQ(r.left + 640, r.right);
    EXPECT_EQ(r.top + 480, r.bottom);

    RECT framed = {0, 0, 640, 480};
    kcCenterWindowRect(&framed, WS_OVERLAPPEDWINDOW, WS_EX_DLGMODALFRAME, FALSE);
    RECT expect = {(sw - 640) / 2, (sh - 480) / 2, (sw - 640) / 2 + 640, (sh - 480) / 2 + 480};
    AdjustWindowRectEx(&expect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_DLGMODALFRAME);
    EXPECT_TRUE(EqualRect(&expect, &framed));

    LogCapture log;
    kcCenterWindowRect(nullptr, 0, (DWORD)-1, FALSE);
    ASSERT_EQ(1u, log.Asserts().size());
    EXPECT_NE(std::string::npos, log.Asserts()[0].find("rect構造体が未定義です"));

    EXPECT_EQ(0, kcCenterWindow(nullptr, nullptr));
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, L"STATIC", L"child", WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
    if (!owner || !child) GTEST_SKIP() << "no window station";
    EXPECT_EQ(0, kcCenterWindow(owner, nullptr));
    EXPECT_EQ(1, kcCenterWindow(owner, child));
    RECT c;
    GetWindowRect(child, &c);
    EXPECT_EQ(250, c.left);
    EXPECT_EQ(225, c.top);
    EXPECT_EQ(100, c.right - c.left);
    DestroyWindow(child);
    DestroyWindow(owner);
}
