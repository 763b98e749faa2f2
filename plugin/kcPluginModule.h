#pragma once
// The module that holds the plug-in's resources: gx7conf.dll once its entry point ran, or the
// executable that links the plug-in's code and resources directly (the tests).
#include <windows.h>

HINSTANCE kcPluginModule();
void kcSetPluginModule(HINSTANCE module);
