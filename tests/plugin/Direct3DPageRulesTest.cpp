// What the 3D pages offer for given adapter capabilities.
#include <gtest/gtest.h>
#include "plugin/Direct3DPageRules.h"

TEST(Direct3DPageRules, FiltersTheAdapterLacksAreDisabledAndFallBackToPoint)
{
    struct Case {
        uint32_t caps;
        uint32_t point;
        int32_t stored;
        bool disabled[3];
        int32_t value;
    } cases[] = {
        {0x700, kcMinFilterPoint, 2, {false, false, false}, 2},
        {0x300, kcMinFilterPoint, 2, {false, false, true}, 0},
        {0x500, kcMinFilterPoint, 1, {false, true, false}, 0},
        {0x500, kcMinFilterPoint, 2, {false, true, false}, 2},
        {0x000, kcMinFilterPoint, 1, {true, true, true}, 0},  // POINT even when POINT is missing
        {0x000, kcMinFilterPoint, 0, {true, true, true}, 0},
        {0x000, kcMinFilterPoint, 7, {true, true, true}, 7},  // outside the group: left alone
        {0x3000000, kcMagFilterPoint, 2, {false, false, true}, 0},
        {0x700, kcMagFilterPoint, 1, {true, true, true}, 0},  // minification bits say nothing of magnification
        {0x7000000, kcMagFilterPoint, 1, {false, false, false}, 1},
    };
    for (const Case& c : cases) {
        kcFilterChoice got = kcJudgeFilter(c.caps, c.point, c.stored);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(got.disabled[i], c.disabled[i]) << std::hex << c.caps << " button " << i;
        EXPECT_EQ(got.value, c.value) << std::hex << c.caps;
    }
}

TEST(Direct3DPageRules, DepthButtonsFollowTheModesAtTheFullScreenSize)
{
    struct Case {
        int32_t bpp;
        bool has16, has32;
        kcDepthChoice expect;
    } cases[] = {
        {32, true, true, {32, false, false}},
        {32, false, true, {32, true, false}},
        {16, false, true, {32, true, false}}, // all modes 32-bit: a stored 16 shows as 32
        {16, true, false, {16, false, true}},
        {32, true, false, {16, false, true}},
        {16, true, true, {16, false, false}},
        {32, false, false, {0, true, true}},
        {16, false, false, {0, true, true}},
        {24, false, false, {0, false, false}}, // another depth changes nothing
    };
    for (const Case& c : cases) {
        kcDepthChoice got = kcJudgeDepth(c.bpp, c.has16, c.has32);
        EXPECT_EQ(got.check, c.expect.check) << c.bpp << c.has16 << c.has32;
        EXPECT_EQ(got.disable16, c.expect.disable16) << c.bpp << c.has16 << c.has32;
        EXPECT_EQ(got.disable32, c.expect.disable32) << c.bpp << c.has16 << c.has32;
    }
}

// Pixel fog needs pixel shaders, whatever their minor version: 2.0 and 3.0 keep it, which
// testing the minor byte alone would deny them.
TEST(Direct3DPageRules, PixelFogNeedsPixelShadersOfAnyVersion)
{
    struct Case {
        uint32_t version;
        bool fog;
    } cases[] = {
        {0xFFFF0000, false}, {0x00000000, false}, {0xFFFF0104, true},
        {0xFFFF0200, true},  {0xFFFF0300, true},  {0xFFFF0001, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kcAdapterHasPixelFog(c.version), c.fog) << std::hex << c.version;
}
