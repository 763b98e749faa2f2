#pragma once
// Helpers shared by the format tests: byte vectors, external blocks and patterned images.
#include "image/kcImage.h"
#include <cstdint>
#include <vector>
#include <zlib.h>

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

// PSD documents built by hand (big-endian fields).
inline ByteVec PsdHeader(uint16_t channels, uint32_t w, uint32_t h, uint16_t depth = 8, uint16_t mode = 3)
{
    ByteVec b;
    PutText(&b, "8BPS");
    PutBe16(&b, 1);
    b.resize(12, 0);
    PutBe16(&b, channels);
    PutBe32(&b, h);
    PutBe32(&b, w);
    PutBe16(&b, depth);
    PutBe16(&b, mode);
    return b;
}

// Header, empty colour data and resources, the given layer-and-mask section, merged image data.
inline ByteVec MakePsd(uint32_t w, uint32_t h, const ByteVec& section, uint16_t compression, const ByteVec& data,
                uint16_t depth = 8, uint16_t mode = 3)
{
    ByteVec b = PsdHeader(3, w, h, depth, mode);
    PutBe32(&b, 0);
    PutBe32(&b, 0);
    PutBe32(&b, (uint32_t)section.size());
    b.insert(b.end(), section.begin(), section.end());
    PutBe16(&b, compression);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline ByteVec RawPlanes2x2()
{
    return ByteVec{10, 11, 12, 13, 20, 21, 22, 23, 30, 31, 32, 33};
}

inline void PutLayerRecord(ByteVec* b, int top, int left, int bottom, int right,
                    const std::vector<std::pair<uint16_t, uint32_t>>& channels, const char* key, const ByteVec& extra)
{
    PutBe32(b, (uint32_t)top);
    PutBe32(b, (uint32_t)left);
    PutBe32(b, (uint32_t)bottom);
    PutBe32(b, (uint32_t)right);
    PutBe16(b, (uint32_t)channels.size());
    for (auto& c : channels) {
        PutBe16(b, c.first);
        PutBe32(b, c.second);
    }
    PutText(b, "8BIM");
    PutText(b, key);
    PutBe32(b, 0xFF000000);
    PutBe32(b, (uint32_t)extra.size());
    b->insert(b->end(), extra.begin(), extra.end());
}

// Two layers on a 4 x 4 document: "a" (1 x 1, red raw) and a 2 x 2 screen layer with a
// run-length red channel, a raw alpha channel, a Unicode name and a folder-end divider.
inline ByteVec LayeredPsd()
{
    ByteVec section;
    PutBe32(&section, 0); // layer information length (not read)
    PutBe16(&section, (uint32_t)(uint16_t)-2);
    ByteVec extra0;
    PutBe32(&extra0, 0);
    PutBe32(&extra0, 0);
    extra0.insert(extra0.end(), {1, 'a', 0, 0});
    PutLayerRecord(&section, 0, 0, 1, 1, {{0, 3}}, "norm", extra0);
    ByteVec extra1;
    PutBe32(&extra1, 0);
    PutBe32(&extra1, 0);
    extra1.insert(extra1.end(), {2, 'b', 'g', 0});
    PutText(&extra1, "8BIMluni");
    PutBe32(&extra1, 4 + 6);
    PutBe32(&extra1, 3);
    PutBe16(&extra1, 0x30EC);
    PutBe16(&extra1, 0x30A4);
    PutBe16(&extra1, 0x30E4);
    PutText(&extra1, "8BIMlsct");
    PutBe32(&extra1, 4);
    PutBe32(&extra1, 3);
    PutLayerRecord(&section, 1, 1, 3, 3, {{0, 2 + 4 + 5}, {0xFFFF, 2 + 4}}, "scrn", extra1);
    // Channel data: layer 0 red raw; layer 1 red run-length (counts 2, 3), alpha raw.
    section.insert(section.end(), {0, 0, 0x77});
    section.insert(section.end(), {0, 1, 0, 2, 0, 3, 255, 0x40, 1, 0x50, 0x51});
    section.insert(section.end(), {0, 0, 1, 2, 3, 4});
    ByteVec planes(48, 0x80);
    return MakePsd(4, 4, section, 0, planes);
}

// PNG files built by hand.
inline void PutChunk(ByteVec* png, const char* type, const ByteVec& data)
{
    PutBe32(png, (uint32_t)data.size());
    size_t start = png->size();
    PutText(png, type);
    png->insert(png->end(), data.begin(), data.end());
    uLong crc = crc32(0, png->data() + start, (uInt)(png->size() - start));
    PutBe32(png, (uint32_t)crc);
}

// A PNG built by hand: rows given unfiltered (a 0 filter byte is put ahead of each).
inline ByteVec MakePng(uint32_t w, uint32_t h, int depth, int colourType, const std::vector<ByteVec>& rows,
                const ByteVec& palette = ByteVec(), const ByteVec& trns = ByteVec())
{
    ByteVec png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    ByteVec ihdr;
    PutBe32(&ihdr, w);
    PutBe32(&ihdr, h);
    ihdr.insert(ihdr.end(), {(uint8_t)depth, (uint8_t)colourType, 0, 0, 0});
    PutChunk(&png, "IHDR", ihdr);
    if (!palette.empty()) PutChunk(&png, "PLTE", palette);
    if (!trns.empty()) PutChunk(&png, "tRNS", trns);
    ByteVec raw;
    for (const ByteVec& r : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), r.begin(), r.end());
    }
    uLongf packedSize = compressBound((uLong)raw.size());
    ByteVec packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), (uLong)raw.size());
    packed.resize(packedSize);
    PutChunk(&png, "IDAT", packed);
    PutChunk(&png, "IEND", ByteVec());
    return png;
}
