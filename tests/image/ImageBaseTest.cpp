#include "image/ImageFixtures.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {
// A 4-byte image whose pixel (x, y) is (x, y, x + y, alpha).
void Fill(kcImage& img, int w, int h, int alpha = 255)
{
    ASSERT_TRUE(img.Create(w, h, 4));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t v[4] = {uint8_t(x), uint8_t(y), uint8_t(x + y), uint8_t(alpha)};
            memcpy(img.PixelAt(x, y), v, 4);
        }
}

Ints Rect(const kcImageRect& r) { return Ints({r.left, r.top, r.right, r.bottom}); }
} // namespace

TEST(ImageTest, MemoryBlocksCreateAndPixelAt)
{
    int live = kcHeapLiveBlocks();
    MemoryBlock b;
    ASSERT_NE(nullptr, b.Allocate(13));
    EXPECT_EQ(Ints({16, 16, 1, 0}), Ints({int(b.size), int(b.capacity), b.reserved, b.external}));
    b.Free();
    EXPECT_EQ(nullptr, b.data);
    EXPECT_EQ(live, kcHeapLiveBlocks());
    std::string own = "abcd";
    MemoryBlock ext = View(own);
    ext.Free(); // never frees what it does not own
    EXPECT_EQ(Ints({0, 1}), Ints({ext.data != nullptr, ext.external}));

    kcImage img;
    ASSERT_TRUE(img.Create(5, 3, 3));
    EXPECT_EQ(Ints({16, 48, 3, 1}), Ints({img.pitch, int(img.pixelBytes), img.bounds.bottom, img.refCount})); // 15 rounded up
    EXPECT_EQ(std::string(48, '\0'), std::string(reinterpret_cast<char*>(img.pixels), 48));
    EXPECT_TRUE(!img.PixelAt(5, 0) && !img.PixelAt(-1, 0) && !img.PixelAt(0, 3));
    EXPECT_EQ(img.PixelAt(1, 2), img.PixelAtBottomUp(1, 0));
    int w = 0, h = 0;
    img.GetCanvasSize(&w, &h);
    EXPECT_EQ(Ints({5, 3, 48}), Ints({w, h, int(img.GetSize(&w, &h))}));
    LogCapture log;
    // Removed when called: had Create ended the process after its assertion, the test would end there.
    kcLogSetAssertHandler([](const char*, bool) { kcLogSetAssertHandler(nullptr); });
    EXPECT_FALSE(img.Create(2, 2, 5));
    EXPECT_TRUE(log.Contains("不正な bpp です"));
    EXPECT_FALSE(img.Create(0x10000, 0x10000, 4)); // the byte count would overflow 32 bits
    EXPECT_FALSE(img.Create(-1, 4, 4));
    EXPECT_EQ(5, img.width);
}

TEST(ImageTest, FlattenOnColourAndOpaqueBounds)
{
    kcImage img, white, rgb;
    ASSERT_TRUE(img.Create(4, 1, 4));
    const uint8_t src[16] = {0, 0, 0, 255, 10, 20, 30, 0, 255, 0, 0, 255, 0, 0, 200, 128};
    memcpy(img.pixels, src, 16);
    img.FlattenOnColour(0x00FFFFFF);
    EXPECT_EQ(Ints({3, 12}), Ints({img.bytesPerPixel, img.pitch}));
    // Opaque black, transparent (the colour), opaque 255 and 0 over 255, half alpha.
    EXPECT_EQ(Ints({0, 0, 0, 255, 255, 255, 255, 0, 0, 127, 127, 227}), Ints(img.pixels, img.pixels + 12));
    ASSERT_TRUE(white.Create(1, 1, 4));
    memset(white.pixels, 255, 4);
    white.FlattenOnColour(0);
    EXPECT_EQ(254, white.pixels[0]); // 255 over 0 at alpha 255

    kcImageRect r;
    ASSERT_TRUE(img.Create(6, 5, 4) && img.GetOpaqueBounds(&r));
    EXPECT_EQ(Ints({6, 5, 6, 5}), Rect(r));
    img.PixelAt(1, 3)[3] = 1;
    img.PixelAt(4, 2)[3] = 255;
    ASSERT_TRUE(img.GetOpaqueBounds(&r));
    EXPECT_EQ(Ints({1, 2, 5, 4}), Rect(r));
    ASSERT_TRUE(rgb.Create(3, 2, 3) && rgb.GetOpaqueBounds(&r));
    EXPECT_EQ(Ints({0, 0, 3, 2}), Rect(r));
    EXPECT_FALSE(kcImage().GetOpaqueBounds(&r));
}

TEST(ImageTest, BlitClipsAndKeepsPlacement)
{
    kcImage src, dst, rgb;
    Fill(src, 4, 4);
    ASSERT_TRUE(dst.Create(3, 3, 4));
    ASSERT_TRUE(dst.Blit(-1, -2, &src, 0, 0, 4, 4));
    EXPECT_EQ(Ints({1, 2, 3, 255}), Px(dst, 0, 0)); // source (1, 2)
    EXPECT_EQ(Ints({3, 3, 6, 255}), Px(dst, 2, 1));
    EXPECT_EQ(Ints({0, 0, 0, 0}), Px(dst, 0, 2)); // beyond the source's last row
    ASSERT_TRUE(rgb.Create(3, 3, 3));
    EXPECT_FALSE(rgb.Blit(0, 0, &src, 0, 0, 4, 4));
    EXPECT_FALSE(dst.Blit(5, 0, &src, 0, 0, 4, 4));
    EXPECT_FALSE(dst.Blit(0, 0, &src, 4, 0, 4, 4));
    EXPECT_FALSE(dst.Blit(0x7FFFFFF0, 0, &src, 0, 0, 0x7FFFFFFF, 4));
}

TEST(ImageTest, CropFlipExpandSwap)
{
    kcImage img, rgb, one;
    Fill(img, 5, 4);
    kcImageRect r = {-3, 1, 3, 9}, reversed = {2, 0, 1, 1}, empty = {1, 1, 1, 3};
    ASSERT_TRUE(img.Crop(&r));
    EXPECT_EQ(Ints({0, 1, 3, 4}), Rect(r));
    EXPECT_EQ(Ints({3, 3, 12}), Ints({img.width, img.height, img.pitch}));
    EXPECT_EQ(Ints({2, 2, 4, 255}), Px(img, 2, 1));
    EXPECT_FALSE(img.Crop(&reversed));
    ASSERT_TRUE(img.Crop(&empty));
    EXPECT_EQ(0, img.width);

    ASSERT_TRUE(rgb.Create(3, 3, 3));
    for (int y = 0; y < 3; y++) rgb.PixelAt(0, y)[0] = uint8_t(10 + y);
    rgb.PixelAt(2, 2)[2] = 99;
    ASSERT_TRUE(rgb.FlipVertical());
    EXPECT_EQ(Ints({12, 11, 10}), Ints({rgb.PixelAt(0, 0)[0], rgb.PixelAt(0, 1)[0], rgb.PixelAt(0, 2)[0]}));
    ASSERT_TRUE(rgb.Expand24To32());
    EXPECT_EQ(Ints({4, 12, 36}), Ints({rgb.bytesPerPixel, rgb.pitch, int(rgb.pixelBytes)}));
    EXPECT_EQ(Ints({0, 0, 99, 255}), Px(rgb, 2, 0));
    rgb.redBlueSwapped = 1;
    rgb.SwapRedBlue();
    rgb.SwapRedBlue(); // once only: the flag is cleared
    EXPECT_EQ(Ints({99, 0, 0, 255}), Px(rgb, 2, 0));
    EXPECT_EQ(0, rgb.redBlueSwapped);
    Fill(one, 2, 1);
    ASSERT_TRUE(one.FlipVertical());
    EXPECT_EQ(Ints({1, 0, 1, 255}), Px(one, 1, 0));
}

TEST(ImageTest, TransparencyInfoCopyAndRelease)
{
    kcImage img, copy, none;
    Fill(img, 2, 2);
    EXPECT_FALSE(img.HasTransparency());
    EXPECT_EQ(1, img.alphaState);
    img.PixelAt(1, 1)[3] = 0;
    EXPECT_FALSE(img.HasTransparency()); // cached
    img.alphaState = 0;
    EXPECT_TRUE(img.HasTransparency());
    img.ClearTransparentColour();
    EXPECT_EQ(Ints({0, 0, 0, 0}), Px(img, 1, 1));

    uint8_t a[20] = {1}, b[20] = {2};
    EXPECT_FALSE(img.SetInfo(3, 1, a));
    EXPECT_TRUE(img.SetInfo(3, 0, a) && img.SetInfo(0x10003, 0, b)); // ids are 16 bits: replaces id 3
    EXPECT_EQ(Ints({1, 2}), Ints({int(img.infoMap->size()), img.GetInfo(3)[0]}));

    img.offsetX = 7, img.headerValueB = 9;
    ASSERT_TRUE(copy.CopyFrom(&img));
    EXPECT_EQ(Ints({7, 9, 2, 2}), Ints({copy.offsetX, copy.headerValueB, copy.canvasWidth, copy.alphaState}));
    EXPECT_EQ(nullptr, copy.infoMap);
    EXPECT_EQ(Rows(img), Rows(copy));
    EXPECT_FALSE(copy.CopyFrom(&none));

    int live = kcHeapLiveBlocks();
    kcImage* owned = new kcImage();
    Fill(*owned, 3, 3);
    owned->SetInfo(1, 0, a);
    EXPECT_EQ(0, owned->Release());
    EXPECT_EQ(live, kcHeapLiveBlocks());
}
