// Whole-file saves (kcSaveWholeFile): one save's time on the success road (1 kB and 200 kB, the
// median of many), then what a save does while others use the file: a poller looking for the
// destination during saves, a reader opening it in a loop, two threads and two processes saving
// it, a destination held open for 400 ms, and saves killed at random moments (the destination
// must be the old file or a new one, whole; a killed save may leave its temporary).
#include "bench/BenchClock.h"
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "foundation/kcHeap.h"
#include "foundation/kcWholeFile.h"

namespace {
// Save i of a saver: two letters taking turns, the second twice as long, so a whole file tells
// which save wrote it.
std::string Bytes(char letter, int size, int i) { return std::string(size * (1 + i % 2), char(letter + i % 2)); }

bool Save(const std::wstring& path, const std::string& bytes)
{
    return kcSaveWholeFile(path.c_str(), bytes.data(), (int)bytes.size()) == KCSAVE_OK;
}

// The saver's child run: count saves (0: until killed); the exit code is the number that failed.
int Saver(const wchar_t* path, wchar_t letter, int size, int count)
{
    int failed = 0;
    for (int i = 0; count == 0 || i < count; ++i) failed += !Save(path, Bytes((char)letter, size, i));
    return failed;
}

HANDLE StartSaver(const std::wstring& path, char letter, int size, int count)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(exe) + L"\" --saver \"" + path + L"\" " + wchar_t(letter) + L" " +
                        std::to_wstring(size) + L" " + std::to_wstring(count);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

bool Read(const std::wstring& path, std::string* bytes)
{
    bytes->clear();
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return false;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) bytes->append(buffer, n);
    fclose(f);
    return true;
}

// Removes every file of the folder but keep; returns how many there were.
int RemoveOthers(const std::wstring& dir, const std::wstring& keep)
{
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || lstrcmpiW(found.cFileName, keep.c_str()) == 0) continue;
        ++count;
        DeleteFileW((dir + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

// Median milliseconds of one save of size bytes over an existing file.
double SuccessRoad(const std::wstring& path, int size, int rounds)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const std::string bytes = Bytes('a', size, i);
        const double t = Now();
        if (!Save(path, bytes)) return -1;
        ms.push_back((Now() - t) * 1000.0);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Saves made while another thread does work until they are done; the number that succeeded.
template <class Work> int SavesBeside(const std::wstring& path, int saves, Work work)
{
    std::atomic<bool> done{false};
    int saved = 0;
    std::thread other([&] {
        while (!done) work();
    });
    for (int i = 0; i < saves; ++i) saved += Save(path, Bytes('a', 1000, i));
    done = true;
    other.join();
    return saved;
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    kcHeapCreate(0x1000000);
    if (argc == 6 && wcscmp(argv[1], L"--saver") == 0) return Saver(argv[2], argv[3][0], _wtoi(argv[4]), _wtoi(argv[5]));
    wchar_t base[MAX_PATH], folder[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    wsprintfW(folder, L"%skcbench_save_%lu", base, GetCurrentProcessId());
    CreateDirectoryW(folder, nullptr);
    const std::wstring dir = folder, path = dir + L"\\setup.xml";
    bool ok = Save(path, "first");

    const double small = SuccessRoad(path, 1000, 200), large = SuccessRoad(path, 200000, 100);
    printf("save_1kb_ms=%.3f save_200kb_ms=%.3f (medians of 200 and 100)\n", small, large);
    ok = ok && small >= 0 && large >= 0;

    std::atomic<int> polls{0}, missing{0};
    const int polled = SavesBeside(path, 250, [&] {
        missing += GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
        ++polls;
    });
    printf("poll: saved=%d/250 polls=%d missing=%d\n", polled, polls.load(), missing.load());
    ok = ok && missing == 0;

    const int opened = SavesBeside(path, 200, [&] {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    });
    printf("reader_loop: saved=%d/200\n", opened);

    std::atomic<int> threadSaved{0};
    {
        std::thread one([&] { threadSaved += 200 - Saver(path.c_str(), L'a', 1000, 200); });
        std::thread two([&] { threadSaved += 200 - Saver(path.c_str(), L'c', 1500, 200); });
        one.join();
        two.join();
    }
    HANDLE savers[2] = {StartSaver(path, 'a', 1000, 300), StartSaver(path, 'c', 1500, 300)};
    DWORD lost[2] = {~0u, ~0u};
    for (int i = 0; i < 2; ++i)
        if (savers[i]) {
            WaitForSingleObject(savers[i], INFINITE);
            GetExitCodeProcess(savers[i], &lost[i]);
            CloseHandle(savers[i]);
        }
    printf("two_threads: saved=%d/400 two_processes: lost=%d+%d of 300+300\n", threadSaved.load(), (int)lost[0], (int)lost[1]);

    for (DWORD share : {DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE), DWORD(FILE_SHARE_READ)}) {
        HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        std::thread holder([held] {
            Sleep(400);
            CloseHandle(held);
        });
        const double t = Now();
        const bool saved = Save(path, "held");
        printf("held_400ms share=%lu: saved=%d after %.0f ms\n", share, (int)saved, (Now() - t) * 1000.0);
        holder.join();
    }

    // Kills at random moments of a child that saves without end.
    const std::string old(5000, 'o');
    int kills = 0, changed = 0, torn = 0, gone = 0, leftovers = 0;
    srand(GetTickCount());
    for (int k = 0; k < 100; ++k) {
        RemoveOthers(dir, L"setup.xml");
        if (!Save(path, old)) break;
        HANDLE child = StartSaver(path, 'a', 20000, 0);
        if (!child) break;
        Sleep(30 + rand() % 170);
        TerminateProcess(child, 1);
        WaitForSingleObject(child, INFINITE);
        CloseHandle(child);
        ++kills;
        std::string bytes;
        if (!Read(path, &bytes))
            ++gone;
        else if (bytes != old)
            bytes == Bytes('a', 20000, 0) || bytes == Bytes('a', 20000, 1) ? ++changed : ++torn;
        leftovers += RemoveOthers(dir, L"setup.xml");
    }
    printf("crash: kills=%d whole=%d (new=%d) torn=%d missing=%d temporaries_left=%d\n", kills, kills - torn - gone, changed,
           torn, gone, leftovers);
    ok = ok && kills == 100 && torn == 0 && gone == 0;

    RemoveOthers(dir, L"");
    RemoveDirectoryW(folder);
    kcHeapDestroy();
    return ok ? 0 : 1;
}
