// The Sound and other page: 3D sound, sticky focus, pan, multi-core use and the image cache
// size on a trackbar.
#include <windows.h>
#include <commctrl.h>
#include "plugin/LanguageText.h"
#include "plugin/SettingsPageTables.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcTablePage.h"

namespace {
const kcPageBinding kBindings[] = {
    {IDC_DS3D, "SOUND", "ds3d", kcPageCheck, 0},
    {IDC_STICKY, "SOUND", "sticky", kcPageCheck, 0},
    {IDC_STEREO, "SOUND", "stereo", kcPageCheck, 0},
    {IDC_DUALCORE, "ETC", "dualcore", kcPageCheck, 0},
};
const kcPageReset kResets[] = {
    {"SOUND", "ds3d", kcResetBackup, 0},
    {"SOUND", "sticky", kcResetBackup, 0},
    {"SOUND", "stereo", kcResetConstant, 1},
    {"ETC", "imgcache", kcResetConstant, 32},
    {"ETC", "dualcore", kcResetConstant, 1},
};
const kcPageTable kTable = kcMakePageTable(kBindings, kResets);
const int kCacheMax = 128;
const int kCacheTick = 12;

void ShowCacheSize(HWND page, int megabytes)
{
    wchar_t text[64];
    FormatText(text, 64, L"$0500-0018$%d MB", megabytes);
    SetDlgItemTextW(page, IDC_IMGCACHE_TEXT, text);
}

void SetUp(HWND page, gx7Conf*)
{
    SendDlgItemMessageW(page, IDC_IMGCACHE, TBM_SETRANGE, TRUE, MAKELPARAM(0, kCacheMax));
    SendDlgItemMessageW(page, IDC_IMGCACHE, TBM_SETTICFREQ, kCacheTick, 0);
}

void Refresh(HWND page, gx7Conf* owner)
{
    kcPageRefresh(page, kTable, owner->workingRecord);
    int cache = kcPageGet(owner->workingRecord, "ETC", "imgcache");
    SendDlgItemMessageW(page, IDC_IMGCACHE, TBM_SETPOS, TRUE, cache);
    ShowCacheSize(page, cache);
}

// The trackbar edits the setting at once, so leaving the page has nothing more to store.
bool Other(HWND page, UINT message, WPARAM, LPARAM lParam, gx7Conf* owner, INT_PTR* result)
{
    if (message != WM_HSCROLL || !owner || reinterpret_cast<HWND>(lParam) != GetDlgItem(page, IDC_IMGCACHE))
        return false;
    int cache = static_cast<int>(SendDlgItemMessageW(page, IDC_IMGCACHE, TBM_GETPOS, 0, 0));
    kcPageSet(owner->workingRecord, "ETC", "imgcache", cache);
    ShowCacheSize(page, cache);
    MarkModified(owner, page);
    *result = 0;
    return true;
}

SettingsPageHooks MakeHooks()
{
    SettingsPageHooks hooks = kcTablePage<kTable>::Hooks(SetUp);
    hooks.refresh = Refresh;
    hooks.other = Other;
    return hooks;
}
const SettingsPageHooks kHooks = MakeHooks();
} // namespace

const kcPageTable& SoundOtherPageTable()
{
    return kTable;
}

INT_PTR CALLBACK SoundOtherPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SettingsPageProc(kHooks, page, message, wParam, lParam);
}
