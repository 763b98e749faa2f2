// The Display 1 page: window sizes under the limit, the full-screen list, the cursor group.
#include <gtest/gtest.h>
#include "plugin/PagesFixture.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7Conf.h"
#include "plugin/gx7confResource.h"

namespace {
const int kSizeIds[5] = {IDC_SIZE_0, IDC_SIZE_1, IDC_SIZE_2, IDC_SIZE_3, IDC_SIZE_4};
const uint32_t kFormat = 22; // X8R8G8B8

std::vector<std::wstring> ListTexts(HWND list)
{
    std::vector<std::wstring> texts;
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        texts.push_back(text);
    }
    return texts;
}

int Selected(PagesFixture& f)
{
    return static_cast<int>(SendMessageW(f.Item(IDC_FULL_LIST), LB_GETCURSEL, 0, 0));
}

void Select(PagesFixture& f, int entry)
{
    SendMessageW(f.Item(IDC_FULL_LIST), LB_SETCURSEL, entry, 0);
}

// A screen of 1280 x 1024 and modes in the current format at 60 Hz (a few at other rates).
void StandardAdapter(PagesFixture& f)
{
    f.Owner().SetScreenSize(1280, 1024);
    f.SetModes({1280, 1024, 60, kFormat}, {{640, 480, 60, kFormat},
                                           {800, 600, 60, kFormat},
                                           {800, 600, 75, kFormat},
                                           {1024, 768, 59, kFormat},
                                           {1024, 768, 60, kFormat},
                                           {1024, 768, 60, 23},
                                           {1280, 1024, 60, kFormat}});
}
} // namespace

TEST(Display1Page, LimitDisablesSizesLargerThanTheScreen)
{
    PagesFixture f;
    StandardAdapter(f);
    f.Set(f.Working(), {{"WINDOW", "limit", 1}, {"WINDOW", "width", 1600}, {"WINDOW", "height", 1200}});
    f.Open(IDD_PAGE_DISPLAY1, Display1PageProc);
    EXPECT_EQ(f.Text(IDC_SIZE_2), L"1024 X 768");
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(f.Enabled(kSizeIds[i])) << i;
    EXPECT_FALSE(f.Enabled(IDC_SIZE_4));
    EXPECT_TRUE(f.Checked(IDC_SIZE_3)); // the largest enabled size stands for 1600 x 1200
    EXPECT_FALSE(f.Checked(IDC_SIZE_4));
    EXPECT_TRUE(f.Checked(IDC_SIZE_LIMIT));
    f.Leave();
    EXPECT_EQ(f.Get("WINDOW", "width"), 1280);
    EXPECT_EQ(f.Get("WINDOW", "height"), 960);
}

TEST(Display1Page, LimitBoxFlipsTheSettingAndTheButtonsAtOnce)
{
    PagesFixture f;
    StandardAdapter(f);
    f.Set(f.Working(), {{"WINDOW", "limit", 1}, {"WINDOW", "width", 800}, {"WINDOW", "height", 600}});
    f.Open(IDD_PAGE_DISPLAY1, Display1PageProc);
    ASSERT_FALSE(f.Enabled(IDC_SIZE_4));
    f.Click(IDC_SIZE_LIMIT);
    EXPECT_EQ(f.Get("WINDOW", "limit"), 0);
    EXPECT_FALSE(f.Checked(IDC_SIZE_LIMIT));
    EXPECT_TRUE(f.Enabled(IDC_SIZE_4));
    EXPECT_EQ(f.Owner().modified, 1);
    f.Click(IDC_SIZE_4);
    f.Click(IDC_SIZE_LIMIT); // back on: 1600 x 1200 no longer fits
    EXPECT_EQ(f.Get("WINDOW", "limit"), 1);
    EXPECT_TRUE(f.Checked(IDC_SIZE_LIMIT));
    EXPECT_FALSE(f.Enabled(IDC_SIZE_4));
}

TEST(Display1Page, FewerSizesHideTheSurplusButtons)
{
    PagesFixture f;
    StandardAdapter(f);
    f.Working().windowSizes[3] = {0, 0};
    f.Set(f.Working(), {{"WINDOW", "width", 1000}, {"WINDOW", "height", 700}});
    f.Open(IDD_PAGE_DISPLAY1, Display1PageProc);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(f.Visible(kSizeIds[i]), i < 3) << i;
        EXPECT_FALSE(f.Checked(kSizeIds[i])) << i; // a size not in the list checks nothing
    }
    f.Leave();
    EXPECT_EQ(f.Get("WINDOW", "width"), 1000);
    EXPECT_EQ(f.Get("WINDOW", "height"), 700);
}

TEST(Display1Page, FullScreenSelectionStoresSizeAndFlag)
{
    struct Case {
        int noFullRes;
        int width, height;
        int select;         // entry to select before leaving, -1 to keep the page's
        int selectedAtOpen; // what the page selected
        int storedWidth, storedHeight, storedNoFullRes;
    } cases[] = {
        {0, 1024, 768, -1, 3, 1024, 768, 0},
        {1, 640, 480, -1, 0, 1280, 1024, 1},
        {0, 800, 600, 0, 2, 1280, 1024, 1}, // entry 0 stores the desktop size
        {0, 800, 60, -1, -1, 800, 60, 0},   // only an exact size selects: not 800 x 600
        {0, 1600, 1200, -1, -1, 1600, 1200, 0}, // not in the list: nothing changes
    };
    for (const Case& c : cases) {
        PagesFixture f;
        StandardAdapter(f);
        f.Set(f.Working(), {{"FULL_SCREEN", "no_full_res", c.noFullRes},
                            {"WINDOW", "full_width", c.width},
                            {"WINDOW", "full_height", c.height}});
        f.Open(IDD_PAGE_DISPLAY1, Display1PageProc);
        // Each size once (59 and 60 Hz match), at its first place, after the desktop.
        std::vector<std::wstring> list = {L"解像度を変更しない", L"640 x 480", L"800 x 600", L"1024 x 768", L"1280 x 1024"};
        EXPECT_EQ(ListTexts(f.Item(IDC_FULL_LIST)), list);
        EXPECT_EQ(Selected(f), c.selectedAtOpen) << c.width << "x" << c.height;
        f.Refresh();
        EXPECT_EQ(Selected(f), c.selectedAtOpen) << c.width << "x" << c.height;
        if (c.select >= 0)
            Select(f, c.select);
        f.Leave();
        EXPECT_EQ(f.Get("WINDOW", "full_width"), c.storedWidth) << c.width << "x" << c.height;
        EXPECT_EQ(f.Get("WINDOW", "full_height"), c.storedHeight) << c.width << "x" << c.height;
        EXPECT_EQ(f.Get("FULL_SCREEN", "no_full_res"), c.storedNoFullRes) << c.width << "x" << c.height;
    }
}

// Without a probed mode, or without a capability object, entry 0 still stands for the desktop.
TEST(Display1Page, WithoutAdapterDataEntryZeroStoresTheDesktopSize)
{
    for (bool probe : {false, true}) {
        PagesFixture f;
        if (probe)
            f.SetModes({}, {});
        f.Set(f.Working(), {{"FULL_SCREEN", "no_full_res", 1}, {"WINDOW", "full_width", 1024},
                            {"WINDOW", "full_height", 768}});
        f.Open(IDD_PAGE_DISPLAY1, Display1PageProc);
        EXPECT_EQ(SendMessageW(f.Item(IDC_FULL_LIST), LB_GETCOUNT, 0, 0), 1);
        f.Leave();
        EXPECT_EQ(f.Get("WINDOW", "full_width"), GetSystemMetrics(SM_CXSCREEN)) << probe;
        EXPECT_EQ(f.Get("WINDOW", "full_height"), GetSystemMetrics(SM_CYSCREEN)) << probe;
        EXPECT_NE(f.Get("WINDOW", "full_width"), 0);
    }
}

TEST(Display1Page, HiddenCursorChoiceIsStillStoredAndReset)
{
    PagesFixture f;
    StandardAdapter(f);
    f.Set(f.Working(), {{"CURSOR", "change", 0}, {"WINDOW", "cursor_mode", 0}, {"WINDOW", "fps", 30}});
    f.Open(IDD_PAGE_DISPLAY1, Display1PageProc);
    for (int id : {IDC_CURSOR_GROUP, IDC_CURSOR_ORIGINAL, IDC_CURSOR_SYSTEM})
        EXPECT_FALSE(f.Visible(id)) << id;
    EXPECT_TRUE(f.Checked(IDC_CURSOR_SYSTEM));
    EXPECT_TRUE(f.Checked(IDC_FPS_30));
    f.Leave();
    EXPECT_EQ(f.Get("WINDOW", "cursor_mode"), 0);
    f.Reset();
    EXPECT_EQ(f.Get("WINDOW", "cursor_mode"), 1);
    EXPECT_TRUE(f.Checked(IDC_CURSOR_ORIGINAL));
}

TEST(Display1Page, ResetTakesTheBackupAndTheConstants)
{
    PagesFixture f;
    StandardAdapter(f);
    f.Set(f.Backup(), {{"WINDOW", "width", 1024}, {"WINDOW", "height", 768}, {"WINDOW", "full_width", 800},
                       {"WINDOW", "full_height", 600}, {"WINDOW", "fps", 30}, {"WINDOW", "limit", 0}});
    f.Set(f.Working(), {{"WINDOW", "width", 640}, {"WINDOW", "height", 480}, {"WINDOW", "limit", 1},
                        {"WINDOW", "fps", 60}, {"FULL_SCREEN", "no_full_res", 0}, {"WINDOW", "cursor_mode", 0}});
    f.Open(IDD_PAGE_DISPLAY1, Display1PageProc);
    ASSERT_FALSE(f.Enabled(IDC_SIZE_4));
    f.Reset();
    EXPECT_EQ(f.Get("WINDOW", "width"), 1024);
    EXPECT_EQ(f.Get("WINDOW", "height"), 768);
    EXPECT_EQ(f.Get("WINDOW", "full_width"), 800);
    EXPECT_EQ(f.Get("WINDOW", "full_height"), 600);
    EXPECT_EQ(f.Get("WINDOW", "fps"), 30);
    EXPECT_EQ(f.Get("WINDOW", "limit"), 0);
    EXPECT_EQ(f.Get("WINDOW", "cursor_mode"), 1);
    EXPECT_EQ(f.Get("FULL_SCREEN", "no_full_res"), 1);
    EXPECT_TRUE(f.Checked(IDC_SIZE_2));
    EXPECT_TRUE(f.Enabled(IDC_SIZE_4));
    EXPECT_EQ(Selected(f), 0);
    EXPECT_EQ(f.Owner().modified, 1);
}
