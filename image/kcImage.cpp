#include "image/kcImage.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include <algorithm>
#include <cstring>

static const char kNoPixelMemory[] = "ピクセルイメージ用バッファの確保に失敗しました";

MemoryBlock::MemoryBlock() : data(nullptr), size(0), capacity(0), reserved(1), external(0) {}

void MemoryBlock::Free()
{
    if (data && !external) kcHeapRelease(data);
    data = nullptr;
    size = 0;
    capacity = 0;
}

uint8_t* MemoryBlock::Allocate(uint32_t bytes)
{
    Free();
    uint64_t rounded = (static_cast<uint64_t>(bytes) + 7) & ~static_cast<uint64_t>(7);
    uint8_t* p = rounded <= 0x7FFFFFF0u ? static_cast<uint8_t*>(kcHeapAlloc(0, static_cast<int>(rounded))) : nullptr;
    if (!p) return nullptr;
    data = p;
    size = capacity = static_cast<uint32_t>(rounded);
    external = 0;
    return p;
}

bool kcImageLayout(int64_t width, int64_t height, int bytesPerPixel, int align, int* pitch, uint32_t* bytes)
{
    if (width < 0 || height < 0 || bytesPerPixel < 1 || bytesPerPixel > 4) return false;
    if (width > kcImageMaxBytes || height > kcImageMaxBytes) return false;
    int64_t row = width * bytesPerPixel;
    if (align > 1) row = (row + align - 1) / align * align;
    int64_t total = row * height;
    if (total > kcImageMaxBytes) return false;
    if (pitch) *pitch = static_cast<int>(row);
    if (bytes) *bytes = static_cast<uint32_t>(total);
    return true;
}

static uint8_t* AllocPixels(uint32_t bytes)
{
    if (bytes > kcImageMaxBytes) return nullptr;
    return static_cast<uint8_t*>(kcHeapAlloc(0, static_cast<int>(bytes)));
}

kcHeapScratch::kcHeapScratch(uint64_t bytes)
    : m_data(bytes <= kcImageMaxBytes + 0x10000u ? static_cast<uint8_t*>(kcHeapAlloc(0, static_cast<int>(bytes))) : nullptr)
{
}

kcHeapScratch::~kcHeapScratch()
{
    if (m_data) kcHeapRelease(m_data);
}

kcImage::kcImage()
    : width(0), height(0), pixels(nullptr), pixelBytes(0), pitch(0), bytesPerPixel(0), canvasWidth(0),
      canvasHeight(0), offsetX(0), offsetY(0), alphaState(0), headerValueA(0), headerValueB(0),
      bounds{0, 0, 0, 0}, infoMap(nullptr), refCount(1), cpType(0), redBlueSwapped(0)
{
}

kcImage::~kcImage()
{
    if (pixels) kcHeapRelease(pixels);
    pixels = nullptr;
    if (infoMap) {
        for (auto& e : *infoMap) kcHeapRelease(e.second);
        delete infoMap;
        infoMap = nullptr;
    }
}

bool kcImage::Load(const MemoryBlock*, int) { return false; }
bool kcImage::LoadIndexed(const MemoryBlock*, unsigned, int*) { return false; }
bool kcImage::Save(MemoryBlock*, int, int, int, int) { return false; }

int kcImage::Release()
{
    int left = --refCount;
    if (left <= 0) delete this;
    return left;
}

unsigned kcImage::GetSize(int* w, int* h) const
{
    if (w) *w = width;
    if (h) *h = height;
    return pixelBytes;
}

bool kcImage::GetCanvasSize(int* w, int* h) const
{
    if (w) *w = canvasWidth ? canvasWidth : width;
    if (h) *h = canvasHeight ? canvasHeight : height;
    return true;
}

bool kcImage::GetOffset(int* x, int* y) const
{
    if (x) *x = offsetX;
    if (y) *y = offsetY;
    return true;
}

uint8_t* kcImage::PixelAt(int x, int y) const
{
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(width) || static_cast<unsigned>(y) >= static_cast<unsigned>(height))
        return nullptr;
    return pixels + y * pitch + x * bytesPerPixel;
}

uint8_t* kcImage::PixelAtBottomUp(int x, int y) const
{
    return pixels + (height - 1 - y) * pitch + x * bytesPerPixel;
}

void kcImage::ReplacePixels(uint8_t* block, uint32_t bytes)
{
    if (pixels) kcHeapRelease(pixels);
    pixels = block;
    pixelBytes = bytes;
}

uint8_t* kcImage::Reserve(uint32_t bytes)
{
    if (pixels && pixelBytes >= bytes) return pixels;
    ReplacePixels(nullptr, 0);
    uint8_t* p = AllocPixels(bytes);
    if (!p) {
        kcLog(kNoPixelMemory);
        return nullptr;
    }
    ReplacePixels(p, bytes);
    return p;
}

uint8_t* kcImage::SetupPixels(int w, int h, int bpp, int align)
{
    int newPitch = 0;
    uint32_t bytes = 0;
    if (!kcImageLayout(w, h, bpp, align, &newPitch, &bytes)) {
        ReplacePixels(nullptr, 0);
        return nullptr;
    }
    if (!Reserve(bytes)) return nullptr;
    width = w;
    height = h;
    bytesPerPixel = bpp;
    pitch = newPitch;
    bounds = {0, 0, w, h};
    return pixels;
}

bool kcImage::Create(int w, int h, int bpp)
{
    // Reported, but the caller goes on with a failed call and an unchanged image.
    if (bpp > 4) {
        kcAssert("不正な bpp です");
        return false;
    }
    int newPitch = 0;
    uint32_t bytes = 0;
    if (!kcImageLayout(w, h, bpp, 4, &newPitch, &bytes)) return false;
    if (!pixels || pixelBytes < bytes) {
        uint8_t* p = AllocPixels(bytes);
        if (!p) {
            kcLog(kNoPixelMemory);
            return false;
        }
        ReplacePixels(p, bytes);
    }
    pixelBytes = bytes;
    memset(pixels, 0, bytes);
    width = w;
    height = h;
    bytesPerPixel = bpp;
    pitch = newPitch;
    bounds = {0, 0, w, h};
    return true;
}

bool kcImage::Expand24To32()
{
    if (bytesPerPixel != 3) return true;
    uint32_t bytes = 0;
    uint8_t* block = pixels && kcImageLayout(width, height, 4, 1, nullptr, &bytes) ? AllocPixels(bytes) : nullptr;
    if (!block) {
        kcLog(kNoPixelMemory);
        return false;
    }
    // Rows of no pixels need no pass (a zero-width frame may have 2^28 of them).
    for (int y = 0; width > 0 && y < height; y++) {
        const uint8_t* s = pixels + y * pitch;
        uint8_t* d = block + y * width * 4;
        for (int x = 0; x < width; x++, s += 3, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = 255;
        }
    }
    ReplacePixels(block, bytes);
    pitch = width * 4;
    bytesPerPixel = 4;
    return true;
}

void kcImage::ClearTransparentColour()
{
    if (bytesPerPixel != 4 || !pixels) return;
    for (int y = 0; y < height; y++) {
        uint8_t* p = pixels + y * pitch;
        for (int x = 0; x < width; x++, p += 4)
            if (p[3] == 0) p[0] = p[1] = p[2] = 0;
    }
}

bool kcImage::CopyFrom(const kcImage* source)
{
    if (!source || source == this || source->pixelBytes == 0 || !source->pixels) return false;
    if (!Reserve(source->pixelBytes)) return false;
    memcpy(pixels, source->pixels, source->pixelBytes);
    height = source->height;
    width = source->width;
    pitch = source->pitch;
    bytesPerPixel = source->bytesPerPixel;
    pixelBytes = source->pixelBytes;
    source->GetCanvasSize(&canvasWidth, &canvasHeight);
    offsetX = source->offsetX;
    offsetY = source->offsetY;
    headerValueA = source->headerValueA;
    headerValueB = source->headerValueB;
    alphaState = source->alphaState;
    cpType = source->cpType;
    bounds = {0, 0, width, height};
    return true;
}

bool kcImage::Blit(int dstX, int dstY, const kcImage* source, int srcX, int srcY, int w, int h)
{
    if (!source || source->bytesPerPixel != bytesPerPixel || !source->pixels || !pixels) return false;
    // Rectangles in 64 bits so that positions near the int limits cannot wrap.
    int64_t sl = std::max<int64_t>(srcX, 0), st = std::max<int64_t>(srcY, 0);
    int64_t sr = std::min<int64_t>(static_cast<int64_t>(srcX) + w, source->width);
    int64_t sb = std::min<int64_t>(static_cast<int64_t>(srcY) + h, source->height);
    if (sl >= sr || st >= sb) return false;
    int64_t dl = std::max<int64_t>(dstX, 0), dt = std::max<int64_t>(dstY, 0);
    int64_t dr = std::min<int64_t>(static_cast<int64_t>(dstX) + (sr - sl), width);
    int64_t db = std::min<int64_t>(static_cast<int64_t>(dstY) + (sb - st), height);
    if (dl >= dr || dt >= db) return false;
    size_t rowBytes = static_cast<size_t>(dr - dl) * bytesPerPixel;
    for (int64_t row = 0; row < db - dt; row++) {
        const uint8_t* s = source->PixelAt(static_cast<int>(sl + dl - dstX), static_cast<int>(st + dt - dstY + row));
        uint8_t* d = PixelAt(static_cast<int>(dl), static_cast<int>(dt + row));
        if (!s || !d) return false;
        memcpy(d, s, rowBytes);
    }
    return true;
}

bool kcImage::Crop(kcImageRect* r)
{
    if (!r) return false;
    if (r->left < 0) r->left = 0;
    if (r->top < 0) r->top = 0;
    if (r->right > width) r->right = width;
    if (r->bottom > height) r->bottom = height;
    if (r->left == 0 && r->top == 0 && r->right == width && r->bottom == height) return true;
    if (r->right < r->left || r->bottom < r->top) return false;
    int w = r->right - r->left, h = r->bottom - r->top;
    int newPitch = 0;
    uint32_t bytes = 0;
    if (!kcImageLayout(w, h, bytesPerPixel, 4, &newPitch, &bytes)) return false;
    uint8_t* block = AllocPixels(bytes);
    if (!block) return false;
    memset(block, 0, bytes);
    for (int y = 0; y < h; y++)
        memcpy(block + y * newPitch, pixels + (r->top + y) * pitch + r->left * bytesPerPixel, static_cast<size_t>(w) * bytesPerPixel);
    ReplacePixels(block, bytes);
    width = w;
    height = h;
    pitch = newPitch;
    bounds = {0, 0, w, h};
    return true;
}

void kcImage::FlattenOnColour(uint32_t colour)
{
    if (bytesPerPixel != 4 || !pixels) return;
    int newPitch = 0;
    uint32_t bytes = 0;
    if (!kcImageLayout(width, height, 3, 4, &newPitch, &bytes)) return;
    uint8_t* block = AllocPixels(bytes);
    if (!block) return;
    memset(block, 0, bytes);
    const int c[3] = {static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF), static_cast<int>((colour >> 16) & 0xFF)};
    for (int y = 0; y < height; y++) {
        const uint8_t* s = pixels + y * pitch;
        uint8_t* d = block + y * newPitch;
        for (int x = 0; x < width; x++, s += 4, d += 3) {
            int a = s[3];
            for (int k = 0; k < 3; k++) d[k] = static_cast<uint8_t>((c[k] + (((s[k] - c[k]) * a) >> 8)) & 0xFF);
        }
    }
    ReplacePixels(block, bytes);
    pitch = newPitch;
    bytesPerPixel = 3;
}

bool kcImage::GetOpaqueBounds(kcImageRect* out) const
{
    if (!pixels || !out) return false;
    *out = {0, 0, width, height};
    if (bytesPerPixel != 4) return true;
    auto opaque = [this](int x, int y) { return pixels[y * pitch + x * 4 + 3] != 0; };
    auto columnHas = [&](int x) {
        for (int y = 0; y < height; y++)
            if (opaque(x, y)) return true;
        return false;
    };
    int left = 0;
    while (left < width && !columnHas(left)) left++;
    int right = width;
    if (left < width) {
        right = width - 1;
        while (right > left && !columnHas(right)) right--;
        right++;
    }
    auto rowHas = [&](int y) {
        for (int x = left; x < right; x++)
            if (opaque(x, y)) return true;
        return false;
    };
    int top = 0;
    while (top < height && !rowHas(top)) top++;
    int bottom = height;
    if (top < height) {
        bottom = height - 1;
        while (bottom > top && !rowHas(bottom)) bottom--;
        bottom++;
    }
    *out = {left, top, right, bottom};
    return true;
}

bool kcImage::HasTransparency()
{
    if (bytesPerPixel != 4) return false;
    if (alphaState != 0) return alphaState == 2;
    for (int y = 0; y < height && pixels; y++) {
        const uint8_t* p = pixels + y * pitch;
        for (int x = 0; x < width; x++)
            if (p[x * 4 + 3] != 255) {
                alphaState = 2;
                return true;
            }
    }
    alphaState = 1;
    return false;
}

bool kcImage::FlipVertical()
{
    if (!pixels || height < 2) return true;
    uint8_t* row = static_cast<uint8_t*>(kcHeapAlloc(0, pitch));
    if (!row) return false;
    for (int i = 0; i < height / 2; i++) {
        uint8_t* a = pixels + i * pitch;
        uint8_t* b = pixels + (height - 1 - i) * pitch;
        memcpy(row, a, pitch);
        memcpy(a, b, pitch);
        memcpy(b, row, pitch);
    }
    kcHeapRelease(row);
    return true;
}

void kcImage::SwapRedBlue()
{
    if (redBlueSwapped != 1) return;
    // Byte 2 lies inside the pixel only from 3 bytes per pixel on.
    if (pixels && bytesPerPixel >= 3 && width > 0) {
        for (int y = 0; y < height; y++) {
            uint8_t* p = pixels + y * pitch;
            for (int x = 0; x < width; x++, p += bytesPerPixel) std::swap(p[0], p[2]);
        }
    }
    redBlueSwapped = 0;
}

bool kcImage::SetInfo(int id, int reserved, const void* record)
{
    if (reserved != 0 || !record) return false;
    if (!infoMap) infoMap = new std::map<uint16_t, uint8_t*>();
    uint16_t key = static_cast<uint16_t>(id);
    auto it = infoMap->find(key);
    if (it != infoMap->end()) {
        kcHeapRelease(it->second);
        infoMap->erase(it);
    }
    uint8_t* copy = static_cast<uint8_t*>(kcHeapAlloc(0, kInfoRecordBytes));
    if (!copy) return false;
    memcpy(copy, record, kInfoRecordBytes);
    (*infoMap)[key] = copy;
    return true;
}

const uint8_t* kcImage::GetInfo(int id) const
{
    if (!infoMap) return nullptr;
    auto it = infoMap->find(static_cast<uint16_t>(id));
    return it == infoMap->end() ? nullptr : it->second;
}
