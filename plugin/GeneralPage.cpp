// The General page: start-up screen mode, screensaver, the minimised title, the information file.
#include "config/kcSettings.h"
#include "plugin/LanguageText.h"
#include "plugin/SettingsPageTables.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcTablePage.h"

namespace {
const kcPageBinding kBindings[] = {
    {IDC_MODE_LAST, "WINDOW", "mode", kcPageRadio, 0},
    {IDC_MODE_FULLSCREEN, "WINDOW", "mode", kcPageRadio, 1},
    {IDC_MODE_WINDOW, "WINDOW", "mode", kcPageRadio, 2},
    {IDC_NO_SCREENSAVER, "WINDOW", "screensaver", kcPageCheck, 0},
    {IDC_CAMOUFLAGE, "WINDOW", "camouflage", kcPageCheck, 0},
    {IDC_OUT_INFO, "WINDOW", "out_info", kcPageCheck, 0},
};
const kcPageReset kResets[] = {
    {"WINDOW", "mode", kcResetConstant, 0},
    {"WINDOW", "screensaver", kcResetBackup, 0},
    {"WINDOW", "camouflage", kcResetBackup, 0},
    {"WINDOW", "out_info", kcResetConstant, 1},
};
const kcPageTable kTable = kcMakePageTable(kBindings, kResets);

void SetUp(HWND page, gx7Conf* owner)
{
    // The box names the game's own information file.
    wchar_t file[260] = {};
    if (owner)
        kcConfigGetText(&owner->workingRecord, "INFO", "file", file, 260);
    wchar_t text[512];
    FormatText(text, 512, L"$0500-0010$起動時に\"%s\"を作成する", file);
    SetDlgItemTextW(page, IDC_OUT_INFO, text);
}

const SettingsPageHooks kHooks = kcTablePage<kTable>::Hooks(SetUp);
} // namespace

const kcPageTable& GeneralPageTable()
{
    return kTable;
}

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SettingsPageProc(kHooks, page, message, wParam, lParam);
}
