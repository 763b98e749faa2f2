#include "UpdateWindow.h"
#include "UpdaterState.h"
#include "kcHeap.h"
#include "kcImageHolder.h"
#include "support/Hg3Builder.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>

namespace {

void DropBackground()
{
    UpdaterState& state = Updater();
    if (state.imageHolder) {
        state.imageHolder->Destroy();
        delete state.imageHolder;
        state.imageHolder = nullptr;
    }
}

} // namespace

TEST(Background, MissingOrUndecodableLeavesNoImage)
{
    TempDir dir;
    const int blocks = kcHeapLiveBlocks();
    EXPECT_FALSE(LoadBackground(dir.File(L"updatebg.hg3").c_str()));
    EXPECT_EQ(nullptr, Updater().imageHolder);
    for (const std::string& bytes : {std::string(), std::string("HG-3 but not really"), std::string(5000, '\x55')}) {
        ASSERT_TRUE(WriteBytes(dir.File(L"updatebg.hg3"), bytes));
        EXPECT_FALSE(LoadBackground(dir.File(L"updatebg.hg3").c_str()));
        EXPECT_EQ(nullptr, Updater().imageHolder);
    }
    EXPECT_EQ(blocks, kcHeapLiveBlocks());
}

TEST(Background, FlattenedOnWhiteAndBottomUp)
{
    TempDir dir;
    // 3 x 2: top row opaque red, green, half-transparent black; bottom row opaque blue.
    const uint8_t bgra[] = {0, 0, 255, 255, 0, 255, 0, 255, 0, 0, 0, 128,
                            255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255};
    ASSERT_TRUE(WriteBytes(dir.File(L"updatebg.hg3"), Hg3FromBgra(bgra, 3, 2)));
    const int blocks = kcHeapLiveBlocks();
    ASSERT_TRUE(LoadBackground(dir.File(L"updatebg.hg3").c_str()));
    kcImageHolder* holder = Updater().imageHolder;
    ASSERT_NE(nullptr, holder);
    int w = 0, h = 0;
    holder->GetSize(&w, &h);
    EXPECT_EQ(3, w);
    EXPECT_EQ(2, h);
    ASSERT_EQ(3, holder->GetBytesPerPixel());
    EXPECT_EQ(12, holder->GetPitch()); // rows aligned for the DIB
    const uint8_t* p = holder->GetPixels();
    // First stored row is the picture's bottom row.
    EXPECT_EQ(255, p[0]);
    EXPECT_EQ(0, p[1]);
    EXPECT_EQ(0, p[2]);
    const uint8_t* top = p + holder->GetPitch();
    EXPECT_EQ(0, top[0]);
    EXPECT_EQ(0, top[1]);
    EXPECT_EQ(255, top[2]);
    // Black at alpha 128 over white: 255 + ((0 - 255) * 128 >> 8) = 127.
    EXPECT_EQ(127, top[6]);
    EXPECT_EQ(127, top[7]);
    EXPECT_EQ(127, top[8]);
    DropBackground();
    EXPECT_EQ(blocks, kcHeapLiveBlocks());
}
