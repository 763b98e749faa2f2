#include "foundation/kcCapsRules.h"
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

TEST(CapsRules, OsCodesFromPlatformAndVersion)
{
    const struct {
        uint32_t platform, major, minor, code;
        const wchar_t* name;
    } rows[] = {
        {0, 3, 10, 1, L""},
        {1, 4, 0, 2, L"Windows 95"},          {1, 4, 10, 3, L"Windows 98"},
        {1, 4, 90, 4, L"Windows Me"},         {1, 4, 3, 15, L"Windows 9x"},
        {2, 3, 51, 32, L"Windows NT 3.x"},    {2, 4, 0, 48, L"Windows NT 4.x"},
        {2, 5, 0, 64, L"Windows 2000"},       {2, 5, 1, 80, L"Windows XP"},
        {2, 5, 2, 16, L"Windows NT"},         {2, 6, 0, 96, L"Windows Vista"},
        {2, 6, 1, 97, L"Windows 7"},          {2, 6, 2, 98, L"Windows 8"},
        {2, 6, 3, 99, L"Windows 8.1"},        {2, 6, 4, 16, L"Windows NT"},
        {2, 7, 0, 16, L"Windows NT"},         {2, 10, 0, 100, L"Windows 10"},
        {2, 10, 7, 100, L"Windows 10"},       {2, 11, 0, 16, L"Windows NT"},
        {2, 2, 0, 16, L"Windows NT"},         {3, 10, 0, 0xFFFF, L"OS Unknown..."},
        {0xFFFFFFFF, 6, 1, 0xFFFF, L"OS Unknown..."},
    };
    for (const auto& r : rows) {
        kcOsName os = kcOsCodeFor(r.platform, r.major, r.minor);
        EXPECT_EQ(r.code, os.code) << r.platform << " " << r.major << "." << r.minor;
        EXPECT_STREQ(r.name, os.name) << r.platform << " " << r.major << "." << r.minor;
    }
}

TEST(CapsRules, EditionTableRowsGapsAndBounds)
{
    const struct {
        uint32_t type;
        const wchar_t* text; // null: no row
    } rows[] = {
        {0, L"An unknown product"}, {1, L"Ultimate"}, {48, L"Professional"},
        {55, L"Server For SB Solutions EM"}, {56, L"Windows MultiPoint Server"}, {57, nullptr},
        {59, L"Windows 8 Essential Server Solution Management"}, {65, nullptr}, {66, L"Not supported"},
        {71, L"Not supported"}, {72, L"Server Enterprise (evaluation installation)"}, {75, nullptr},
        {95, L"Storage Server Workgroup (evaluation installation)"}, {101, L"Windows 8"}, {102, nullptr},
        {103, L"Professional with Media Center"}, {104, nullptr}, {0xABCDABCD, nullptr}, {0xFFFFFFFF, nullptr},
    };
    for (const auto& r : rows) EXPECT_EQ(r.text ? std::wstring(r.text) : L"<none>",
                                         kcEditionText(r.type) ? kcEditionText(r.type) : L"<none>") << r.type;
    int count = 0;
    for (uint32_t t = 0; t < 300; ++t) count += kcEditionText(t) != nullptr;
    EXPECT_EQ(83, count);
}

TEST(CapsRules, DirectXVersionPackingAndEleven)
{
    const struct {
        unsigned major, minor;
        wchar_t letter;
        uint32_t version;
        const wchar_t* text;
    } packs[] = {
        {9, 0, L' ', 9 << 16, L"9.0 "}, {9, 0, L'c', 9 << 16 | 3, L"9.0c"}, {8, 1, L'b', 0x080102, L"8.1b"},
        {7, 0, L'z', 0x07001A, L"7.0z"}, {11, 0, 0, 11 << 16, L"11.0"},
        {9, 0, L'C', 9 << 16, L"9.0C"}, // only lower-case letters count
    };
    for (const auto& r : packs) {
        uint32_t version = 0xDEAD;
        wchar_t text[128];
        kcDxPack(r.major, r.minor, r.letter, &version, text);
        EXPECT_EQ(r.version, version) << r.major << "." << r.minor;
        EXPECT_STREQ(r.text, text);
    }

    static bool d3d11;
    static int asked;
    const struct {
        unsigned dx;
        bool have;
        unsigned major, minor, build;
        bool d3d11, eleven, asked;
    } rows[] = {
        {12, true, 10, 0, 19041, false, true, false}, {10, true, 6, 0, 6001, true, false, false},
        {10, true, 6, 0, 6002, false, false, true},   {10, true, 6, 0, 6002, true, true, true},
        {10, true, 6, 0, 6003, false, true, false},   {10, true, 7, 0, 0, false, true, false},
        {10, true, 5, 1, 2600, true, false, false},   {10, false, 10, 0, 0, true, false, false},
        {9, true, 10, 0, 19041, true, false, false},
    };
    for (const auto& r : rows) {
        d3d11 = r.d3d11;
        asked = 0;
        EXPECT_EQ(r.eleven, kcDxReportsEleven(r.dx, r.have, r.major, r.minor, r.build, [] {
            ++asked;
            return d3d11;
        }))
            << r.dx << " on " << r.major << "." << r.minor << "." << r.build;
        EXPECT_EQ(r.asked, asked == 1);
    }
}

namespace {
typedef std::map<std::wstring, std::pair<uint32_t, uint32_t>> Files; // name -> (ms, ls)

bool FakeLookup(void* context, const wchar_t* file, uint32_t* ls, uint32_t* ms)
{
    const Files& files = *(const Files*)context;
    auto it = files.find(file);
    if (it == files.end()) return false;
    *ms = it->second.first;
    *ls = it->second.second;
    return true;
}

std::pair<uint32_t, uint32_t> V(unsigned a, unsigned b, unsigned c, unsigned d) { return {a << 16 | b, c << 16 | d}; }
} // namespace

TEST(CapsRules, DirectXVersionFromSystemFiles)
{
    const struct {
        Files files;
        const wchar_t* version;
    } rows[] = {
        {{}, L"0.0 "},
        {{{L"\\ddraw.dll", V(4, 2, 0, 94)}}, L"0.0 "},
        {{{L"\\ddraw.dll", V(4, 2, 0, 95)}}, L"1.0 "},
        {{{L"\\ddraw.dll", V(4, 4, 0, 68)}, {L"\\d3drg8x.dll", V(4, 4, 0, 70)}}, L"3.0a"},
        {{{L"\\ddraw.dll", V(4, 7, 0, 700)}, {L"\\dinput.dll", V(4, 7, 0, 716)}}, L"7.0a"},
        // First part 5 rows use their own threshold; other first parts never meet them.
        {{{L"\\ddraw.dll", V(5, 1, 2258, 400)}}, L"8.0 "},
        {{{L"\\ddraw.dll", V(5, 1, 2258, 399)}}, L"7.0 "},
        {{{L"\\ddraw.dll", V(6, 0, 0, 0)}}, L"7.0 "},
        {{{L"\\ddraw.dll", V(5, 1, 2600, 0)}, {L"\\d3d8.dll", V(5, 1, 2600, 901)}}, L"8.1a"},
        {{{L"\\mpg2splt.ax", V(6, 3, 1, 885)}}, L"8.1b"},
        {{{L"\\mpg2splt.ax", V(6, 3, 1, 885)}, {L"\\dpnet.dll", V(4, 9, 0, 134)}}, L"8.2 "},
        {{{L"\\mpg2splt.ax", V(6, 3, 1, 885)}, {L"\\dpnet.dll", V(6, 9, 0, 134)}}, L"8.1b"},
        {{{L"\\d3d9.dll", V(0, 0, 0, 0)}}, L"9.0 "}, // any version of d3d9.dll decides
    };
    for (const auto& r : rows) {
        unsigned major = 99, minor = 99;
        wchar_t letter = L'?';
        kcDxFromFileVersions(&FakeLookup, (void*)&r.files, &major, &minor, &letter);
        EXPECT_EQ(r.version, std::to_wstring(major) + L"." + std::to_wstring(minor) + letter);
    }
    // Version comparison: most significant word first, unsigned.
    EXPECT_EQ(0, kcCompareVersions(1, 1, 1, 1));
    EXPECT_EQ(1, kcCompareVersions(0, 2, 0xFFFFFFFF, 1));
    EXPECT_EQ(-1, kcCompareVersions(5, 1, 6, 1));
    EXPECT_EQ(1, kcCompareVersions(1, 0x80000000, 1, 1));
}

TEST(CapsRules, CpuidDecoding)
{
    const uint32_t intel[3] = {0x756e6547, 0x49656e69, 0x6c65746e}, amd[3] = {0x68747541, 0x69746e65, 0x444d4163};
    const struct {
        kcCpuidLeaves leaves;
        const char* vendor;
        uint32_t type, family, model, stepping, mmx, cmov, sse, amd3dNow;
    } rows[] = {
        {{0xD, {intel[0], intel[1], intel[2]}, 0x000326A9, 0xBFEBFBFF, 0x80000008, 0x28100800}, "GenuineIntel",
         2, 6, 0xA, 9, 1, 1, 1, 0}, // extended model bits are not used
        {{1, {amd[0], amd[1], amd[2]}, 0x158C, 0x008021BF, 0x80000001, 0x80000000}, "AuthenticAMD",
         1, 5, 8, 12, 1, 0, 0, 1},
        // Leaves above the reported maxima are not read.
        {{0, {intel[0], intel[1], intel[2]}, 0x0435, 0x00800001, 0x7FFFFFFF, 0x80000000}, "GenuineIntel",
         0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& r : rows) {
        CpuInfo info = {};
        kcDecodeCpuid(r.leaves, &info);
        EXPECT_STREQ(r.vendor, info.vendor);
        EXPECT_EQ(1u, info.hasCpuid);
        const uint32_t got[] = {info.type, info.family, info.model, info.stepping, info.mmx, info.cmov, info.sse, info.amd3dNow};
        const uint32_t want[] = {r.type, r.family, r.model, r.stepping, r.mmx, r.cmov, r.sse, r.amd3dNow};
        EXPECT_EQ(std::vector<uint32_t>(want, want + 8), std::vector<uint32_t>(got, got + 8)) << r.vendor;
    }
}
