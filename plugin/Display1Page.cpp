// The Display 1 page: window size from the game definition's list, frame rate, cursor, the
// full-screen resolution from the adapter's modes and the window-size limit.
#include <memory>
#include "config/kcDisplayModes.h"
#include "config/kcSettings.h"
#include "foundation/kcFormat.h"
#include "plugin/Display1PageRules.h"
#include "plugin/LanguageText.h"
#include "plugin/SettingsPageTables.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcNoThrow.h"
#include "plugin/kcTablePage.h"

namespace {
// In groups of the page's choices (rate, cursor, limit), so that each group can be stored alone.
const kcPageBinding kBindings[] = {
    {IDC_FPS_30, "WINDOW", "fps", kcPageRadio, 30},
    {IDC_FPS_60, "WINDOW", "fps", kcPageRadio, 60},
    {IDC_CURSOR_ORIGINAL, "WINDOW", "cursor_mode", kcPageRadio, 1},
    {IDC_CURSOR_SYSTEM, "WINDOW", "cursor_mode", kcPageRadio, 0},
    {IDC_SIZE_LIMIT, "WINDOW", "limit", kcPageCheck, 0},
};
const kcPageTable kRateRows = {kBindings, 2, nullptr, 0, nullptr, 0};
const kcPageTable kCursorRows = {kBindings + 2, 2, nullptr, 0, nullptr, 0};
const kcPageTable kLimitRows = {kBindings + 4, 1, nullptr, 0, nullptr, 0};
const kcPageReset kResets[] = {
    {"WINDOW", "width", kcResetBackup, 0},
    {"WINDOW", "height", kcResetBackup, 0},
    {"WINDOW", "full_width", kcResetBackup, 0},
    {"WINDOW", "full_height", kcResetBackup, 0},
    {"WINDOW", "fps", kcResetBackup, 0},
    {"WINDOW", "limit", kcResetBackup, 0},
    {"WINDOW", "cursor_mode", kcResetConstant, 1},
    {"FULL_SCREEN", "no_full_res", kcResetConstant, 1},
};
const int kEdits[] = {IDC_SIZE_0, IDC_SIZE_1, IDC_SIZE_2, IDC_SIZE_3, IDC_SIZE_4, IDC_FULL_LIST};
const kcPageTable kTable = kcMakePageTable(kBindings, kResets, kEdits);

// The page's choices, as groups of controls.
enum : unsigned {
    kChoiceSize = 1, kChoiceRate = 2, kChoiceCursor = 4, kChoiceList = 8, kChoiceLimit = 16,
    kEveryChoice = kChoiceSize | kChoiceRate | kChoiceCursor | kChoiceList | kChoiceLimit
};

// The page's record in place of a plain helper: the size buttons and the full-screen entries
// (list item data is an index into them), and which choices the user made since the refresh.
class Display1Record : public PageHelper {
public:
    Display1Record(HWND page, gx7Conf* owner) : PageHelper(page, owner) {}
    int sizeButtons[kcSizeButtonCount] = {IDC_SIZE_0, IDC_SIZE_1, IDC_SIZE_2, IDC_SIZE_3, IDC_SIZE_4};
    std::vector<kcScreenPair> fullScreen;
    unsigned chosen = 0;
};

Display1Record* RecordOf(HWND page)
{
    return dynamic_cast<Display1Record*>(PageHelper::Get(page));
}

void ReadSizes(const ConfigBlock& record, kcScreenPair (&sizes)[kcSizeButtonCount])
{
    const kcSetting* widths = kcFindSetting("SCREEN", "list/type%d/w");
    const kcSetting* heights = kcFindSetting("SCREEN", "list/type%d/h");
    for (int i = 0; i < kcSizeButtonCount; ++i)
        sizes[i] = {static_cast<uint32_t>(kcSettingGetInt(&record, widths, i)),
                    static_cast<uint32_t>(kcSettingGetInt(&record, heights, i))};
}

HWND SizeButton(HWND page, int i)
{
    return GetDlgItem(page, IDC_SIZE_0 + i);
}

void CheckSize(HWND page, const kcScreenPair (&sizes)[kcSizeButtonCount], const ConfigBlock& record)
{
    bool enabled[kcSizeButtonCount];
    for (int i = 0; i < kcSizeButtonCount; ++i)
        enabled[i] = IsWindowEnabled(SizeButton(page, i)) != FALSE;
    int chosen = kcChooseSizeButton(sizes, enabled, kcPageGet(record, "WINDOW", "width"),
                                    kcPageGet(record, "WINDOW", "height"), kcPageGet(record, "WINDOW", "limit") != 0);
    for (int i = 0; i < kcSizeButtonCount; ++i)
        CheckDlgButton(page, IDC_SIZE_0 + i, i == chosen ? BST_CHECKED : BST_UNCHECKED);
}

// Under the limit only the sizes that fit on the screen; otherwise every size of the list.
void EnableSizes(HWND page, gx7Conf* owner, const kcScreenPair (&sizes)[kcSizeButtonCount])
{
    bool limit = kcPageGet(owner->workingRecord, "WINDOW", "limit") != 0;
    int usable = kcUsableSizes(sizes);
    for (int i = 0; i < usable; ++i)
        EnableWindow(SizeButton(page, i),
                     !limit || kcSizeFits(sizes[i], owner->screenWidth, owner->screenHeight));
}

void FullScreenText(wchar_t (&text)[64], uint32_t width, uint32_t height)
{
    FormatText(text, 64, L"$0500-0012$%d x %d", width, height);
}

// Selects entry 0 for "do not change", else the entry whose text is exactly the stored size;
// without one the selection stays.
void SelectFullScreen(HWND page, const ConfigBlock& record)
{
    HWND list = GetDlgItem(page, IDC_FULL_LIST);
    if (kcPageGet(record, "FULL_SCREEN", "no_full_res") != 0) {
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        return;
    }
    wchar_t text[64];
    FullScreenText(text, kcPageGet(record, "WINDOW", "full_width"), kcPageGet(record, "WINDOW", "full_height"));
    LRESULT found = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (found != LB_ERR)
        SendMessageW(list, LB_SETCURSEL, found, 0);
}

void FillFullScreenList(HWND page, Display1Record& pageRecord)
{
    HWND list = GetDlgItem(page, IDC_FULL_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    pageRecord.fullScreen = kcFullScreenPairs(kcDisplayModeList::Instance, GetSystemMetrics(SM_CXSCREEN),
                                              GetSystemMetrics(SM_CYSCREEN));
    for (size_t i = 0; i < pageRecord.fullScreen.size(); ++i) {
        wchar_t text[64];
        if (i == 0)
            lstrcpynW(text, TranslateText(L"$0500-0011$解像度を変更しない"), 64);
        else
            FullScreenText(text, pageRecord.fullScreen[i].width, pageRecord.fullScreen[i].height);
        // One entry per size, at its first place (the same size comes at several refresh rates).
        if (i > 0 &&
            SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)) != LB_ERR)
            continue;
        LRESULT entry = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (entry >= 0)
            SendMessageW(list, LB_SETITEMDATA, entry, static_cast<LPARAM>(i));
    }
}

void SetUp(HWND page, gx7Conf* owner)
{
    Display1Record* pageRecord = RecordOf(page);
    if (!owner || !pageRecord)
        return;
    const ConfigBlock& record = owner->workingRecord;
    kcScreenPair sizes[kcSizeButtonCount];
    ReadSizes(record, sizes);
    int usable = kcUsableSizes(sizes);
    bool limit = kcPageGet(record, "WINDOW", "limit") != 0;
    for (int i = 0; i < kcSizeButtonCount; ++i) {
        HWND button = SizeButton(page, i);
        if (i >= usable) {
            EnableWindow(button, FALSE);
            ShowWindow(button, SW_HIDE);
            continue;
        }
        wchar_t text[64];
        kcFormatW(text, 64, L"%d X %d", sizes[i].width, sizes[i].height);
        SetWindowTextW(button, text);
        if (limit && !kcSizeFits(sizes[i], owner->screenWidth, owner->screenHeight))
            EnableWindow(button, FALSE);
    }
    FillFullScreenList(page, *pageRecord);
    SelectFullScreen(page, record);
    if (kcPageGet(record, "CURSOR", "change") == 0)
        for (int control : {IDC_CURSOR_GROUP, IDC_CURSOR_ORIGINAL, IDC_CURSOR_SYSTEM})
            ShowWindow(GetDlgItem(page, control), SW_HIDE);
}

void Refresh(HWND page, gx7Conf* owner)
{
    if (Display1Record* pageRecord = RecordOf(page))
        pageRecord->chosen = 0;   // the page shows the record again
    const ConfigBlock& record = owner->workingRecord;
    kcScreenPair sizes[kcSizeButtonCount];
    ReadSizes(record, sizes);
    CheckSize(page, sizes, record);
    kcPageRefresh(page, kTable, record);
    SelectFullScreen(page, record);
    EnableSizes(page, owner, sizes);
    if (kcPageGet(record, "WINDOW", "limit") != 0)
        CheckSize(page, sizes, record);
}

// Stores the shown state of the given groups of choices.
void StoreChoices(HWND page, gx7Conf* owner, unsigned choices)
{
    ConfigBlock& record = owner->workingRecord;
    if (choices & kChoiceRate)
        kcPageStore(page, kRateRows, record);
    if (choices & kChoiceCursor)
        kcPageStore(page, kCursorRows, record);
    if (choices & kChoiceLimit)
        kcPageStore(page, kLimitRows, record);
    kcScreenPair sizes[kcSizeButtonCount];
    ReadSizes(record, sizes);
    for (int i = 0; i < kcSizeButtonCount && (choices & kChoiceSize); ++i) {
        if (IsDlgButtonChecked(page, IDC_SIZE_0 + i) != BST_CHECKED)
            continue;
        kcPageSet(record, "WINDOW", "width", sizes[i].width);
        kcPageSet(record, "WINDOW", "height", sizes[i].height);
        break;
    }
    Display1Record* pageRecord = RecordOf(page);
    LRESULT selected = SendDlgItemMessageW(page, IDC_FULL_LIST, LB_GETCURSEL, 0, 0);
    if (!(choices & kChoiceList) || !pageRecord || selected == LB_ERR)
        return;
    size_t entry = static_cast<size_t>(SendDlgItemMessageW(page, IDC_FULL_LIST, LB_GETITEMDATA, selected, 0));
    if (entry >= pageRecord->fullScreen.size())
        return;
    kcPageSet(record, "WINDOW", "full_width", pageRecord->fullScreen[entry].width);
    kcPageSet(record, "WINDOW", "full_height", pageRecord->fullScreen[entry].height);
    kcPageSet(record, "FULL_SCREEN", "no_full_res", selected == 0 ? 1 : 0);
}

// Leaving the page stores what it shows, a size the limit moved included.
void Store(HWND page, gx7Conf* owner)
{
    StoreChoices(page, owner, kEveryChoice);
}

void Reset(HWND page, gx7Conf* owner)
{
    kcPageResetValues(kTable, owner->workingRecord, BackupRecord());
    kcScreenPair sizes[kcSizeButtonCount];
    ReadSizes(owner->workingRecord, sizes);
    EnableSizes(page, owner, sizes);
}

SettingsPageHooks MakeHooks()
{
    SettingsPageHooks hooks = kcTablePage<kTable>::Hooks();
    hooks.setUp = SetUp;
    hooks.refresh = Refresh;
    hooks.store = Store;
    hooks.reset = Reset;
    return hooks;
}
const SettingsPageHooks kHooks = MakeHooks();

// Which choice a command is: a click on a size, rate or cursor button, or a new list selection
// (not the list's focus notifications); 0 for anything else.
unsigned ChoiceOf(int control, int notification)
{
    if (control == IDC_FULL_LIST)
        return notification == LBN_SELCHANGE ? unsigned(kChoiceList) : 0u;
    if (notification != BN_CLICKED)
        return 0;
    if (control >= IDC_SIZE_0 && control <= IDC_SIZE_4)
        return kChoiceSize;
    if (control == IDC_FPS_30 || control == IDC_FPS_60)
        return kChoiceRate;
    if (control == IDC_CURSOR_ORIGINAL || control == IDC_CURSOR_SYSTEM)
        return kChoiceCursor;
    return 0;
}

// The limit box does not toggle itself: a click flips the setting and the refresh shows it.
// The refresh reads the whole page from the record, so what the user chose since the last
// refresh goes there first. Only that: a size the limit moved was never the user's choice, and
// storing it would lose the stored size when the limit goes off again.
void FlipLimit(HWND page)
{
    Display1Record* pageRecord = RecordOf(page);
    if (!pageRecord || !pageRecord->owner)
        return;
    bool shownChecked = IsDlgButtonChecked(page, IDC_SIZE_LIMIT) == BST_CHECKED;
    StoreChoices(page, pageRecord->owner, pageRecord->chosen);
    kcPageSet(pageRecord->owner->workingRecord, "WINDOW", "limit", shownChecked ? 0 : 1);
    PostMessageW(page, WM_SETTINGS_REFRESH, 0, 0);
    MarkModified(pageRecord->owner, page);
}
} // namespace

const kcPageTable& Display1PageTable()
{
    return kTable;
}

INT_PTR CALLBACK Display1PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG && !PageHelper::Get(page)) {
        kcNoThrowVoid([&] {
            std::unique_ptr<Display1Record> pageRecord(new Display1Record(page, PageOwnerFromInit(lParam)));
            SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pageRecord.release()));
        });
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_SIZE_LIMIT) {
        kcNoThrowVoid([&] { FlipLimit(page); });
        return 0;
    } else if (message == WM_COMMAND) {
        if (Display1Record* pageRecord = RecordOf(page))
            pageRecord->chosen |= ChoiceOf(LOWORD(wParam), HIWORD(wParam));
    }
    return SettingsPageProc(kHooks, page, message, wParam, lParam);
}
