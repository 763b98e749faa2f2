#pragma once
// The plug-in's one record of what Direct3D 9 and DirectSound offer: adapter 0's device
// capabilities and identifier, its current mode and the modes of that format (inherited from
// kcDisplayModeList, which the configuration model reads), and the sound output devices.
// Filled once, from a DDE peer or by probing, and read without locks afterwards.
#include "config/kcDisplayModes.h"
#include <windows.h>
#include <d3d9.h>
#include <list>

class kcDXCaps : public kcDisplayModeList {
public:
    struct AudioDevice {
        wchar_t description[256];
        wchar_t module[256];
    };

    // ddeMode: 1 serve the items, 2 fetch them first, else probe only. A second object while
    // the first lives stays empty and unregistered.
    explicit kcDXCaps(int ddeMode);
    ~kcDXCaps();
    kcDXCaps(const kcDXCaps&) = delete;
    kcDXCaps& operator=(const kcDXCaps&) = delete;

    // The registered object, or null.
    static kcDXCaps* Instance() { return static_cast<kcDXCaps*>(kcDisplayModeList::Instance); }

    bool ShareOverDde(int mode);
    bool FetchFromDde();
    bool Enumerate();
    // Frees the mode array; the count goes to 0 with it.
    void ReleaseModes();

    static BOOL CALLBACK AudioEnumCallback(GUID* guid, const wchar_t* description, const wchar_t* module,
                                           void* context);
    static int __stdcall DdeCallback(void* userData, const wchar_t* itemName, void** data, unsigned* bytes);

    // Report sections 08 to 12; dst null measures. The length in characters.
    int BuildReport(wchar_t* dst) const;
    int ReportDriver(wchar_t* dst) const;
    int ReportCurrentMode(wchar_t* dst) const;
    int ReportDeviceCaps(wchar_t* dst) const;
    int ReportDisplayModes(wchar_t* dst) const;
    int ReportAudioDevices(wchar_t* dst) const;

    D3DCAPS9 deviceCaps;
    D3DCAPS9 reservedCaps; // never filled
    D3DADAPTER_IDENTIFIER9 identifier;
    std::list<AudioDevice> audioDevices;
    int ddeMode;
};
static_assert(sizeof(kcDXCaps::AudioDevice) == 1024, "the DDE item's unit");
#if defined(__i386__)
static_assert(sizeof(D3DCAPS9) == 304 && sizeof(D3DADAPTER_IDENTIFIER9) == 1100, "DDE item sizes");
#endif

// The format's name without "D3DFMT_" ("X8R8G8B8", "DXT1", ... "unknown"); dst holds 32 units.
int kcD3DFormatName(wchar_t* dst, uint32_t format);
