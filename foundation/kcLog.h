#pragma once
// Debug log and assertion boxes. Narrow texts are Shift_JIS (code page 932), wide ones UTF-16.

void kcLog(const char* format, ...);
void kcLogW(const wchar_t* format, ...);
void kcAssert(const char* format, ...);
void kcAssertW(const wchar_t* format, ...);
void kcLogShutdown();

// After an assertion box the calling operation cannot go on: this ends the process, unless an
// assertion handler is installed (tests), in which case it returns and the caller fails.
void kcAssertAbort();

class kcThread;
// The log sink: switch, window receiving WM_USER+1 with the Shift_JIS text, and its thread.
void kcLogSetSink(int enabled, void* window, kcThread* thread);

// Test seams: every formatted log and assertion text (Shift_JIS) reaches the capture function,
// whatever the sink; an assertion handler replaces the modal box.
typedef void (*kcLogCaptureFn)(const char* sjisText, bool isAssert);
void kcLogSetCapture(kcLogCaptureFn fn);
void kcLogSetAssertHandler(kcLogCaptureFn fn);
