// The settings pages, each alone on a real modeless sheet over a record the test chooses:
// refresh, store, reset and marking the sheet modified through every page's table, then what
// the Display 1 and 3D pages judge from the adapter; and the information page's rows.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "foundation/kcHeap.h"
#include "plugin/PageCommon.h"
#include "plugin/SettingsPageTables.h"
#include "plugin/SettingsPages.h"
#include "plugin/SystemInfoPage.h"
#include "plugin/gx7Conf.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcDXCaps.h"

namespace {
struct Page {
    int templateId;
    DLGPROC procedure;
    const kcPageTable& (*table)();
    bool adapter; // judged from the adapter: tested with one of all filters and pixel shaders 3.0
};
const Page kGeneral = {IDD_PAGE_GENERAL, GeneralPageProc, GeneralPageTable, false};
const Page kDisplay1 = {IDD_PAGE_DISPLAY1, Display1PageProc, Display1PageTable, true};
const Page kDisplay2 = {IDD_PAGE_DISPLAY2, Display2PageProc, Display2PageTable, false};
const Page k3D1 = {IDD_PAGE_DIRECT3D1, Direct3D1PageProc, Direct3D1PageTable, true};
const Page k3D2 = {IDD_PAGE_DIRECT3D2, Direct3D2PageProc, Direct3D2PageTable, true};
const Page k3D = {IDD_PAGE_DIRECT3D, Direct3DPageProc, Direct3DPageTable, true};
const Page kSound = {IDD_PAGE_SOUNDOTHER, SoundOtherPageProc, SoundOtherPageTable, false};
const Page kEnvironment = {IDD_PAGE_ENVIRONMENT, EnvironmentPageProc, EnvironmentPageTable, false};

struct Setting {
    const char *section, *key;
    int value;
};

const uint32_t kX8R8G8B8 = 22, kAllFilters = 0x700 | 0x7000000, kShaders3 = 0xFFFF0300;
const kcSizePair kGameSizes[5] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 960}, {1600, 1200}};

// Working, current and backup records zeroed but for the game definition's five window sizes;
// with an adapter, a 1280 x 1024 desktop whose modes are in its format at 60 Hz but a few.
class PageFixture {
public:
    explicit PageFixture(bool adapter) : current(Blank()), backup(Blank())
    {
        Blank(&owner.workingRecord);
        savedCurrent = kcConfigCurrentBlock, savedBackup = kcConfigBackupBlock;
        kcConfigCurrentBlock = current.get(), kcConfigBackupBlock = backup.get();
        if (!adapter)
            return;
        caps.reset(new kcDXCaps(0));
        caps->deviceCaps.TextureFilterCaps = kAllFilters;
        caps->deviceCaps.PixelShaderVersion = kShaders3;
        owner.SetScreenSize(1280, 1024);
        SetModes({1280, 1024, 60, kX8R8G8B8}, {{640, 480, 60, kX8R8G8B8}, {800, 600, 60, kX8R8G8B8}, {800, 600, 75, kX8R8G8B8},
                                               {1024, 768, 59, kX8R8G8B8}, {1024, 768, 60, kX8R8G8B8}, {1024, 768, 60, 23},
                                               {1280, 1024, 60, kX8R8G8B8}});
    }
    ~PageFixture()
    {
        if (sheet)
            DestroyWindow(sheet);
        Pump();
        if (caps)
            caps->ReleaseModes();
        kcConfigCurrentBlock = savedCurrent, kcConfigBackupBlock = savedBackup;
    }
    static ConfigBlock* Blank(ConfigBlock* record = new ConfigBlock())
    {
        std::memset(record, 0, sizeof(ConfigBlock));
        std::memcpy(record->windowSizes, kGameSizes, sizeof(kGameSizes));
        return record;
    }
    void Set(ConfigBlock& record, const std::vector<Setting>& settings)
    {
        for (const Setting& s : settings)
            kcConfigSetInt(&record, s.section, s.key, s.value);
    }
    int Get(const char* section, const char* key) { return kcConfigGetInt(&owner.workingRecord, section, key); }
    void SetModes(const kcDisplayMode& now, const std::vector<kcDisplayMode>& list)
    {
        caps->ReleaseModes();
        caps->currentMode = now;
        if (list.empty())
            return;
        const size_t bytes = list.size() * sizeof(kcDisplayMode);
        caps->modes = static_cast<kcDisplayMode*>(std::memcpy(kcHeapAlloc(0, static_cast<int>(bytes)), list.data(), bytes));
        caps->modeCount = static_cast<uint32_t>(list.size());
    }

    // The only page of a modeless sheet; its WM_INITDIALOG refreshes it.
    HWND Open(const Page& p)
    {
        PROPSHEETPAGEW page = {sizeof(page)};
        page.hInstance = GetModuleHandleW(nullptr);
        page.pszTemplate = MAKEINTRESOURCEW(p.templateId);
        page.pfnDlgProc = p.procedure;
        page.lParam = reinterpret_cast<LPARAM>(&owner);
        return OpenSheet({page});
    }
    HWND OpenSheet(const std::vector<PROPSHEETPAGEW>& pages) // the first one shown
    {
        PROPSHEETHEADERW header = {sizeof(header), PSH_MODELESS | PSH_PROPSHEETPAGE, nullptr, GetModuleHandleW(nullptr)};
        header.nPages = static_cast<UINT>(pages.size()), header.ppsp = pages.data();
        sheet = reinterpret_cast<HWND>(PropertySheetW(&header));
        this->page = sheet ? reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) : nullptr;
        Pump();
        owner.modified = 0;
        return this->page;
    }
    void Pump() // runs posted messages (a reset's refresh)
    {
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
            TranslateMessage(&m), DispatchMessageW(&m);
    }
    void Leave() // as the sheet does when the page is left
    {
        PSHNOTIFY notify = {{sheet, 0, static_cast<UINT>(PSN_KILLACTIVE)}};
        SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
    }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0), Pump(); }
    void Command(int id, int code = BN_CLICKED) { SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id))); }
    void Reset() { Command(IDC_RESET), Pump(); }
    HWND Item(int id) const { return GetDlgItem(page, id); }
    bool Checked(int id) const { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Visible(int id) const { return (GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    int Send(int id, UINT message, WPARAM w = 0) { return static_cast<int>(SendMessageW(Item(id), message, w, 0)); }
    std::wstring Text(int id) const
    {
        wchar_t text[256] = {};
        GetWindowTextW(Item(id), text, 256);
        return text;
    }

    gx7Conf owner;
    std::unique_ptr<ConfigBlock> current, backup;
    ConfigBlock *savedCurrent, *savedBackup;
    std::unique_ptr<kcDXCaps> caps;
    HWND sheet = nullptr, page = nullptr;
};

std::string Name(const Page& page, int id = 0) { return std::to_string(page.templateId) + " " + std::to_string(id); }
} // namespace

// Every page through its own table: each bound control exists, shows its setting, stores it
// back and marks the sheet modified; each further edit marks it; a reset writes the table's
// values (constants, or the backup's); every key names an integer setting.
TEST(Pages, EveryTableRowRefreshesStoresMarksAndResets)
{
    for (const Page* page : {&kGeneral, &kDisplay1, &kDisplay2, &k3D1, &k3D2, &k3D, &kSound, &kEnvironment}) {
        const kcPageTable& table = page->table();
        PageFixture f(page->adapter);
        ASSERT_NE(f.Open(*page), nullptr) << Name(*page);
        for (size_t i = 0; i < table.bindingCount; ++i) {
            const kcPageBinding& b = table.bindings[i];
            const kcSetting* setting = kcFindSetting(b.section, b.key);
            EXPECT_TRUE(setting && (setting->type == KCSET_I32 || setting->type == KCSET_U16)) << b.section << "/" << b.key;
            ASSERT_NE(f.Item(b.control), nullptr) << Name(*page, b.control);
            if (b.kind == kcPageRadioStoreOnly)
                continue; // the depth buttons: judged by the page's own code
            const int on = b.kind == kcPageRadio ? b.value : b.kind == kcPageCheck ? 1 : 0;
            int off = 1 - on; // a radio button: another of its group
            for (size_t j = 0; j < table.bindingCount && b.kind == kcPageRadio; ++j)
                if (!strcmp(table.bindings[j].key, b.key) && table.bindings[j].value != b.value)
                    off = table.bindings[j].value;
            for (int shown : {off, b.kind == kcPageRadio && !page->adapter ? b.value + 100 : off, on}) { // outside the group: none
                f.Set(f.owner.workingRecord, {{b.section, b.key, shown}});
                SendMessageW(f.page, WM_SETTINGS_REFRESH, 0, 0);
                EXPECT_EQ(f.Checked(b.control), shown == on) << Name(*page, b.control) << " " << shown;
            }
            f.Set(f.owner.workingRecord, {{b.section, b.key, off}}); // the control, not the record, is stored
            f.owner.modified = 0;
            f.Command(b.control);
            EXPECT_EQ(f.owner.modified, 1) << Name(*page, b.control);
            f.Leave();
            EXPECT_EQ(f.Get(b.section, b.key), on) << Name(*page, b.control);
        }
        for (size_t i = 0; i < table.editCount; ++i) {
            f.owner.modified = 0;
            f.Command(table.edits[i]);
            EXPECT_EQ(f.owner.modified, 1) << Name(*page, table.edits[i]);
        }
        f.owner.modified = 0;
        f.Command(IDC_RESTART_NOTICE); // static texts are no edits
        EXPECT_EQ(f.owner.modified, 0) << Name(*page);
        for (size_t i = 0; i < table.resetCount; ++i) {
            const kcPageReset& r = table.resets[i];
            f.Set(f.owner.workingRecord, {{r.section, r.key, 7}});
            f.Set(*f.backup, {{r.section, r.key, 1}});
        }
        f.Reset();
        EXPECT_EQ(f.owner.modified, 1) << Name(*page);
        for (size_t i = 0; i < table.resetCount; ++i) {
            const kcPageReset& r = table.resets[i];
            EXPECT_EQ(f.Get(r.section, r.key), r.source == kcResetConstant ? r.value : 1) << Name(*page) << " " << r.key;
            const kcSetting* setting = kcFindSetting(r.section, r.key);
            EXPECT_TRUE(setting && (setting->type == KCSET_I32 || setting->type == KCSET_U16)) << r.section << "/" << r.key;
        }
    }
}

// What OpenHelp handed the shell: "verb file", marked when the call is not a plain open.
static std::vector<std::wstring> g_opened;
static HINSTANCE WINAPI OpenSpy(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, INT show)
{
    g_opened.push_back(std::wstring(!window && !parameters && !folder && show == SW_SHOWNORMAL ? L"" : L"(not plain) ") + verb + L" " + file);
    return reinterpret_cast<HINSTANCE>(33);
}

struct SpyOpener { // puts the shell back as the opener however the test ends
    const kcHelpOpener previous = SetHelpOpener(OpenSpy);
    ~SpyOpener() { SetHelpOpener(previous); }
};

// With an existing manual every page enables the sheet's Help button and Help opens
// "MANUAL"/"path"; without one no page enables it.
TEST(Pages, HelpOnlyForAnExistingManualAndItOpensThePath)
{
    const SpyOpener spy;
    for (int exists : {1, 0}) {
        PageFixture f(false);
        lstrcpyW(f.current->manualPath, L"C:\\マニュアル.html");
        f.current->manualExists = exists;
        std::vector<PROPSHEETPAGEW> pages;
        for (int index = 1; index < GX7_PAGE_COUNT; ++index)
            pages.push_back(PageDescription(&f.owner, index));
        g_opened.clear();
        ASSERT_NE(nullptr, f.OpenSheet(pages));
        for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
            SendMessageW(f.sheet, PSM_SETCURSEL, i, 0);
            EXPECT_EQ(exists, IsWindowEnabled(GetDlgItem(f.sheet, IDHELP))) << i;
            if (exists)
                SendMessageW(f.sheet, PSM_PRESSBUTTON, PSBTN_HELP, 0);
        }
        if (exists) {
            EXPECT_EQ(std::vector<std::wstring>(pages.size(), L"open C:\\マニュアル.html"), g_opened);
        }
    }
}

TEST(Pages, OwnControlsOfGeneralSoundAndEnvironment)
{
    PageFixture f(false);
    kcConfigSetText(&f.owner.workingRecord, "INFO", "file", L"sysinfo.txt");
    f.Open(kGeneral); // the information box names the game's file
    EXPECT_EQ(f.Text(IDC_OUT_INFO), L"起動時に\"sysinfo.txt\"を作成する");

    f.Set(f.owner.workingRecord, {{"ETC", "imgcache", 64}});
    f.Open(kSound); // the cache size on its trackbar, stored at once
    EXPECT_TRUE(f.Send(IDC_IMGCACHE, TBM_GETPOS) == 64 && f.Text(IDC_IMGCACHE_TEXT) == L"64 MB" && f.Send(IDC_IMGCACHE, TBM_GETRANGEMAX) == 128);
    for (int end : {0, 128}) {
        f.owner.modified = 0;
        SendMessageW(f.Item(IDC_IMGCACHE), TBM_SETPOS, TRUE, end);
        SendMessageW(f.page, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(f.Item(IDC_IMGCACHE)));
        EXPECT_TRUE(f.Get("ETC", "imgcache") == end && f.Text(IDC_IMGCACHE_TEXT) == std::to_wstring(end) + L" MB" && f.owner.modified == 1) << end;
    }
    f.Reset();
    EXPECT_TRUE(f.Send(IDC_IMGCACHE, TBM_GETPOS) == 32 && f.Text(IDC_IMGCACHE_TEXT) == L"32 MB");

    for (int usePs : {0, 1}) { // the pixel-shader box only for games that use them; four boxes never
        f.Set(*f.current, {{"APP", "use_ps", usePs}});
        f.Open(kEnvironment);
        EXPECT_EQ(f.Visible(IDC_DISABLE_PIXELSHADER), usePs == 1);
        for (int hidden : {IDC_Z32, IDC_NO_Z, IDC_FULL_WIDE, IDC_NO_CACHE})
            EXPECT_FALSE(f.Visible(hidden)) << hidden;
    }
}

// Window sizes: the limit disables those larger than the screen and checks the largest enabled
// one for a stored size it disabled; fewer sizes hide the surplus buttons.
TEST(Display1Page, WindowSizesUnderTheLimit)
{
    const struct {
        int limit, sizes, width, height;
        int checked; // -1: none
        int storedWidth, storedHeight;
    } rows[] = {{1, 5, 1600, 1200, 3, 1280, 960}, {0, 3, 1000, 700, -1, 1000, 700}};
    for (const auto& r : rows) {
        PageFixture f(true);
        if (r.sizes < 5)
            f.owner.workingRecord.windowSizes[r.sizes] = {0, 0};
        f.Set(f.owner.workingRecord, {{"WINDOW", "limit", r.limit}, {"WINDOW", "width", r.width}, {"WINDOW", "height", r.height}});
        f.Open(kDisplay1);
        EXPECT_EQ(f.Text(IDC_SIZE_2), L"1024 X 768");
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(f.Visible(IDC_SIZE_0 + i), i < r.sizes) << i;
            EXPECT_TRUE(i >= r.sizes || f.Enabled(IDC_SIZE_0 + i) == (i < 4 || !r.limit)) << i;
            EXPECT_EQ(f.Checked(IDC_SIZE_0 + i), i == r.checked) << i; // a size not in the list checks nothing
        }
        EXPECT_EQ(f.Checked(IDC_SIZE_LIMIT), r.limit == 1);
        f.Leave();
        EXPECT_TRUE(f.Get("WINDOW", "width") == r.storedWidth && f.Get("WINDOW", "height") == r.storedHeight) << r.width;
    }
}

// The box flips the setting and the buttons at once and keeps what was chosen on the page (size,
// list entry, rate, cursor): the refresh shows it under the new limit, and leaving stores it.
TEST(Display1Page, LimitBoxFlipsTheSettingAndTheButtonsAtOnce)
{
    PageFixture f(true);
    f.Set(f.owner.workingRecord, {{"WINDOW", "limit", 1}, {"WINDOW", "width", 1024}, {"WINDOW", "height", 768}, {"WINDOW", "fps", 30},
                                  {"WINDOW", "cursor_mode", 0}, {"WINDOW", "full_width", 1024}, {"WINDOW", "full_height", 768}, {"CURSOR", "change", 1}});
    f.Open(kDisplay1);
    ASSERT_FALSE(f.Enabled(IDC_SIZE_4));
    for (int id : {IDC_SIZE_1, IDC_FPS_60, IDC_CURSOR_ORIGINAL})
        f.Click(id);
    f.Send(IDC_FULL_LIST, LB_SETCURSEL, 1), f.Command(IDC_FULL_LIST, LBN_SELCHANGE); // as a click does
    f.owner.modified = 0;
    f.Click(IDC_SIZE_LIMIT);
    EXPECT_TRUE(f.Get("WINDOW", "limit") == 0 && f.Enabled(IDC_SIZE_4) && f.owner.modified == 1);
    EXPECT_TRUE(f.Checked(IDC_SIZE_1) && f.Checked(IDC_FPS_60) && f.Checked(IDC_CURSOR_ORIGINAL) && f.Send(IDC_FULL_LIST, LB_GETCURSEL) == 1);
    f.Click(IDC_SIZE_4);
    f.Click(IDC_SIZE_LIMIT); // back on: 1600 x 1200 no longer fits, the largest that does is chosen
    EXPECT_TRUE(f.Get("WINDOW", "limit") == 1 && f.Checked(IDC_SIZE_LIMIT) && !f.Enabled(IDC_SIZE_4) && f.Checked(IDC_SIZE_3));
    f.Leave();
    EXPECT_EQ((std::vector<int>{1280, 60, 1, 640}),
              (std::vector<int>{f.Get("WINDOW", "width"), f.Get("WINDOW", "fps"), f.Get("WINDOW", "cursor_mode"), f.Get("WINDOW", "full_width")}));
}

// The box alone changes no setting: a size the limit moved is only shown, and the stored one is
// shown again once the limit is off (from on; from off through on).
TEST(Display1Page, LimitBoxAloneKeepsTheStoredSize)
{
    for (int limit : {1, 0}) {
        PageFixture f(true);
        f.Set(f.owner.workingRecord, {{"WINDOW", "limit", limit}, {"WINDOW", "width", 1600}, {"WINDOW", "height", 1200},
                                      {"WINDOW", "full_width", 800}, {"WINDOW", "full_height", 600}, {"FULL_SCREEN", "no_full_res", 1}});
        const std::unique_ptr<ConfigBlock> before(new ConfigBlock(f.owner.workingRecord));
        kcConfigSetInt(before.get(), "WINDOW", "limit", 0);
        f.Open(kDisplay1);
        for (int click = limit; click < 2; ++click) { // click 0 turns it on, click 1 off
            f.Click(IDC_SIZE_LIMIT);
            EXPECT_TRUE(f.Checked(IDC_SIZE_LIMIT) == (click == 0) && f.Checked(click == 0 ? IDC_SIZE_3 : IDC_SIZE_4)) << limit << click;
        }
        EXPECT_EQ(0, std::memcmp(before.get(), &f.owner.workingRecord, sizeof(ConfigBlock))) << limit;
    }
}

// The list: the desktop, then each size of the current format once (59 and 60 Hz match) at its
// first place. Only an exact size selects; entry 0 stores the desktop size and the flag.
TEST(Display1Page, FullScreenListSelectionAndStore)
{
    const std::vector<std::wstring> standard = {L"解像度を変更しない", L"640 x 480", L"800 x 600", L"1024 x 768", L"1280 x 1024"};
    const struct {
        int adapter; // 0 none, 1 probed without modes, 2 the standard one
        int noFullRes, width, height;
        int select;         // entry selected before leaving, -1 none
        int selectedAtOpen;
        int storedWidth, storedHeight, storedNoFullRes; // width 0: the desktop's
    } rows[] = {
        {2, 0, 1024, 768, -1, 3, 1024, 768, 0},
        {2, 1, 640, 480, -1, 0, 1280, 1024, 1},
        {2, 0, 800, 600, 0, 2, 1280, 1024, 1},
        {2, 0, 800, 60, -1, -1, 800, 60, 0}, // not 800 x 600
        {2, 0, 1600, 1200, -1, -1, 1600, 1200, 0},
        {1, 1, 1024, 768, -1, 0, 0, 0, 1},
        {0, 1, 1024, 768, -1, 0, 0, 0, 1},
    };
    for (const auto& r : rows) {
        PageFixture f(r.adapter != 0);
        if (r.adapter == 1)
            f.SetModes({}, {});
        f.Set(f.owner.workingRecord, {{"FULL_SCREEN", "no_full_res", r.noFullRes}, {"WINDOW", "full_width", r.width},
                                      {"WINDOW", "full_height", r.height}});
        f.Open(kDisplay1);
        std::vector<std::wstring> list(f.Send(IDC_FULL_LIST, LB_GETCOUNT));
        for (size_t i = 0; i < list.size(); ++i) {
            wchar_t text[64] = {};
            list[i] = (SendMessageW(f.Item(IDC_FULL_LIST), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text)), text);
        }
        EXPECT_EQ(list, r.adapter == 2 ? standard : std::vector<std::wstring>(1, standard[0])) << r.width << "x" << r.height;
        EXPECT_EQ(f.Send(IDC_FULL_LIST, LB_GETCURSEL), r.selectedAtOpen) << r.width << "x" << r.height;
        SendMessageW(f.page, WM_SETTINGS_REFRESH, 0, 0);
        EXPECT_EQ(f.Send(IDC_FULL_LIST, LB_GETCURSEL), r.selectedAtOpen) << r.width << "x" << r.height;
        if (r.select >= 0)
            f.Send(IDC_FULL_LIST, LB_SETCURSEL, r.select);
        f.Leave();
        EXPECT_EQ(f.Get("WINDOW", "full_width"), r.storedWidth ? r.storedWidth : GetSystemMetrics(SM_CXSCREEN)) << r.width;
        EXPECT_EQ(f.Get("WINDOW", "full_height"), r.storedHeight ? r.storedHeight : GetSystemMetrics(SM_CYSCREEN)) << r.height;
        EXPECT_EQ(f.Get("FULL_SCREEN", "no_full_res"), r.storedNoFullRes) << r.width << "x" << r.height;
    }
}

// Reset (the backup's sizes, rate and limit, the constants) shows at once: the size button, the
// limit's buttons, the desktop entry, the hidden cursor choice.
TEST(Display1Page, ResetTakesTheBackupAndTheConstants)
{
    PageFixture f(true);
    f.Set(*f.backup, {{"WINDOW", "width", 1024}, {"WINDOW", "height", 768}, {"WINDOW", "full_width", 800},
                      {"WINDOW", "full_height", 600}, {"WINDOW", "fps", 30}, {"WINDOW", "limit", 0}});
    f.Set(f.owner.workingRecord, {{"WINDOW", "width", 640}, {"WINDOW", "height", 480}, {"WINDOW", "limit", 1}, {"WINDOW", "fps", 60},
                                  {"FULL_SCREEN", "no_full_res", 0}, {"WINDOW", "cursor_mode", 0}, {"CURSOR", "change", 0}});
    f.Open(kDisplay1);
    EXPECT_TRUE(!f.Visible(IDC_CURSOR_GROUP) && !f.Visible(IDC_CURSOR_ORIGINAL) && !f.Visible(IDC_CURSOR_SYSTEM) && f.Checked(IDC_CURSOR_SYSTEM));
    ASSERT_FALSE(f.Enabled(IDC_SIZE_4));
    f.Reset();
    EXPECT_TRUE(f.Checked(IDC_SIZE_2) && f.Checked(IDC_FPS_30) && f.Checked(IDC_CURSOR_ORIGINAL));
    EXPECT_TRUE(f.Enabled(IDC_SIZE_4) && f.Send(IDC_FULL_LIST, LB_GETCURSEL) == 0 && f.owner.modified == 1);
}

// Filters the adapter lacks are disabled and a stored one falls back to POINT (no edit of the
// user's); without a capability object nothing optional is offered.
TEST(Direct3DPages, UnsupportedFiltersFallBackToPoint)
{
    const struct {
        const Page* page;
        bool adapter;
        uint32_t filters;
        bool min[3], mag[3]; // enabled
        int storedMin, storedMag;
    } rows[] = {
        {&k3D1, true, 0x300 | 0x1000000, {true, true, false}, {true, false, false}, 0, 0},
        {&k3D, true, 0x300 | 0x1000000, {true, true, false}, {true, false, false}, 0, 0},
        {&k3D1, true, kAllFilters, {true, true, true}, {true, true, true}, 2, 1},
        {&k3D1, false, 0, {false, false, false}, {false, false, false}, 0, 0},
    };
    for (const auto& r : rows) {
        PageFixture f(r.adapter);
        if (r.adapter)
            f.caps->deviceCaps.TextureFilterCaps = r.filters;
        f.Set(f.owner.workingRecord, {{"TEXTURE", "min", 2}, {"TEXTURE", "mag", 1}});
        f.Open(*r.page);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(f.Enabled(IDC_MIN_POINT + i), r.min[i]) << Name(*r.page, i) << r.adapter;
            EXPECT_EQ(f.Enabled(IDC_MAG_POINT + i), r.mag[i]) << Name(*r.page, i) << r.adapter;
        }
        EXPECT_TRUE(f.Get("TEXTURE", "min") == r.storedMin && f.Get("TEXTURE", "mag") == r.storedMag);
        EXPECT_TRUE(f.Checked(IDC_MIN_POINT + r.storedMin) && f.Checked(IDC_MAG_POINT + r.storedMag));
        EXPECT_EQ(f.owner.modified, 0);
    }
}

// A stored 16 or 32 shows the depth there are modes of at the full-screen size; others stay.
TEST(Direct3DPages, DepthButtonsFollowTheModesAtTheFullScreenSize)
{
    const struct {
        int bpp;
        std::vector<kcDisplayMode> modes;
        bool enabled16, enabled32;
        int checked, stored; // checked: 16, 32, or 0 for neither
    } rows[] = {
        // At 1024 x 768 only 32-bit modes (16-bit at another size only): shown and stored as 32.
        {16, {{1024, 768, 60, 22}, {1024, 768, 60, 21}, {800, 600, 60, 23}}, false, true, 32, 32},
        // No mode at the size: both disabled, the setting kept.
        {16, {{800, 600, 60, 22}}, false, false, 0, 16},
        {32, {{1024, 768, 60, 23}, {800, 600, 60, 22}}, true, false, 16, 16},
        {24, {{1024, 768, 60, 22}}, true, true, 0, 24},
    };
    for (const auto& r : rows) {
        PageFixture f(true);
        f.SetModes({1024, 768, 60, 22}, r.modes);
        f.Set(f.owner.workingRecord, {{"TEXTURE", "bpp", r.bpp}, {"WINDOW", "full_width", 1024}, {"WINDOW", "full_height", 768}});
        f.Open(k3D1);
        EXPECT_EQ((std::vector<int>{r.enabled16, r.enabled32, r.checked}),
                  (std::vector<int>{f.Enabled(IDC_TEX_16BIT), f.Enabled(IDC_TEX_32BIT), f.Checked(IDC_TEX_16BIT) * 16 + f.Checked(IDC_TEX_32BIT) * 32}))
            << r.bpp;
        f.Leave();
        EXPECT_EQ(f.Get("TEXTURE", "bpp"), r.stored) << r.bpp;
    }
}

// Pixel fog needs pixel shaders of any version; a reset to the game's pixel fog keeps vertex
// fog on an adapter without them (or without a capability object).
TEST(Direct3DPages, PixelFogByThePixelShaderVersion)
{
    const struct {
        bool adapter;
        uint32_t version;
        bool pixelFog;
    } rows[] = {{true, 0xFFFF0300, true}, {true, 0xFFFF0200, true}, {true, 0xFFFF0104, true}, {true, 0xFFFF0000, false}, {false, 0, false}};
    for (const auto& r : rows) {
        PageFixture f(r.adapter);
        if (r.adapter)
            f.caps->deviceCaps.PixelShaderVersion = r.version;
        f.Set(f.owner.workingRecord, {{"D3D", "fogtype", 0}});
        f.Open(k3D2);
        EXPECT_EQ(f.Enabled(IDC_FOG_PIXEL), r.pixelFog) << std::hex << r.version;
        EXPECT_EQ(f.Get("D3D", "fogtype"), r.pixelFog ? 0 : 1) << std::hex << r.version;
        EXPECT_TRUE(f.Checked(r.pixelFog ? IDC_FOG_PIXEL : IDC_FOG_VERTEX)) << std::hex << r.version;
        f.Reset();
        EXPECT_EQ(f.Get("D3D", "fogtype"), r.pixelFog ? 0 : 1) << std::hex << r.version;
    }
}

TEST(Direct3DPages, TextureListsSelectByIndex)
{
    const struct {
        int size, comp, selectedSize, selectedComp;
    } rows[] = {{2, 1, 2, 1}, {3, -1, -1, -1}}; // an index out of the list selects nothing
    for (const auto& r : rows) {
        PageFixture f(false);
        f.Set(f.owner.workingRecord, {{"D3D", "tex_size", r.size}, {"D3D", "tex_comp", r.comp}});
        f.Open(k3D2);
        EXPECT_TRUE(f.Send(IDC_TEX_SIZE, CB_GETCOUNT) == 3 && f.Send(IDC_TEX_COMP, CB_GETCOUNT) == 2);
        EXPECT_EQ(f.Send(IDC_TEX_SIZE, CB_GETCURSEL), r.selectedSize) << r.size;
        EXPECT_EQ(f.Send(IDC_TEX_COMP, CB_GETCURSEL), r.selectedComp) << r.comp;
        f.Send(IDC_TEX_SIZE, CB_SETCURSEL, 1);
        f.Leave();
        EXPECT_TRUE(f.Get("D3D", "tex_size") == 1 && f.Get("D3D", "tex_comp") == r.selectedComp) << r.size;
    }
}

TEST(InfoRows, ValuesAndRounding)
{
    static SystemInfoSource s;
    std::memset(&s, 0, sizeof(s));
    const auto vendor = [](const char* name) { std::memset(s.cpu.vendor, 0, sizeof(s.cpu.vendor)), std::memcpy(s.cpu.vendor, name, std::strlen(name)); };
    const struct {
        int row;
        std::function<void()> set;
        const wchar_t* text;
    } rows[] = {
        {7, [] { s.cpu.measuredMhz = 3450; }, L"3450MHz (3.5GHz)"}, {7, [] { s.cpu.measuredMhz = 1999; }, L"1999MHz (2.0GHz)"},
        {7, [] { s.cpu.measuredMhz = 2949; }, L"2949MHz (2.9GHz)"}, {7, [] { s.cpu.measuredMhz = 0; }, L"0MHz (0.0GHz)"},
        {6, [&] { wcscpy(s.cpu.name, L"Cyrix 6x86"), vendor("GenuineIntel"); }, L"Intel"}, {6, [&] { vendor("authenticamd"); }, L"AMD"},
        {6, [&] { vendor("CyrixInstead"); }, L"Cyrix 6x86"},
        {12, [] { s.desktopBits = 32; }, L"32bit フルカラー"}, {12, [] { s.desktopBits = 24; }, L"24bit フルカラー"},
        {12, [] { s.desktopBits = 16; }, L"16bit ハイカラー"}, {12, [] { s.desktopBits = 8; }, L"8bit インデックスカラー"},
        {12, [] { s.desktopBits = 15; }, L""},
        {10, [] { s.driverVersion = (6ull << 48) | (14ull << 32) | (10ull << 16) | 9500ull; }, L"6.14.10.9500"},
        {1, [] { s.versionMajor = 2, s.versionMinor = 15; }, L"2.15"},
        {11, [] { s.currentMode = {1280, 1024, 60, 22}; }, L"1280 x 1024 (60Hz)"},
        {8, [] { s.availPhysMb = 1500, s.totalPhysMb = 4096; }, L"1500MB / 4096MB"},
        {5, [] { wcscpy(s.os.name, L"Windows 7"), wcscpy(s.os.edition, L"Ultimate"), wcscpy(s.os.servicePack, L"Service Pack 1"); },
         L"Windows 7 Ultimate Service Pack 1"},
    };
    for (const auto& r : rows) {
        wchar_t text[1024];
        r.set();
        SystemInfoValue(s, r.row, text, 1024);
        EXPECT_STREQ(r.text, text) << r.row;
    }
    EXPECT_STREQ(L"ＣＰＵクロック(測定値)", SystemInfoLabel(7));
}

// Without a capability object no depth is ruled out.
TEST(InfoRows, ModeBitDepths)
{
    kcDisplayMode only = {800, 600, 60, 23}; // R5G6B5
    kcDisplayModeList list;
    list.modeCount = 1, list.modes = &only;
    kcDisplayModeList::Instance = &list;
    EXPECT_TRUE(GetModeBitDepth(800, 600, 16) == 1 && GetModeBitDepth(800, 600, 32) == 0 && GetModeBitDepth(640, 480, 16) == 0);
    kcDisplayModeList::Instance = nullptr;
    EXPECT_EQ(1, GetModeBitDepth(800, 600, 32));
}
