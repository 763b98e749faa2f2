#pragma once
// A settings page as data: its check boxes and radio groups bound to settings by section and
// key, and its reset values. One refresh, one store and one reset serve every page; the
// pages keep code only for what no row can say.
#include <windows.h>
#include <cstddef>
#include <cstdint>

struct ConfigBlock;

enum kcPageControlKind : uint8_t {
    kcPageCheck,          // checked = 1, unchecked = 0; checked for any non-zero value
    kcPageCheckInverted,  // checked = 0, unchecked = 1
    kcPageRadio,          // checked when the setting equals value; rows of one setting are one group
    kcPageRadioStoreOnly, // stored like a radio button; the page's own code checks it
};

struct kcPageBinding {
    int control;
    const char* section;
    const char* key;
    kcPageControlKind kind;
    int32_t value; // radio buttons: the value the button stands for
};

enum kcPageResetSource : uint8_t {
    kcResetConstant,
    kcResetBackup, // the record as the game definition left it
};

struct kcPageReset {
    const char* section;
    const char* key;
    kcPageResetSource source;
    int32_t value; // constants only
};

struct kcPageTable {
    const kcPageBinding* bindings;
    size_t bindingCount;
    const kcPageReset* resets;
    size_t resetCount;
    const int* edits; // further controls whose every notification marks the sheet modified
    size_t editCount;
};

template <size_t B, size_t R>
constexpr kcPageTable kcMakePageTable(const kcPageBinding (&bindings)[B], const kcPageReset (&resets)[R])
{
    return {bindings, B, resets, R, nullptr, 0};
}
template <size_t B, size_t R, size_t E>
constexpr kcPageTable kcMakePageTable(const kcPageBinding (&bindings)[B], const kcPageReset (&resets)[R],
                                      const int (&edits)[E])
{
    return {bindings, B, resets, R, edits, E};
}

// Sets every bound control from the record (radio buttons of a value outside their group
// all unchecked). Enables and disables nothing.
void kcPageRefresh(HWND page, const kcPageTable& table, const ConfigBlock& record);
// Stores every bound control; a radio group with no checked button leaves its setting.
void kcPageStore(HWND page, const kcPageTable& table, ConfigBlock& record);
// Writes the table's reset values; without a backup record only the constants.
void kcPageResetValues(const kcPageTable& table, ConfigBlock& record, const ConfigBlock* backup);
// Whether a command from this control is an edit of the page.
bool kcPageIsEdit(const kcPageTable& table, int control);

// Integer settings by section and key, through the configuration's one table of settings.
int32_t kcPageGet(const ConfigBlock& record, const char* section, const char* key);
void kcPageSet(ConfigBlock& record, const char* section, const char* key, int32_t value);
