#include "updater/e2e/Sample.h"

#include <shlobj.h>

#include <set>

#include "support/Hg3Builder.h"

const SampleTexts kSampleJapanese = {
    L"サンプル更新", L"アップデートを開始します。\nよろしいですか？", L"アップデートが完了しました。",
    L"バージョンが古いため更新できません。", L"インストール先が見つかりません。", L"コピーに失敗しました。",
    L"アップデート中です。しばらくお待ちください。", L"言語", L"ゲームまたは設定ツールが起動しています。", L"エラー",
};
const SampleTexts kSampleEnglish = {
    L"Sample update", L"The update will now start.\nContinue?", L"The update is complete.",
    L"The installed version is too old for this update.", L"The installation folder was not found.",
    L"Copying failed.", L"Updating, please wait.", L"Language", L"The game or its settings tool is running.", L"Error",
};
const wchar_t kUninstallKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\rvl_morrowEX1";

std::string Utf8(const std::wstring& text)
{
    std::string out(text.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], (int)out.size(), nullptr, nullptr));
    return out;
}

namespace {

// A Linux path of the build is the same file on Wine's drive Z.
std::wstring FromUnixPath(const char* path)
{
    std::wstring out(strlen(path) + 3, L'\0');
    out.resize(MultiByteToWideChar(CP_UTF8, 0, path, -1, &out[2], (int)out.size() - 2) + 1);
    out[0] = L'Z', out[1] = L':';
    for (wchar_t& c : out) c = c == L'/' ? L'\\' : c;
    return out;
}

// Line feeds go in as backslash-n, which the program turns back; the texts hold no markup.
std::string LanguageXml(const char* key, const SampleTexts& t)
{
    static const char* const names[] = {"wndtitle", "intoro", "success", "error_version", "error_inst",
                                        "error_copy", "copying", "language", "boot", "title"};
    const wchar_t* const texts[] = {t.wndtitle, t.intoro,  t.success,  t.error_version, t.error_inst,
                                    t.error_copy, t.copying, t.language, t.boot, t.title};
    std::string xml = std::string("<") + key + "><message>";
    for (int i = 0; i < 10; ++i) {
        std::string text;
        for (char c : Utf8(texts[i]))
            text += c == '\n' ? std::string("\\n") : std::string(1, c);
        xml += std::string(i == 6 ? "</message><message_sys>" : i == 7 ? "</message_sys><message_error>" : "") +
               "<" + names[i] + ">" + text + "</" + names[i] + ">";
    }
    return xml + "</message_error></" + key + ">\r\n";
}

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>\r\n";

} // namespace

std::vector<uint8_t> SampleBackground(int width, int height)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
            // A gradient with a checker corner, so that flips and offsets show.
            p[0] = static_cast<uint8_t>(255 - y * 120 / height);
            p[1] = static_cast<uint8_t>(160 - y * 100 / height + x * 40 / width);
            p[2] = static_cast<uint8_t>(40 + x * 100 / width);
            p[3] = y > height * 2 / 3 && y < height * 2 / 3 + 12 ? static_cast<uint8_t>(x * 255 / width) : 255;
            if (x < 24 && y < 24 && ((x / 6 + y / 6) & 1))
                p[0] = 0, p[1] = 0, p[2] = 255;
        }
    }
    return pixels;
}

std::string SampleBackgroundHg3(int width, int height)
{
    return Hg3FromBgra(SampleBackground(width, height).data(), width, height);
}

std::vector<SampleFile> SampleFiles()
{
    std::string edge(1049088 + 1, '\0'), big(2097152 * 2 + 17, '\0');
    for (size_t i = 0; i < edge.size(); ++i)
        edge[i] = static_cast<char>(i * 131 + (i >> 11));
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i >> 3) ^ (i * 7));
    return {{L"readme.txt", "Sample update: new readme.\r\n"}, {L"zero.dat", ""}, {L"sub\\深い\\edge.bin", edge},
            {L"bin\\big.bin", big}, {L"画像\\表.txt", u8"表示\r\n"}};
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    for (size_t i = path.find(L'\\', 3); i != std::wstring::npos; i = path.find(L'\\', i + 1))
        CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = h != INVALID_HANDLE_VALUE &&
                    (bytes.empty() || (WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
                                       written == bytes.size()));
    CloseHandle(h);
    return ok;
}

bool WritePackage(const std::wstring& folder, const SamplePackage& p)
{
    std::string xml = kXmlHead;
    xml += "<brand>" + Utf8(p.brand) + "</brand><app>" + Utf8(p.app) + "</app><mutex>" + Utf8(p.mutex) +
           "</mutex><confmutex>" + Utf8(p.confmutex) + "</confmutex>\r\n<version><major>" + std::to_string(p.major) +
           "</major><minor>" + std::to_string(p.minor) + "</minor></version>\r\n<language><default>jp</default>" +
           "<lang00><code>1041</code><prifix>jp</prifix></lang00>" +
           (p.english ? "<lang01><code>1033</code><prifix>en</prifix></lang01>" : "") + "</language>\r\n" +
           LanguageXml("jp", *p.japanese) + (p.english ? LanguageXml("en", kSampleEnglish) : "") + "</document>\r\n";
    CreateDirectoryW(folder.c_str(), nullptr);
    bool ok = WriteFileBytes(folder + L"\\updateinfo.xml", xml);
    if (!p.background.empty())
        ok = ok && WriteFileBytes(folder + L"\\updatebg.hg3", p.background);
    for (const SampleFile& file : p.files)
        ok = ok && WriteFileBytes(folder + L"\\data\\" + file.path, file.bytes);
    return ok;
}

bool WriteInstallation(const std::wstring& folder, int major, int minor)
{
    return WriteFileBytes(folder + L"\\config\\startup.xml", kXmlHead + std::string("<VERSION><major>") +
                                                                 std::to_string(major) + "</major><minor>" +
                                                                 std::to_string(minor) + "</minor></VERSION></document>\r\n");
}

std::wstring InstallPathFile(const std::wstring& brand, const std::wstring& app)
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
    return std::wstring(folder) + L"\\" + brand + L"\\" + app + L".xml";
}

bool WriteInstallPathFile(const std::wstring& brand, const std::wstring& app, const std::string& pathText)
{
    return WriteFileBytes(InstallPathFile(brand, app), kXmlHead + ("<path>" + pathText + "</path></document>\r\n"));
}

bool QueryUninstallValue(const wchar_t* name, std::wstring* value, DWORD* type, DWORD* size)
{
    wchar_t data[600] = {};
    *size = sizeof(data) - sizeof(wchar_t);
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool ok = RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    *value = data;
    return ok;
}

std::wstring UpdaterExePath() { return FromUnixPath(KC_UPDATER_EXE); }

std::wstring ScreenshotFolder()
{
    const std::wstring folder = FromUnixPath(KC_SCREENSHOT_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

HWND FindUpdateWindow(DWORD processId)
{
    for (HWND w = FindWindowExW(nullptr, nullptr, L"WC_UPDATE", nullptr); w; w = FindWindowExW(nullptr, w, L"WC_UPDATE", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == processId)
            return w;
    }
    return nullptr;
}

namespace {

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
    if (pid == search->processId && IsWindowVisible(window) && wcscmp(cls, L"#32770") == 0 && !GetDlgItem(window, 1005))
        search->boxes.push_back(window);
    return TRUE;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, 4096);
    return text;
}

} // namespace

RunResult RunUpdater(const std::wstring& packageFolder, const BoxHandler& handler, DWORD timeoutMs)
{
    RunResult result;
    const std::wstring exe = UpdaterExePath();
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, packageFolder.c_str(),
                        &startup, &process))
        return result;
    std::set<HWND> answered;
    for (const DWORD start = GetTickCount(); !result.exited && GetTickCount() - start < timeoutMs;) {
        result.exited = WaitForSingleObject(process.hProcess, 30) == WAIT_OBJECT_0;
        Search search = {process.dwProcessId, {}};
        EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            if (result.exited || !answered.insert(box).second)
                continue;
            Sleep(100); // let the box finish painting before it is looked at
            RECT client;
            HWND window = FindUpdateWindow(process.dwProcessId);
            if (result.boxes.empty() && window && GetClientRect(window, &client))
                result.client = {client.right, client.bottom};
            result.boxes.push_back({WindowText(box), WindowText(GetDlgItem(box, 0xFFFF))});
            const int button = handler ? handler(result.boxes.back(), box, process.dwProcessId) : IDOK;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
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
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
    SelectObject(memory, old);
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB}};
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * height);
    ok = ok && GetDIBits(memory, bitmap, 0, height, rows.data(), &info, DIB_RGB_COLORS) == height;
    picture->width = width;
    picture->height = height;
    picture->bgr.resize(static_cast<size_t>(width) * 3 * height);
    for (int y = 0; y < height; ++y)
        memcpy(&picture->bgr[static_cast<size_t>(y) * width * 3], &rows[static_cast<size_t>(y) * stride], width * 3);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool SaveBmp(const std::wstring& path, const Picture& picture)
{
    const int stride = (picture.width * 3 + 3) & ~3;
    BITMAPINFOHEADER info = {sizeof(info), picture.width, -picture.height, 1, 24, BI_RGB, (DWORD)(stride * picture.height)};
    BITMAPFILEHEADER file = {0x4D42, (DWORD)(sizeof(file) + sizeof(info) + info.biSizeImage), 0, 0,
                             (DWORD)(sizeof(file) + sizeof(info))};
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int y = 0; y < picture.height; ++y) {
        bytes.append(reinterpret_cast<const char*>(&picture.bgr[static_cast<size_t>(y) * picture.width * 3]), picture.width * 3);
        bytes.append(stride - picture.width * 3, '\0');
    }
    return WriteFileBytes(path, bytes);
}
