// The Display 1 page's choices: the size button under the limit and the full-screen sizes.
#include <gtest/gtest.h>
#include "config/kcDisplayModes.h"
#include "plugin/Display1PageRules.h"

namespace {
const kcScreenPair kSizes[kcSizeButtonCount] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 960}, {1600, 1200}};
} // namespace

TEST(Display1PageRules, UsableSizesStopAtTheFirstZeroNumber)
{
    kcScreenPair three[kcSizeButtonCount] = {{640, 480}, {800, 600}, {1024, 768}, {0, 0}, {1600, 1200}};
    kcScreenPair none[kcSizeButtonCount] = {{640, 0}, {800, 600}};
    EXPECT_EQ(kcUsableSizes(kSizes), 5);
    EXPECT_EQ(kcUsableSizes(three), 3);
    EXPECT_EQ(kcUsableSizes(none), 0);
}

TEST(Display1PageRules, SizeButtonUnderTheLimit)
{
    // A 1280 x 1024 screen: 1600 x 1200 does not fit, 1280 x 960 does.
    EXPECT_FALSE(kcSizeFits(kSizes[4], 1280, 1024));
    EXPECT_TRUE(kcSizeFits(kSizes[3], 1280, 1024));
    EXPECT_FALSE(kcSizeFits({1280, 1025}, 1280, 1024));
    struct Case {
        bool enabled[kcSizeButtonCount];
        uint32_t width, height;
        bool limit;
        int expect;
    } cases[] = {
        {{true, true, true, true, false}, 1600, 1200, true, 3},  // shown as the largest enabled size
        {{true, true, true, true, false}, 1600, 1200, false, 4}, // no limit: the stored size stands
        {{true, true, true, true, false}, 800, 600, true, 1},
        {{true, true, true, true, false}, 1000, 700, true, -1},  // not in the list, first enabled: none
        {{false, false, false, true, true}, 1000, 700, true, 4}, // first disabled: the last enabled
        {{false, false, false, false, false}, 1600, 1200, true, 4}, // nothing enabled: nothing moves
        {{true, true, true, true, true}, 1280, 960, true, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kcChooseSizeButton(kSizes, c.enabled, c.width, c.height, c.limit), c.expect)
            << c.width << "x" << c.height << " limit " << c.limit;
}

TEST(Display1PageRules, FullScreenPairsTakeTheCurrentFormatAndRate)
{
    kcDisplayMode modes[] = {
        {640, 480, 60, 22}, {1024, 768, 59, 22}, {1024, 768, 60, 22}, {1024, 768, 75, 22},
        {800, 600, 60, 23}, {1280, 1024, 60, 22},
    };
    kcDisplayModeList list;
    list.modeCount = 6;
    list.modes = modes;
    list.currentMode = {1280, 1024, 60, 22};
    std::vector<kcScreenPair> pairs = kcFullScreenPairs(&list, 1, 1);
    list.modes = nullptr; // not ours to free
    ASSERT_EQ(pairs.size(), 5u);
    const kcScreenPair expect[] = {{1280, 1024}, {640, 480}, {1024, 768}, {1024, 768}, {1280, 1024}};
    for (size_t i = 0; i < pairs.size(); ++i) {
        EXPECT_EQ(pairs[i].width, expect[i].width) << i;
        EXPECT_EQ(pairs[i].height, expect[i].height) << i;
    }
}

// "Do not change the resolution" never stands for 0 x 0: without a probed mode it is the desktop.
TEST(Display1PageRules, WithoutAModeEntryZeroIsTheDesktop)
{
    kcDisplayModeList failed; // a failed probe: no modes, no current mode
    for (const kcDisplayModeList* list : {static_cast<const kcDisplayModeList*>(nullptr),
                                          static_cast<const kcDisplayModeList*>(&failed)}) {
        std::vector<kcScreenPair> pairs = kcFullScreenPairs(list, 1920, 1080);
        ASSERT_EQ(pairs.size(), 1u);
        EXPECT_EQ(pairs[0].width, 1920u);
        EXPECT_EQ(pairs[0].height, 1080u);
    }
}
