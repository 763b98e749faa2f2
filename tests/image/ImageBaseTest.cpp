#include "image/kcImage.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {
// A 4-byte image whose pixel (x, y) is (x, y, x + y, alpha).
void Fill(kcImage& img, int w, int h, uint8_t alpha = 255)
{
    ASSERT_TRUE(img.Create(w, h, 4));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = img.PixelAt(x, y);
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(x + y);
            p[3] = alpha;
        }
}
} // namespace

TEST(MemoryBlockTest, AllocateRoundsToEightAndExternalIsNeverFreed)
{
    int live = kcHeapLiveBlocks();
    MemoryBlock b;
    EXPECT_EQ(1, b.reserved);
    EXPECT_EQ(0, b.external);
    ASSERT_NE(nullptr, b.Allocate(13));
    EXPECT_EQ(16u, b.size);
    EXPECT_EQ(16u, b.capacity);
    EXPECT_EQ(live + 1, kcHeapLiveBlocks());
    b.Free();
    EXPECT_EQ(nullptr, b.data);
    EXPECT_EQ(live, kcHeapLiveBlocks());

    uint8_t own[4] = {1, 2, 3, 4};
    MemoryBlock ext;
    ext.data = own;
    ext.size = ext.capacity = 4;
    ext.external = 1;
    ext.Free();
    EXPECT_EQ(nullptr, ext.data);
    EXPECT_EQ(1, ext.external);
    EXPECT_EQ(3, own[2]);
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

TEST(ImageTest, CreateRoundsPitchZeroFillsAndRefusesBadDepth)
{
    kcImage img;
    EXPECT_EQ(1, img.refCount);
    ASSERT_TRUE(img.Create(5, 3, 3));
    EXPECT_EQ(16, img.pitch);
    EXPECT_EQ(48u, img.pixelBytes);
    for (uint32_t i = 0; i < img.pixelBytes; i++) ASSERT_EQ(0, img.pixels[i]);
    EXPECT_EQ(5, img.bounds.right);
    EXPECT_EQ(3, img.bounds.bottom);

    LogCapture log;
    EXPECT_FALSE(img.Create(2, 2, 5));
    EXPECT_TRUE(log.Contains("不正な bpp です"));
    EXPECT_EQ(5, img.width);
    // Sizes whose product overflows 32 bits are refused, not wrapped.
    EXPECT_FALSE(img.Create(0x10000, 0x10000, 4));
    EXPECT_FALSE(img.Create(-1, 4, 4));
    EXPECT_EQ(5, img.width);
}

TEST(ImageTest, PixelAtChecksRangeAndBottomUpCountsFromLastRow)
{
    kcImage img;
    Fill(img, 4, 3);
    EXPECT_EQ(nullptr, img.PixelAt(4, 0));
    EXPECT_EQ(nullptr, img.PixelAt(-1, 0));
    EXPECT_EQ(nullptr, img.PixelAt(0, 3));
    EXPECT_EQ(img.PixelAt(1, 2), img.PixelAtBottomUp(1, 0));
    int w = 0, h = 0;
    EXPECT_EQ(48u, img.GetSize(&w, &h));
    EXPECT_EQ(4, w);
    img.GetCanvasSize(&w, &h);
    EXPECT_EQ(4, w);
    EXPECT_EQ(3, h);
}

TEST(ImageTest, FlattenOnWhite)
{
    kcImage img;
    ASSERT_TRUE(img.Create(4, 1, 4));
    const uint8_t src[4][4] = {{0, 0, 0, 255}, {10, 20, 30, 0}, {255, 0, 0, 255}, {0, 0, 200, 128}};
    memcpy(img.pixels, src, 16);
    img.FlattenOnColour(0x00FFFFFF);
    EXPECT_EQ(3, img.bytesPerPixel);
    EXPECT_EQ(12, img.pitch);
    const uint8_t* p = img.pixels;
    EXPECT_EQ(0, p[0]);   // opaque black stays black
    EXPECT_EQ(255, p[3]); // transparent gives the colour
    EXPECT_EQ(255, p[6]); // 255 over 255
    EXPECT_EQ(0, p[7]);   // 0 over 255 at alpha 255
    EXPECT_EQ(255 + ((0 - 255) * 128 >> 8), p[9]);
    EXPECT_EQ(255 + ((200 - 255) * 128 >> 8), p[11]);

    kcImage black;
    ASSERT_TRUE(black.Create(1, 1, 4));
    black.pixels[0] = 255;
    black.pixels[3] = 255;
    black.FlattenOnColour(0);
    EXPECT_EQ(254, black.pixels[0]);
}

TEST(ImageTest, OpaqueBounds)
{
    kcImage img;
    ASSERT_TRUE(img.Create(6, 5, 4));
    kcImageRect r;
    ASSERT_TRUE(img.GetOpaqueBounds(&r));
    EXPECT_EQ(6, r.left);
    EXPECT_EQ(5, r.top);
    EXPECT_EQ(6, r.right);
    EXPECT_EQ(5, r.bottom);
    img.PixelAt(1, 3)[3] = 1;
    img.PixelAt(4, 2)[3] = 255;
    ASSERT_TRUE(img.GetOpaqueBounds(&r));
    EXPECT_EQ(1, r.left);
    EXPECT_EQ(2, r.top);
    EXPECT_EQ(5, r.right);
    EXPECT_EQ(4, r.bottom);

    kcImage rgb;
    ASSERT_TRUE(rgb.Create(3, 2, 3));
    ASSERT_TRUE(rgb.GetOpaqueBounds(&r));
    EXPECT_EQ(3, r.right);
    EXPECT_EQ(2, r.bottom);
    kcImage none;
    EXPECT_FALSE(none.GetOpaqueBounds(&r));
}

TEST(ImageTest, BlitClipsAndKeepsPlacement)
{
    kcImage src, dst;
    Fill(src, 4, 4);
    ASSERT_TRUE(dst.Create(3, 3, 4));
    ASSERT_TRUE(dst.Blit(-1, -2, &src, 0, 0, 4, 4));
    // Destination (0, 0) holds source (1, 2).
    EXPECT_EQ(1, dst.PixelAt(0, 0)[0]);
    EXPECT_EQ(2, dst.PixelAt(0, 0)[1]);
    EXPECT_EQ(3, dst.PixelAt(2, 1)[0]);
    EXPECT_EQ(3, dst.PixelAt(2, 1)[1]);
    EXPECT_EQ(0, dst.PixelAt(0, 2)[3]); // beyond the source's last row

    kcImage rgb;
    ASSERT_TRUE(rgb.Create(3, 3, 3));
    EXPECT_FALSE(rgb.Blit(0, 0, &src, 0, 0, 4, 4));
    EXPECT_FALSE(dst.Blit(5, 0, &src, 0, 0, 4, 4));
    EXPECT_FALSE(dst.Blit(0, 0, &src, 4, 0, 4, 4));
    EXPECT_FALSE(dst.Blit(0x7FFFFFF0, 0, &src, 0, 0, 0x7FFFFFFF, 4));
}

TEST(ImageTest, CropExpandFlipSwap)
{
    kcImage img;
    Fill(img, 5, 4);
    kcImageRect r = {-3, 1, 3, 9};
    ASSERT_TRUE(img.Crop(&r));
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(4, r.bottom);
    EXPECT_EQ(3, img.width);
    EXPECT_EQ(3, img.height);
    EXPECT_EQ(2, img.PixelAt(2, 1)[0]);
    EXPECT_EQ(2, img.PixelAt(2, 1)[1]);
    kcImageRect bad = {2, 0, 1, 1};
    EXPECT_FALSE(img.Crop(&bad));
    kcImageRect empty = {1, 1, 1, 3};
    ASSERT_TRUE(img.Crop(&empty));
    EXPECT_EQ(0, img.width);

    kcImage rgb;
    ASSERT_TRUE(rgb.Create(3, 3, 3));
    for (int y = 0; y < 3; y++) rgb.PixelAt(0, y)[0] = static_cast<uint8_t>(10 + y);
    rgb.PixelAt(2, 2)[2] = 99;
    ASSERT_TRUE(rgb.FlipVertical());
    EXPECT_EQ(12, rgb.PixelAt(0, 0)[0]);
    EXPECT_EQ(11, rgb.PixelAt(0, 1)[0]);
    EXPECT_EQ(10, rgb.PixelAt(0, 2)[0]);
    rgb.Expand24To32();
    EXPECT_EQ(4, rgb.bytesPerPixel);
    EXPECT_EQ(12, rgb.pitch);
    EXPECT_EQ(36u, rgb.pixelBytes);
    EXPECT_EQ(99, rgb.PixelAt(2, 0)[2]);
    EXPECT_EQ(255, rgb.PixelAt(1, 1)[3]);

    rgb.redBlueSwapped = 1;
    rgb.SwapRedBlue();
    EXPECT_EQ(99, rgb.PixelAt(2, 0)[0]);
    EXPECT_EQ(0, rgb.redBlueSwapped);
    rgb.SwapRedBlue();
    EXPECT_EQ(99, rgb.PixelAt(2, 0)[0]);

    kcImage one;
    Fill(one, 2, 1);
    ASSERT_TRUE(one.FlipVertical());
    EXPECT_EQ(1, one.PixelAt(1, 0)[0]);
}

TEST(ImageTest, TransparencyCopyInfoAndRelease)
{
    kcImage img;
    Fill(img, 2, 2);
    EXPECT_FALSE(img.HasTransparency());
    EXPECT_EQ(1, img.alphaState);
    img.PixelAt(1, 1)[3] = 0;
    EXPECT_FALSE(img.HasTransparency()); // cached
    img.alphaState = 0;
    EXPECT_TRUE(img.HasTransparency());
    img.ClearTransparentColour();
    EXPECT_EQ(0, img.PixelAt(1, 1)[0]);
    EXPECT_EQ(0, img.PixelAt(1, 1)[2]);

    uint8_t a[20] = {1}, b[20] = {2};
    EXPECT_FALSE(img.SetInfo(3, 1, a));
    EXPECT_TRUE(img.SetInfo(3, 0, a));
    EXPECT_TRUE(img.SetInfo(0x10003, 0, b)); // ids are 16 bits
    EXPECT_EQ(1u, img.infoMap->size());
    EXPECT_EQ(2, img.GetInfo(3)[0]);

    img.offsetX = 7;
    img.headerValueB = 9;
    kcImage copy;
    ASSERT_TRUE(copy.CopyFrom(&img));
    EXPECT_EQ(7, copy.offsetX);
    EXPECT_EQ(9, copy.headerValueB);
    EXPECT_EQ(2, copy.canvasWidth);
    EXPECT_EQ(nullptr, copy.infoMap);
    EXPECT_EQ(0, memcmp(copy.pixels, img.pixels, img.pixelBytes));
    kcImage empty;
    EXPECT_FALSE(copy.CopyFrom(&empty));

    int live = kcHeapLiveBlocks();
    kcImage* owned = new kcImage();
    Fill(*owned, 3, 3);
    owned->SetInfo(1, 0, a);
    EXPECT_EQ(0, owned->Release());
    EXPECT_EQ(live, kcHeapLiveBlocks());
}
