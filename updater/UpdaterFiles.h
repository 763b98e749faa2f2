#pragma once
// Small file, path and text helpers of the update program.
#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/kcXmlParser.h"

// Bytes of zeros behind a whole-file read, so the content can be searched as text.
const size_t kFilePadding = 8;

// Largest installation-folder file read (1 MiB): it holds one path.
const int kInstallPathFileMaxBytes = 1 << 20;
// Largest game definition "config\startup.xml" read for its version: the XML reader's bound,
// so the updater and the settings read the same files.
const int kGameDefinitionMaxBytes = kcXmlMaxFileBytes;

// Reads an existing file whole; false when it cannot be opened or read completely, and, with a
// log line, when it is larger than maxBytes or cannot be held in memory.
bool ReadWholeFile(const wchar_t* path, std::vector<char>& bytes, int maxBytes);
// kcJoinPath over any number of pieces, without a fixed-size result.
std::wstring JoinPath(std::initializer_list<std::wstring> pieces);
// Text between the first open tag and the first close tag of a NUL-ended text; false when
// either is missing.
bool TextBetween(const char* bytes, const char* open, const char* close, std::string* text);
