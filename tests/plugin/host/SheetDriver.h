#pragma once
// Drives the settings sheet of this process from a second thread, the way a user would:
// find it, switch tabs, click controls, apply, answer the save dialog, take pictures, close.
#include <windows.h>
#include <string>

// Waits (polling, up to timeoutMs) for a visible top-level window of this process whose
// class is the dialog class and which satisfies the test; null on timeout.
HWND WaitForDialog(bool (*test)(HWND window, void* user), void* user, int timeoutMs);
// The property sheet (a dialog holding a tab control).
HWND WaitForSheet(int timeoutMs);
// A dialog other than the sheet (the save dialog, a message box).
HWND WaitForOtherDialog(HWND sheet, int timeoutMs);
// Waits (polling, up to timeoutMs) until the window is destroyed; false on timeout.
bool WaitGone(HWND window, int timeoutMs);

int SheetTabCount(HWND sheet);
std::wstring SheetTabText(HWND sheet, int index);
std::wstring TextOf(HWND window);
HWND SelectSheetTab(HWND sheet, int index);   // returns the page now shown
void ClickControl(HWND page, int id);         // sent: the click is done on return
void PostClick(HWND page, int id);            // posted: for a control that opens a modal dialog
// PSBTN_APPLYNOW is done on return; PSBTN_OK and PSBTN_CANCEL return once the sheet is gone.
void PressSheetButton(HWND sheet, int psbtn);

// Fills the file name of a common save dialog and confirms it (or cancels with a null path).
bool AnswerSaveDialog(HWND dialog, const wchar_t* path);
// The window's own pixels (from its window DC) as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const wchar_t* bmpPath);
