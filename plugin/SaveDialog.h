#pragma once
// The save-file dialog of the system-information report.
#include <windows.h>

// Writes count wide strings (the arguments after count), each with its NUL, and a final NUL,
// into out of capacity units. Without strings (count <= 0) out holds two NULs. False, with an
// empty filter when there is room for one, when the strings do not fit.
bool BuildFilterString(wchar_t* out, int capacity, int count, ...);

// GetSaveFileNameW over file (260 units: initial name in, chosen path out); the process's
// current folder is the same afterwards, whatever its length. Nonzero when a file was chosen.
int ShowSaveFileDialog(HWND owner, const wchar_t* title, const wchar_t* filter, const wchar_t* defaultExt,
                       wchar_t* file, bool overwritePrompt);
