#include "plugin/host/gx7Host.h"
#include <cwchar>

namespace {
template <class F>
void Find(HMODULE module, const char* name, F* function)
{
    *function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}

bool gx7Plugin::Load(const wchar_t* path)
{
    if (!(module = LoadLibraryW(path)))
        return false;
    Find(module, "MakeInstance", &MakeInstance), Find(module, "ReleaseInstance", &ReleaseInstance);
    Find(module, "GetPluginVersion", &GetPluginVersion), Find(module, "GetPluginType", &GetPluginType);
    if (MakeInstance && ReleaseInstance && GetPluginVersion && GetPluginType)
        return true;
    Unload();
    return false;
}

bool gx7Plugin::LoadBesideExecutable()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    wchar_t* name = wcsrchr(path, L'\\');
    name = name ? name + 1 : path;
    if (name - path + 12 > MAX_PATH)
        return false;
    lstrcpyW(name, L"gx7conf.dll");
    return Load(path);
}

void gx7Plugin::Unload()
{
    if (module)
        FreeLibrary(module);
    *this = gx7Plugin();
}

#if defined(__i386__)
uint32_t gx7CallSlot(void* object, int slot, const uint32_t* args, int argc, int32_t* stackDelta)
{
    void* function = (*static_cast<void***>(object))[slot];
    uint32_t result;
    int32_t delta;
    // EDI keeps ESP from before the pushes; ESP is put back from it whatever the slot did.
    asm volatile(
        "movl %%esp, %%edi\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "pushl -4(%%esi,%%ecx,4)\n\t"
        "decl %%ecx\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "movl %%eax, %%ecx\n\t"
        "call *%%ebx\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%edi, %%edx\n\t"
        "movl %%edi, %%esp\n\t"
        : "=a"(result), "=d"(delta), "+c"(argc), "+S"(args), "+b"(function)
        : "0"(object)
        : "edi", "memory", "cc");
    if (stackDelta)
        *stackDelta = delta;
    return result;
}

void gx7Init(void* object, HWND host, int32_t* stackDelta)
{
    const uint32_t args[] = {reinterpret_cast<uint32_t>(host)};
    gx7CallSlot(object, 0, args, 1, stackDelta);
}

int gx7Run(void* object, gx7HostCallback callback, void* context, int32_t* stackDelta)
{
    const uint32_t args[] = {reinterpret_cast<uint32_t>(callback), reinterpret_cast<uint32_t>(context)};
    return static_cast<int>(gx7CallSlot(object, 1, args, 2, stackDelta));
}

void gx7SetScreenSize(void* object, uint32_t width, uint32_t height, int32_t* stackDelta)
{
    const uint32_t args[] = {width, height};
    gx7CallSlot(object, 2, args, 2, stackDelta);
}
#else
// 64-bit Windows has one calling convention: the object comes first, like any argument, and the
// caller owns the stack, so there is no stack to measure (*stackDelta is left as it is).
namespace {
template <class F>
F Slot(void* object, int slot)
{
    return reinterpret_cast<F>((*static_cast<void***>(object))[slot]);
}
}

void gx7Init(void* object, HWND host, int32_t*)
{
    Slot<void (*)(void*, HWND)>(object, 0)(object, host);
}

int gx7Run(void* object, gx7HostCallback callback, void* context, int32_t*)
{
    return Slot<int (*)(void*, gx7HostCallback, void*)>(object, 1)(object, callback, context);
}

void gx7SetScreenSize(void* object, uint32_t width, uint32_t height, int32_t*)
{
    Slot<void (*)(void*, uint32_t, uint32_t)>(object, 2)(object, width, height);
}
#endif

int gx7HostSession(gx7Plugin& plugin, const gx7HostOptions& options)
{
    if (!plugin.module)
        return -2;
    wchar_t previous[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, previous);
    if (options.gameFolder && !SetCurrentDirectoryW(options.gameFolder))
        return -2;
    int result = -2;
    if (void* object = plugin.MakeInstance()) {
        gx7Init(object, nullptr);
        if (options.beforeRun)
            options.beforeRun();
        result = gx7Run(object, options.callback, options.context);
        plugin.ReleaseInstance(object);
    }
    SetCurrentDirectoryW(previous);
    return result;
}
