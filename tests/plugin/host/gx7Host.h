#pragma once
// The game's side of the plug-in contract, as a host of our own: load gx7conf.dll, make the
// object, drive it through its table of three slots, release it. Used by the tests and by the
// demo's host program.
#include <windows.h>
#include <cstdint>

typedef void(__stdcall* gx7HostCallback)(void* context);

struct gx7Plugin {
    HMODULE module = nullptr;
    void*(__cdecl* MakeInstance)() = nullptr;
    void(__cdecl* ReleaseInstance)(void* object) = nullptr;
    uint32_t(__cdecl* GetPluginVersion)() = nullptr;
    uint32_t(__cdecl* GetPluginType)() = nullptr;

    bool Load(const wchar_t* path);   // all four exports found
    bool LoadBesideExecutable();      // gx7conf.dll in this executable's folder, as the game has it
    void Unload();
};

// Calls slot `slot` of the object's table: object in ECX, argc 32-bit arguments pushed right to
// left. *stackDelta is ESP after the call minus ESP before it: 0 when the slot popped exactly
// its arguments. Returns EAX.
uint32_t gx7CallSlot(void* object, int slot, const uint32_t* args, int argc, int32_t* stackDelta);

// The three slots; each returns the stack delta of its call through *stackDelta when given.
void gx7Init(void* object, HWND host, int32_t* stackDelta = nullptr);
int gx7Run(void* object, gx7HostCallback callback, void* context, int32_t* stackDelta = nullptr);
void gx7SetScreenSize(void* object, uint32_t width, uint32_t height, int32_t* stackDelta = nullptr);

struct gx7HostOptions {
    const wchar_t* gameFolder = nullptr;   // made the current folder for the whole session
    HWND owner = nullptr;
    gx7HostCallback callback = nullptr;
    void* context = nullptr;
    // Called after Init and before Run (e.g. to note the start-up notice); may be null.
    void (*beforeRun)(void* object, void* user) = nullptr;
    void* user = nullptr;
};

// The whole session in the contract's order; returns Run's result (-2 when the library or the
// object could not be had). The previous current folder is restored afterwards.
int gx7HostSession(gx7Plugin& plugin, const gx7HostOptions& options);
