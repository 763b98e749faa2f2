#pragma once
// Dialogs built from an in-memory template, for the tests of dialog services.
#include <windows.h>
#include <string>
#include <vector>

struct DialogControl {
    std::wstring className; // "STATIC", "BUTTON", "EDIT" ...
    std::wstring text;
    WORD id;
    DWORD style; // WS_CHILD | WS_VISIBLE added
};

// A hidden modeless dialog with the caption and the controls, owned by nobody.
HWND MakeDialog(const std::wstring& caption, const std::vector<DialogControl>& controls);
std::wstring WindowText(HWND window);
