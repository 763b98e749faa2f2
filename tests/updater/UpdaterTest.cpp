#include "UpdaterFiles.h"
#include "UpdaterState.h"
#include "UpdatingDialog.h"
#include "kcFileCopier.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <functional>
#include <thread>

namespace {

std::string Lang(int slot, const std::string& code, const std::string& key)
{
    const std::string name = (slot < 10 ? "lang0" : "lang") + std::to_string(slot);
    return "<" + name + "><code>" + code + "</code><prifix>" + key + "</prifix></" + name + ">";
}

std::string Texts(const std::string& key, const std::string& title, const std::string& errorCopy = "copy")
{
    return "<" + key + "><message><wndtitle>" + title + "</wndtitle><intoro>intro " + key +
           "</intoro><success>ok</success><error_copy>" + errorCopy + "</error_copy></message><message_sys><copying>"
           "busy</copying></message_sys><message_error><boot>boot</boot><title>fail</title></message_error></" + key + ">";
}

bool Load(const TempDir& dir, UpdateInfo& info, const std::string& body)
{
    const std::wstring path = dir.File(L"updateinfo.xml");
    return WriteBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>" + body + "</document>") &&
           LoadUpdateInfo(info, path.c_str());
}

std::string Utf8(const std::wstring& w)
{
    char out[1024];
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out, sizeof(out), nullptr, nullptr);
    return out;
}

} // namespace

TEST(UpdateInfo, EdgeCases)
{
    TempDir dir;
    UpdateInfo info;
    EXPECT_FALSE(LoadUpdateInfo(info, dir.File(L"none.xml").c_str()));
    EXPECT_FALSE(Load(dir, info, "<brand>x</brnd>"));
    const std::string longKey(70, 'k');
    struct {
        const char* name;
        std::string body;
        std::function<void(const UpdateInfo&)> check;
    } cases[] = {
        {"every field, default key jp",
         "<brand>Maker</brand><app>Game</app><mutex>gm</mutex><confmutex>cm</confmutex><version><major>1</major>"
         "<minor>2</minor></version><language>" + Lang(0, "1041", "jp") + "</language>" + Texts("jp", u8"更新"),
         [](const UpdateInfo& i) {
             EXPECT_EQ(L"Maker|Game|gm|cm|1|2|jp", std::wstring(i.brand) + L"|" + i.app + L"|" + i.mutex + L"|" +
                                                      i.confmutex + L"|" + i.major + L"|" + i.minor + L"|" + i.defaultLanguage);
             const LanguageRecord& jp = i.languages.at(L"jp");
             EXPECT_EQ(1041, jp.code);
             EXPECT_EQ(L"更新|intro jp|busy|fail|boot", std::wstring(jp.wndtitle) + L"|" + jp.intoro + L"|" + jp.copying +
                                                          L"|" + jp.title + L"|" + jp.boot);
         }},
        {"a gap ends the list", "<language>" + Lang(0, "1", "a") + Lang(2, "2", "b") + "</language>",
         [](const UpdateInfo& i) { EXPECT_EQ(1u, i.languages.size()); }},
        {"code -1 ends the list", "<language>" + Lang(0, "1", "a") + Lang(1, "-1", "b") + "</language>",
         [](const UpdateInfo& i) { EXPECT_EQ(1u, i.languages.size()); }},
        {"code 65535 ends the list, nothing to select", "<language>" + Lang(0, "65535", "a") + "</language>",
         [](const UpdateInfo& i) {
             UpdateInfo copy = i;
             EXPECT_FALSE(SelectLanguageFor(copy, 0x411));
             EXPECT_EQ(0, copy.current.wndtitle[0]);
         }},
        {"a code that is no number reads 0 and counts", "<language>" + Lang(0, "abc", "a") + Lang(1, "7", "b") + "</language>",
         [](const UpdateInfo& i) {
             EXPECT_EQ(2u, i.languages.size());
             EXPECT_EQ(0, i.languages.at(L"a").code);
         }},
        {"the first language of a key stays", "<language>" + Lang(0, "1", "jp") + Lang(1, "2", "jp") + "</language>",
         [](const UpdateInfo& i) { EXPECT_EQ(1, i.languages.at(L"jp").code); }},
        {"newlines only in window and dialog texts",
         "<language>" + Lang(0, "1", "jp") + "</language>" + Texts("jp", "A\\nB\\\\n", "C\\nD"),
         [](const UpdateInfo& i) {
             EXPECT_STREQ(L"A\nB\\\n", i.languages.at(L"jp").wndtitle);
             EXPECT_STREQ(L"C\\nD", i.languages.at(L"jp").error_copy);
         }},
        {"format characters stay", "<language>" + Lang(0, "1", "jp") + "</language>" + Texts("jp", "%s %n %d%%"),
         [](const UpdateInfo& i) { EXPECT_STREQ(L"%s %n %d%%", i.languages.at(L"jp").wndtitle); }},
        // 254 letters, then a character outside the BMP whose pair would straddle the cut.
        {"overlong texts cut at character boundaries",
         "<brand>" + std::string(300, 'b') + "</brand><language><default>" + longKey + "</default>" +
             Lang(0, "1", longKey) + "</language>" + Texts(longKey, std::string(254, 't') + u8"\U0001F600tail"),
         [](const UpdateInfo& i) {
             EXPECT_EQ(259u, wcslen(i.brand));
             EXPECT_EQ(63u, wcslen(i.defaultLanguage));
             ASSERT_EQ(1u, i.languages.size());
             EXPECT_EQ(std::wstring(kLanguageKeyChars, L'k'), i.languages.begin()->first);
             // The whole key still names its element.
             EXPECT_EQ(std::wstring(254, L't'), i.languages.begin()->second.wndtitle);
             EXPECT_EQ(0, wcsncmp(i.languages.begin()->second.intoro, L"intro kkk", 9));
         }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(dir, info, c.body));
        c.check(info);
    }
}

TEST(UpdateInfo, LanguageSelection)
{
    TempDir dir;
    UpdateInfo info;
    const std::string two = Lang(0, "1041", "jp") + Lang(1, "1033", "en");
    struct {
        const char* name;
        std::string languages, defaultKey;
        uint16_t ui;
        const wchar_t* expected;
    } cases[] = {
        {"code match wins", two, "en", 1041, L"jp"},     {"default key next", two, "jp", 1, L"jp"},
        {"smallest key last", two, "xx", 1, L"en"},      {"default is case-sensitive", two, "JP", 1, L"en"},
        {"single language always", Lang(0, "5", "zz"), "en", 1041, L"zz"},
    };
    for (auto& c : cases) {
        ASSERT_TRUE(Load(dir, info, "<language><default>" + c.defaultKey + "</default>" + c.languages + "</language>"));
        ASSERT_TRUE(SelectLanguageFor(info, c.ui)) << c.name;
        EXPECT_EQ(0, memcmp(&info.languages.at(c.expected), &info.current, sizeof(LanguageRecord))) << c.name;
    }
}

TEST(InstallPath, EncodingsAndHostileForms)
{
    const std::string sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
    const std::wstring fits(259, L'a');
    std::string manySjis;
    for (int i = 0; i < 200; ++i) manySjis += Sjis(u8"表");
    struct {
        const char* name;
        std::string bytes;
        const wchar_t* expected; // null: refused, the path untouched
    } cases[] = {
        {"utf-8", u8"<?xml version=\"1.0\"?><x><path>C:\\ゲーム\\蒼</path></x>", L"C:\\ゲーム\\蒼"},
        {"shift_jis", sjis + "<path>C:\\" + Sjis(u8"表示") + "</path>", L"C:\\表示"},
        {"single quotes mean utf-8", u8"<?xml version='1.0' encoding='Shift_JIS'?><path>D:\\表</path>", L"D:\\表"},
        {"bom means utf-8", "\xEF\xBB\xBF" + sjis + u8"<path>E:\\表</path>", L"E:\\表"},
        {"entity and blanks kept", "<path> C:\\a&amp;b </path>", L" C:\\a&amp;b "},
        {"close before open is empty", "</path><path>C:\\x", L""},
        {"first tags count", "<path>A</path><path>B</path>", L"A"},
        {"259 characters fit", "<path>" + std::string(259, 'a') + "</path>", fits.c_str()},
        {"no open tag", "C:\\x</path>", nullptr},
        {"no close tag", "<path>C:\\x", nullptr},
        {"empty file", "", nullptr},
        {"tag after a NUL", std::string("ab\0<path>C:\\x</path>", 20), nullptr},
        {"260 characters", "<path>" + std::string(260, 'a') + "</path>", nullptr},
        {"over the byte buffer", "<path>" + std::string(520, 'a') + "</path>", nullptr},
        {"shift_jis too long for its UTF-8 form", sjis + "<path>" + manySjis + "</path>", nullptr},
    };
    for (auto& c : cases) {
        const std::string padded = c.bytes + std::string(kFilePadding, '\0');
        wchar_t path[kPathChars] = L"untouched";
        EXPECT_EQ(c.expected != nullptr, ParseInstallPath(padded.data(), c.bytes.size(), path)) << c.name;
        EXPECT_EQ(std::wstring(c.expected ? c.expected : L"untouched"), path) << c.name;
    }

    // The file must name an existing folder.
    TempDir dir;
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"game").c_str(), nullptr) && WriteBytes(dir.File(L"file.txt"), "x"));
    const std::string folder = Utf8(dir.File(L"game"));
    for (const std::string& text : {folder, std::string(), folder + "\\missing", Utf8(dir.File(L"file.txt"))}) {
        ASSERT_TRUE(WriteBytes(dir.File(L"app.xml"), "<?xml version=\"1.0\"?><document><path>" + text + "</path></document>"));
        wchar_t path[kPathChars] = L"before";
        EXPECT_EQ(text == folder, ReadInstallPathFile(dir.File(L"app.xml").c_str(), path)) << text;
        EXPECT_EQ(text == folder ? dir.File(L"game") : L"before", std::wstring(path));
    }
    wchar_t path[kPathChars];
    EXPECT_FALSE(ReadInstallPathFile(dir.File(L"none.xml").c_str(), path));
}

TEST(InstalledVersion, PlainTextSearch)
{
    struct {
        const char* text;
        uint32_t expected;
    } cases[] = {
        {"<VERSION><major>1</major><minor>2</minor></VERSION>", 0x10002},
        {"<!-- <major>7</major> --><major>1</major><minor>3</minor>", 0x70003},
        {"<major> 1</major><minor>2</minor>", 2},           {"<major>2</major>", 0x20000},
        {"<minor>5</minor><major>0x10</major>", 0x100005},  {"</major><major>3</major><minor>1</minor>", 1},
        {"<major>1.5</major><minor>1</minor>", 1},          {"nothing", 0},
    };
    for (auto& c : cases) EXPECT_EQ(c.expected, ParseInstalledVersion((c.text + std::string(8, '\0')).c_str())) << c.text;
}

TEST(CollectFiles, EveryFileButNotThroughLinks)
{
    TempDir dir, outside;
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"sub").c_str(), nullptr) && CreateDirectoryW(dir.File(L"sub\\深い").c_str(), nullptr) &&
                CreateDirectoryW(dir.File(L"empty").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dir.File(L"top.txt"), "1") && WriteBytes(dir.File(L"sub\\深い\\a.bin"), "") &&
                WriteBytes(dir.File(L"sub\\hidden.dat"), "h") && WriteBytes(outside.File(L"secret.txt"), "s"));
    SetFileAttributesW(dir.File(L"sub\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // A linked folder is skipped where the folder search reports it as a reparse point.
    CreateSymbolicLinkW(dir.File(L"link").c_str(), outside.Path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(dir.File(L"link").c_str(), &data);
    const bool linkSeen = find != INVALID_HANDLE_VALUE && FindClose(find) && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    std::vector<std::wstring> files;
    CollectFilesFrom(dir.Path(), L"", files);
    RemoveDirectoryW(dir.File(L"link").c_str());
    std::sort(files.begin(), files.end());
    if (!linkSeen) files.erase(std::remove(files.begin(), files.end(), L"link\\secret.txt"), files.end());
    EXPECT_EQ((std::vector<std::wstring>{L"sub\\hidden.dat", L"sub\\深い\\a.bin", L"top.txt"}), files);
}

TEST(CollectFiles, OverlongPathsAreFoundBeforeCopying)
{
    // A destination leaves room for the copier's temporary suffix: 253 characters fit, 254 do not.
    const std::wstring root = L"C:\\" + std::wstring(200, L'r'); // 203 characters
    struct {
        const wchar_t* source;
        std::wstring destination, file, expected;
    } cases[] = {
        {L"D:\\d", root, std::wstring(49, L'f'), L""},
        {L"D:\\d", root, std::wstring(50, L'g'), root + L"\\" + std::wstring(50, L'g')},
        {root.c_str(), L"D:\\x", std::wstring(55, L'h'), L""},
        {root.c_str(), L"D:\\x", std::wstring(56, L'i'), root + L"\\" + std::wstring(56, L'i')},
        {L"", L"", std::wstring(258, L'e'), std::wstring(258, L'e')}, // the quoted log entry
    };
    for (auto& c : cases) EXPECT_EQ(c.expected, FindOverlongPath(c.source, c.destination.c_str(), {L"a", c.file}));
}

TEST(InstallLog, MergedSortedAndUniqueByteForByte)
{
    TempDir dir;
    struct {
        const char* before; // null: no log yet
        std::vector<std::wstring> files;
        std::string after;
    } cases[] = {
        // The old spelling of an entry stays; entries sort without regard to case.
        {"\"DATA\\A.TXT\"\r\n\"zeta.bin\"\r\n", {L"data\\a.txt", L"b.txt", L"画像\\表.png", L"b.txt"},
         "\"b.txt\"\r\n\"DATA\\A.TXT\"\r\n\"zeta.bin\"\r\n" + std::string(u8"\"画像\\表.png\"\r\n")},
        {"\"b\"\n\"a\"\r\n\"B\"", {}, "\"a\"\r\n\"b\"\r\n"}, // an empty package rewrites the log
        {nullptr, {L"x"}, "\"x\"\r\n"},
    };
    for (auto& c : cases) {
        const std::wstring log = dir.File(L"install.log");
        DeleteFileW(log.c_str());
        ASSERT_TRUE(!c.before || WriteBytes(log, c.before));
        ASSERT_TRUE(WriteInstallLog(log.c_str(), c.files));
        std::string bytes;
        ASSERT_TRUE(ReadBytes(log, &bytes));
        EXPECT_EQ(c.after, bytes);
    }
    EXPECT_FALSE(WriteInstallLog(dir.File(L"missing\\install.log").c_str(), {L"x"}));
}

TEST(UninstallKey, OneBackslashBeforeUninstallAndTheNulCounted)
{
    const wchar_t keyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kcUpdaterUnitTest";
    ASSERT_TRUE(WriteUninstallKey(HKEY_CURRENT_USER, L"kcUpdaterUnitTest", L"C:\\Games\\蒼嵐\\"));
    wchar_t value[600] = {};
    DWORD type = 0, size = sizeof(value);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"UninstallString", nullptr, &type, (BYTE*)value, &size));
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, keyPath);
    EXPECT_STREQ(L"C:\\Games\\蒼嵐\\uninst.exe", value);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ((wcslen(value) + 1) * 2, size);
}

TEST(UpdatingDialog, FailedCopyOrStartPostsOneFailure)
{
    // A copy failure shows the copier's text and posts one failure; so does a copier that
    // cannot start (here: started before), instead of leaving the dialog waiting.
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    wcscpy(Updater().info.current.title, L"kcCopyFailure");
    std::vector<std::wstring> texts;
    std::thread answer([&texts] {
        for (int i = 0; i < 6000 && texts.size() < 2; ++i) {
            HWND box = FindWindowW(L"#32770", L"kcCopyFailure");
            if (!box) {
                Sleep(10);
                continue;
            }
            wchar_t text[600] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 600);
            texts.push_back(text);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box)) Sleep(10);
        }
    });
    TempDir dir;
    kcFileCopier* copier = new kcFileCopier(3, 1);
    copier->AddJob(dir.File(L"none").c_str(), dir.File(L"out").c_str(), 0);
    EXPECT_TRUE(StartCopier(*copier, window));
    MSG message;
    ASSERT_GT(GetMessageW(&message, window, WM_UPDATE_COPY_DONE, WM_UPDATE_COPY_FAILED), 0);
    EXPECT_EQ(static_cast<UINT>(WM_UPDATE_COPY_FAILED), message.message);
    EXPECT_FALSE(StartCopier(*copier, window));
    delete copier; // the run's final report is in: nothing more may be posted
    answer.join();
    std::vector<UINT> posted;
    while (PeekMessageW(&message, window, WM_USER, WM_USER + 100, PM_REMOVE)) posted.push_back(message.message);
    EXPECT_EQ(std::vector<UINT>{WM_UPDATE_COPY_FAILED}, posted);
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(0u, texts[0].find(L"ソースファイル [" + dir.File(L"none") + L"] がオープン出来ません。 : "));
    wchar_t busy[514] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_BUSY, 0, busy, 514, nullptr);
    EXPECT_EQ(busy, texts[1]);
    DestroyWindow(window);
    Updater().info.current.title[0] = 0;
}
