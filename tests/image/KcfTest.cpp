#include "image/kcImageKcf.h"
#include "image/kcKclz.h"
#include "image/FormatTestSupport.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {

ByteVec SaveKcf(kcImage* image)
{
    kcImageKcf* kcf = static_cast<kcImageKcf*>(image);
    MemoryBlock out;
    EXPECT_TRUE(kcf->Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(0u, out.size % 8);
    EXPECT_EQ(out.size, out.capacity);
    EXPECT_EQ(0, out.external);
    ByteVec bytes = BlockBytes(out);
    out.Free();
    return bytes;
}

// A KCF file with a hand-chosen header around a coded pixel block.
ByteVec MakeKcf(uint16_t w, uint16_t h, uint16_t pitch, uint16_t bpp, const ByteVec& pixels)
{
    ByteVec file;
    PutText(&file, "KCF");
    file.push_back(0);
    PutLe16(&file, w);
    PutLe16(&file, h);
    PutLe16(&file, pitch);
    PutLe16(&file, bpp);
    unsigned n = kcLzCompress(pixels.data(), (unsigned)pixels.size(), nullptr, 0, nullptr, nullptr);
    file.resize(12 + n);
    kcLzCompress(pixels.data(), (unsigned)pixels.size(), file.data() + 12, 0, nullptr, nullptr);
    return file;
}

} // namespace

TEST(Kcf, RoundTripKeepsHeaderRowsAndPadding)
{
    for (int bpp = 1; bpp <= 4; ++bpp) {
        kcImageKcf image;
        FillPattern(&image, 5, 3, bpp);
        ByteVec file = SaveKcf(&image);
        ASSERT_GE(file.size(), 12u + 30u);
        EXPECT_EQ(0, memcmp(file.data(), "KCF\0", 4));
        EXPECT_EQ(5u, GetLe16(&file[4]));
        EXPECT_EQ(3u, GetLe16(&file[6]));
        EXPECT_EQ((uint32_t)image.pitch, GetLe16(&file[8]));
        EXPECT_EQ((uint32_t)bpp, GetLe16(&file[10]));
        EXPECT_EQ(0, memcmp(&file[12], "KCLZ", 4));

        kcImageKcf back;
        MemoryBlock block = ExternalBlock(file);
        ASSERT_TRUE(back.Load(&block, 0)) << bpp;
        EXPECT_EQ(5, back.width);
        EXPECT_EQ(3, back.height);
        EXPECT_EQ(image.pitch, back.pitch);
        EXPECT_EQ(bpp, back.bytesPerPixel);
        EXPECT_EQ(image.pixelBytes, back.pixelBytes);
        int cw = 0, ch = 0;
        back.GetCanvasSize(&cw, &ch);
        EXPECT_EQ(5, cw);
        EXPECT_EQ(3, ch);
        EXPECT_EQ(0, memcmp(image.pixels, back.pixels, image.pixelBytes)) << bpp;
        EXPECT_EQ(file.data(), block.data); // the external block is left alone
    }
}

TEST(Kcf, SaveClearsTheColourOfTransparentPixels)
{
    kcImageKcf image;
    FillPattern(&image, 2, 1, 4);
    image.PixelAt(1, 0)[3] = 0;
    ByteVec file = SaveKcf(&image);
    kcImageKcf back;
    MemoryBlock block = ExternalBlock(file);
    ASSERT_TRUE(back.Load(&block, 0));
    EXPECT_EQ(std::vector<uint8_t>({0, 0, 0, 0}), std::vector<uint8_t>(back.PixelAt(1, 0), back.PixelAt(1, 0) + 4));
    EXPECT_NE(0, back.PixelAt(0, 0)[0]);
}

TEST(Kcf, WriterPicksTheSmallestModeAndTheLowestOnTies)
{
    // One pixel: every mode codes four literals alike.
    kcImageKcf tiny;
    tiny.Create(1, 1, 4);
    memset(tiny.pixels, 0x5A, 4);
    ByteVec file = SaveKcf(&tiny);
    EXPECT_EQ(0u, GetLe32(&file[16]));

    // A long run favours the longest matches.
    kcImageKcf runs;
    runs.Create(64, 16, 4);
    memset(runs.pixels, 0xFF, runs.pixelBytes);
    unsigned best = 0, bestMode = 0;
    for (int mode = 0; mode < KCLZ_MODES; ++mode) {
        unsigned n = kcLzCompress(runs.pixels, runs.pixelBytes, nullptr, mode, nullptr, nullptr);
        if (best == 0 || n < best) best = n, bestMode = mode;
    }
    file = SaveKcf(&runs);
    EXPECT_EQ(4u, bestMode);
    EXPECT_EQ(bestMode, GetLe32(&file[16]));
    EXPECT_EQ((12 + best + 7) / 8 * 8, file.size());
}

TEST(Kcf, SaveReplacesOwnedDestinationAndRefusesWhatTheHeaderCannotHold)
{
    LogCapture log;
    kcImageKcf image;
    FillPattern(&image, 4, 4, 3);
    MemoryBlock out;
    ASSERT_NE(nullptr, out.Allocate(100));
    int live = kcHeapLiveBlocks();
    ASSERT_TRUE(image.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(live, kcHeapLiveBlocks()); // the old block went, the new one came
    out.Free();

    kcImageKcf wide;
    ASSERT_TRUE(wide.Create(70000, 1, 1));
    MemoryBlock untouched;
    EXPECT_FALSE(wide.Save(&untouched, 0, 0, 0, 0));
    EXPECT_EQ(nullptr, untouched.data);
    EXPECT_TRUE(log.Contains("イメージの保存に失敗しました"));

    kcImageKcf empty;
    EXPECT_FALSE(empty.Save(&untouched, 0, 0, 0, 0));
}

TEST(Kcf, LoadRefusesBadHeadersAndBlocks)
{
    ByteVec pixels(4 * 3 * 2, 9);
    ASSERT_TRUE([&] {
        kcImageKcf ok;
        ByteVec file = MakeKcf(3, 2, 12, 4, pixels);
        MemoryBlock b = ExternalBlock(file);
        return ok.Load(&b, 0);
    }());
    struct Case {
        const char* name;
        ByteVec file;
    };
    ByteVec damaged = MakeKcf(3, 2, 12, 4, pixels);
    damaged[12 + 20] = 0xF0; // flag offset far outside
    ByteVec truncated = MakeKcf(3, 2, 12, 4, pixels);
    truncated.resize(truncated.size() - 3);
    ByteVec headerOnly = MakeKcf(3, 2, 12, 4, pixels);
    headerOnly.resize(12);
    std::vector<Case> cases = {
        {"pitch below width x bpp", MakeKcf(3, 2, 8, 4, pixels)},
        {"bpp 0", MakeKcf(3, 2, 12, 0, pixels)},
        {"bpp 5", MakeKcf(3, 2, 15, 5, ByteVec(30, 1))},
        {"raw length below pitch x height", MakeKcf(3, 3, 12, 4, pixels)},
        {"damaged block", damaged},
        {"truncated block", truncated},
        {"header only", headerOnly},
    };
    for (const Case& c : cases) {
        kcImageKcf image;
        MemoryBlock b = ExternalBlock(c.file);
        EXPECT_FALSE(image.Load(&b, 0)) << c.name;
    }

    LogCapture log;
    ByteVec wrong = MakeKcf(3, 2, 12, 4, pixels);
    wrong[3] = 'X';
    kcImageKcf image;
    MemoryBlock b = ExternalBlock(wrong);
    EXPECT_FALSE(image.Load(&b, 0));
    EXPECT_TRUE(log.Contains("イメージのタイプが違います"));
    EXPECT_FALSE(kcImageKcf::Probe(&b));
    EXPECT_FALSE(kcImageKcf::Probe(nullptr));
    ByteVec good = MakeKcf(3, 2, 12, 4, pixels);
    MemoryBlock g = ExternalBlock(good);
    EXPECT_TRUE(kcImageKcf::Probe(&g));
}
