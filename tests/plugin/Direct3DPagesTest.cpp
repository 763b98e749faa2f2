// The 3D pages with chosen adapter capabilities: filters, depths, pixel fog, V-Sync, the
// combined page's dither box, the texture lists.
#include <gtest/gtest.h>
#include "plugin/PagesFixture.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7Conf.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcDXCaps.h"

namespace {
const uint32_t kAllFilters = 0x700 | 0x7000000;

void Adapter(PagesFixture& f, uint32_t filterCaps, uint32_t pixelShaders, const std::vector<kcDisplayMode>& modes)
{
    f.Caps().deviceCaps.TextureFilterCaps = filterCaps;
    f.Caps().deviceCaps.PixelShaderVersion = pixelShaders;
    f.SetModes({1024, 768, 60, 22}, modes);
}

int ComboSelection(PagesFixture& f, int id)
{
    return static_cast<int>(SendMessageW(f.Item(id), CB_GETCURSEL, 0, 0));
}
} // namespace

TEST(Direct3DPages, UnsupportedFiltersAreDisabledAndFallBackToPoint)
{
    struct Page {
        int templateId;
        DLGPROC procedure;
    } pages[] = {{IDD_PAGE_DIRECT3D1, Direct3D1PageProc}, {IDD_PAGE_DIRECT3D, Direct3DPageProc}};
    for (const Page& page : pages) {
        PagesFixture f;
        // Minification without ANISOTROPIC, magnification with POINT only.
        Adapter(f, 0x300 | 0x1000000, 0xFFFF0300, {{1024, 768, 60, 22}});
        f.Set(f.Working(), {{"TEXTURE", "min", 2}, {"TEXTURE", "mag", 1}, {"TEXTURE", "bpp", 32},
                            {"WINDOW", "full_width", 1024}, {"WINDOW", "full_height", 768}});
        f.Open(page.templateId, page.procedure);
        EXPECT_TRUE(f.Enabled(IDC_MIN_POINT) && f.Enabled(IDC_MIN_LINEAR)) << page.templateId;
        EXPECT_FALSE(f.Enabled(IDC_MIN_ANISO)) << page.templateId;
        EXPECT_FALSE(f.Enabled(IDC_MAG_LINEAR) || f.Enabled(IDC_MAG_ANISO)) << page.templateId;
        EXPECT_EQ(f.Get("TEXTURE", "min"), 0);
        EXPECT_EQ(f.Get("TEXTURE", "mag"), 0);
        EXPECT_TRUE(f.Checked(IDC_MIN_POINT) && f.Checked(IDC_MAG_POINT)) << page.templateId;
        EXPECT_EQ(f.Owner().modified, 0); // the fallback is no edit of the user's
    }
}

TEST(Direct3DPages, DepthButtonsFollowTheModesAtTheFullScreenSize)
{
    struct Case {
        std::vector<kcDisplayMode> modes;
        bool enabled16, enabled32, checked32;
        int stored; // from a stored 16
    } cases[] = {
        // At 1024 x 768 only 32-bit modes (16-bit at another size only): shown and stored as 32.
        {{{1024, 768, 60, 22}, {1024, 768, 60, 21}, {800, 600, 60, 23}}, false, true, true, 32},
        // No mode at the size: both disabled, the setting kept.
        {{{800, 600, 60, 22}}, false, false, false, 16},
    };
    for (const Case& c : cases) {
        PagesFixture f;
        Adapter(f, kAllFilters, 0xFFFF0300, c.modes);
        f.Set(f.Working(), {{"TEXTURE", "bpp", 16}, {"WINDOW", "full_width", 1024}, {"WINDOW", "full_height", 768}});
        f.Open(IDD_PAGE_DIRECT3D1, Direct3D1PageProc);
        EXPECT_EQ(f.Enabled(IDC_TEX_16BIT), c.enabled16);
        EXPECT_EQ(f.Enabled(IDC_TEX_32BIT), c.enabled32);
        EXPECT_EQ(f.Checked(IDC_TEX_32BIT), c.checked32);
        f.Leave();
        EXPECT_EQ(f.Get("TEXTURE", "bpp"), c.stored);
    }
}

TEST(Direct3DPages, PixelFogByThePixelShaderVersion)
{
    struct Case {
        uint32_t version;
        bool pixelFog;
        int fogAfterOpen; // from a stored 0
    } cases[] = {
        {0xFFFF0300, true, 0}, {0xFFFF0200, true, 0}, {0xFFFF0104, true, 0}, {0xFFFF0000, false, 1},
    };
    for (const Case& c : cases) {
        PagesFixture f;
        Adapter(f, kAllFilters, c.version, {});
        f.Set(f.Working(), {{"D3D", "fogtype", 0}});
        f.Open(IDD_PAGE_DIRECT3D2, Direct3D2PageProc);
        EXPECT_EQ(f.Enabled(IDC_FOG_PIXEL), c.pixelFog) << std::hex << c.version;
        EXPECT_EQ(f.Get("D3D", "fogtype"), c.fogAfterOpen) << std::hex << c.version;
        EXPECT_TRUE(f.Checked(c.fogAfterOpen == 0 ? IDC_FOG_PIXEL : IDC_FOG_VERTEX)) << std::hex << c.version;
        // A reset to the game's pixel fog keeps vertex fog on an adapter without pixel shaders.
        f.Reset();
        EXPECT_EQ(f.Get("D3D", "fogtype"), c.fogAfterOpen) << std::hex << c.version;
    }
}

// A missing capability object is judged like a failed probe: no filters, no pixel shaders.
TEST(Direct3DPages, WithoutCapabilitiesNothingOptionalIsOffered)
{
    PagesFixture f;
    f.Set(f.Working(), {{"D3D", "fogtype", 0}, {"TEXTURE", "min", 1}});
    f.Open(IDD_PAGE_DIRECT3D2, Direct3D2PageProc);
    EXPECT_FALSE(f.Enabled(IDC_FOG_PIXEL));
    EXPECT_EQ(f.Get("D3D", "fogtype"), 1);
    f.Open(IDD_PAGE_DIRECT3D1, Direct3D1PageProc);
    EXPECT_FALSE(f.Enabled(IDC_MIN_LINEAR));
    EXPECT_EQ(f.Get("TEXTURE", "min"), 0);
}

TEST(Direct3DPages, VSyncIsBoundLikeTheOtherBoxes)
{
    PagesFixture f;
    Adapter(f, kAllFilters, 0xFFFF0300, {});
    f.Set(f.Working(), {{"D3D", "vsync", 1}, {"D3D", "hardTnL", 0}, {"D3D", "light", 1}, {"D3D", "backbuffer", 0}});
    f.Open(IDD_PAGE_DIRECT3D1, Direct3D1PageProc);
    EXPECT_TRUE(f.Checked(IDC_VSYNC));
    EXPECT_TRUE(f.Checked(IDC_LIGHT));
    EXPECT_FALSE(f.Checked(IDC_HARD_TNL) || f.Checked(IDC_BACKBUFFER));
    f.Click(IDC_VSYNC);
    f.Leave();
    EXPECT_EQ(f.Get("D3D", "vsync"), 0);
    f.Reset();
    for (const char* key : {"vsync", "hardTnL", "light", "backbuffer"})
        EXPECT_EQ(f.Get("D3D", key), 1) << key;
    EXPECT_TRUE(f.Checked(IDC_VSYNC));
}

TEST(Direct3DPages, CombinedPageStoresItsDitherBox)
{
    PagesFixture f;
    Adapter(f, kAllFilters, 0xFFFF0300, {});
    f.Set(f.Backup(), {{"TEXTURE", "dither", 1}, {"TEXTURE", "min", 1}, {"TEXTURE", "mag", 2}, {"TEXTURE", "bpp", 16}});
    f.Open(IDD_PAGE_DIRECT3D, Direct3DPageProc);
    EXPECT_FALSE(f.Checked(IDC_DITHER));
    f.Click(IDC_DITHER);
    EXPECT_EQ(f.Owner().modified, 1);
    f.Leave();
    EXPECT_EQ(f.Get("TEXTURE", "dither"), 1);
    f.Set(f.Working(), {{"TEXTURE", "dither", 0}});
    f.Reset();
    EXPECT_EQ(f.Get("TEXTURE", "dither"), 1);
    EXPECT_EQ(f.Get("TEXTURE", "min"), 1);
    EXPECT_EQ(f.Get("TEXTURE", "mag"), 2);
    EXPECT_EQ(f.Get("TEXTURE", "bpp"), 16);
    EXPECT_EQ(f.Get("D3D", "hardTnL"), 1);
    EXPECT_TRUE(f.Checked(IDC_MAG_ANISO));
}

TEST(Direct3DPages, TextureListsSelectByIndex)
{
    struct Case {
        int size, comp;
        int selectedSize, selectedComp;
    } cases[] = {{2, 1, 2, 1}, {3, -1, -1, -1}};
    for (const Case& c : cases) {
        PagesFixture f;
        f.Set(f.Working(), {{"D3D", "tex_size", c.size}, {"D3D", "tex_comp", c.comp}});
        f.Open(IDD_PAGE_DIRECT3D2, Direct3D2PageProc);
        EXPECT_EQ(SendMessageW(f.Item(IDC_TEX_SIZE), CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(SendMessageW(f.Item(IDC_TEX_COMP), CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(ComboSelection(f, IDC_TEX_SIZE), c.selectedSize) << c.size;
        EXPECT_EQ(ComboSelection(f, IDC_TEX_COMP), c.selectedComp) << c.comp;
        SendMessageW(f.Item(IDC_TEX_SIZE), CB_SETCURSEL, 1, 0);
        f.Leave();
        EXPECT_EQ(f.Get("D3D", "tex_size"), 1);
        EXPECT_EQ(f.Get("D3D", "tex_comp"), c.selectedComp);
    }
}
