#pragma once
// Helpers shared by the format tests: byte vectors, external blocks and patterned images.
#include "image/kcImage.h"
#include <cstdint>
#include <vector>

typedef std::vector<uint8_t> ByteVec;

// A block over the caller's bytes that the image code must never free.
inline MemoryBlock ExternalBlock(const ByteVec& bytes)
{
    MemoryBlock m;
    m.data = const_cast<uint8_t*>(bytes.data());
    m.size = m.capacity = (uint32_t)bytes.size();
    m.external = 1;
    return m;
}

inline ByteVec BlockBytes(const MemoryBlock& m, uint32_t count)
{
    return ByteVec(m.data, m.data + count);
}

inline ByteVec BlockBytes(const MemoryBlock& m)
{
    return BlockBytes(m, m.size);
}

// Every pixel byte gets a value from its position, so misplaced rows or channels show.
inline void FillPattern(kcImage* image, int w, int h, int bpp)
{
    image->Create(w, h, bpp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < bpp; ++c) image->PixelAt(x, y)[c] = (uint8_t)(x * 7 + y * 31 + c * 60 + 1);
}

// Big- and little-endian appenders for building files by hand.
inline void PutBe16(ByteVec* b, uint32_t v)
{
    b->push_back((uint8_t)(v >> 8));
    b->push_back((uint8_t)v);
}
inline void PutBe32(ByteVec* b, uint32_t v)
{
    PutBe16(b, v >> 16);
    PutBe16(b, v & 0xFFFF);
}
inline void PutLe16(ByteVec* b, uint32_t v)
{
    b->push_back((uint8_t)v);
    b->push_back((uint8_t)(v >> 8));
}
inline void PutLe32(ByteVec* b, uint32_t v)
{
    PutLe16(b, v & 0xFFFF);
    PutLe16(b, v >> 16);
}
inline void PutText(ByteVec* b, const char* text)
{
    while (*text) b->push_back((uint8_t)*text++);
}
inline uint32_t GetLe32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline uint32_t GetLe16(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8);
}

// A save that cannot represent the image fails and leaves the destination as it was.
inline bool SaveRefusedAndUntouched(kcImage* image)
{
    ByteVec guard(16, 0x42);
    MemoryBlock out = ExternalBlock(guard);
    return !image->Save(&out, 0, 0, 0, 0) && out.data == guard.data() && out.size == 16 && out.external == 1;
}
