#include "updater/UpdateWindow.h"

#include <string>

#include "updater/FileCollection.h"
#include "updater/InstallPath.h"
#include "updater/InstalledVersion.h"
#include "updater/UpdaterFiles.h"
#include "updater/UpdaterResource.h"
#include "updater/UpdaterState.h"
#include "updater/UpdatingDialog.h"
#include "foundation/kcFile.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcHeap.h"
#include "image/kcImageHolder.h"

const wchar_t kUpdateWindowClass[] = L"WC_UPDATE";
const wchar_t kTextNoUpdateInfo[] = L"updateinfo.xml was not found.";
const wchar_t kTextNoLanguage[] = L"updateinfo.xml names no language.";
const wchar_t kTextNoData[] = L"The update package has no \"data\" folder.";
const wchar_t kTextPathTooLong[] = L"A path of the update is too long:\n%s";

bool CanDrawBackground(const kcImage* image)
{
    if (!image || !image->GetPixels() || image->width <= 0 || image->height <= 0) return false;
    const int bpp = image->GetBytesPerPixel();
    if (bpp != 3 && bpp != 4) return false;
    // StretchDIBits takes rows padded to 4 bytes, and reads a colour table below 24 bits.
    const int64_t stride = (static_cast<int64_t>(image->width) * bpp + 3) / 4 * 4;
    return image->GetPitch() == stride && image->pixelBytes >= static_cast<uint64_t>(stride) * image->height;
}

bool PrepareBackground(kcImage* image)
{
    // Zero sizes are refused before any row loop: a zero-width picture may have 2^28 rows.
    if (!image || image->width <= 0 || image->height <= 0) return false;
    // Three-byte rows of a decoder need not be DIB-aligned; flattening re-packs them.
    if (image->GetBytesPerPixel() == 3 && !image->Expand24To32()) return false;
    image->FlattenOnColour(0x00FFFFFF);
    return CanDrawBackground(image) && image->FlipVertical();
}

bool LoadBackground(const wchar_t* path)
{
    UpdaterState& state = Updater();
    kcFile file;
    if (!file.Open(path, KCFILE_READ | KCFILE_OPEN_EXISTING))
        return false;
    const int size = file.GetSize();
    void* data = size > 0 ? kcHeapAlloc(0, size) : nullptr;
    if (data && file.Read(data, size) == size) {
        MemoryBlock block;
        block.data = static_cast<unsigned char*>(data);
        block.size = block.capacity = static_cast<unsigned>(size);
        block.reserved = 1;
        block.external = 1;
        state.imageHolder = new kcImageHolder();
        // A picture the window cannot draw takes the road of one that cannot be decoded.
        if (!state.imageHolder->LoadFromMemory(&block, false, 0) || !PrepareBackground(state.imageHolder->GetImage())) {
            state.imageHolder->Destroy();
            delete state.imageHolder;
            state.imageHolder = nullptr;
        }
    }
    kcHeapRelease(data);
    file.Close();
    return state.imageHolder != nullptr;
}

void DrawBackground(HDC dc)
{
    kcImageHolder* holder = Updater().imageHolder;
    if (!holder || !CanDrawBackground(holder->GetImage()))
        return;
    int width = 0, height = 0;
    holder->GetSize(&width, &height);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(holder->GetBytesPerPixel() * 8);
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(holder->GetPitch() * height);
    StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, holder->GetPixels(),
                  reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, SRCCOPY);
}

namespace {

void Refuse(HWND window, const wchar_t* text, const wchar_t* caption)
{
    MessageBoxW(window, text, caption, MB_OK);
    PostMessageW(window, WM_UPDATE_CLOSE, 0, 0);
}

void ConfirmAndCheck(HWND window)
{
    UpdaterState& state = Updater();
    const LanguageRecord& texts = state.info.current;
    if (MessageBoxW(window, texts.intoro, texts.wndtitle, MB_OKCANCEL) != IDOK) {
        PostMessageW(window, WM_UPDATE_CLOSE, 0, 0);
        return;
    }
    if (!state.info.namesWhole || !ReadInstallPath(state.info.brand, state.info.app))
        return Refuse(window, texts.error_inst, texts.wndtitle);
    if (ReadInstalledVersion() < RequiredVersion(state.info))
        return Refuse(window, texts.error_version, texts.title);

    // Without its "data" folder the package folder itself would be installed.
    wchar_t current[1024];
    const DWORD length = GetCurrentDirectoryW(1024, current);
    const std::wstring data = length && length < 1024 ? JoinPath({current, L"data"}) : std::wstring();
    if (data.empty() || kcPathExists(data.c_str()) != 2 || !SetCurrentDirectoryW(data.c_str()))
        return Refuse(window, kTextNoData, texts.title);
    CollectFiles(L"");

    // Refused whole before anything is written, rather than copying a truncated path.
    const std::wstring overlong = FindOverlongPath(data.c_str(), state.installPath, state.fileList);
    if (!overlong.empty()) {
        wchar_t text[1024];
        kcFormatW(text, 1024, kTextPathTooLong, overlong.c_str());
        return Refuse(window, text, texts.title);
    }
    wcscpy(state.destinationRoot, state.installPath);
    PostMessageW(window, WM_UPDATE_REDRAW, 0, 0);
}

} // namespace

LRESULT CALLBACK UpdateWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        PostMessageW(window, WM_UPDATE_CONFIRM, 0, 0);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_PAINT:
        if (Updater().imageHolder) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            DrawBackground(dc);
            EndPaint(window, &paint);
        }
        break;
    case WM_UPDATE_CLOSE:
        DestroyWindow(window);
        break;
    case WM_UPDATE_CONFIRM:
        ConfirmAndCheck(window);
        break;
    case WM_UPDATE_REDRAW: {
        HDC dc = GetDC(window);
        DrawBackground(dc);
        ReleaseDC(window, dc);
        PostMessageW(window, WM_UPDATE_OPEN_DIALOG, 0, 0);
        break;
    }
    case WM_UPDATE_OPEN_DIALOG:
        // A dialog that cannot be made would leave the window waiting for ever.
        if (DialogBoxParamW(Updater().instance, MAKEINTRESOURCEW(IDD_UPDATING), window, UpdatingDlgProc, 0) == -1)
            PostMessageW(window, WM_UPDATE_CLOSE, 0, 0);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
