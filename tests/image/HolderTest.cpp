#include "image/kcImageHolder.h"
#include "image/ImageFixtures.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>

namespace {
// A flat 32-bit HG-3 frame of w x h at (ox, oy) on a canvas of cw x ch.
std::string Frame(int w, int h, int ox, int oy, int cw, int ch)
{
    std::string px(static_cast<size_t>(w) * h * 4, '\x80');
    Hg3StdInfo i;
    i.width = w, i.height = h, i.offsetX = ox, i.offsetY = oy, i.canvasWidth = cw, i.canvasHeight = ch;
    return Hg3Builder().StdInfo(i).Bands(reinterpret_cast<const uint8_t*>(px.data()), w * 4, w, h, 4, 64).Build();
}
} // namespace

// The holder's recognition of every format with a writer runs in FormatsTest's round trips.
TEST(HolderTest, RecognitionOrderAndFailures)
{
    kcImageHolder holder;
    int w = -1, h = -1;
    EXPECT_EQ(Ints({1, 0, 0}), Ints({holder.flag, holder.GetPitch(), int(holder.GetSize(&w, &h))}));
    EXPECT_EQ(Ints({-1, -1}), Ints({w, h}));
    EXPECT_EQ(nullptr, holder.GetPixels());

    // "HG-3" decides even when an HG-2 signature follows.
    std::string hg3 = Frame(4, 4, 0, 0, 4, 4), mixed = hg3 + "HG-2";
    MemoryBlock in = View(mixed);
    ASSERT_NE(nullptr, holder.LoadFromMemory(&in, false, 0));
    EXPECT_EQ(kcImageTypeHg3, holder.type);
    EXPECT_EQ(Ints({16, 4, 64, 4, 4}), Ints({holder.GetPitch(), holder.GetBytesPerPixel(), int(holder.GetSize(&w, &h)), w, h}));

    LogCapture log;
    std::string zeros(64, '\0');
    in = View(zeros);
    EXPECT_EQ(nullptr, holder.LoadFromMemory(&in, false, 0));
    EXPECT_TRUE(log.Contains("展開できないイメージです"));
    EXPECT_EQ(kcImageTypeHg3, holder.type); // kept by an unknown format
    EXPECT_EQ(nullptr, holder.GetImage());
    EXPECT_EQ(nullptr, holder.LoadFromMemory(nullptr, false, 0));

    // A recognised format whose load fails: null, nothing held, the type set.
    Hg2Frame f;
    f.width = 2, f.height = 2, f.bpp = 3, f.pixels = Pattern(2, 2, 3);
    std::string hg2 = Hg2File(16, {f});
    hg2.replace(8, 2, Le16(33));
    in = View(hg2);
    log.Clear();
    EXPECT_EQ(nullptr, holder.LoadFromMemory(&in, false, 0));
    EXPECT_TRUE(log.Contains("HG2 : 未対応のバージョンです"));
    EXPECT_EQ(kcImageTypeHg2, holder.type);
    EXPECT_EQ(nullptr, holder.GetImage());
}

TEST(HolderTest, ReloadReleasesOnceAndExpandsToCanvas)
{
    int live = kcHeapLiveBlocks();
    {
        kcImageHolder holder;
        std::string file = Frame(100, 50, 10, 20, 640, 480), whole = Frame(8, 8, 0, 0, 8, 8);
        MemoryBlock in = View(file);
        ASSERT_NE(nullptr, holder.LoadFromMemory(&in, false, 0));
        ASSERT_NE(nullptr, holder.LoadFromMemory(&in, true, 0));
        kcImage* img = holder.GetImage();
        EXPECT_EQ(Ints({640, 480, 0, 0}), Ints({img->width, img->height, img->offsetX, img->offsetY}));
        EXPECT_EQ(kcImageTypeHg3, holder.type);
        const int frame[][2] = {{10, 20}, {109, 69}}, outside[][2] = {{9, 20}, {10, 19}, {110, 69}, {109, 70}};
        for (auto& p : frame) EXPECT_EQ(Ints({0x80, 0x80, 0x80, 0x80}), Px(*img, p[0], p[1]));
        for (auto& p : outside) EXPECT_EQ(Ints({0, 0, 0, 0}), Px(*img, p[0], p[1]));

        in = View(whole);
        ASSERT_NE(nullptr, holder.LoadFromMemory(&in, true, 0));
        kcImage* same = holder.GetImage();
        holder.ExpandToCanvas(); // the canvas is the image's own size: unchanged
        EXPECT_EQ(same, holder.GetImage());
        holder.Destroy();
        EXPECT_EQ(nullptr, holder.GetImage());
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}
