#pragma once
// The start of an update: the package's description and language, the check that neither the
// game nor its settings tool runs, then the update window and its message loop.
#include <windows.h>

// Runs the whole program; always 0.
int UpdaterMain(HINSTANCE instance);
