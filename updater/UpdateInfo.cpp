#include "updater/UpdateInfo.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "foundation/kcFormat.h"
#include "foundation/kcString.h"
#include "foundation/kcXml.h"

UpdateInfo::UpdateInfo() { Clear(); }

void UpdateInfo::Clear()
{
    brand[0] = app[0] = mutex[0] = confmutex[0] = 0;
    major[0] = minor[0] = defaultLanguage[0] = 0;
    namesWhole = true;
    languages.clear();
    memset(&current, 0, sizeof(current));
}

void CopyTextCut(wchar_t* dst, size_t cap, const wchar_t* src)
{
    if (cap == 0)
        return;
    size_t n = 0;
    while (n + 1 < cap && src[n])
        ++n;
    // Never leave half of a surrogate pair at the cut.
    if (src[n] && n > 0 && src[n - 1] >= 0xD800 && src[n - 1] <= 0xDBFF)
        --n;
    memcpy(dst, src, n * sizeof(wchar_t));
    dst[n] = 0;
}

void UnescapeNewlines(wchar_t* text)
{
    if (!text)
        return;
    const wchar_t* in = text;
    wchar_t* out = text;
    while (*in) {
        if (in[0] == L'\\' && in[1] == L'n') {
            *out++ = L'\n';
            in += 2;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
}

namespace {

// The XML layer hands back at most this many units; fields take what fits.
const int kReadUnits = 4096;

template <typename... Names>
void ReadText(kcXml& xml, wchar_t* dst, size_t cap, const wchar_t* def, Names... names)
{
    std::vector<wchar_t> text(kReadUnits);
    xml.GetStringW(text.data(), kReadUnits, def, static_cast<int>(sizeof...(names)), names...);
    CopyTextCut(dst, cap, text.data());
}

template <size_t N, typename... Names>
void ReadText(kcXml& xml, wchar_t (&dst)[N], const wchar_t* def, Names... names)
{
    ReadText(xml, dst, N, def, names...);
}

std::string ToUtf8(const std::wstring& text)
{
    std::vector<char> out(text.size() * 3 + 1);
    kcWideToUtf8(text.c_str(), out.data());
    return out.data();
}

struct LanguageText {
    const char* section;
    const char* name;
    size_t offset;
    size_t cap;
    bool unescape;
};

#define KC_TEXT(section, field, unescape) \
    { section, #field, offsetof(LanguageRecord, field), sizeof(LanguageRecord::field) / sizeof(wchar_t), unescape }
// The ten texts of a language, in reading order; only the window and dialog texts know "\n".
const LanguageText kLanguageTexts[] = {
    KC_TEXT("message", wndtitle, true),         KC_TEXT("message", intoro, true),
    KC_TEXT("message", success, true),          KC_TEXT("message", error_version, true),
    KC_TEXT("message", error_inst, true),       KC_TEXT("message", error_copy, false),
    KC_TEXT("message_sys", copying, false),     KC_TEXT("message_error", language, false),
    KC_TEXT("message_error", boot, false),      KC_TEXT("message_error", title, false),
};
#undef KC_TEXT

} // namespace

bool LoadUpdateInfo(UpdateInfo& info, const wchar_t* path)
{
    info.Clear();
    kcXml xml;
    if (!xml.Open(path))
        return false;

    ReadText(xml, info.brand, L"", "brand");
    ReadText(xml, info.app, L"", "app");
    wchar_t whole[sizeof(info.brand) / sizeof(wchar_t)];
    info.namesWhole = xml.GetPathW(whole, sizeof(info.brand) / sizeof(wchar_t), 1, "brand") >= 0 &&
                      xml.GetPathW(whole, sizeof(info.app) / sizeof(wchar_t), 1, "app") >= 0;
    ReadText(xml, info.mutex, L"", "mutex");
    ReadText(xml, info.confmutex, L"", "confmutex");
    ReadText(xml, info.major, L"", "version", "major");
    ReadText(xml, info.minor, L"", "version", "minor");
    ReadText(xml, info.defaultLanguage, L"jp", "language", "default");

    for (int counter = 0;; ++counter) {
        char lang[32];
        kcFormat(lang, sizeof(lang), "lang%02d", counter);
        LanguageRecord record;
        memset(&record, 0, sizeof(record));
        record.code = static_cast<uint16_t>(xml.GetInt(0xFFFF, 3, "language", lang, "code"));
        if (record.code == 0xFFFF)
            break;
        std::vector<wchar_t> key(kReadUnits);
        xml.GetStringW(key.data(), kReadUnits, L"", 3, "language", lang, "prifix");
        // The whole key names the language's element; the map keeps what fits its field.
        const std::string prefix = ToUtf8(key.data());
        for (const LanguageText& t : kLanguageTexts) {
            wchar_t* field = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(&record) + t.offset);
            ReadText(xml, field, t.cap, L"", prefix.c_str(), t.section, t.name);
            if (t.unescape)
                UnescapeNewlines(field);
        }
        wchar_t mapKey[kLanguageKeyChars + 1];
        CopyTextCut(mapKey, kLanguageKeyChars + 1, key.data());
        info.languages.emplace(mapKey, record);
    }
    return true;
}

bool SelectLanguageFor(UpdateInfo& info, uint16_t uiLanguage)
{
    if (info.languages.empty())
        return false;
    const LanguageRecord* chosen = nullptr;
    if (info.languages.size() == 1)
        chosen = &info.languages.begin()->second;
    for (auto it = info.languages.begin(); !chosen && it != info.languages.end(); ++it)
        if (it->second.code == uiLanguage)
            chosen = &it->second;
    if (!chosen) {
        auto it = info.languages.find(info.defaultLanguage);
        chosen = it != info.languages.end() ? &it->second : &info.languages.begin()->second;
    }
    info.current = *chosen;
    return true;
}

bool SelectLanguage(UpdateInfo& info) { return SelectLanguageFor(info, GetUserDefaultUILanguage()); }
