#include <gtest/gtest.h>

#include <string>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"
#include "config/kcPathMacros.h"
#include "foundation/kcFolder.h"

namespace {

TEST(PathMacros, Tokens)
{
    ConfigFolder folder;
    folder.Start("<APP><brand>B</brand><title>T</title></APP><FOLDER><save>S</save><imglib>I</imglib></FOLDER>");
    wchar_t appData[260], common[260];
    ASSERT_TRUE(kcGetSpecialFolder(KCFOLDER_APPDATA, appData));
    ASSERT_TRUE(kcGetSpecialFolder(KCFOLDER_COMMON_APPDATA, common));
    const struct {
        const wchar_t* in;
        std::wstring out;
    } cases[] = {
        {L"%save%\\name", L"S\\name"}, {L"%SAVE%\\name", L"%SAVE%\\name"}, // letter case counts
        {L"%brand%%title%%imglib%", L"BTI"}, {L"%USERPROFILE%\\x", std::wstring(appData) + L"\\x"},
        {L"%ProgramData%|%ALLUSERSPROFILE%", std::wstring(common) + L"|" + common},
        {L"a\\%open end", L"a\\%open end"}, {L"%STEAMUSERDATA%", L"%STEAMUSERDATA%"}, {L"", L""},
    };
    wchar_t out[260];
    for (const auto& c : cases) {
        kcExpandPathMacrosW(out, 260, c.in);
        EXPECT_EQ(c.out, out) << c.in;
    }
    kcExpandPathMacros(out, 260, "%title%\\x");
    EXPECT_STREQ(out, L"T\\x");
    // A token too long to be one is copied; a result too long is cut to the output.
    std::wstring longToken = L"%" + std::wstring(300, L'a') + L"%";
    wchar_t big[400];
    kcExpandPathMacrosW(big, 400, longToken.c_str());
    EXPECT_EQ(longToken, big);
    wchar_t small[4];
    kcExpandPathMacrosW(small, 4, L"%brand%%title%%imglib%%save%");
    EXPECT_STREQ(small, L"BTI");
    kcPathMacroValueW(out, 260, L"%other%");
    EXPECT_STREQ(out, L"%other%");
}

TEST(DisplayModes, Arithmetic)
{
    EXPECT_EQ(kcAspectPermille(1920, 1080) * 10000 + kcAspectPermille(800, 600), 5620750);
    EXPECT_EQ(kcAspectPermille(0, 600), 0);
    EXPECT_TRUE(kcRefreshRateMatches(59, 60) && kcRefreshRateMatches(60, 59) && kcRefreshRateMatches(75, 75));
    EXPECT_FALSE(kcRefreshRateMatches(59, 61));
}

TEST(DisplayModes, MatchAndHas)
{
    ConfigFolder folder;
    const kcConfig& c = folder.Start("");
    int w = 1000, h = 700;
    EXPECT_EQ(c.MatchDisplayMode(&w, &h), 0); // no list: unchanged
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(c.HasDisplayMode(1280, 720), 0);
    {
        TestModes empty({});
        EXPECT_EQ(c.MatchDisplayMode(&w, &h), 0); // a list without entries is no list
    }
    TestModes modes({{800, 600, 60, 22}, {1280, 720, 59, 22}, {1366, 768, 60, 23}, {1600, 900, 75, 22}, {1920, 1080, 60, 22}});
    const struct {
        int w, h, expectW, expectH;
    } cases[] = {
        {1280, 720, 1280, 720},   // 59 Hz matches 60
        {1000, 700, 1280, 720},   // the first 16:9 candidate at least as large
        {1366, 768, 1920, 1080},  // another format is no candidate
        {1600, 900, 1920, 1080},  // another refresh rate is no candidate
        {1024, 768, 1920, 1080},  // 4:3 with no 4:3 candidate: the current mode
        {4000, 3000, 1920, 1080}, // nothing large enough
    };
    for (const auto& m : cases) {
        int mw = m.w, mh = m.h;
        EXPECT_EQ(c.MatchDisplayMode(&mw, &mh), 1);
        EXPECT_EQ(std::to_string(mw) + "x" + std::to_string(mh), std::to_string(m.expectW) + "x" + std::to_string(m.expectH))
            << m.w << "x" << m.h;
    }
    EXPECT_EQ(c.HasDisplayMode(800, 600), 1); // the aspect is not tested
    EXPECT_EQ(c.HasDisplayMode(1366, 768) + c.HasDisplayMode(1600, 900) + c.HasDisplayMode(1234, 567), 0);
}

TEST(DisplayModes, GameDefinitionFullScreenSize)
{
    ConfigFolder folder;
    TestModes modes({{1280, 720, 60, 22}, {1920, 1080, 60, 22}});
    folder.Start("<SCREEN><width>1000</width><height>700</height></SCREEN>");
    const ConfigBlock& b = *kcConfigCurrentBlock;
    ExpectFields({FIELD(fullWidth, 1280), FIELD(fullHeight, 720), FIELD(useWidth, 1000)}); // full size: the width read, matched
}

} // namespace
