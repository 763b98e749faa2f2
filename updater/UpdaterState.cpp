#include "updater/UpdaterState.h"

#include <cstring>

#include "updater/UpdaterFiles.h"
#include "updater/kcFileCopier.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcString.h"

UpdaterState& Updater()
{
    static UpdaterState state;
    return state;
}

namespace {

const char kSjisDeclaration[] = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
// Longest "<path>" text taken, in bytes (the Shift_JIS form must fit its UTF-8 buffer).
const size_t kPathTextBytes = 519;
const size_t kVersionChars = 129;

// Text between the first open tag and the first close tag; false when either is missing.
bool TextBetween(const char* bytes, const char* open, const char* close, std::string* text)
{
    const int start = kcFindStringA(bytes, open);
    const int end = kcFindStringA(bytes, close);
    if (start < 0 || end < 0)
        return false;
    const int from = start + static_cast<int>(strlen(open));
    text->assign(end > from ? std::string(bytes + from, bytes + end) : std::string());
    return true;
}

} // namespace

bool ParseInstallPath(const char* bytes, size_t size, wchar_t* path)
{
    std::string text;
    if (!TextBetween(bytes, "<path>", "</path>", &text) || text.size() > kPathTextBytes)
        return false;
    char utf8[kPathTextBytes + 1] = {};
    if (size >= sizeof(kSjisDeclaration) - 1 &&
        memcmp(bytes, kSjisDeclaration, sizeof(kSjisDeclaration) - 1) == 0) {
        kcSjisToUtf8(text.c_str(), utf8, sizeof(utf8));
        if (!text.empty() && !utf8[0])
            return false; // did not fit
    } else {
        memcpy(utf8, text.c_str(), text.size() + 1);
    }
    // A wide text never has more units than its UTF-8 form has bytes.
    wchar_t wide[kPathTextBytes + 1];
    kcUtf8ToWide(utf8, wide);
    if (wcslen(wide) >= kPathChars)
        return false;
    wcscpy(path, wide);
    return true;
}

bool ReadInstallPathFile(const wchar_t* file, wchar_t* path)
{
    std::vector<char> bytes;
    wchar_t text[kPathChars];
    if (!ReadWholeFile(file, bytes) || !ParseInstallPath(bytes.data(), bytes.size() - kFilePadding, text))
        return false;
    // An empty path, a relative one (it would follow the current folder into the package) or one
    // that names no folder would install into the wrong place. (A folder search would also refuse
    // a folder written with a closing backslash.) Windows takes "X:/" as it takes "X:\".
    const bool absolute = (text[0] == L'\\' && text[1] == L'\\') ||
                          ((text[0] | 0x20) >= L'a' && (text[0] | 0x20) <= L'z' && text[1] == L':' &&
                           (text[2] == L'\\' || text[2] == L'/'));
    const DWORD attributes = absolute ? GetFileAttributesW(text) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    wcscpy(path, text);
    return true;
}

bool ReadInstallPath(const wchar_t* brand, const wchar_t* app)
{
    wchar_t folder[kPathChars];
    if (!kcGetSpecialFolder(8, folder))
        return false;
    wchar_t name[kPathChars];
    kcFormatW(name, kPathChars, L"%s.xml", app);
    const std::wstring file = JoinPath({folder, brand, name});
    return ReadInstallPathFile(file.c_str(), Updater().installPath);
}

uint32_t ParseInstalledVersion(const char* bytes)
{
    auto number = [bytes](const char* open, const char* close) -> uint32_t {
        std::string text;
        if (!TextBetween(bytes, open, close, &text))
            return 0;
        if (text.size() > kVersionChars - 1)
            text.resize(kVersionChars - 1);
        wchar_t wide[kVersionChars];
        size_t i = 0;
        for (; i < text.size(); ++i)
            wide[i] = static_cast<wchar_t>(static_cast<signed char>(text[i]));
        wide[i] = 0;
        return static_cast<uint32_t>(kcParseIntW(wide));
    };
    return (number("<major>", "</major>") << 16) | number("<minor>", "</minor>");
}

uint32_t ReadInstalledVersionFrom(const wchar_t* installPath)
{
    std::vector<char> bytes;
    if (!ReadWholeFile(JoinPath({installPath, L"config", L"startup.xml"}).c_str(), bytes))
        return 0;
    return ParseInstalledVersion(bytes.data());
}

uint32_t ReadInstalledVersion() { return ReadInstalledVersionFrom(Updater().installPath); }

uint32_t RequiredVersion(const UpdateInfo& info)
{
    return (static_cast<uint32_t>(kcParseIntW(info.major)) << 16) | static_cast<uint32_t>(kcParseIntW(info.minor));
}

void CollectFilesFrom(const std::wstring& base, const std::wstring& relative, std::vector<std::wstring>& list)
{
    std::wstring folder = relative;
    if (!base.empty())
        folder = relative.empty() ? base : JoinPath({base, relative});
    const std::wstring pattern = folder.empty() ? L"*.*" : JoinPath({folder, L"*.*"});
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring entry = relative.empty() ? std::wstring(found.cFileName) : JoinPath({relative, found.cFileName});
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            list.push_back(entry);
        } else if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0 &&
                   !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            // A junction or link could lead outside the package, or in a circle.
            CollectFilesFrom(base, entry, list);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void CollectFiles(const std::wstring& relative) { CollectFilesFrom(L"", relative, Updater().fileList); }

std::wstring FindOverlongPath(const wchar_t* sourceRoot, const wchar_t* destinationRoot,
                              const std::vector<std::wstring>& files)
{
    for (const std::wstring& file : files) {
        // A log entry holds the path between two quotes.
        if (file.size() + 2 >= static_cast<size_t>(kPathChars))
            return file;
        // The copier's own limits, so that it never refuses a job that passed here.
        const std::wstring source = JoinPath({sourceRoot, file});
        if (source.size() > kcFileCopier::kMaxPathChars)
            return source;
        const std::wstring destination = JoinPath({destinationRoot, file});
        if (destination.size() > kcFileCopier::kMaxDestinationChars)
            return destination;
    }
    return std::wstring();
}

int OnCopyFinished(void* user, CopyStatus* status)
{
    HWND dialog = static_cast<HWND>(user);
    if (status->done && !status->error) {
        PostMessageW(dialog, WM_UPDATE_COPY_DONE, 0, 0);
        return 1;
    }
    if (status->error && !status->done) {
        // The copier's text is shown as it stands, never used as a format.
        MessageBoxW(dialog, status->errorText, Updater().info.current.title, MB_OK);
        PostMessageW(dialog, WM_UPDATE_COPY_FAILED, 0, 0);
        return 0;
    }
    return 1;
}
