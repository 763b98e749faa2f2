#pragma once
// The game's language table (owned through the settings record) and the voice dictionary.
#include <cstdint>
#include <string>
#include <vector>

struct LanguageEntry {
    std::wstring prefix;       // the language's code: "%LANG%" and the language file name
    std::wstring lang;
    uint8_t accelModifier;     // 0x10 "A", 0x08 "C", 0x04 "S" as the accel text's second character
    uint16_t accelKey;         // the accel text's first character
    uint8_t accelSubModifier;
    uint16_t accelSubKey;
};

// Accelerator modifier of an accel text: from its second character, 0 for a shorter text.
uint8_t kcAccelModifier(const std::wstring& accel);

class kcLanguageTable {
public:
    std::vector<LanguageEntry> entries;
};

struct VoiceDictionaryEntry {
    std::wstring id;
    std::wstring name;
    std::wstring voice;
};
