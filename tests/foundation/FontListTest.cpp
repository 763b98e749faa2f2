#include "foundation/kcFontList.h"
#include "foundation/kcHeap.h"
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {
LOGFONTW Face(const wchar_t* name, BYTE charset, BYTE pitchAndFamily)
{
    LOGFONTW f = {};
    f.lfCharSet = charset;
    f.lfPitchAndFamily = pitchAndFamily;
    lstrcpynW(f.lfFaceName, name, LF_FACESIZE);
    return f;
}
} // namespace

TEST(FontList, FilterOfOneFace)
{
    const DWORD tt = TRUETYPE_FONTTYPE, raster = RASTER_FONTTYPE;
    const struct {
        int charset, vertical, anyPitch;
        LOGFONTW face;
        DWORD type;
        bool passes;
    } rows[] = {
        {-1, 0, 1, Face(L"Tahoma", ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS), tt, true},
        {-1, 0, 1, Face(L"@MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH), tt, false},
        {-1, 1, 1, Face(L"@MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH), tt, true},
        {-1, 1, 1, Face(L"MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH), tt, false},
        {-1, 0, 0, Face(L"Tahoma", ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS), tt, false},
        {-1, 0, 0, Face(L"Courier", ANSI_CHARSET, FIXED_PITCH | FF_MODERN), raster, true},
        {-1, 0, 0, Face(L"Odd", ANSI_CHARSET, FIXED_PITCH | 0x04), tt, false}, // low four bits
        {0, 0, 1, Face(L"Tahoma", GREEK_CHARSET, VARIABLE_PITCH), tt, false},
        {128, 0, 1, Face(L"MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH), tt, true},
        {128, 0, 1, Face(L"Terminal", SHIFTJIS_CHARSET, FIXED_PITCH), raster, false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.passes, kcFontList::Passes(r.charset, r.vertical, r.anyPitch, r.face, r.type))
            << r.charset << " " << r.vertical << " " << r.anyPitch << " " << r.face.lfFaceName;
}

TEST(FontList, InstalledFacesByFilter)
{
    int live = kcHeapLiveBlocks();
    {
        kcFontList all(nullptr, -1, 0, 1), fixed(nullptr, -1, 0, 0), vertical(nullptr, -1, 1, 1);
        ASSERT_GT(all.GetCount(), 0);
        std::set<std::wstring> names;
        for (int i = 0; i < all.GetCount(); ++i) {
            names.insert(all.GetName(i));
            EXPECT_NE(L'@', all.GetName(i)[0]);
            EXPECT_STREQ(all.GetName(i), all.GetName(all.Find(all.GetName(i)))); // the first of a name
        }
        EXPECT_EQ(nullptr, all.GetName(all.GetCount()));
        EXPECT_EQ(-1, all.Find(L"No Such Face Anywhere"));
        EXPECT_LT(fixed.GetCount(), all.GetCount());
        for (int i = 0; i < fixed.GetCount(); ++i) EXPECT_TRUE(names.count(fixed.GetName(i)));
        for (int i = 0; i < vertical.GetCount(); ++i) EXPECT_EQ(L'@', vertical.GetName(i)[0]);
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}
