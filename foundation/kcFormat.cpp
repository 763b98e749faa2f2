#include "foundation/kcFormat.h"
#include <stdio.h>

// msvcrt's _vsnprintf/_vsnwprintf: not redirected to MinGW's C99 printf, so "%s" keeps the
// Windows meaning. They leave the buffer unterminated when the text does not fit.
int kcFormatV(char* dst, int cap, const char* format, va_list args)
{
    if (!dst || cap <= 0) return 0;
    if (!format) { dst[0] = 0; return 0; }
    int n = _vsnprintf(dst, cap - 1, format, args);
    if (n < 0 || n >= cap - 1) n = cap - 1;
    dst[n] = 0;
    return n;
}

int kcFormatWV(wchar_t* dst, int cap, const wchar_t* format, va_list args)
{
    if (!dst || cap <= 0) return 0;
    if (!format) { dst[0] = 0; return 0; }
    int n = _vsnwprintf(dst, cap - 1, format, args);
    if (n < 0 || n >= cap - 1) n = cap - 1;
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
