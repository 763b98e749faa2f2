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
    // The apply's copy back into the configuration object's current record, which keeps its own
    // two tables. False, and nothing copied, when the working record never held the settings
    // (Init could not copy them): an apply must then write nothing.
    bool CopyBackWorkingRecord();

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
    bool m_recordFilled;                       // Init copied the settings into the working record
};

// The object that owns the library start-up, or null: one object at a time.
gx7Conf* gx7ActiveObject();

// The steps of gx7Conf::Init, in their order. Each runs on its own: one that fails leaves its
// defaults (no capability or configuration object, the game definition's record, the built-in
// texts, no notice, the zeroed record, the game counted as running) and the later steps run.
enum gx7InitStep {
    GX7_INIT_LIBRARY, GX7_INIT_CAPS, GX7_INIT_CONFIG, GX7_INIT_SETTINGS, GX7_INIT_LANGUAGE,
    GX7_INIT_SPLASH, GX7_INIT_RECORD, GX7_INIT_MUTEX, GX7_INIT_STEPS
};
// Test seam: asked before each step; false fails the step as if it had thrown.
typedef bool (*gx7InitStepFn)(gx7InitStep step);
void gx7SetInitStepHook(gx7InitStepFn fn);
