#pragma once
// Test-side writers of HG-2 and HG-3 files, made from the format description independently of
// the library's reader and writer. Also used to make sample pictures and benchmark input.
#include "image/kcImage.h"
#include <cstdint>
#include <string>
#include <vector>

std::string Le32(uint32_t v);
std::string Le16(uint16_t v);
std::string Zlib(const std::string& raw);

// A block over the bytes of s that the image code must never free.
MemoryBlock View(const std::string& s);

// One block in the HG-2 coding: the byte area and bit stream, raw and as zlib streams.
struct Hg2Coded {
    std::string area, bits, packedArea, packedBits;
};
// Codes `rows` rows of width * bpp bytes given top-down `pitch` bytes apart. extraPlaneBytes
// (a multiple of 4) lengthens the plane total beyond the encoder's own.
Hg2Coded Hg2Encode(const uint8_t* pixels, int pitch, int width, int rows, int bpp, uint32_t extraPlaneBytes = 0);

struct Hg3StdInfo {
    int width = 0, height = 0, bits = 32;
    int offsetX = 0, offsetY = 0, canvasWidth = 0, canvasHeight = 0;
    uint32_t transparent = 0;
    int valueA = 0, valueB = 0;
};

class Hg3Builder {
public:
    // Starts a new frame; chunks go to the last frame begun.
    Hg3Builder& Frame(int id);
    Hg3Builder& Chunk(const std::string& name, const std::string& data);
    Hg3Builder& U32Chunk(const std::string& name, uint32_t value) { return Chunk(name, Le32(value)); }
    Hg3Builder& StdInfo(const Hg3StdInfo& info);
    // Band chunk "img<number>" of `rows` rows whose first row, counted from the bottom, is
    // firstFromBottom; pixels point at the picture's top row.
    Hg3Builder& Band(int number, const uint8_t* pixels, int pitch, int width, int height, int bpp, int firstFromBottom,
                     int rows);
    // Band chunk "img<number>" that claims `rows` rows from firstFromBottom, with any coded block.
    Hg3Builder& CodedBand(int number, uint32_t firstFromBottom, uint32_t rows, const Hg2Coded& coded);
    // Bands of at most rowsPerBand rows covering the picture (band 0 holds the bottom rows).
    Hg3Builder& Bands(const uint8_t* pixels, int pitch, int width, int height, int bpp, int rowsPerBand);
    // "img_al": width * height alpha bytes, rows top-down.
    Hg3Builder& Alpha(const std::string& alpha);
    std::string Build(uint32_t headerSize = 12) const;

private:
    struct FrameData {
        int id;
        std::vector<std::pair<std::string, std::string>> chunks;
    };
    std::vector<FrameData> m_frames;
};

// A zlib stream of raw followed by about tailBytes of blocks that each inflate to 1 MiB of
// zeros, without an end: what it inflates to runs far past raw.
std::string ZlibLongTail(const std::string& raw, size_t tailBytes);

// A 32-bit frame of `bands` bands (at most 1395), each claiming the bottom rowsPerBand rows and
// decoding alone, whose streams share bytes: each stream 1 is a stored block over the later bands'
// chunks, then one tail of emptyBlocks empty stored blocks; every bit stream is the bytes at the end.
std::string Hg3SharedTail(int width, int height, int bands, int rowsPerBand, uint32_t emptyBlocks);

// A one-frame 32-bit HG-3 (bands in the HG-2 coding) from top-down B, G, R, A pixels.
std::string Hg3FromBgra(const uint8_t* bgra, int width, int height, int rowsPerBand = 0x7FFFFFFF);

// HG-2 files: version 16 holds the first frame only; 32 and 37 chain every frame.
struct Hg2Frame {
    int id = 0;
    int width = 0, height = 0, bpp = 4, depth = 0;
    int canvasWidth = 0, canvasHeight = 0, offsetX = 0, offsetY = 0;
    uint32_t transparent = 0;
    int valueA = 0, valueB = 0;
    std::string pixels; // top-down, width * bpp per row
};
std::string Hg2File(int version, const std::vector<Hg2Frame>& frames);
