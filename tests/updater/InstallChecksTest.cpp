#include "UpdaterState.h"
#include "UpdaterFiles.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>

namespace {

const std::string kSjisDecl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";

bool Parse(const std::string& bytes, std::wstring* out)
{
    std::string padded = bytes + std::string(8, '\0');
    wchar_t path[kPathChars] = L"untouched";
    const bool ok = ParseInstallPath(padded.data(), bytes.size(), path);
    *out = path;
    return ok;
}

} // namespace

TEST(InstallPath, EncodingsAndVerbatimText)
{
    struct Case {
        const char* name;
        std::string bytes;
        const wchar_t* expected;
    } cases[] = {
        {"utf-8", u8"<?xml version=\"1.0\"?><x><path>C:\\ゲーム\\蒼</path></x>", L"C:\\ゲーム\\蒼"},
        {"shift_jis", kSjisDecl + "<path>C:\\" + Sjis(u8"表示") + "</path>", L"C:\\表示"},
        {"single quotes mean utf-8", u8"<?xml version='1.0' encoding='Shift_JIS'?><path>D:\\表</path>", L"D:\\表"},
        {"bom means utf-8", "\xEF\xBB\xBF" + kSjisDecl + u8"<path>E:\\表</path>", L"E:\\表"},
        {"entity kept", "<path>C:\\a&amp;b</path>", L"C:\\a&amp;b"},
        {"blanks kept", "<path> C:\\x </path>", L" C:\\x "},
        {"close before open is empty", "</path><path>C:\\x", L""},
        {"first tags count", "<path>A</path><path>B</path>", L"A"},
    };
    for (const Case& c : cases) {
        std::wstring path;
        EXPECT_TRUE(Parse(c.bytes, &path)) << c.name;
        EXPECT_EQ(std::wstring(c.expected), path) << c.name;
    }
}

TEST(InstallPath, HostileFormsAreRefused)
{
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"no open tag", "C:\\x</path>"},
        {"no close tag", "<path>C:\\x"},
        {"empty file", ""},
        {"tag after a NUL", std::string("ab\0<path>C:\\x</path>", 20)},
        {"path of 260 characters", "<path>" + std::string(260, 'a') + "</path>"},
        {"text over the byte buffer", "<path>" + std::string(520, 'a') + "</path>"},
        {"shift_jis text too long for its UTF-8 form", kSjisDecl + "<path>" + [] {
             std::string s;
             for (int i = 0; i < 200; ++i) s += Sjis(u8"表");
             return s;
         }() + "</path>"},
    };
    for (const Case& c : cases) {
        std::wstring path;
        EXPECT_FALSE(Parse(c.bytes, &path)) << c.name;
        EXPECT_EQ(L"untouched", path) << c.name;
    }
    std::wstring path;
    EXPECT_TRUE(Parse("<path>" + std::string(259, 'a') + "</path>", &path));
    EXPECT_EQ(259u, path.size());
}

TEST(InstallPath, FileMustNameAnExistingFolder)
{
    TempDir dir;
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"game").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dir.File(L"file.txt"), "x"));
    auto utf8 = [](const std::wstring& w) {
        char out[1024];
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out, sizeof(out), nullptr, nullptr);
        return std::string(out);
    };
    const std::string folder = utf8(dir.File(L"game")), file = utf8(dir.File(L"file.txt"));
    struct Case {
        std::string text;
        bool ok;
    } cases[] = {{folder, true}, {"", false}, {folder + "\\missing", false}, {file, false}};
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(dir.File(L"app.xml"), "<?xml version=\"1.0\"?><document><path>" + c.text + "</path></document>"));
        wchar_t path[kPathChars] = L"before";
        EXPECT_EQ(c.ok, ReadInstallPathFile(dir.File(L"app.xml").c_str(), path)) << c.text;
        if (c.ok)
            EXPECT_EQ(dir.File(L"game"), std::wstring(path));
        else
            EXPECT_STREQ(L"before", path);
    }
    wchar_t path[kPathChars];
    EXPECT_FALSE(ReadInstallPathFile(dir.File(L"none.xml").c_str(), path));
}

TEST(InstalledVersion, PlainTextSearch)
{
    struct Case {
        const char* text;
        uint32_t expected;
    } cases[] = {
        {"<VERSION><major>1</major><minor>2</minor></VERSION>", 0x10002},
        {"<!-- <major>7</major> --><major>1</major><minor>3</minor>", 0x70003},
        {"<major> 1</major><minor>2</minor>", 2},
        {"<major>2</major>", 0x20000},
        {"<minor>5</minor><major>0x10</major>", 0x100005},
        {"</major><major>3</major><minor>1</minor>", 1},
        {"<major>1.5</major><minor>1</minor>", 1},
        {"nothing", 0},
    };
    for (const Case& c : cases) {
        std::string bytes = std::string(c.text) + std::string(8, '\0');
        EXPECT_EQ(c.expected, ParseInstalledVersion(bytes.data())) << c.text;
    }
}

TEST(InstalledVersion, ReadFromInstallationAndCompared)
{
    TempDir dir;
    EXPECT_EQ(0u, ReadInstalledVersionFrom(dir.Path().c_str()));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"config").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dir.File(L"config\\startup.xml"),
                           "<?xml version=\"1.0\"?><document><VERSION><major>1</major><minor>2</minor></VERSION></document>"));
    const uint32_t installed = ReadInstalledVersionFrom(dir.Path().c_str());
    EXPECT_EQ(0x10002u, installed);
    UpdateInfo info;
    wcscpy(info.major, L"1");
    wcscpy(info.minor, L"2");
    EXPECT_FALSE(installed < RequiredVersion(info));
    wcscpy(info.minor, L"3");
    EXPECT_TRUE(installed < RequiredVersion(info));
    info.major[0] = info.minor[0] = 0; // missing elements require version 0
    EXPECT_EQ(0u, RequiredVersion(info));
}

TEST(CollectFiles, RelativePathsOfEveryFile)
{
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"top.txt"), "1"));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"sub\\深い").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"empty").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dir.File(L"sub\\深い\\a.bin"), ""));
    ASSERT_TRUE(WriteBytes(dir.File(L"sub\\hidden.dat"), "h"));
    SetFileAttributesW(dir.File(L"sub\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    std::vector<std::wstring> files;
    CollectFilesFrom(dir.Path(), L"", files);
    std::sort(files.begin(), files.end());
    const std::vector<std::wstring> expected = {L"sub\\hidden.dat", L"sub\\深い\\a.bin", L"top.txt"};
    EXPECT_EQ(expected, files);

    // Relative to the current folder, as the program collects.
    wchar_t old[1024];
    GetCurrentDirectoryW(1024, old);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.File(L"sub").c_str()));
    std::vector<std::wstring> here;
    CollectFilesFrom(L"", L"", here);
    SetCurrentDirectoryW(old);
    std::sort(here.begin(), here.end());
    EXPECT_EQ((std::vector<std::wstring>{L"hidden.dat", L"深い\\a.bin"}), here);
}

TEST(CollectFiles, LinkedFoldersAreNotEntered)
{
    TempDir dir, outside;
    ASSERT_TRUE(WriteBytes(outside.File(L"secret.txt"), "s"));
    ASSERT_TRUE(WriteBytes(dir.File(L"a.txt"), "a"));
    if (!CreateSymbolicLinkW(dir.File(L"link").c_str(), outside.Path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        GTEST_SKIP() << "no folder links here";
    // The program sees what the folder search reports.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(dir.File(L"link").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    if (find == INVALID_HANDLE_VALUE || !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "links are not reported as reparse points here";
    std::vector<std::wstring> files;
    CollectFilesFrom(dir.Path(), L"", files);
    RemoveDirectoryW(dir.File(L"link").c_str());
    EXPECT_EQ(std::vector<std::wstring>{L"a.txt"}, files);
}

TEST(CollectFiles, OverlongPathsAreFoundBeforeCopying)
{
    const std::wstring root = L"C:\\" + std::wstring(200, L'r');
    const std::wstring fits(55, L'f');      // root + '\' + 55 = 259
    const std::wstring tooLong(56, L'g');   // 260
    EXPECT_EQ(L"", FindOverlongPath(L"D:\\data", root.c_str(), {L"a", fits}));
    EXPECT_EQ(root + L"\\" + tooLong, FindOverlongPath(L"D:\\data", root.c_str(), {L"a", tooLong}));
    EXPECT_EQ(root + L"\\" + tooLong, FindOverlongPath(root.c_str(), L"D:\\x", {tooLong}));
    // The quoted log entry must fit too.
    const std::wstring entry(258, L'e');
    EXPECT_EQ(entry, FindOverlongPath(L"", L"", {entry}));
}

TEST(JoinPath, FollowsTheLibraryJoin)
{
    EXPECT_EQ(L"C:\\a", JoinPath({L"C:\\", L"a"}));
    EXPECT_EQ(L"x\\y\\z", JoinPath({L"x\\", L"y", L"z"}));
    EXPECT_EQ(L"x\\uninst.exe", JoinPath({L"x\\", L"uninst.exe"}));
}
