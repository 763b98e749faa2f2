#include "kcSurfaceCopy.h"
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
        s_window = CreateWindowW(L"kcSurfaceCopyTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        s_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!s_d3d || !s_window) return;
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.BackBufferFormat = D3DFMT_UNKNOWN;
        pp.hDeviceWindow = s_window;
        if (FAILED(s_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, s_window,
                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &s_device)))
            s_device = nullptr;
    }

    static void TearDownTestSuite()
    {
        if (s_device) s_device->Release();
        if (s_d3d) s_d3d->Release();
        if (s_window) DestroyWindow(s_window);
        s_device = nullptr;
        s_d3d = nullptr;
    }

    void SetUp() override
    {
        if (!s_device) GTEST_SKIP() << "no Direct3D 9 device could be made here";
    }

    IDirect3DSurface9* Surface(UINT w, UINT h, D3DFORMAT f)
    {
        IDirect3DSurface9* s = nullptr;
        if (FAILED(s_device->CreateOffscreenPlainSurface(w, h, f, D3DPOOL_SYSTEMMEM, &s, nullptr))) return nullptr;
        return s;
    }

    template <typename T>
    void Fill(IDirect3DSurface9* s, const std::vector<T>& values, UINT w, UINT h)
    {
        D3DLOCKED_RECT r;
        ASSERT_EQ(D3D_OK, s->LockRect(&r, nullptr, 0));
        for (UINT y = 0; y < h; y++) std::memcpy((BYTE*)r.pBits + y * r.Pitch, &values[y * w], w * sizeof(T));
        s->UnlockRect();
    }

    template <typename T>
    std::vector<T> Read(IDirect3DSurface9* s, UINT w, UINT h)
    {
        std::vector<T> out(w * h);
        D3DLOCKED_RECT r;
        if (s->LockRect(&r, nullptr, D3DLOCK_READONLY) != D3D_OK) return {};
        for (UINT y = 0; y < h; y++) std::memcpy(&out[y * w], (BYTE*)r.pBits + y * r.Pitch, w * sizeof(T));
        s->UnlockRect();
        return out;
    }
};

IDirect3D9* SurfaceCopyD3D::s_d3d = nullptr;
IDirect3DDevice9* SurfaceCopyD3D::s_device = nullptr;
HWND SurfaceCopyD3D::s_window = nullptr;

} // namespace

TEST(SurfaceCopyTable, EntriesAndFormatIndexes)
{
    for (int s = 0; s < 6; s++)
        for (int d = 0; d < 6; d++) {
            bool expected = s == d || (s == 0 && d == 1) || (s == 1 && d == 0) || (d == 2 && s >= 3);
            EXPECT_EQ(expected, kcSurfaceCopyTable[s][d] != nullptr) << s << "," << d;
        }
    EXPECT_EQ(&kcSurfaceCopyX1R5G5B5ToA4R4G4B4, kcSurfaceCopyTable[4][2]);
    EXPECT_EQ(0, kcSurfaceFormatIndex(D3DFMT_A8R8G8B8));
    EXPECT_EQ(5, kcSurfaceFormatIndex(D3DFMT_R5G6B5));
    EXPECT_EQ(-1, kcSurfaceFormatIndex(D3DFMT_R8G8B8));
}

TEST_F(SurfaceCopyD3D, CommonAreaOnlyIsCopied)
{
    IDirect3DSurface9* big = Surface(640, 480, D3DFMT_X8R8G8B8);
    IDirect3DSurface9* small = Surface(320, 240, D3DFMT_A8R8G8B8);
    ASSERT_TRUE(big && small);
    std::vector<uint32_t> src(640 * 480);
    for (size_t i = 0; i < src.size(); i++) src[i] = 0x00010203u * (uint32_t)(i % 97) + 0x12000000u;
    Fill(big, src, 640, 480);
    Fill(small, std::vector<uint32_t>(320 * 240, 0x55555555u), 320, 240);
    ASSERT_EQ(1, kcSurfaceCopyTable[1][0](nullptr, big, small));
    auto out = Read<uint32_t>(small, 320, 240);
    ASSERT_EQ(320u * 240u, out.size());
    for (UINT y = 0; y < 240; y += 37)
        for (UINT x = 0; x < 320; x += 13) ASSERT_EQ(src[y * 640 + x] | 0xFF000000u, out[y * 320 + x]);
    // And back: the top byte is cleared.
    ASSERT_EQ(1, kcSurfaceCopyTable[0][1](nullptr, small, big));
    auto back = Read<uint32_t>(big, 640, 480);
    EXPECT_EQ(src[5] & 0x00FFFFFFu, back[5]);
    EXPECT_EQ(src[640 * 300 + 400], back[640 * 300 + 400]); // outside the common area
    big->Release();
    small->Release();
}

TEST_F(SurfaceCopyD3D, SixteenBitConversions)
{
    IDirect3DSurface9* r565 = Surface(4, 1, D3DFMT_R5G6B5);
    IDirect3DSurface9* a1555 = Surface(4, 1, D3DFMT_A1R5G5B5);
    IDirect3DSurface9* a4444 = Surface(4, 1, D3DFMT_A4R4G4B4);
    ASSERT_TRUE(r565 && a1555 && a4444);
    Fill(r565, std::vector<uint16_t>{0xFFFF, 0x0000, 0xF800, 0x07E0}, 4, 1);
    ASSERT_EQ(1, kcSurfaceCopyTable[5][2](nullptr, r565, a4444));
    EXPECT_EQ((std::vector<uint16_t>{0xFFFF, 0xF000, 0xFF00, 0xF0F0}), Read<uint16_t>(a4444, 4, 1));
    Fill(a1555, std::vector<uint16_t>{0x7FFF, 0x0000, 0x7C00, 0x801F}, 4, 1);
    ASSERT_EQ(1, kcSurfaceCopyTable[4][2](nullptr, a1555, a4444));
    EXPECT_EQ((std::vector<uint16_t>{0xFFFF, 0xF000, 0xFF00, 0xF00F}), Read<uint16_t>(a4444, 4, 1));
    r565->Release();
    a1555->Release();
    a4444->Release();
}

TEST_F(SurfaceCopyD3D, FormatMismatchFailsBeforeLocking)
{
    IDirect3DSurface9* a = Surface(8, 8, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* b = Surface(8, 8, D3DFMT_A4R4G4B4);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(0, kcSurfaceCopySame(nullptr, a, b));
    EXPECT_EQ(0, kcSurfaceCopyR5G6B5ToA4R4G4B4(nullptr, a, b));
    EXPECT_EQ(0, kcSurfaceCopyA8R8G8B8ToX8R8G8B8(nullptr, a, a));
    // Nothing stays locked: both surfaces lock again.
    D3DLOCKED_RECT r;
    EXPECT_EQ(D3D_OK, a->LockRect(&r, nullptr, 0));
    a->UnlockRect();
    EXPECT_EQ(D3D_OK, b->LockRect(&r, nullptr, 0));
    b->UnlockRect();
    a->Release();
    b->Release();
}

TEST_F(SurfaceCopyD3D, FailedDestinationLockLeavesSourceUnlocked)
{
    IDirect3DSurface9* a = Surface(8, 8, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* b = Surface(8, 8, D3DFMT_A8R8G8B8);
    ASSERT_TRUE(a && b);
    D3DLOCKED_RECT r;
    ASSERT_EQ(D3D_OK, b->LockRect(&r, nullptr, 0)); // already locked: the copy's lock fails
    EXPECT_EQ(0, kcSurfaceCopySame(nullptr, a, b));
    b->UnlockRect();
    EXPECT_EQ(D3D_OK, a->LockRect(&r, nullptr, 0));
    a->UnlockRect();
    a->Release();
    b->Release();
}
