#pragma once
// The update program's only top-level window and its chain of private messages.
#include <windows.h>

extern const wchar_t kUpdateWindowClass[];
const DWORD kUpdateWindowStyle = WS_POPUP | WS_VISIBLE | WS_BORDER;
// Client size when the background image is missing or cannot be decoded.
const int kFallbackWidth = 640;
const int kFallbackHeight = 480;

// Fixed texts for failures that "updateinfo.xml" has no words for.
extern const wchar_t kTextNoUpdateInfo[];
extern const wchar_t kTextNoLanguage[];
extern const wchar_t kTextNoData[];
extern const wchar_t kTextPathTooLong[];

LRESULT CALLBACK UpdateWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Loads "updatebg.hg3" of the current folder into the program's image holder (null on failure).
bool LoadBackground(const wchar_t* path);
void DrawBackground(HDC dc);
