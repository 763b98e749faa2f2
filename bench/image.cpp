// Decode speed of a 1920x1080 32-bit picture as HG-3 (HG-2-coded bands), HG-2, PNG and
// JPEG-in-HG-3, against bare zlib inflate of the HG-3's streams.
#include "image/kcImageHg2.h"
#include "image/kcImageHg3.h"
#include "foundation/kcHeap.h"
#include <windows.h>
#include <zlib.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "image/kcImageJpeg.h"
#include "image/kcImagePng.h"

namespace {
const int kW = 1920, kH = 1080, kBandRows = 256, kRuns = 7;

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

template <class F> double Best(F f)
{
    double best = 1e30;
    for (int i = 0; i < kRuns; i++) {
        double t = Now();
        if (!f()) return -1;
        best = std::min(best, Now() - t);
    }
    return best;
}

std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

// A game-like background: smooth gradients, soft shapes, mild grain and a feathered alpha edge.
void Paint(kcImage& img)
{
    img.Create(kW, kH, 4);
    uint32_t seed = 1;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            seed = seed * 1664525 + 1013904223;
            int grain = static_cast<int>(seed >> 29) - 4;
            int cx = x - 1200, cy = y - 500;
            int disc = (cx * cx + cy * cy) < 300 * 300 ? 60 : 0;
            uint8_t* p = img.PixelAt(x, y);
            p[0] = static_cast<uint8_t>(std::clamp(x * 255 / kW + grain + disc, 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(y * 255 / kH + grain, 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp((x + y) * 255 / (kW + kH) - disc + grain, 0, 255));
            p[3] = static_cast<uint8_t>(x < 64 ? x * 4 : 255);
        }
}

MemoryBlock View(const std::string& s)
{
    MemoryBlock b;
    b.data = reinterpret_cast<uint8_t*>(const_cast<char*>(s.data()));
    b.size = b.capacity = static_cast<uint32_t>(s.size());
    b.external = 1;
    return b;
}

std::string Chunk(const char* name, const std::string& data, bool last)
{
    std::string n(name);
    n.resize(8, '\0');
    return n + U32(last ? 0 : static_cast<uint32_t>(16 + data.size())) + U32(static_cast<uint32_t>(data.size())) + data;
}

std::string StdInfo()
{
    return U32(kW) + U32(kH) + std::string("\x20\0\0\0", 4) + U32(0) + U32(0) + U32(kW) + U32(kH) + U32(1) + U32(0) + U32(0);
}

struct Streams {
    std::vector<std::string> packed;
    std::vector<uint32_t> raw;
};

// HG-3 with bands: each band is the HG-2 coding of its rows, taken from an HG-2 save of them.
std::string BuildBandHg3(const kcImage& src, Streams* streams)
{
    std::string chunks = Chunk("stdinfo", StdInfo(), false);
    int bands = (kH + kBandRows - 1) / kBandRows;
    for (int b = 0; b < bands; b++) {
        int first = b * kBandRows, rows = std::min(kBandRows, kH - first);
        kcImageHg2 part;
        part.Create(kW, rows, 4);
        part.Blit(0, 0, &src, 0, kH - first - rows, kW, rows);
        for (int y = 0; y < rows; y++)
            for (int x = 0; x < kW; x++) part.PixelAt(x, y)[3] |= 1; // keep the crop from moving the band
        MemoryBlock saved;
        part.Save(&saved, 0, 0, 0, 0);
        const uint8_t* info = saved.data + 12;
        uint32_t p1, r1, p2, r2;
        memcpy(&p1, info + 20, 4);
        memcpy(&r1, info + 24, 4);
        memcpy(&p2, info + 28, 4);
        memcpy(&r2, info + 32, 4);
        std::string s1(reinterpret_cast<char*>(saved.data + 88), p1), s2(reinterpret_cast<char*>(saved.data + 88 + p1), p2);
        streams->packed.push_back(s1);
        streams->raw.push_back(r1);
        streams->packed.push_back(s2);
        streams->raw.push_back(r2);
        char name[8] = "img0000";
        name[5] = static_cast<char>('0' + b / 10);
        name[6] = static_cast<char>('0' + b % 10);
        chunks += Chunk(name, U32(first) + U32(rows) + U32(p1) + U32(r1) + U32(p2) + U32(r2) + s1 + s2, b + 1 == bands);
        saved.Free();
    }
    return "HG-3" + U32(12) + U32(0x300) + U32(0) + U32(0) + chunks;
}

double Mbps(double seconds) { return seconds > 0 ? kW * kH * 4 / seconds / 1e6 : 0; }
} // namespace

int wmain()
{
    kcHeapCreate(0x4000000);
    kcImage src;
    Paint(src);

    Streams streams;
    std::string hg3 = BuildBandHg3(src, &streams);
    kcImageHg2 hg2src;
    hg2src.CopyFrom(&src);
    MemoryBlock hg2;
    hg2src.Save(&hg2, 0, 0, 0, 0);
    std::string hg2file(reinterpret_cast<char*>(hg2.data), hg2.size);
    hg2.Free();
    printf("sizes: hg3=%u hg2=%u bytes\n", static_cast<unsigned>(hg3.size()), static_cast<unsigned>(hg2file.size()));

    MemoryBlock hg3in = View(hg3), hg2in = View(hg2file);
    double tHg3 = Best([&] {
        kcImageHg3 img;
        return img.Load(&hg3in, 0);
    });
    double tHg2 = Best([&] {
        kcImageHg2 img;
        return img.Load(&hg2in, 0);
    });
    std::vector<uint8_t> out(kW * kH * 4 + 4096);
    double tInflate = Best([&] {
        for (size_t i = 0; i < streams.packed.size(); i++) {
            uLongf n = static_cast<uLongf>(out.size());
            if (uncompress(out.data(), &n, reinterpret_cast<const Bytef*>(streams.packed[i].data()),
                           static_cast<uLong>(streams.packed[i].size())) != Z_OK || n != streams.raw[i])
                return false;
        }
        return true;
    });
    printf("hg3_bands  %8.1f MB/s  (%.2f ms)\n", Mbps(tHg3), tHg3 * 1e3);
    printf("hg2        %8.1f MB/s  (%.2f ms)\n", Mbps(tHg2), tHg2 * 1e3);
    printf("inflate    %8.1f MB/s  (%.2f ms, the HG-3 streams alone)\n", Mbps(tInflate), tInflate * 1e3);

    double tPng = -1;
    {
        kcImagePng png;
        png.CopyFrom(&src);
        MemoryBlock saved;
        if (png.Save(&saved, 0, 0, 0, 0)) {
            std::string file(reinterpret_cast<char*>(saved.data), saved.size);
            saved.Free();
            MemoryBlock in = View(file);
            tPng = Best([&] {
                kcImagePng img;
                return img.Load(&in, 0);
            });
            printf("png        %8.1f MB/s  (%.2f ms, %u bytes)\n", Mbps(tPng), tPng * 1e3, static_cast<unsigned>(file.size()));
        }
    }
    {
        kcImageJpeg jpeg;
        jpeg.Create(kW, kH, 3);
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) memcpy(jpeg.PixelAt(x, y), src.PixelAt(x, y), 3);
        MemoryBlock saved;
        if (jpeg.Save(&saved, 0, 0, 0, 0)) {
            std::string alpha(static_cast<size_t>(kW) * kH, '\0');
            for (int y = 0; y < kH; y++)
                for (int x = 0; x < kW; x++) alpha[static_cast<size_t>(y) * kW + x] = static_cast<char>(src.PixelAt(x, y)[3]);
            std::vector<uint8_t> packed(compressBound(static_cast<uLong>(alpha.size())));
            uLongf n = static_cast<uLongf>(packed.size());
            compress2(packed.data(), &n, reinterpret_cast<const Bytef*>(alpha.data()), static_cast<uLong>(alpha.size()), 9);
            std::string al = U32(n) + U32(static_cast<uint32_t>(alpha.size())) + std::string(reinterpret_cast<char*>(packed.data()), n);
            std::string chunks = Chunk("stdinfo", StdInfo(), false) +
                                 Chunk("img_jpg", std::string(reinterpret_cast<char*>(saved.data), saved.size), false) +
                                 Chunk("img_al", al, true);
            saved.Free();
            std::string file = "HG-3" + U32(12) + U32(0x300) + U32(0) + U32(0) + chunks;
            MemoryBlock in = View(file);
            double t = Best([&] {
                kcImageHg3 img;
                return img.Load(&in, 0);
            });
            printf("hg3_jpeg   %8.1f MB/s  (%.2f ms, %u bytes)\n", Mbps(t), t * 1e3, static_cast<unsigned>(file.size()));
        }
    }
    printf("hg3_vs_inflate=%.3f\n", tInflate > 0 ? tHg3 / tInflate : 0.0);
    printf("hg3_vs_png=%.3f\n", tPng > 0 ? tHg3 / tPng : 0.0);
    return 0;
}
