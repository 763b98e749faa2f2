#include "foundation/kcWholeFile.h"
#include "foundation/kcFile.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include <windows.h>
#include <cstring>

namespace {
kcSaveStepFn g_stepHook = nullptr;

// Attempts at a free name before giving up; the name space of a short file name is smaller.
const int kMaxAttempts = 1000;

bool StepAllowed(kcSaveStep step) { return !g_stepHook || g_stepHook(step); }

void LogFailure(const wchar_t* what, const wchar_t* path, DWORD error, int tries = 1)
{
    if (tries > 1)
        kcLogW(L"kcSaveWholeFile : %s failed (%d) after %d tries : %s", what, (int)error, tries, path);
    else
        kcLogW(L"kcSaveWholeFile : %s failed (%d) : %s", what, (int)error, path);
}

// A destination a save never replaces, as writing it directly would be refused.
bool Refused(DWORD attributes) { return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0; }

// How a rename over a destination that another handle holds is refused (Wine refuses any open
// handle; on Windows, indexers, virus scanners and backups open fresh files for a moment).
bool Busy(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// A busy destination is tried again for about this long in all, the waits doubling from 1 ms up
// to the longest, so a holder that lets go late is not waited for long after.
const DWORD kBusyWaitMs = 2000, kLongestWaitMs = 32;

// Puts the closed temporary in the destination's place with one rename, so the destination is
// never missing, and a link there is replaced by the file rather than its target being touched.
// An existing destination hands on its attributes (with archive set, as any write sets it) and
// its creation time; a read-only one is refused, as writing it directly would be. *tries counts
// the renames tried.
bool Replace(const wchar_t* temp, const wchar_t* path, int* tries)
{
    *tries = 1;
    WIN32_FILE_ATTRIBUTE_DATA old;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &old)) // not there yet; a move never overwrites
        return StepAllowed(KCSAVE_STEP_MOVE) && MoveFileExW(temp, path, MOVEFILE_WRITE_THROUGH);
    if (Refused(old.dwFileAttributes)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const DWORD settable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                           FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;
    if (!SetFileAttributesW(temp, (old.dwFileAttributes & settable) | FILE_ATTRIBUTE_ARCHIVE)) return false;
    // The creation time is the user's to keep; without it the save goes on.
    HANDLE h = CreateFileW(temp, FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE || !SetFileTime(h, &old.ftCreationTime, nullptr, nullptr))
        LogFailure(L"keeping the creation time", path, GetLastError());
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!StepAllowed(KCSAVE_STEP_MOVE)) return false;
    if (MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    // Held open for a moment: the same rename again after each wait, while the destination may
    // still be replaced.
    const DWORD start = GetTickCount();
    for (DWORD wait = 1;; wait = wait < kLongestWaitMs ? wait * 2 : kLongestWaitMs) {
        const DWORD error = GetLastError(), spent = GetTickCount() - start;
        if (!Busy(error) || spent >= kBusyWaitMs) return false;
        Sleep(wait < kBusyWaitMs - spent ? wait : kBusyWaitMs - spent);
        const DWORD now = GetFileAttributesW(path);
        if (now != INVALID_FILE_ATTRIBUTES && Refused(now)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        ++*tries;
        if (!StepAllowed(KCSAVE_STEP_MOVE)) return false;
        if (MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    }
}
} // namespace

void kcSaveSetStepHook(kcSaveStepFn fn) { g_stepHook = fn; }

char* kcReadWholeFile(kcFileBase* file, int maxBytes, int* size)
{
    *size = 0;
    if (!file) return nullptr;
    const wchar_t* name = file->GetName(nullptr);
    const int bytes = file->GetSize();
    if (bytes < 0 || bytes > maxBytes || bytes > 0x7fffffff - 8) {
        kcLogW(L"kcReadWholeFile : %s is larger than %d bytes, not read", name ? name : L"", maxBytes);
        return nullptr;
    }
    char* data = (char*)kcHeapAlloc(0, bytes + 8); // logs when it cannot be had
    if (!data) return nullptr;
    memset(data, 0, (size_t)bytes + 8);
    int done = 0;
    while (done < bytes) {
        const int n = file->Read(data + done, bytes - done);
        if (n <= 0) break;
        done += n;
    }
    if (done != bytes) {
        kcLogW(L"kcReadWholeFile : %s was not read whole", name ? name : L"");
        kcHeapRelease(data);
        return nullptr;
    }
    *size = bytes;
    return data;
}

bool kcNameTaken(const wchar_t* path)
{
    const DWORD error = GetLastError();
    const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                       GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
    SetLastError(error);
    return taken;
}

bool kcSaveTempName(const wchar_t* path, int attempt, wchar_t* out, int units)
{
    if (!path || !out || units <= 0 || attempt < 0) return false;
    out[0] = 0;
    int length = lstrlenW(path), start = length;
    while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/' && path[start - 1] != L':') --start;
    const int nameLength = length - start;
    if (nameLength == 0 || length >= units) return false;
    // A "~" and a fixed number of base-36 digits (a bare digit for a one-character name), then
    // as much of the destination's own name as keeps the length.
    const int digits = nameLength == 1 ? 1 : (nameLength - 1 < 3 ? nameLength - 1 : 3);
    int limit = 1;
    for (int i = 0; i < digits; ++i) limit *= 36;
    if (attempt >= limit) return false;
    wchar_t* name = out + start;
    lstrcpynW(out, path, start + 1);
    int at = 0;
    if (nameLength > 1) name[at++] = L'~';
    for (int i = digits - 1, n = attempt; i >= 0; --i, n /= 36) name[at + i] = L"0123456789abcdefghijklmnopqrstuvwxyz"[n % 36];
    at += digits;
    int keep = nameLength - at;
    if (keep > 0 && IS_HIGH_SURROGATE(path[start + keep - 1])) --keep; // never half a pair
    for (int i = 0; i < keep; ++i) name[at++] = path[start + i];
    name[at] = 0;
    return lstrcmpiW(name, path + start) != 0;
}

kcSaveResult kcSaveWholeFile(const wchar_t* path, const void* bytes, int size)
{
    if (!path || size < 0 || (size > 0 && !bytes)) return KCSAVE_CREATE_FAILED;
    // A new file under a name of our own: never an existing file of the user's.
    wchar_t temp[KCFILE_NAME_UNITS];
    kcFile file;
    DWORD error = ERROR_FILENAME_EXCED_RANGE; // until a name is tried
    for (int attempt = 0; attempt < kMaxAttempts && !file.IsOpen(); ++attempt) {
        if (!kcSaveTempName(path, attempt, temp, KCFILE_NAME_UNITS)) continue;
        if (file.Open(temp, KCFILE_WRITE | KCFILE_CREATE_NEW)) break;
        error = GetLastError();
        if (!kcNameTaken(temp)) break; // the folder itself refuses
    }
    if (!file.IsOpen()) {
        LogFailure(L"creating a temporary file", path, error);
        return KCSAVE_CREATE_FAILED;
    }

    auto discard = [&temp]() {
        if (!DeleteFileW(temp)) LogFailure(L"removing the temporary", temp, GetLastError());
    };
    const wchar_t* failed = nullptr;
    const bool whole = StepAllowed(KCSAVE_STEP_WRITE);
    const int count = whole ? size : size / 2; // a failing write stops halfway
    const int put = count > 0 ? file.Write(bytes, count) : 0;
    if (put != count || !whole) {
        failed = L"writing";
        // A write that stops short without reporting an error found no room for the rest.
        error = put < 0 ? GetLastError() : ERROR_SUCCESS;
        if (error == ERROR_SUCCESS) error = ERROR_DISK_FULL;
    }
    // The replace makes the new name durable, not the data: the data must be on the disk first.
    else if (!FlushFileBuffers((HANDLE)file.GetHandle()) || !StepAllowed(KCSAVE_STEP_FLUSH)) {
        failed = L"flushing";
        error = GetLastError();
    }
    const bool closed = file.Close();
    if (!failed && (!closed || !StepAllowed(KCSAVE_STEP_CLOSE))) {
        failed = L"closing"; // a failed close is a failed write
        error = GetLastError();
    }
    if (failed) {
        LogFailure(failed, path, error);
        discard();
        return KCSAVE_WRITE_FAILED;
    }
    int tries = 0;
    if (!Replace(temp, path, &tries)) {
        LogFailure(L"replacing the file", path, GetLastError(), tries);
        discard();
        return KCSAVE_REPLACE_FAILED;
    }
    return KCSAVE_OK;
}
