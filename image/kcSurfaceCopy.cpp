#include "image/kcSurfaceCopy.h"
#include <d3d9.h>
#include <cstdint>
#include <cstring>

namespace {

const D3DFORMAT kFormats[6] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4,
                               D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_R5G6B5};

int bytesOf(D3DFORMAT f)
{
    int i = kcSurfaceFormatIndex((unsigned)f);
    return i < 0 ? 0 : (i < 2 ? 4 : 2);
}

inline uint16_t top4(unsigned r5, unsigned g4, unsigned b5)
{
    return (uint16_t)(0xF000 | (r5 >> 1) << 8 | g4 << 4 | (b5 >> 1));
}

// Locks both surfaces over their common area and runs rowFn on each row pair. Both surfaces'
// formats must be accepted by formatsOk before anything is locked.
template <typename FormatsOk, typename RowFn>
int copyFrame(IDirect3DSurface9* src, IDirect3DSurface9* dst, FormatsOk formatsOk, RowFn rowFn)
{
    if (!src || !dst) return 0;
    D3DSURFACE_DESC sd, dd;
    if (FAILED(src->GetDesc(&sd)) || FAILED(dst->GetDesc(&dd))) return 0;
    if (!formatsOk(sd.Format, dd.Format)) return 0;
    UINT w = sd.Width < dd.Width ? sd.Width : dd.Width;
    UINT h = sd.Height < dd.Height ? sd.Height : dd.Height;
    if (w == 0 || h == 0) return 0;
    RECT area = {0, 0, (LONG)w, (LONG)h};
    D3DLOCKED_RECT sl, dl;
    if (FAILED(src->LockRect(&sl, &area, D3DLOCK_READONLY | D3DLOCK_NO_DIRTY_UPDATE))) return 0;
    if (FAILED(dst->LockRect(&dl, &area, 0))) {
        src->UnlockRect();
        return 0;
    }
    const BYTE* s = (const BYTE*)sl.pBits;
    BYTE* d = (BYTE*)dl.pBits;
    for (UINT y = 0; y < h; y++, s += sl.Pitch, d += dl.Pitch) rowFn(d, s, w, sd.Format);
    src->UnlockRect();
    dst->UnlockRect();
    return 1;
}

// Converts one row of little-endian pixel values of type T.
template <typename T, typename PixelFn>
void convertRow(BYTE* d, const BYTE* s, UINT w, PixelFn fn)
{
    for (UINT x = 0; x < w; x++) {
        T v;
        std::memcpy(&v, s + x * sizeof(T), sizeof(T));
        v = fn(v);
        std::memcpy(d + x * sizeof(T), &v, sizeof(T));
    }
}

} // namespace

int kcSurfaceFormatIndex(unsigned d3dFormat)
{
    for (int i = 0; i < 6; i++)
        if ((unsigned)kFormats[i] == d3dFormat) return i;
    return -1;
}

int kcSurfaceCopySame(void*, IDirect3DSurface9* src, IDirect3DSurface9* dst)
{
    return copyFrame(
        src, dst, [](D3DFORMAT s, D3DFORMAT d) { return s == d && bytesOf(s) > 0; },
        [](BYTE* d, const BYTE* s, UINT w, D3DFORMAT f) { std::memcpy(d, s, (size_t)w * bytesOf(f)); });
}

int kcSurfaceCopyA8R8G8B8ToX8R8G8B8(void*, IDirect3DSurface9* src, IDirect3DSurface9* dst)
{
    return copyFrame(
        src, dst, [](D3DFORMAT s, D3DFORMAT d) { return s == D3DFMT_A8R8G8B8 && d == D3DFMT_X8R8G8B8; },
        [](BYTE* d, const BYTE* s, UINT w, D3DFORMAT) { convertRow<uint32_t>(d, s, w, [](uint32_t v) { return v & 0x00FFFFFFu; }); });
}

int kcSurfaceCopyX8R8G8B8ToA8R8G8B8(void*, IDirect3DSurface9* src, IDirect3DSurface9* dst)
{
    return copyFrame(
        src, dst, [](D3DFORMAT s, D3DFORMAT d) { return s == D3DFMT_X8R8G8B8 && d == D3DFMT_A8R8G8B8; },
        [](BYTE* d, const BYTE* s, UINT w, D3DFORMAT) { convertRow<uint32_t>(d, s, w, [](uint32_t v) { return v | 0xFF000000u; }); });
}

int kcSurfaceCopyR5G6B5ToA4R4G4B4(void*, IDirect3DSurface9* src, IDirect3DSurface9* dst)
{
    return copyFrame(
        src, dst, [](D3DFORMAT s, D3DFORMAT d) { return s == D3DFMT_R5G6B5 && d == D3DFMT_A4R4G4B4; },
        [](BYTE* d, const BYTE* s, UINT w, D3DFORMAT) {
            convertRow<uint16_t>(d, s, w, [](uint16_t v) { return top4((v >> 11) & 31, ((v >> 5) & 63) >> 2, v & 31); });
        });
}

int kcSurfaceCopyX1R5G5B5ToA4R4G4B4(void*, IDirect3DSurface9* src, IDirect3DSurface9* dst)
{
    return copyFrame(
        src, dst,
        [](D3DFORMAT s, D3DFORMAT d) { return (s == D3DFMT_X1R5G5B5 || s == D3DFMT_A1R5G5B5) && d == D3DFMT_A4R4G4B4; },
        [](BYTE* d, const BYTE* s, UINT w, D3DFORMAT) {
            convertRow<uint16_t>(d, s, w, [](uint16_t v) { return top4((v >> 10) & 31, ((v >> 5) & 31) >> 1, v & 31); });
        });
}

const kcSurfaceCopyFunc kcSurfaceCopyTable[6][6] = {
    {kcSurfaceCopySame, kcSurfaceCopyA8R8G8B8ToX8R8G8B8, nullptr, nullptr, nullptr, nullptr},
    {kcSurfaceCopyX8R8G8B8ToA8R8G8B8, kcSurfaceCopySame, nullptr, nullptr, nullptr, nullptr},
    {nullptr, nullptr, kcSurfaceCopySame, nullptr, nullptr, nullptr},
    {nullptr, nullptr, kcSurfaceCopyX1R5G5B5ToA4R4G4B4, kcSurfaceCopySame, nullptr, nullptr},
    {nullptr, nullptr, kcSurfaceCopyX1R5G5B5ToA4R4G4B4, nullptr, kcSurfaceCopySame, nullptr},
    {nullptr, nullptr, kcSurfaceCopyR5G6B5ToA4R4G4B4, nullptr, nullptr, kcSurfaceCopySame},
};
