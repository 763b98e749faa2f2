#pragma once
// Drives the settings sheet of this process from a second thread, the way a user would.
#include <windows.h>
#include <string>

// Polls up to timeoutMs for a visible dialog-class top-level window of this process that passes
// the test; null on timeout.
HWND WaitForDialog(bool (*test)(HWND window, void* user), void* user, int timeoutMs);
HWND WaitForSheet(int timeoutMs);                   // the dialog holding a tab control
HWND WaitForOtherDialog(HWND sheet, int timeoutMs); // the save dialog, a message box
bool WaitGone(HWND window, int timeoutMs);          // false on timeout

int SheetTabCount(HWND sheet);
std::wstring SheetTabText(HWND sheet, int index);
std::wstring TextOf(HWND window);
HWND SelectSheetTab(HWND sheet, int index); // returns the page now shown
void ClickControl(HWND page, int id);       // sent: the click is done on return
void PostClick(HWND page, int id);          // posted: for a control that opens a modal dialog
// PSBTN_APPLYNOW is done on return; PSBTN_OK and PSBTN_CANCEL return once the sheet is gone.
void PressSheetButton(HWND sheet, int psbtn);
// Fills the file name of a common save dialog and confirms it (or cancels with a null path).
bool AnswerSaveDialog(HWND dialog, const wchar_t* path);
// The window's own pixels (from its window DC) as a 24-bit BMP file. It first has the window and
// every child painted (UpdateWindow alone leaves children such as the tab strip's arrows
// unpainted) and waits until the window's thread has handled that.
bool SaveWindowPicture(HWND window, const wchar_t* bmpPath);
