#pragma once
// The modal dialog that writes the install log, runs the copier and registers the game.
#include <windows.h>

#include <string>
#include <vector>

INT_PTR CALLBACK UpdatingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

class kcFileCopier;
// Starts the copy with OnCopyFinished; when the copier cannot start, shows the system's text and
// posts WM_UPDATE_COPY_FAILED as a failed copy does, and returns false.
bool StartCopier(kcFileCopier& copier, HWND dialog);

// Merges the quoted relative paths into the log at logPath (sorted, without duplicates). A log
// that cannot be read, or holds a line that is not UTF-8 or a NUL byte, is left byte for byte:
// false, with a log line.
bool WriteInstallLog(const wchar_t* logPath, const std::vector<std::wstring>& files);

// The product key under "...\Uninstall" and the game's fixed title.
extern const wchar_t kUninstallProduct[];
extern const wchar_t kUninstallDisplayName[];
// Writes "DisplayName" and "UninstallString" (folder joined with "uninst.exe").
bool WriteUninstallKey(HKEY root, const wchar_t* product, const wchar_t* installFolder);
