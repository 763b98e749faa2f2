#include "plugin/DialogToolTips.h"
#include "foundation/kcFormat.h"
#include "plugin/LanguageText.h"
#include <commctrl.h>
#include <cstddef>

namespace {
const int kTipUnits = 2048;
// The full tool record, and the one that common controls before version 6 take.
const UINT kToolRecordSize = sizeof(TOOLINFOW);
const UINT kOlderToolRecordSize = offsetof(TOOLINFOW, lpReserved); // TTTOOLINFOW_V2_SIZE
#if defined(__i386__)
static_assert(kToolRecordSize == 48 && kOlderToolRecordSize == 44, "tool record sizes on i686");
#endif
}

DialogToolTips::DialogToolTips(HWND window, unsigned toolFlags) : dialog(window), tooltip(nullptr), flags(toolFlags)
{
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrW(dialog, GWLP_HINSTANCE);
    tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, instance, nullptr);
    if (tooltip) SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 300);
    if (dialog) EnumChildWindows(dialog, AddControl, (LPARAM)this);
}

DialogToolTips::~DialogToolTips()
{
    if (tooltip) DestroyWindow(tooltip);
    tooltip = nullptr;
}

BOOL CALLBACK DialogToolTips::AddControl(HWND control, LPARAM param)
{
    DialogToolTips* self = (DialogToolTips*)param;
    // Deeper descendants (inside a group or a child dialog) get no tool; nor does a control
    // without a text of its own.
    if (!self->tooltip || control == self->tooltip || GetAncestor(control, GA_PARENT) != self->dialog) return TRUE;
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrW(self->dialog, GWLP_HINSTANCE);
    wchar_t text[kTipUnits];
    TOOLINFOW tool;
    ZeroMemory(&tool, sizeof(tool));
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = control;
    tool.uId = (UINT_PTR)control;
    tool.hinst = instance;
    if (self->flags & 1) {
        tool.lpszText = LPSTR_TEXTCALLBACKW;
    } else {
        wchar_t resource[kTipUnits];
        int id = GetDlgCtrlID(control);
        if (id <= 0 || LoadStringW(instance, (UINT)id, resource, kTipUnits) <= 0) return TRUE;
        kcFormatW(text, kTipUnits, L"%s", TranslateText(resource));
        tool.lpszText = text;
    }
    // Common controls before version 6 refuse the 48-byte record: add it again with 44 bytes.
    tool.cbSize = kToolRecordSize;
    if (!SendMessageW(self->tooltip, TTM_ADDTOOLW, 0, (LPARAM)&tool)) {
        tool.cbSize = kOlderToolRecordSize;
        SendMessageW(self->tooltip, TTM_ADDTOOLW, 0, (LPARAM)&tool);
    }
    return TRUE;
}
