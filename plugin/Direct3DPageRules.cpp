#include "plugin/Direct3DPageRules.h"

kcFilterChoice kcJudgeFilter(uint32_t filterCaps, uint32_t pointCap, int32_t stored)
{
    kcFilterChoice choice = {};
    choice.value = stored;
    for (int i = 0; i < 3; ++i)
        choice.disabled[i] = (filterCaps & (pointCap << i)) == 0;
    // POINT stays the fallback even when the adapter lacks it too.
    if (stored >= 1 && stored <= 2 && choice.disabled[stored])
        choice.value = 0;
    return choice;
}

kcDepthChoice kcJudgeDepth(int32_t storedBpp, bool has16, bool has32)
{
    kcDepthChoice choice = {};
    if (storedBpp != 16 && storedBpp != 32)
        return choice;
    bool hasWanted = storedBpp == 32 ? has32 : has16;
    bool hasOther = storedBpp == 32 ? has16 : has32;
    int32_t other = storedBpp == 32 ? 16 : 32;
    if (hasWanted)
        choice.check = storedBpp;
    else if (hasOther)
        choice.check = other;
    // The unchecked depth is disabled exactly when the adapter lacks it.
    choice.disable16 = !has16;
    choice.disable32 = !has32;
    return choice;
}

bool kcAdapterHasPixelFog(uint32_t pixelShaderVersion)
{
    // Bits 8-15 major, 0-7 minor; 2.0 and 3.0 have a minor of 0 and still have shaders.
    return (pixelShaderVersion & 0xffff) != 0;
}
