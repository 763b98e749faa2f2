#include "plugin/PageCommon.h"
#include <commctrl.h>
#include <shellapi.h>
#include "config/kcConfig.h"
#include "config/kcDisplayModes.h"
#include "plugin/DialogToolTips.h"
#include "plugin/LanguageText.h"
#include "plugin/PageTable.h"
#include "plugin/gx7Conf.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcNoThrow.h"
#include "plugin/kcPluginModule.h"

namespace {
HBRUSH g_noticeBrush = nullptr;   // one yellow brush for every restart notice
kcHelpOpener g_helpOpener = ShellExecuteW;
}

PageHelper::PageHelper(HWND page, gx7Conf* owner_) : owner(owner_), tooltips(new DialogToolTips(page, 0)) {}

PageHelper::~PageHelper()
{
    delete tooltips;
}

PageHelper* PageHelper::Get(HWND page)
{
    return reinterpret_cast<PageHelper*>(GetWindowLongPtrW(page, GWLP_USERDATA));
}

PageHelper* PageHelper::Attach(HWND page, LPARAM initParam)
{
    PageHelper* helper = Get(page);
    if (!helper) {
        helper = new PageHelper(page, PageOwnerFromInit(initParam));
        SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(helper));
    }
    return helper;
}

void PageHelper::Detach(HWND page)
{
    delete Get(page);
    SetWindowLongPtrW(page, GWLP_USERDATA, 0);
}

gx7Conf* PageOwnerFromInit(LPARAM initParam)
{
    const auto* description = reinterpret_cast<const PROPSHEETPAGEW*>(initParam);
    return description ? reinterpret_cast<gx7Conf*>(description->lParam) : nullptr;
}

void MarkModified(gx7Conf* owner, HWND page)
{
    if (owner)
        owner->modified = 1;
    SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

const ConfigBlock* CurrentRecord()
{
    return kcConfigCurrentBlock;
}

const ConfigBlock* BackupRecord()
{
    return kcConfigBackupBlock;
}

void ApplySettings(gx7Conf* owner)
{
    if (!owner)
        return;
    if (owner->modified && owner->CopyBackWorkingRecord()) {
        if (kcConfig* config = kcConfig::Instance())
            config->SaveUserSettings(0);   // writes nothing with "APP"/"dontsave" set
        if (owner->applyCallback)
            owner->applyCallback(owner->callbackContext);
    }
    owner->modified = 0;
}

void OpenHelp()
{
    if (const ConfigBlock* record = CurrentRecord())
        g_helpOpener(nullptr, L"open", record->manualPath, nullptr, nullptr, SW_SHOWNORMAL);
}

kcHelpOpener SetHelpOpener(kcHelpOpener opener)
{
    kcHelpOpener previous = g_helpOpener;
    g_helpOpener = opener ? opener : ShellExecuteW;
    return previous;
}

int FormatBitDepth(uint32_t format)
{
    switch (format) {
    case 27: case 28: case 41: case 50: case 52:
        return 8;
    case 23: case 24: case 25: case 26: case 29: case 30: case 40: case 51: case 60: case 61:
        return 16;
    case 20:
        return 24;
    case 21: case 22: case 62: case 63: case 64:
        return 32;
    default:
        return 0;
    }
}

int GetModeBitDepth(uint32_t width, uint32_t height, uint32_t bits)
{
    const kcDisplayModeList* list = kcDisplayModeList::Instance;
    if (!list)
        return 1;
    if (list->modeCount == 0 || !list->modes)
        return 0;
    for (uint32_t i = 0; i < list->modeCount; ++i) {
        const kcDisplayMode& mode = list->modes[i];
        if (mode.Width == width && mode.Height == height && FormatBitDepth(mode.Format) == static_cast<int>(bits))
            return 1;
    }
    return 0;
}

void HideRestartNoticeUnlessRunning(HWND page, gx7Conf* owner)
{
    if (owner && owner->gameRunning)
        return;
    if (HWND notice = GetDlgItem(page, IDC_RESTART_NOTICE))
        ShowWindow(notice, SW_HIDE);
}

INT_PTR RestartNoticeColour(HWND page, WPARAM dc, LPARAM control)
{
    HWND notice = GetDlgItem(page, IDC_RESTART_NOTICE);
    if (!notice || reinterpret_cast<HWND>(control) != notice)
        return 0;
    if (!g_noticeBrush)
        g_noticeBrush = CreateSolidBrush(RGB(255, 255, 0));
    HDC hdc = reinterpret_cast<HDC>(dc);
    SetTextColor(hdc, RGB(255, 0, 0));
    SetBkMode(hdc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(g_noticeBrush);
}

void ReleasePageResources()
{
    if (g_noticeBrush)
        DeleteObject(g_noticeBrush);
    g_noticeBrush = nullptr;
}

void FinishReset(HWND page, gx7Conf* owner, bool send)
{
    if (send)
        SendMessageW(page, WM_SETTINGS_REFRESH, 0, 0);
    else
        PostMessageW(page, WM_SETTINGS_REFRESH, 0, 0);
    MarkModified(owner, page);
}

void PageNotify(HWND page, gx7Conf* owner, LPARAM lParam, void (*store)(HWND, gx7Conf*))
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || !owner)
        return;
    if (header->code == static_cast<UINT>(PSN_KILLACTIVE)) {
        if (store)
            store(page, owner);
    } else if (header->code == static_cast<UINT>(PSN_APPLY)) {
        ApplySettings(owner);
    } else if (header->code == static_cast<UINT>(PSN_HELP)) {
        OpenHelp();
    }
}

INT_PTR SettingsPageProc(const SettingsPageHooks& hooks, HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return kcNoThrow<INT_PTR>(0, [&]() -> INT_PTR {
        PageHelper* helper = PageHelper::Get(page);
        gx7Conf* owner = helper ? helper->owner : nullptr;
        switch (message) {
        case WM_INITDIALOG:
            TranslateDialog(page);
            owner = PageHelper::Attach(page, lParam)->owner;
            if (hooks.setUp)
                hooks.setUp(page, owner);
            HideRestartNoticeUnlessRunning(page, owner);
            SendMessageW(page, WM_SETTINGS_REFRESH, 0, 0);
            return FALSE;
        case WM_SETTINGS_REFRESH:
            if (hooks.refresh && owner)
                hooks.refresh(page, owner);
            return 0;
        case WM_NOTIFY:
            PageNotify(page, owner, lParam, hooks.store);
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (!owner)
                return 0;
            if (id == IDC_RESET && hooks.reset) {
                hooks.reset(page, owner);
                FinishReset(page, owner, hooks.sendRefreshOnReset);
            } else if (hooks.edits && hooks.edits(id)) {
                MarkModified(owner, page);
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            return RestartNoticeColour(page, wParam, lParam);
        case WM_DESTROY:
            PageHelper::Detach(page);
            return 0;
        default:
            break;
        }
        INT_PTR result = 0;
        if (hooks.other && hooks.other(page, message, wParam, lParam, owner, &result))
            return result;
        return 0;
    });
}

PROPSHEETPAGEW PageDescription(gx7Conf* owner, int index)
{
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    const ConfigBlock* record = CurrentRecord();
    page.dwFlags = (record && record->manualExists) ? PSP_HASHELP : 0;
    page.hInstance = kcPluginModule();
    page.pszTemplate = MAKEINTRESOURCEW(owner->pageTemplates[index]);
    page.pfnDlgProc = owner->pageProcedures[index];
    page.lParam = reinterpret_cast<LPARAM>(owner);
    return page;
}

void AddSettingsPages(gx7Conf* owner)
{
    const ConfigBlock* record = CurrentRecord();
    const int view3d = record ? record->view3d : 0;
    int created = 1;
    for (int index = 1; index < GX7_PAGE_COUNT; ++index) {
        if (!gx7PageIsShown(index, view3d))
            continue;
        PROPSHEETPAGEW description = PageDescription(owner, index);
        if (HPROPSHEETPAGE handle = CreatePropertySheetPageW(&description))
            owner->pageHandles[created++] = handle;
    }
    for (int i = 1; i < created; ++i)
        SendMessageW(owner->sheetWindow, PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(owner->pageHandles[i]));

    HWND tabs = reinterpret_cast<HWND>(SendMessageW(owner->sheetWindow, PSM_GETTABCONTROL, 0, 0));
    const int count = tabs ? static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0)) : 0;
    for (int tab = 0; tab < count; ++tab) {
        wchar_t text[1024] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 1024;
        if (!SendMessageW(tabs, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item)))
            continue;
        wchar_t translated[1024];
        lstrcpynW(translated, TranslateText(text), 1024);
        item.pszText = translated;
        item.cchTextMax = 1024;
        SendMessageW(tabs, TCM_SETITEMW, tab, reinterpret_cast<LPARAM>(&item));
    }
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM parameter)
{
    if (message == PSCB_PRECREATE && parameter) {
        // The sheet gets no context-help caption button.
        auto* words = reinterpret_cast<WORD*>(parameter);
        if (words[1] == 0xFFFF) {   // DLGTEMPLATEEX: exStyle at byte 8, style at byte 12
            auto* exStyle = reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(parameter) + 8);
            auto* style = reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(parameter) + 12);
            *style &= ~static_cast<DWORD>(DS_CONTEXTHELP);
            *exStyle |= WS_EX_CONTROLPARENT;
        } else {
            reinterpret_cast<DLGTEMPLATE*>(parameter)->style &= ~static_cast<DWORD>(DS_CONTEXTHELP);
        }
    } else if (message == PSCB_INITIALIZED && sheet) {
        // One row of tabs.
        if (HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0)))
            SetWindowLongW(tabs, GWL_STYLE, GetWindowLongW(tabs, GWL_STYLE) & ~TCS_MULTILINE);
    }
    return 0;
}
