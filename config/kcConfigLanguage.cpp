#include <cstring>
#include <cwchar>
#include <vector>

#include "config/kcConfig.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include "foundation/kcXml.h"

uint8_t kcAccelModifier(const std::wstring& accel)
{
    if (accel.size() < 2) return 0;
    switch (accel[1]) {
    case L'A': return 0x10;
    case L'C': return 0x08;
    case L'S': return 0x04;
    default: return 0;
    }
}

int kcConfig::GetLanguageCount() const
{
    return m_current->languages ? (int)m_current->languages->entries.size() : 0;
}

const LanguageEntry* kcConfig::GetLanguage(int index) const
{
    if (index < 0 || index >= GetLanguageCount()) return nullptr;
    return &m_current->languages->entries[(size_t)index];
}

const wchar_t* kcConfig::GetLanguageCode(int index) const
{
    const LanguageEntry* e = GetLanguage(index);
    return e ? e->prefix.c_str() : nullptr;
}

// The index itself when it names an entry, else the default index when that does, else -1.
int kcConfig::LanguageIndexFor(int index) const
{
    unsigned n = (unsigned)GetLanguageCount();
    if ((unsigned)index < n) return index;
    if ((unsigned)m_current->languageDefault < n) return m_current->languageDefault;
    return -1;
}

const wchar_t* kcConfig::CodeFor(int index) const
{
    return GetLanguageCode(LanguageIndexFor(index));
}

int kcConfig::FindLanguage(const wchar_t* code) const
{
    if (!code) return -1;
    for (int i = 0; i < GetLanguageCount(); ++i)
        if (m_current->languages->entries[(size_t)i].prefix == code) return i;
    return -1;
}

void kcConfig::GetLanguageCodes(wchar_t* ui, wchar_t* main, wchar_t* sub, int units) const
{
    wchar_t* outs[3] = {ui, main, sub};
    for (wchar_t* o : outs)
        if (o && units > 0) o[0] = 0;
    if (units <= 0 || GetLanguageCount() == 0) return;
    const wchar_t* codes[3] = {CodeFor(m_current->languageUI), CodeFor(m_current->languageMain),
                               GetLanguageCode(m_current->languageSub)};
    for (int i = 0; i < 3; ++i)
        if (outs[i] && codes[i]) kcCopyStringWN(outs[i], units, codes[i]);
}

void kcConfig::SetLanguageCodes(const wchar_t* ui, const wchar_t* main, const wchar_t* sub)
{
    const wchar_t* codes[3] = {ui, main, sub};
    int32_t* indexes[3] = {&m_current->languageUI, &m_current->languageMain, &m_current->languageSub};
    for (int i = 0; i < 3; ++i) {
        int found = FindLanguage(codes[i]);
        if (found >= 0 && found != *indexes[i]) {
            *indexes[i] = found;
            SetDirty();
        }
    }
}

void kcConfig::ExpandMacro(wchar_t* text, int units, const wchar_t* token, int index) const
{
    const wchar_t* code = CodeFor(index);
    if (!text || units <= 0 || !code) return;
    std::wstring source(text, wcsnlen(text, (size_t)units)); // the text may be its own destination
    // Names files: a result cut to the buffer would name another one, so the text stays.
    if (kcReplaceAllWN(text, units, source.c_str(), token, code) < 0) {
        kcCopyStringWN(text, units, source.c_str());
        kcLog("kcConfig : %%LANG%% not expanded: the result does not fit %d units", units - 1);
    }
}

void kcConfig::ExpandMacro(char* text, int bytes, const char* token, int index) const
{
    const wchar_t* code = CodeFor(index);
    if (!text || bytes <= 0 || !code) return;
    std::vector<char> sjis(wcslen(code) * 2 + 1);
    std::string source(text, strnlen(text, (size_t)bytes));
    if (!kcWideToSjisWhole(code, sjis.data(), (int)sjis.size()) ||
        kcReplaceAllAN(text, bytes, source.c_str(), token, sjis.data()) < 0) {
        kcCopyStringAN(text, bytes, source.c_str());
        kcLog("kcConfig : %%LANG%% not expanded: the code has no whole Shift_JIS form or the result does not fit");
    }
}

void kcConfig::ExpandLanguageMacro(wchar_t* text, int units) const { ExpandMacro(text, units, L"%LANG%", m_current->languageUI); }
void kcConfig::ExpandLanguageMacro(char* text, int bytes) const { ExpandMacro(text, bytes, "%LANG%", m_current->languageUI); }
void kcConfig::ExpandMainLanguageMacro(wchar_t* text, int units) const { ExpandMacro(text, units, L"%LANG_M%", m_current->languageMain); }
void kcConfig::ExpandMainLanguageMacro(char* text, int bytes) const { ExpandMacro(text, bytes, "%LANG_M%", m_current->languageMain); }

namespace {
// An empty text when the index names no entry; else the code cut to the output.
template <class C> void CopyCode(C* out, int units, const wchar_t* code, int (*copy)(C*, int, const wchar_t*))
{
    if (!out || units <= 0) return;
    out[0] = 0;
    if (code) copy(out, units, code);
}
void CopyCode(wchar_t* out, int units, const wchar_t* code) { CopyCode(out, units, code, kcCopyStringWN); }
void CopyCode(char* out, int bytes, const wchar_t* code) { CopyCode(out, bytes, code, kcWideToSjisN); }
} // namespace

void kcConfig::GetMainLanguageCode(wchar_t* out, int units) const { CopyCode(out, units, CodeFor(m_current->languageMain)); }
void kcConfig::GetMainLanguageCode(char* out, int bytes) const { CopyCode(out, bytes, CodeFor(m_current->languageMain)); }
void kcConfig::GetSubLanguageCode(wchar_t* out, int units) const { CopyCode(out, units, CodeFor(m_current->languageSub)); }
void kcConfig::GetSubLanguageCode(char* out, int bytes) const { CopyCode(out, bytes, CodeFor(m_current->languageSub)); }

void kcConfig::ReadVoiceDictionary()
{
    m_voiceDictionary.clear();
    ConfigBlock* b = m_current;
    kcXml xml;
    if (!b->ttsTable[0] || !wmemchr(b->ttsTable, 0, 260) || !xml.Open(b->ttsTable)) return;
    xml.GetPathW(b->ttsDictionary, 260, 1, "dic"); // refused whole: the field stays
    b->ttsVolume = xml.GetFloat(1.0f, 1, "volume");
    int def = xml.GetInt(0, 1, "default");
    for (int n = 0;; ++n) {
        char tbl[32];
        snprintf(tbl, sizeof tbl, "tbl%02d", n);
        VoiceDictionaryEntry e;
        if (!xml.GetTextWVec(&e.id, {tbl, "id"})) break;
        xml.GetTextWVec(&e.name, {tbl, "name"});
        xml.GetTextWVec(&e.voice, {tbl, "voice"});
        m_voiceDictionary.push_back(e);
    }
    if (!FindVoiceDictionaryEntry() && (unsigned)def < m_voiceDictionary.size())
        kcCopyStringWN(b->ttsId, 64, m_voiceDictionary[(size_t)def].id.c_str());
}

const VoiceDictionaryEntry* kcConfig::FindVoiceDictionaryEntry() const
{
    std::wstring id(m_current->ttsId, wcsnlen(m_current->ttsId, 64));
    for (const VoiceDictionaryEntry& e : m_voiceDictionary)
        if (e.id == id) return &e;
    return nullptr;
}

const VoiceDictionaryEntry* kcConfig::GetVoiceDictionaryEntry(int index) const
{
    return (unsigned)index < m_voiceDictionary.size() ? &m_voiceDictionary[(size_t)index] : nullptr;
}
