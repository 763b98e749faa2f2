// The pages through the real gx7conf.dll and our host: visit pages, change one setting on each,
// apply, and compare the "setup.xml" it wrote with what the configuration model writes for the
// expected record.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "plugin/HostSession.h"
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcDXCaps.h"

namespace {
struct Change {
    const char* section;
    const char* key;
    int value;
};

struct Visit {
    int tab;
    int control; // clicked once
    Change change;
};

// What the configuration model writes for the game's settings (as read from its "setup.xml",
// or its defaults) with the changes applied. The model matches the full-screen size against the
// adapter's modes when it reads, so it gets the adapter data the plug-in has.
std::string ModelWrites(const GameFolder& game, const std::vector<Change>& changes)
{
    kcDXCaps caps(0);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(game.Path().c_str());
    kcCreateConfig(L"config\\startup.xml", nullptr, 0);
    kcConfig::Instance()->LoadUserSettings();
    for (const Change& c : changes)
        kcConfigSetInt(kcConfigCurrentBlock, c.section, c.key, c.value);
    kcConfig::Instance()->SaveUserSettings();
    kcReleaseConfig();
    SetCurrentDirectoryW(previous);
    std::string bytes;
    ReadBytes(game.SetupXml(), &bytes);
    return bytes;
}

// The first line where two files differ, for a readable failure.
std::string FirstDifference(const std::string& a, const std::string& b)
{
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at])
        ++at;
    size_t start = a.rfind('\n', at == 0 ? 0 : at - 1);
    start = start == std::string::npos ? 0 : start + 1;
    return "at byte " + std::to_string(at) + ": \"" + a.substr(start, a.find('\n', at) - start) + "\" vs \"" +
           b.substr(start, b.find('\n', at) - start) + "\"";
}
} // namespace

class PagesEndToEnd : public PluginLibrary {
protected:
    std::string Apply(const GameFolder& game, const std::vector<Visit>& visits, ApplyCounter* counter)
    {
        Session(
            game,
            [&](HWND sheet) {
                for (const Visit& v : visits)
                    ClickControl(SelectSheetTab(sheet, v.tab), v.control);
                PressSheetButton(sheet, PSBTN_APPLYNOW);
            },
            counter);
        std::string bytes;
        ReadBytes(game.SetupXml(), &bytes);
        return bytes;
    }
};

TEST_F(PagesEndToEnd, EveryPageChangedOnceAndApplied)
{
    const std::vector<Visit> twoPages3D = {
        {1, IDC_CAMOUFLAGE, {"WINDOW", "camouflage", 1}},
        {2, IDC_FPS_30, {"WINDOW", "fps", 30}},
        {3, IDC_FULL_POS_TOP, {"FULL_SCREEN", "full_pos", 1}},
        {4, IDC_VSYNC, {"D3D", "vsync", 0}},
        {5, IDC_ANTIALIAS, {"D3D", "antialias", 1}},
        {6, IDC_DUALCORE, {"ETC", "dualcore", 0}},
        {7, IDC_GDI_CAP, {"DEPEND", "gdi_cap", 1}},
    };
    const std::vector<Visit> onePage3D = {
        {1, IDC_MODE_WINDOW, {"WINDOW", "mode", 2}},
        {2, IDC_CURSOR_SYSTEM, {"WINDOW", "cursor_mode", 0}},
        {3, IDC_WALL_BLACK, {"FULL_SCREEN", "wall", 0}},
        {4, IDC_DITHER, {"TEXTURE", "dither", 0}},
        {5, IDC_STEREO, {"SOUND", "stereo", 0}},
        {6, IDC_DISABLE_MOVIE, {"ETC", "disablemovie", 1}},
    };
    for (int view3d : {1, 0}) {
        GameDefinition definition;
        definition.view3d = view3d;
        GameFolder game(definition);
        const std::vector<Visit>& visits = view3d ? twoPages3D : onePage3D;
        ApplyCounter counter;
        std::string written = Apply(game, visits, &counter);
        EXPECT_EQ(counter.calls, 1) << view3d;
        ASSERT_FALSE(written.empty()) << view3d;
        DeleteFileW(game.SetupXml().c_str());
        std::vector<Change> changes;
        for (const Visit& v : visits)
            changes.push_back(v.change);
        std::string expected = ModelWrites(game, changes);
        EXPECT_TRUE(written == expected) << view3d << " " << FirstDifference(written, expected);
    }
}

// Settings of pages that were never shown go back exactly as they were read, even values that
// a visit would have judged (a filter the adapter may lack, a full-screen size not offered).
TEST_F(PagesEndToEnd, PagesNeverVisitedKeepTheirSettings)
{
    GameDefinition definition;
    definition.view3d = 1;
    GameFolder game(definition);
    const std::string before = ModelWrites(
        game, {{"WINDOW", "fps", 30}, {"WINDOW", "full_width", 1234}, {"WINDOW", "full_height", 567},
               {"FULL_SCREEN", "wall", 0}, {"TEXTURE", "min", 2}, {"TEXTURE", "mag", 2}, {"TEXTURE", "bpp", 16},
               {"D3D", "fogtype", 0}, {"D3D", "tex_size", 7}, {"ETC", "imgcache", 100}, {"ETC", "cache", 0},
               {"DEPEND", "use_z", 0}, {"D3D", "vsync", 0}});
    ASSERT_FALSE(before.empty());
    ApplyCounter counter;
    std::string written = Apply(game, {{1, IDC_CAMOUFLAGE, {"WINDOW", "camouflage", 1}}}, &counter);
    EXPECT_EQ(counter.calls, 1);
    WriteBytes(game.SetupXml(), before);
    std::string expected = ModelWrites(game, {{"WINDOW", "camouflage", 1}});
    EXPECT_TRUE(written == expected) << FirstDifference(written, expected);
}

// Pictures of every tab while the game runs (restart notices shown), for looking at: written
// as "pages_<view3d>_<tab>.bmp" into the test's folder.
TEST_F(PagesEndToEnd, PicturesOfEveryTab)
{
    for (int view3d : {1, 0}) {
        GameDefinition definition;
        definition.view3d = view3d;
        GameFolder game(definition);
        HANDLE running = CreateMutexA(nullptr, FALSE, definition.mutex.c_str());
        wchar_t folder[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, folder);
        int pictures = 0, tabs = 0;
        Session(game, [&](HWND sheet) {
            tabs = SheetTabCount(sheet);
            for (int tab = 0; tab < tabs; ++tab) {
                SelectSheetTab(sheet, tab);
                std::wstring path = std::wstring(folder) + L"\\pages_" + std::to_wstring(view3d) + L"_" +
                                    std::to_wstring(tab) + L".bmp";
                Sleep(300); // the sheet's thread paints the new page; a picture needs no exact moment
                pictures += SaveWindowPicture(sheet, path.c_str()) ? 1 : 0;
            }
        });
        CloseHandle(running);
        EXPECT_EQ(tabs, view3d ? 8 : 7);
        EXPECT_EQ(pictures, tabs);
    }
}
