#include "config/kcConfigReader.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "config/kcConfig.h"
#include "config/kcPathMacros.h"
#include "foundation/kcFile.h"
#include "foundation/kcFileServer.h"
#include "foundation/kcFontList.h"
#include "foundation/kcFormat.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include "foundation/kcXml.h"
#include "foundation/kcXmlParser.h"

namespace {

const wchar_t kInfoComment[] =
    L"■■ システム情報 ■■\r\n\r\n Eメールでサポートを受ける時は、このファイルを添付してください。\r\n\r\n\r\n";

// Access value of the configuration files: cached, folders before archives.
const int kReadFlags = 19;

// Reuses the vector's strings: the readers split thousands of keys.
void Split(const char* text, std::vector<std::string>* out)
{
    size_t n = 0;
    const char* start = text;
    for (const char* p = text;; ++p) {
        if (*p != '/' && *p != 0) continue;
        if (n < out->size())
            (*out)[n].assign(start, (size_t)(p - start));
        else
            out->emplace_back(start, (size_t)(p - start));
        ++n;
        if (!*p) break;
        start = p + 1;
    }
    out->resize(n);
}

void LowerAscii(char* text, size_t bytes)
{
    for (size_t i = 0; i < bytes && text[i]; ++i)
        if (text[i] >= 'A' && text[i] <= 'Z') text[i] = (char)(text[i] - 'A' + 'a');
}

} // namespace

bool kcReadThroughServer(const wchar_t* name, std::vector<char>* buffer)
{
    kcFileServer* server = kcFileServer::Instance();
    if (!server) return false;
    int size = server->ReadWhole(name, nullptr, 0, kReadFlags);
    if (size <= 0) return false;
    // The XML files read this way are bound as the XML reader bounds a plain file.
    if (size > kcXmlMaxFileBytes) {
        kcLogW(L"%s is larger than %d bytes, not read", name, kcXmlMaxFileBytes);
        return false;
    }
    try {
        buffer->assign((size_t)size + 8, 0);
    } catch (...) {
        kcLogW(L"no memory to read %s (%d bytes)", name, size);
        return false;
    }
    int got = server->ReadWhole(name, buffer->data(), size, kReadFlags);
    if (got <= 0) return false;
    buffer->resize((size_t)got + 8);
    return true;
}

bool kcConfigReader::Path(const kcSetting* s, int row, int slot, bool user)
{
    char name[192];
    int ok = user ? kcSettingUserName(s, row, slot, name, sizeof name) : kcSettingGameName(s, row, slot, name, sizeof name);
    if (!ok) return false;
    Split(name, &m_path);
    return true;
}

int kcConfigReader::ReadInt(int def, const char* path)
{
    Split(path, &m_path);
    return m_xml.GetIntVec(def, m_path);
}

void kcConfigReader::Value(const kcSetting* s, int row, int slot, bool user, bool write)
{
    if (!Path(s, row, slot, user)) return;
    ConfigBlock* b = m_config.m_current;
    void* field = kcSettingAddress(b, s, row, slot);
    if (!field) return;
    switch (s->type) {
    case KCSET_U8:
    case KCSET_U16:
    case KCSET_I32:
        if (write) {
            m_xml.SetIntVec(kcSettingGetInt(b, s, row, slot), m_path);
        } else {
            bool constant = (s->flags & (user ? KCSET_USER_CONST : KCSET_GAME_CONST)) != 0;
            int def = constant ? s->readDefault : kcSettingGetInt(b, s, row, slot);
            kcSettingSetInt(b, s, m_xml.GetIntVec(def, m_path), row, slot);
        }
        break;
    case KCSET_F32:
    case KCSET_F64:
        if (write)
            m_xml.SetFloatVec((float)kcSettingGetFloat(b, s, row), m_path);
        else
            kcSettingSetFloat(b, s, m_xml.GetFloatVec((float)kcSettingGetFloat(b, s, row), m_path), row);
        break;
    case KCSET_STR:
        if (write) {
            std::vector<wchar_t> text(s->size + 1);
            kcSettingGetText(b, s, text.data(), (int)text.size(), row);
            m_xml.SetStringWVec(text.data(), m_path);
        } else if (s->flags & KCSET_PATH) {
            m_xml.GetPathVec(static_cast<char*>(field), s->size, m_path); // refused: the field stays
        } else {
            m_xml.GetStringVec(static_cast<char*>(field), s->size, static_cast<char*>(field), m_path);
        }
        break;
    case KCSET_WSTR:
        if (write) {
            std::vector<wchar_t> text(s->size / 2 + 1);
            kcSettingGetText(b, s, text.data(), (int)text.size(), row);
            m_xml.SetStringWVec(text.data(), m_path);
        } else if (s->flags & (KCSET_PATH | KCSET_PATH_PART)) {
            wchar_t* w = static_cast<wchar_t*>(field);
            int whole = m_xml.GetPathWVec(w, s->size / 2, m_path);
            if (whole < 0 && (s->flags & KCSET_PATH_PART)) m_xml.GetStringWVec(w, s->size / 2, w, m_path);
            if (whole && (s->flags & KCSET_PATH_PART)) m_config.MarkTextWhole(s, whole > 0);
        } else {
            wchar_t* w = static_cast<wchar_t*>(field);
            m_xml.GetStringWVec(w, s->size / 2, w, m_path);
        }
        break;
    }
}

bool kcConfigReader::RowTaken(int rule, int row) const
{
    if (rule == KCR_NAMED_ONLY) return m_config.m_current->keyNames[row][0] != 0;
    return true;
}

void kcConfigReader::AfterRow(int rule, int row)
{
    ConfigBlock* b = m_config.m_current;
    switch (rule) {
    case KCR_SOUNDGROUP_USED: b->soundGroups[row].used = b->soundGroups[row].id != -1; break;
    case KCR_KEY_NAMED: b->keys[row].named = b->keyNames[row][0] != 0; break;
    case KCR_VOICE_ROW:
        b->voices[row].play = 1;
        LowerAscii(b->voices[row].archive, sizeof b->voices[row].archive); // UTF-8: only ASCII letters change
        break;
    default: break;
    }
}

void kcConfigReader::Read(kcPlan plan)
{
    Run(plan, false);
}

void kcConfigReader::Write(kcPlan plan)
{
    Run(plan, true);
}

void kcConfigReader::Run(kcPlan plan, bool write)
{
    int count = 0;
    const kcSettingStep* steps = kcSettingPlan(plan, &count);
    if (!steps) {
        kcLog("kcConfig : the settings plan %d names a key the table lacks", (int)plan);
        return;
    }
    bool user = kcSettingPlanIsUser(plan);
    for (int i = 0; i < count; ++i) {
        const kcSettingStep& step = steps[i];
        if (step.op == KCSTEP_SPECIAL) {
            if (!write) Special(step.code);
            continue;
        }
        if (step.op == KCSTEP_KEY) {
            const kcSetting* s = step.setting;
            for (int row = 0; row < s->rows; ++row)
                for (int slot = 0; slot < s->slots; ++slot) Value(s, row, slot, user, write);
            continue;
        }
        // A group: row by row, slot by slot, its keys in order.
        const kcSettingStep* group = steps + i + 1;
        int n = step.count;
        if (i + n >= count) break;
        int rows = group[0].setting->rows, slots = 1;
        for (int k = 0; k < n; ++k)
            if (group[k].setting->slots > slots) slots = group[k].setting->slots;
        for (int row = 0; row < rows; ++row) {
            if (!RowTaken(step.code, row)) continue;
            for (int slot = 0; slot < slots; ++slot)
                for (int k = 0; k < n; ++k) {
                    const kcSetting* s = group[k].setting;
                    if (slot < s->slots && row < s->rows) Value(s, row, slot, user, write);
                }
            if (!write) AfterRow(step.code, row);
        }
        i += n;
    }
}

void kcConfigReader::Special(int code)
{
    ConfigBlock* b = m_config.m_current;
    switch (code) {
    case KCS_CURRENT_FROM_VIRTUAL:
        b->currentWidth = b->virtualWidth;
        b->currentHeight = b->virtualHeight;
        break;
    case KCS_FOLDERS: {
        // Read apart and expanded into the field: "%save%" inside FOLDER/save reads the old field.
        wchar_t* fields[2] = {b->saveFolder, b->imageLibFolder};
        const char* keys[2] = {"FOLDER/save", "FOLDER/imglib"};
        for (int i = 0; i < 2; ++i) {
            wchar_t text[260], expanded[260];
            Split(keys[i], &m_path);
            int got = m_xml.GetPathWVec(text, 260, m_path);
            if (got < 0) continue; // refused whole: the field keeps its value
            if (got == 0) kcCopyStringWN(text, 260, fields[i]);
            if (kcExpandPathMacrosW(expanded, 260, text))
                kcCopyStringWN(fields[i], 260, expanded);
            else
                kcLog("kcConfig : %s is not taken: its macros do not expand whole into 259 characters", keys[i]);
        }
        break;
    }
    case KCS_INFO_COMMENT:
        Split("INFO/comment", &m_path);
        m_xml.GetStringWVec(b->infoComment, 2048, kInfoComment, m_path);
        break;
    case KCS_MANUAL_FLAG: {
        kcFile file;
        b->manualExists = b->manualPath[0] && file.Exists(b->manualPath) ? 1 : 0;
        break;
    }
    case KCS_PRESET_TO_MESSAGE:
        if (b->autoPreset >= 0 && b->autoPreset < 32) {
            b->messageBase = b->autoPresets[b->autoPreset].base;
            b->messageChar = b->autoPresets[b->autoPreset].chr;
        }
        break;
    case KCS_SCRIPT_REPLACE: ScriptReplacements(); break;
    case KCS_LANGUAGES: Languages(); break;
    case KCS_FULL_MATCH: {
        int w = ReadInt(b->width, "SCREEN/full_width") & 0xFFFF;
        int h = ReadInt(b->height, "SCREEN/full_height") & 0xFFFF;
        m_config.MatchDisplayMode(&w, &h);
        b->fullWidth = (uint16_t)w;
        b->fullHeight = (uint16_t)h;
        b->useWidth = b->width;
        b->useHeight = b->height;
        break;
    }
    case KCS_FONTS: FontFaces(); break;
    case KCS_JOYPAD_OFF: b->enableJoypad = 0; break;
    case KCS_SOUNDCONFIG: {
        wchar_t name[260];
        Split("SOUNDCONFIG", &m_path);
        if (m_xml.GetPathWVec(name, 260, m_path) > 0) m_config.m_soundName = name;
        break;
    }
    case KCS_WNDCOLOR: {
        uint32_t c = b->wndColor;
        uint32_t r = (uint32_t)ReadInt((c >> 16) & 0xFF, "GAME/wndcolor/r") & 0xFF;
        uint32_t g = (uint32_t)ReadInt((c >> 8) & 0xFF, "GAME/wndcolor/g") & 0xFF;
        uint32_t bl = (uint32_t)ReadInt(c & 0xFF, "GAME/wndcolor/b") & 0xFF;
        uint32_t a = (uint32_t)ReadInt((c >> 24) & 0xFF, "GAME/wndcolor/a") & 0xFF;
        if (b->wndAlphaPercent) a = a * 100 / 255;
        b->wndColor = a << 24 | r << 16 | g << 8 | bl;
        break;
    }
    case KCS_FULL_HAS: {
        int w = ReadInt(b->width, "WINDOW/full_width") & 0xFFFF;
        int h = ReadInt(b->height, "WINDOW/full_height") & 0xFFFF;
        if (m_config.HasDisplayMode(w, h)) {
            b->fullWidth = (uint16_t)w;
            b->fullHeight = (uint16_t)h;
        }
        break;
    }
    case KCS_USE_SIZE:
        b->currentWidth = b->width;
        b->currentHeight = b->height;
        b->clearedOnUserRead[0] = b->clearedOnUserRead[1] = 0;
        b->useWidth = b->fullScreen ? b->fullWidth : b->width;
        b->useHeight = b->fullScreen ? b->fullHeight : b->height;
        break;
    case KCS_LANGUAGE_CLAMP: {
        unsigned n = (unsigned)m_config.GetLanguageCount();
        if ((unsigned)b->languageUI >= n) b->languageUI = b->languageDefault;
        if ((unsigned)b->languageMain >= n) b->languageMain = b->languageDefault;
        if (b->languageSub != -1 && (unsigned)b->languageSub >= n) b->languageSub = b->languageDefault;
        break;
    }
    case KCS_USER_FONTS:
        UserFontFace(b->fontFace, "FONT/face");
        UserFontFace(b->fontFaceRuby, "FONT/faceruby");
        break;
    default: break;
    }
}

// A face from "setup.xml" is taken only when it fits its field whole (63 characters).
void kcConfigReader::UserFontFace(wchar_t* field, const char* key)
{
    wchar_t text[66];
    Split(key, &m_path);
    m_xml.GetStringWVec(text, 66, field, m_path);
    if (wcslen(text) <= 63) kcCopyStringWN(field, 64, text);
}

// FONT/face: the first of f00 ... f07 that names an installed font, else f00 (else the field).
// FONT/faceruby: the same, each absent candidate reading as the face just chosen.
void kcConfigReader::FontFaces()
{
    ConfigBlock* b = m_config.m_current;
    kcFontList fonts(nullptr, -1, 0, 1);
    for (int pass = 0; pass < 2; ++pass) {
        wchar_t* field = pass == 0 ? b->fontFace : b->fontFaceRuby;
        const char* base = pass == 0 ? "FONT/face/f%02d" : "FONT/faceruby/f%02d";
        std::wstring fallback = field;
        bool chosen = false;
        for (int i = 0; i < 8 && !chosen; ++i) {
            char key[40];
            kcFormat(key, sizeof key, base, i);
            Split(key, &m_path);
            wchar_t text[64];
            bool present = m_xml.GetStringWVec(text, 64, pass == 0 ? L"" : b->fontFace, m_path) != 0;
            if (pass == 0 && !present) continue; // no element, no candidate
            if (i == 0 && present) fallback = text;
            if (fonts.Find(text) >= 0) {
                kcCopyStringWN(field, 64, text);
                chosen = true;
            }
        }
        if (!chosen) kcCopyStringWN(field, 64, fallback.c_str());
    }
}

void kcConfigReader::ScriptReplacements()
{
    kcScriptReplaceMap* map = m_config.m_current->scriptReplace;
    if (!map) return;
    std::string find, rep;
    for (int n = 0;; ++n) {
        char key[64];
        kcFormat(key, sizeof key, "SCRIPT/replace/r%02d/find", n);
        Split(key, &m_path);
        if (!m_xml.GetTextVec(&find, m_path)) break;
        kcFormat(key, sizeof key, "SCRIPT/replace/r%02d/rep", n);
        Split(key, &m_path);
        if (!m_xml.GetTextVec(&rep, m_path)) break;
        map->pairs.insert(std::make_pair(find, rep)); // the first replacement of a text stays
    }
}

void kcConfigReader::Languages()
{
    ConfigBlock* b = m_config.m_current;
    kcLanguageTable* table = b->languages;
    if (!table) return;
    LANGID id = GetUserDefaultUILanguage();
    kcLog("Default Language : %d(0x%x)", (int)id, (unsigned)id);
    // Texts as long as the file makes them.
    auto readText = [&](int n, const char* key) {
        char path[64];
        kcFormat(path, sizeof path, "language/L%02d/%s", n, key);
        Split(path, &m_path);
        std::wstring text;
        m_xml.GetTextWVec(&text, m_path);
        return text;
    };
    for (int n = 0;; ++n) {
        char path[64];
        kcFormat(path, sizeof path, "language/L%02d/code", n);
        int code = ReadInt(0, path) & 0xFFFF;
        if (code == 0) break;
        if (code == id) b->languageDefault = b->languageUI = b->languageMain = n;
        LanguageEntry e;
        // The prefix names "language_<prefix>.txt" and fills "%LANG%": whole, or empty.
        kcFormat(path, sizeof path, "language/L%02d/prefix", n);
        Split(path, &m_path);
        m_xml.GetPathTextWVec(&e.prefix, m_path);
        e.lang = readText(n, "lang");
        std::wstring accel = readText(n, "accel"), accelSub = readText(n, "accelsub");
        e.accelKey = accel.empty() ? 0 : (uint16_t)accel[0];
        e.accelModifier = kcAccelModifier(accel);
        e.accelSubKey = accelSub.empty() ? 0 : (uint16_t)accelSub[0];
        e.accelSubModifier = kcAccelModifier(accelSub);
        table->entries.push_back(e);
    }
}

// ---- the object's file operations ----

void kcConfig::ReadStartupXml()
{
    kcXml xml;
    std::vector<char> buffer;
    if (kcFileServer::Instance()) {
        if (kcReadThroughServer(m_startupPath, &buffer)) xml.OpenMemory(buffer.data(), (int)buffer.size() - 8);
    } else {
        wchar_t folder[260], path[260];
        DWORD n = GetCurrentDirectoryW(260, folder);
        if (n > 0 && n < 260 && kcJoinPathN(path, 260, 2, folder, m_startupPath) > 0) xml.Open(path);
    }
    buffer.clear();
    kcConfigReader reader(*this, xml);
    reader.Read(KCPLAN_STARTUP1);
    reader.Read(KCPLAN_STARTUP2);
    reader.Read(KCPLAN_STARTUP3);
}

int kcConfig::ReadUserSettings(int flags)
{
    wchar_t path[260];
    GetSettingsPath(path);
    kcXml xml;
    if (!path[0] || !xml.Open(path)) return 0;
    kcConfigReader reader(*this, xml);
    if (flags & 1) reader.Read(KCPLAN_READ_SYSTEM);
    if (flags & 2) {
        reader.Read(KCPLAN_READ_USER1);
        reader.Read(KCPLAN_READ_USER2);
    }
    return 1;
}

int kcConfig::WriteUserSettings(int flags)
{
    wchar_t path[260];
    GetSettingsPath(path);
    if (!path[0]) return 0;
    kcXml xml;
    xml.New();
    kcConfigReader writer(*this, xml);
    if (flags & 1) writer.Write(KCPLAN_WRITE_SYSTEM);
    if (flags & 2) writer.Write(KCPLAN_WRITE_USER);
    return xml.Save(path);
}

int kcConfig::ReadGameDefaults()
{
    std::vector<char> buffer;
    if (!kcReadThroughServer(L"config.int/gamedef.xml", &buffer)) return 0;
    kcXml xml;
    int ok = xml.OpenMemory(buffer.data(), (int)buffer.size() - 8);
    buffer.clear();
    if (!ok) return 0;
    kcConfigReader reader(*this, xml);
    reader.Read(KCPLAN_READ_USER2);
    return 1;
}
