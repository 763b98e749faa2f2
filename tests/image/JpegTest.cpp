#include "image/kcImageJpeg.h"
#include "image/FormatTestSupport.h"
#include "foundation/kcHeap.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>

namespace {

// Flat colour blocks survive lossy coding within a few levels.
void FillBlocks(kcImage* image, int w, int h, int bpp)
{
    image->Create(w, h, bpp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = image->PixelAt(x, y);
            bool left = x < w / 2;
            p[0] = left ? 200 : 40;
            p[1] = y < h / 2 ? 30 : 160;
            p[2] = left ? 30 : 220;
            if (bpp == 4) p[3] = 255;
        }
}

bool Near(const uint8_t* a, const uint8_t* b, int n, int tolerance)
{
    for (int i = 0; i < n; ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}

ByteVec SaveJpeg(int w, int h)
{
    kcImageJpeg image;
    FillBlocks(&image, w, h, 3);
    MemoryBlock out;
    EXPECT_TRUE(image.Save(&out, 0, 0, 0, 0));
    ByteVec bytes = BlockBytes(out);
    out.Free();
    return bytes;
}

} // namespace

TEST(Jpeg, RoundTripKeepsTheStoredByteOrder)
{
    kcImageJpeg image;
    FillBlocks(&image, 33, 17, 3);
    MemoryBlock out;
    ASSERT_TRUE(image.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(0xFF, out.data[0]);
    EXPECT_EQ(0xD8, out.data[1]);
    EXPECT_EQ(0xD9, out.data[out.size - 1]);
    EXPECT_EQ(8192u, out.capacity); // max(pitch x height, 8192)
    EXPECT_TRUE(kcImageJpeg::Probe(&out));

    kcImageJpeg back;
    ASSERT_TRUE(back.Load(&out, 0));
    EXPECT_EQ(33, back.width);
    EXPECT_EQ(17, back.height);
    EXPECT_EQ(3, back.bytesPerPixel);
    EXPECT_EQ(100, back.pitch);
    int cw = 0, ch = 0;
    back.GetCanvasSize(&cw, &ch);
    EXPECT_EQ(33, cw);
    // Away from the block edges the colours come back, byte 0 still the first component.
    EXPECT_TRUE(Near(image.PixelAt(3, 3), back.PixelAt(3, 3), 3, 12));
    EXPECT_TRUE(Near(image.PixelAt(29, 14), back.PixelAt(29, 14), 3, 12));
    EXPECT_GT(back.PixelAt(3, 3)[0], 150);
    EXPECT_LT(back.PixelAt(3, 3)[2], 80);
    out.Free();
}

TEST(Jpeg, DecodeIntoCallerPixels)
{
    ByteVec file = SaveJpeg(16, 8);
    std::vector<uint8_t> px4(16 * 4 * 8, 0);
    ASSERT_TRUE(kcJpegDecodeTo(file.data(), (uint32_t)file.size(), px4.data(), 16, 8, 64, 4));
    for (int i = 0; i < 16 * 8; ++i) ASSERT_EQ(255, px4[i * 4 + 3]);
    EXPECT_GT(px4[0], 150);
    std::vector<uint8_t> px3(16 * 3 * 8 + 1, 0x5A);
    ASSERT_TRUE(kcJpegDecodeTo(file.data(), (uint32_t)file.size(), px3.data(), 16, 8, 48, 3));
    EXPECT_EQ(0x5A, px3.back());
    EXPECT_TRUE(Near(&px3[0], &px4[0], 3, 0));
    EXPECT_FALSE(kcJpegDecodeTo(file.data(), (uint32_t)file.size(), px4.data(), 8, 16, 32, 4));
    EXPECT_FALSE(kcJpegDecodeTo(file.data(), (uint32_t)file.size(), px4.data(), 16, 8, 64, 2));
}

TEST(Jpeg, ShortAndDamagedInput)
{
    ByteVec file = SaveJpeg(32, 32);
    ByteVec ten(file.begin(), file.begin() + 10);
    ByteVec eleven(file.begin(), file.begin() + 11);
    MemoryBlock m10 = ExternalBlock(ten), m11 = ExternalBlock(eleven);
    kcImageJpeg image;
    EXPECT_FALSE(kcImageJpeg::Probe(&m10));
    EXPECT_FALSE(image.Load(&m10, 0));
    EXPECT_FALSE(kcImageJpeg::Probe(&m11)); // parsed, but no complete header
    EXPECT_FALSE(image.Load(&m11, 0));

    // Cut inside the scan: the decoder's end-of-image handling completes the picture.
    size_t scan = 0;
    for (size_t i = 2; i + 1 < file.size() && !scan; ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDA) scan = i;
    ASSERT_NE(0u, scan);
    ByteVec cut(file.begin(), file.begin() + (scan + file.size()) / 2);
    MemoryBlock mc = ExternalBlock(cut);
    kcImageJpeg truncated;
    ASSERT_TRUE(truncated.Load(&mc, 0));
    EXPECT_EQ(32, truncated.width);

    // Library errors come back as failures; the process goes on and nothing leaks.
    int live = kcHeapLiveBlocks();
    ByteVec garbage = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xD9, 0, 0};
    MemoryBlock mg = ExternalBlock(garbage);
    EXPECT_FALSE(kcImageJpeg::Probe(&mg));
    kcImageJpeg bad;
    EXPECT_FALSE(bad.Load(&mg, 0));
    ByteVec noSof = file;
    for (size_t i = 2; i + 1 < noSof.size(); ++i)
        if (noSof[i] == 0xFF && noSof[i + 1] == 0xC0) noSof[i + 1] = 0xCF; // an unsupported coding
    MemoryBlock mn = ExternalBlock(noSof);
    EXPECT_FALSE(bad.Load(&mn, 0));
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

TEST(Jpeg, SaveDepthsAndDestinationHandling)
{
    // Four bytes are written as CMYK components, which the RGB reader cannot take back.
    kcImageJpeg four;
    FillBlocks(&four, 8, 8, 4);
    MemoryBlock out;
    ASSERT_TRUE(four.Save(&out, 0, 0, 0, 0));
    kcImageJpeg back;
    EXPECT_FALSE(back.Load(&out, 0));
    EXPECT_TRUE(kcImageJpeg::Probe(&out));

    // The old owned block is released when the new one replaces it.
    kcImageJpeg three;
    FillBlocks(&three, 8, 8, 3);
    int live = kcHeapLiveBlocks();
    ASSERT_TRUE(three.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(live, kcHeapLiveBlocks());

    kcImageJpeg one;
    one.Create(8, 8, 1);
    EXPECT_TRUE(SaveRefusedAndUntouched(&one));
    kcImageJpeg none;
    EXPECT_TRUE(SaveRefusedAndUntouched(&none));
    out.Free();
}
