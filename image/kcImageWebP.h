#pragma once
// WebP images through libwebp. Pixels keep the file's order: R, G, B, A, pitch width * 4.
#include "image/kcImage.h"

// Decodes a WebP held in memory into caller pixels (rows top-down, `pitch` bytes apart). The
// picture must be exactly width x height; bytesPerPixel 4 gives R, G, B, A and 3 gives R, G, B.
// False for a damaged file, another size or another depth.
bool kcWebPDecodeTo(const uint8_t* data, uint32_t size, uint8_t* pixels, int width, int height, int pitch,
                    int bytesPerPixel);

class kcImageWebP : public kcImage {
public:
    kcImageWebP() : quality(90) {}
    ~kcImageWebP() override {}

    bool Load(const MemoryBlock* source, int frameId) override;
    bool Save(MemoryBlock* destination, int frameId, int headerValueA, int headerValueB,
              int clearTransparent) override;
    // The library's feature query accepts the block.
    static bool Probe(const MemoryBlock* block);

    int quality;
};
