#include "plugin/LanguageText.h"
#include "foundation/kcFile.h"
#include "foundation/kcFileServer.h"
#include "foundation/kcFormat.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcTextLines.h"
#include "foundation/kcWholeFile.h"
#include <commctrl.h>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
const int kLanguageGroup = 0;
const UINT_PTR kForgetSubclassId = 0x6b63544c; // 'kcTL'

std::map<HWND, std::wstring> g_remembered;

std::wstring FromUtf8(const char* text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &w[0], n);
    w.resize((size_t)n - 1);
    return w;
}

LRESULT CALLBACK ForgetOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR id, DWORD_PTR)
{
    if (message == WM_NCDESTROY) ForgetTranslatedWindow(window);
    return DefSubclassProc(window, message, wParam, lParam);
}

void TranslateOne(HWND window)
{
    auto it = g_remembered.find(window);
    if (it == g_remembered.end()) {
        wchar_t text[1024];
        if (GetWindowTextW(window, text, 1024) <= 0 || !text[0]) return;
        it = g_remembered.emplace(window, text).first;
        // A later window may get this handle: forget the text when this one goes.
        SetWindowSubclass(window, ForgetOnDestroy, kForgetSubclassId, 0);
    }
    SetWindowTextW(window, TranslateText(it->second.c_str()));
}
} // namespace

void ParseLanguageText(const char* utf8, kcTextGroup* target)
{
    if (!utf8 || !target) return;
    if ((unsigned char)utf8[0] == 0xEF && (unsigned char)utf8[1] == 0xBB && (unsigned char)utf8[2] == 0xBF)
        utf8 += 3;
    kcTextLines lines(0);
    lines.InsertText(utf8, 0);
    lines.StripComments();
    for (int i = 0; i < lines.GetCount(); ++i) {
        for (int at = 0; (at = lines.Replace(i, at, "\t", " ")) >= 0;) {}
        if (lines.GetLine(i)[0] == ' ') lines.EraseChars(i, 0, 1);
        size_t n = strlen(lines.GetLine(i));
        if (n && lines.GetLine(i)[n - 1] == ' ') lines.EraseChars(i, (int)n - 1, 1);
    }
    lines.EraseBlankLines(); // one pass: erasing line by line would shift the list each time
    for (int i = 0; i + 1 < lines.GetCount(); i += 2) {
        const char* text = lines.GetLine(i + 1);
        if (strcmp(text, "$nr$") == 0) continue;
        std::wstring key = FromUtf8(lines.GetLine(i));
        target->emplace(key, strcmp(text, "$empty$") == 0 ? std::wstring() : FromUtf8(text));
    }
}

int LoadLanguageText(const wchar_t* fileName)
{
    kcTextTable.erase(kLanguageGroup);
    if (!fileName) return 0;
    int size = 0;
    char* bytes = nullptr;
    kcFile plain;
    if (plain.Open(fileName, KCFILE_READ | KCFILE_OPEN_EXISTING)) {
        bytes = kcReadWholeFile(&plain, kLanguageFileMaxBytes, &size);
    } else {
        kcFileServer* server = kcFileServer::Instance();
        kcFileBase* file = server ? server->Open(fileName, KCFS_FOLDERS_FIRST) : nullptr;
        if (!file) return 0;
        bytes = kcReadWholeFile(file, kLanguageFileMaxBytes, &size);
        server->Close(file);
    }
    if (!bytes) return 0;
    // Whatever the file holds, a failure leaves the built-in texts: nothing it asks for may
    // throw out of here.
    int loaded = 1;
    try {
        kcTextGroup group;
        ParseLanguageText(bytes, &group);
        kcTextTable[kLanguageGroup] = std::move(group);
    } catch (...) {
        kcTextTable.erase(kLanguageGroup);
        kcLogW(L"no memory to parse the language file %s", fileName);
        loaded = 0;
    }
    kcHeapRelease(bytes);
    return loaded;
}

const wchar_t* TranslateText(const wchar_t* text) { return kcTranslateText(text); }

const wchar_t* TranslateFormat(const wchar_t* format)
{
    const wchar_t* translated = kcTranslateText(format);
    int keyLength = kcExtractTextKey(format, (std::wstring*)nullptr);
    if (keyLength == 0) return translated;
    const wchar_t* builtIn = format + keyLength;
    return SameConversions(translated, builtIn) ? translated : builtIn;
}

int FormatTextV(wchar_t* dst, int cap, const wchar_t* keyedFormat, va_list args)
{
    return kcFormatWV(dst, cap, TranslateFormat(keyedFormat), args);
}

int FormatText(wchar_t* dst, int cap, const wchar_t* keyedFormat, ...)
{
    va_list a;
    va_start(a, keyedFormat);
    int n = FormatTextV(dst, cap, keyedFormat, a);
    va_end(a);
    return n;
}

namespace {
// The arguments a wide printf format reads, one letter each: i int, I 64-bit int, d double,
// w wide text, n narrow text, p pointer; '!' for "%n" or anything not understood.
std::string ArgumentKinds(const wchar_t* f)
{
    std::string kinds;
    while (*f) {
        if (*f++ != L'%') continue;
        if (*f == L'%') { ++f; continue; }
        while (*f && wcschr(L"-+ #0", *f)) ++f;
        if (*f == L'*') { kinds += 'i'; ++f; }
        while (*f >= L'0' && *f <= L'9') ++f;
        if (*f == L'.') {
            ++f;
            if (*f == L'*') { kinds += 'i'; ++f; }
            while (*f >= L'0' && *f <= L'9') ++f;
        }
        int size = 0; // -1 short/narrow, 1 long/wide, 2 64-bit
        if (*f == L'h') { size = -1; ++f; }
        else if (*f == L'l' && f[1] == L'l') { size = 2; f += 2; }
        else if (*f == L'l' || *f == L'w' || *f == L'L') { size = 1; ++f; }
        else if (f[0] == L'I' && f[1] == L'6' && f[2] == L'4') { size = 2; f += 3; }
        else if (f[0] == L'I' && f[1] == L'3' && f[2] == L'2') { size = 0; f += 3; }
        else if (*f == L'I') { size = 0; ++f; }
        wchar_t type = *f;
        if (!type) return kinds + '!';
        ++f;
        if (wcschr(L"diouxX", type)) kinds += size == 2 ? 'I' : 'i';
        else if (wcschr(L"cC", type)) kinds += 'i';
        else if (wcschr(L"eEfgGaA", type)) kinds += 'd';
        else if (type == L's') kinds += size < 0 ? 'n' : 'w';
        else if (type == L'S') kinds += size > 0 ? 'w' : 'n';
        else if (type == L'p') kinds += 'p';
        else return kinds + '!';
    }
    return kinds;
}
} // namespace

bool SameConversions(const wchar_t* a, const wchar_t* b)
{
    if (!a || !b) return false;
    std::string ka = ArgumentKinds(a);
    return ka == ArgumentKinds(b) && ka.find('!') == std::string::npos;
}

void TranslateDialog(HWND window)
{
    if (!window) return;
    TranslateOne(window);
    EnumChildWindows(window, TranslateChildWindow, 0);
}

BOOL CALLBACK TranslateChildWindow(HWND window, LPARAM)
{
    TranslateOne(window);
    return TRUE;
}

void ForgetTranslatedWindow(HWND window)
{
    if (g_remembered.erase(window)) RemoveWindowSubclass(window, ForgetOnDestroy, kForgetSubclassId);
}

int RememberedWindowCount() { return (int)g_remembered.size(); }
