#include "image/kcImageWebP.h"
#include "image/FormatTestSupport.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>

namespace {

void FillHalves(kcImage* image, int w, int h, bool alpha)
{
    image->Create(w, h, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = image->PixelAt(x, y);
            bool top = y < h / 2;
            p[0] = top ? 220 : 20;
            p[1] = top ? 40 : 200;
            p[2] = 90;
            p[3] = alpha && !top ? 0x80 : 255;
        }
}

ByteVec SaveWebP(int w, int h, bool alpha)
{
    kcImageWebP image;
    FillHalves(&image, w, h, alpha);
    MemoryBlock out;
    EXPECT_TRUE(image.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(0u, out.size % 8);
    EXPECT_EQ(out.size, out.capacity);
    ByteVec bytes = BlockBytes(out);
    out.Free();
    return bytes;
}

bool Near(const uint8_t* a, int r, int g, int b, int tolerance)
{
    return std::abs(a[0] - r) <= tolerance && std::abs(a[1] - g) <= tolerance && std::abs(a[2] - b) <= tolerance;
}

} // namespace

TEST(WebP, RoundTripInRedFirstOrderWithAlpha)
{
    ByteVec file = SaveWebP(21, 16, true);
    EXPECT_EQ(0, memcmp(file.data(), "RIFF", 4));
    MemoryBlock block = ExternalBlock(file);
    EXPECT_TRUE(kcImageWebP::Probe(&block));
    kcImageWebP image;
    ASSERT_TRUE(image.Load(&block, 0));
    EXPECT_EQ(21, image.width);
    EXPECT_EQ(16, image.height);
    EXPECT_EQ(4, image.bytesPerPixel);
    EXPECT_EQ(84, image.pitch);
    EXPECT_TRUE(Near(image.PixelAt(5, 2), 220, 40, 90, 16));
    EXPECT_TRUE(Near(image.PixelAt(5, 13), 20, 200, 90, 16));
    EXPECT_EQ(255, image.PixelAt(5, 2)[3]);
    EXPECT_EQ(0x80, image.PixelAt(5, 13)[3]);
}

TEST(WebP, OpaquePictureStillLoadsFourBytes)
{
    ByteVec file = SaveWebP(6, 4, false);
    MemoryBlock block = ExternalBlock(file);
    kcImageWebP image;
    ASSERT_TRUE(image.Load(&block, 0));
    EXPECT_EQ(4, image.bytesPerPixel);
    EXPECT_EQ(24, image.pitch);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(255, image.PixelAt(x, y)[3]);
}

TEST(WebP, DecodeIntoCallerPixels)
{
    ByteVec file = SaveWebP(8, 8, true);
    std::vector<uint8_t> rgba(8 * 8 * 4), rgb(8 * 8 * 3 + 1, 0x5A);
    ASSERT_TRUE(kcWebPDecodeTo(file.data(), (uint32_t)file.size(), rgba.data(), 8, 8, 32, 4));
    ASSERT_TRUE(kcWebPDecodeTo(file.data(), (uint32_t)file.size(), rgb.data(), 8, 8, 24, 3));
    EXPECT_EQ(0x5A, rgb.back());
    EXPECT_EQ(0, memcmp(&rgba[0], &rgb[0], 3));
    EXPECT_EQ(0x80, rgba[7 * 32 + 3]);
    EXPECT_FALSE(kcWebPDecodeTo(file.data(), (uint32_t)file.size(), rgba.data(), 4, 16, 16, 4));
    EXPECT_FALSE(kcWebPDecodeTo(file.data(), (uint32_t)file.size(), rgba.data(), 8, 8, 8, 1));
}

TEST(WebP, DamagedInputAndThreeByteSave)
{
    ByteVec file = SaveWebP(16, 16, true);
    ByteVec cut(file.begin(), file.begin() + file.size() / 2);
    MemoryBlock mc = ExternalBlock(cut);
    kcImageWebP image;
    EXPECT_FALSE(image.Load(&mc, 0));
    EXPECT_EQ(nullptr, image.pixels);
    ByteVec junk(64, 0x41);
    MemoryBlock mj = ExternalBlock(junk);
    EXPECT_FALSE(kcImageWebP::Probe(&mj));
    EXPECT_FALSE(image.Load(&mj, 0));
    EXPECT_FALSE(kcImageWebP::Probe(nullptr));

    kcImageWebP three;
    three.Create(4, 4, 3);
    EXPECT_TRUE(SaveRefusedAndUntouched(&three));
}
