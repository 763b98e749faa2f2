#pragma once
// The settings-dialog object that the game drives: three virtual slots in the platform's
// 32-bit object layout (table pointer first; `this` in ECX, the callee pops its arguments),
// no virtual destructor, fields in the order the game's side of the contract expects.
#include <windows.h>
#include <prsht.h>
#include <cstdint>
#include "config/ConfigBlock.h"

// The host's apply callback: the standard Win32 convention, one pointer-sized argument.
typedef void(__stdcall* gx7ApplyCallback)(void* context);

enum { GX7_PAGE_COUNT = 9 };

class gx7Conf final {
public:
    gx7Conf();

    virtual void Init(HWND host);                                  // slot 0
    virtual int Run(gx7ApplyCallback callback, void* context);     // slot 1
    virtual void SetScreenSize(uint32_t width, uint32_t height);   // slot 2

    // What Init started, released exactly once (by ReleaseInstance).
    void Release();

    ConfigBlock workingRecord;                 // the pages' copy of the settings
    HWND sheetWindow;                          // noted by the first page
    HPROPSHEETPAGE pageHandles[GX7_PAGE_COUNT];
    int32_t modified;                          // 1 after an edit, 0 after an apply
    DLGPROC pageProcedures[GX7_PAGE_COUNT];
    int32_t pageTemplates[GX7_PAGE_COUNT];
    HWND hostWindow;
    gx7ApplyCallback applyCallback;
    void* callbackContext;
    HWND splashWindow;
    int32_t gameRunning;                       // the game's mutex existed at Init
    uint32_t screenWidth;
    uint32_t screenHeight;

private:
    bool m_initialised;                        // Init ran and owns the library start-up
    bool m_running;                            // inside Run: the sheet is up
};

// The object that owns the library start-up, or null: one object at a time.
gx7Conf* gx7ActiveObject();
