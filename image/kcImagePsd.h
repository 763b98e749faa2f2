#pragma once
// Layered image documents (PSD), read only. The merged image loads as a 4-byte image whose
// last document row comes first in memory.
#include "image/kcImage.h"
#include <cstddef>

struct kcPsdRect {
    int32_t left, top, right, bottom;
};

// What the parser found: the merged image or one layer, with pointers into the parsed data.
struct kcPsdInfo {
    uint16_t channels;
    int32_t width;
    int32_t height;
    kcPsdRect rect;
    const uint8_t* data[4];   // red, green, blue, alpha; null when absent
    uint16_t compression[4];  // 0 raw, 1 run-length
    uint32_t length[4];       // bytes of each channel's data behind its pointer
    int32_t merged;           // 1: the merged image, 0: a layer
    int32_t layerCount;
    char name[256];           // code page 932, NUL-terminated
    int32_t sectionDivider;   // 0 none, 1 open or closed folder, 2 folder end
};
static_assert(sizeof(void*) != 4 || (sizeof(kcPsdInfo) == 336 && offsetof(kcPsdInfo, name) == 76),
              "PSD info record layout");

// Parses size bytes of a document; every read stays inside them. readLayer clear (or a document
// without layers) describes the merged image. The chosen layer's blend mode goes to blendMode.
bool kcPsdParse(const uint8_t* data, uint32_t size, kcPsdInfo* info, int layerIndex, int readLayer,
                int* blendMode);

// Decodes one channel into a width x height plane at the rectangle, reading no byte at or past
// end. Returns the source position after the plane, null when the data runs out first.
const uint8_t* kcPsdDecodePlane(uint8_t* plane, const uint8_t* source, const uint8_t* end, int compression,
                                int width, int height, const kcPsdRect& rect);

// Builds B, G, R, A pixels (pitch width * 4) with the planes' rows reversed; a missing colour
// plane gives 0, a missing alpha plane 255.
void kcPsdCompose(uint8_t* destination, const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                  const uint8_t* alpha, int width, int height);

class kcImagePsd : public kcImage {
public:
    kcImagePsd() : reserved(nullptr) {}
    ~kcImagePsd() override {}

    bool Load(const MemoryBlock* source, int frameId) override;
    static bool Probe(const MemoryBlock* block);

    void* reserved;
};
