// Decode speed of a 1920x1080 32-bit picture as HG-3 (HG-2-coded bands), HG-2, PNG and
// JPEG-in-HG-3, against bare zlib inflate of the HG-3's streams; then crafted band files, each
// against a plain file of its size (the ratio lines give crafted time over plain time).
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
#include "support/Hg3Builder.h"

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

// The packed streams and raw sizes of the HG-3's bands, for the inflate baseline.
struct Streams {
    std::vector<std::string> packed;
    std::vector<uint32_t> raw;
};

Streams BandStreams(const std::string& hg3)
{
    Streams out;
    kcByteReader r(hg3.data(), static_cast<uint32_t>(hg3.size()));
    std::string name = "img0000";
    uint32_t size = 0;
    for (int b = 0; b < 100; b++) {
        name[5] = static_cast<char>('0' + b / 10), name[6] = static_cast<char>('0' + b % 10);
        const uint8_t* band = kcImageHg3::FindChunk(r, 20, name.c_str(), &size);
        if (!band) break;
        for (uint32_t at = 24, i = 0; i < 2; at += kcByteReader::Le32(band + 8 + 8 * i), i++) {
            out.packed.emplace_back(reinterpret_cast<const char*>(band) + at, kcByteReader::Le32(band + 8 + 8 * i));
            out.raw.push_back(kcByteReader::Le32(band + 12 + 8 * i));
        }
    }
    return out;
}

// Best of the runs that fit in about two seconds (at least one), whatever the load answers.
template <class F> double BestOf(F f, bool* result)
{
    double best = 1e30, start = Now();
    for (int i = 0; i < kRuns && (i == 0 || Now() - start < 2.0); i++) {
        double t = Now();
        *result = f();
        best = std::min(best, Now() - t);
    }
    return best;
}

double LoadTime(const std::string& file, bool* result)
{
    MemoryBlock in = View(file);
    return BestOf(
        [&] {
            kcImageHg3 img;
            return img.Load(&in, 0);
        },
        result);
}

// A noise picture (it barely compresses) whose HG-3 file has about `bytes` bytes.
std::string PlainOfSize(size_t bytes)
{
    const int w = 16, h = static_cast<int>(bytes / (w * 4)) + 1;
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    uint32_t seed = 7;
    for (uint8_t& b : px) b = static_cast<uint8_t>((seed = seed * 1664525 + 1013904223) >> 24);
    return Hg3FromBgra(px.data(), w, h);
}

// A crafted file against a plain one of its size; returns the ratio of their times.
double Compare(const char* name, const std::string& crafted)
{
    std::string plain = PlainOfSize(crafted.size());
    bool craftedOk = false, plainOk = false;
    double tCrafted = LoadTime(crafted, &craftedOk), tPlain = LoadTime(plain, &plainOk);
    printf("%s %.3f ms (%u bytes, %s), a plain file %.3f ms (%u bytes, %s)\n", name, tCrafted * 1e3,
           static_cast<unsigned>(crafted.size()), craftedOk ? "loaded" : "refused", tPlain * 1e3,
           static_cast<unsigned>(plain.size()), plainOk ? "loaded" : "refused");
    return tPlain > 0 ? tCrafted / tPlain : 0.0;
}

double Mbps(double seconds) { return seconds > 0 ? kW * kH * 4 / seconds / 1e6 : 0; }
} // namespace

int wmain()
{
    kcHeapCreate(0x4000000);
    kcImage src;
    Paint(src);

    Hg3StdInfo info;
    info.width = info.canvasWidth = kW, info.height = info.canvasHeight = kH, info.transparent = 1;
    std::string hg3 = Hg3Builder().StdInfo(info).Bands(src.pixels, src.pitch, kW, kH, 4, kBandRows).Build();
    Streams streams = BandStreams(hg3);
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
            std::string file = Hg3Builder()
                                   .StdInfo(info)
                                   .Chunk("img_jpg", std::string(reinterpret_cast<char*>(saved.data), saved.size))
                                   .Alpha(alpha)
                                   .Build();
            saved.Free();
            MemoryBlock in = View(file);
            double t = Best([&] {
                kcImageHg3 img;
                return img.Load(&in, 0);
            });
            printf("hg3_jpeg   %8.1f MB/s  (%.2f ms, %u bytes)\n", Mbps(t), t * 1e3, static_cast<unsigned>(file.size()));
        }
    }
    // A crafted file: 9999 one-row bands behind 40000 empty chunks, against the same bands alone.
    {
        const int rows = 9999;
        std::string column = std::string(static_cast<size_t>(rows) * 4, '\x5A');
        const uint8_t* px = reinterpret_cast<const uint8_t*>(column.data());
        Hg3StdInfo tall;
        tall.width = tall.canvasWidth = 1, tall.height = tall.canvasHeight = rows;
        Hg3Builder plain, hostile;
        plain.StdInfo(tall).Bands(px, 4, 1, rows, 4, 1);
        hostile.StdInfo(tall);
        for (int i = 0; i < 40000; i++) hostile.Chunk("pad", "");
        hostile.Bands(px, 4, 1, rows, 4, 1);
        std::string plainFile = plain.Build(), hostileFile = hostile.Build();
        MemoryBlock plainIn = View(plainFile), hostileIn = View(hostileFile);
        auto load = [](const MemoryBlock& in) {
            return Best([&] {
                kcImageHg3 img;
                return img.Load(&in, 0);
            });
        };
        double tPlain = load(plainIn), tHostile = load(hostileIn);
        printf("hg3_hostile %.2f ms (%u bytes), the bands alone %.2f ms (%u bytes)\n", tHostile * 1e3,
               static_cast<unsigned>(hostileFile.size()), tPlain * 1e3, static_cast<unsigned>(plainFile.size()));
    }
    // Width 0 and 2^28 rows: bands that claim every row cost nothing to decode.
    {
        Hg3StdInfo empty;
        empty.height = empty.canvasHeight = 0x10000000;
        Hg2Coded none = Hg2Encode(nullptr, 0, 0, 0, 4);
        for (int bands : {4, 20}) {
            Hg3Builder b;
            b.StdInfo(empty);
            for (int i = 0; i < bands; i++) b.CodedBand(i, 0, 0x10000000, none);
            Compare(bands == 4 ? "hg3_zero_width_4" : "hg3_zero_width_20", b.Build());
        }
    }
    // Full-height bands of a 4 MiB frame, each a few bytes: a zero run of any length is one code.
    {
        const int w = 1024, h = 1024;
        Hg3StdInfo big;
        big.width = big.canvasWidth = w, big.height = big.canvasHeight = h;
        std::vector<uint8_t> zeros(static_cast<size_t>(w) * h * 4);
        Hg2Coded flat = Hg2Encode(zeros.data(), w * 4, w, h, 4);
        for (int bands : {4, 100}) {
            Hg3Builder b;
            b.StdInfo(big);
            for (int i = 0; i < bands; i++) b.CodedBand(i, 0, h, flat);
            Compare(bands == 4 ? "hg3_overlap_4" : "hg3_overlap_100", b.Build());
        }
    }
    // 200 bands whose streams run through one shared tail of about 1 MB.
    double shared = Compare("hg3_shared_streams", Hg3SharedTail(1024, 100, 200, 2, 200000));
    // One band of a 4 x 1 frame whose byte area goes on inflating for about 1 GB.
    double tail = 0;
    {
        Hg3StdInfo tiny;
        tiny.width = tiny.canvasWidth = 4, tiny.height = tiny.canvasHeight = 1;
        const uint8_t px[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        Hg2Coded c = Hg2Encode(px, 16, 4, 1, 4);
        c.packedArea = ZlibLongTail(c.area, 1000000);
        tail = Compare("hg3_inflate_tail", Hg3Builder().StdInfo(tiny).CodedBand(0, 0, 1, c).Build());
    }
    printf("hg3_shared_streams_ratio=%.3f\n", shared);
    printf("hg3_inflate_tail_ratio=%.3f\n", tail);
    printf("hg3_vs_inflate=%.3f\n", tInflate > 0 ? tHg3 / tInflate : 0.0);
    printf("hg3_vs_png=%.3f\n", tPng > 0 ? tHg3 / tPng : 0.0);
    return 0;
}
