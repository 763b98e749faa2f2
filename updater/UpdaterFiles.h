#pragma once
// Small file, path and text helpers of the update program.
#include <initializer_list>
#include <string>
#include <vector>

// Bytes of zeros behind a whole-file read, so the content can be searched as text.
const size_t kFilePadding = 8;

// Reads an existing file whole; false when it cannot be opened or read completely.
bool ReadWholeFile(const wchar_t* path, std::vector<char>& bytes);
// kcJoinPath over any number of pieces, without a fixed-size result.
std::wstring JoinPath(std::initializer_list<std::wstring> pieces);
// Text between the first open tag and the first close tag of a NUL-ended text; false when
// either is missing.
bool TextBetween(const char* bytes, const char* open, const char* close, std::string* text);
