#include <windows.h>

#include "updater/UpdaterStartup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return UpdaterMain(instance); }
