#include "updater/InstallPath.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "updater/UpdaterFiles.h"
#include "updater/UpdaterState.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"

namespace {

const char kSjisDeclaration[] = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
// Longest "<path>" text taken, in bytes (the Shift_JIS form must fit its UTF-8 buffer).
const size_t kPathTextBytes = 519;

} // namespace

bool ParseInstallPath(const char* bytes, size_t size, wchar_t* path, size_t* stop)
{
    std::string text;
    if (stop) *stop = SIZE_MAX;
    if (!TextBetween(bytes, "<path>", "</path>", &text) || text.size() > kPathTextBytes)
        return false;
    const bool sjis = size >= sizeof(kSjisDeclaration) - 1 &&
                      memcmp(bytes, kSjisDeclaration, sizeof(kSjisDeclaration) - 1) == 0;
    // Whole or not at all: a path cut at its first bad byte names a parent folder, or the root.
    wchar_t wide[kPathChars];
    size_t taken = 0;
    const bool whole = sjis ? kcSjisToWideWhole(text.data(), text.size(), wide, kPathChars, &taken)
                            : kcUtf8ToWideWhole(text.data(), text.size(), wide, kPathChars, &taken);
    if (!whole) {
        if (stop) *stop = (size_t)kcFindStringA(bytes, "<path>") + 6 + taken;
        return false;
    }
    // The Shift_JIS text passes through a UTF-8 buffer of 520 bytes.
    char utf8[kPathTextBytes + 1];
    if (sjis && !kcWideToUtf8N(wide, utf8, sizeof(utf8)))
        return false;
    wcscpy(path, wide);
    return true;
}

bool ReadInstallPathFile(const wchar_t* file, wchar_t* path)
{
    std::vector<char> bytes;
    wchar_t text[kPathChars];
    size_t stop = SIZE_MAX;
    if (!ReadWholeFile(file, bytes, kInstallPathFileMaxBytes))
        return false;
    if (!ParseInstallPath(bytes.data(), bytes.size() - kFilePadding, text, &stop)) {
        if (stop != SIZE_MAX)
            kcLogW(L"updater : %s: the path is not taken, it does not convert whole or fit; byte %u (0x%x) is the first not taken", file,
                   (unsigned)stop, (unsigned)stop);
        return false;
    }
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
    // A name cut to its buffer would read another product's file.
    if (wcslen(app) + 4 >= (size_t)kPathChars)
        return false;
    wchar_t name[kPathChars];
    kcFormatW(name, kPathChars, L"%s.xml", app);
    const std::wstring file = JoinPath({folder, brand, name});
    if (file.size() >= (size_t)kPathChars)
        return false;
    return ReadInstallPathFile(file.c_str(), Updater().installPath);
}

