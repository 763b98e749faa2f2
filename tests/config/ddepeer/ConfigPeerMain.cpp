// Peer process of the configuration's DDE tests; <ready> and <quit> name events of the test.
//   config_peer serve <ready> <quit> <file>  builds its object in the current folder, serves the
//                                             record and writes it to the file
//   config_peer short <ready> <quit>          serves the true path but a record of 1000 bytes
#include <windows.h>

#include <cstring>
#include <string>

#include "config/kcConfig.h"
#include "foundation/kcDDE.h"
#include "foundation/ddepeer/PeerFrame.h"
#include "foundation/kcHeap.h"

namespace {

int __stdcall ShortRecord(void*, const wchar_t*, void** data, unsigned* bytes)
{
    void* block = kcHeapAlloc(0, 1000);
    if (!block) return 0;
    memset(block, 0x5A, 1000);
    *data = block;
    *bytes = 1000;
    return 1;
}

int Run(const std::wstring& mode, HANDLE ready, HANDLE quit, int argc, wchar_t** argv)
{
    kcDDE dde;
    kcCreateConfig(nullptr, nullptr, 0);
    kcConfig* config = kcConfig::Instance();
    if (mode == L"serve") {
        if (argc < 5 || !config->ShareOverDde(1)) return 3;
        HANDLE f = CreateFileW(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, config->GetBlock(), sizeof(ConfigBlock), &written, nullptr);
        CloseHandle(f);
        if (!ok || written != sizeof(ConfigBlock)) return 4;
    } else if (mode == L"short") {
        if (!dde.CreateServer("KCDDE_SERVER") || !dde.RegisterItem("kcConfig_PATH", kcConfigDdeCallback, config) ||
            !dde.RegisterItem("kcConfig_CONFIG", ShortRecord, nullptr))
            return 3;
    } else {
        return 5;
    }
    SetEvent(ready);
    PeerServeUntil(quit);
    kcReleaseConfig();
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    return PeerMain(argc, argv, 4, Run);
}
