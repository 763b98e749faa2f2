#pragma once
// The game's side of the plug-in contract, as a host of our own, for the tests and the demo's
// host program: load gx7conf.dll, make the object, drive its three slots, release it.
#include <windows.h>
#include <cstdint>

typedef void(__stdcall* gx7HostCallback)(void* context);

struct gx7Plugin {
    HMODULE module = nullptr;
    void*(__cdecl* MakeInstance)() = nullptr;
    void(__cdecl* ReleaseInstance)(void* object) = nullptr;
    uint32_t(__cdecl* GetPluginVersion)() = nullptr;
    uint32_t(__cdecl* GetPluginType)() = nullptr;

    bool Load(const wchar_t* path); // all four exports found
    bool LoadBesideExecutable();    // gx7conf.dll in this executable's folder, as the game has it
    void Unload();
};

#if defined(__i386__)
// Slot `slot` with the object in ECX and the arguments pushed right to left; *stackDelta is ESP
// after the call minus ESP before it (0: the slot popped exactly its arguments). Returns EAX.
uint32_t gx7CallSlot(void* object, int slot, const uint32_t* args, int argc, int32_t* stackDelta);
#endif
// On 64-bit Windows the slots take the object as their first argument and *stackDelta is not set.
void gx7Init(void* object, HWND host, int32_t* stackDelta = nullptr);
int gx7Run(void* object, gx7HostCallback callback, void* context, int32_t* stackDelta = nullptr);
void gx7SetScreenSize(void* object, uint32_t width, uint32_t height, int32_t* stackDelta = nullptr);

struct gx7HostOptions {
    const wchar_t* gameFolder = nullptr; // the current folder for the whole session
    gx7HostCallback callback = nullptr;
    void* context = nullptr;
    void (*beforeRun)() = nullptr; // after Init (e.g. to note the start-up notice)
};

// The whole session in the contract's order; Run's result, or -2 without the library or object.
int gx7HostSession(gx7Plugin& plugin, const gx7HostOptions& options);
