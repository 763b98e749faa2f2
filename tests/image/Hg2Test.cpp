#include "image/kcImageHg2.h"
#include "image/kcZlib.h"
#include "support/Hg3Builder.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>
#include <zlib.h>

namespace {
MemoryBlock View(const std::string& s)
{
    MemoryBlock b;
    b.data = reinterpret_cast<uint8_t*>(const_cast<char*>(s.data()));
    b.size = b.capacity = static_cast<uint32_t>(s.size());
    b.external = 1;
    return b;
}

std::string Inflate(const uint8_t* p, uint32_t n, uint32_t raw)
{
    std::string out(raw + 16, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    uncompress(reinterpret_cast<Bytef*>(&out[0]), &size, p, n);
    out.resize(size);
    return out;
}

uint32_t At32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The coding of a 1x1 picture (B, G, R) = (0x10, 0x80, 0xFF), worked out by hand:
// folded 0x20 0xFF 0x01, planes 0C | 0E | 0C | 1C each followed by 255 zeros, so the byte area
// is those four bytes and the bit stream is 1, gamma(1024), then (gamma 1, gamma 255) x 4.
const std::string kArea("\x0C\x0E\x0C\x1C", 4);
const std::string kBits("\x01\x08\x40\xC0\x7F\xC0\x7F\xC0\x7F\xC0\x3F", 11);
const uint8_t kPixel[3] = {0x10, 0x80, 0xFF};

std::vector<uint8_t> Pattern(int w, int h, int bpp, int seed = 0)
{
    std::vector<uint8_t> v(static_cast<size_t>(w) * h * bpp);
    uint32_t x = 12345 + seed;
    for (size_t i = 0; i < v.size(); i++) {
        x = x * 1103515245 + 12345;
        v[i] = (i % 7 == 0) ? static_cast<uint8_t>(x >> 24) : static_cast<uint8_t>(i / (bpp * 3));
    }
    return v;
}
} // namespace

TEST(Hg2CodingTest, HandComputedOnePixelVector)
{
    Hg2Coded c = Hg2Encode(kPixel, 3, 1, 1, 3);
    EXPECT_EQ(kArea, c.area);
    EXPECT_EQ(kBits, c.bits);

    // The library's writer produces the same streams.
    kcImageHg2 img;
    ASSERT_TRUE(img.Create(1, 1, 3));
    memcpy(img.pixels, kPixel, 3);
    MemoryBlock out;
    ASSERT_TRUE(img.Save(&out, 0, 0, 0, 0));
    const uint8_t* info = out.data + 12;
    EXPECT_EQ(4u, At32(info + 24));
    EXPECT_EQ(11u, At32(info + 32));
    EXPECT_EQ(kArea, Inflate(out.data + 88, At32(info + 20), 4));
    EXPECT_EQ(kBits, Inflate(out.data + 88 + At32(info + 20), At32(info + 28), 11));
    out.Free();

    // And a file built by hand around them decodes to the pixel.
    std::string file = "HG-2" + Le32(12) + Le32(16) + Le32(1) + Le32(1) + Le16(24) + Le16(0) + Le32(0) + Le32(0);
    std::string a = Zlib(kArea), b = Zlib(kBits);
    file += Le32(a.size()) + Le32(4) + Le32(b.size()) + Le32(11) + a + b;
    MemoryBlock in = View(file);
    kcImageHg2 back;
    ASSERT_TRUE(back.Load(&in, 77));
    EXPECT_EQ(3, back.bytesPerPixel);
    EXPECT_EQ(3, back.pitch);
    EXPECT_EQ(0, memcmp(back.pixels, kPixel, 3));
    EXPECT_EQ(0, back.alphaState);
    EXPECT_EQ(1, back.canvasWidth);
}

TEST(Hg2CodingTest, FoldAndUnfold)
{
    const uint8_t in[5] = {0, 255, 1, 128, 127}, out[5] = {0, 1, 2, 255, 254};
    kcHg2Coding coding;
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(out[i], kcHg2Coding::Fold(in[i]));
        EXPECT_EQ(in[i], coding.Unfold(out[i]));
    }
    uint8_t px[2] = {0x0F, 0x01};
    kcHg2Coding::WidenDepth(px, 2, 4);
    EXPECT_EQ(0xFF, px[0]);
    EXPECT_EQ(0x11, px[1]);
}

TEST(Hg2Test, RoundTripCropsToOpaqueBoundsAndKeepsPlacement)
{
    struct Case {
        int w, h, bpp;
    } cases[] = {{1, 1, 4}, {7, 5, 3}, {33, 17, 4}, {300, 40, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        std::vector<uint8_t> px = Pattern(c.w, c.h, c.bpp);
        kcImageHg2 img;
        ASSERT_TRUE(img.Create(c.w, c.h, c.bpp));
        for (int y = 0; y < c.h; y++) memcpy(img.PixelAt(0, y), &px[static_cast<size_t>(y) * c.w * c.bpp], c.w * c.bpp);
        if (c.bpp == 4)
            for (int y = 0; y < c.h; y++)
                for (int x = 0; x < c.w; x++) img.PixelAt(x, y)[3] = 255;
        MemoryBlock out;
        ASSERT_TRUE(img.Save(&out, 3, 11, 22, 0));
        EXPECT_EQ(0u, out.capacity % 8);
        kcImageHg2 back;
        std::string saved(reinterpret_cast<char*>(out.data), out.size);
        MemoryBlock in = View(saved);
        LogCapture log;
        ASSERT_TRUE(back.Load(&in, 3)) << (log.Lines().empty() ? "" : log.Lines()[0]);
        EXPECT_EQ(c.w, back.width);
        EXPECT_EQ(c.w * c.bpp, back.pitch);
        EXPECT_EQ(11, back.headerValueA);
        EXPECT_EQ(22, back.headerValueB);
        EXPECT_EQ(1, back.alphaState);
        for (int y = 0; y < c.h; y++) ASSERT_EQ(0, memcmp(back.PixelAt(0, y), img.PixelAt(0, y), c.w * c.bpp)) << y;
        out.Free();
    }

    // Opaque pixels only in columns 10..19, rows 5..9.
    kcImageHg2 img;
    ASSERT_TRUE(img.Create(40, 30, 4));
    for (int y = 5; y < 10; y++)
        for (int x = 10; x < 20; x++) {
            uint8_t* p = img.PixelAt(x, y);
            p[0] = static_cast<uint8_t>(x * y);
            p[3] = 255;
        }
    img.PixelAt(0, 0)[0] = 50; // colour under alpha 0, cleared by the save
    MemoryBlock out;
    ASSERT_TRUE(img.Save(&out, 0, 0, 0, 1));
    kcImageHg2 back;
    ASSERT_TRUE(back.Load(&out, 0));
    EXPECT_EQ(10, back.width);
    EXPECT_EQ(5, back.height);
    EXPECT_EQ(10, back.offsetX);
    EXPECT_EQ(5, back.offsetY);
    EXPECT_EQ(40, back.canvasWidth);
    EXPECT_EQ(30, back.canvasHeight);
    EXPECT_EQ(static_cast<uint8_t>(12 * 7), back.PixelAt(2, 2)[0]);
    out.Free();

    kcImageHg2 clear;
    ASSERT_TRUE(clear.Create(9, 9, 4));
    clear.PixelAt(0, 0)[0] = 50;
    ASSERT_TRUE(clear.Save(&out, 0, 0, 0, 1));
    ASSERT_TRUE(back.Load(&out, 0));
    EXPECT_EQ(2, back.width);
    EXPECT_EQ(2, back.height);
    EXPECT_EQ(0, back.offsetX);
    EXPECT_EQ(2, back.alphaState);
    EXPECT_EQ(0, back.PixelAt(0, 0)[0]);
    out.Free();
}

TEST(Hg2Test, WriterRefusesOneAndTwoBytePixels)
{
    LogCapture log;
    kcImageHg2 img;
    ASSERT_TRUE(img.Create(4, 4, 2));
    MemoryBlock out;
    EXPECT_FALSE(img.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(nullptr, out.data);
    EXPECT_EQ(0u, out.capacity);
    EXPECT_TRUE(log.Contains("この色数には対応していません"));
}

TEST(Hg2Test, FrameChainsIdsIndexesAndVersions)
{
    Hg2Frame a, b;
    a.id = 5;
    a.width = 3, a.height = 2, a.bpp = 4;
    a.pixels = Pattern(3, 2, 4, 1);
    a.canvasWidth = 10, a.canvasHeight = 12, a.offsetX = 4, a.offsetY = 6, a.transparent = 1, a.valueA = -3, a.valueB = 8;
    b = a;
    b.id = 9;
    b.width = 2, b.height = 3, b.bpp = 3;
    b.pixels = Pattern(2, 3, 3, 2);
    b.transparent = 0;

    for (int version : {32, 37}) {
        SCOPED_TRACE(version);
        std::string file = Hg2File(version, {a, b});
        MemoryBlock in = View(file);
        kcImageHg2 img;
        ASSERT_TRUE(img.Load(&in, 9));
        EXPECT_EQ(2, img.width);
        EXPECT_EQ(3, img.bytesPerPixel);
        EXPECT_EQ(0, memcmp(img.pixels, b.pixels.data(), b.pixels.size()));
        EXPECT_EQ(1, img.alphaState);
        ASSERT_TRUE(img.Load(&in, 5));
        EXPECT_EQ(0, memcmp(img.pixels, a.pixels.data(), a.pixels.size()));
        EXPECT_EQ(2, img.alphaState);
        EXPECT_EQ(4, img.offsetX);
        EXPECT_EQ(12, img.canvasHeight);
        EXPECT_EQ(version == 37 ? -3 : 0, img.headerValueA);
        EXPECT_EQ(version == 37 ? 8 : 0, img.headerValueB);

        LogCapture log;
        EXPECT_FALSE(img.Load(&in, 6));
        EXPECT_TRUE(log.Contains("HG2(6) : 対応するIDが見つかりません"));
        int id = -1;
        ASSERT_TRUE(img.LoadIndexed(&in, 1, &id));
        EXPECT_EQ(9, id);
        EXPECT_FALSE(img.LoadIndexed(&in, 2, &id));
    }

    std::string single = Hg2File(37, {a});
    MemoryBlock in = View(single);
    kcImageHg2 img;
    int id = 0;
    EXPECT_FALSE(img.LoadIndexed(&in, 1, &id));
    ASSERT_TRUE(img.LoadIndexed(&in, 0, &id));
    EXPECT_EQ(5, id);

    Hg2Frame d = b;
    d.depth = 4;
    d.pixels.assign(d.pixels.size(), 0x0A);
    std::string v16 = Hg2File(16, {d});
    in = View(v16);
    ASSERT_TRUE(img.Load(&in, 1234));
    EXPECT_EQ(0xAA, img.pixels[0]);
    EXPECT_EQ(2, img.canvasWidth);
    EXPECT_EQ(0, img.offsetX);
    EXPECT_EQ(0, img.alphaState);
    ASSERT_TRUE(img.LoadIndexed(&in, 0, &id));
    EXPECT_EQ(0, id);
    EXPECT_FALSE(img.LoadIndexed(&in, 1, &id));
}

TEST(Hg2Test, BadHeadersAndStreams)
{
    Hg2Frame a;
    a.width = 4, a.height = 4, a.bpp = 4;
    a.pixels = Pattern(4, 4, 4);
    std::string good = Hg2File(37, {a});
    struct Case {
        const char* what;
        size_t offset;
        std::string bytes;
        const char* message;
        bool chainOnly;
    } cases[] = {
        {"signature", 3, "3", "HG2 : ヘッダが違います"},
        {"version", 8, Le16(33), "HG2 : 未対応のバージョンです"},
        {"byte area raw size", 12 + 24, Le32(1), "kcImageHg2 : バイト領域のサイズが異常です"},
        {"bit area raw size", 12 + 32, Le32(3), "kcImageHg2 : ビット領域のサイズが異常です"},
        {"huge raw size", 12 + 24, Le32(0x7FFFFFF0), "kcImageHg2 : バイト領域のサイズが異常です"},
        {"bpp 40", 12 + 8, Le16(40), "HG2 : データが壊れています"},
        {"bpp 0", 12 + 8, Le16(0), "HG2 : データが壊れています"},
        {"depth 3", 12 + 10, Le16(3), "HG2 : データが壊れています"},
        {"depth 8", 12 + 10, Le16(8), "HG2 : データが壊れています"},
        {"overflowing size", 12, Le32(0x40000000) + Le32(0x40000000), "HG2 : データが壊れています"},
        {"packed size past end", 12 + 20, Le32(0xFFFFFF00), "HG2 : データが壊れています"},
        {"data offset past end", 48, Le32(0xFFFFFFF0), "HG2 : データが壊れています"},
        {"next record backwards", 48 + 28, Le32(0xFFFFFFD0), "HG2 : データが壊れています", true},
        {"next record inside itself", 48 + 28, Le32(8), "HG2 : データが壊れています", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string file = good;
        file.replace(c.offset, c.bytes.size(), c.bytes);
        MemoryBlock in = View(file);
        LogCapture log;
        kcImageHg2 img;
        EXPECT_FALSE(img.Load(&in, 1)); // id 1 makes the reader follow the chain
        if (!c.chainOnly) {
            EXPECT_FALSE(img.Load(&in, 0));
        }
        EXPECT_TRUE(log.Contains(c.message));
    }
    // Truncations at every length fail cleanly.
    for (size_t n = 0; n < good.size(); n++) {
        std::string cut = good.substr(0, n);
        MemoryBlock in = View(cut);
        kcImageHg2 img;
        EXPECT_FALSE(img.Load(&in, 0)) << n;
    }
    EXPECT_FALSE(kcImageHg2::Probe(nullptr));
    MemoryBlock empty;
    EXPECT_FALSE(kcImageHg2::Probe(&empty));
    MemoryBlock in = View(good);
    EXPECT_TRUE(kcImageHg2::Probe(&in));
}

TEST(Hg2Test, PlaneTotalMustMatchTheRows)
{
    std::vector<uint8_t> px = Pattern(20, 20, 4);
    struct Case {
        uint32_t extra;
        bool ok;
    } cases[] = {{0, true}, {4096, true}, {4100, false}};
    for (const Case& c : cases) {
        Hg2Coded coded = Hg2Encode(px.data(), 80, 20, 20, 4, c.extra);
        std::string file = "HG-2" + Le32(12) + Le32(16) + Le32(20) + Le32(20) + Le16(32) + Le16(0) + Le32(0) + Le32(0) +
                           Le32(coded.packedArea.size()) + Le32(coded.area.size()) + Le32(coded.packedBits.size()) +
                           Le32(coded.bits.size()) + coded.packedArea + coded.packedBits;
        MemoryBlock in = View(file);
        kcImageHg2 img;
        EXPECT_EQ(c.ok, img.Load(&in, 0)) << c.extra;
    }
}

TEST(ZlibTest, CompressDecompressAndTheirEdges)
{
    std::string raw(100000, '\0');
    for (size_t i = 0; i < raw.size(); i++) raw[i] = static_cast<char>((i * 7) ^ (i >> 5));
    std::vector<uint8_t> packed(200000);
    int n = kcZlibCompress(packed.data(), 200000, reinterpret_cast<const uint8_t*>(raw.data()), 100000);
    ASSERT_GT(n, 0);
    // Too small a destination: the size is still reported and exceeds the capacity.
    std::vector<uint8_t> small(10);
    EXPECT_EQ(n, kcZlibCompress(small.data(), 10, reinterpret_cast<const uint8_t*>(raw.data()), 100000));

    std::vector<uint8_t> out(100100, 0xEE);
    EXPECT_EQ(100000, kcZlibDecompress(out.data(), 100100, packed.data(), n));
    EXPECT_EQ(0, memcmp(out.data(), raw.data(), 100000));
    EXPECT_EQ(0xEE, out[100050]); // nothing behind the stream: rest untouched

    std::vector<uint8_t> trailing(packed.begin(), packed.begin() + n);
    trailing.insert(trailing.end(), 5, 0x55);
    out.assign(100100, 0xEE);
    EXPECT_EQ(100000, kcZlibDecompress(out.data(), 100100, trailing.data(), n + 5));
    EXPECT_EQ(0, out[100050]); // extra bytes: rest zero-filled

    std::vector<uint8_t> corrupt(packed.begin(), packed.begin() + n);
    corrupt[2] = 0x07; // first block of a reserved type
    out.assign(100100, 0xEE);
    EXPECT_EQ(0, kcZlibDecompress(out.data(), 100100, corrupt.data(), n));
    EXPECT_EQ(0, out[0]);
    EXPECT_EQ(0, out[100099]);

    out.assign(10, 0xEE);
    EXPECT_EQ(10, kcZlibDecompress(out.data(), 10, packed.data(), n)); // cut at capacity
    EXPECT_EQ(0, kcZlibDecompress(out.data(), 10, packed.data(), 0));
}
