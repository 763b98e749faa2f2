#pragma once
// KCF: a 12-byte header and the image's pixel block (rows with padding) as one KCLZ block.
#include "image/kcImage.h"
#include <cstddef>

struct kcKcfHeader {
    char signature[4]; // "KCF" and a zero byte
    uint16_t width;
    uint16_t height;
    uint16_t pitch;
    uint16_t bytesPerPixel;
};
static_assert(sizeof(kcKcfHeader) == 12 && offsetof(kcKcfHeader, pitch) == 8, "KCF header layout");

class kcImageKcf : public kcImage {
public:
    kcImageKcf() {}
    ~kcImageKcf() override {}

    bool Load(const MemoryBlock* source, int frameId) override;
    // Codes the pixel block in whichever KCLZ mode gives the smallest block (the lowest on ties).
    bool Save(MemoryBlock* destination, int frameId, int headerValueA, int headerValueB,
              int clearTransparent) override;
    static bool Probe(const MemoryBlock* block);
};
