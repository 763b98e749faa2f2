#include "plugin/DialogFixture.h"

namespace {
void Put(std::vector<WORD>& t, const std::wstring& s)
{
    t.insert(t.end(), s.begin(), s.end());
    t.push_back(0);
}
void PutDword(std::vector<WORD>& t, DWORD v)
{
    t.push_back(LOWORD(v));
    t.push_back(HIWORD(v));
}
INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
} // namespace

HWND MakeDialog(const std::wstring& caption, const std::vector<DialogControl>& controls)
{
    std::vector<WORD> t;
    PutDword(t, WS_POPUP | WS_CAPTION | WS_SYSMENU);
    PutDword(t, 0);
    t.push_back((WORD)controls.size());
    for (short v : {10, 10, 200, 120}) t.push_back((WORD)v);
    t.push_back(0); // no menu
    t.push_back(0); // standard class
    Put(t, caption);
    short y = 4;
    for (const auto& c : controls) {
        if (t.size() % 2) t.push_back(0); // items start on a DWORD boundary
        PutDword(t, c.style | WS_CHILD | WS_VISIBLE);
        PutDword(t, 0);
        for (short v : {(short)4, y, (short)150, (short)12}) t.push_back((WORD)v);
        t.push_back(c.id);
        Put(t, c.className);
        Put(t, c.text);
        t.push_back(0); // no creation data
        y = (short)(y + 14);
    }
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)t.data(), nullptr,
                                      QuietProc, 0);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024];
    GetWindowTextW(window, text, 1024);
    return text;
}
