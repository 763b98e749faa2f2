#pragma once
// Sample update packages and installations, and a driver that runs the real updater.exe in a
// package folder answering its boxes: shared by the end-to-end tests and the demo's tool.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SampleFile {
    std::wstring path; // below "data"
    std::string bytes;
};

// A language's texts, in the order of their elements.
struct SampleTexts {
    const wchar_t *wndtitle, *intoro, *success, *error_version, *error_inst, *error_copy, *copying, *language,
        *boot, *title;
};
extern const SampleTexts kSampleJapanese, kSampleEnglish;

struct SamplePackage {
    std::wstring brand = L"kcSample", app = L"sample", mutex = L"kcSample_game", confmutex = L"kcSample_conf";
    int major = 1, minor = 2;
    const SampleTexts* japanese = &kSampleJapanese; // the texts of "jp"
    bool english = false;   // a second language "en" beside "jp"
    std::string background; // bytes of "updatebg.hg3", none when empty
    std::vector<SampleFile> files;
};

// Rows top-down in blue, green, red, alpha; a band of varying alpha shows the flattening.
std::vector<uint8_t> SampleBackground(int width, int height);
std::string SampleBackgroundHg3(int width, int height);
// A small tree with a zero-byte file, block-edge sizes and names outside ASCII.
std::vector<SampleFile> SampleFiles();

std::string Utf8(const std::wstring& text);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes); // makes the folders on its way
bool WritePackage(const std::wstring& folder, const SamplePackage& package);
bool WriteInstallation(const std::wstring& folder, int major, int minor); // "config\startup.xml"
// "<common application data>\<brand>\<app>.xml", naming the installation in UTF-8.
std::wstring InstallPathFile(const std::wstring& brand, const std::wstring& app);
bool WriteInstallPathFile(const std::wstring& brand, const std::wstring& app, const std::string& pathText);

extern const wchar_t kUninstallKeyPath[];
// A value of the uninstall key under HKEY_LOCAL_MACHINE; false when it is missing.
bool QueryUninstallValue(const wchar_t* name, std::wstring* value, DWORD* type, DWORD* size);

struct BoxRecord {
    std::wstring caption, text;
    bool operator==(const BoxRecord& o) const { return caption == o.caption && text == o.text; }
};
struct RunResult {
    bool exited = false; // false: not started, or killed after the time limit
    DWORD exitCode = 0xFFFFFFFF;
    SIZE client = {}; // the update window's client area at the first box; 0 without a window
    std::vector<BoxRecord> boxes;
};
// Sees each box before it is answered and returns the button to press.
typedef std::function<int(const BoxRecord& box, HWND window, DWORD processId)> BoxHandler;

std::wstring UpdaterExePath();
RunResult RunUpdater(const std::wstring& packageFolder, const BoxHandler& handler, DWORD timeoutMs = 120000);
HWND FindUpdateWindow(DWORD processId);

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> bgr; // 24-bit rows top-down, without padding
};
bool CaptureScreen(const RECT& area, Picture* picture);
bool SaveBmp(const std::wstring& path, const Picture& picture);
std::wstring ScreenshotFolder(); // in the build, for the pictures the tests and the demo leave
