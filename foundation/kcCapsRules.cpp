#include "foundation/kcCapsRules.h"
#include "foundation/kcFormat.h"
#include <cstring>

kcOsName kcOsCodeFor(uint32_t platform, uint32_t major, uint32_t minor)
{
    switch (platform) {
    case 0:
        return {1, L""};
    case 1:
        if (minor == 0)
            return {2, L"Windows 95"};
        if (minor == 10)
            return {3, L"Windows 98"};
        if (minor == 90)
            return {4, L"Windows Me"};
        return {15, L"Windows 9x"};
    case 2:
        break;
    default:
        return {0xFFFF, L"OS Unknown..."};
    }
    static const struct {
        uint32_t major, minor, code; // minor ~0: any
        const wchar_t* name;
    } kNt[] = {
        {3, ~0u, 32, L"Windows NT 3.x"}, {4, ~0u, 48, L"Windows NT 4.x"},
        {5, 0, 64, L"Windows 2000"},     {5, 1, 80, L"Windows XP"},
        {6, 0, 96, L"Windows Vista"},    {6, 1, 97, L"Windows 7"},
        {6, 2, 98, L"Windows 8"},        {6, 3, 99, L"Windows 8.1"},
        {10, ~0u, 100, L"Windows 10"},
    };
    for (const auto& row : kNt) {
        if (row.major == major && (row.minor == ~0u || row.minor == minor))
            return {row.code, row.name};
    }
    return {16, L"Windows NT"};
}

namespace {

const int kEditionRows = 104;
const wchar_t* const kEditions[kEditionRows] = {
    L"An unknown product",
    L"Ultimate",
    L"Home Basic",
    L"Home Premium",
    L"Enterprise",
    L"Home Basic N",
    L"Business",
    L"Server Standard",
    L"Server Datacenter (full installation)",
    L"Windows Small Business Server",
    L"Server Enterprise (full installation)", // 10
    L"Starter",
    L"Server Datacenter (core installation)",
    L"Server Standard (core installation)",
    L"Server Enterprise (core installation)",
    L"Server Enterprise for Itanium-based Systems",
    L"Business N",
    L"Web Server (full installation)",
    L"HPC Edition",
    L"Windows Storage Server 2008 R2 Essentials",
    L"Storage Server Express", // 20
    L"Storage Server Standard",
    L"Storage Server Workgroup",
    L"Storage Server Enterprise",
    L"Windows Server 2008 for Windows Essential Server Solutions",
    L"Small Business Server Premium",
    L"Home Premium N",
    L"Enterprise N",
    L"Ultimate N",
    L"Web Server (core installation)",
    L"Windows Essential Business Server Management Server", // 30
    L"Windows Essential Business Server Security Server",
    L"Windows Essential Business Server Messaging Server",
    L"Server Foundation",
    L"Windows Home Server 2011",
    L"Windows Server 2008 without Hyper-V for Windows Essential Server Solutions",
    L"Server Standard without Hyper-V",
    L"Server Datacenter without Hyper-V (full installation)",
    L"Server Enterprise without Hyper-V (full installation)",
    L"Server Datacenter without Hyper-V (core installation)",
    L"Server Standard without Hyper-V (core installation)", // 40
    L"Server Enterprise without Hyper-V (core installation)",
    L"Microsoft Hyper-V Server",
    L"Storage Server Express (core installation)",
    L"Storage Server Standard (core installation)",
    L"Storage Server Workgroup (core installation)",
    L"Storage Server Enterprise (core installation)",
    L"Starter N",
    L"Professional",
    L"Professional N",
    L"Windows Small Business Server 2011 Essentials", // 50
    L"Server For SB Solutions",
    L"Server Solutions Premium",
    L"Server Solutions Premium (core installation)",
    L"Server For SB Solutions EM",
    L"Server For SB Solutions EM",
    L"Windows MultiPoint Server",
    nullptr,
    nullptr,
    L"Windows 8 Essential Server Solution Management",
    L"Windows 8 Essential Server Solution Additional", // 60
    L"Windows 8 Essential Server Solution Management SVC",
    L"Windows 8 Essential Server Solution Additional SVC",
    L"Small Business Server Premium (core installation)",
    L"Server Hyper Core V",
    nullptr,
    L"Not supported",
    L"Not supported",
    L"Not supported",
    L"Not supported",
    L"Not supported", // 70
    L"Not supported",
    L"Server Enterprise (evaluation installation)",
    nullptr,
    nullptr,
    nullptr,
    L"Windows MultiPoint Server Standard (full installation)",
    L"Windows MultiPoint Server Premium (full installation)",
    nullptr,
    L"Server Standard (evaluation installation)",
    L"Server Datacenter (evaluation installation)", // 80
    nullptr,
    nullptr,
    nullptr,
    L"Enterprise N (evaluation installation)",
    nullptr, nullptr, nullptr, nullptr, nullptr, // 85-89
    nullptr, nullptr, nullptr, nullptr, nullptr, // 90-94
    L"Storage Server Workgroup (evaluation installation)",
    L"Storage Server Standard (evaluation installation)",
    L"Windows 8 ARM",
    L"Windows 8 N",
    L"Windows 8 China",
    L"Windows 8 Single Language", // 100
    L"Windows 8",
    nullptr,
    L"Professional with Media Center",
};

} // namespace

const wchar_t* kcEditionText(uint32_t productType)
{
    // The system reports numbers far beyond the table (e.g. 0xABCDABCD for an unlicensed copy).
    return productType < (uint32_t)kEditionRows ? kEditions[productType] : nullptr;
}

void kcDxPack(unsigned major, unsigned minor, wchar_t letter, uint32_t* version, wchar_t* text)
{
    wchar_t letterText[2] = {letter, 0};
    kcFormatW(text, 128, L"%d.%d%s", (int)major, (int)minor, letterText);
    *version = (major << 8 | minor) << 8;
    if (letter >= L'a' && letter <= L'z')
        *version += letter - 0x60;
}

bool kcDxReportsEleven(unsigned dxMajor, bool haveVersion, unsigned winMajor, unsigned winMinor,
                       unsigned winBuild, bool (*d3d11Loads)())
{
    if (dxMajor < 10 || !haveVersion || winMajor < 6)
        return false;
    if (winMajor > 6 || winMinor >= 1)
        return true;
    if (winBuild != 6002)
        return winBuild > 6002;
    return d3d11Loads && d3d11Loads();
}

namespace {

inline uint64_t V(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return (uint64_t)(a << 16 | b) << 32 | (c << 16 | d);
}

// A row is met when the file's version is at least `least`; rows with `least5` instead take
// `least` for first part 4 and `least5` for first part 5, and no other first part.
struct FileRow {
    const wchar_t* file;
    uint64_t least;
    uint64_t least5;
    unsigned major, minor;
    wchar_t letter;
};
const FileRow kFileRows[] = {
    {L"\\ddraw.dll", V(4, 2, 0, 95), 0, 1, 0, L' '},
    {L"\\ddraw.dll", V(4, 3, 0, 1096), 0, 2, 0, L' '},
    {L"\\ddraw.dll", V(4, 4, 0, 68), 0, 3, 0, L' '},
    {L"\\d3drg8x.dll", V(4, 4, 0, 70), 0, 3, 0, L'a'},
    {L"\\ddraw.dll", V(4, 5, 0, 155), 0, 5, 0, L' '},
    {L"\\ddraw.dll", V(4, 6, 0, 318), 0, 6, 0, L' '},
    {L"\\ddraw.dll", V(4, 6, 0, 436), 0, 6, 1, L' '},
    {L"\\dplayx.dll", V(4, 6, 3, 518), 0, 6, 1, L'a'},
    {L"\\ddraw.dll", V(4, 7, 0, 700), 0, 7, 0, L' '},
    {L"\\dinput.dll", V(4, 7, 0, 716), 0, 7, 0, L'a'},
    {L"\\ddraw.dll", V(4, 8, 0, 400), V(5, 1, 2258, 400), 8, 0, L' '},
    {L"\\d3d8.dll", V(4, 8, 1, 881), V(5, 1, 2600, 881), 8, 1, L' '},
    {L"\\d3d8.dll", V(4, 8, 1, 901), V(5, 1, 2600, 901), 8, 1, L'a'},
    {L"\\mpg2splt.ax", V(6, 3, 1, 885), 0, 8, 1, L'b'},
    {L"\\dpnet.dll", V(4, 9, 0, 134), V(5, 2, 3677, 134), 8, 2, L' '},
};

bool AtLeast(uint32_t ls, uint32_t ms, uint64_t least)
{
    return kcCompareVersions(ls, ms, (uint32_t)least, (uint32_t)(least >> 32)) >= 0;
}

} // namespace

void kcDxFromFileVersions(kcFileVersionLookup lookup, void* context, unsigned* major,
                          unsigned* minor, wchar_t* letter)
{
    *major = 0;
    *minor = 0;
    *letter = L' ';
    uint32_t ls = 0, ms = 0;
    for (const FileRow& row : kFileRows) {
        if (!lookup(context, row.file, &ls, &ms))
            continue;
        bool met;
        if (!row.least5)
            met = AtLeast(ls, ms, row.least);
        else if ((ms >> 16) == 4)
            met = AtLeast(ls, ms, row.least);
        else if ((ms >> 16) == 5)
            met = AtLeast(ls, ms, row.least5);
        else
            met = false;
        if (met) {
            *major = row.major;
            *minor = row.minor;
            *letter = row.letter;
        }
    }
    if (lookup(context, L"\\d3d9.dll", &ls, &ms)) {
        *major = 9;
        *minor = 0;
        *letter = L' ';
    }
}

void kcDecodeCpuid(const kcCpuidLeaves& leaves, CpuInfo* info)
{
    memcpy(info->vendor, leaves.vendor, 12);
    info->vendor[12] = 0;
    info->hasCpuid = 1;
    uint32_t sig = leaves.maxLeaf >= 1 ? leaves.signature : 0;
    uint32_t edx = leaves.maxLeaf >= 1 ? leaves.features : 0;
    uint32_t ext = leaves.maxExtLeaf >= 0x80000001 ? leaves.extFeatures : 0;
    info->type = (sig >> 12) & 3;
    info->family = (sig >> 8) & 15;
    info->model = (sig >> 4) & 15;
    info->stepping = sig & 15;
    info->mmx = (edx >> 23) & 1;
    info->cmov = (edx >> 15) & 1;
    info->sse = (edx >> 25) & 1;
    info->amd3dNow = (ext >> 31) & 1;
}
