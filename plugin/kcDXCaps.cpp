#include "plugin/kcDXCaps.h"
#include "foundation/kcDDE.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include <mmsystem.h>
#include <dsound.h>
#include <cstring>
#include <vector>

namespace {
const char kService[] = "KCDDE_SERVER";
const char kItemCaps[] = "kcDXCaps_D3DCAPS";
const char kItemIdentifier[] = "kcDXCaps_IDENTIFIER";
const char kItemModeCount[] = "kcDXCaps_DispNum";
const char kItemModes[] = "kcDXCaps_Display";
const char kItemCurrentMode[] = "kcDXCaps_DispNow";
const char kItemAudioCount[] = "kcDXCaps_AudioNum";
const char kItemAudio[] = "kcDXCaps_Audio";
const char* const kItems[] = {kItemCaps,        kItemIdentifier, kItemModeCount, kItemModes,
                              kItemCurrentMode, kItemAudioCount, kItemAudio};

// A peer's counts size allocations: far above any real adapter or sound card, far below overflow.
const uint32_t kMaxModes = 4096;
const uint32_t kMaxAudioDevices = 256;

kcDisplayMode* NewModes(uint32_t count)
{
    return (kcDisplayMode*)kcHeapAlloc(0, (int)(count * sizeof(kcDisplayMode)));
}

void CopyName(wchar_t* dst, const wchar_t* src)
{
    wcsncpy(dst, src ? src : L"", 255);
    dst[255] = 0;
}
} // namespace

kcDXCaps::kcDXCaps(int mode)
{
    memset(&deviceCaps, 0, sizeof(deviceCaps));
    memset(&reservedCaps, 0, sizeof(reservedCaps));
    memset(&identifier, 0, sizeof(identifier));
    ddeMode = mode;
    if (kcDisplayModeList::Instance) return;
    kcDisplayModeList::Instance = this;

    if (ShareOverDde(ddeMode) && ddeMode == 2 && FetchFromDde()) {
        kcLog("$0000-0075$DDEより環境情報を取得しました");
        return;
    }
    Enumerate();
}

kcDXCaps::~kcDXCaps()
{
    ReleaseModes();
    audioDevices.clear();
    if (kcDDE* dde = kcDDE::Instance()) dde->WithdrawItems(this);
    // Never leave the process pointing at a deleted object.
    if (kcDisplayModeList::Instance == this) kcDisplayModeList::Instance = nullptr;
}

void kcDXCaps::ReleaseModes()
{
    if (modes) kcHeapRelease(modes);
    modes = nullptr;
    modeCount = 0;
}

bool kcDXCaps::ShareOverDde(int mode)
{
    kcDDE* dde = kcDDE::Instance();
    if (!dde) return false;
    if (mode == 1) {
        dde->CreateServer(kService);
        for (const char* item : kItems) dde->RegisterItem(item, &kcDXCaps::DdeCallback, this);
    } else if (mode == 2) {
        dde->Connect(kService);
    }
    return true;
}

bool kcDXCaps::FetchFromDde()
{
    kcDDE* dde = kcDDE::Instance();
    if (!dde || ddeMode != 2) return false;
    // Every item has an exact size: a block of another size is refused.
    auto fetch = [&](const char* item, void* buffer, unsigned bytes) {
        return dde->GetServerData(item, buffer, bytes, kService, bytes) != 0;
    };
    uint32_t count = 0;
    if (!fetch(kItemCaps, &deviceCaps, sizeof(deviceCaps)) ||
        !fetch(kItemIdentifier, &identifier, sizeof(identifier)) ||
        !fetch(kItemModeCount, &count, sizeof(count)) || count > kMaxModes)
        return false;
    // A peer's texts are trusted no further than their fields.
    identifier.Driver[MAX_DEVICE_IDENTIFIER_STRING - 1] = 0;
    identifier.Description[MAX_DEVICE_IDENTIFIER_STRING - 1] = 0;
    identifier.DeviceName[sizeof(identifier.DeviceName) - 1] = 0;

    ReleaseModes();
    uint32_t audioCount = 0;
    if (count) {
        modes = NewModes(count);
        if (modes) modeCount = count;
        if (!modes || !fetch(kItemModes, modes, count * sizeof(kcDisplayMode))) {
            ReleaseModes();
            return false;
        }
    }
    if (!fetch(kItemCurrentMode, &currentMode, sizeof(currentMode)) ||
        !fetch(kItemAudioCount, &audioCount, sizeof(audioCount)) || audioCount > kMaxAudioDevices) {
        ReleaseModes();
        return false;
    }
    std::vector<AudioDevice> devices(audioCount);
    if (audioCount && !fetch(kItemAudio, devices.data(), audioCount * sizeof(AudioDevice))) {
        ReleaseModes();
        return false;
    }
    for (AudioDevice& d : devices) {
        d.description[255] = 0;
        d.module[255] = 0;
        audioDevices.push_back(d);
    }
    return true;
}

bool kcDXCaps::Enumerate()
{
    memset(&identifier, 0, sizeof(identifier));
    memset(&deviceCaps, 0, sizeof(deviceCaps));
    memset(&reservedCaps, 0, sizeof(reservedCaps));
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) return false;

    D3DADAPTER_IDENTIFIER9 found;
    memset(&found, 0, sizeof(found));
    if (FAILED(d3d->GetAdapterIdentifier(0, 0, &found))) memset(&found, 0, sizeof(found));
    found.Driver[MAX_DEVICE_IDENTIFIER_STRING - 1] = 0;
    found.Description[MAX_DEVICE_IDENTIFIER_STRING - 1] = 0;
    found.DeviceName[sizeof(found.DeviceName) - 1] = 0;
    if (memcmp(&found, &identifier, sizeof(found)) != 0) {
        identifier = found;
        // Each call that fails leaves its own record zero and the others as they came.
        D3DDISPLAYMODE now;
        if (SUCCEEDED(d3d->GetAdapterDisplayMode(0, &now)))
            memcpy(&currentMode, &now, sizeof(currentMode));
        else
            memset(&currentMode, 0, sizeof(currentMode));
        if (FAILED(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &deviceCaps))) memset(&deviceCaps, 0, sizeof(deviceCaps));
        ReleaseModes();
        UINT count = currentMode.Format ? d3d->GetAdapterModeCount(0, (D3DFORMAT)currentMode.Format) : 0;
        if (count) modes = NewModes(count);
        if (modes) {
            // Only the modes the adapter really returned are kept.
            for (UINT i = 0; i < count; ++i) {
                D3DDISPLAYMODE m;
                if (SUCCEEDED(d3d->EnumAdapterModes(0, (D3DFORMAT)currentMode.Format, i, &m)))
                    memcpy(&modes[modeCount++], &m, sizeof(m));
            }
            if (!modeCount) ReleaseModes();
        }
    }
    d3d->Release();
    DirectSoundEnumerateW((LPDSENUMCALLBACKW)&kcDXCaps::AudioEnumCallback, this);
    return true;
}

BOOL CALLBACK kcDXCaps::AudioEnumCallback(GUID*, const wchar_t* description, const wchar_t* module, void* context)
{
    kcDXCaps* self = (kcDXCaps*)context;
    if (!self) return FALSE;
    AudioDevice d;
    memset(&d, 0, sizeof(d));
    CopyName(d.description, description);
    CopyName(d.module, module);
    self->audioDevices.push_back(d);
    return TRUE;
}

int __stdcall kcDXCaps::DdeCallback(void* userData, const wchar_t* itemName, void** data, unsigned* bytes)
{
    kcDXCaps* self = (kcDXCaps*)userData;
    // Only the living instance answers.
    if (!self || self != Instance() || !itemName || !data || !bytes) return 0;
    int which = -1;
    for (int i = 0; i < 7; ++i) {
        wchar_t wide[32];
        MultiByteToWideChar(CP_ACP, 0, kItems[i], -1, wide, 32);
        if (wcscmp(wide, itemName) == 0) which = i;
    }
    if (which < 0) return 0;
    uint32_t audioCount = (uint32_t)self->audioDevices.size();
    const void* source = nullptr;
    unsigned size = 0;
    switch (which) {
    case 0: source = &self->deviceCaps; size = sizeof(self->deviceCaps); break;
    case 1: source = &self->identifier; size = sizeof(self->identifier); break;
    case 2: source = &self->modeCount; size = sizeof(self->modeCount); break;
    case 3: source = self->modes; size = self->modes ? self->modeCount * sizeof(kcDisplayMode) : 0; break;
    case 4: source = &self->currentMode; size = sizeof(self->currentMode); break;
    case 5: source = &audioCount; size = sizeof(audioCount); break;
    case 6: size = audioCount * sizeof(AudioDevice); break;
    }
    *bytes = size;
    *data = nullptr;
    if (!size) return 1;
    unsigned char* block = (unsigned char*)kcHeapAlloc(0, (int)size);
    if (!block) return 0;
    if (source) {
        memcpy(block, source, size);
    } else {
        unsigned char* p = block;
        for (const AudioDevice& d : self->audioDevices) {
            memcpy(p, &d, sizeof(d));
            p += sizeof(d);
        }
    }
    *data = block;
    return 1;
}
