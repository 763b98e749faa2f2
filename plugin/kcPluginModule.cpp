#include "plugin/kcPluginModule.h"

namespace {
HINSTANCE g_module = nullptr;
}

HINSTANCE kcPluginModule()
{
    return g_module ? g_module : GetModuleHandleW(nullptr);
}

void kcSetPluginModule(HINSTANCE module)
{
    g_module = module;
}
