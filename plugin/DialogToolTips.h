#pragma once
// Tooltips for the controls of one dialog: each direct child gets the string resource that
// carries its control id, translated through the language table.
#include <windows.h>

class DialogToolTips {
public:
    // flags bit 0: the tools ask their owner for the text when shown.
    DialogToolTips(HWND dialog, unsigned flags);
    ~DialogToolTips();
    DialogToolTips(const DialogToolTips&) = delete;
    DialogToolTips& operator=(const DialogToolTips&) = delete;

    HWND Window() const { return tooltip; }

private:
    static BOOL CALLBACK AddControl(HWND control, LPARAM self);

    HWND dialog;
    HWND tooltip;
    unsigned flags;
};
