// The General, Display 2, Sound and other, and Environment pages on a real sheet: refresh
// from a chosen record, storing when the page is left, marking the sheet modified, reset.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include "config/kcSettings.h"
#include "plugin/PagesFixture.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7Conf.h"
#include "plugin/gx7confResource.h"

namespace {
struct PageCase {
    const char* name;
    int templateId;
    DLGPROC procedure;
    std::vector<PageSetting> record;
    std::vector<int> checked;
    std::vector<int> unchecked;
};

const PageCase kRefreshCases[] = {
    {"general", IDD_PAGE_GENERAL, GeneralPageProc,
     {{"WINDOW", "mode", 2}, {"WINDOW", "screensaver", 1}, {"WINDOW", "camouflage", 0}, {"WINDOW", "out_info", 1}},
     {1003, 1006, 1008}, {1001, 1002, 1007}},
    {"general, mode outside the group", IDD_PAGE_GENERAL, GeneralPageProc,
     {{"WINDOW", "mode", 3}, {"WINDOW", "screensaver", 0}, {"WINDOW", "camouflage", 1}, {"WINDOW", "out_info", 0}},
     {1007}, {1001, 1002, 1003, 1006, 1008}},
    {"display 2, values outside the groups", IDD_PAGE_DISPLAY2, Display2PageProc,
     {{"FULL_SCREEN", "full_size", 2}, {"FULL_SCREEN", "full_pos", -1}, {"FULL_SCREEN", "mw_pos", 3},
      {"FULL_SCREEN", "wall", 2}},
     {}, {1132, 1133, 1134, 1135, 1136, 1137, 1138, 1139, 1140, 1141}},
    {"sound", IDD_PAGE_SOUNDOTHER, SoundOtherPageProc,
     {{"SOUND", "ds3d", 1}, {"SOUND", "sticky", 0}, {"SOUND", "stereo", 1}, {"ETC", "dualcore", 0}},
     {1028, 1123}, {1027, 1122}},
    {"environment, inverted boxes", IDD_PAGE_ENVIRONMENT, EnvironmentPageProc,
     {{"DEPEND", "gdi_cap", 1}, {"DEPEND", "z32", 0}, {"DEPEND", "use_z", 1}, {"WINDOW", "full_wide", 1},
      {"ETC", "cache", 0}, {"ETC", "disablemovie", 0}, {"ETC", "disablepixelshader", 1}, {"ETC", "waitd3dcommand", 1}},
     {1042, 1045, 1046, 1048, 1143}, {1043, 1044, 1047}},
};

struct StoreCase {
    const char* name;
    int templateId;
    DLGPROC procedure;
    std::vector<int> clicks; // from a record of zeros
    std::vector<PageSetting> expect;
};

const StoreCase kStoreCases[] = {
    {"general", IDD_PAGE_GENERAL, GeneralPageProc, {1002, 1007},
     {{"WINDOW", "mode", 1}, {"WINDOW", "screensaver", 0}, {"WINDOW", "camouflage", 1}, {"WINDOW", "out_info", 0}}},
    {"display 2", IDD_PAGE_DISPLAY2, Display2PageProc, {1133, 1135, 1139, 1141},
     {{"FULL_SCREEN", "full_size", 1}, {"FULL_SCREEN", "full_pos", 1}, {"FULL_SCREEN", "mw_pos", 2},
      {"FULL_SCREEN", "wall", 1}}},
    {"sound", IDD_PAGE_SOUNDOTHER, SoundOtherPageProc, {1027, 1122},
     {{"SOUND", "ds3d", 0}, {"SOUND", "sticky", 1}, {"SOUND", "stereo", 0}, {"ETC", "dualcore", 1}}},
    // From zeros the inverted boxes show ticked; unticking the hidden Z-buffer box stores 1.
    {"environment", IDD_PAGE_ENVIRONMENT, EnvironmentPageProc, {1042, 1047, 1044},
     {{"DEPEND", "gdi_cap", 1}, {"ETC", "disablemovie", 1}, {"DEPEND", "use_z", 1}, {"ETC", "cache", 0},
      {"ETC", "waitd3dcommand", 0}}},
};
} // namespace

TEST(SettingsPages, RefreshSetsEveryControlFromTheRecord)
{
    for (const PageCase& c : kRefreshCases) {
        PagesFixture f;
        f.Set(f.Working(), c.record);
        ASSERT_NE(f.Open(c.templateId, c.procedure), nullptr) << c.name;
        for (int id : c.checked)
            EXPECT_TRUE(f.Checked(id)) << c.name << " " << id;
        for (int id : c.unchecked)
            EXPECT_FALSE(f.Checked(id)) << c.name << " " << id;
        EXPECT_EQ(f.Owner().modified, 0) << c.name;
    }
}

TEST(SettingsPages, LeavingThePageStoresEveryControl)
{
    for (const StoreCase& c : kStoreCases) {
        PagesFixture f;
        ASSERT_NE(f.Open(c.templateId, c.procedure), nullptr) << c.name;
        for (int id : c.clicks)
            f.Click(id);
        EXPECT_EQ(f.Owner().modified, 1) << c.name;
        f.Leave();
        for (const PageSetting& s : c.expect)
            EXPECT_EQ(f.Get(s.section, s.key), s.value) << c.name << " " << s.section << "/" << s.key;
    }
}

TEST(SettingsPages, EveryEditMarksTheSheetModified)
{
    struct Edits {
        int templateId;
        DLGPROC procedure;
        std::vector<int> controls;
    } pages[] = {
        {IDD_PAGE_GENERAL, GeneralPageProc, {1001, 1002, 1003, 1006, 1007, 1008}},
        {IDD_PAGE_DISPLAY1, Display1PageProc, {1004, 1005, 1009, 1010, 1011, 1012, 1013, 1016, 1017, 1131, 1142}},
        {IDD_PAGE_DISPLAY2, Display2PageProc, {1132, 1133, 1134, 1135, 1136, 1137, 1138, 1139, 1140, 1141}},
        {IDD_PAGE_DIRECT3D1, Direct3D1PageProc, {1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1118, 1119, 1120, 1121}},
        {IDD_PAGE_DIRECT3D2, Direct3D2PageProc, {1026, 1124, 1125, 1126, 1127, 1128, 1129}},
        {IDD_PAGE_DIRECT3D, Direct3DPageProc, {1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1118, 1120}},
        {IDD_PAGE_SOUNDOTHER, SoundOtherPageProc, {1027, 1028, 1122, 1123}},
        {IDD_PAGE_ENVIRONMENT, EnvironmentPageProc, {1042, 1043, 1044, 1045, 1046, 1047, 1048, 1143}},
    };
    for (const Edits& page : pages) {
        PagesFixture f;
        ASSERT_NE(f.Open(page.templateId, page.procedure), nullptr) << page.templateId;
        for (int id : page.controls) {
            f.Owner().modified = 0;
            f.Command(id);
            EXPECT_EQ(f.Owner().modified, 1) << page.templateId << " " << id;
        }
        // Static texts are no edits.
        f.Owner().modified = 0;
        f.Command(1112);
        EXPECT_EQ(f.Owner().modified, 0) << page.templateId;
    }
}

TEST(SettingsPages, ResetWritesTheResetValuesAndRefreshes)
{
    struct ResetCase {
        const char* name;
        int templateId;
        DLGPROC procedure;
        std::vector<PageSetting> backup;
        std::vector<PageSetting> expect; // from a working record of 7s
        std::vector<int> checked;
    } cases[] = {
        {"general", IDD_PAGE_GENERAL, GeneralPageProc,
         {{"WINDOW", "mode", 2}, {"WINDOW", "screensaver", 1}, {"WINDOW", "camouflage", 0}, {"WINDOW", "out_info", 0}},
         {{"WINDOW", "mode", 0}, {"WINDOW", "screensaver", 1}, {"WINDOW", "camouflage", 0}, {"WINDOW", "out_info", 1}},
         {1001, 1006, 1008}},
        {"display 2", IDD_PAGE_DISPLAY2, Display2PageProc,
         {{"FULL_SCREEN", "full_size", 1}, {"FULL_SCREEN", "full_pos", 2}, {"FULL_SCREEN", "mw_pos", 1},
          {"FULL_SCREEN", "wall", 0}},
         {{"FULL_SCREEN", "full_size", 1}, {"FULL_SCREEN", "full_pos", 2}, {"FULL_SCREEN", "mw_pos", 1},
          {"FULL_SCREEN", "wall", 0}},
         {1133, 1136, 1138, 1140}},
        {"sound", IDD_PAGE_SOUNDOTHER, SoundOtherPageProc,
         {{"SOUND", "ds3d", 1}, {"SOUND", "sticky", 0}, {"SOUND", "stereo", 0}, {"ETC", "imgcache", 64},
          {"ETC", "dualcore", 0}},
         {{"SOUND", "ds3d", 1}, {"SOUND", "sticky", 0}, {"SOUND", "stereo", 1}, {"ETC", "imgcache", 32},
          {"ETC", "dualcore", 1}},
         {1028, 1123, 1122}},
        // Hidden boxes included: use_z and cache on, everything else off.
        {"environment", IDD_PAGE_ENVIRONMENT, EnvironmentPageProc, {{"DEPEND", "use_z", 0}, {"ETC", "cache", 0}},
         {{"DEPEND", "gdi_cap", 0}, {"DEPEND", "z32", 0}, {"DEPEND", "use_z", 1}, {"WINDOW", "full_wide", 0},
          {"ETC", "cache", 1}, {"ETC", "disablemovie", 0}, {"ETC", "disablepixelshader", 0},
          {"ETC", "waitd3dcommand", 0}},
         {}},
    };
    for (const ResetCase& c : cases) {
        PagesFixture f;
        f.Set(f.Backup(), c.backup);
        std::vector<PageSetting> sevens;
        for (const PageSetting& s : c.expect)
            sevens.push_back({s.section, s.key, 7});
        f.Set(f.Working(), sevens);
        ASSERT_NE(f.Open(c.templateId, c.procedure), nullptr) << c.name;
        f.Reset();
        for (const PageSetting& s : c.expect)
            EXPECT_EQ(f.Get(s.section, s.key), s.value) << c.name << " " << s.section << "/" << s.key;
        for (int id : c.checked)
            EXPECT_TRUE(f.Checked(id)) << c.name << " " << id;
        EXPECT_EQ(f.Owner().modified, 1) << c.name;
    }
}

TEST(SettingsPages, GeneralInformationBoxNamesTheGameFile)
{
    PagesFixture f;
    kcConfigSetText(&f.Working(), "INFO", "file", L"sysinfo.txt");
    f.Open(IDD_PAGE_GENERAL, GeneralPageProc);
    EXPECT_EQ(f.Text(IDC_OUT_INFO), L"起動時に\"sysinfo.txt\"を作成する");
}

TEST(SettingsPages, TrackbarEndsAndResetOfTheCacheSize)
{
    PagesFixture f;
    f.Set(f.Working(), {{"ETC", "imgcache", 64}});
    f.Open(IDD_PAGE_SOUNDOTHER, SoundOtherPageProc);
    HWND bar = f.Item(IDC_IMGCACHE);
    EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 64);
    EXPECT_EQ(f.Text(IDC_IMGCACHE_TEXT), L"64 MB");
    for (int end : {0, 128}) {
        f.Owner().modified = 0;
        SendMessageW(bar, TBM_SETPOS, TRUE, end);
        SendMessageW(f.Page(), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(bar));
        EXPECT_EQ(f.Get("ETC", "imgcache"), end);
        EXPECT_EQ(f.Text(IDC_IMGCACHE_TEXT), std::to_wstring(end) + L" MB");
        EXPECT_EQ(f.Owner().modified, 1);
    }
    EXPECT_EQ(SendMessageW(bar, TBM_GETRANGEMAX, 0, 0), 128);
    f.Reset();
    EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 32);
    EXPECT_EQ(f.Text(IDC_IMGCACHE_TEXT), L"32 MB");
}

TEST(SettingsPages, PixelShaderBoxOnlyForGamesThatUseThem)
{
    for (int usePs : {0, 1}) {
        PagesFixture f;
        f.Set(f.Current(), {{"APP", "use_ps", usePs}});
        f.Open(IDD_PAGE_ENVIRONMENT, EnvironmentPageProc);
        EXPECT_EQ(f.Visible(IDC_DISABLE_PIXELSHADER), usePs == 1);
        for (int hidden : {IDC_Z32, IDC_NO_Z, IDC_FULL_WIDE, IDC_NO_CACHE})
            EXPECT_FALSE(f.Visible(hidden)) << hidden;
    }
}
