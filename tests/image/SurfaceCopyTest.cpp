#include "image/kcSurfaceCopy.h"
#include <windows.h>
#include <d3d9.h>
#include <gtest/gtest.h>
#include <cstring>
#include <vector>

namespace {
// One Direct3D 9 device on a hidden window, shared by the tests of this file.
class SurfaceCopyD3D : public ::testing::Test {
protected:
    static IDirect3D9* s_d3d;
    static IDirect3DDevice9* s_device;
    static HWND s_window;

    static void SetUpTestSuite()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"kcSurfaceCopyTest";
        RegisterClassW(&wc);
        s_window = CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr, wc.hInstance, nullptr);
        s_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow = s_window;
        if (!s_d3d || !s_window ||
            FAILED(s_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, s_window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &s_device)))
            s_device = nullptr;
    }
    static void TearDownTestSuite()
    {
        if (s_device) s_device->Release();
        if (s_d3d) s_d3d->Release();
        DestroyWindow(s_window);
    }
    void SetUp() override
    {
        if (!s_device) GTEST_SKIP() << "no Direct3D 9 device could be made here";
    }
    void TearDown() override
    {
        for (IDirect3DSurface9* s : m_surfaces) s->Release();
    }

    // A system-memory surface holding `values` (w values a row); released after the test.
    template <typename T> IDirect3DSurface9* Surface(UINT w, UINT h, D3DFORMAT f, const std::vector<T>& values)
    {
        IDirect3DSurface9* s = nullptr;
        D3DLOCKED_RECT r;
        if (FAILED(s_device->CreateOffscreenPlainSurface(w, h, f, D3DPOOL_SYSTEMMEM, &s, nullptr))) return nullptr;
        m_surfaces.push_back(s);
        if (FAILED(s->LockRect(&r, nullptr, 0))) return nullptr;
        for (UINT y = 0; y < h; y++) memcpy(static_cast<BYTE*>(r.pBits) + y * r.Pitch, &values[y * w], w * sizeof(T));
        s->UnlockRect();
        return s;
    }
    template <typename T> std::vector<T> Read(IDirect3DSurface9* s, UINT w, UINT h)
    {
        std::vector<T> out(w * h);
        D3DLOCKED_RECT r;
        if (s->LockRect(&r, nullptr, D3DLOCK_READONLY) != D3D_OK) return {};
        for (UINT y = 0; y < h; y++) memcpy(&out[y * w], static_cast<BYTE*>(r.pBits) + y * r.Pitch, w * sizeof(T));
        s->UnlockRect();
        return out;
    }
    // Whether the surface can be locked now, that is, whether nothing left it locked.
    static bool Unlocked(IDirect3DSurface9* s)
    {
        D3DLOCKED_RECT r;
        return s->LockRect(&r, nullptr, 0) == D3D_OK && s->UnlockRect() == D3D_OK;
    }
    std::vector<IDirect3DSurface9*> m_surfaces;
};

IDirect3D9* SurfaceCopyD3D::s_d3d = nullptr;
IDirect3DDevice9* SurfaceCopyD3D::s_device = nullptr;
HWND SurfaceCopyD3D::s_window = nullptr;
} // namespace

TEST(SurfaceCopyTable, EntriesAndFormatIndexes)
{
    for (int s = 0; s < 6; s++)
        for (int d = 0; d < 6; d++)
            EXPECT_EQ(s == d || s + d == 1 || (d == 2 && s >= 3), kcSurfaceCopyTable[s][d] != nullptr) << s << "," << d;
    EXPECT_EQ(&kcSurfaceCopyX1R5G5B5ToA4R4G4B4, kcSurfaceCopyTable[4][2]);
    EXPECT_EQ(0, kcSurfaceFormatIndex(D3DFMT_A8R8G8B8));
    EXPECT_EQ(5, kcSurfaceFormatIndex(D3DFMT_R5G6B5));
    EXPECT_EQ(-1, kcSurfaceFormatIndex(D3DFMT_R8G8B8));
}

TEST_F(SurfaceCopyD3D, OnlyTheCommonAreaIsCopied)
{
    std::vector<uint32_t> src(640 * 480);
    for (size_t i = 0; i < src.size(); i++) src[i] = 0x00010203u * uint32_t(i % 97) + 0x12000000u;
    IDirect3DSurface9* big = Surface(640, 480, D3DFMT_X8R8G8B8, src);
    IDirect3DSurface9* small = Surface(320, 240, D3DFMT_A8R8G8B8, std::vector<uint32_t>(320 * 240, 0x55555555u));
    ASSERT_TRUE(big && small);
    ASSERT_EQ(1, kcSurfaceCopyTable[1][0](nullptr, big, small));
    auto out = Read<uint32_t>(small, 320, 240);
    ASSERT_EQ(320u * 240u, out.size());
    for (UINT y = 0; y < 240; y += 37)
        for (UINT x = 0; x < 320; x += 13) ASSERT_EQ(src[y * 640 + x] | 0xFF000000u, out[y * 320 + x]);
    // And back: the top byte is cleared; outside the common area nothing changes.
    ASSERT_EQ(1, kcSurfaceCopyTable[0][1](nullptr, small, big));
    auto back = Read<uint32_t>(big, 640, 480);
    EXPECT_EQ(src[5] & 0x00FFFFFFu, back[5]);
    EXPECT_EQ(src[640 * 300 + 400], back[640 * 300 + 400]);
}

TEST_F(SurfaceCopyD3D, SixteenBitConversions)
{
    IDirect3DSurface9* r565 = Surface(4, 1, D3DFMT_R5G6B5, std::vector<uint16_t>{0xFFFF, 0x0000, 0xF800, 0x07E0});
    IDirect3DSurface9* a1555 = Surface(4, 1, D3DFMT_A1R5G5B5, std::vector<uint16_t>{0x7FFF, 0x0000, 0x7C00, 0x801F});
    IDirect3DSurface9* a4444 = Surface(4, 1, D3DFMT_A4R4G4B4, std::vector<uint16_t>(4, 0));
    ASSERT_TRUE(r565 && a1555 && a4444);
    ASSERT_EQ(1, kcSurfaceCopyTable[5][2](nullptr, r565, a4444));
    EXPECT_EQ((std::vector<uint16_t>{0xFFFF, 0xF000, 0xFF00, 0xF0F0}), Read<uint16_t>(a4444, 4, 1));
    ASSERT_EQ(1, kcSurfaceCopyTable[4][2](nullptr, a1555, a4444)); // the top bit is ignored
    EXPECT_EQ((std::vector<uint16_t>{0xFFFF, 0xF000, 0xFF00, 0xF00F}), Read<uint16_t>(a4444, 4, 1));
}

TEST_F(SurfaceCopyD3D, MismatchesAndFailedLocksLeaveBothUnlocked)
{
    std::vector<uint32_t> zeros(64, 0);
    IDirect3DSurface9* a = Surface(8, 8, D3DFMT_A8R8G8B8, zeros);
    IDirect3DSurface9* b = Surface(8, 8, D3DFMT_A4R4G4B4, std::vector<uint16_t>(64, 0));
    IDirect3DSurface9* c = Surface(8, 8, D3DFMT_A8R8G8B8, zeros);
    ASSERT_TRUE(a && b && c);
    // Formats other than the entry's pair fail before anything is locked.
    EXPECT_EQ(0, kcSurfaceCopySame(nullptr, a, b));
    EXPECT_EQ(0, kcSurfaceCopyR5G6B5ToA4R4G4B4(nullptr, a, b));
    EXPECT_EQ(0, kcSurfaceCopyA8R8G8B8ToX8R8G8B8(nullptr, a, a));
    EXPECT_TRUE(Unlocked(a) && Unlocked(b));
    // A destination that is locked already: the copy fails and unlocks its source again.
    D3DLOCKED_RECT r;
    ASSERT_EQ(D3D_OK, c->LockRect(&r, nullptr, 0));
    EXPECT_EQ(0, kcSurfaceCopySame(nullptr, a, c));
    c->UnlockRect();
    EXPECT_TRUE(Unlocked(a));
}
