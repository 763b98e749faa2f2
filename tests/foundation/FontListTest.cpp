#include "kcFontList.h"
#include "kcHeap.h"
#include <gtest/gtest.h>
#include <cwctype>
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

std::set<std::wstring> Names(const kcFontList& list)
{
    std::set<std::wstring> s;
    for (int i = 0; i < list.GetCount(); ++i)
        s.insert(list.GetName(i));
    return s;
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
    } kRows[] = {
        {-1, 0, 1, Face(L"Tahoma", ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS), tt, true},
        {-1, 0, 1, Face(L"@MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH), tt, false},
        {-1, 1, 1, Face(L"@MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH), tt, true},
        {-1, 1, 1, Face(L"MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH), tt, false},
        {-1, 0, 0, Face(L"Tahoma", ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS), tt, false},
        {-1, 0, 0, Face(L"Courier", ANSI_CHARSET, FIXED_PITCH | FF_MODERN), raster, true},
        {-1, 0, 0, Face(L"Odd", ANSI_CHARSET, FIXED_PITCH | 0x04), tt, false}, // low four bits
        {0, 0, 1, Face(L"Tahoma", ANSI_CHARSET, VARIABLE_PITCH), tt, true},
        {0, 0, 1, Face(L"Tahoma", GREEK_CHARSET, VARIABLE_PITCH), tt, false},
        {128, 0, 1, Face(L"MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH), tt, true},
        {128, 0, 1, Face(L"Terminal", SHIFTJIS_CHARSET, FIXED_PITCH), raster, false},
        {128, 0, 1, Face(L"Tahoma", ANSI_CHARSET, VARIABLE_PITCH), tt, false},
    };
    for (const auto& r : kRows)
        EXPECT_EQ(r.passes, kcFontList::Passes(r.charset, r.vertical, r.anyPitch, r.face, r.type))
            << r.charset << " " << r.vertical << " " << r.anyPitch << " " << r.face.lfFaceName;
}

TEST(FontList, InstalledFacesByFilter)
{
    int live = kcHeapLiveBlocks();
    {
        kcFontList all(nullptr, -1, 0, 1);
        ASSERT_GT(all.GetCount(), 0);
        for (int i = 0; i < all.GetCount(); ++i) {
            ASSERT_NE(L'@', all.GetName(i)[0]);
            // Find gives the first entry of a name listed once per character set.
            int first = all.Find(all.GetName(i));
            EXPECT_LE(first, i);
            EXPECT_STREQ(all.GetName(i), all.GetName(first));
        }
        EXPECT_EQ(nullptr, all.GetName(all.GetCount()));
        EXPECT_EQ(nullptr, all.GetName(-1));

        // Exact, case-sensitive matches only.
        std::wstring name = all.GetName(0);
        std::wstring other = name;
        for (wchar_t& c : other)
            c = std::iswupper(c) ? std::towlower(c) : std::towupper(c);
        if (other != name) {
            EXPECT_EQ(-1, all.Find(other.c_str()));
        }
        EXPECT_EQ(-1, all.Find(L"No Such Face Anywhere"));
        EXPECT_EQ(-1, all.Find(nullptr));

        kcFontList fixed(nullptr, -1, 0, 0);
        kcFontList ansi(nullptr, ANSI_CHARSET, 0, 1);
        std::set<std::wstring> names = Names(all);
        EXPECT_LT(fixed.GetCount(), all.GetCount());
        EXPECT_LE(ansi.GetCount(), all.GetCount());
        for (const std::wstring& n : Names(fixed))
            EXPECT_TRUE(names.count(n)) << n.c_str();
        for (const std::wstring& n : Names(ansi))
            EXPECT_TRUE(names.count(n)) << n.c_str();

        kcFontList vertical(nullptr, -1, 1, 1);
        for (int i = 0; i < vertical.GetCount(); ++i)
            EXPECT_EQ(L'@', vertical.GetName(i)[0]);
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}
