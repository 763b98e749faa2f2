// kcMemCopy / kcMemZero throughput on image rows and whole pictures, plain and MMX moves.
#include "foundation/kcString.h"
#include <windows.h>
#include <cstdio>
#include <vector>

namespace {

template <class F> double megabytesPerSecond(unsigned bytes, int rounds, F step)
{
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    step(); // warm caches
    QueryPerformanceCounter(&a);
    for (int i = 0; i < rounds; i++) step();
    QueryPerformanceCounter(&b);
    double s = (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
    return (double)bytes * rounds / s / 1e6;
}

} // namespace

int wmain()
{
    std::vector<unsigned char> src(1920 * 1080 * 4, 0x5A), dst(src.size());
    struct {
        const char* what;
        unsigned bytes;
        int rounds;
    } sizes[] = {{"row 640x4", 2560, 200000}, {"row 1920x3+1", 5761, 100000}, {"picture 1920x1080x4", 1920 * 1080 * 4, 100}};
    for (int mmx = 0; mmx < 2; mmx++) {
        kcMemSetMmx(mmx);
        for (auto& s : sizes) {
            double copy = megabytesPerSecond(s.bytes, s.rounds, [&] { kcMemCopy(dst.data(), src.data(), s.bytes); });
            double zero = megabytesPerSecond(s.bytes, s.rounds, [&] { kcMemZero(dst.data(), s.bytes); });
            printf("%-4s %-22s copy %8.0f MB/s  zero %8.0f MB/s\n", mmx ? "mmx" : "byte", s.what, copy, zero);
        }
    }
    kcMemSetMmx(0);
    return 0;
}
