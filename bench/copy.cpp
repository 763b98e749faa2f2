// Copy throughput: kcFileCopier (sector I/O and cached), CopyFileW per file and a plain 1 MiB
// read/write loop, on the same large, small and block-edge files. Each round runs every method
// once on fresh destinations, in a rotated order; the figures are medians over the rounds, and
// the ratios medians of the per-round ratios to CopyFileW, so that a busy machine moves them little.
// Usage: bench_copy.exe [work folder] [quick] [rounds=N]   (quick: a tenth of the data)
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

enum Method { kSector, kCached, kCopyFileW, kLoop, kMethods };
const char* const kMethodNames[kMethods] = {"kcFileCopier sector", "kcFileCopier cached", "CopyFileW", "1 MiB loop"};

struct FileSet {
    const char* name;
    unsigned long long size; // of each file
    std::vector<Method> methods;
    std::vector<std::wstring> files; // relative paths
    std::vector<double> seconds[kMethods]; // one per round
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

// The other methods create each destination folder once, as the copier does on its way, and
// as cheaply: a folder whose parent exists takes one call.
void MakeFolders(const FileSet& set, const std::wstring& dst)
{
    std::wstring last;
    for (auto& f : set.files) {
        std::wstring folder = (dst + f).substr(0, (dst + f).find_last_of(L'\\'));
        if (folder != last && !CreateDirectoryW(folder.c_str(), nullptr)) kcCreateFolders(folder.c_str(), 0);
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

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n ? (n & 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2) : 0;
}

// Median over the rounds of CopyFileW's time divided by the method's.
double MedianRatio(const FileSet& set, Method m)
{
    std::vector<double> ratios;
    for (size_t r = 0; r < set.seconds[m].size(); ++r) ratios.push_back(set.seconds[kCopyFileW][r] / set.seconds[m][r]);
    return Median(ratios);
}

// The copier's block capacity for the volume of a folder when sector I/O is allowed.
unsigned SectorCapacity(const std::wstring& folder)
{
    kcFileCopier probe(1, 0);
    DWORD spc = 0, bps = 0, f = 0, t = 0;
    const std::wstring root = folder.substr(0, folder.find(L'\\') + 1);
    if (!probe.IsSectorIoAllowed() || !GetDiskFreeSpaceW(root.c_str(), &spc, &bps, &f, &t)) bps = 0;
    return kcFileCopier::BlockCapacity(bps);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    kcHeapCreate(0x1000000);
    kcCaps* caps = new kcCaps(KCCAPS_OS, 0);
    bool quick = false;
    int rounds = 5;
    std::wstring work;
    for (int i = 1; i < argc; ++i) {
        if (!wcscmp(argv[i], L"quick")) quick = true;
        else if (!wcsncmp(argv[i], L"rounds=", 7)) rounds = std::max(1, _wtoi(argv[i] + 7));
        else work = argv[i];
    }
    if (work.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        work = std::wstring(temp) + L"kc_bench_copy";
    }
    const int scale = quick ? 10 : 1;
    const std::wstring src = work + L"\\src";
    kcCreateFolders(src.c_str(), 0);

    // The edge files are one block's capacity plus one byte in the mode measured: two blocks each.
    const std::vector<Method> all = {kSector, kCached, kCopyFileW, kLoop};
    FileSet sets[] = {
        {"large", (128ull << 20) / scale, all},
        {"small", 4096, all},
        {"edge", SectorCapacity(src) + 1ull, {kSector, kCopyFileW, kLoop}},
        {"edge cached", kcFileCopier::BlockCapacity(0) + 1ull, {kCached, kCopyFileW, kLoop}},
    };
    for (int i = 0; i < 8; ++i) sets[0].files.push_back(L"\\large\\file" + std::to_wstring(i) + L".bin");
    const int small = 4000 / scale; // folder by folder, as a package's files are collected
    for (int i = 0; i < small; ++i)
        sets[1].files.push_back(L"\\small\\d" + std::to_wstring(i * 40 / small) + L"\\f" + std::to_wstring(i) + L".bin");
    for (int i = 0; i < 200 / scale; ++i) sets[2].files.push_back(L"\\edge\\e" + std::to_wstring(i) + L".bin");
    for (int i = 0; i < 100 / scale; ++i) sets[3].files.push_back(L"\\edgec\\e" + std::to_wstring(i) + L".bin");

    printf("preparing sources in %ls\n", src.c_str());
    for (auto& set : sets) {
        unsigned seed = 0;
        for (auto& f : set.files) {
            if (!WriteFileOfSize(src + f, set.size, ++seed)) {
                printf("cannot write %ls\n", (src + f).c_str());
                return 1;
            }
        }
    }

    for (int round = 0; round < rounds; ++round) {
        for (auto& set : sets) {
            const size_t n = set.methods.size();
            for (size_t k = 0; k < n; ++k) {
                const Method m = set.methods[(k + round) % n];
                // A folder of its own for every round and method: no copy meets an earlier one.
                const std::wstring dst = work + L"\\out" + std::to_wstring(round) + L"_" + std::to_wstring(m);
                const double t0 = Now();
                const bool ok = m == kSector ? RunCopier(set, src, dst, 0)
                              : m == kCached ? RunCopier(set, src, dst, 1)
                              : m == kCopyFileW ? RunCopyFileW(set, src, dst)
                                                : RunPlainLoop(set, src, dst);
                const double t = Now() - t0;
                if (!ok) {
                    printf("%s failed on %s\n", kMethodNames[m], set.name);
                    return 1;
                }
                RemoveCopies(set, dst);
                set.seconds[m].push_back(t);
            }
        }
    }
    for (auto& set : sets) RemoveCopies(set, src);
    RemoveDirectoryW(work.c_str());

    printf("medians of %d rounds; ratio = CopyFileW's time / the method's, per round\n", rounds);
    for (auto& set : sets) {
        const double bytes = (double)set.size * set.files.size();
        printf("\n%s: %u files of %llu bytes, %.1f MB\n", set.name, (unsigned)set.files.size(), set.size, bytes / 1e6);
        for (Method m : all) {
            if (set.seconds[m].empty()) continue;
            const double t = Median(set.seconds[m]);
            printf("  %-20s %8.3f s %9.1f MB/s %9.1f files/s  ratio %.2f\n", kMethodNames[m], t, bytes / 1e6 / t,
                   set.files.size() / t, MedianRatio(set, m));
        }
    }
    // The updater's configuration (sector I/O allowed) against CopyFileW.
    printf("large_ratio=%.3f\n", MedianRatio(sets[0], kSector));
    printf("small_ratio=%.3f\n", MedianRatio(sets[1], kSector));
    printf("edge_ratio=%.3f\n", MedianRatio(sets[2], kSector));
    delete caps;
    return 0;
}
