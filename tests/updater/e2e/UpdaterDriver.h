#pragma once
// Runs the real update program in a package folder and answers its message boxes.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct BoxRecord {
    std::wstring caption;
    std::wstring text;
};

struct RunResult {
    bool started = false;
    bool exited = false; // false: killed after the time limit
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<BoxRecord> boxes;
};

// Sees each box (with the program's process id) before it is answered; returns the button to
// press (IDOK, IDCANCEL).
typedef std::function<int(const BoxRecord& box, HWND window, DWORD processId)> BoxHandler;

// The update program beside the build, as a Windows path.
std::wstring UpdaterExePath();
RunResult RunUpdater(const std::wstring& packageFolder, const BoxHandler& handler, DWORD timeoutMs = 120000);
// The program's update window ("WC_UPDATE"), or null.
HWND FindUpdateWindow(DWORD processId);

// A screen area as 24-bit rows top-down (width * 3 bytes each, no padding).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;
};
bool CaptureScreen(const RECT& area, Picture* picture);
bool SaveBmp(const std::wstring& path, const Picture& picture);
// The build's folder for pictures the tests and the demo leave behind.
std::wstring ScreenshotFolder();
