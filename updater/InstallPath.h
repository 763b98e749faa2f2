#pragma once
// Where the game is installed: the installation-folder file the game's installer leaves in the
// common application data folder.
#include <cstddef>

// Fills the install path from "<common app data>\<brand>\<app>.xml".
bool ReadInstallPath(const wchar_t* brand, const wchar_t* app);
// The same from a given installation-folder file; false also when the path is not absolute or
// names no folder.
bool ReadInstallPathFile(const wchar_t* file, wchar_t* path);
// The "<path>" text of the file's bytes (Shift_JIS or UTF-8 by its declaration); false when
// a tag is missing, the text does not fit a path or does not convert whole. In the last case
// *stop (may be null) gets the file offset of the first byte not taken, else SIZE_MAX.
bool ParseInstallPath(const char* bytes, size_t size, wchar_t* path, size_t* stop = nullptr);
