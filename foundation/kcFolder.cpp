#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include <shlobj.h>
#include <cstring>
#include <string>
#include <vector>

// Shell folder of each kind, and the "Shell Folders" value read when the shell fails
// (-1: answered by its own system call).
static const struct {
    int csidl;
    const wchar_t* value;
} kFolders[] = {
    {CSIDL_DESKTOPDIRECTORY, L"Desktop"},
    {CSIDL_COMMON_DESKTOPDIRECTORY, nullptr},
    {CSIDL_STARTMENU, L"Start Menu"},
    {CSIDL_PROGRAMS, L"Programs"},
    {CSIDL_COMMON_PROGRAMS, nullptr},
    {CSIDL_PERSONAL, L"Personal"},
    {-1, nullptr}, // temporary folder
    {-1, nullptr}, // Windows folder
    {CSIDL_COMMON_APPDATA, L"AppData"},
    {CSIDL_APPDATA, L"AppData"},
    {CSIDL_PROGRAM_FILES, nullptr},
    {CSIDL_MYPICTURES, L"My Pictures"},
};

static int ReadShellFolderValue(const wchar_t* value, wchar_t* path)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0, bytes = (MAX_PATH - 1) * sizeof(wchar_t);
    LONG r = RegQueryValueExW(key, value, nullptr, &type, (BYTE*)path, &bytes);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
    path[bytes / sizeof(wchar_t)] = 0; // a stored value need not carry its terminator
    return path[0] != 0;
}

static int FindSpecialFolder(unsigned kind, wchar_t* path)
{
    if (kind == KCFOLDER_TEMP) {
        DWORD n = GetTempPathW(MAX_PATH, path);
        return n > 0 && n < MAX_PATH;
    }
    if (kind == KCFOLDER_WINDOWS) {
        UINT n = GetWindowsDirectoryW(path, MAX_PATH);
        return n > 0 && n < MAX_PATH;
    }
    // S_FALSE is a success code that means "no such folder": only S_OK with a path counts.
    path[0] = 0;
    if (SHGetFolderPathW(nullptr, kFolders[kind].csidl, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK && path[0])
        return 1;
    path[0] = 0;
    if (SHGetSpecialFolderPathW(nullptr, path, kFolders[kind].csidl, FALSE) && path[0]) return 1;
    path[0] = 0;
    return kFolders[kind].value ? ReadShellFolderValue(kFolders[kind].value, path) : 0;
}

int kcGetSpecialFolder(unsigned kind, wchar_t* path)
{
    if (!path) return 0;
    if (kind < sizeof kFolders / sizeof kFolders[0] && FindSpecialFolder(kind, path)) return 1;
    path[0] = 0; // never leave a stale or partial path behind a failure
    return 0;
}

int kcPathExists(const wchar_t* path)
{
    if (!path) return 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(path, &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    FindClose(h);
    return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

static bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

static bool IsDrive(const std::wstring& s)
{
    return s.size() == 2 && s[1] == L':' && ((s[0] >= L'A' && s[0] <= L'Z') || (s[0] >= L'a' && s[0] <= L'z'));
}

static bool IsFolder(const std::wstring& s)
{
    DWORD a = GetFileAttributesW(s.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

static std::wstring ParentOf(const std::wstring& s)
{
    std::vector<wchar_t> out(s.size() + 1);
    if (!kcGetParentPathWN(s.c_str(), out.data(), (int)out.size())) return std::wstring();
    return out.data();
}

// Walks up to the first folder that exists, then creates the missing ones downwards (no
// recursion, so a long path cannot exhaust the stack). Trailing separators, drive roots and
// existing folders all count as success.
int kcCreateFolders(const wchar_t* path, int isFilePath)
{
    if (!path || !path[0]) return 0;
    std::wstring folder = isFilePath ? ParentOf(path) : std::wstring(path);
    std::vector<std::wstring> missing;
    for (;;) {
        while (!folder.empty() && IsSeparator(folder.back())) folder.pop_back();
        if (folder.empty() || IsDrive(folder)) break; // a root, or the current folder
        int kind = kcPathExists(folder.c_str());
        if (kind == 1) return 0; // a file stands where a folder is wanted
        if (kind == 2 || IsFolder(folder)) break; // FindFirstFileW cannot list roots and shares
        missing.push_back(folder);
        folder = ParentOf(folder);
    }
    for (size_t i = missing.size(); i-- > 0;) {
        if (!CreateDirectoryW(missing[i].c_str(), nullptr) && !IsFolder(missing[i])) return 0;
    }
    return 1;
}

unsigned long long kcParseFileVersion(const wchar_t* text)
{
    unsigned long long version = 0;
    const wchar_t* p = text;
    for (int part = 0; p && part < 4; ++part) {
        while (*p == L' ') ++p;
        const wchar_t* end;
        if (part < 3) {
            // The separator is chosen afresh for each number: ',' when one is left, else '.'.
            end = wcschr(p, wcschr(p, L',') ? L',' : L'.');
            if (!end) break;
        } else {
            end = p + wcslen(p);
        }
        wchar_t number[64];
        size_t n = (size_t)(end - p) < 63 ? (size_t)(end - p) : 63;
        wmemcpy(number, p, n);
        number[n] = 0;
        // A number that does not parse counts as 0.
        int value = 0, stop = 0;
        kcParseIntExW(number, &stop, &value);
        version |= (unsigned long long)(value & 0xFFFF) << (48 - 16 * part);
        p = part < 3 ? end + 1 : end;
    }
    return version;
}

int kcGetVersionInfo(const wchar_t* fileName, kcVersionInfo* info)
{
    if (!info) return 0;
    memset(info, 0, sizeof *info);
    if (!fileName) return 0;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(fileName, &handle);
    if (size == 0) return 0;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(fileName, 0, size, data.data())) return 0;

    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", (void**)&translation, &length) || length < 4)
        return 1;
    static const wchar_t* const names[12] = {
        L"Comments",         L"CompanyName",  L"FileDescription", L"FileVersion",
        L"InternalName",     L"LegalCopyright", L"LegalTrademarks", L"OriginalFilename",
        L"ProductName",      L"ProductVersion", L"PrivateBuild",    L"SpecialBuild",
    };
    wchar_t(*fields)[256] = &info->comments;
    unsigned code = (unsigned)translation[0] << 16 | translation[1];
    for (int i = 0; i < 12; ++i) {
        wchar_t key[128];
        kcFormatW(key, 128, L"\\StringFileInfo\\%08x\\%s", code, names[i]);
        wchar_t* value = nullptr;
        UINT units = 0;
        if (VerQueryValueW(data.data(), key, (void**)&value, &units) && value) {
            size_t n = 0;
            while (n < units && n < 255 && value[n]) ++n;
            wmemcpy(fields[i], value, n);
            fields[i][n] = 0;
        }
    }
    info->version = 0;
    kcLogW(L"version : %s", info->fileVersion);
    info->version = kcParseFileVersion(info->fileVersion);
    return 1;
}

void kcCenterWindowRect(RECT* rect, DWORD style, DWORD exStyle, BOOL menu)
{
    if (!rect) {
        kcAssert("rect構造体が未定義です");
        kcAssertAbort();
        return;
    }
    int width = rect->right, height = rect->bottom;
    RECT r;
    r.left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    r.top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    r.right = r.left + width;
    r.bottom = r.top + height;
    BOOL ok = exStyle == (DWORD)-1 ? AdjustWindowRect(&r, style, menu) : AdjustWindowRectEx(&r, style, menu, exStyle);
    if (ok) *rect = r;
}

int kcCenterWindow(HWND owner, HWND window)
{
    if (!IsWindow(owner) || !IsWindow(window)) return 0;
    RECT o, w;
    GetWindowRect(owner, &o);
    GetWindowRect(window, &w);
    int ww = w.right - w.left, wh = w.bottom - w.top;
    int x = o.left + ((o.right - o.left) - ww) / 2;
    int y = o.top + ((o.bottom - o.top) - wh) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return 1;
}
