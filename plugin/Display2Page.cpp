// The Display 2 page: full-screen scaling and position, message-window position, the wall.
#include "plugin/SettingsPageTables.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcTablePage.h"

namespace {
const kcPageBinding kBindings[] = {
    {IDC_FULL_SIZE_SCALED, "FULL_SCREEN", "full_size", kcPageRadio, 0},
    {IDC_FULL_SIZE_WINDOW, "FULL_SCREEN", "full_size", kcPageRadio, 1},
    {IDC_FULL_POS_CENTRE, "FULL_SCREEN", "full_pos", kcPageRadio, 0},
    {IDC_FULL_POS_TOP, "FULL_SCREEN", "full_pos", kcPageRadio, 1},
    {IDC_FULL_POS_BOTTOM, "FULL_SCREEN", "full_pos", kcPageRadio, 2},
    {IDC_MW_POS_STANDARD, "FULL_SCREEN", "mw_pos", kcPageRadio, 0},
    {IDC_MW_POS_BOTTOM, "FULL_SCREEN", "mw_pos", kcPageRadio, 1},
    {IDC_MW_POS_TOP, "FULL_SCREEN", "mw_pos", kcPageRadio, 2},
    {IDC_WALL_BLACK, "FULL_SCREEN", "wall", kcPageRadio, 0},
    {IDC_WALL_PATTERN, "FULL_SCREEN", "wall", kcPageRadio, 1},
};
const kcPageReset kResets[] = {
    {"FULL_SCREEN", "full_size", kcResetBackup, 0},
    {"FULL_SCREEN", "full_pos", kcResetBackup, 0},
    {"FULL_SCREEN", "mw_pos", kcResetBackup, 0},
    {"FULL_SCREEN", "wall", kcResetBackup, 0},
};
const kcPageTable kTable = kcMakePageTable(kBindings, kResets);
// This page's reset refreshes at once (sent, not posted).
const SettingsPageHooks kHooks = kcTablePage<kTable>::Hooks(nullptr, true);
} // namespace

const kcPageTable& Display2PageTable()
{
    return kTable;
}

INT_PTR CALLBACK Display2PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SettingsPageProc(kHooks, page, message, wParam, lParam);
}
