#pragma once
// The process-wide record of what the machine offers, probed once when it is constructed.
#include <cstddef>
#include <cstdint>

struct OsInfo {
    uint32_t code; // OS code: 64 and above is Windows 2000 or later
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t bits; // 32 or 64
    wchar_t name[128];
    wchar_t servicePack[128];
    wchar_t edition[128];
};
static_assert(sizeof(OsInfo) == 788, "OsInfo layout");
static_assert(offsetof(OsInfo, name) == 20 && offsetof(OsInfo, edition) == 532, "OsInfo layout");

// Travels whole as the DDE item "KCCAPS_DDE_CPU".
struct CpuInfo {
    uint32_t type;
    uint32_t family;
    uint32_t model;
    uint32_t stepping;
    char vendor[16];
    uint32_t measuredMhz;
    uint32_t hasCpuid;
    uint32_t mmx;
    uint32_t cmov;
    uint32_t sse;
    uint32_t amd3dNow;
    uint32_t processorCount;
    wchar_t name[256];
    uint32_t registryMhz;
};
static_assert(sizeof(CpuInfo) == 576, "CpuInfo wire size");
static_assert(offsetof(CpuInfo, vendor) == 16 && offsetof(CpuInfo, measuredMhz) == 32 &&
                  offsetof(CpuInfo, hasCpuid) == 36 && offsetof(CpuInfo, mmx) == 40 &&
                  offsetof(CpuInfo, cmov) == 44 && offsetof(CpuInfo, sse) == 48 &&
                  offsetof(CpuInfo, amd3dNow) == 52 && offsetof(CpuInfo, processorCount) == 56 &&
                  offsetof(CpuInfo, name) == 60 && offsetof(CpuInfo, registryMhz) == 572,
              "CpuInfo wire layout");

// Construction flags.
enum : unsigned {
    KCCAPS_OS = 0x01,
    KCCAPS_DIRECTX = 0x02,
    KCCAPS_MEMORY = 0x04,
    KCCAPS_CPU = 0x08,
    KCCAPS_CPU_CLOCK = 0x10,
    KCCAPS_OEM = 0x20,
};

class kcCaps {
public:
    // ddeMode: 0 none, 1 serve the items, 2 fetch them first.
    kcCaps(unsigned flags, int ddeMode);
    ~kcCaps();

    static kcCaps* Instance();

    void GetOsInfo(OsInfo* out) const;
    const CpuInfo* GetCpuInfo(CpuInfo* out = nullptr) const;
    uint32_t GetDirectXInfo(wchar_t* text = nullptr) const;      // text: 128 units
    const wchar_t* GetOemManufacturer(wchar_t* out = nullptr) const; // out: 256 units
    const wchar_t* GetOemModel(wchar_t* out = nullptr) const;
    // True when the processor and DirectX fields came from a DDE peer.
    bool FetchedOverDde() const { return fetched; }

    // Read-only after construction; the report stores the host's MD5 digest in moduleDigest.
    uint32_t availPhysMb; // MiB
    uint32_t totalPhysMb;
    uint32_t availPageFileMb;
    uint32_t totalPageFileMb;
    int ddeMode; // 0 none, 1 serve, 2 fetch first
    uint32_t moduleDigest[4];

private:
    kcCaps(const kcCaps&) = delete;
    kcCaps& operator=(const kcCaps&) = delete;

    void ProbeOs();
    static void GetEditionName(uint32_t productType, wchar_t* out);
    static int GetDirectXVersion(unsigned* major, unsigned* minor, wchar_t* letter);
    static int QueryDxDiag(unsigned* major, unsigned* minor, wchar_t* letter);
    static int VersionFromFiles(unsigned* major, unsigned* minor, wchar_t* letter);
    void ProbeCpu(int measure);
    void ReadCpuName(int measure);
    void ProbeMemory();
    void ReadOemStrings();
    int ShareOverDde(int mode);
    int FetchFromDde();
    static int __stdcall AnswerDdeRequest(void* userData, const wchar_t* item, void** data,
                                          unsigned* bytes);

    OsInfo osInfo;
    uint32_t dxVersion;
    wchar_t dxText[128];
    CpuInfo cpuInfo;
    wchar_t oemManufacturer[256];
    wchar_t oemModel[256];
    bool fetched;
};

// File version of path: version[1] the most significant 32 bits, version[0] the least.
// 0 on success, E_INVALIDARG for a null argument, E_FAIL without a readable version resource.
long kcGetFileVersion(const wchar_t* path, uint32_t* version);
// 1, 0 or -1 as the version (ls, ms) is above, equal to or below the threshold; ms decides first.
int kcCompareVersions(uint32_t ls, uint32_t ms, uint32_t thresholdLs, uint32_t thresholdMs);
