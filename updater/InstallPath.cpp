#include "updater/InstallPath.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "updater/UpdaterFiles.h"
#include "updater/UpdaterState.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcString.h"

namespace {

const char kSjisDeclaration[] = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
// Longest "<path>" text taken, in bytes (the Shift_JIS form must fit its UTF-8 buffer).
const size_t kPathTextBytes = 519;

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
    if (!ReadWholeFile(file, bytes, kInstallPathFileMaxBytes) || !ParseInstallPath(bytes.data(), bytes.size() - kFilePadding, text))
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

