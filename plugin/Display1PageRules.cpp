#include "plugin/Display1PageRules.h"

#include "config/kcDisplayModes.h"
#include "config/kcPathMacros.h"

int kcUsableSizes(const kcScreenPair (&sizes)[kcSizeButtonCount])
{
    int count = 0;
    while (count < kcSizeButtonCount && sizes[count].width != 0 && sizes[count].height != 0)
        ++count;
    return count;
}

bool kcSizeFits(const kcScreenPair& size, uint32_t screenWidth, uint32_t screenHeight)
{
    return screenWidth >= size.width && screenHeight >= size.height;
}

int kcChooseSizeButton(const kcScreenPair (&sizes)[kcSizeButtonCount], const bool (&enabled)[kcSizeButtonCount],
                       uint32_t width, uint32_t height, bool limit)
{
    int match = -1;
    for (int i = 0; i < kcSizeButtonCount && match < 0; ++i)
        if (sizes[i].width == width && sizes[i].height == height)
            match = i;
    if (!limit || enabled[match < 0 ? 0 : match])
        return match;
    for (int i = kcSizeButtonCount - 1; i >= 0; --i)
        if (enabled[i])
            return i;
    return match;
}

std::vector<kcScreenPair> kcFullScreenPairs(const kcDisplayModeList* modes, uint32_t desktopWidth,
                                            uint32_t desktopHeight)
{
    std::vector<kcScreenPair> pairs;
    // Without a probed mode, "do not change the resolution" still stands for the desktop.
    if (modes && modes->currentMode.Width != 0 && modes->currentMode.Height != 0)
        pairs.push_back({modes->currentMode.Width, modes->currentMode.Height});
    else
        pairs.push_back({desktopWidth, desktopHeight});
    if (!modes || !modes->modes)
        return pairs;
    const kcDisplayMode& now = modes->currentMode;
    for (uint32_t i = 0; i < modes->modeCount; ++i) {
        const kcDisplayMode& mode = modes->modes[i];
        if (kcRefreshRateMatches(mode.RefreshRate, now.RefreshRate) && mode.Format == now.Format)
            pairs.push_back({mode.Width, mode.Height});
    }
    return pairs;
}
