#pragma once
// Fixed DirectX capability records, shared by the tests and their DDE peer.
#include "foundation/kcHeap.h"
#include "plugin/kcDXCaps.h"
#include <cstring>

inline void FillDXCapsFixture(kcDXCaps& c)
{
    memset(&c.deviceCaps, 0, sizeof(c.deviceCaps));
    c.deviceCaps.DeviceType = D3DDEVTYPE_HAL;
    c.deviceCaps.Caps = 0x20000 | 0x40000000;
    c.deviceCaps.Caps2 = D3DCAPS2_FULLSCREENGAMMA;
    c.deviceCaps.PresentationIntervals = D3DPRESENT_INTERVAL_TWO;
    c.deviceCaps.RasterCaps = D3DPRASTERCAPS_WFOG | D3DPRASTERCAPS_DITHER;
    c.deviceCaps.FVFCaps = D3DFVFCAPS_PSIZE | 8;
    c.deviceCaps.MaxTextureWidth = 4096, c.deviceCaps.MaxTextureHeight = 2048;
    c.deviceCaps.MaxVertexW = 1e10f;
    c.deviceCaps.GuardBandLeft = c.deviceCaps.GuardBandTop = -8192.f;
    c.deviceCaps.GuardBandRight = 8192.f, c.deviceCaps.GuardBandBottom = 8192.5f;
    c.deviceCaps.PixelShaderVersion = D3DPS_VERSION(2, 0);
    memset(&c.identifier, 0, sizeof(c.identifier));
    strcpy(c.identifier.Driver, "fixture.dll");
    strcpy(c.identifier.Description, "Fixture Adapter \x83\x65\x83\x58\x83\x67"); // "テスト" in Shift_JIS
    c.identifier.DriverVersion.HighPart = (1 << 16) | 2, c.identifier.DriverVersion.LowPart = (3 << 16) | 4;
    c.identifier.VendorId = 0x10de, c.identifier.DeviceId = 0x1234, c.identifier.SubSysId = 0xabcdef01, c.identifier.Revision = 0xa1;
    c.identifier.DeviceIdentifier = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
    c.identifier.WHQLLevel = 1;
    c.ReleaseModes();
    c.modes = (kcDisplayMode*)kcHeapAlloc(0, 2 * sizeof(kcDisplayMode));
    c.modes[0] = {800, 600, 60, D3DFMT_X8R8G8B8}, c.modes[1] = {1024, 768, 75, D3DFMT_X8R8G8B8};
    c.modeCount = 2;
    c.currentMode = {1280, 1024, 60, D3DFMT_X8R8G8B8};
    c.audioDevices.clear();
    const wchar_t* names[3][2] = {{L"Primary Sound Driver", L""},
                                  {L"Speakers (Fixture)", L"{0.0.0.00000000}.{fixture}"},
                                  {L"Headphones \x30c6\x30b9\x30c8", L"fixture.drv"}};
    for (auto& n : names) {
        kcDXCaps::AudioDevice d;
        memset(&d, 0, sizeof(d));
        wcscpy(d.description, n[0]);
        wcscpy(d.module, n[1]);
        c.audioDevices.push_back(d);
    }
}
