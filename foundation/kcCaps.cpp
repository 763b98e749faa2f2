#include "foundation/kcCaps.h"
#include "foundation/kcCapsRules.h"
#include "foundation/kcDDE.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include <windows.h>
#include <cstring>

namespace {

kcCaps* g_caps = nullptr;
// The object whose fields the DDE items answer with; cleared when it goes away, so that a late
// request never reads a deleted object.
kcCaps* g_serving = nullptr;

const char kService[] = "KCDDE_SERVER";
const char kItemDxVersion[] = "KCCAPS_DDE_DXVER";
const char kItemDxText[] = "KCCAPS_DDE_DXSTR";
const char kItemCpu[] = "KCCAPS_DDE_CPU";
const unsigned kDxTextItemMax = 128;

} // namespace

kcCaps* kcCaps::Instance() { return g_caps; }

kcCaps::kcCaps(unsigned flags, int mode)
{
    memset(&osInfo, 0, sizeof(osInfo));
    dxVersion = 0;
    memset(dxText, 0, sizeof(dxText));
    memset(&cpuInfo, 0, sizeof(cpuInfo));
    memset(oemManufacturer, 0, sizeof(oemManufacturer));
    memset(oemModel, 0, sizeof(oemModel));
    availPhysMb = totalPhysMb = availPageFileMb = totalPageFileMb = 0;
    ddeMode = mode;
    memset(moduleDigest, 0, sizeof(moduleDigest));
    fetched = false;
    if (g_caps)
        return;

    if (ShareOverDde(ddeMode) && ddeMode == 2 && FetchFromDde()) {
        kcLog("DDEより環境情報を取得しました");
        fetched = true;
    }
    if (flags & KCCAPS_OS)
        ProbeOs();
    if ((flags & KCCAPS_DIRECTX) && !fetched) {
        unsigned major = 0, minor = 0;
        wchar_t letter = L' ';
        if (GetDirectXVersion(&major, &minor, &letter))
            kcDxPack(major, minor, letter, &dxVersion, dxText);
    }
    if ((flags & KCCAPS_CPU) && !fetched)
        ProbeCpu((flags & KCCAPS_CPU_CLOCK) ? 1 : 0);
    if (flags & KCCAPS_MEMORY)
        ProbeMemory();
    if (flags & KCCAPS_OEM)
        ReadOemStrings();

    g_caps = this;
    kcMemSetMmx(cpuInfo.mmx ? 1 : 0);
}

kcCaps::~kcCaps()
{
    if (g_serving == this)
        g_serving = nullptr;
    if (g_caps == this) {
        g_caps = nullptr;
        kcMemSetMmx(0);
    }
}

void kcCaps::GetOsInfo(OsInfo* out) const
{
    if (out)
        memcpy(out, &osInfo, sizeof(osInfo));
}

const CpuInfo* kcCaps::GetCpuInfo(CpuInfo* out) const
{
    if (out)
        memcpy(out, &cpuInfo, sizeof(cpuInfo));
    return &cpuInfo;
}

uint32_t kcCaps::GetDirectXInfo(wchar_t* text) const
{
    if (text)
        memcpy(text, dxText, sizeof(dxText));
    return dxVersion;
}

const wchar_t* kcCaps::GetOemManufacturer(wchar_t* out) const
{
    if (out)
        memcpy(out, oemManufacturer, sizeof(oemManufacturer));
    return oemManufacturer;
}

const wchar_t* kcCaps::GetOemModel(wchar_t* out) const
{
    if (out)
        memcpy(out, oemModel, sizeof(oemModel));
    return oemModel;
}

int kcCaps::ShareOverDde(int mode)
{
    kcDDE* dde = kcDDE::Instance();
    if (!dde)
        return 0;
    if (mode == 1) {
        // A service created already by another component still gets these items.
        dde->CreateServer(kService);
        g_serving = this;
        dde->RegisterItem(kItemDxVersion, &kcCaps::AnswerDdeRequest, this);
        dde->RegisterItem(kItemDxText, &kcCaps::AnswerDdeRequest, this);
        dde->RegisterItem(kItemCpu, &kcCaps::AnswerDdeRequest, this);
    } else if (mode == 2) {
        dde->Connect(kService);
    }
    return 1;
}

int kcCaps::FetchFromDde()
{
    kcDDE* dde = kcDDE::Instance();
    if (!dde || ddeMode != 2)
        return 0;
    // The records have exact sizes; the text is at least its terminator and two zero bytes.
    if (!dde->GetServerData(kItemDxVersion, &dxVersion, sizeof(dxVersion), kService,
                            sizeof(dxVersion)))
        return 0;
    if (!dde->GetServerData(kItemDxText, dxText, kDxTextItemMax, kService, 4))
        return 0;
    if (!dde->GetServerData(kItemCpu, &cpuInfo, sizeof(cpuInfo), kService, sizeof(cpuInfo)))
        return 0;
    // A peer's text is trusted no further than the record's end.
    dxText[127] = 0;
    cpuInfo.vendor[15] = 0;
    cpuInfo.name[255] = 0;
    return 1;
}

int __stdcall kcCaps::AnswerDdeRequest(void* userData, const wchar_t* item, void** data,
                                       unsigned* bytes)
{
    kcCaps* self = (kcCaps*)userData;
    if (!self || self != g_serving || !item || !data || !bytes)
        return 0;
    const void* src;
    unsigned size;
    if (!lstrcmpW(item, L"KCCAPS_DDE_DXVER")) {
        src = &self->dxVersion;
        size = sizeof(self->dxVersion);
    } else if (!lstrcmpW(item, L"KCCAPS_DDE_DXSTR")) {
        src = self->dxText;
        size = 2 * (unsigned)lstrlenW(self->dxText) + 4;
    } else if (!lstrcmpW(item, L"KCCAPS_DDE_CPU")) {
        src = &self->cpuInfo;
        size = sizeof(self->cpuInfo);
    } else {
        return 0;
    }
    char* block = (char*)kcHeapAlloc(0, (int)size);
    if (!block)
        return 0;
    if (src == self->dxText) {
        // Text with its terminator, then two more zero bytes.
        memset(block, 0, size);
        memcpy(block, self->dxText, size - 4);
    } else {
        memcpy(block, src, size);
    }
    *data = block;
    *bytes = size;
    return 1;
}

int kcCompareVersions(uint32_t ls, uint32_t ms, uint32_t thresholdLs, uint32_t thresholdMs)
{
    if (ms != thresholdMs)
        return ms > thresholdMs ? 1 : -1;
    if (ls != thresholdLs)
        return ls > thresholdLs ? 1 : -1;
    return 0;
}
