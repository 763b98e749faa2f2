#include "foundation/kcFile.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include <windows.h>

kcFile::kcFile() : m_flags(-1), m_handle(INVALID_HANDLE_VALUE), m_position(0) { m_name[0] = 0; }

kcFile::~kcFile()
{
    if (IsOpen()) Close();
}

static HANDLE createFile(const wchar_t* name, DWORD access, DWORD share, DWORD disposition, DWORD attributes)
{
    return CreateFileW(name, access, share, nullptr, disposition, attributes, nullptr);
}

bool kcFile::Open(const wchar_t* name, int flags)
{
    if (IsOpen()) {
        kcAssert("既に違うファイルがオープンされています");
        kcAssertAbort();
        return false;
    }
    if (!(flags & (KCFILE_READ | KCFILE_WRITE))) {
        kcAssert("KCFILE_READ 又は KCFILE_WRITE を指定してください");
        kcAssertAbort();
        return false;
    }
    if (flags & KCFILE_REPLACE && flags & KCFILE_READ) {
        kcAssert("KCFILE_READ ではアクセス出来ません");
        kcAssertAbort();
        return false;
    }
    // A name the name field cannot hold whole is refused rather than cut.
    if (!name || lstrlenW(name) >= KCFILE_NAME_UNITS) return false;

    HANDLE h;
    if (flags & KCFILE_REPLACE) {
        h = createFile(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (h == INVALID_HANDLE_VALUE) h = createFile(name, GENERIC_WRITE, 0, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL);
    } else {
        bool read = flags & KCFILE_READ;
        DWORD disposition;
        switch (flags & (KCFILE_OPEN_EXISTING | KCFILE_CREATE_NEW | KCFILE_OPEN_ALWAYS)) {
        case KCFILE_OPEN_EXISTING:
        case KCFILE_OPEN_EXISTING | KCFILE_CREATE_NEW: disposition = OPEN_EXISTING; break;
        case KCFILE_CREATE_NEW: disposition = CREATE_NEW; break;
        case KCFILE_OPEN_ALWAYS: disposition = OPEN_ALWAYS; break;
        default: return false; // no disposition, or "open always" mixed with another one
        }
        h = createFile(name, read ? GENERIC_READ : GENERIC_WRITE, read ? FILE_SHARE_READ : 0, disposition,
                       read ? 0 : FILE_ATTRIBUTE_NORMAL);
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    m_handle = h;
    m_flags = flags;
    lstrcpyW(m_name, name);
    m_position = 0;
    return true;
}

bool kcFile::Close()
{
    if (!IsOpen()) return false;
    if (!CloseHandle(m_handle)) return false;
    m_flags = -1;
    m_handle = INVALID_HANDLE_VALUE;
    m_name[0] = 0;
    m_position = 0;
    return true;
}

int kcFile::Read(void* buffer, int bytes)
{
    if (!IsOpen()) {
        kcLog("kcFile : ハンドルが無効です");
        return -1;
    }
    if (!(m_flags & KCFILE_READ)) {
        kcAssertW(L"読み込みモードでオープンされていません : %s", m_name);
        kcAssertAbort();
        return -1;
    }
    if (bytes < 0 || (!buffer && bytes)) return -1;
    DWORD got = 0;
    if (!ReadFile(m_handle, buffer, (DWORD)bytes, &got, nullptr)) {
        kcLogW(L"Read file failed : %d", (int)GetLastError());
        return -1;
    }
    m_position += got;
    return (int)got;
}

int kcFile::Write(const void* buffer, int bytes)
{
    if (!IsOpen()) return -1;
    if (!(m_flags & KCFILE_WRITE)) {
        kcAssertW(L"書き込みモードでオープンされていません : %s", m_name);
        kcAssertAbort();
        return -1;
    }
    if (bytes < 0 || (!buffer && bytes)) return -1;
    DWORD put = 0;
    if (!WriteFile(m_handle, buffer, (DWORD)bytes, &put, nullptr)) {
        kcLogW(L"Write file failed : %d", (int)GetLastError());
        return -1;
    }
    m_position += put;
    return (int)put;
}

int kcFile::GetPosition() { return IsOpen() ? (int)m_position : -1; }

int kcFile::Seek(int position)
{
    if (!IsOpen()) return -1;
    DWORD size = GetFileSize(m_handle, nullptr);
    // A seek at or past the end lands on the last byte; an empty file has none.
    DWORD target = (DWORD)position < size ? (DWORD)position : size - 1;
    LONG high = 0;
    if (size == 0 ||
        (SetFilePointer(m_handle, (LONG)target, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
         GetLastError() != NO_ERROR)) {
        m_position = (unsigned)-1;
        return -1;
    }
    m_position = target;
    return (int)target;
}

const wchar_t* kcFile::GetName(wchar_t* out)
{
    if (!IsOpen()) return nullptr;
    if (out) lstrcpyW(out, m_name);
    return m_name;
}

int kcFile::GetSize()
{
    // A size the result cannot hold is refused: cut to an int it would pass off part of the file
    // as all of it to every whole-file reader.
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(m_handle, &size) || size.QuadPart > 0x7fffffff) return -1;
    return (int)size.QuadPart;
}

void* kcFile::GetHandle() { return m_handle; }

// Looks a name up with critical-error boxes (such as "no disk in drive") suppressed.
static bool findEntry(const wchar_t* name, WIN32_FIND_DATAW* data)
{
    if (!name) return false;
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    HANDLE h = FindFirstFileW(name, data);
    SetErrorMode(mode);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

unsigned long long kcFile::GetSizeOf64(const wchar_t* name)
{
    WIN32_FIND_DATAW d;
    if (!findEntry(name, &d) || d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    return (unsigned long long)d.nFileSizeHigh << 32 | d.nFileSizeLow;
}

int kcFile::GetSizeOf(const wchar_t* name) { return (int)(unsigned)GetSizeOf64(name); }

bool kcFile::Exists(const wchar_t* name)
{
    WIN32_FIND_DATAW d;
    return findEntry(name, &d) && !(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

unsigned kcFile::GetAttributes(const wchar_t* name)
{
    if (!name) return INVALID_FILE_ATTRIBUTES;
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    DWORD a = GetFileAttributesW(name);
    SetErrorMode(mode);
    return a;
}

bool kcFile::SetAttributes(const wchar_t* name, unsigned attributes)
{
    return name && SetFileAttributesW(name, attributes);
}

bool kcFile::Delete(const wchar_t* name, bool force)
{
    unsigned a = GetAttributes(name);
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    if (force) {
        SetAttributes(name, FILE_ATTRIBUTE_NORMAL);
        if (a & FILE_ATTRIBUTE_DIRECTORY) return false;
    } else if (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                    FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    return DeleteFileW(name);
}
