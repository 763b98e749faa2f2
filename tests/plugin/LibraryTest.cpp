// The real gx7conf.dll through our host: exports and imports, the object's slots,
// the sheet, what Apply, OK and Cancel write and call, the information page, and pages changed
// end to end against what the configuration model writes.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "plugin/SystemInfoPage.h"
#include "plugin/gx7Conf.h"
#include "plugin/gx7confResource.h"
#include "plugin/host/GameFolder.h"
#include "plugin/host/SheetDriver.h"
#include "plugin/host/gx7Host.h"
#include "plugin/kcDXCaps.h"
#include "support/PeFile.h"

namespace {
struct ApplyCounter {
    int calls = 0;
    void* lastContext = nullptr;
    static void __stdcall Callback(void* context) { ++static_cast<ApplyCounter*>(context)->calls, static_cast<ApplyCounter*>(context)->lastContext = context; }
};

struct Change {
    const char *section, *key;
    int value;
};

std::string ReadFile(const std::wstring& path)
{
    std::string bytes;
    return ReadBytes(path, &bytes), bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool IsNotice(HWND window, void*) { return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// What the model writes for "setup.xml" (start; empty: the defaults) with the changes; it gets
// the adapter data the plug-in has, as it matches the full-screen size against the modes.
std::string ModelWrites(const GameFolder& game, const std::vector<Change>& changes, const std::string& start = "")
{
    start.empty() ? (void)DeleteFileW(game.SetupXml().c_str()) : (void)WriteBytes(game.SetupXml(), start);
    {
        InFolder in(game.Path());
        kcDXCaps caps(0);
        kcCreateConfig(L"config\\startup.xml", nullptr, 0);
        kcConfig::Instance()->LoadUserSettings();
        for (const Change& c : changes)
            kcConfigSetInt(kcConfigCurrentBlock, c.section, c.key, c.value);
        kcConfig::Instance()->SaveUserSettings();
        kcReleaseConfig();
    }
    return ReadFile(game.SetupXml());
}

GameFolder Game(int view3d, int dontSave = 0)
{
    GameDefinition definition;
    definition.view3d = view3d, definition.dontSave = dontSave;
    return GameFolder(definition);
}

BOOL CALLBACK CountDialog(HWND window, LPARAM count)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return *reinterpret_cast<int*>(count) += lstrcmpW(name, L"#32770") == 0, TRUE;
}

// Dialogs of this thread (the notice, the sheet), shown or not.
int ThreadDialogCount()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountDialog, reinterpret_cast<LPARAM>(&count));
    return count;
}
} // namespace

class Library : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin.Load(KC_GX7CONF_DLL)); }
    void TearDown() override { plugin.Unload(); }

    // Returns Run's result; the sheet is cancelled if the script leaves it open.
    int Session(const GameFolder& game, const std::function<void(HWND sheet)>& script, ApplyCounter* counter = nullptr)
    {
        gx7HostOptions options;
        options.gameFolder = game.Path().c_str();
        options.callback = counter ? ApplyCounter::Callback : nullptr;
        options.context = counter;
        std::thread driver([&] {
            if (HWND sheet = WaitForSheet(30000)) {
                script(sheet);
                if (IsWindow(sheet))
                    PressSheetButton(sheet, PSBTN_CANCEL);
            }
        });
        const int result = gx7HostSession(plugin, options);
        driver.join();
        return result;
    }

    gx7Plugin plugin;
};

// The library file's headers: four exports by name and ordinal; only system libraries imported
// (no MinGW runtime beside the plug-in); from DSOUND one function, by ordinal 3 and no name, in a
// thunk of the file's own width (IMAGE_THUNK_DATA32 in the i686 build). Returns that import.
PeImport CheckLibraryFile(const std::wstring& path, bool is64)
{
    PeFile pe;
    PeImport dsound;
    SCOPED_TRACE(Utf8(path));
    if (!pe.Read(path)) {
        ADD_FAILURE() << "missing or not a PE file";
        return dsound;
    }
    EXPECT_EQ(is64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386, pe.machine);
    EXPECT_TRUE(pe.Is64() == is64 && pe.ordinalBase == 1 && pe.functionCount == 4);
    EXPECT_EQ((std::vector<PeExport>{{4, "GetPluginType"}, {3, "GetPluginVersion"}, {1, "MakeInstance"}, {2, "ReleaseInstance"}}),
              pe.exports);
    int dsounds = 0;
    for (PeImport import : pe.imports) {
        std::transform(import.dll.begin(), import.dll.end(), import.dll.begin(), ::tolower);
        for (const char* runtime : {"libgcc", "libstdc++", "libwinpthread", "msvcp", "vcruntime"})
            EXPECT_EQ(std::string::npos, import.dll.find(runtime)) << import.dll;
        if (import.dll == "dsound.dll" && ++dsounds == 1)
            dsound = import;
    }
    EXPECT_EQ(1, dsounds);
    EXPECT_EQ(std::vector<uint64_t>{pe.OrdinalFlag() | 3}, dsound.thunks) << std::hex << pe.OrdinalFlag();
    return dsound;
}

TEST_F(Library, FourExportsOnlySystemImportsAndDsoundByOrdinal)
{
    const char* names[] = {"MakeInstance", "ReleaseInstance", "GetPluginVersion", "GetPluginType"};
    for (int ordinal = 1; ordinal <= 4; ++ordinal) {
        FARPROC byName = GetProcAddress(plugin.module, names[ordinal - 1]);
        EXPECT_NE(nullptr, byName) << names[ordinal - 1];
        EXPECT_EQ(byName, GetProcAddress(plugin.module, MAKEINTRESOURCEA(ordinal))) << ordinal;
    }
    EXPECT_EQ(0x00010003u, plugin.GetPluginVersion());
    EXPECT_EQ(0u, plugin.GetPluginType());

    // The loaded library's DSOUND import is bound to what the name gives: DirectSoundEnumerateW.
    const PeImport dsound = CheckLibraryFile(KC_GX7CONF_DLL, sizeof(void*) == 8);
    const FARPROC byName = GetProcAddress(GetModuleHandleW(L"dsound.dll"), "DirectSoundEnumerateW");
    EXPECT_TRUE(byName && dsound.boundRva &&
                *reinterpret_cast<const FARPROC*>(reinterpret_cast<const BYTE*>(plugin.module) + dsound.boundRva) == byName);
#if !defined(__i386__)
    // The 64-bit road: the shipped i686 library, read as data.
    CheckLibraryFile(KC_I686_GX7CONF_DLL, false);
#endif
}

// Each slot pops exactly its arguments; a second cycle leaves what the first left.
TEST_F(Library, SlotsKeepTheStackAndCyclesLeaveNothing)
{
    GameFolder game;
    InFolder in(game.Path());
    const int dialogsBefore = ThreadDialogCount();
    std::vector<DWORD> held[2]; // handles, GDI and USER objects
    for (int cycle = 0; cycle < 2; ++cycle) {
        void* object = plugin.MakeInstance();
        ASSERT_NE(nullptr, object);
        int32_t init = -1, size = -1, run = -1;
        gx7Init(object, nullptr, &init);
        gx7SetScreenSize(object, 1280, 1024, &size);
        std::thread closer([] {
            if (HWND sheet = WaitForSheet(30000))
                PressSheetButton(sheet, PSBTN_CANCEL);
        });
        EXPECT_EQ(0, gx7Run(object, nullptr, nullptr, &run));
        closer.join();
#if defined(__i386__)
        EXPECT_TRUE(init == 0 && size == 0 && run == 0) << init << " " << size << " " << run;
#endif
        plugin.ReleaseInstance(object);
        EXPECT_EQ(dialogsBefore, ThreadDialogCount()) << cycle;
        DWORD handles = 0;
        GetProcessHandleCount(GetCurrentProcess(), &handles);
        held[cycle] = {handles, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)};
    }
    EXPECT_EQ(held[0], held[1]);
    plugin.ReleaseInstance(nullptr);
#if !defined(__i386__)
    GTEST_SKIP() << "the cycles were checked; the thiscall stack check needs 32-bit code";
#endif
}

TEST_F(Library, CaptionAndTabsInOrderAlsoTranslated)
{
    const std::vector<std::wstring> seven = {L"システム情報", L"全般", L"表示1", L"表示 2", L"3D設定", L"サウンド・その他", L"環境依存"};
    const std::vector<std::wstring> eight = {L"システム情報", L"全般", L"表示1", L"表示 2", L"3D設定 1", L"3D設定 2", L"サウンド・その他", L"環境依存"};
    const struct {
        int view3d;
        const char* language;
        std::wstring caption;
        std::vector<std::wstring> tabs;
    } rows[] = {
        {0, "", L"テストゲーム システム環境設定", seven},
        {1, "", L"テストゲーム システム環境設定", eight},
        {2, "", L"テストゲーム システム環境設定", eight},
        {0, "$0500-0001$\r\n%s Settings\r\n$0501-0001$\r\nGeneral\r\n$0506-0001$\r\nSystem\r\n", L"テストゲーム Settings",
         {L"System", L"General", L"表示1", L"表示 2", L"3D設定", L"サウンド・その他", L"環境依存"}},
    };
    for (const auto& r : rows) {
        GameFolder game = Game(r.view3d);
        if (*r.language)
            game.WriteLanguageFile(r.language);
        std::wstring caption;
        std::vector<std::wstring> tabs;
        bool noticeShown = true;
        Session(game, [&](HWND sheet) {
            caption = TextOf(sheet);
            for (int i = 0; i < SheetTabCount(sheet); ++i)
                tabs.push_back(SheetTabText(sheet, i));
            noticeShown = WaitForDialog(IsNotice, nullptr, 0) != nullptr;
        });
        EXPECT_EQ(r.caption, caption) << r.view3d;
        EXPECT_EQ(r.tabs, tabs) << r.view3d;
        EXPECT_FALSE(noticeShown);   // the start-up notice is gone once the sheet shows
    }
}

// Apply writes and calls the host only after a change; OK under "dontsave" calls without
// writing; Cancel does neither; a null callback is never called.
TEST_F(Library, ApplyOkAndCancel)
{
    const auto change = [](HWND sheet) { ClickControl(SelectSheetTab(sheet, 1), IDC_NO_SCREENSAVER); };
    GameFolder game;
    ApplyCounter counter;
    int callsAfterFirst = -1, callsAfterSecond = -1;
    bool writtenBeforeChange = true;
    std::string afterFirst;
    Session(game, [&](HWND sheet) {
        PressSheetButton(sheet, PSBTN_APPLYNOW);
        writtenBeforeChange = FileExists(game.SetupXml());
        change(sheet);
        PressSheetButton(sheet, PSBTN_APPLYNOW);
        callsAfterFirst = counter.calls;
        afterFirst = ReadFile(game.SetupXml());
        DeleteFileW(game.SetupXml().c_str());
        PressSheetButton(sheet, PSBTN_APPLYNOW);
        callsAfterSecond = counter.calls;
    }, &counter);
    EXPECT_TRUE(!writtenBeforeChange && callsAfterFirst == 1 && callsAfterSecond == 1 && !FileExists(game.SetupXml()));
    EXPECT_EQ(&counter, counter.lastContext);
    EXPECT_NE(std::string::npos, afterFirst.find("<screensaver>1</screensaver>")) << afterFirst;
    EXPECT_EQ(ModelWrites(game, {{"WINDOW", "screensaver", 1}}), afterFirst);

    const struct {
        int dontSave, button;
        bool callback;
        int calls;
        bool written;
    } rows[] = {{1, PSBTN_OK, true, 1, false}, {0, PSBTN_CANCEL, true, 0, false}, {0, PSBTN_OK, false, 0, true}};
    for (const auto& r : rows) {
        GameFolder other = Game(0, r.dontSave);
        ApplyCounter calls;
        const int result = Session(other, [&](HWND sheet) {
            change(sheet);
            PressSheetButton(sheet, r.button);
        }, r.callback ? &calls : nullptr);
        EXPECT_TRUE(r.button != PSBTN_CANCEL || result == 0) << result;
        EXPECT_EQ(r.calls, calls.calls) << r.dontSave << r.button;
        EXPECT_EQ(r.written, FileExists(other.SetupXml())) << r.dontSave << r.button;
    }
}

// The list, the button naming the game's report file, and the report saved through the save
// dialog (cancelled, new, overwritten) with the current folder the same after each.
TEST_F(Library, InformationPageAndReport)
{
    GameDefinition definition;
    definition.infoFile = L"report.txt";
    GameFolder game(definition);
    const std::wstring report = game.Path() + L"\\saved\\mine.txt";
    CreateDirectoryW((game.Path() + L"\\saved").c_str(), nullptr);
    std::wstring cells[3], button;
    int rows = 0;
    std::vector<std::wstring> folders;
    std::vector<bool> written;
    Session(game, [&](HWND sheet) {
        HWND page = SelectSheetTab(sheet, 0);
        HWND list = GetDlgItem(page, IDC_INFO_LIST);
        rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        const int at[3][2] = {{0, 0}, {0, 1}, {1, 1}};   // first label, title, version
        for (int i = 0; i < 3; ++i) {
            wchar_t text[256] = {};
            ListView_GetItemText(list, at[i][0], at[i][1], text, 256);
            cells[i] = text;
        }
        button = TextOf(GetDlgItem(page, IDC_INFO_SAVE));
        for (const wchar_t* answer : {static_cast<const wchar_t*>(nullptr), report.c_str(), report.c_str()}) {
            if (FileExists(report))
                WriteBytes(report, "old");
            PostClick(page, IDC_INFO_SAVE);
            HWND save = WaitForOtherDialog(sheet, 10000);
            AnswerSaveDialog(save, answer);
            if (answer && FileExists(report))   // the overwrite question
                if (HWND ask = WaitForDialog([](HWND w, void*) { return GetDlgItem(w, IDYES) != nullptr; }, nullptr, 5000))
                    PostMessageW(ask, WM_COMMAND, IDYES, 0);
            WaitGone(save, 5000);
            for (int i = 0; i < 500 && answer && ReadFile(report).size() <= 3; ++i)
                Sleep(10);
            written.push_back(ReadFile(report).size() > 3);
            wchar_t folder[MAX_PATH] = {};
            folders.push_back((GetCurrentDirectoryW(MAX_PATH, folder), folder));
        }
    });
    EXPECT_EQ(SYSINFO_ROWS, rows);
    EXPECT_EQ((std::vector<std::wstring>{L"ゲームタイトル", L"テストゲーム", L"1.2", L"システム情報を report.txt に保存する"}),
              (std::vector<std::wstring>{cells[0], cells[1], cells[2], button}));
    EXPECT_EQ((std::vector<bool>{false, true, true}), written);
    EXPECT_EQ(std::vector<std::wstring>(3, game.Path()), folders);
    EXPECT_FALSE(FileExists(game.Path() + L"\\report.txt"));
}

// Visit pages, change one setting on each, apply: "setup.xml" is what the model writes for the
// record read with the same changes. Pages never shown keep what was read, even values a visit
// would judge (a filter the adapter may lack, a full-screen size not offered).
TEST_F(Library, PagesChangedAndAppliedEndToEnd)
{
    struct Visit {
        int tab, control;
        Change change;
    };
    const struct {
        int view3d;
        std::vector<Change> start;
        std::vector<Visit> visits;
    } rows[] = {
        {1, {}, {{1, IDC_CAMOUFLAGE, {"WINDOW", "camouflage", 1}}, {2, IDC_FPS_30, {"WINDOW", "fps", 30}},
                 {3, IDC_FULL_POS_TOP, {"FULL_SCREEN", "full_pos", 1}}, {4, IDC_VSYNC, {"D3D", "vsync", 0}},
                 {5, IDC_ANTIALIAS, {"D3D", "antialias", 1}}, {6, IDC_DUALCORE, {"ETC", "dualcore", 0}},
                 {7, IDC_GDI_CAP, {"DEPEND", "gdi_cap", 1}}}},
        {0, {}, {{1, IDC_MODE_WINDOW, {"WINDOW", "mode", 2}}, {2, IDC_CURSOR_SYSTEM, {"WINDOW", "cursor_mode", 0}},
                 {3, IDC_WALL_BLACK, {"FULL_SCREEN", "wall", 0}}, {4, IDC_DITHER, {"TEXTURE", "dither", 0}},
                 {5, IDC_STEREO, {"SOUND", "stereo", 0}}, {6, IDC_DISABLE_MOVIE, {"ETC", "disablemovie", 1}}}},
        {1,
         {{"WINDOW", "fps", 30}, {"WINDOW", "full_width", 1234}, {"WINDOW", "full_height", 567}, {"FULL_SCREEN", "wall", 0},
          {"TEXTURE", "min", 2}, {"TEXTURE", "mag", 2}, {"TEXTURE", "bpp", 16}, {"D3D", "fogtype", 0}, {"D3D", "tex_size", 7},
          {"ETC", "imgcache", 100}, {"ETC", "cache", 0}, {"DEPEND", "use_z", 0}, {"D3D", "vsync", 0}},
         {{1, IDC_CAMOUFLAGE, {"WINDOW", "camouflage", 1}}}},
    };
    for (const auto& r : rows) {
        GameFolder game = Game(r.view3d);
        const std::string before = r.start.empty() ? "" : ModelWrites(game, r.start);
        ASSERT_EQ(r.start.empty(), before.empty());
        ApplyCounter counter;
        Session(game, [&](HWND sheet) {
            for (const Visit& v : r.visits)
                ClickControl(SelectSheetTab(sheet, v.tab), v.control);
            PressSheetButton(sheet, PSBTN_APPLYNOW);
        }, &counter);
        const std::string written = ReadFile(game.SetupXml());
        EXPECT_EQ(1, counter.calls) << r.view3d;
        ASSERT_FALSE(written.empty()) << r.view3d;
        std::vector<Change> changes;
        for (const Visit& v : r.visits)
            changes.push_back(v.change);
        EXPECT_EQ(ModelWrites(game, changes, before), written) << r.view3d;
    }
}
