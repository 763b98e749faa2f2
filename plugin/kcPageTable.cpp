#include "plugin/kcPageTable.h"

#include "config/kcSettings.h"

int32_t kcPageGet(const ConfigBlock& record, const char* section, const char* key)
{
    return kcConfigGetInt(&record, section, key);
}

void kcPageSet(ConfigBlock& record, const char* section, const char* key, int32_t value)
{
    kcConfigSetInt(&record, section, key, value);
}

static bool SameSetting(const kcPageBinding& a, const kcPageBinding& b)
{
    return lstrcmpA(a.section, b.section) == 0 && lstrcmpA(a.key, b.key) == 0;
}

static bool IsRadio(const kcPageBinding& row)
{
    return row.kind == kcPageRadio || row.kind == kcPageRadioStoreOnly;
}

void kcPageRefresh(HWND page, const kcPageTable& table, const ConfigBlock& record)
{
    for (size_t i = 0; i < table.bindingCount; ++i) {
        const kcPageBinding& row = table.bindings[i];
        if (row.kind == kcPageRadioStoreOnly)
            continue;
        int32_t value = kcPageGet(record, row.section, row.key);
        bool checked = row.kind == kcPageCheck           ? value != 0
                       : row.kind == kcPageCheckInverted ? value == 0
                                                         : value == row.value;
        CheckDlgButton(page, row.control, checked ? BST_CHECKED : BST_UNCHECKED);
    }
}

void kcPageStore(HWND page, const kcPageTable& table, ConfigBlock& record)
{
    for (size_t i = 0; i < table.bindingCount; ++i) {
        const kcPageBinding& row = table.bindings[i];
        bool checked = IsDlgButtonChecked(page, row.control) == BST_CHECKED;
        if (row.kind == kcPageCheck || row.kind == kcPageCheckInverted) {
            kcPageSet(record, row.section, row.key, checked == (row.kind == kcPageCheck) ? 1 : 0);
            continue;
        }
        // The first checked button of a group wins; an earlier row of the same group that
        // was checked has stored already.
        if (!checked)
            continue;
        bool earlier = false;
        for (size_t j = 0; j < i && !earlier; ++j)
            earlier = IsRadio(table.bindings[j]) && SameSetting(table.bindings[j], row) &&
                      IsDlgButtonChecked(page, table.bindings[j].control) == BST_CHECKED;
        if (!earlier)
            kcPageSet(record, row.section, row.key, row.value);
    }
}

void kcPageResetValues(const kcPageTable& table, ConfigBlock& record, const ConfigBlock* backup)
{
    for (size_t i = 0; i < table.resetCount; ++i) {
        const kcPageReset& row = table.resets[i];
        if (row.source == kcResetConstant)
            kcPageSet(record, row.section, row.key, row.value);
        else if (backup)
            kcPageSet(record, row.section, row.key, kcPageGet(*backup, row.section, row.key));
    }
}

bool kcPageIsEdit(const kcPageTable& table, int control)
{
    for (size_t i = 0; i < table.bindingCount; ++i)
        if (table.bindings[i].control == control)
            return true;
    for (size_t i = 0; i < table.editCount; ++i)
        if (table.edits[i] == control)
            return true;
    return false;
}
