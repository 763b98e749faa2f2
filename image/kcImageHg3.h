#pragma once
// HG-3: the engine's container image format. A chain of frames, each a list of named chunks:
// "stdinfo" (placement), the picture (bands in the HG-2 coding, JPEG colour with a zlib alpha
// plane, or WebP) and attribute chunks. Read only; every loaded frame has 4 bytes per pixel.
#include "image/kcByteReader.h"
#include "image/kcImage.h"
#include "image/kcImageHg2.h"

class kcImageHg3 : public kcImage {
public:
    kcImageHg3();
    ~kcImageHg3() override;
    bool Load(const MemoryBlock* source, int frameId) override;
    bool LoadIndexed(const MemoryBlock* source, unsigned index, int* frameIdOut) override;

    static bool Probe(const MemoryBlock* block);

    // Walks the chunk list that starts at firstChunk inside the block: the data (16 bytes behind
    // the header) and size of the first chunk called `name`; null (size 0) when the list ends
    // or leaves the block.
    static const uint8_t* FindChunk(const kcByteReader& block, uint32_t firstChunk, const char* name, uint32_t* size);

private:
    bool ReadFrame(const kcByteReader& r, int frameId, uint32_t* chunks);
    void ReadAttributes(const kcByteReader& r, uint32_t chunks);
    bool DecodeWebP(const uint8_t* data, uint32_t size, int w, int h, int bpp);
    bool DecodeJpeg(const kcByteReader& r, uint32_t chunks, const uint8_t* data, uint32_t size, int w, int h, int bpp);
    bool DecodeBands(const kcByteReader& r, uint32_t chunks, int w, int h, int bpp);

    kcHg2Coding m_coding;
};
