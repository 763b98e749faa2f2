#pragma once
// Memory blocks and the base class of every image format: owns the decoded pixels and offers
// the pixel operations shared by readers, writers and the image holder.
// Pixel layout: rows top-down at pixels + row * pitch; 4 bytes B, G, R, A; 3 bytes B, G, R.
#include "foundation/kcClassBase.h"
#include <cstdint>
#include <map>

// Whole files and encoded images travel in this descriptor.
struct MemoryBlock {
    uint8_t* data;
    uint32_t size;
    uint32_t capacity;
    int reserved; // 1 after initialisation; not read by the image library
    int external; // 1: data belongs to whoever filled the block in and is never freed here

    MemoryBlock();
    // Releases owned data (never external data); data null, size and capacity 0.
    void Free();
    // Frees as Free does, then allocates bytes rounded up to 8 from the private heap (owned).
    uint8_t* Allocate(uint32_t bytes);
};

struct kcImageRect {
    int left, top, right, bottom;
};

// Largest pixel block an image takes; sizes from files beyond it are refused before allocating.
const uint32_t kcImageMaxBytes = 0x10000000;

// pitch = width * bytesPerPixel rounded up to `align` (1 or 4), bytes = pitch * height, computed
// without overflow; false for negative sizes, bytesPerPixel outside 1..4 or more than kcImageMaxBytes.
bool kcImageLayout(int64_t width, int64_t height, int bytesPerPixel, int align, int* pitch, uint32_t* bytes);

// A scratch block from the private heap, released at the end of its scope; null when the
// size is above kcImageMaxBytes + 64 KiB or the heap fails.
class kcHeapScratch {
public:
    explicit kcHeapScratch(uint64_t bytes);
    ~kcHeapScratch();
    uint8_t* Get() const { return m_data; }

private:
    kcHeapScratch(const kcHeapScratch&) = delete;
    kcHeapScratch& operator=(const kcHeapScratch&) = delete;
    uint8_t* m_data;
};

class kcImage : public kcClassBase {
public:
    kcImage();
    // Slot 0: releases the pixel block and the info records.
    virtual ~kcImage();
    // Slot 1: decode the frame with this id (single-picture formats ignore it).
    virtual bool Load(const MemoryBlock* source, int frameId);
    // Slot 2: decode the index-th frame and report its id.
    virtual bool LoadIndexed(const MemoryBlock* source, unsigned index, int* frameIdOut);
    // Slot 3: encode into a newly allocated owned block.
    virtual bool Save(MemoryBlock* destination, int frameId, int headerValueA, int headerValueB, int clearTransparent);

    // Drops the creator's reference; deletes the image at 0. Returns the remaining count.
    int Release();

    int GetBytesPerPixel() const { return bytesPerPixel; }
    uint8_t* GetPixels() const { return pixels; }
    int GetPitch() const { return pitch; }
    unsigned GetSize(int* w, int* h) const;
    bool GetCanvasSize(int* w, int* h) const;
    bool GetOffset(int* x, int* y) const;
    uint8_t* PixelAt(int x, int y) const;
    uint8_t* PixelAtBottomUp(int x, int y) const;

    uint8_t* Reserve(uint32_t bytes);
    bool Create(int width, int height, int bytesPerPixel);
    // 3 bytes per pixel to 4 (alpha 255, pitch width * 4); other depths stay. False, with a log
    // line and the image unchanged, when a 3-byte image cannot be widened.
    bool Expand24To32();
    void ClearTransparentColour();
    bool CopyFrom(const kcImage* source);
    bool Blit(int dstX, int dstY, const kcImage* source, int srcX, int srcY, int width, int height);
    bool Crop(kcImageRect* r);
    void FlattenOnColour(uint32_t colour);
    bool GetOpaqueBounds(kcImageRect* out) const;
    bool HasTransparency();
    bool FlipVertical();
    void SwapRedBlue();
    bool SetInfo(int id, int reserved, const void* record);
    // The stored 20-byte copy for an id, or null (for the image's users and tests).
    const uint8_t* GetInfo(int id) const;

    // For readers: sets width, height, depth and pitch (width * bpp rounded to align) and
    // reserves the pixel block; bounds become the whole image. Null (image unchanged but
    // without pixels) when the sizes are out of range or the heap fails.
    uint8_t* SetupPixels(int w, int h, int bpp, int align);

    int width, height;
    uint8_t* pixels;
    uint32_t pixelBytes;
    int pitch;
    int bytesPerPixel;
    int canvasWidth, canvasHeight;
    int offsetX, offsetY;
    int alphaState; // 0 unknown, 1 opaque, 2 has transparent pixels
    int headerValueA, headerValueB;
    kcImageRect bounds;
    std::map<uint16_t, uint8_t*>* infoMap;
    int refCount;
    int cpType;
    int redBlueSwapped;

    static const int kInfoRecordBytes = 20;

private:
    kcImage(const kcImage&) = delete;
    kcImage& operator=(const kcImage&) = delete;
    void ReplacePixels(uint8_t* block, uint32_t bytes);
};
