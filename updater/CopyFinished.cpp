#include "updater/CopyFinished.h"

#include <windows.h>

#include "updater/UpdaterState.h"
#include "updater/kcFileCopier.h"

int OnCopyFinished(void* user, CopyStatus* status)
{
    HWND dialog = static_cast<HWND>(user);
    if (status->done && !status->error) {
        PostMessageW(dialog, WM_UPDATE_COPY_DONE, 0, 0);
        return 1;
    }
    if (status->error && !status->done) {
        // The copier's text is shown as it stands, never used as a format.
        MessageBoxW(dialog, status->errorText, Updater().info.current.title, MB_OK);
        PostMessageW(dialog, WM_UPDATE_COPY_FAILED, 0, 0);
        return 0;
    }
    return 1;
}
