#pragma once
// The library's one bounded printf routine. It follows the Windows runtime's rules, where
// "%s" in a wide format is wide text and in a narrow format narrow text. The result is always
// terminated within cap and cut at cap - 1 units, on a character boundary (no half of a
// surrogate pair, no half of a Shift_JIS double-byte character); the return is the length written.
#include <cstdarg>
#include <cwchar>

int kcFormatV(char* dst, int cap, const char* format, va_list args);
int kcFormatWV(wchar_t* dst, int cap, const wchar_t* format, va_list args);
int kcFormat(char* dst, int cap, const char* format, ...);
int kcFormatW(wchar_t* dst, int cap, const wchar_t* format, ...);
