#include "plugin/host/SheetDriver.h"
#include <commctrl.h>
#include <prsht.h>
#include <vector>

namespace {
struct Search {
    bool (*test)(HWND, void*);
    void* user;
    HWND found;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0 &&
        search->test(window, search->user)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

bool HasTabs(HWND window, void*)
{
    return SendMessageW(window, PSM_GETTABCONTROL, 0, 0) != 0 && FindWindowExW(window, nullptr, WC_TABCONTROLW, nullptr);
}

bool IsNot(HWND window, void* user) { return window != static_cast<HWND>(user); }
}

template <class Done>
static bool Poll(int timeoutMs, Done done)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(10))
        if (static_cast<int>(GetTickCount() - start) > timeoutMs)
            return false;
    return true;
}

HWND WaitForDialog(bool (*test)(HWND, void*), void* user, int timeoutMs)
{
    Search search = {test, user, nullptr};
    Poll(timeoutMs, [&] { return EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search)), search.found != nullptr; });
    return search.found;
}

HWND WaitForSheet(int timeoutMs) { return WaitForDialog(HasTabs, nullptr, timeoutMs); }
HWND WaitForOtherDialog(HWND sheet, int timeoutMs) { return WaitForDialog(IsNot, sheet, timeoutMs); }
bool WaitGone(HWND window, int timeoutMs) { return Poll(timeoutMs, [window] { return !IsWindow(window); }); }

int SheetTabCount(HWND sheet)
{
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    return tabs ? static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0)) : 0;
}

std::wstring SheetTabText(HWND sheet, int index)
{
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    wchar_t text[1024] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(tabs, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

HWND SelectSheetTab(HWND sheet, int index)
{
    SendMessageW(sheet, PSM_SETCURSEL, index, 0);
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void ClickControl(HWND page, int id)
{
    if (HWND control = GetDlgItem(page, id))
        SendMessageW(control, BM_CLICK, 0, 0);
}

void PostClick(HWND page, int id)
{
    PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

void PressSheetButton(HWND sheet, int psbtn)
{
    if (psbtn != PSBTN_OK && psbtn != PSBTN_CANCEL) {
        SendMessageW(sheet, PSM_PRESSBUTTON, psbtn, 0);
        return;
    }
    // The sheet's modal loop looks at its end only after a posted message, as after a click.
    PostMessageW(sheet, PSM_PRESSBUTTON, psbtn, 0);
    WaitGone(sheet, 30000);
}

bool AnswerSaveDialog(HWND dialog, const wchar_t* path)
{
    if (!dialog)
        return false;
    if (!path) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    }
    // The file-name box: an edit (edt1) or, in the explorer layout, a combo box (cmb13).
    bool set = false;
    for (int id : {0x480, 0x47C}) {
        if (HWND box = GetDlgItem(dialog, id)) {
            SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
            set = true;
        }
    }
    if (!set)
        return false;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return true;
}

bool SaveWindowPicture(HWND window, const wchar_t* bmpPath)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageW(window, WM_NULL, 0, 0);
    RECT rect = {};
    if (!GetWindowRect(window, &rect))
        return false;
    BITMAPINFOHEADER header = {sizeof(header), rect.right - rect.left, rect.bottom - rect.top, 1, 24};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // The pixels Wine keeps for the window (a screen read can miss windows on Xvfb).
    HDC source = GetWindowDC(window);
    const BOOL printed = source && BitBlt(memory, 0, 0, header.biWidth, header.biHeight, source, 0, 0, SRCCOPY);
    if (source)
        ReleaseDC(window, source);
    GdiFlush();
    const DWORD size = ((header.biWidth * 3 + 3) & ~3u) * header.biHeight;
    const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof(header);
    BITMAPFILEHEADER file = {0x4D42, headers + size, 0, 0, headers};
    bool written = false;
    HANDLE out = CreateFileW(bmpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        written = printed && WriteFile(out, &file, sizeof(file), &done, nullptr) && WriteFile(out, &header, sizeof(header), &done, nullptr) &&
                  WriteFile(out, bits, size, &done, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return written;
}
