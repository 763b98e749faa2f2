#pragma once
// Text keys: a built-in text may begin with "$....$" (or, when it does not begin with '$',
// "#...#"); the language table replaces the keyed text, or the key is stripped.
#include <map>
#include <string>

typedef std::map<std::wstring, std::wstring> kcTextGroup; // key (delimiters included) -> text
typedef std::map<int, kcTextGroup> kcTextGroups;

// The process's language table, searched in ascending group number.
extern kcTextGroups kcTextTable;

// The table's text for the key, else the text behind the key, else the text itself. The
// result points into the text or into the table.
const wchar_t* kcTranslateText(const wchar_t* text);

// Number of characters the leading key spans (0 when there is none or it is unterminated).
int kcExtractTextKey(const wchar_t* text, std::wstring* key);
int kcExtractHashKey(const wchar_t* text, std::wstring* key);
// Sized forms (keyUnits counts the terminator): a key that does not fit gives 0 and an
// empty key, as if the text had none.
int kcExtractTextKey(const wchar_t* text, wchar_t* key, int keyUnits);
int kcExtractHashKey(const wchar_t* text, wchar_t* key, int keyUnits);
