#pragma once
// The frame of the DDE test peers: "<peer> <mode> <ready> <quit> <args>", where ready and quit
// name events of the test process; the peer signals ready, then serves until quit.
#include <windows.h>

#include <string>

#include "foundation/kcHeap.h"

typedef int (*PeerRun)(const std::wstring& mode, HANDLE ready, HANDLE quit, int argc, wchar_t** argv);

// Dispatches messages (DDEML answers through them) until quit is signalled or 30 s pass quietly.
inline void PeerServeUntil(HANDLE quit)
{
    for (;;) {
        if (MsgWaitForMultipleObjects(1, &quit, FALSE, 30000, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

inline int PeerMain(int argc, wchar_t** argv, int minArgs, PeerRun run)
{
    if (argc < minArgs) return 1;
    kcHeapCreate(0x100000);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    int rc = ready && quit ? run(argv[1], ready, quit, argc, argv) : 2;
    kcHeapDestroy();
    return rc;
}
