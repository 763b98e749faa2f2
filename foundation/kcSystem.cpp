#include "foundation/kcSystem.h"
#include "foundation/kcCaps.h"
#include "foundation/kcDDE.h"
#include "foundation/kcFileServer.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcRandom.h"
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace {
const int kHeapBytes = 0xA00000;

// Successful CoInitialize calls still to be balanced. A thread already in another
// apartment refuses (RPC_E_CHANGED_MODE): that COM belongs to the host and is left alone.
int g_comInits = 0;
} // namespace

int kcSystemInit(unsigned capsFlags, int ddeMode)
{
    InitCommonControls();
    if (SUCCEEDED(CoInitialize(nullptr))) g_comInits++;
    if (ddeMode) {
        kcDDE* dde = new kcDDE(); // registers itself; a second one refuses (logged) and goes again
        if (kcDDE::Instance() != dde) delete dde;
    }
    if (!kcCaps::Instance()) new kcCaps(capsFlags, ddeMode);
    kcHeapCreate(kHeapBytes);
    if (!kcFileServer::Instance()) new kcFileServer();
    // A second start-up replaces the random-number object rather than losing the first.
    delete kcRandom::Instance();
    new kcRandom();
    kcBuildSineTable();
    return 1;
}

void kcSystemTerm()
{
    delete kcRandom::Instance(); // each destructor clears its own pointer
    delete kcDDE::Instance();
    delete kcFileServer::Instance();
    kcHeapDestroy();
    kcLogShutdown();
    delete kcCaps::Instance();
    for (; g_comInits > 0; g_comInits--) CoUninitialize();
}
