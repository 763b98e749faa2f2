#include "updater/FileCollection.h"
#include "updater/InstallPath.h"
#include "updater/InstalledVersion.h"
#include "updater/UpdaterFiles.h"
#include "updater/UpdaterState.h"
#include "updater/UpdateWindow.h"
#include "updater/UpdatingDialog.h"
#include "updater/kcFileCopier.h"
#include "foundation/kcFile.h"
#include "foundation/kcString.h"
#include "foundation/kcStringList.h"
#include "image/kcImage.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>

namespace {

std::string Lang(int slot, const std::string& code, const std::string& key)
{
    const std::string name = "lang0" + std::to_string(slot);
    return "<" + name + "><code>" + code + "</code><prifix>" + key + "</prifix></" + name + ">";
}

std::string Texts(const std::string& key, const std::string& title, const std::string& errorCopy = "e")
{
    return "<" + key + "><message><wndtitle>" + title + "</wndtitle><intoro>i</intoro><error_copy>" + errorCopy +
           "</error_copy></message><message_sys><copying>c</copying></message_sys><message_error><boot>b</boot>"
           "<title>t</title></message_error></" + key + ">";
}

bool Load(const TempDir& dir, UpdateInfo& info, const std::string& body)
{
    const std::wstring path = dir.File(L"updateinfo.xml");
    return WriteBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>" + body + "</document>") &&
           LoadUpdateInfo(info, path.c_str());
}

// brand|app|mutex|confmutex|major.minor|default, then key=code:texts for each language.
std::wstring Describe(const UpdateInfo& i)
{
    std::wstring d = std::wstring(i.brand) + L"|" + i.app + L"|" + i.mutex + L"|" + i.confmutex + L"|" + i.major +
                     L"." + i.minor + L"|" + i.defaultLanguage;
    for (auto& [key, r] : i.languages)
        d += L"|" + key + L"=" + std::to_wstring(r.code) + L":" + r.wndtitle + L":" + r.intoro + L":" + r.error_copy +
             L":" + r.copying + L":" + r.boot + L":" + r.title;
    return d;
}

} // namespace

TEST(UpdateInfo, EdgeCases)
{
    TempDir dir;
    UpdateInfo info;
    EXPECT_FALSE(LoadUpdateInfo(info, dir.File(L"none.xml").c_str()));
    EXPECT_FALSE(Load(dir, info, "<brand>x</brnd>"));
    const std::string k(70, 'k');
    const std::wstring k63(kLanguageKeyChars, L'k');
    struct {
        std::string body;
        std::wstring expected;
    } cases[] = {
        {"<brand>Maker</brand><app>Game</app><mutex>gm</mutex><confmutex>cm</confmutex><version><major>1</major>"
         "<minor>2</minor></version><language>" + Lang(0, "1041", "jp") + "</language>" + Texts("jp", u8"更新"),
         L"Maker|Game|gm|cm|1.2|jp|jp=1041:更新:i:e:c:b:t"},
        // The list ends at a gap, at code -1 or 65535; a code that is no number reads 0.
        {"<language>" + Lang(0, "1", "a") + Lang(2, "2", "b") + "</language>", L"||||.|jp|a=1::::::"},
        {"<language>" + Lang(0, "1", "a") + Lang(1, "-1", "b") + "</language>", L"||||.|jp|a=1::::::"},
        {"<language>" + Lang(0, "65535", "a") + "</language>", L"||||.|jp"},
        {"<language>" + Lang(0, "x", "a") + Lang(1, "7", "b") + "</language>", L"||||.|jp|a=0::::::|b=7::::::"},
        {"<language>" + Lang(0, "1", "jp") + Lang(1, "2", "jp") + "</language>", L"||||.|jp|jp=1::::::"},
        // Only the window and dialog texts know "\n"; format characters stay as they are.
        {"<language>" + Lang(0, "1", "jp") + "</language>" + Texts("jp", "A\\nB\\\\n%s%n", "C\\nD"),
         L"||||.|jp|jp=1:A\nB\\\n%s%n:i:C\\nD:c:b:t"},
        // Overlong texts are cut at character boundaries; the whole key still names its element.
        {"<brand>" + std::string(300, 'b') + "</brand><language><default>" + k + "</default>" + Lang(0, "1", k) +
             "</language>" + Texts(k, std::string(254, 't') + u8"\U0001F600tail"),
         std::wstring(259, L'b') + L"||||.|" + k63 + L"|" + k63 + L"=1:" + std::wstring(254, L't') + L":i:e:c:b:t"},
    };
    for (auto& c : cases) {
        ASSERT_TRUE(Load(dir, info, c.body));
        EXPECT_EQ(c.expected, Describe(info));
    }
    EXPECT_FALSE(SelectLanguageFor(info = UpdateInfo(), 0x411));
    // A brand or app shown cut never names the installation-folder file.
    const std::pair<std::string, bool> names[] = {{"<brand>B</brand><app>A</app>", true}, {"", true},
                                                  {"<brand>B\x80x</brand>", false}, {"<app>A\xFF\xFF</app>", false},
                                                  {"<brand>" + std::string(260, 'b') + "</brand>", false},
                                                  {"<app>" + std::string(259, 'a') + "</app>", true}};
    for (auto& [body, whole] : names) {
        ASSERT_TRUE(Load(dir, info, body));
        EXPECT_EQ(whole, info.namesWhole) << body;
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
    } cases[] = {{"code match wins", two, "en", 1041, L"jp"}, {"default key next", two, "jp", 1, L"jp"},
                 {"smallest key last", two, "xx", 1, L"en"}, {"default is case-sensitive", two, "JP", 1, L"en"},
                 {"single language always", Lang(0, "5", "zz"), "en", 1041, L"zz"}};
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
        // Whole or not at all: cut at its first bad byte, a path names a parent folder.
        {"shift_jis under a lower-case declaration", "<?xml version=\"1.0\" encoding=\"shift_jis\"?><path>C:\\" + Sjis(u8"ゲーム") + "</path>", nullptr},
        {"shift_jis without a declaration", "<path>C:\\Games\\" + Sjis(u8"テスト版") + "</path>", nullptr},
        {"utf-8 with a bad byte", "<path>C:\\Games\\\x80x</path>", nullptr},
        {"utf-8 overlong form", "<path>C:\\\xC0\xAFx</path>", nullptr},
        {"the FF FF form", "<path>C:\\a\xFF\xFF</path>", nullptr},
        {"a NUL inside", std::string("<path>C:\\a\0b</path>", 17), nullptr},
        {"shift_jis cut lead byte", sjis + "<path>C:\\a\x83</path>", nullptr},
    };
    for (auto& c : cases) {
        const std::string padded = c.bytes + std::string(kFilePadding, '\0');
        wchar_t path[kPathChars] = L"untouched";
        EXPECT_EQ(c.expected != nullptr, ParseInstallPath(padded.data(), c.bytes.size(), path)) << c.name;
        EXPECT_EQ(std::wstring(c.expected ? c.expected : L"untouched"), path) << c.name;
    }
    // The file offset of the first byte not taken, for the log.
    const std::string bad = "<x><path>C:\\G\x80</path>" + std::string(kFilePadding, '\0');
    wchar_t path[kPathChars];
    size_t stop = 0;
    EXPECT_FALSE(ParseInstallPath(bad.data(), bad.size() - kFilePadding, path, &stop));
    EXPECT_EQ(13u, stop);
    // Only an existing folder named whole is taken, with either slash: a relative one would follow
    // the current folder.
    TempDir dir;
    const std::wstring file = dir.File(L"app.xml"), folder = dir.Path();
    std::wstring slashed = folder;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    const std::pair<std::wstring, bool> forms[] = {{folder, true},          {slashed, true},
                                                   {L"", false},            {L".", false},
                                                   {folder.substr(2), false}, {slashed.substr(2), false},
                                                   {slashed.substr(0, 2) + slashed.substr(3), false}, {file, false}};
    for (auto& [form, taken] : forms) {
        wchar_t path[kPathChars] = L"";
        ASSERT_TRUE(WriteBytes(file, "<path>" + std::string(form.begin(), form.end()) + "</path>"));
        EXPECT_EQ(taken, ReadInstallPathFile(file.c_str(), path) && form == path) << std::string(form.begin(), form.end());
    }
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

// Files below a folder as paths relative to the base, through nested, empty and Japanese-named
// folders; a linked folder (a reparse point) is not entered.
TEST(FileCollection, NestedEmptyJapaneseAndLinkedFolders)
{
    TempDir dir;
    for (const wchar_t* folder : {L"a", L"a\\b", L"a\\b\\c", L"a\\empty", L"empty", L"画像", L"画像\\深い"})
        ASSERT_TRUE(CreateDirectoryW(dir.File(folder).c_str(), nullptr));
    for (const wchar_t* file : {L"top.txt", L"a\\b\\c\\deep.bin", L"a\\b\\also.txt", L"画像\\深い\\表.txt"})
        ASSERT_TRUE(WriteBytes(dir.File(file), "x"));
    auto collect = [](const std::wstring& base, const std::wstring& relative) {
        std::vector<std::wstring> list;
        CollectFilesFrom(base, relative, list);
        std::sort(list.begin(), list.end());
        return list;
    };
    typedef std::vector<std::wstring> Paths;
    EXPECT_EQ((Paths{L"a\\b\\also.txt", L"a\\b\\c\\deep.bin", L"top.txt", L"画像\\深い\\表.txt"}), collect(dir.Path(), L""));
    EXPECT_EQ((Paths{L"a\\b\\also.txt", L"a\\b\\c\\deep.bin"}), collect(dir.Path(), L"a"));
    EXPECT_EQ(Paths{}, collect(dir.Path(), L"empty"));
#ifdef KC_LINKED_TREE
    // Made by the build (Wine cannot make reparse points): "sub\back" links to the tree itself.
    const std::string tree = KC_LINKED_TREE;
    EXPECT_EQ((Paths{L"sub\\inner.txt", L"top.txt"}), collect(std::wstring(tree.begin(), tree.end()), L""));
#endif
}

TEST(FindOverlongPath, UsesTheCopiersLimits)
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

// A log the list would not give back byte for byte (a Latin-1 or Shift_JIS line, a NUL byte,
// an overlong form) is left as it is, without the new entry, and a log line says so. A line
// beyond the first plane, or with a CR inside, comes back whole.
TEST(InstallLog, ALogThatIsNotUtf8KeepsEveryByte)
{
    using namespace std::string_literals;
    TempDir dir;
    const std::wstring log = dir.File(L"install.log");
    const std::string logs[] = {"\"a.txt\"\r\n\"caf\xE9.txt\"\r\n\"z\"\r\n\0\"after.nul\"\r\n"s, "\"a\"\r\n\0\"b\"\r\n"s,
                                "\"\x95\x5C.txt\"\r\n"s, "\"\xC0\xAF\"\r\n"s, u8"\"\U0001F600\r.txt\"\r\n"s};
    for (const std::string& before : logs) {
        const bool kept = &before != &logs[4]; // else one entry, rewritten the same
        SCOPED_TRACE(testing::PrintToString(before));
        ASSERT_TRUE(WriteBytes(log, before));
        LogCapture capture;
        EXPECT_EQ(!kept, WriteInstallLog(log.c_str(), kept ? std::vector<std::wstring>{L"new.txt"} : std::vector<std::wstring>{}));
        std::string after;
        EXPECT_TRUE(ReadBytes(log, &after) && after == before) << testing::PrintToString(after);
        EXPECT_EQ(kept, capture.Contains("is not UTF-8 or holds a NUL byte"));
    }
}

// The installation-folder file and the game definition are read up to their bound, a byte more
// is refused with a log line; an install log that cannot be read is left as it is.
TEST(UpdaterFiles, AboveTheirBoundRefused)
{
    TempDir dir;
    char folder[kPathChars * 3];
    kcWideToUtf8N(dir.Path().c_str(), folder, sizeof folder);
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"config").c_str(), nullptr));
    LogCapture capture;
    for (int extra : {0, 1}) {
        wchar_t path[kPathChars] = L"";
        ASSERT_TRUE(WriteSparseFile(dir.File(L"app.xml"), kInstallPathFileMaxBytes + extra, std::string("<path>") + folder + "</path>") &&
                    WriteSparseFile(dir.File(L"config\\startup.xml"), kGameDefinitionMaxBytes + extra, "<major>1</major><minor>2</minor>"));
        EXPECT_EQ(extra == 0, ReadInstallPathFile(dir.File(L"app.xml").c_str(), path)) << extra;
        EXPECT_EQ(extra == 0 ? 0x10002u : 0u, ReadInstalledVersionFrom(dir.Path().c_str())) << extra;
        EXPECT_EQ(extra == 1, capture.Contains("is larger than")) << extra;
    }
    ASSERT_TRUE(WriteSparseFile(dir.File(L"install.log"), kcStringListMaxFileBytes + 1LL, "\"old.txt\"\r\n"));
    EXPECT_FALSE(WriteInstallLog(dir.File(L"install.log").c_str(), {L"x"}));
    EXPECT_EQ(kcStringListMaxFileBytes + 1ULL, kcFile().GetSizeOf64(dir.File(L"install.log").c_str()));
}

TEST(UpdatingDialog, CopierThatCannotStartTakesTheFailureRoad)
{
    // Its box shows the system's text, and one failure is posted: the dialog does not wait for ever.
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    wcscpy(Updater().info.current.title, L"kcCopyFailure");
    std::wstring text;
    JoinedThread answer([&text] {
        HWND box = nullptr;
        for (int i = 0; i < 6000 && !(box = FindWindowW(L"#32770", L"kcCopyFailure")); ++i) Sleep(10);
        wchar_t shown[600] = {};
        GetDlgItemTextW(box, 0xFFFF, shown, 600);
        text = shown;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    kcFileCopier copier(3, 1);
    ASSERT_EQ(1, copier.Start(nullptr, nullptr, nullptr)); // a copier runs once
    EXPECT_FALSE(StartCopier(copier, window));
    answer.Join();
    std::vector<UINT> posted;
    MSG message;
    while (PeekMessageW(&message, window, WM_USER, WM_USER + 100, PM_REMOVE)) posted.push_back(message.message);
    EXPECT_EQ(std::vector<UINT>{WM_UPDATE_COPY_FAILED}, posted);
    wchar_t busy[514] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_BUSY, 0, busy, 514, nullptr);
    EXPECT_EQ(busy, text);
    DestroyWindow(window);
    Updater().info.current.title[0] = 0;
}

TEST(UpdateWindow, DrawsOnlyWhatStretchDIBitsTakes)
{
    const struct { int width, height, bpp, align; bool drawable, prepared; } cases[] = {
        {4, 2, 1, 4, false, false}, {2, 2, 2, 4, false, false}, {3, 2, 4, 1, true, true}, {0, 5, 4, 1, false, false},
        {5, 0, 4, 1, false, false}, {3, 2, 3, 4, true, true}, {3, 2, 3, 1, false, true}, // rows as a decoder packs them
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        kcImage img;
        ASSERT_TRUE(img.SetupPixels(c.width, c.height, c.bpp, c.align));
        const std::vector<int> before = {c.bpp, img.pitch};
        EXPECT_EQ(c.drawable, CanDrawBackground(&img));
        EXPECT_EQ(c.prepared, PrepareBackground(&img));
        // Prepared: 3 bytes on padded rows. Anything else is left alone; a zero size is never flattened.
        EXPECT_EQ(c.prepared ? std::vector<int>({3, 12}) : before, std::vector<int>({img.bytesPerPixel, img.pitch}));
    }
    EXPECT_FALSE(CanDrawBackground(nullptr) || PrepareBackground(nullptr));
}
