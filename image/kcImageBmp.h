#pragma once
// Uncompressed Windows bitmaps of 24 and 32 bits, loaded as 4-byte images with the file's rows
// in file order (bottom row first in memory, as a bottom-up bitmap lies). Of the compressed
// kinds only 32 bits with colour masks in the plain B, G, R byte order are read.
#include "image/kcImage.h"
#include <cstddef>

#pragma pack(push, 2)
struct kcBmpFileHeader {
    char type[2];
    uint32_t fileSize;
    uint32_t reserved;
    uint32_t pixelOffset;
};
#pragma pack(pop)
static_assert(sizeof(kcBmpFileHeader) == 14 && offsetof(kcBmpFileHeader, pixelOffset) == 10,
              "bitmap file header layout");

struct kcBmpInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t imageSize;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t colorsUsed;
    uint32_t colorsImportant;
};
static_assert(sizeof(kcBmpInfoHeader) == 40 && offsetof(kcBmpInfoHeader, bitCount) == 14 &&
                  offsetof(kcBmpInfoHeader, imageSize) == 20,
              "bitmap info header layout");

class kcImageBmp : public kcImage {
public:
    kcImageBmp();
    ~kcImageBmp() override {}

    bool Load(const MemoryBlock* source, int frameId) override;
    // Writes 24 bits for 3-byte and 32 bits for 4-byte images.
    bool Save(MemoryBlock* destination, int frameId, int headerValueA, int headerValueB,
              int clearTransparent) override;
    // "BM" and a 24- or 32-bit count where a 40-byte header keeps it.
    static bool Probe(const MemoryBlock* block);

    kcBmpInfoHeader info; // header of the last loaded file (a core header converted)
};
