// Peer process of the configuration's DDE tests; <ready> and <quit> name events of the test.
//   config_peer serve <ready> <quit> <file>  builds its object in the current folder, serves the
//                                             record and writes it to the file
//   config_peer short <ready> <quit>          serves the true path but a record of 1000 bytes
//   config_peer unended <ready> <quit> <file> as serve, with the title, the save folder and an
//                                             archive folder filling their fields without an end
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "config/kcConfig.h"
#include "foundation/kcDDE.h"
#include "foundation/ddepeer/PeerFrame.h"
#include "foundation/kcHeap.h"

namespace {

int __stdcall ShortRecord(void*, const wchar_t*, void** data, unsigned* bytes)
{
    *data = kcHeapAlloc(0, 1000);
    if (!*data) return 0;
    memset(*data, 0x5A, *bytes = 1000);
    return 1;
}

int Run(const std::wstring& mode, HANDLE ready, HANDLE quit, int argc, wchar_t** argv)
{
    kcDDE dde;
    kcCreateConfig(nullptr, nullptr, 0);
    kcConfig* config = kcConfig::Instance();
    if (mode == L"serve" || mode == L"unended") {
        if (mode == L"unended") {
            ConfigBlock* b = config->GetBlock();
            wmemset(b->title, L'T', 260);
            wmemset(b->saveFolder, L'S', 260);
            memset(b->intRows[0].dir, 'D', sizeof b->intRows[0].dir);
        }
        if (argc < 5 || !config->ShareOverDde(1)) return 3;
        FILE* f = _wfopen(argv[4], L"wb");
        bool ok = f && fwrite(config->GetBlock(), sizeof(ConfigBlock), 1, f) == 1;
        if (!f || fclose(f) != 0 || !ok) return 4;
    } else if (mode != L"short" || !dde.CreateServer("KCDDE_SERVER") ||
               !dde.RegisterItem("kcConfig_PATH", kcConfigDdeCallback, config) ||
               !dde.RegisterItem("kcConfig_CONFIG", ShortRecord, nullptr)) {
        return 3;
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
