#pragma once
// The plug-in's language table ("language_<code>.txt") and the translation of keyed texts,
// formats and dialogs through it.
#include "foundation/kcTextKey.h"
#include <windows.h>

// Largest language file read (4 MiB): some twenty times any real table of the plug-in's texts,
// and small enough that the worst text of that size is parsed within a 32-bit process.
const int kLanguageFileMaxBytes = 4 << 20;

// Replaces group 0 of the text table with the file's pairs: 1 when read; 0, leaving the
// built-in texts, when not found, larger than kLanguageFileMaxBytes (logged) or too large for
// the memory left (logged).
int LoadLanguageText(const wchar_t* fileName);
// The language file's rules over NUL-terminated UTF-8 bytes, into target (first pair wins).
void ParseLanguageText(const char* utf8, kcTextGroup* target);

// A keyed text's language text, or the built-in text behind the key; other texts unchanged.
const wchar_t* TranslateText(const wchar_t* text);
// As TranslateText for a printf format: a translation whose conversions differ from the
// built-in format's (number, order or argument kind, or any "%n") would read the wrong
// arguments, so the built-in format is used instead.
const wchar_t* TranslateFormat(const wchar_t* format);
// TranslateFormat, then the bounded formatting routine; the length written.
int FormatText(wchar_t* dst, int cap, const wchar_t* keyedFormat, ...);
int FormatTextV(wchar_t* dst, int cap, const wchar_t* keyedFormat, va_list args);
// True when both formats take the same arguments (and neither has "%n" or an unknown conversion).
bool SameConversions(const wchar_t* a, const wchar_t* b);

// Sets the window's text and every descendant's to the translation of the text each first
// held. A window's remembered text is forgotten when the window is destroyed.
void TranslateDialog(HWND window);
BOOL CALLBACK TranslateChildWindow(HWND window, LPARAM unused);
void ForgetTranslatedWindow(HWND window);
// Windows whose first text is remembered (alive and translated).
int RememberedWindowCount();
