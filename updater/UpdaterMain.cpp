#include <windows.h>

#include "UpdateWindow.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return UpdaterMain(instance); }
