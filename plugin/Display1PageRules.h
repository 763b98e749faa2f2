#pragma once
// The Display 1 page's choices as plain data: which window-size button to check under the
// size limit, and the full-screen sizes the adapter offers.
#include <cstdint>
#include <vector>

class kcDisplayModeList;

struct kcScreenPair {
    uint32_t width;
    uint32_t height;
};

const int kcSizeButtonCount = 5;

// Number of usable window sizes: the pairs before the first one with a zero number.
int kcUsableSizes(const kcScreenPair (&sizes)[kcSizeButtonCount]);

// Whether a window size fits on the screen (the limit disables the sizes that do not).
bool kcSizeFits(const kcScreenPair& size, uint32_t screenWidth, uint32_t screenHeight);

// The button to check for a stored window size, or -1 for none: the first exact match; under
// the limit, a disabled match (or a disabled first button when nothing matched) moves to the
// last enabled button.
int kcChooseSizeButton(const kcScreenPair (&sizes)[kcSizeButtonCount], const bool (&enabled)[kcSizeButtonCount],
                       uint32_t width, uint32_t height, bool limit);

// Entry 0 is the desktop (the current display mode, or the given desktop size when there is
// no mode to tell), then every mode of the current format and refresh rate in list order.
std::vector<kcScreenPair> kcFullScreenPairs(const kcDisplayModeList* modes, uint32_t desktopWidth,
                                            uint32_t desktopHeight);
