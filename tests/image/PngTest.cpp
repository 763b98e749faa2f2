#include "image/kcImagePng.h"
#include "image/FormatTestSupport.h"
#include "foundation/kcHeap.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>

namespace {

struct Loaded {
    kcImagePng image;
    bool ok;
    explicit Loaded(const ByteVec& file)
    {
        MemoryBlock block = ExternalBlock(file);
        ok = image.Load(&block, 0);
    }
    ByteVec Px(int x, int y) const
    {
        const uint8_t* p = image.PixelAt(x, y);
        return ByteVec(p, p + image.bytesPerPixel);
    }
};

} // namespace

TEST(Png, RoundTripKeepsBlueGreenRedOrder)
{
    for (int bpp = 3; bpp <= 4; ++bpp) {
        kcImagePng image;
        FillPattern(&image, 7, 5, bpp);
        MemoryBlock out;
        ASSERT_TRUE(image.Save(&out, 0, 0, 0, 0));
        EXPECT_EQ(0u, out.size % 8);
        EXPECT_EQ(out.size, out.capacity);
        EXPECT_TRUE(kcImagePng::Probe(&out));
        // Colour type RGB or RGBA at 8 bits, and the file ends with IEND inside the padding.
        EXPECT_EQ(8, out.data[24]);
        EXPECT_EQ(bpp == 3 ? 2 : 6, out.data[25]);
        ByteVec bytes = BlockBytes(out);
        const uint8_t iend[] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
        auto at = std::search(bytes.begin(), bytes.end(), iend, iend + 8);
        ASSERT_NE(bytes.end(), at);
        uint32_t n = (uint32_t)(at - bytes.begin()) + 8;
        EXPECT_EQ((n + 7) / 8 * 8, out.size);

        kcImagePng back;
        ASSERT_TRUE(back.Load(&out, 0));
        EXPECT_EQ(bpp, back.bytesPerPixel);
        EXPECT_EQ((7 * bpp + 3) & ~3, back.pitch);
        for (int y = 0; y < 5; ++y) EXPECT_EQ(0, memcmp(image.PixelAt(0, y), back.PixelAt(0, y), 7 * bpp)) << y;
        out.Free();
    }
}

TEST(Png, HandBuiltFilesOfEveryColourKind)
{
    // RGB: file order R, G, B becomes B, G, R.
    Loaded rgb(MakePng(2, 1, 8, 2, {{10, 20, 30, 40, 50, 60}}));
    ASSERT_TRUE(rgb.ok);
    EXPECT_EQ(ByteVec({30, 20, 10}), rgb.Px(0, 0));
    EXPECT_EQ(ByteVec({60, 50, 40}), rgb.Px(1, 0));

    // Grey: B = G = R, three bytes.
    Loaded grey(MakePng(3, 1, 8, 0, {{0, 128, 255}}));
    ASSERT_TRUE(grey.ok);
    EXPECT_EQ(3, grey.image.bytesPerPixel);
    EXPECT_EQ(ByteVec({128, 128, 128}), grey.Px(1, 0));

    // One-bit grey widens to 0 and 255.
    Loaded bits(MakePng(3, 1, 1, 0, {{0xA0}}));
    ASSERT_TRUE(bits.ok);
    EXPECT_EQ(ByteVec({255, 255, 255}), bits.Px(0, 0));
    EXPECT_EQ(ByteVec({0, 0, 0}), bits.Px(1, 0));
    EXPECT_EQ(ByteVec({255, 255, 255}), bits.Px(2, 0));

    // Palette with tRNS: four bytes with the table's alpha.
    Loaded pal(MakePng(2, 1, 8, 3, {{0, 1}}, {1, 2, 3, 4, 5, 6}, {0x40}));
    ASSERT_TRUE(pal.ok);
    EXPECT_EQ(4, pal.image.bytesPerPixel);
    EXPECT_EQ(ByteVec({3, 2, 1, 0x40}), pal.Px(0, 0));
    EXPECT_EQ(ByteVec({6, 5, 4, 255}), pal.Px(1, 0));

    // 16-bit samples keep their high bytes.
    Loaded deep(MakePng(1, 1, 16, 6, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}}));
    ASSERT_TRUE(deep.ok);
    EXPECT_EQ(ByteVec({0x9A, 0x56, 0x12, 0xDE}), deep.Px(0, 0));

    // Grey with alpha becomes four bytes, B = G = R.
    Loaded greyAlpha(MakePng(1, 2, 8, 4, {{90, 7}, {200, 255}}));
    ASSERT_TRUE(greyAlpha.ok);
    EXPECT_EQ(4, greyAlpha.image.bytesPerPixel);
    EXPECT_EQ(ByteVec({90, 90, 90, 7}), greyAlpha.Px(0, 0));
    EXPECT_EQ(ByteVec({200, 200, 200, 255}), greyAlpha.Px(0, 1));
}

TEST(Png, DamagedFilesFailCleanly)
{
    ByteVec good = MakePng(4, 4, 8, 2, std::vector<ByteVec>(4, ByteVec(12, 0x33)));
    ASSERT_TRUE(Loaded(good).ok);
    ByteVec badCrc = good;
    badCrc[29] ^= 1; // IHDR's CRC
    ByteVec hugeSize = MakePng(0x7FFFFFFF, 0x7FFFFFFF, 8, 2, {{1, 2, 3}});
    std::vector<ByteVec> bad = {badCrc, hugeSize, ByteVec(good.begin(), good.begin() + 8), ByteVec{0x89, 'P'}};
    for (size_t cut : {(size_t)20, (size_t)33, (size_t)45, good.size() - 13, good.size() - 1}) bad.push_back(ByteVec(good.begin(), good.begin() + cut));
    int live = kcHeapLiveBlocks();
    for (size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(Loaded(bad[i]).ok) << i;
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

TEST(Png, ProbeAndUnwritableDepths)
{
    ByteVec sig = {0x89, 'P', 'N'};
    MemoryBlock prefix = ExternalBlock(sig);
    EXPECT_TRUE(kcImagePng::Probe(&prefix));
    ByteVec other = {0x89, 'P', 'X', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0};
    MemoryBlock m = ExternalBlock(other);
    EXPECT_FALSE(kcImagePng::Probe(&m));
    EXPECT_FALSE(kcImagePng::Probe(nullptr));
    MemoryBlock empty;
    EXPECT_FALSE(kcImagePng::Probe(&empty));

    for (int bpp = 1; bpp <= 2; ++bpp) {
        kcImagePng image;
        FillPattern(&image, 4, 4, bpp);
        EXPECT_TRUE(SaveRefusedAndUntouched(&image)) << bpp;
    }
}
