#pragma once
// PNG images through libpng. Pixels in the library's order: B, G, R (3 bytes) or B, G, R, A (4).
#include "image/kcImage.h"

class kcImagePng : public kcImage {
public:
    kcImagePng() : cropOnSave(0) {}
    ~kcImagePng() override {}

    bool Load(const MemoryBlock* source, int frameId) override;
    // Writes RGB for 3-byte and RGBA for 4-byte images; other depths cannot be represented.
    bool Save(MemoryBlock* destination, int frameId, int headerValueA, int headerValueB,
              int clearTransparent) override;
    // The block's first min(size, 8) bytes match the PNG signature.
    static bool Probe(const MemoryBlock* block);

    int cropOnSave;
};
