// The Environment page: workarounds for particular systems. Four of its boxes are never shown
// but still load and store their settings.
#include "config/ConfigBlock.h"
#include "config/kcSettings.h"
#include "plugin/SettingsPageTables.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcTablePage.h"

namespace {
const kcPageBinding kBindings[] = {
    {IDC_GDI_CAP, "DEPEND", "gdi_cap", kcPageCheck, 0},
    {IDC_DISABLE_MOVIE, "ETC", "disablemovie", kcPageCheck, 0},
    {IDC_WAIT_D3D_COMMAND, "ETC", "waitd3dcommand", kcPageCheck, 0},
    {IDC_DISABLE_PIXELSHADER, "ETC", "disablepixelshader", kcPageCheck, 0},
    {IDC_FULL_WIDE, "WINDOW", "full_wide", kcPageCheck, 0},
    {IDC_NO_Z, "DEPEND", "use_z", kcPageCheckInverted, 0},
    {IDC_NO_CACHE, "ETC", "cache", kcPageCheckInverted, 0},
    {IDC_Z32, "DEPEND", "z32", kcPageCheck, 0},
};
const kcPageReset kResets[] = {
    {"DEPEND", "gdi_cap", kcResetConstant, 0},
    {"DEPEND", "z32", kcResetConstant, 0},
    {"DEPEND", "use_z", kcResetConstant, 1},
    {"WINDOW", "full_wide", kcResetConstant, 0},
    {"ETC", "cache", kcResetConstant, 1},
    {"ETC", "disablemovie", kcResetConstant, 0},
    {"ETC", "disablepixelshader", kcResetConstant, 0},
    {"ETC", "waitd3dcommand", kcResetConstant, 0},
};
const kcPageTable kTable = kcMakePageTable(kBindings, kResets);

void SetUp(HWND page, gx7Conf*)
{
    // Only a game that uses pixel shaders offers to turn them off.
    const ConfigBlock* current = CurrentRecord();
    if (!current || kcConfigGetInt(current, "APP", "use_ps") == 0)
        ShowWindow(GetDlgItem(page, IDC_DISABLE_PIXELSHADER), SW_HIDE);
}

const SettingsPageHooks kHooks = kcTablePage<kTable>::Hooks(SetUp);
} // namespace

const kcPageTable& EnvironmentPageTable()
{
    return kTable;
}

INT_PTR CALLBACK EnvironmentPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SettingsPageProc(kHooks, page, message, wParam, lParam);
}
