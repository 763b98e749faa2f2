#include "UpdaterDriver.h"

#include <set>

namespace {

std::wstring Widen(const char* utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(n, 0);
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &out[0], n);
    out.resize(n - 1);
    return out;
}

// A Linux path of the build becomes the same file on Wine's drive Z.
std::wstring FromUnixPath(const char* path)
{
    std::wstring out = Widen(path);
    if (!out.empty() && out[0] == L'/')
        out = L"Z:" + out;
    for (wchar_t& c : out)
        if (c == L'/')
            c = L'\\';
    return out;
}

struct Search {
    DWORD processId;
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBoxes(HWND window, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    // Message boxes are dialogs without the updating dialog's text control.
    if (pid == search->processId && IsWindowVisible(window) && wcscmp(cls, L"#32770") == 0 &&
        !GetDlgItem(window, 1005))
        search->boxes.push_back(window);
    return TRUE;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = {};
    if (window)
        GetWindowTextW(window, text, 4096);
    return text;
}

} // namespace

std::wstring UpdaterExePath() { return FromUnixPath(KC_UPDATER_EXE); }

std::wstring ScreenshotFolder()
{
    std::wstring folder = FromUnixPath(KC_SCREENSHOT_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

HWND FindUpdateWindow(DWORD processId)
{
    for (HWND w = FindWindowExW(nullptr, nullptr, L"WC_UPDATE", nullptr); w;
         w = FindWindowExW(nullptr, w, L"WC_UPDATE", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == processId)
            return w;
    }
    return nullptr;
}

RunResult RunUpdater(const std::wstring& packageFolder, const BoxHandler& handler, DWORD timeoutMs)
{
    RunResult result;
    const std::wstring exe = UpdaterExePath();
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, packageFolder.c_str(),
                        &startup, &process))
        return result;
    result.started = true;
    std::set<HWND> answered;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (WaitForSingleObject(process.hProcess, 30) == WAIT_OBJECT_0) {
            result.exited = true;
            break;
        }
        Search search = {process.dwProcessId, {}};
        EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            if (answered.count(box))
                continue;
            Sleep(100); // let the box finish painting before it is looked at
            BoxRecord record = {WindowText(box), WindowText(GetDlgItem(box, 0xFFFF))};
            const int button = handler ? handler(record, box, process.dwProcessId) : IDOK;
            result.boxes.push_back(record);
            answered.insert(box);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
        }
    }
    if (!result.exited)
        TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

bool CaptureScreen(const RECT& area, Picture* picture)
{
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
        GdiFlush();
        const int stride = (width * 3 + 3) & ~3;
        picture->width = width;
        picture->height = height;
        picture->bgr.resize(static_cast<size_t>(width) * 3 * height);
        for (int y = 0; y < height; ++y)
            memcpy(&picture->bgr[static_cast<size_t>(y) * width * 3], static_cast<uint8_t*>(bits) + y * stride, width * 3);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool SaveBmp(const std::wstring& path, const Picture& picture)
{
    const int stride = (picture.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = picture.width;
    info.biHeight = -picture.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = stride * picture.height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written;
    bool ok = WriteFile(h, &file, sizeof(file), &written, nullptr) && WriteFile(h, &info, sizeof(info), &written, nullptr);
    std::vector<uint8_t> row(stride, 0);
    for (int y = 0; ok && y < picture.height; ++y) {
        memcpy(row.data(), &picture.bgr[static_cast<size_t>(y) * picture.width * 3], picture.width * 3);
        ok = WriteFile(h, row.data(), stride, &written, nullptr) != 0;
    }
    CloseHandle(h);
    return ok;
}
