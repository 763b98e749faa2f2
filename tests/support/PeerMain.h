#pragma once
// The frame of a peer program of the DDE tests: "<exe> <mode> <ready> <quit> <args>", where
// <ready> and <quit> name events of the test process (see PeerProcess.h).
#include "foundation/kcHeap.h"
#include <windows.h>
#include <string>

typedef int (*PeerRun)(const std::wstring& mode, HANDLE ready, HANDLE quit, int argc, wchar_t** argv);

// Signals ready, then serves DDE requests (this thread's messages) until quit is set.
inline int ServeUntilQuit(HANDLE ready, HANDLE quit)
{
    SetEvent(ready);
    for (;;) {
        if (MsgWaitForMultipleObjects(1, &quit, FALSE, 30000, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) return 0;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

// The peer's wmain: a private heap, the two events, then run.
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
