#include "foundation/kcFormat.h"
#include <stdio.h>
#include <windows.h>

// msvcrt's _vsnprintf/_vsnwprintf: not redirected to MinGW's C99 printf, so "%s" keeps the
// Windows meaning. They leave the buffer unterminated when the text does not fit.

// Length of the longest run of whole Shift_JIS characters within n bytes.
static int SjisBoundary(const char* text, int n)
{
    int i = 0;
    while (i < n) {
        int step = IsDBCSLeadByteEx(932, (BYTE)text[i]) ? 2 : 1;
        if (i + step > n) break;
        i += step;
    }
    return i;
}

int kcFormatV(char* dst, int cap, const char* format, va_list args)
{
    if (!dst || cap <= 0) return 0;
    if (!format) { dst[0] = 0; return 0; }
    int n = _vsnprintf(dst, cap - 1, format, args);
    if (n < 0 || n > cap - 1) {
        // Cut: never keep half of a double-byte character.
        dst[cap - 1] = 0;
        n = SjisBoundary(dst, cap - 1);
    }
    dst[n] = 0;
    return n;
}

int kcFormatWV(wchar_t* dst, int cap, const wchar_t* format, va_list args)
{
    if (!dst || cap <= 0) return 0;
    if (!format) { dst[0] = 0; return 0; }
    int n = _vsnwprintf(dst, cap - 1, format, args);
    if (n < 0 || n > cap - 1) {
        // Cut: never keep the first half of a surrogate pair.
        n = cap - 1;
        if (n > 0 && dst[n - 1] >= 0xD800 && dst[n - 1] <= 0xDBFF) --n;
    }
    dst[n] = 0;
    return n;
}

int kcFormat(char* dst, int cap, const char* format, ...)
{
    va_list a;
    va_start(a, format);
    int n = kcFormatV(dst, cap, format, a);
    va_end(a);
    return n;
}

int kcFormatW(wchar_t* dst, int cap, const wchar_t* format, ...)
{
    va_list a;
    va_start(a, format);
    int n = kcFormatWV(dst, cap, format, a);
    va_end(a);
    return n;
}
