// Peer process of the DDE tests.
//   dde_peer serve <ready event> <quit event>   serves the test items until quit is signalled
//   dde_peer fetch <output file>                fetches the test items and writes them out
#include "kcDDE.h"
#include "kcHeap.h"
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Pattern(unsigned bytes)
{
    std::vector<unsigned char> v(bytes);
    for (unsigned i = 0; i < bytes; ++i)
        v[i] = (unsigned char)(i * 7 + 3);
    return v;
}

int __stdcall Answer(void* userData, const wchar_t* item, void** data, unsigned* bytes)
{
    unsigned size = (unsigned)(uintptr_t)userData;
    void* block = kcHeapAlloc(0, (int)size);
    if (!block)
        return 0;
    std::vector<unsigned char> v = Pattern(size);
    memcpy(block, v.data(), size);
    *data = block;
    *bytes = size;
    return 1;
}

void Pump(HANDLE until)
{
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &until, FALSE, 30000, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1)
            return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

int Serve(const wchar_t* readyName, const wchar_t* quitName)
{
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, readyName);
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, quitName);
    if (!ready || !quit)
        return 2;
    kcDDE dde;
    if (!dde.CreateServer("KCDDE_SERVER") ||
        !dde.RegisterItem("TEST_FOUR", &Answer, (void*)(uintptr_t)4) ||
        !dde.RegisterItem("TEST_BIG", &Answer, (void*)(uintptr_t)1000) ||
        !dde.RegisterItem("テスト項目", &Answer, (void*)(uintptr_t)12))
        return 3;
    SetEvent(ready);
    Pump(quit);
    return 0;
}

int Fetch(const wchar_t* outPath)
{
    kcDDE dde;
    if (!dde.Connect("KCDDE_SERVER"))
        return 4;
    std::vector<unsigned char> out(4 + 1000 + 12);
    if (!dde.GetServerData("TEST_FOUR", out.data(), 4, "KCDDE_SERVER", 4) ||
        !dde.GetServerData("TEST_BIG", out.data() + 4, 1000, "KCDDE_SERVER", 1000) ||
        !dde.GetServerData("テスト項目", out.data() + 1004, 12, "KCDDE_SERVER", 12))
        return 5;
    HANDLE f = CreateFileW(outPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, out.data(), (DWORD)out.size(), &written, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
    return ok ? 0 : 6;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    kcHeapCreate(0x100000);
    int rc = 1;
    if (argc == 4 && !wcscmp(argv[1], L"serve"))
        rc = Serve(argv[2], argv[3]);
    else if (argc == 3 && !wcscmp(argv[1], L"fetch"))
        rc = Fetch(argv[2]);
    kcHeapDestroy();
    return rc;
}
