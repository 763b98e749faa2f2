#include <gtest/gtest.h>

#include <string>
#include <utility>

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
    std::wstring longToken = L"%" + std::wstring(300, L'a') + L"%";
    const struct { const wchar_t* in; std::wstring out; } cases[] = {
        {L"%save%\\name", L"S\\name"}, {L"%SAVE%\\name", L"%SAVE%\\name"}, // letter case counts
        {L"%brand%%title%%imglib%", L"BTI"}, {L"%USERPROFILE%\\x", std::wstring(appData) + L"\\x"},
        {L"%ProgramData%|%ALLUSERSPROFILE%", std::wstring(common) + L"|" + common},
        {L"a\\%open end", L"a\\%open end"}, {L"%STEAMUSERDATA%", L"%STEAMUSERDATA%"}, {L"", L""},
        {longToken.c_str(), longToken}, // too long to be a token: copied
    };
    wchar_t out[400];
    for (const auto& c : cases) {
        kcExpandPathMacrosW(out, 400, c.in);
        EXPECT_EQ(c.out, out) << c.in;
    }
    kcExpandPathMacros(out, 400, "%title%\\x");
    EXPECT_STREQ(out, L"T\\x");
    // A result too long is cut to the output.
    wchar_t small[4];
    kcExpandPathMacrosW(small, 4, L"%brand%%title%%imglib%%save%");
    EXPECT_STREQ(small, L"BTI");
    kcPathMacroValueW(out, 400, L"%other%");
    EXPECT_STREQ(out, L"%other%");
}

TEST(DisplayModes, MatchAndHas)
{
    ConfigFolder folder;
    const kcConfig& c = folder.Start("");
    int w = 1000, h = 700;
    EXPECT_EQ(c.MatchDisplayMode(&w, &h) + c.HasDisplayMode(1280, 720), 0); // no list
    EXPECT_EQ(w, 1000);
    {
        TestModes empty({});
        EXPECT_EQ(c.MatchDisplayMode(&w, &h), 0); // a list without entries is no list
    }
    EXPECT_EQ(kcAspectPermille(0, 600), 0); // a mode without a width divides nothing
    TestModes modes({{800, 600, 60, 22}, {1280, 720, 59, 22}, {1366, 768, 60, 23}, {1600, 900, 75, 22}, {1920, 1080, 60, 22}});
    const struct { int w, h, expectW, expectH; } cases[] = {
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
        EXPECT_EQ(std::make_pair(mw, mh), std::make_pair(m.expectW, m.expectH)) << m.w << "x" << m.h;
    }
    EXPECT_EQ(c.HasDisplayMode(800, 600), 1); // the aspect is not tested
    EXPECT_EQ(c.HasDisplayMode(1366, 768) + c.HasDisplayMode(1600, 900) + c.HasDisplayMode(1234, 567), 0);
    EXPECT_TRUE(kcRefreshRateMatches(60, 59) && !kcRefreshRateMatches(59, 61));

    // The game definition's full-screen size: the width read, then matched.
    kcReleaseConfig();
    folder.Start("<SCREEN><width>1000</width><height>700</height></SCREEN>");
    const ConfigBlock& b = *kcConfigCurrentBlock;
    ExpectFields({FIELD(fullWidth, 1280), FIELD(fullHeight, 720), FIELD(useWidth, 1000)});
}

} // namespace
