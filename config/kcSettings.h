#pragma once
// The one table of settings: every field of the settings record that a file key sets, with its
// game-definition key ("config\startup.xml") and its "setup.xml" key. The readers, the writer,
// the plug-in's pages and its report all reach a setting through it, by section and key.
//
// Keys are element paths below the document root. A setting that repeats holds "%d"/"%02d" in
// its key: the row number first, then the slot number (1-based); KCSET_USER_SLOT_FIRST marks a
// "setup.xml" key that names the slot before the row ("KEY/kb%d_%02d").
#include <cstdint>
#include "config/ConfigBlock.h"

enum kcSettingType : uint8_t {
    KCSET_U8,     // byte; keeps the low 8 bits
    KCSET_U16,    // keeps the low 16 bits
    KCSET_I32,
    KCSET_F32,
    KCSET_F64,
    KCSET_STR,    // char[size], UTF-8 bytes of the XML text
    KCSET_WSTR,   // wchar_t[size / 2]
};

enum kcSettingFlags : uint8_t {
    KCSET_GAME_CONST = 1,      // the game-definition reader's default is `readDefault`, not the field
    KCSET_USER_CONST = 2,      // the "setup.xml" reader's default is `readDefault`, not the field
    KCSET_WRITE_ONLY = 4,      // written to "setup.xml" and never read back
    KCSET_USER_SLOT_FIRST = 8, // the "setup.xml" key formats the slot before the row
    KCSET_PATH = 16,           // a path or part of one: read only whole, else the field stays
    KCSET_PATH_PART = 32,      // a text shown cut, which goes into paths only when read whole
};

struct kcSetting {
    const char* gameKey;  // path in the game definition, or null
    const char* userKey;  // path in "setup.xml", or null
    uint32_t offset;      // of row 0, slot 0
    kcSettingType type;
    uint8_t flags;
    uint16_t size;        // bytes of one value (of the whole buffer for texts)
    uint16_t rows;        // 1 for a single value
    uint16_t rowStride;
    uint8_t slots;        // 1 unless the value repeats inside a row (key bytes)
    uint8_t slotStride;
    int32_t readDefault;  // with KCSET_GAME_CONST or KCSET_USER_CONST
};

// Every setting, in record order, and their number.
const kcSetting* kcSettingTable(int* count);

// By section and key: the "setup.xml" name first, then the game-definition name, so
// ("WINDOW", "width") and ("SCREEN", "width") reach the same field while ("GAME", "enabledrag")
// is the user's. A key may name a row ("VOICE", "play05"; "KEY", "kb2_07") or keep its format
// ("VOICE", "play%02d"); row and slot (0-based) are stored when asked for. Null when unknown.
const kcSetting* kcFindSetting(const char* section, const char* key, int* row = nullptr, int* slot = nullptr);
// The same with one path "SECTION/key/...".
const kcSetting* kcFindSettingPath(const char* path, int* row = nullptr, int* slot = nullptr);

// The key of one row and slot (0-based) formatted into out; 0 when the setting has no such key,
// the row or slot is out of range, or out is too small.
int kcSettingGameName(const kcSetting* s, int row, int slot, char* out, int outBytes);
int kcSettingUserName(const kcSetting* s, int row, int slot, char* out, int outBytes);

// Address of one value inside a record; null for a row or slot out of range.
void* kcSettingAddress(ConfigBlock* block, const kcSetting* s, int row = 0, int slot = 0);
const void* kcSettingAddress(const ConfigBlock* block, const kcSetting* s, int row = 0, int slot = 0);

// Typed access. Numbers: bytes and 16-bit fields come back unsigned and keep the low bits when
// set; floats are truncated by GetInt. Texts: a narrow field converts UTF-8 <-> UTF-16; a text
// longer than its field is cut on a character boundary. Results: 0 for a wrong type or range.
int kcSettingGetInt(const ConfigBlock* block, const kcSetting* s, int row = 0, int slot = 0);
int kcSettingSetInt(ConfigBlock* block, const kcSetting* s, int value, int row = 0, int slot = 0);
double kcSettingGetFloat(const ConfigBlock* block, const kcSetting* s, int row = 0);
int kcSettingSetFloat(ConfigBlock* block, const kcSetting* s, double value, int row = 0);
int kcSettingGetText(const ConfigBlock* block, const kcSetting* s, wchar_t* out, int outUnits, int row = 0);
int kcSettingSetText(ConfigBlock* block, const kcSetting* s, const wchar_t* text, int row = 0);
// Narrow fields only: the stored bytes.
const char* kcSettingGetTextA(const ConfigBlock* block, const kcSetting* s, int row = 0);
int kcSettingSetTextA(ConfigBlock* block, const kcSetting* s, const char* text, int row = 0);

// Shorthands by section and key (rows named in the key); 0 / empty for an unknown key.
int kcConfigGetInt(const ConfigBlock* block, const char* section, const char* key);
int kcConfigSetInt(ConfigBlock* block, const char* section, const char* key, int value);
int kcConfigGetText(const ConfigBlock* block, const char* section, const char* key, wchar_t* out, int outUnits);
int kcConfigSetText(ConfigBlock* block, const char* section, const char* key, const wchar_t* text);
