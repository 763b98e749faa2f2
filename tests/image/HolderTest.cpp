#include "image/kcImageHolder.h"
#include "image/kcImageHg2.h"
#include "foundation/kcHeap.h"
#include "support/Hg3Builder.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>

namespace {
MemoryBlock View(const std::string& s)
{
    MemoryBlock b;
    b.data = reinterpret_cast<uint8_t*>(const_cast<char*>(s.data()));
    b.size = b.capacity = static_cast<uint32_t>(s.size());
    b.external = 1;
    return b;
}

std::string Frame(int w, int h, int ox, int oy, int cw, int ch)
{
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4, 0x80);
    Hg3StdInfo i;
    i.width = w, i.height = h, i.bits = 32, i.offsetX = ox, i.offsetY = oy, i.canvasWidth = cw, i.canvasHeight = ch;
    Hg3Builder b;
    b.Frame(0).StdInfo(i).Bands(px.data(), w * 4, w, h, 4, 64);
    return b.Build();
}
} // namespace

TEST(HolderTest, RecognitionAndFailures)
{
    kcImageHolder holder;
    EXPECT_EQ(1, holder.flag);
    EXPECT_EQ(0, holder.GetPitch());
    EXPECT_EQ(nullptr, holder.GetPixels());
    int w = -1, h = -1;
    EXPECT_EQ(0u, holder.GetSize(&w, &h));
    EXPECT_EQ(-1, w);

    // "HG-3" decides even when an HG-2 signature follows.
    std::string hg3 = Frame(4, 4, 0, 0, 4, 4);
    std::string mixed = hg3 + "HG-2";
    MemoryBlock in = View(mixed);
    ASSERT_NE(nullptr, holder.LoadFromMemory(&in, false, 0));
    EXPECT_EQ(kcImageTypeHg3, holder.type);
    EXPECT_EQ(16, holder.GetPitch());
    EXPECT_EQ(4, holder.GetBytesPerPixel());
    EXPECT_EQ(64u, holder.GetSize(&w, &h));

    Hg2Frame f;
    f.width = 2, f.height = 2, f.bpp = 3;
    f.pixels.assign(12, 9);
    std::string hg2 = Hg2File(16, {f});
    in = View(hg2);
    ASSERT_NE(nullptr, holder.LoadFromMemory(&in, false, 0));
    EXPECT_EQ(kcImageTypeHg2, holder.type);

    LogCapture log;
    std::string zeros(64, '\0');
    in = View(zeros);
    EXPECT_EQ(nullptr, holder.LoadFromMemory(&in, false, 0));
    EXPECT_TRUE(log.Contains("展開できないイメージです"));
    EXPECT_EQ(kcImageTypeHg2, holder.type); // unchanged by an unknown format
    EXPECT_EQ(nullptr, holder.GetImage());
    EXPECT_EQ(nullptr, holder.LoadFromMemory(nullptr, false, 0));

    std::string badHeader = hg3;
    badHeader.replace(4, 4, Le32(16));
    in = View(badHeader);
    log.Clear();
    EXPECT_EQ(nullptr, holder.LoadFromMemory(&in, false, 0));
    EXPECT_TRUE(log.Contains("HG3 : ヘッダサイズが違います"));
    EXPECT_EQ(kcImageTypeHg3, holder.type);
    EXPECT_EQ(nullptr, holder.GetImage());
}

TEST(HolderTest, ReloadReleasesOnceAndExpandsToCanvas)
{
    int live = kcHeapLiveBlocks();
    {
        kcImageHolder holder;
        std::string file = Frame(100, 50, 10, 20, 640, 480);
        MemoryBlock in = View(file);
        ASSERT_NE(nullptr, holder.LoadFromMemory(&in, false, 0));
        ASSERT_NE(nullptr, holder.LoadFromMemory(&in, true, 0));
        kcImage* img = holder.GetImage();
        EXPECT_EQ(640, img->width);
        EXPECT_EQ(480, img->height);
        EXPECT_EQ(0, img->offsetX);
        EXPECT_EQ(0, img->PixelAt(9, 20)[0]);
        EXPECT_EQ(0, img->PixelAt(10, 19)[3]);
        EXPECT_EQ(0x80, img->PixelAt(10, 20)[0]);
        EXPECT_EQ(0x80, img->PixelAt(109, 69)[3]);
        EXPECT_EQ(0, img->PixelAt(110, 69)[3]);
        EXPECT_EQ(0, img->PixelAt(109, 70)[3]);
        EXPECT_EQ(kcImageTypeHg3, holder.type);

        std::string whole = Frame(8, 8, 0, 0, 8, 8);
        in = View(whole);
        ASSERT_NE(nullptr, holder.LoadFromMemory(&in, true, 0));
        kcImage* same = holder.GetImage();
        holder.ExpandToCanvas();
        EXPECT_EQ(same, holder.GetImage());
        holder.Destroy();
        EXPECT_EQ(nullptr, holder.GetImage());
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

#include "image/kcImageBmp.h"
#include "image/kcImageJpeg.h"
#include "image/kcImageKcf.h"
#include "image/kcImagePng.h"
#include "image/kcImageWebP.h"

namespace {
template <class T> std::string SavedBy(int bpp)
{
    T img;
    img.Create(6, 4, bpp);
    for (uint32_t i = 0; i < img.pixelBytes; i++) img.pixels[i] = static_cast<uint8_t>(i * 13);
    MemoryBlock out;
    if (!img.Save(&out, 0, 0, 0, 0)) return std::string();
    std::string s(reinterpret_cast<char*>(out.data), out.size);
    out.Free();
    return s;
}
} // namespace

TEST(HolderTest, EachFormatIsRecognisedAsItsType)
{
    struct Case {
        const char* what;
        std::string file;
        kcImageType type;
    } cases[] = {
        {"PNG", SavedBy<kcImagePng>(4), kcImageTypePng},
        {"JPEG", SavedBy<kcImageJpeg>(3), kcImageTypeJpeg},
        {"BMP", SavedBy<kcImageBmp>(3), kcImageTypeBmp},
        {"WebP", SavedBy<kcImageWebP>(4), kcImageTypeWebP},
        {"KCF", SavedBy<kcImageKcf>(4), kcImageTypeKcf},
        {"HG-2", SavedBy<kcImageHg2>(4), kcImageTypeHg2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.file.empty());
        kcImageHolder holder;
        MemoryBlock in = View(c.file);
        EXPECT_NE(nullptr, holder.LoadFromMemory(&in, true, 0));
        EXPECT_EQ(c.type, holder.type);
        // A damaged body of a recognised format: null, nothing held, the type kept.
        std::string cut = c.file.substr(0, 20);
        in = View(cut);
        LogCapture quiet;
        EXPECT_EQ(nullptr, holder.LoadFromMemory(&in, false, 0));
        EXPECT_EQ(nullptr, holder.GetImage());
    }
}
