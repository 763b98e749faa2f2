#pragma once
// The capability object's decisions, free of any probing: OS codes, edition names, the
// DirectX version from file versions and its packing, and the CPUID decoding.
#include "foundation/kcCaps.h"
#include <cstdint>

struct kcOsName {
    uint32_t code;
    const wchar_t* name; // "" for Win32s
};
// Platform id, major and minor version as the system reports them.
kcOsName kcOsCodeFor(uint32_t platform, uint32_t major, uint32_t minor);

// GetProductInfo's product type to its edition text; null for a number without a row.
const wchar_t* kcEditionText(uint32_t productType);

// Packs major << 16 | minor << 8 | letter index (a = 1 .. z = 26) and writes the text
// "%d.%d%s" (text: 128 units); a NUL letter adds nothing to the text.
void kcDxPack(unsigned major, unsigned minor, wchar_t letter, uint32_t* version, wchar_t* text);

// Whether a diagnostics result of major 10 or more is reported as 11.0 on this Windows version.
// haveVersion false: the Windows version could not be read. d3d11Loads is asked only on 6.0.6002.
bool kcDxReportsEleven(unsigned dxMajor, bool haveVersion, unsigned winMajor, unsigned winMinor,
                       unsigned winBuild, bool (*d3d11Loads)());

// The DirectX version from the versions of system files (name such as L"\\ddraw.dll");
// lookup returns false when a file has no version. Ends with 0.0 blank when nothing matched.
typedef bool (*kcFileVersionLookup)(void* context, const wchar_t* file, uint32_t* ls, uint32_t* ms);
void kcDxFromFileVersions(kcFileVersionLookup lookup, void* context, unsigned* major,
                          unsigned* minor, wchar_t* letter);

// Raw CPUID answers of leaves 0, 1, 0x80000000 and 0x80000001.
struct kcCpuidLeaves {
    uint32_t maxLeaf;
    uint32_t vendor[3]; // EBX, EDX, ECX of leaf 0
    uint32_t signature; // EAX of leaf 1
    uint32_t features;  // EDX of leaf 1
    uint32_t maxExtLeaf;
    uint32_t extFeatures; // EDX of leaf 0x80000001
};
// Fills the CPUID fields of info (vendor, type, family, model, stepping, flags, hasCpuid).
void kcDecodeCpuid(const kcCpuidLeaves& leaves, CpuInfo* info);
