// Peer process of the DDE tests; <ready> and <quit> name events of the test process.
//   dde_peer serve <ready> <quit> <service> NAME=SIZE...  serves pattern items until quit
//   dde_peer fetch <ready> <quit> <service> <file> NAME=SIZE...  fetches the items into the file
//   dde_peer caps <ready> <quit> <file>  serves the capability items, writes what it serves
#include "foundation/ddepeer/DdePattern.h"
#include "foundation/ddepeer/PeerFrame.h"
#include "foundation/kcCaps.h"
#include "foundation/kcDDE.h"
#include "foundation/kcHeap.h"
#include "foundation/kcString.h"
#include <cstring>
#include <memory>
#include <string>

namespace {
int __stdcall Answer(void* userData, const wchar_t*, void** data, unsigned* bytes)
{
    unsigned size = (unsigned)(uintptr_t)userData;
    void* block = kcHeapAlloc(0, (int)size);
    if (!block) return 0;
    memcpy(block, DdePattern(size).data(), size);
    *data = block;
    *bytes = size;
    return 1;
}

std::string Narrow(const std::wstring& text)
{
    char buf[256];
    return kcWideToSjisN(buf, sizeof(buf), text.c_str()) ? buf : "";
}

bool WriteOut(const wchar_t* path, const void* bytes, DWORD size)
{
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, bytes, size, &written, nullptr) && written == size;
    CloseHandle(f);
    return ok;
}

int Run(const std::wstring& mode, HANDLE ready, HANDLE quit, int argc, wchar_t** argv)
{
    kcDDE dde;
    std::unique_ptr<kcCaps> caps; // serves while it lives
    if (mode == L"caps") {
        caps.reset(new kcCaps(KCCAPS_DIRECTX | KCCAPS_CPU, 1));
        unsigned char out[kPeerCapsBytes] = {};
        uint32_t version = caps->GetDirectXInfo((wchar_t*)(out + 4));
        memcpy(out, &version, 4);
        caps->GetCpuInfo((CpuInfo*)(out + 260));
        if (!WriteOut(argv[4], out, sizeof(out))) return 6;
    } else {
        std::string service = Narrow(argv[4]);
        int first = mode == L"fetch" ? 6 : 5;
        if (mode == L"serve" ? !dde.CreateServer(service.c_str()) : !dde.Connect(service.c_str())) return 4;
        std::vector<unsigned char> out;
        for (int i = first; i < argc; ++i) {
            std::wstring arg = argv[i];
            std::string item = Narrow(arg.substr(0, arg.find(L'=')));
            unsigned size = (unsigned)_wtoi(arg.c_str() + arg.find(L'=') + 1);
            if (mode == L"serve" && !dde.RegisterItem(item.c_str(), &Answer, (void*)(uintptr_t)size)) return 3;
            if (mode == L"fetch") {
                out.resize(out.size() + size);
                if (!dde.GetServerData(item.c_str(), &out[out.size() - size], size, service.c_str(), size)) return 5;
            }
        }
        if (mode == L"fetch") return WriteOut(argv[5], out.data(), (DWORD)out.size()) ? 0 : 6;
    }
    SetEvent(ready);
    PeerServeUntil(quit);
    return 0;
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    return PeerMain(argc, argv, 5, Run);
}
