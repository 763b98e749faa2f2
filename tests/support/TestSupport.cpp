#include "support/TestSupport.h"
#include "foundation/kcFile.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <mutex>

namespace {
std::mutex g_mutex;
std::vector<std::string> g_lines;
std::vector<std::string> g_asserts;
int g_captures = 0;

void onLog(const char* text, bool isAssert)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.push_back(text);
    if (isAssert) g_asserts.push_back(text);
}
void onAssert(const char*, bool) {}

} // namespace

void RemoveTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring n = fd.cFileName;
            if (n == L"." || n == L"..") continue;
            std::wstring p = dir + L"\\" + n;
            SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(p);
            else DeleteFileW(p.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

LogCapture::LogCapture()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_captures++ == 0) {
        g_lines.clear();
        g_asserts.clear();
    }
    kcLogSetCapture(onLog);
    kcLogSetAssertHandler(onAssert);
}

LogCapture::~LogCapture()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_captures == 0) {
        kcLogSetCapture(nullptr);
        kcLogSetAssertHandler(nullptr);
    }
}

const std::vector<std::string>& LogCapture::Lines() const { return g_lines; }

std::vector<std::string> LogCapture::Asserts() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_asserts;
}

bool LogCapture::Contains(const std::string& part) const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& l : g_lines)
        if (l.find(part) != std::string::npos) return true;
    return false;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
    g_asserts.clear();
}

InFolder::InFolder(const std::wstring& folder)
{
    wchar_t now[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, now);
    previous = now;
    SetCurrentDirectoryW(folder.c_str());
}

InFolder::~InFolder() { SetCurrentDirectoryW(previous.c_str()); }

TempDir::TempDir()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    wchar_t name[MAX_PATH];
    wsprintfW(name, L"%skctest_%lu_%ld", base, GetCurrentProcessId(), InterlockedIncrement(&counter));
    m_path = name;
    if (!m_path.empty() && m_path.back() == L'\\') m_path.pop_back();
    RemoveTree(m_path);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

TempDir::~TempDir() { RemoveTree(m_path); }

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

bool ReadBytes(const std::wstring& path, std::string* bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    GetFileSizeEx(h, &size);
    bytes->assign((size_t)size.QuadPart, '\0');
    DWORD done = 0;
    BOOL ok = size.QuadPart == 0 || ReadFile(h, &(*bytes)[0], (DWORD)size.QuadPart, &done, nullptr);
    CloseHandle(h);
    return ok && done == (DWORD)size.QuadPart;
}

bool WriteSparseFile(const std::wstring& path, long long size, const std::string& head)
{
    HANDLE h = WriteBytes(path, head) ? CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr) : INVALID_HANDLE_VALUE;
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool ok = h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd))
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadRest(kcFileBase& file)
{
    std::string s;
    char buf[7];
    int n;
    while ((n = file.Read(buf, sizeof buf)) > 0) s.append(buf, n);
    return s;
}

std::string Sjis(const char* utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &w[0], n);
    int m = WideCharToMultiByte(932, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(m, '\0');
    WideCharToMultiByte(932, 0, w.c_str(), -1, &s[0], m, nullptr, nullptr);
    s.resize(m > 0 ? m - 1 : 0);
    return s;
}

// Every test process starts with a private heap, as the library's start-up would give it.
namespace {
class HeapEnvironment : public ::testing::Environment {
public:
    void SetUp() override { kcHeapCreate(kTestHeapBytes); }
    void TearDown() override { kcHeapDestroy(); }
};
const ::testing::Environment* const g_heapEnv = ::testing::AddGlobalTestEnvironment(new HeapEnvironment);
} // namespace
