#pragma once
// Copies between two Direct3D 9 surfaces of the engine's six 16- and 32-bit formats, through
// kcSurfaceCopyTable[source index][destination index] (null = no conversion). Format indexes:
// 0 A8R8G8B8, 1 X8R8G8B8, 2 A4R4G4B4, 3 X1R5G5B5, 4 A1R5G5B5, 5 R5G6B5.
struct IDirect3DSurface9;

typedef int (*kcSurfaceCopyFunc)(void* unused, IDirect3DSurface9* src, IDirect3DSurface9* dst);

extern const kcSurfaceCopyFunc kcSurfaceCopyTable[6][6];

int kcSurfaceCopySame(void* unused, IDirect3DSurface9* src, IDirect3DSurface9* dst);
int kcSurfaceCopyA8R8G8B8ToX8R8G8B8(void* unused, IDirect3DSurface9* src, IDirect3DSurface9* dst);
int kcSurfaceCopyX8R8G8B8ToA8R8G8B8(void* unused, IDirect3DSurface9* src, IDirect3DSurface9* dst);
int kcSurfaceCopyR5G6B5ToA4R4G4B4(void* unused, IDirect3DSurface9* src, IDirect3DSurface9* dst);
int kcSurfaceCopyX1R5G5B5ToA4R4G4B4(void* unused, IDirect3DSurface9* src, IDirect3DSurface9* dst);

// The table index of a D3DFORMAT value, or -1 when the format is not one of the six.
int kcSurfaceFormatIndex(unsigned d3dFormat);
