#include <windows.h>

#include "updater/UpdateWindow.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return UpdaterMain(instance); }
