#include "config/kcDisplayModes.h"

kcDisplayModeList* kcDisplayModeList::Instance = nullptr;

const kcDisplayModeList* kcDisplayModeList::Usable()
{
    const kcDisplayModeList* list = Instance;
    if (!list || list->modeCount == 0 || !list->modes)
        return nullptr;
    return list;
}
