#pragma once
// JPEG images through libjpeg-turbo. Pixels keep the file's order: R, G, B.
#include "image/kcImage.h"

// Decodes a JPEG held in memory into caller pixels (rows top-down, `pitch` bytes apart). The
// picture must be exactly width x height; bytesPerPixel 3 gives R, G, B, 4 gives R, G, B, 255.
// False for a damaged file, another size or another depth; the process always goes on.
bool kcJpegDecodeTo(const uint8_t* data, uint32_t size, uint8_t* pixels, int width, int height, int pitch,
                    int bytesPerPixel);

class kcImageJpeg : public kcImage {
public:
    kcImageJpeg() : quality(90) {}
    ~kcImageJpeg() override {}

    bool Load(const MemoryBlock* source, int frameId) override;
    bool Save(MemoryBlock* destination, int frameId, int headerValueA, int headerValueB,
              int clearTransparent) override;
    // At least 11 bytes, FF D8 and a header the library accepts.
    static bool Probe(const MemoryBlock* block);

    int quality;
};
