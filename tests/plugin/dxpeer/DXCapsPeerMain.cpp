// Peer process of the DirectX capability tests; <ready> and <quit> name events of the test.
//   dxcaps_peer serve <ready> <quit>         serves the fixture records through kcDXCaps
//   dxcaps_peer lie <ready> <quit> <case>    serves items whose counts lie (count, modes, audio)
#include "foundation/ddepeer/PeerFrame.h"
#include "foundation/kcDDE.h"
#include "foundation/kcHeap.h"
#include "plugin/dxpeer/DXCapsFixture.h"
#include <memory>
#include <string>

namespace {
std::wstring g_case;

int __stdcall Lie(void*, const wchar_t* item, void** data, unsigned* bytes)
{
    std::wstring name = item;
    uint32_t count = 0;
    unsigned size = 0;
    if (name == L"kcDXCaps_D3DCAPS") size = sizeof(D3DCAPS9);
    else if (name == L"kcDXCaps_IDENTIFIER") size = sizeof(D3DADAPTER_IDENTIFIER9);
    else if (name == L"kcDXCaps_DispNow") size = 16;
    else if (name == L"kcDXCaps_DispNum") { size = 4; count = g_case == L"count" ? 0x10000001 : g_case == L"modes" ? 3 : 1; }
    else if (name == L"kcDXCaps_Display") size = g_case == L"modes" ? 32 : 16;
    else if (name == L"kcDXCaps_AudioNum") { size = 4; count = g_case == L"audio" ? 0x00400001 : 1; }
    else if (name == L"kcDXCaps_Audio") size = 1024;
    else return 0;
    unsigned char* block = (unsigned char*)kcHeapAlloc(0, (int)size);
    if (!block) return 0;
    memset(block, 0x41, size);
    if (count) memcpy(block, &count, 4);
    *data = block;
    *bytes = size;
    return 1;
}

int Run(const std::wstring& mode, HANDLE ready, HANDLE quit, int argc, wchar_t** argv)
{
    kcDDE dde;
    std::unique_ptr<kcDXCaps> caps; // serves while it lives
    if (mode == L"serve") {
        caps.reset(new kcDXCaps(1));
        FillDXCapsFixture(*caps);
    } else if (mode == L"lie" && argc > 4) {
        g_case = argv[4];
        if (!dde.CreateServer("KCDDE_SERVER")) return 4;
        for (const char* item : {"kcDXCaps_D3DCAPS", "kcDXCaps_IDENTIFIER", "kcDXCaps_DispNum", "kcDXCaps_Display",
                                 "kcDXCaps_DispNow", "kcDXCaps_AudioNum", "kcDXCaps_Audio"})
            if (!dde.RegisterItem(item, &Lie, nullptr)) return 3;
    } else {
        return 1;
    }
    SetEvent(ready);
    PeerServeUntil(quit);
    return 0;
}
} // namespace

int wmain(int argc, wchar_t** argv) { return PeerMain(argc, argv, 4, Run); }
