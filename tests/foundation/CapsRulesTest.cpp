#include "kcCapsRules.h"
#include <gtest/gtest.h>
#include <map>
#include <string>

TEST(CapsRules, OsCodesFromPlatformAndVersion)
{
    const struct {
        uint32_t platform, major, minor, code;
        const wchar_t* name;
    } kRows[] = {
        {0, 3, 10, 1, L""},
        {1, 4, 0, 2, L"Windows 95"},
        {1, 4, 10, 3, L"Windows 98"},
        {1, 4, 90, 4, L"Windows Me"},
        {1, 4, 3, 15, L"Windows 9x"},
        {2, 3, 51, 32, L"Windows NT 3.x"},
        {2, 4, 0, 48, L"Windows NT 4.x"},
        {2, 5, 0, 64, L"Windows 2000"},
        {2, 5, 1, 80, L"Windows XP"},
        {2, 5, 2, 16, L"Windows NT"},
        {2, 6, 0, 96, L"Windows Vista"},
        {2, 6, 1, 97, L"Windows 7"},
        {2, 6, 2, 98, L"Windows 8"},
        {2, 6, 3, 99, L"Windows 8.1"},
        {2, 6, 4, 16, L"Windows NT"},
        {2, 7, 0, 16, L"Windows NT"},
        {2, 9, 9, 16, L"Windows NT"},
        {2, 10, 0, 100, L"Windows 10"},
        {2, 10, 7, 100, L"Windows 10"},
        {2, 11, 0, 16, L"Windows NT"},
        {2, 2, 0, 16, L"Windows NT"},
        {3, 10, 0, 0xFFFF, L"OS Unknown..."},
        {0xFFFFFFFF, 6, 1, 0xFFFF, L"OS Unknown..."},
    };
    for (const auto& r : kRows) {
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
    } kRows[] = {
        {0, L"An unknown product"},
        {1, L"Ultimate"},
        {28, L"Ultimate N"},
        {48, L"Professional"},
        {54, L"Server For SB Solutions EM"},
        {55, L"Server For SB Solutions EM"},
        {56, L"Windows MultiPoint Server"},
        {57, nullptr},
        {58, nullptr},
        {59, L"Windows 8 Essential Server Solution Management"},
        {64, L"Server Hyper Core V"},
        {65, nullptr},
        {66, L"Not supported"},
        {71, L"Not supported"},
        {72, L"Server Enterprise (evaluation installation)"},
        {75, nullptr},
        {76, L"Windows MultiPoint Server Standard (full installation)"},
        {78, nullptr},
        {80, L"Server Datacenter (evaluation installation)"},
        {84, L"Enterprise N (evaluation installation)"},
        {94, nullptr},
        {95, L"Storage Server Workgroup (evaluation installation)"},
        {101, L"Windows 8"},
        {102, nullptr},
        {103, L"Professional with Media Center"},
        {104, nullptr},
        {0xABCDABCD, nullptr},
        {0xFFFFFFFF, nullptr},
    };
    for (const auto& r : kRows) {
        if (r.text)
            EXPECT_STREQ(r.text, kcEditionText(r.type)) << r.type;
        else
            EXPECT_EQ(nullptr, kcEditionText(r.type)) << r.type;
    }
    int rows = 0;
    for (uint32_t t = 0; t < 300; ++t)
        rows += kcEditionText(t) != nullptr;
    EXPECT_EQ(83, rows);
}

TEST(CapsRules, DirectXVersionPacking)
{
    const struct {
        unsigned major, minor;
        wchar_t letter;
        uint32_t version;
        const wchar_t* text;
    } kRows[] = {
        {9, 0, L' ', 9 << 16, L"9.0 "},
        {9, 0, L'c', 9 << 16 | 3, L"9.0c"},
        {8, 1, L'b', 0x080102, L"8.1b"},
        {6, 1, L'a', 0x060101, L"6.1a"},
        {7, 0, L'z', 0x07001A, L"7.0z"},
        {11, 0, 0, 11 << 16, L"11.0"},
        {0, 0, L' ', 0, L"0.0 "},
        {9, 0, L'C', 9 << 16, L"9.0C"}, // only lower-case letters count
    };
    for (const auto& r : kRows) {
        uint32_t version = 0xDEAD;
        wchar_t text[128];
        kcDxPack(r.major, r.minor, r.letter, &version, text);
        EXPECT_EQ(r.version, version) << r.major << "." << r.minor;
        EXPECT_STREQ(r.text, text);
    }
}

namespace {
bool g_d3d11 = false;
int g_d3d11Asked = 0;
bool FakeD3D11()
{
    ++g_d3d11Asked;
    return g_d3d11;
}
} // namespace

TEST(CapsRules, DirectXElevenOnlyWhereWindowsHasIt)
{
    const struct {
        unsigned dx;
        bool have;
        unsigned major, minor, build;
        bool d3d11, eleven, asked;
    } kRows[] = {
        {12, true, 10, 0, 19041, false, true, false},
        {10, true, 6, 0, 6001, true, false, false},
        {10, true, 6, 0, 6002, false, false, true},
        {10, true, 6, 0, 6002, true, true, true},
        {10, true, 6, 0, 6003, false, true, false},
        {11, true, 6, 1, 7601, false, true, false},
        {10, true, 7, 0, 0, false, true, false},
        {10, true, 5, 1, 2600, true, false, false},
        {10, false, 10, 0, 0, true, false, false},
        {9, true, 10, 0, 19041, true, false, false},
    };
    for (const auto& r : kRows) {
        g_d3d11 = r.d3d11;
        g_d3d11Asked = 0;
        EXPECT_EQ(r.eleven, kcDxReportsEleven(r.dx, r.have, r.major, r.minor, r.build, &FakeD3D11))
            << r.dx << " on " << r.major << "." << r.minor << "." << r.build;
        EXPECT_EQ(r.asked ? 1 : 0, g_d3d11Asked);
    }
}

namespace {

typedef std::map<std::wstring, std::pair<uint32_t, uint32_t>> Files; // name -> (ms, ls)

bool FakeLookup(void* context, const wchar_t* file, uint32_t* ls, uint32_t* ms)
{
    const Files& files = *(const Files*)context;
    auto it = files.find(file);
    if (it == files.end())
        return false;
    *ms = it->second.first;
    *ls = it->second.second;
    return true;
}

std::pair<uint32_t, uint32_t> V(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return {a << 16 | b, c << 16 | d};
}

std::wstring FromFiles(const Files& files)
{
    unsigned major = 99, minor = 99;
    wchar_t letter = L'?';
    kcDxFromFileVersions(&FakeLookup, (void*)&files, &major, &minor, &letter);
    return std::to_wstring(major) + L"." + std::to_wstring(minor) + letter;
}

} // namespace

TEST(CapsRules, DirectXVersionFromSystemFiles)
{
    EXPECT_EQ(L"0.0 ", FromFiles({}));
    EXPECT_EQ(L"0.0 ", FromFiles({{L"\\ddraw.dll", V(4, 2, 0, 94)}}));
    EXPECT_EQ(L"1.0 ", FromFiles({{L"\\ddraw.dll", V(4, 2, 0, 95)}}));
    EXPECT_EQ(L"3.0a", FromFiles({{L"\\ddraw.dll", V(4, 4, 0, 68)}, {L"\\d3drg8x.dll", V(4, 4, 0, 70)}}));
    EXPECT_EQ(L"7.0a", FromFiles({{L"\\ddraw.dll", V(4, 7, 0, 700)}, {L"\\dinput.dll", V(4, 7, 0, 716)}}));
    // First part 5 rows use their own threshold; other first parts never meet them.
    EXPECT_EQ(L"8.0 ", FromFiles({{L"\\ddraw.dll", V(5, 1, 2258, 400)}}));
    EXPECT_EQ(L"7.0 ", FromFiles({{L"\\ddraw.dll", V(5, 1, 2258, 399)}}));
    EXPECT_EQ(L"7.0 ", FromFiles({{L"\\ddraw.dll", V(6, 0, 0, 0)}}));
    EXPECT_EQ(L"8.0 ", FromFiles({{L"\\ddraw.dll", V(4, 8, 0, 400)}, {L"\\d3d8.dll", V(4, 8, 1, 880)}}));
    EXPECT_EQ(L"8.1a", FromFiles({{L"\\ddraw.dll", V(5, 1, 2600, 0)}, {L"\\d3d8.dll", V(5, 1, 2600, 901)}}));
    EXPECT_EQ(L"8.1 ", FromFiles({{L"\\d3d8.dll", V(5, 1, 2600, 900)}}));
    EXPECT_EQ(L"8.1b", FromFiles({{L"\\mpg2splt.ax", V(6, 3, 1, 885)}}));
    EXPECT_EQ(L"8.2 ", FromFiles({{L"\\mpg2splt.ax", V(6, 3, 1, 885)}, {L"\\dpnet.dll", V(4, 9, 0, 134)}}));
    EXPECT_EQ(L"8.1b", FromFiles({{L"\\mpg2splt.ax", V(6, 3, 1, 885)}, {L"\\dpnet.dll", V(6, 9, 0, 134)}}));
    // Any version of d3d9.dll decides.
    EXPECT_EQ(L"9.0 ", FromFiles({{L"\\d3d9.dll", V(0, 0, 0, 0)}}));
    EXPECT_EQ(L"9.0 ", FromFiles({{L"\\dpnet.dll", V(5, 2, 3677, 134)}, {L"\\d3d9.dll", V(5, 3, 0, 1)}}));
}

TEST(CapsRules, VersionComparisonMostSignificantFirstUnsigned)
{
    EXPECT_EQ(0, kcCompareVersions(1, 1, 1, 1));
    EXPECT_EQ(1, kcCompareVersions(0, 2, 0xFFFFFFFF, 1));
    EXPECT_EQ(-1, kcCompareVersions(0xFFFFFFFF, 1, 0, 2));
    EXPECT_EQ(-1, kcCompareVersions(5, 1, 6, 1));
    EXPECT_EQ(1, kcCompareVersions(0x80000000, 1, 1, 1));
    EXPECT_EQ(1, kcCompareVersions(1, 0x80000000, 1, 1));
}

TEST(CapsRules, CpuidDecoding)
{
    kcCpuidLeaves intel = {0xD, {0x756e6547, 0x49656e69, 0x6c65746e}, 0x000326A9, 0xBFEBFBFF,
                           0x80000008, 0x28100800};
    CpuInfo info = {};
    kcDecodeCpuid(intel, &info);
    EXPECT_STREQ("GenuineIntel", info.vendor);
    EXPECT_EQ(1u, info.hasCpuid);
    EXPECT_EQ(2u, info.type);
    EXPECT_EQ(6u, info.family);
    EXPECT_EQ(0xAu, info.model); // extended model bits are not used
    EXPECT_EQ(9u, info.stepping);
    EXPECT_EQ(1u, info.mmx);
    EXPECT_EQ(1u, info.cmov);
    EXPECT_EQ(1u, info.sse);
    EXPECT_EQ(0u, info.amd3dNow);

    kcCpuidLeaves k6 = {1, {0x68747541, 0x69746e65, 0x444d4163}, 0x158C, 0x008021BF, 0x80000001,
                        0x80000000};
    info = {};
    kcDecodeCpuid(k6, &info);
    EXPECT_STREQ("AuthenticAMD", info.vendor);
    EXPECT_EQ(1u, info.type);
    EXPECT_EQ(5u, info.family);
    EXPECT_EQ(8u, info.model);
    EXPECT_EQ(12u, info.stepping);
    EXPECT_EQ(1u, info.mmx);
    EXPECT_EQ(0u, info.cmov);
    EXPECT_EQ(0u, info.sse);
    EXPECT_EQ(1u, info.amd3dNow);

    // Leaves above the reported maxima are not read.
    kcCpuidLeaves old = {0, {0x756e6547, 0x49656e69, 0x6c65746e}, 0x0435, 0x00800001, 0x7FFFFFFF,
                         0x80000000};
    info = {};
    kcDecodeCpuid(old, &info);
    EXPECT_EQ(0u, info.family);
    EXPECT_EQ(0u, info.mmx);
    EXPECT_EQ(0u, info.amd3dNow);
}
