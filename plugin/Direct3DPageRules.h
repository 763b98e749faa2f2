#pragma once
// What the 3D pages offer, judged from the adapter: texture filters by the device's filter
// caps, texture depths by the display modes at the full-screen size, pixel fog by the pixel
// shader version. Kept apart from the dialogs so the rules can be checked on their own.
#include <cstdint>

// One filter group (POINT, LINEAR, ANISOTROPIC): the buttons the adapter cannot do, and the
// stored value after an unsupported LINEAR or ANISOTROPIC fell back to POINT.
struct kcFilterChoice {
    bool disabled[3];
    int32_t value;
};
// pointCap is the group's POINT bit; its LINEAR and ANISOTROPIC bits follow it.
kcFilterChoice kcJudgeFilter(uint32_t filterCaps, uint32_t pointCap, int32_t stored);

const uint32_t kcMinFilterPoint = 0x100;     // D3DPTFILTERCAPS_MINFPOINT
const uint32_t kcMagFilterPoint = 0x1000000; // D3DPTFILTERCAPS_MAGFPOINT

// The depth buttons: which to check (16, 32, or 0 for neither) and which to disable.
struct kcDepthChoice {
    int32_t check;
    bool disable16;
    bool disable32;
};
kcDepthChoice kcJudgeDepth(int32_t storedBpp, bool has16, bool has32);

// Pixel fog needs pixel shaders of any version: only version 0.0 lacks them.
bool kcAdapterHasPixelFog(uint32_t pixelShaderVersion);
