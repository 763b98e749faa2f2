// Pixel converter throughput on a 1920x1080 picture: 32->16 with and without dither and the
// 32->32 blend, on the plain and the MMX path.
#include "image/kcBlit.h"
#include <windows.h>
#include <cstdio>
#include <vector>

namespace {

const int W = 1920, H = 1080;

double seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f)
{
    return (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
}

double mpixelsPerSecond(kcBlitFunc fn, kcBlitParams p, int rounds)
{
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    fn(&p); // warm caches
    QueryPerformanceCounter(&a);
    for (int i = 0; i < rounds; i++) fn(&p);
    QueryPerformanceCounter(&b);
    return (double)W * H * rounds / seconds(a, b, f) / 1e6;
}

} // namespace

int wmain()
{
    std::vector<uint8_t> src((size_t)W * H * 4), dst16((size_t)W * H * 2), dst32((size_t)W * H * 4);
    uint32_t x = 12345;
    for (auto& c : src) {
        x = x * 1103515245u + 12345u;
        c = (uint8_t)(x >> 16);
    }
    kcBlitParams p = {};
    p.srcBpp = 4;
    p.srcBase = src.data();
    p.srcWidth = W;
    p.srcHeight = H;
    p.srcPitch = W * 4;
    p.dstWidth = W;
    p.dstHeight = H;
    p.copyWidth = W;
    p.copyHeight = H;
    p.opacity = 255;

    kcBlitParams p16 = p;
    p16.dstBpp = 2;
    p16.dstBase = dst16.data();
    p16.dstPitch = W * 2;
    kcBlitParams p32 = p;
    p32.dstBpp = 4;
    p32.dstBase = dst32.data();
    p32.dstPitch = W * 4;

    const int rounds = 20;
    for (int path = 0; path <= 1; path++) {
        kcBlitSetPath(path);
        const char* name = path ? "mmx" : "plain";
        std::printf("32->16 %-5s %8.1f Mpixel/s\n", name, mpixelsPerSecond(kcBlitConvert32To16, p16, rounds));
        kcBlitParams d = p16;
        d.dither = 1;
        std::printf("32->16 dither %-5s %8.1f Mpixel/s\n", name, mpixelsPerSecond(kcBlitConvert32To16, d, rounds));
        std::printf("32->32 blend %-5s %8.1f Mpixel/s\n", name, mpixelsPerSecond(kcBlitBlend32To32, p32, rounds));
    }
    kcBlitSetPath(-1);
    return 0;
}
