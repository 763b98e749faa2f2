#include "updater/UpdaterStartup.h"

#include <shellapi.h>

#include "updater/UpdateWindow.h"
#include "updater/UpdaterResource.h"
#include "updater/UpdaterState.h"
#include "updater/kcFileCopier.h"
#include "foundation/kcFolder.h"
#include "image/kcImageHolder.h"
#include "foundation/kcSystem.h"
#include "foundation/kcThread.h"
#include "foundation/kcWindowClass.h"

namespace {

void LoadIcons(HINSTANCE instance, HICON* largeIcon, HICON* smallIcon)
{
    *largeIcon = *smallIcon = nullptr;
    const UINT count = ExtractIconExW(L"icon.ico", 0, largeIcon, smallIcon, 1);
    if (count == 0 || count == UINT(-1) || !*largeIcon) {
        if (*smallIcon)
            DestroyIcon(*smallIcon);
        *largeIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_UPDATER_LARGE), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
        *smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_UPDATER_SMALL), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    }
}

} // namespace

int UpdaterMain(HINSTANCE instance)
{
    kcSystemInit(0x7f, 0);
    UpdaterState& state = Updater();
    if (!LoadUpdateInfo(state.info)) {
        MessageBoxW(nullptr, kTextNoUpdateInfo, L"error", MB_OK);
        kcSystemTerm();
        return 0;
    }
    if (!SelectLanguage(state.info)) {
        MessageBoxW(nullptr, kTextNoLanguage, L"error", MB_OK);
        kcSystemTerm();
        return 0;
    }
    int gameRunning = 1, confRunning = 1;
    kcNamedMutex* gameMutex = new kcNamedMutex(state.info.mutex, &gameRunning);
    kcNamedMutex* confMutex = new kcNamedMutex(state.info.confmutex, &confRunning);
    if (gameRunning || confRunning || !gameMutex->GetHandle() || !confMutex->GetHandle()) {
        MessageBoxW(nullptr, state.info.current.boot, state.info.current.wndtitle, MB_OK);
        kcSystemTerm();
        delete confMutex;
        delete gameMutex;
        return 0;
    }
    state.instance = instance;

    int width = kFallbackWidth, height = kFallbackHeight;
    if (LoadBackground(L"updatebg.hg3"))
        state.imageHolder->GetSize(&width, &height);

    HICON largeIcon, smallIcon;
    LoadIcons(instance, &largeIcon, &smallIcon);
    kcWindowClass* windowClass = new kcWindowClass(kUpdateWindowClass, UpdateWndProc, instance, largeIcon, smallIcon, nullptr,
                                                   nullptr, nullptr, CS_HREDRAW | CS_VREDRAW);
    RECT rect = {0, 0, width, height};
    kcCenterWindowRect(&rect, kUpdateWindowStyle, 0, FALSE);
    HWND window = CreateWindowExW(0, kUpdateWindowClass, state.info.current.wndtitle, kUpdateWindowStyle, rect.left,
                                  rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance,
                                  nullptr);
    if (window) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    if (state.copier) {
        delete state.copier;
        state.copier = nullptr;
    }
    if (state.imageHolder) {
        state.imageHolder->Destroy();
        delete state.imageHolder;
        state.imageHolder = nullptr;
    }
    kcSystemTerm();
    delete windowClass;
    delete confMutex;
    delete gameMutex;
    return 0;
}
