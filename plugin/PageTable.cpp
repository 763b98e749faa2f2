#include "plugin/PageTable.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7Conf.h"
#include "plugin/gx7confResource.h"

namespace {
const gx7PageEntry kPages[GX7_PAGE_COUNT] = {
    {IDD_PAGE_SYSINFO, SystemInfoPageProc, GX7_SHOWN_ALWAYS},
    {IDD_PAGE_GENERAL, GeneralPageProc, GX7_SHOWN_ALWAYS},
    {IDD_PAGE_DISPLAY1, Display1PageProc, GX7_SHOWN_ALWAYS},
    {IDD_PAGE_DISPLAY2, Display2PageProc, GX7_SHOWN_ALWAYS},
    {IDD_PAGE_DIRECT3D1, Direct3D1PageProc, GX7_SHOWN_TWO_3D_PAGES},
    {IDD_PAGE_DIRECT3D2, Direct3D2PageProc, GX7_SHOWN_TWO_3D_PAGES},
    {IDD_PAGE_DIRECT3D, Direct3DPageProc, GX7_SHOWN_ONE_3D_PAGE},
    {IDD_PAGE_SOUNDOTHER, SoundOtherPageProc, GX7_SHOWN_ALWAYS},
    {IDD_PAGE_ENVIRONMENT, EnvironmentPageProc, GX7_SHOWN_ALWAYS},
};
}

const gx7PageEntry* gx7PageTable()
{
    return kPages;
}

bool gx7PageIsShown(int index, int view3d)
{
    if (index < 0 || index >= GX7_PAGE_COUNT)
        return false;
    switch (kPages[index].shown) {
    case GX7_SHOWN_TWO_3D_PAGES:
        return view3d != 0;
    case GX7_SHOWN_ONE_3D_PAGE:
        return view3d == 0;
    default:
        return true;
    }
}
