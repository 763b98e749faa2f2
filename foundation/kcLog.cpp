#include "foundation/kcLog.h"
#include "foundation/kcFormat.h"
#include "foundation/kcString.h"
#include "foundation/kcThread.h"
#include <windows.h>

static int g_logOn = 0;
static HWND g_logWindow = nullptr;
static kcThread* g_logThread = nullptr;
static kcLogCaptureFn g_capture = nullptr;
static kcLogCaptureFn g_assertHandler = nullptr;

static const int kLogBuffer = 2048;
static const int kLogLimit = 500;

static void forward(const char* text)
{
    SendMessageW(g_logWindow, WM_USER + 1, 0, (LPARAM)text);
}

void kcLogSetSink(int enabled, void* window, kcThread* thread)
{
    g_logOn = enabled;
    g_logWindow = (HWND)window;
    g_logThread = thread;
}

void kcLogSetCapture(kcLogCaptureFn fn) { g_capture = fn; }
void kcLogSetAssertHandler(kcLogCaptureFn fn) { g_assertHandler = fn; }

void kcLog(const char* format, ...)
{
    char text[kLogBuffer];
    va_list a;
    va_start(a, format);
    kcFormatV(text, kLogLimit, format, a);
    va_end(a);
    if (g_capture) g_capture(text, false);
    if (g_logOn && g_logThread && g_logWindow) forward(text);
}

void kcLogW(const wchar_t* format, ...)
{
    bool sink = g_logOn && g_logThread && g_logWindow;
    if (!sink && !g_capture) return;
    wchar_t wide[kLogBuffer];
    va_list a;
    va_start(a, format);
    kcFormatWV(wide, kLogLimit, format, a);
    va_end(a);
    char text[kLogBuffer * 2];
    kcWideToSjisN(text, sizeof text, wide);
    if (g_capture) g_capture(text, false);
    if (sink) forward(text);
}

// Every assertion reaches the capture and the sink whatever the switch, then its box.
static void raiseAssert(const char* text, const wchar_t* wide)
{
    if (g_capture) g_capture(text, true);
    if (g_logThread && g_logWindow) forward(text);
    if (g_assertHandler) {
        g_assertHandler(text, true);
        return;
    }
    // The box is shown through the wide call: the process's ANSI code page need not be 932.
    wchar_t converted[kLogBuffer];
    if (!wide) {
        kcSjisToWideN(converted, kLogBuffer, text);
        wide = converted;
    }
    MessageBoxW(nullptr, wide, L"Assert message...", MB_ICONERROR);
}

void kcAssert(const char* format, ...)
{
    char text[kLogBuffer];
    va_list a;
    va_start(a, format);
    kcFormatV(text, kLogLimit, format, a);
    va_end(a);
    raiseAssert(text, nullptr);
}

void kcAssertW(const wchar_t* format, ...)
{
    wchar_t wide[kLogBuffer];
    va_list a;
    va_start(a, format);
    kcFormatWV(wide, kLogLimit, format, a);
    va_end(a);
    char text[kLogBuffer * 2];
    kcWideToSjisN(text, sizeof text, wide);
    raiseAssert(text, wide);
}

void kcAssertAbort()
{
    if (g_assertHandler) return;
    ExitProcess(3);
}

void kcLogShutdown()
{
    g_logOn = 0;
    if (g_logThread) {
        if (g_logWindow) PostMessageW(g_logWindow, WM_USER + 3, 0, 0);
        g_logThread->WaitForExit();
        delete g_logThread;
        g_logThread = nullptr;
    }
}
