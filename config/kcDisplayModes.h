#pragma once
// The adapter's display modes as the plug-in's DirectX probe found them. The configuration
// model matches full-screen sizes against them; the plug-in's kcDXCaps derives from this
// record and fills it, so the model needs neither Direct3D nor the plug-in.
#include <cstddef>
#include <cstdint>

// Same layout as D3DDISPLAYMODE, so the probe's array is used as it is.
struct kcDisplayMode {
    uint32_t Width;
    uint32_t Height;
    uint32_t RefreshRate;
    uint32_t Format;
};
static_assert(sizeof(kcDisplayMode) == 16, "kcDisplayMode is a D3DDISPLAYMODE");
static_assert(offsetof(kcDisplayMode, RefreshRate) == 8 && offsetof(kcDisplayMode, Format) == 12,
              "kcDisplayMode is a D3DDISPLAYMODE");

class kcDisplayModeList {
public:
    uint32_t modeCount = 0;          // entries of modes; 0 whenever modes is null
    kcDisplayMode* modes = nullptr;  // from the private heap, or null
    kcDisplayMode currentMode = {};  // the adapter's mode when probed; its Format chose the list

    // The process's one DirectX capability object (a kcDXCaps), or null when none exists.
    static kcDisplayModeList* Instance;

    // The list to match against: null without an object, or when it has no entries or no array.
    static const kcDisplayModeList* Usable();
};
