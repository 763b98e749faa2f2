#pragma once
// One input per child process: the peak working set is a lifetime figure of a process, so each
// file is read by a run of its own. The child is this program again, started with
// "--child <result file>" ahead of its own arguments; it does the work and reports.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

struct ChildRun {
    bool ok;
    double ms;     // the best of the runs
    double peakMb; // the lowest of the runs
};

// In the child: the milliseconds its work took and the process's peak so far.
inline void ReportChild(const wchar_t* resultFile, double ms)
{
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    if (FILE* f = _wfopen(resultFile, L"w")) {
        fprintf(f, "%.3f %.3f\n", ms, (double)c.PeakWorkingSetSize / (1024.0 * 1024.0));
        fclose(f);
    }
}

// In the parent: rounds runs of this program with args, in dir.
inline ChildRun RunChild(const std::wstring& args, const wchar_t* dir, int rounds)
{
    wchar_t exe[MAX_PATH], tmp[MAX_PATH], result[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    GetTempPathW(MAX_PATH, tmp);
    ChildRun best{false, 0, 0};
    if (!GetTempFileNameW(tmp, L"kcb", 0, result)) return best;
    for (int i = 0; i < rounds; ++i) {
        DeleteFileW(result);
        std::wstring line = L"\"" + std::wstring(exe) + L"\" --child \"" + result + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) {
            best.ok = false;
            break;
        }
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        double ms = 0, mb = 0;
        FILE* f = _wfopen(result, L"r");
        bool read = f && fscanf(f, "%lf %lf", &ms, &mb) == 2;
        if (f) fclose(f);
        if (!read) {
            best.ok = false;
            break;
        }
        if (!best.ok || ms < best.ms) best.ms = ms;
        if (!best.ok || mb < best.peakMb) best.peakMb = mb;
        best.ok = true;
    }
    DeleteFileW(result);
    return best;
}

// Writes a shape's file, has child runs read it (args name it), then removes it.
inline ChildRun RunChildOnFile(const std::wstring& path, const std::string& bytes, const std::wstring& args,
                               const wchar_t* dir, int rounds)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    const bool written = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = f && fclose(f) == 0;
    const ChildRun run = written && closed ? RunChild(args, dir, rounds) : ChildRun{false, 0, 0};
    DeleteFileW(path.c_str());
    return run;
}

// A shape against its twin: one line of figures, then name_ratio= and, when asked, name_mem_ratio=.
inline bool PrintShape(const char* name, int n, int m, const ChildRun& shape, const ChildRun& twin, bool mem)
{
    if (!shape.ok || !twin.ok) {
        printf("%s: a child run failed\n", name);
        return false;
    }
    printf("%s: N=%d M=%d shape_ms=%.1f shape_peak_mb=%.1f twin_ms=%.1f twin_peak_mb=%.1f\n", name, n, m, shape.ms, shape.peakMb,
           twin.ms, twin.peakMb);
    printf("%s_ratio=%.2f\n", name, shape.ms / twin.ms);
    if (mem) printf("%s_mem_ratio=%.2f\n", name, shape.peakMb / twin.peakMb);
    return true;
}
