#pragma once
// The update package's description ("updateinfo.xml") and the language the program talks in.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

struct LanguageRecord {
    uint16_t code;
    wchar_t wndtitle[256];
    wchar_t intoro[512];
    wchar_t success[512];
    wchar_t error_version[512];
    wchar_t error_inst[512];
    wchar_t error_copy[512];
    wchar_t copying[512];
    wchar_t language[512];
    wchar_t boot[512];
    wchar_t title[512];
};

struct UpdateInfo {
    wchar_t brand[260];
    wchar_t app[260];
    wchar_t mutex[260];
    wchar_t confmutex[260];
    wchar_t major[256];
    wchar_t minor[256];
    wchar_t defaultLanguage[64];
    // brand and app are cut to their fields for display; only whole ones name a file.
    bool namesWhole;
    std::map<std::wstring, LanguageRecord> languages;
    LanguageRecord current;

    UpdateInfo();
    void Clear();
};

// Longest language key, in UTF-16 units, that the record keeps.
const size_t kLanguageKeyChars = 63;

// Reads the package description; false only when the document cannot be opened or parsed.
bool LoadUpdateInfo(UpdateInfo& info, const wchar_t* path = L"updateinfo.xml");
// Chooses by the user's UI language, then the default key, then the smallest key.
bool SelectLanguage(UpdateInfo& info);
bool SelectLanguageFor(UpdateInfo& info, uint16_t uiLanguage);
// Turns each backslash-n into a line feed, in place.
void UnescapeNewlines(wchar_t* text);
// Copies src into dst of cap units, cut at a character boundary when it does not fit.
void CopyTextCut(wchar_t* dst, size_t cap, const wchar_t* src);
