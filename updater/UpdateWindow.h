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
// Loads "updatebg.hg3" of the current folder into the program's image holder (null on failure,
// also when the picture cannot be drawn).
bool LoadBackground(const wchar_t* path);
class kcImage;
// True for what DrawBackground can hand StretchDIBits: pixels of 3 or 4 bytes, rows padded to
// 4 bytes, neither size 0.
bool CanDrawBackground(const kcImage* image);
// Puts a held picture in drawing order: 3 bytes widened, flattened on white, rows bottom-up.
// False when the result cannot be drawn.
bool PrepareBackground(kcImage* image);
void DrawBackground(HDC dc);
