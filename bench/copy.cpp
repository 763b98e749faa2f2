// Copy throughput: kcFileCopier (sector I/O and cached), CopyFileW per file and a plain 1 MiB
// read/write loop, on the same large, small and block-edge files.
// Usage: bench_copy.exe [work folder] [quick]   (quick: a tenth of the data)
#include "foundation/kcCaps.h"
#include "updater/kcFileCopier.h"
#include "foundation/kcFolder.h"
#include "foundation/kcHeap.h"
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct FileSet {
    const char* name;
    std::vector<std::wstring> files; // relative paths
    unsigned long long bytes = 0;
};

struct Result {
    double seconds = 1e30;
};

double Now()
{
    static LARGE_INTEGER freq = {};
    if (!freq.QuadPart) QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)freq.QuadPart;
}

bool WriteFileOfSize(const std::wstring& path, unsigned long long size, unsigned seed)
{
    kcCreateFolders(path.c_str(), 1);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned> block(1 << 18);
    unsigned x = seed * 2654435761u + 1;
    unsigned long long left = size;
    while (left) {
        for (auto& w : block) w = (x = x * 1664525u + 1013904223u);
        DWORD n = (DWORD)(left < block.size() * 4 ? left : block.size() * 4), put = 0;
        if (!WriteFile(h, block.data(), n, &put, nullptr) || put != n) break;
        left -= n;
    }
    CloseHandle(h);
    return left == 0;
}

// Removes the copied files of a set and the folders that held them (deepest first).
void RemoveCopies(const FileSet& set, const std::wstring& root)
{
    std::vector<std::wstring> folders;
    for (auto& f : set.files) {
        std::wstring path = root + f;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        for (size_t cut = path.find_last_of(L'\\'); cut > root.size(); cut = path.find_last_of(L'\\', cut - 1))
            folders.push_back(path.substr(0, cut));
    }
    std::sort(folders.begin(), folders.end(), [](const std::wstring& a, const std::wstring& b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (auto& d : folders) RemoveDirectoryW(d.c_str());
    RemoveDirectoryW(root.c_str());
}

struct RunState {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int error = 0;
    ~RunState() { CloseHandle(done); }
};

int OnReport(void* user, CopyStatus* status)
{
    RunState* run = (RunState*)user;
    if (status->error) run->error = 1;
    if (status->done) SetEvent(run->done);
    return 1;
}

bool RunCopier(const FileSet& set, const std::wstring& src, const std::wstring& dst, int noSectorIo)
{
    kcFileCopier* copier = new kcFileCopier(3, noSectorIo);
    copier->SetMode(1);
    for (auto& f : set.files) copier->AddJob((src + f).c_str(), (dst + f).c_str(), 0);
    RunState run;
    copier->Start(&OnReport, &run, nullptr);
    WaitForSingleObject(run.done, INFINITE);
    delete copier;
    return !run.error;
}

// The other methods create each destination folder once, as the copier does on its way.
void MakeFolders(const FileSet& set, const std::wstring& dst)
{
    std::wstring last;
    for (auto& f : set.files) {
        std::wstring folder = (dst + f).substr(0, (dst + f).find_last_of(L'\\'));
        if (folder != last) kcCreateFolders(folder.c_str(), 0);
        last = folder;
    }
}

bool RunCopyFileW(const FileSet& set, const std::wstring& src, const std::wstring& dst)
{
    MakeFolders(set, dst);
    for (auto& f : set.files)
        if (!CopyFileW((src + f).c_str(), (dst + f).c_str(), FALSE)) return false;
    return true;
}

bool RunPlainLoop(const FileSet& set, const std::wstring& src, const std::wstring& dst)
{
    MakeFolders(set, dst);
    std::vector<char> buffer(1 << 20);
    for (auto& f : set.files) {
        HANDLE in = CreateFileW((src + f).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE out = CreateFileW((dst + f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        bool ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE;
        DWORD got = 0, put = 0;
        while (ok && ReadFile(in, buffer.data(), (DWORD)buffer.size(), &got, nullptr) && got)
            ok = WriteFile(out, buffer.data(), got, &put, nullptr) && put == got;
        if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
        if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
        if (!ok) return false;
    }
    return true;
}

const char* const kMethods[] = {"kcFileCopier sector", "kcFileCopier cached", "CopyFileW", "1 MiB loop"};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    kcHeapCreate(0x1000000);
    kcCaps* caps = new kcCaps(KCCAPS_OS, 0);
    bool quick = false;
    std::wstring work;
    for (int i = 1; i < argc; ++i) {
        if (!wcscmp(argv[i], L"quick")) quick = true;
        else work = argv[i];
    }
    if (work.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        work = std::wstring(temp) + L"kc_bench_copy";
    }
    const int scale = quick ? 10 : 1;

    FileSet sets[3];
    sets[0].name = "large";
    for (int i = 0; i < 8; ++i) sets[0].files.push_back(L"\\large\\file" + std::to_wstring(i) + L".bin");
    sets[1].name = "small"; // folder by folder, as a package's files are collected
    for (int i = 0; i < 4000 / scale; ++i)
        sets[1].files.push_back(L"\\small\\d" + std::to_wstring(i * 40 / (4000 / scale)) + L"\\f" + std::to_wstring(i) + L".bin");
    sets[2].name = "edge";
    for (int i = 0; i < 200 / scale; ++i) sets[2].files.push_back(L"\\edge\\e" + std::to_wstring(i) + L".bin");
    const unsigned long long sizes[3] = {(128ull << 20) / scale, 4096, (1ull << 20) + 1};

    std::wstring src = work + L"\\src";
    printf("preparing sources in %ls\n", src.c_str());
    for (int s = 0; s < 3; ++s) {
        unsigned seed = 0;
        for (auto& f : sets[s].files) {
            if (!WriteFileOfSize(src + f, sizes[s], ++seed)) {
                printf("cannot write %ls\n", (src + f).c_str());
                return 1;
            }
            sets[s].bytes += sizes[s];
        }
    }

    // Three rounds, methods interleaved and their order rotated, since each run leaves the
    // next one the write-back of its output; the best time of each counts.
    Result results[3][4];
    for (int round = 0; round < 3; ++round) {
        for (int s = 0; s < 3; ++s) {
            for (int k = 0; k < 4; ++k) {
                const int m = (k + round) % 4;
                std::wstring dst = work + L"\\out";
                double t0 = Now();
                bool ok = m == 0 ? RunCopier(sets[s], src, dst, 0)
                        : m == 1 ? RunCopier(sets[s], src, dst, 1)
                        : m == 2 ? RunCopyFileW(sets[s], src, dst)
                                 : RunPlainLoop(sets[s], src, dst);
                double t = Now() - t0;
                if (!ok) {
                    printf("%s failed on %s\n", kMethods[m], sets[s].name);
                    return 1;
                }
                RemoveCopies(sets[s], dst);
                if (t < results[s][m].seconds) results[s][m].seconds = t;
            }
        }
    }
    for (auto& set : sets) RemoveCopies(set, src);
    RemoveDirectoryW(work.c_str());

    for (int s = 0; s < 3; ++s) {
        printf("\n%s: %u files, %.1f MB\n", sets[s].name, (unsigned)sets[s].files.size(), sets[s].bytes / 1e6);
        double base = results[s][2].seconds;
        for (int m = 0; m < 4; ++m) {
            double t = results[s][m].seconds;
            printf("  %-20s %8.3f s %9.1f MB/s %9.1f files/s  ratio %.2f\n", kMethods[m], t, sets[s].bytes / 1e6 / t,
                   sets[s].files.size() / t, base / t);
        }
    }
    // The updater's configuration (sector I/O allowed) against CopyFileW.
    printf("large_ratio=%.3f\n", results[0][2].seconds / results[0][0].seconds);
    printf("small_ratio=%.3f\n", results[1][2].seconds / results[1][0].seconds);
    delete caps;
    return 0;
}
