// The library's entry point and its four exports (named and numbered by gx7conf.def).
#include <windows.h>
#include <new>
#include "plugin/gx7Conf.h"
#include "plugin/kcNoThrow.h"
#include "plugin/kcPluginModule.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        kcSetPluginModule(module);
    return TRUE;
}

extern "C" {

gx7Conf* __cdecl MakeInstance()
{
    return kcNoThrow<gx7Conf*>(nullptr, [] { return new (std::nothrow) gx7Conf(); });
}

void __cdecl ReleaseInstance(gx7Conf* object)
{
    if (!object)
        return;
    kcNoThrowVoid([object] {
        object->Release();
        delete object;
    });
}

uint32_t __cdecl GetPluginVersion()
{
    return 0x00010003;
}

uint32_t __cdecl GetPluginType()
{
    return 0;
}

}
