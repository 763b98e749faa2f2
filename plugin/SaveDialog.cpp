#include "plugin/SaveDialog.h"
#include <commdlg.h>
#include <cstdarg>
#include <cwchar>
#include <vector>

#if defined(__i386__)
static_assert(sizeof(OPENFILENAMEW) == 88, "the full record with the reserved trailing fields");
#endif

bool BuildFilterString(wchar_t* out, int capacity, int count, ...)
{
    if (!out || capacity <= 0) return false;
    va_list a;
    va_start(a, count);
    va_list b;
    va_copy(b, a);
    long long total = 1; // the final NUL
    for (int i = 0; i < count; ++i) {
        const wchar_t* s = va_arg(b, const wchar_t*);
        total += (s ? (long long)wcslen(s) : 0) + 1;
    }
    va_end(b);
    bool fits = total <= capacity && (count > 0 || capacity > 1);
    if (!fits || count <= 0) {
        // An empty filter: two NULs, or one when there is room for no more.
        out[0] = 0;
        if (capacity > 1) out[1] = 0;
        va_end(a);
        return fits;
    }
    wchar_t* p = out;
    for (int i = 0; i < count; ++i) {
        const wchar_t* s = va_arg(a, const wchar_t*);
        size_t n = s ? wcslen(s) : 0;
        wmemcpy(p, s ? s : L"", n);
        p += n;
        *p++ = 0;
    }
    *p = 0;
    va_end(a);
    return true;
}

namespace {
// The current folder, whatever its length.
std::vector<wchar_t> CurrentFolder()
{
    std::vector<wchar_t> folder(MAX_PATH);
    for (;;) {
        DWORD n = GetCurrentDirectoryW((DWORD)folder.size(), folder.data());
        if (n == 0) return std::vector<wchar_t>();
        if (n < folder.size()) return folder;
        folder.resize(n + 1);
    }
}
} // namespace

int ShowSaveFileDialog(HWND owner, const wchar_t* title, const wchar_t* filter, const wchar_t* defaultExt,
                       wchar_t* file, bool overwritePrompt)
{
    // The host expects the game folder to stay current whatever the user browses to.
    std::vector<wchar_t> saved = CurrentFolder();
    OPENFILENAMEW ofn;
    ZeroMemory(&ofn, sizeof(ofn));
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_HIDEREADONLY | (overwritePrompt ? OFN_OVERWRITEPROMPT : 0);
    ofn.lpstrDefExt = defaultExt;
    int result = GetSaveFileNameW(&ofn);
    if (!saved.empty()) SetCurrentDirectoryW(saved.data());
    return result;
}
