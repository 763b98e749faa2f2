// Peer process of the DDE tests.
//   dde_peer serve <ready event> <quit event> <service>  serves the test items until quit
//   dde_peer fetch <service> <output file>               fetches the test items, writes them out
//   dde_peer caps <ready event> <quit event> <output file>
//       serves the capability items and writes the record it serves
//   dde_peer badcaps <ready event> <quit event> <bytes>
//       serves the capability items with a processor item of the given size
#include "DdePattern.h"
#include "kcCaps.h"
#include "kcDDE.h"
#include "kcHeap.h"
#include "kcString.h"
#include <cstring>
#include <string>

namespace {

int __stdcall Answer(void* userData, const wchar_t* item, void** data, unsigned* bytes)
{
    unsigned size = (unsigned)(uintptr_t)userData;
    void* block = kcHeapAlloc(0, (int)size);
    if (!block)
        return 0;
    memcpy(block, DdePattern(size).data(), size);
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

bool WriteOut(const wchar_t* path, const void* bytes, DWORD size)
{
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(f, bytes, size, &written, nullptr) && written == size;
    CloseHandle(f);
    return ok;
}

std::string Narrow(const wchar_t* text)
{
    char buf[256];
    return kcWideToSjisN(buf, sizeof(buf), text) ? buf : "";
}

int Serve(HANDLE ready, HANDLE quit, const std::string& service)
{
    kcDDE dde;
    if (!dde.CreateServer(service.c_str()) ||
        !dde.RegisterItem("TEST_FOUR", &Answer, (void*)(uintptr_t)4) ||
        !dde.RegisterItem("TEST_BIG", &Answer, (void*)(uintptr_t)1000) ||
        !dde.RegisterItem("テスト項目", &Answer, (void*)(uintptr_t)12))
        return 3;
    SetEvent(ready);
    Pump(quit);
    return 0;
}

int Fetch(const std::string& service, const wchar_t* outPath)
{
    kcDDE dde;
    if (!dde.Connect(service.c_str()))
        return 4;
    std::vector<unsigned char> out(4 + 1000 + 12);
    const char* s = service.c_str();
    if (!dde.GetServerData("TEST_FOUR", out.data(), 4, s, 4) ||
        !dde.GetServerData("TEST_BIG", out.data() + 4, 1000, s, 1000) ||
        !dde.GetServerData("テスト項目", out.data() + 1004, 12, s, 12))
        return 5;
    return WriteOut(outPath, out.data(), (DWORD)out.size()) ? 0 : 6;
}

int ServeCaps(HANDLE ready, HANDLE quit, const wchar_t* outPath)
{
    kcDDE dde;
    kcCaps caps(KCCAPS_DIRECTX | KCCAPS_CPU, 1);
    unsigned char out[kPeerCapsBytes] = {};
    uint32_t version = caps.GetDirectXInfo((wchar_t*)(out + 4));
    memcpy(out, &version, 4);
    caps.GetCpuInfo((CpuInfo*)(out + 260));
    if (!WriteOut(outPath, out, sizeof(out)))
        return 6;
    SetEvent(ready);
    Pump(quit);
    return 0;
}

int ServeBadCaps(HANDLE ready, HANDLE quit, unsigned cpuBytes)
{
    kcDDE dde;
    dde.CreateServer("KCDDE_SERVER");
    if (!dde.RegisterItem("KCCAPS_DDE_DXVER", &Answer, (void*)(uintptr_t)4) ||
        !dde.RegisterItem("KCCAPS_DDE_DXSTR", &Answer, (void*)(uintptr_t)8) ||
        !dde.RegisterItem("KCCAPS_DDE_CPU", &Answer, (void*)(uintptr_t)cpuBytes))
        return 3;
    SetEvent(ready);
    Pump(quit);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    kcHeapCreate(0x100000);
    int rc = 1;
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (argc == 5 && (mode == L"serve" || mode == L"caps" || mode == L"badcaps")) {
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
        HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
        if (!ready || !quit)
            rc = 2;
        else if (mode == L"serve")
            rc = Serve(ready, quit, Narrow(argv[4]));
        else if (mode == L"caps")
            rc = ServeCaps(ready, quit, argv[4]);
        else
            rc = ServeBadCaps(ready, quit, (unsigned)_wtoi(argv[4]));
    } else if (argc == 4 && mode == L"fetch") {
        rc = Fetch(Narrow(argv[2]), argv[3]);
    }
    kcHeapDestroy();
    return rc;
}
