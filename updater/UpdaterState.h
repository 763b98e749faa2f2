#pragma once
// Program-wide state of the update program and the private messages of its window and dialog.
#include <windows.h>

#include <string>
#include <vector>

#include "updater/UpdateInfo.h"

class kcImageHolder;
class kcFileCopier;

// Private messages of the update window and the updating dialog.
enum : UINT {
    WM_UPDATE_BEGIN_COPY = WM_USER + 2,
    WM_UPDATE_CLOSE = WM_USER + 10,
    WM_UPDATE_CONFIRM = WM_USER + 20,
    WM_UPDATE_OPEN_DIALOG = WM_USER + 21,
    WM_UPDATE_REDRAW = WM_USER + 22,
    WM_UPDATE_COPY_DONE = WM_USER + 23,
    WM_UPDATE_COPY_FAILED = WM_USER + 24,
};

const int kPathChars = 260;

struct UpdaterState {
    HINSTANCE instance = nullptr;
    kcImageHolder* imageHolder = nullptr;
    wchar_t installPath[kPathChars] = {};
    wchar_t destinationRoot[kPathChars] = {};
    std::vector<std::wstring> fileList;
    kcFileCopier* copier = nullptr;
    UpdateInfo info;
};
UpdaterState& Updater();
