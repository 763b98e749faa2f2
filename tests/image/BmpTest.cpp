#include "image/kcImageBmp.h"
#include "image/FormatTestSupport.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {

// A bitmap with a 40-byte header and rows of `stride` bytes, bottom row first as stored.
ByteVec MakeBmp(int w, int h, int bits, const ByteVec& rows, uint32_t compression = 0)
{
    ByteVec b;
    PutText(&b, "BM");
    PutLe32(&b, 54 + (uint32_t)rows.size());
    PutLe32(&b, 0);
    PutLe32(&b, 54);
    PutLe32(&b, 40);
    PutLe32(&b, (uint32_t)w);
    PutLe32(&b, (uint32_t)h);
    PutLe16(&b, 1);
    PutLe16(&b, (uint32_t)bits);
    PutLe32(&b, compression);
    PutLe32(&b, (uint32_t)rows.size());
    b.resize(54, 0);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

std::vector<uint8_t> Pixel(const kcImage& image, int x, int y)
{
    const uint8_t* p = image.PixelAt(x, y);
    return std::vector<uint8_t>(p, p + image.bytesPerPixel);
}

} // namespace

TEST(Bmp, SavedThreeByteImageHasPaddedRowsAndTheWrittenHeader)
{
    kcImageBmp image;
    FillPattern(&image, 3, 2, 3);
    MemoryBlock out;
    ASSERT_TRUE(image.Save(&out, 0, 0, 0, 0));
    ASSERT_EQ(80u, out.size); // 54 + 12 x 2, rounded up to 8
    EXPECT_EQ(80u, out.capacity);
    const uint8_t* d = out.data;
    EXPECT_EQ(0, memcmp(d, "BM", 2));
    EXPECT_EQ(78u, GetLe32(d + 2));
    EXPECT_EQ(0u, GetLe32(d + 6));
    EXPECT_EQ(54u, GetLe32(d + 10));
    EXPECT_EQ(40u, GetLe32(d + 14));
    EXPECT_EQ(3u, GetLe32(d + 18));
    EXPECT_EQ(2u, GetLe32(d + 22));
    EXPECT_EQ(1u, GetLe16(d + 26));
    EXPECT_EQ(24u, GetLe16(d + 28));
    EXPECT_EQ(0u, GetLe32(d + 30));
    EXPECT_EQ(24u, GetLe32(d + 34));
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(0, memcmp(d + 54 + 12 * y, image.PixelAt(0, y), 9));
        EXPECT_EQ(0, d[54 + 12 * y + 9] | d[54 + 12 * y + 10] | d[54 + 12 * y + 11]);
    }
    EXPECT_TRUE(kcImageBmp::Probe(&out));

    // Loading gives 4 bytes a pixel, opaque, rows in file order.
    kcImageBmp back;
    ASSERT_TRUE(back.Load(&out, 0));
    EXPECT_EQ(4, back.bytesPerPixel);
    EXPECT_EQ(12, back.pitch);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            std::vector<uint8_t> want = Pixel(image, x, y);
            want.push_back(255);
            EXPECT_EQ(want, Pixel(back, x, y));
        }
    out.Free();
}

TEST(Bmp, ThirtyTwoBitsKeepAlphaAndRoundTrip)
{
    kcImageBmp image;
    FillPattern(&image, 5, 3, 4);
    MemoryBlock out;
    ASSERT_TRUE(image.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(32u, GetLe16(out.data + 28));
    kcImageBmp back;
    ASSERT_TRUE(back.Load(&out, 0));
    for (int y = 0; y < 3; ++y) EXPECT_EQ(0, memcmp(image.PixelAt(0, y), back.PixelAt(0, y), 20));
    out.Free();
}

TEST(Bmp, CoreHeaderLoadsButIsNotProbed)
{
    ByteVec b;
    PutText(&b, "BM");
    PutLe32(&b, 26 + 8);
    PutLe32(&b, 0);
    PutLe32(&b, 26);
    PutLe32(&b, 12);
    PutLe16(&b, 2);
    PutLe16(&b, 1);
    PutLe16(&b, 1);
    PutLe16(&b, 24);
    ByteVec row = {1, 2, 3, 4, 5, 6, 0, 0};
    b.insert(b.end(), row.begin(), row.end());
    MemoryBlock block = ExternalBlock(b);
    EXPECT_FALSE(kcImageBmp::Probe(&block));
    kcImageBmp image;
    ASSERT_TRUE(image.Load(&block, 0));
    EXPECT_EQ(40u, image.info.size);
    EXPECT_EQ(2, image.info.width);
    EXPECT_EQ(24, image.info.bitCount);
    EXPECT_EQ(std::vector<uint8_t>({4, 5, 6, 255}), Pixel(image, 1, 0));
}

TEST(Bmp, LoadRefusesWhatItCannotRead)
{
    ByteVec rows24(8 * 2, 7);
    struct Case {
        const char* name;
        ByteVec file;
        bool logs;
    };
    ByteVec shortRows = MakeBmp(2, 2, 24, rows24);
    shortRows.resize(shortRows.size() - 3);
    ByteVec farOffset = MakeBmp(2, 2, 24, rows24);
    farOffset[10] = 0xF0;
    farOffset[13] = 0xFF;
    ByteVec header56 = MakeBmp(2, 2, 24, rows24);
    header56[14] = 56;
    std::vector<Case> cases = {
        {"not BM", ByteVec{'M', 'B', 0, 0}, true},
        {"header size 56", header56, true},
        {"16 bits", MakeBmp(2, 2, 16, rows24), false},
        {"pixels cut short", shortRows, false},
        {"pixel offset outside", farOffset, false},
        {"top-down rows", MakeBmp(2, -2, 24, rows24), true},
        {"run-length coded", MakeBmp(2, 2, 24, rows24, 1), true},
        {"huge width", MakeBmp(0x7FFFFFFF, 2, 32, rows24), false},
        {"headers cut", ByteVec{'B', 'M', 1, 2, 3}, false},
    };
    for (const Case& c : cases) {
        LogCapture log;
        kcImageBmp image;
        MemoryBlock block = ExternalBlock(c.file);
        EXPECT_FALSE(image.Load(&block, 0)) << c.name;
        EXPECT_EQ(c.logs, log.Contains("イメージのタイプが違います")) << c.name;
    }
    kcImageBmp image;
    EXPECT_FALSE(image.Load(nullptr, 0));
}

TEST(Bmp, ProbeAndSaveOfUnwritableDepths)
{
    ByteVec b24 = MakeBmp(1, 1, 24, ByteVec(4, 0));
    ByteVec b32 = MakeBmp(1, 1, 32, ByteVec(4, 0));
    ByteVec b8 = MakeBmp(1, 1, 8, ByteVec(4, 0));
    MemoryBlock m24 = ExternalBlock(b24), m32 = ExternalBlock(b32), m8 = ExternalBlock(b8);
    EXPECT_TRUE(kcImageBmp::Probe(&m24));
    EXPECT_TRUE(kcImageBmp::Probe(&m32));
    EXPECT_FALSE(kcImageBmp::Probe(&m8));
    EXPECT_FALSE(kcImageBmp::Probe(nullptr));

    for (int bpp = 1; bpp <= 2; ++bpp) {
        kcImageBmp image;
        FillPattern(&image, 3, 3, bpp);
        EXPECT_TRUE(SaveRefusedAndUntouched(&image)) << bpp;
    }
}
