#pragma once
// The common page procedure's hooks for a page that is wholly its table: refresh, store,
// edits and reset all read the one table.
#include "plugin/PageCommon.h"
#include "plugin/gx7Conf.h"
#include "plugin/kcPageTable.h"

template <const kcPageTable& Table>
struct kcTablePage {
    static void Refresh(HWND page, gx7Conf* owner) { kcPageRefresh(page, Table, owner->workingRecord); }
    static void Store(HWND page, gx7Conf* owner) { kcPageStore(page, Table, owner->workingRecord); }
    static bool Edits(int control) { return kcPageIsEdit(Table, control); }
    static void Reset(HWND, gx7Conf* owner) { kcPageResetValues(Table, owner->workingRecord, BackupRecord()); }

    static SettingsPageHooks Hooks(void (*setUp)(HWND, gx7Conf*) = nullptr, bool sendRefreshOnReset = false)
    {
        SettingsPageHooks hooks = {};
        hooks.setUp = setUp;
        hooks.refresh = Refresh;
        hooks.store = Store;
        hooks.edits = Edits;
        hooks.reset = Reset;
        hooks.sendRefreshOnReset = sendRefreshOnReset;
        return hooks;
    }
};
