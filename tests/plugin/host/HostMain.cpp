// gx7host: the game's side of the plug-in contract for the demo and for trying the sheet by
// hand. Usage: gx7host <game folder> [--drive <picture folder> <report file> [<running game's mutex>]]
// With --drive a second thread visits every tab, changes a setting, applies, saves the report,
// takes a picture of the start-up notice and of each page, and closes the sheet with OK.
#include <windows.h>
#include <prsht.h>
#include <cstdio>
#include <string>
#include <thread>
#include "plugin/host/SheetDriver.h"
#include "plugin/host/gx7Host.h"
#include "plugin/gx7confResource.h"

namespace {
std::wstring g_pictures, g_report;
int g_applies = 0;

void __stdcall OnApply(void* context)
{
    ++g_applies;
    std::printf("host: apply callback (context %p)\n", context);
}

std::wstring Picture(const wchar_t* name) { return g_pictures + L"\\settings_" + name + L".bmp"; }

bool IsNotice(HWND window, void*) { return GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST; }

void PictureOfNotice() // the notice stands between Init and Run
{
    if (HWND notice = WaitForDialog(IsNotice, nullptr, 2000)) {
        SaveWindowPicture(notice, Picture(L"00_notice").c_str());
    }
}

void Drive()
{
    HWND sheet = WaitForSheet(30000);
    if (!sheet) {
        std::printf("driver: no sheet\n");
        return;
    }
    const int tabs = SheetTabCount(sheet);
    std::printf("driver: sheet with %d tabs\n", tabs);
    for (int i = 0; i < tabs; ++i) {
        HWND page = SelectSheetTab(sheet, i);
        if (i == 1)
            ClickControl(page, IDC_NO_SCREENSAVER);   // a change on the General page
        wchar_t name[32];
        wsprintfW(name, L"%02d_page", i + 1);
        SaveWindowPicture(sheet, Picture(name).c_str());
        std::printf("driver: tab %d\n", i);
    }
    PressSheetButton(sheet, PSBTN_APPLYNOW);
    std::printf("driver: applied (%d callback calls)\n", g_applies);
    HWND info = SelectSheetTab(sheet, 0);
    PostClick(info, IDC_INFO_SAVE);
    if (HWND save = WaitForOtherDialog(sheet, 10000)) {
        AnswerSaveDialog(save, g_report.c_str());
        WaitGone(save, 5000);
        std::printf("driver: report saved\n");
    }
    SaveWindowPicture(sheet, Picture(L"99_info_after_save").c_str());
    PressSheetButton(sheet, PSBTN_OK);
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::printf("usage: gx7host <game folder> [--drive <picture folder> <report file>]\n");
        return 2;
    }
    const bool drive = argc >= 5 && std::wstring(argv[2]) == L"--drive";
    gx7Plugin plugin;
    if (!plugin.LoadBesideExecutable()) {
        std::printf("host: gx7conf.dll not loaded\n");
        return 1;
    }
    std::printf("host: plug-in version %08x type %u\n", plugin.GetPluginVersion(), plugin.GetPluginType());
    gx7HostOptions options;
    options.gameFolder = argv[1];
    options.callback = OnApply;
    options.context = &g_applies;
    std::thread driver;
    // A mutex of the running game's name: the pages then show their restart notices.
    HANDLE running = (drive && argc >= 6) ? CreateMutexW(nullptr, FALSE, argv[5]) : nullptr;
    if (drive) {
        g_pictures = argv[3];
        g_report = argv[4];
        CreateDirectoryW(g_pictures.c_str(), nullptr);
        options.beforeRun = PictureOfNotice;
        driver = std::thread(Drive);
    }
    const int result = gx7HostSession(plugin, options);
    if (driver.joinable())
        driver.join();
    if (running)
        CloseHandle(running);
    std::printf("host: sheet result %d, %d apply callback calls\n", result, g_applies);
    plugin.Unload();
    return result < 0 ? 1 : 0;
}
