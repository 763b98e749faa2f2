#include "image/kcImageHg2.h"
#include "image/kcZlib.h"
#include "image/ImageFixtures.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>

namespace {
std::string Inflate(const std::string& s, size_t at, uint32_t n)
{
    uLongf size = 1 << 16;
    std::string out(size, '\0');
    uncompress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(s.data()) + at, n);
    out.resize(size);
    return out;
}

// The coding of a 1x1 picture (B, G, R) = (0x10, 0x80, 0xFF), worked out by hand:
// folded 0x20 0xFF 0x01, planes 0C | 0E | 0C | 1C each followed by 255 zeros, so the byte area
// is those four bytes and the bit stream is 1, gamma(1024), then (gamma 1, gamma 255) x 4.
const std::string kArea("\x0C\x0E\x0C\x1C", 4);
const std::string kBits("\x01\x08\x40\xC0\x7F\xC0\x7F\xC0\x7F\xC0\x3F", 11);
const std::string kPixel("\x10\x80\xFF", 3);

} // namespace

TEST(Hg2Test, HandComputedOnePixelFile)
{
    Hg2Coded c = Hg2Encode(reinterpret_cast<const uint8_t*>(kPixel.data()), 3, 1, 1, 3);
    EXPECT_EQ(kArea, c.area);
    EXPECT_EQ(kBits, c.bits);

    // The library's writer: header, info block and record as laid out, then the same streams.
    kcImageHg2 img;
    Paint(&img, 1, 1, 3, kPixel);
    MemoryBlock out;
    ASSERT_TRUE(img.Save(&out, 7, 11, -2, 0));
    EXPECT_EQ(0u, out.capacity % 8);
    EXPECT_GE(out.capacity, 102400u);
    std::string file(reinterpret_cast<char*>(out.data), out.size);
    out.Free();
    uint32_t p1 = At32(file, 32), p2 = At32(file, 40);
    EXPECT_EQ("HG-2" + Le32(12) + Le32(37) + Le32(1) + Le32(1) + Le16(24) + Le16(0) + Le32(0) + Le32(0) + Le32(p1) +
                  Le32(4) + Le32(p2) + Le32(11) + Le32(40) + Le32(7) + Le32(1) + Le32(1) + std::string(16, '\0') +
                  Le32(11) + Le32(uint32_t(-2)),
              file.substr(0, 88));
    EXPECT_EQ(88u + p1 + p2, file.size());
    EXPECT_EQ(kArea, Inflate(file, 88, p1));
    EXPECT_EQ(kBits, Inflate(file, 88 + p1, p2));

    // A version-16 file built by hand around the streams decodes to the pixel, with any id.
    std::string a = Zlib(kArea), b = Zlib(kBits);
    std::string v16 = "HG-2" + Le32(12) + Le32(16) + Le32(1) + Le32(1) + Le16(24) + Le16(0) + Le32(0) + Le32(0) +
                      Le32(uint32_t(a.size())) + Le32(4) + Le32(uint32_t(b.size())) + Le32(11) + a + b;
    MemoryBlock in = View(v16);
    kcImageHg2 back;
    ASSERT_TRUE(back.Load(&in, 77));
    EXPECT_EQ(kPixel, Rows(back));
    EXPECT_EQ(Ints({3, 3, 0, 1}), Ints({back.bytesPerPixel, back.pitch, back.alphaState, back.canvasWidth}));
}

TEST(Hg2Test, FoldUnfoldAndDepthWidening)
{
    const uint8_t in[5] = {0, 255, 1, 128, 127}, folded[5] = {0, 1, 2, 255, 254};
    kcHg2Coding coding;
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(folded[i], kcHg2Coding::Fold(in[i]));
        EXPECT_EQ(in[i], coding.Unfold(folded[i]));
    }
    uint8_t px[3] = {0x0F, 0x01, 0x3F};
    kcHg2Coding::WidenDepth(px, 2, 4);
    kcHg2Coding::WidenDepth(px + 2, 1, 6);
    EXPECT_EQ(Ints({0xFF, 0x11, 0xFF}), Ints(px, px + 3));
}

// Plain round trips run in FormatsTest; here the writer's cropping and placement.
TEST(Hg2Test, SaveCropsToOpaqueBounds)
{
    // Opaque pixels only in columns 10..19, rows 5..9: a 10 x 5 picture placed on the old size.
    kcImageHg2 img, back;
    ASSERT_TRUE(img.Create(40, 30, 4));
    for (int y = 5; y < 10; y++)
        for (int x = 10; x < 20; x++) img.PixelAt(x, y)[0] = uint8_t(x * y), img.PixelAt(x, y)[3] = 255;
    img.PixelAt(0, 0)[0] = 50; // colour under alpha 0
    std::string file = Saved(img, 11, 22, 1);
    MemoryBlock in = View(file);
    ASSERT_TRUE(back.Load(&in, 0));
    EXPECT_EQ(Ints({10, 5, 10, 5, 40, 30, 11, 22}), Ints({back.width, back.height, back.offsetX, back.offsetY,
                                                          back.canvasWidth, back.canvasHeight, back.headerValueA, back.headerValueB}));
    EXPECT_EQ(12 * 7, back.PixelAt(2, 2)[0]);

    // Fully transparent: 2 x 2 at (0, 0), the colours cleared.
    kcImageHg2 clear;
    ASSERT_TRUE(clear.Create(9, 9, 4));
    clear.PixelAt(0, 0)[0] = 50;
    file = Saved(clear, 0, 0, 1);
    in = View(file);
    ASSERT_TRUE(back.Load(&in, 0));
    EXPECT_EQ(Ints({2, 2, 0, 2}), Ints({back.width, back.height, back.offsetX, back.alphaState}));
    EXPECT_EQ(std::string(16, '\0'), Rows(back));
}

TEST(Hg2Test, FrameChainsIdsIndexesAndVersions)
{
    Hg2Frame a, b;
    a.id = 5, a.width = 3, a.height = 2, a.bpp = 4, a.pixels = Pattern(3, 2, 4, 1);
    a.canvasWidth = 10, a.canvasHeight = 12, a.offsetX = 4, a.offsetY = 6, a.transparent = 1, a.valueA = -3, a.valueB = 8;
    b = a;
    b.id = 9, b.width = 2, b.height = 3, b.bpp = 3, b.pixels = Pattern(2, 3, 3, 2), b.transparent = 0;
    kcImageHg2 img;
    int id = -1;
    for (int version : {32, 37}) {
        SCOPED_TRACE(version);
        std::string file = Hg2File(version, {a, b});
        MemoryBlock in = View(file);
        ASSERT_TRUE(img.Load(&in, 9));
        EXPECT_EQ(b.pixels, Rows(img));
        EXPECT_EQ(1, img.alphaState);
        ASSERT_TRUE(img.Load(&in, 5));
        EXPECT_EQ(a.pixels, Rows(img));
        EXPECT_EQ(Ints({2, 4, 6, 10, 12}), Ints({img.alphaState, img.offsetX, img.offsetY, img.canvasWidth, img.canvasHeight}));
        EXPECT_EQ(version == 37 ? Ints({-3, 8}) : Ints({0, 0}), Ints({img.headerValueA, img.headerValueB}));
        LogCapture log;
        EXPECT_FALSE(img.Load(&in, 6));
        EXPECT_TRUE(log.Contains("HG2(6) : 対応するIDが見つかりません"));
        ASSERT_TRUE(img.LoadIndexed(&in, 1, &id));
        EXPECT_EQ(9, id);
        EXPECT_FALSE(img.LoadIndexed(&in, 2, &id));
    }
    std::string single = Hg2File(37, {a});
    MemoryBlock in = View(single);
    EXPECT_FALSE(img.LoadIndexed(&in, 1, &id));
    ASSERT_TRUE(img.LoadIndexed(&in, 0, &id));
    EXPECT_EQ(5, id);

    // Version 16: any id, canvas = size, alpha state 0; depth 4 widens 0x0A to 0xAA.
    b.depth = 4;
    b.pixels.assign(b.pixels.size(), '\x0A');
    std::string v16 = Hg2File(16, {b});
    in = View(v16);
    ASSERT_TRUE(img.Load(&in, 1234));
    EXPECT_EQ(Ints({0xAA, 2, 0, 0}), Ints({img.pixels[0], img.canvasWidth, img.offsetX, img.alphaState}));
    ASSERT_TRUE(img.LoadIndexed(&in, 0, &id));
    EXPECT_EQ(0, id);
    EXPECT_FALSE(img.LoadIndexed(&in, 1, &id));
}

TEST(Hg2Test, BadFilesFailWithTheirMessages)
{
    Hg2Frame a;
    a.width = 4, a.height = 4, a.bpp = 4, a.pixels = Pattern(4, 4, 4);
    const std::string good = Hg2File(37, {a});
    const char* kBroken = "HG2 : データが壊れています";
    const char* kByteArea = "kcImageHg2 : バイト領域のサイズが異常です";
    struct Case {
        const char* what;
        size_t offset;
        std::string bytes;
        const char* message;
        bool chainOnly;
    } cases[] = {
        {"signature", 3, "3", "HG2 : ヘッダが違います"},
        {"version", 8, Le16(33), "HG2 : 未対応のバージョンです"},
        {"byte area raw size", 36, Le32(1), kByteArea},
        {"bit area raw size", 44, Le32(3), "kcImageHg2 : ビット領域のサイズが異常です"},
        {"both raw sizes: stream 1 is reported", 36, Le32(1) + good.substr(40, 4) + Le32(3), kByteArea},
        {"huge raw size", 36, Le32(0x7FFFFFF0), kByteArea},
        {"bpp 40", 20, Le16(40), kBroken},
        {"bpp 0", 20, Le16(0), kBroken},
        {"depth 3", 22, Le16(3), kBroken},
        {"depth 8", 22, Le16(8), kBroken},
        {"overflowing size", 12, Le32(0x40000000) + Le32(0x40000000), kBroken},
        {"packed size past end", 32, Le32(0xFFFFFF00), kBroken},
        {"data offset past end", 48, Le32(0xFFFFFFF0), kBroken},
        {"next record backwards", 76, Le32(0xFFFFFFD0), kBroken, true},
        {"next record inside itself", 76, Le32(8), kBroken, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string file = good;
        file.replace(c.offset, c.bytes.size(), c.bytes);
        MemoryBlock in = View(file);
        LogCapture log;
        kcImageHg2 img;
        EXPECT_FALSE(img.Load(&in, 1)); // id 1 makes the reader follow the chain
        EXPECT_FALSE(!c.chainOnly && img.Load(&in, 0));
        EXPECT_TRUE(log.Contains(c.message));
        EXPECT_FALSE(c.message == kByteArea && log.Contains("kcImageHg2 : ビット領域のサイズが異常です"));
    }
    MemoryBlock in = View(good), empty;
    EXPECT_TRUE(kcImageHg2::Probe(&in));
    EXPECT_FALSE(kcImageHg2::Probe(&empty));
    LogCapture log;
    kcImageHg2 two;
    ASSERT_TRUE(two.Create(4, 4, 2));
    MemoryBlock out;
    EXPECT_FALSE(two.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(nullptr, out.data);
    EXPECT_TRUE(log.Contains("この色数には対応していません"));
}

TEST(Hg2Test, PlaneTotalMustCoverTheRowsWithinSlack)
{
    std::string px = Pattern(20, 20, 4);
    for (uint32_t extra : {0u, 4096u, 4100u}) {
        Hg2Coded c = Hg2Encode(reinterpret_cast<const uint8_t*>(px.data()), 80, 20, 20, 4, extra);
        std::string file = "HG-2" + Le32(12) + Le32(16) + Le32(20) + Le32(20) + Le16(32) + Le16(0) + Le32(0) + Le32(0) +
                           Le32(uint32_t(c.packedArea.size())) + Le32(uint32_t(c.area.size())) +
                           Le32(uint32_t(c.packedBits.size())) + Le32(uint32_t(c.bits.size())) + c.packedArea + c.packedBits;
        MemoryBlock in = View(file);
        kcImageHg2 img;
        EXPECT_EQ(extra <= 4096, img.Load(&in, 0)) << extra;
    }
}

TEST(ZlibTest, CompressDecompressAndTheirEdges)
{
    std::string raw(100000, '\0');
    for (size_t i = 0; i < raw.size(); i++) raw[i] = char((i * 7) ^ (i >> 5));
    const uint8_t* src = reinterpret_cast<const uint8_t*>(raw.data());
    std::vector<uint8_t> packed(200000), small(10), out;
    int n = kcZlibCompress(packed.data(), 200000, src, 100000);
    ASSERT_GT(n, 0);
    EXPECT_EQ(n, kcZlibCompress(small.data(), 10, src, 100000)); // counted even when it does not fit
    packed.resize(n);
    auto inflate = [&](std::vector<uint8_t> stream, size_t capacity) {
        out.assign(capacity, 0xEE);
        return kcZlibDecompress(out.data(), uint32_t(capacity), stream.data(), uint32_t(stream.size()));
    };
    EXPECT_EQ(100000, inflate(packed, 100100));
    EXPECT_EQ(raw, std::string(out.begin(), out.begin() + 100000));
    EXPECT_EQ(0xEE, out[100050]); // nothing behind the stream: the rest untouched
    std::vector<uint8_t> trailing = packed;
    trailing.insert(trailing.end(), 5, 0x55);
    EXPECT_EQ(100000, inflate(trailing, 100100));
    EXPECT_EQ(0, out[100050]); // extra bytes: the rest zero-filled
    std::vector<uint8_t> corrupt = packed;
    corrupt[2] = 0x07; // a block of the reserved type
    EXPECT_EQ(0, inflate(corrupt, 100100));
    EXPECT_EQ(0, out[0] | out[100099]);
    EXPECT_EQ(10, inflate(packed, 10)); // cut at the capacity
    // A stream that goes on past a full destination: the capacity, holding the first bytes.
    std::string tail = ZlibLongTail(raw.substr(0, 5000), 5000);
    EXPECT_EQ(5000, inflate(std::vector<uint8_t>(tail.begin(), tail.end()), 5000));
    EXPECT_EQ(raw.substr(0, 5000), std::string(out.begin(), out.end()));
    EXPECT_EQ(0, inflate(std::vector<uint8_t>(), 10));
}
