#pragma once
// Program-wide state of the update program and the checks that fill it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "updater/UpdateInfo.h"

class kcImageHolder;
class kcFileCopier;
struct CopyStatus;

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

// Fills the install path from "<common app data>\<brand>\<app>.xml".
bool ReadInstallPath(const wchar_t* brand, const wchar_t* app);
// The same from a given installation-folder file; false also when the path is not absolute or
// names no folder.
bool ReadInstallPathFile(const wchar_t* file, wchar_t* path);
// The "<path>" text of the file's bytes (Shift_JIS or UTF-8 by its declaration); false when
// a tag is missing or the text does not fit a path.
bool ParseInstallPath(const char* bytes, size_t size, wchar_t* path);

// Installed version as major << 16 | minor from "<install>\config\startup.xml", 0 when unreadable.
uint32_t ReadInstalledVersion();
uint32_t ReadInstalledVersionFrom(const wchar_t* installPath);
uint32_t ParseInstalledVersion(const char* bytes);
uint32_t RequiredVersion(const UpdateInfo& info);

// Appends every file below base\relative to list, as paths relative to base (base empty:
// the current folder). Folders that are reparse points are not entered.
void CollectFiles(const std::wstring& relative);
void CollectFilesFrom(const std::wstring& base, const std::wstring& relative, std::vector<std::wstring>& list);

// The first path that would not fit a copy job or a log entry, or empty when all fit.
std::wstring FindOverlongPath(const wchar_t* sourceRoot, const wchar_t* destinationRoot,
                              const std::vector<std::wstring>& files);

// Copier callback: posts success or failure to the updating dialog (user).
int OnCopyFinished(void* user, CopyStatus* status);
