#include "image/kcBlit.h"
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {
typedef std::vector<int> Ints;

// A small image of bpp bytes per pixel with a 4-byte aligned pitch.
struct Img {
    int w, h, bpp, pitch;
    std::vector<uint8_t> px;
    Img(int w_, int h_, int bpp_) : w(w_), h(h_), bpp(bpp_), pitch((w_ * bpp_ + 3) & ~3), px(size_t(pitch) * h_) {}
    uint8_t* at(int x, int y) { return &px[size_t(y) * pitch + size_t(x) * bpp]; }
    void set(int x, int y, Ints v)
    {
        for (size_t k = 0; k < v.size(); k++) at(x, y)[k] = uint8_t(v[k]);
    }
    Ints get(int x, int y) { return Ints(at(x, y), at(x, y) + bpp); }
    int get16(int x, int y) { return at(x, y)[0] | at(x, y)[1] << 8; }
    void set16(int x, int y, int v) { set(x, y, {v & 0xFF, v >> 8}); }
    void fill(Ints v)
    {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) set(x, y, v);
    }
};

kcBlitParams params(Img& dst, Img& src, int opacity = 255)
{
    kcBlitParams p = {};
    p.dstBpp = dst.bpp, p.dstBase = dst.px.data(), p.dstWidth = dst.w, p.dstHeight = dst.h, p.dstPitch = dst.pitch;
    p.srcBpp = src.bpp, p.srcBase = src.px.data(), p.srcWidth = src.w, p.srcHeight = src.h, p.srcPitch = src.pitch;
    p.copyWidth = src.w < dst.w ? src.w : dst.w;
    p.copyHeight = src.h < dst.h ? src.h : dst.h;
    p.opacity = uint16_t(opacity);
    return p;
}

// Runs the table's entry for the operation and the two depths; -1 for a null entry.
int run(int op, Img& dst, Img& src, int opacity = 255)
{
    kcBlitParams p = params(dst, src, opacity);
    kcBlitFunc f = kcBlitTable[op][src.bpp - 1][dst.bpp - 1];
    return f ? f(&p) : -1;
}
} // namespace

TEST(BlitTable, EntriesAndNulls)
{
    for (int op = 0; op < 4; op++)
        for (int i = 0; i < 4; i++) EXPECT_TRUE(!kcBlitTable[op][0][i] && !kcBlitTable[op][i][0]);
    EXPECT_EQ(&kcBlitBlend16To24, kcBlitTable[0][1][2]);
    EXPECT_EQ(&kcBlitConvert32To16, kcBlitTable[2][3][1]);
    EXPECT_EQ(&kcBlitCopyRows, kcBlitTable[2][2][2]);
    EXPECT_EQ(&kcBlitLayerBlend32To32, kcBlitTable[1][3][3]);
    EXPECT_EQ(&kcBlitMask24To32, kcBlitTable[3][2][3]);
    EXPECT_TRUE(!kcBlitTable[1][3][1] && !kcBlitTable[3][1][3] && !kcBlitTable[3][3][2] && !kcFillTable[0]);
    EXPECT_EQ(&kcFill16, kcFillTable[1]);
}

TEST(BlitConvert, HandComputedPixels)
{
    Img s32(1, 1, 4), s24(1, 1, 3), s16(1, 1, 2), d16(1, 1, 2), d24(1, 1, 3), d32(1, 1, 4);
    s32.set(0, 0, {0x20, 0x40, 0x80, 0xFF});
    s24.set(0, 0, {0x1F, 0x2E, 0x3D});
    s16.set16(0, 0, 0x8F31); // A 8, R F, G 3, B 1
    ASSERT_EQ(1, run(2, d16, s32));
    EXPECT_EQ(0xF842, d16.get16(0, 0));
    ASSERT_EQ(1, run(2, d24, s32));
    EXPECT_EQ(Ints({0x20, 0x40, 0x80}), d24.get(0, 0));
    ASSERT_EQ(1, run(2, d32, s16));
    EXPECT_EQ(Ints({17, 51, 255, 136}), d32.get(0, 0));
    ASSERT_EQ(1, run(2, d24, s16));
    EXPECT_EQ(Ints({17, 51, 255}), d24.get(0, 0));
    ASSERT_EQ(1, run(2, d16, s24));
    EXPECT_EQ(0xF321, d16.get16(0, 0));
    ASSERT_EQ(1, run(2, d32, s24));
    EXPECT_EQ(Ints({0x1F, 0x2E, 0x3D, 255}), d32.get(0, 0));

    // Row copies at an offset from a bottom-up source: rectangle row 0 is the source's last row.
    Img s(2, 3, 4), d(4, 4, 4);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 2; x++) s.set(x, y, {x, y, 9, 255});
    kcBlitParams p = params(d, s);
    p.dstX = p.dstY = 1, p.copyWidth = p.copyHeight = 2, p.srcBottomUp = 1;
    ASSERT_EQ(1, kcBlitCopyRows(&p));
    EXPECT_EQ(Ints({0, 2, 9, 255}), d.get(1, 1));
    EXPECT_EQ(Ints({1, 1, 9, 255}), d.get(2, 2));
    EXPECT_EQ(Ints({0, 0, 0, 0}), d.get(0, 0));
    EXPECT_EQ(Ints({0, 0, 0, 0}), d.get(3, 3));
}

TEST(BlitConvert, DitherRoundsUpWhereTheThresholdIsReached)
{
    Img s(4, 4, 4), d(4, 4, 2);
    s.fill({0x48, 0x48, 0x48, 0xFF});
    kcBlitParams p = params(d, s);
    p.dither = 1;
    ASSERT_EQ(1, kcBlitConvert32To16(&p));
    const int M[4][4] = {{5, 12, 7, 10}, {13, 4, 15, 2}, {6, 11, 8, 9}, {14, 3, 16, 1}};
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(M[y][x] <= 8 ? 0xF555 : 0xF444, d.get16(x, y)) << x << "," << y;
    // A saturated channel stays 15; threshold 9 rounds R 0x0F up to 1.
    s.set(3, 2, {0xFF, 0xFF, 0x0F, 0x10});
    ASSERT_EQ(1, kcBlitConvert32To16(&p));
    EXPECT_EQ(0x11FF, d.get16(3, 2));
}

TEST(BlitConvert, MmxAndPlainAgreeOnRandomRows)
{
    std::mt19937 rng(7);
    for (int w : {1, 3, 4, 5, 17, 64}) {
        Img s(w, 3, 4), a(w, 3, 2), b(w, 3, 2);
        for (auto& c : s.px) c = uint8_t(rng());
        kcBlitParams pa = params(a, s), pb = params(b, s);
        kcBlitSetPath(0);
        kcBlitConvert32To16(&pa);
        kcBlitSetPath(1);
        kcBlitConvert32To16(&pb);
        kcBlitSetPath(-1);
        EXPECT_EQ(a.px, b.px) << w;
    }
}

TEST(BlitBlend, ThirtyTwoOverTwentyFour)
{
    Img s(3, 1, 4), d(3, 1, 3);
    s.set(0, 0, {200, 100, 0, 128});
    s.set(1, 0, {1, 2, 3, 0});
    s.set(2, 0, {7, 8, 9, 255});
    d.fill({100, 100, 100});
    ASSERT_EQ(1, run(0, d, s));
    EXPECT_EQ(Ints({150, 100, 50, 100, 100, 100, 7, 8, 9}), Ints(d.px.begin(), d.px.begin() + 9)); // half, none, all
    // Opacity 0 leaves everything; at opacity 127 the opaque pixel is weighted too.
    d.fill({100, 100, 100});
    ASSERT_EQ(1, run(0, d, s, 0));
    EXPECT_EQ(Ints({100, 100, 100}), d.get(2, 0));
    ASSERT_EQ(1, run(0, d, s, 127));
    auto mix = [](int sv) { return 100 + ((sv - 100) * 127 >> 8); };
    EXPECT_EQ(Ints({mix(7), mix(8), mix(9)}), d.get(2, 0));
}

TEST(BlitBlend, ThirtyTwoOverThirtyTwo)
{
    Img s(1, 1, 4), d(3, 1, 4);
    s.set(0, 0, {10, 20, 30, 128});
    kcBlitParams p = params(d, s);
    p.dstX = 1;
    ASSERT_EQ(1, kcBlitBlend32To32(&p));
    // Transparent destination: the source colour with alpha T[a]; clear neighbours get the colour at alpha 0.
    EXPECT_EQ(Ints({10, 20, 30, 0, 10, 20, 30, 128, 10, 20, 30, 0}), Ints(d.px.begin(), d.px.end()));
    // Opaque destination: d += ((s - d) * o) >> 8, alpha stays.
    d.set(1, 0, {110, 20, 0, 255});
    ASSERT_EQ(1, kcBlitBlend32To32(&p));
    EXPECT_EQ(Ints({60, 20, 15, 255}), d.get(1, 0));
    // Partly transparent destination: the weighted formula.
    d.set(1, 0, {200, 0, 100, 100});
    ASSERT_EQ(1, kcBlitBlend32To32(&p));
    int o = 128, t = 100, u = ((256 - o) * t) >> 8, w = ((256 - t) * o) >> 8, m = (o * t) >> 8, A = (w + u + m) | 1;
    auto ch = [&](int sv, int dv) { return int((unsigned(sv * (w + m) + dv * u) * (65536u / A)) >> 16); };
    EXPECT_EQ(Ints({ch(10, 200), ch(20, 0), ch(30, 100), A}), d.get(1, 0));
    // A source alpha of 0 leaves a non-zero pixel.
    s.set(0, 0, {1, 1, 1, 0});
    d.set(1, 0, {5, 5, 5, 5});
    ASSERT_EQ(1, kcBlitBlend32To32(&p));
    EXPECT_EQ(Ints({5, 5, 5, 5}), d.get(1, 0));
}

TEST(BlitBlend, SixteenBitPixels)
{
    Img s(2, 1, 2), d16(2, 1, 2), d32(2, 1, 4), d24(2, 1, 3);
    s.set16(0, 0, 0xFF00); // opaque red
    s.set16(1, 0, 0x0FFF); // transparent white
    d16.set16(0, 0, 0xF00F);
    ASSERT_EQ(1, run(0, d16, s));
    EXPECT_EQ(Ints({0xFF00, 0x0000}), Ints({d16.get16(0, 0), d16.get16(1, 0)})); // g = 0 leaves the pixel
    d32.set(0, 0, {255, 0, 0, 0});
    d32.set(1, 0, {9, 9, 9, 200});
    ASSERT_EQ(1, run(0, d32, s));
    EXPECT_EQ(Ints({0, 0, 255, 255, 9, 9, 9, 200}), Ints(d32.px.begin(), d32.px.end()));
    // 16 -> 24 steps its source 2 bytes a pixel: the second pixel reads the second value.
    s.set16(1, 0, 0xF0F0);
    d24.fill({1, 2, 3});
    ASSERT_EQ(1, run(0, d24, s));
    EXPECT_EQ(Ints({0, 0, 255, 0, 255, 0}), Ints(d24.px.begin(), d24.px.begin() + 6));

    Img s32(1, 1, 4), d(1, 1, 2);
    // Opaque over opaque: the table index a + e - ea/256 = 256 is held at 255.
    s32.set(0, 0, {0xF0, 0x00, 0x80, 0xFF});
    d.set16(0, 0, 0xF0F0);
    ASSERT_EQ(1, run(0, d, s32));
    EXPECT_EQ(0xF80F, d.get16(0, 0));
    // Below full opacity the colour step can overshoot: it saturates instead of wrapping.
    s32.set(0, 0, {0xFF, 0xFF, 0xFF, 0xFF});
    d.set16(0, 0, 0xF000);
    ASSERT_EQ(1, run(0, d, s32, 64));
    EXPECT_EQ(0x4FFF, d.get16(0, 0));
}

TEST(BlitLayer, EveryModeOnOneChannelAndThirtyTwoBitAlpha)
{
    struct Case {
        int mode, d, s, expect;
    } cases[] = {
        {1, 200, 100, 255}, {1, 10, 20, 30}, {2, 200, 100, (200 * 101) >> 8}, {3, 200, 100, 200 + 100 - ((200 * 101) >> 8)},
        {4, 100, 50, (2 * 100 * 50) / 255}, {4, 200, 50, 2 * (200 + 50 - (200 * 50) / 255) - 255},
        {5, 255, 10, 255}, {5, 200, 100, 255}, {5, 100, 50, (255 * 50) / 155},
    };
    for (const Case& c : cases) {
        Img s(1, 1, 4), d(1, 1, 3);
        s.set(0, 0, {c.s, c.s, c.s, 255});
        d.set(0, 0, {c.d, c.d, c.d});
        kcBlitParams p = params(d, s);
        p.blendMode = c.mode;
        ASSERT_EQ(1, kcBlitLayerBlend32To24(&p));
        EXPECT_EQ((c.d + 255 * c.expect) >> 8, d.get(0, 0)[0]) << c.mode << " " << c.d << " " << c.s; // t = 255
    }
    Img s(1, 1, 4), d(1, 1, 4);
    kcBlitParams p = params(d, s);
    p.blendMode = 9;
    EXPECT_EQ(0, kcBlitLayerBlend32To32(&p));
    p.blendMode = 1;
    s.set(0, 0, {1, 2, 3, 0});
    ASSERT_EQ(1, kcBlitLayerBlend32To32(&p));
    EXPECT_EQ(Ints({1, 2, 3, 0}), d.get(0, 0)); // a clear destination takes the colour
    s.set(0, 0, {50, 50, 50, 200});
    ASSERT_EQ(1, kcBlitLayerBlend32To32(&p));
    EXPECT_EQ(Ints({1, 2, 3, 0}), d.get(0, 0)); // alpha 0 destination with t > 0: left
    d.set(0, 0, {100, 100, 100, 255});
    ASSERT_EQ(1, kcBlitLayerBlend32To32(&p));
    int t = 200, o = 255, v = ((256 - o) * t) >> 8, w = ((256 - t) * o) >> 8, m = (o * t) >> 8, A = (v + w + m) | 1;
    int e = int((unsigned(50 * v + 100 * w + 150 * m) * (65536u / A)) >> 16);
    EXPECT_EQ(Ints({e, e, e, A}), d.get(0, 0));
}

TEST(BlitMask, SelectorsAndLimits)
{
    Img s(1, 1, 4), d(1, 1, 4), s3(1, 1, 3);
    s.set(0, 0, {10, 20, 30, 40});
    const int selected[][2] = {{0, 10}, {1, 10}, {2, 20}, {3, 30}, {4, 40}, {9, 40}};
    for (auto& c : selected) {
        d.set(0, 0, {1, 2, 3, 255});
        kcBlitParams p = params(d, s);
        p.channel = c[0];
        ASSERT_EQ(1, kcBlitMask32To32(&p));
        EXPECT_EQ(Ints({1, 2, 3, (256 * (c[1] + 1) - 1) >> 8}), d.get(0, 0)) << c[0];
    }
    s3.set(0, 0, {10, 20, 30});
    d.set(0, 0, {1, 2, 3, 100});
    kcBlitParams p = params(d, s3);
    p.channel = 4; // held at R for a 3-byte source
    ASSERT_EQ(1, kcBlitMask24To32(&p));
    EXPECT_EQ((101 * 31 - 1) >> 8, d.get(0, 0)[3]);
}

TEST(Fill, EachDepthAndTheTransparentColour)
{
    Img d16(3, 2, 2), d24(3, 2, 3), d32(3, 2, 4);
    d24.fill({100, 100, 100});
    auto fill = [](kcFillFunc f, Img& d, uint32_t colour) {
        kcFillParams p = {};
        p.bpp = d.bpp, p.base = d.px.data(), p.width = d.w, p.height = d.h;
        p.x = p.y = 1, p.fillWidth = 2, p.fillHeight = 1, p.colour = colour;
        return f(&p);
    };
    ASSERT_EQ(1, fill(kcFill24, d24, 0x00FFFFFF));
    EXPECT_EQ(Ints({100, 100, 100}), d24.get(1, 1));
    ASSERT_EQ(1, fill(kcFill24, d24, 0x80C80000)); // half of red 200 over 100
    EXPECT_EQ(Ints({100 + ((128 * -100) >> 8), 100 + ((128 * -100) >> 8), 100 + ((128 * 100) >> 8)}), d24.get(2, 1));
    d16.set16(1, 1, 0xFFFF);
    ASSERT_EQ(1, fill(kcFill16, d16, 0x00FFFFFF));
    EXPECT_EQ(0x0FFF, d16.get16(1, 1));
    ASSERT_EQ(1, fill(kcFill32, d32, 0x00ABCDEF));
    EXPECT_EQ(Ints({0xEF, 0xCD, 0xAB, 0}), d32.get(2, 1));
    EXPECT_EQ(Ints({0, 0, 0, 0}), d32.get(0, 1));
    EXPECT_EQ(Ints({0, 0, 0, 0}), d32.get(1, 0));
}
