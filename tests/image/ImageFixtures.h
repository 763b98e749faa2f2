#pragma once
// Fixtures shared by the image tests: patterned images, saved files and hand-built files.
#include "image/kcImage.h"
#include "image/kcKclz.h"
#include "support/Hg3Builder.h"
#include <string>
#include <vector>
#include <zlib.h>

typedef std::vector<int> Ints;

inline std::string Be16(uint32_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v)}; }
inline std::string Be32(uint32_t v) { return Be16(v >> 16) + Be16(v & 0xFFFF); }
inline uint32_t At32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
inline uint32_t At32(const std::string& s, size_t at) { return At32(reinterpret_cast<const uint8_t*>(s.data()) + at); }

template <class T> kcImage* New() { return new T(); }

inline Ints Px(const kcImage& img, int x, int y)
{
    const uint8_t* p = img.PixelAt(x, y);
    return p ? Ints(p, p + img.bytesPerPixel) : Ints();
}

// The picture without row padding, so that images of different pitches compare.
inline std::string Rows(const kcImage& img)
{
    std::string s;
    for (int y = 0; y < img.height; y++) s.append(reinterpret_cast<char*>(img.PixelAt(0, y)), img.width * img.bytesPerPixel);
    return s;
}

// Every byte from its position and a seed, so misplaced rows or channels show.
inline std::string Pattern(int w, int h, int bpp, int seed = 0)
{
    std::string s;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < bpp; c++) s += static_cast<char>(x * 7 + y * 31 + c * 60 + seed * 13 + (x * y) % 5 + 1);
    return s;
}

inline void Paint(kcImage* img, int w, int h, int bpp, const std::string& top = std::string())
{
    std::string px = top.empty() ? Pattern(w, h, bpp) : top;
    img->Create(w, h, bpp);
    for (int y = 0; y < h; y++) px.copy(reinterpret_cast<char*>(img->PixelAt(0, y)), w * bpp, static_cast<size_t>(y) * w * bpp);
}

// What the image's own Save writes (the whole block, padding included); empty when it refuses.
inline std::string Saved(kcImage& img, int valueA = 0, int valueB = 0, int clear = 0)
{
    MemoryBlock out;
    if (!img.Save(&out, 0, valueA, valueB, clear)) return std::string();
    std::string s(reinterpret_cast<char*>(out.data), out.size);
    out.Free();
    return s;
}

template <class T> std::string SavedPattern(int w, int h, int bpp)
{
    T img;
    Paint(&img, w, h, bpp);
    return Saved(img);
}

// Hand-built files.
inline std::string Bmp(int w, int h, int bits, const std::string& rows, uint32_t compression = 0)
{
    return "BM" + Le32(54 + static_cast<uint32_t>(rows.size())) + Le32(0) + Le32(54) + Le32(40) + Le32(w) + Le32(h) +
           Le16(1) + Le16(static_cast<uint16_t>(bits)) + Le32(compression) + Le32(static_cast<uint32_t>(rows.size())) +
           std::string(16, '\0') + rows;
}

// A 2 x 2 32-bit bitmap with colour masks (compression 3) for red, green and blue; the bottom
// row's second pixel is 1 2 3 4, the top row's 5 6 7 8.
inline std::string MaskedBmp(uint32_t red, uint32_t green, uint32_t blue)
{
    std::string rows = std::string(4, '\0') + "\1\2\3\4" + std::string(4, '\0') + "\5\6\7\x08";
    std::string file = Bmp(2, 2, 32, rows, 3);
    return file.substr(0, 10) + Le32(66) + file.substr(14, 40) + Le32(red) + Le32(green) + Le32(blue) + rows;
}

// Rows are given unfiltered; each gets a 0 filter byte.
inline std::string Png(uint32_t w, uint32_t h, int depth, int colour, const std::vector<std::string>& rows,
                       const std::string& plte = std::string(), const std::string& trns = std::string())
{
    auto chunk = [](const char* type, const std::string& data) {
        std::string t = type + data;
        return Be32(static_cast<uint32_t>(data.size())) + t +
               Be32(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(t.data()), static_cast<uInt>(t.size()))));
    };
    std::string raw;
    for (const std::string& r : rows) raw += '\0' + r;
    std::string png = "\x89PNG\r\n\x1A\n" + chunk("IHDR", Be32(w) + Be32(h) + std::string{static_cast<char>(depth), static_cast<char>(colour), 0, 0, 0});
    if (!plte.empty()) png += chunk("PLTE", plte);
    if (!trns.empty()) png += chunk("tRNS", trns);
    return png + chunk("IDAT", Zlib(raw)) + chunk("IEND", std::string());
}

// 3 channels, empty colour data and resources, the given layer-and-mask section, merged data.
inline std::string Psd(uint32_t w, uint32_t h, const std::string& section, uint16_t compression, const std::string& data,
                       uint16_t depth = 8, uint16_t mode = 3)
{
    return "8BPS" + Be16(1) + std::string(6, '\0') + Be16(3) + Be32(h) + Be32(w) + Be16(depth) + Be16(mode) + Be32(0) +
           Be32(0) + Be32(static_cast<uint32_t>(section.size())) + section + Be16(compression) + data;
}

inline std::string RawPlanes2x2() { return std::string("\x0A\x0B\x0C\x0D\x14\x15\x16\x17\x1E\x1F\x20\x21", 12); }

// Two layers on a 4 x 4 document: "a" (1 x 1, raw red) and a 2 x 2 screen layer with a
// run-length red channel, a raw alpha channel, a Unicode name and a folder-end divider.
inline std::string LayeredPsd()
{
    auto record = [](int top, int left, int bottom, int right, const std::string& channels, const char* key,
                     const std::string& extra) {
        return Be32(top) + Be32(left) + Be32(bottom) + Be32(right) + channels + "8BIM" + key + Be32(0xFF000000) +
               Be32(static_cast<uint32_t>(extra.size())) + extra;
    };
    std::string extra1 = Be32(0) + Be32(0) + std::string("\2bg\0", 4) + "8BIMluni" + Be32(10) + Be32(3) + Be16(0x30EC) +
                         Be16(0x30A4) + Be16(0x30E4) + "8BIMlsct" + Be32(4) + Be32(3);
    std::string section = Be32(0) + Be16(0xFFFE) +
                          record(0, 0, 1, 1, Be16(1) + Be16(0) + Be32(3), "norm", Be32(0) + Be32(0) + std::string("\1a\0\0", 4)) +
                          record(1, 1, 3, 3, Be16(2) + Be16(0) + Be32(11) + Be16(0xFFFF) + Be32(6), "scrn", extra1);
    // Channel data: layer 0 red raw; layer 1 red run-length (row counts 2, 3), alpha raw.
    section += std::string("\0\0\x77", 3) + std::string("\0\1\0\2\0\3\xFF\x40\1\x50\x51", 11) + std::string("\0\0\1\2\3\4", 6);
    return Psd(4, 4, section, 0, std::string(48, '\x80'));
}

// A KCLZ block; empty when measuring and writing disagree.
inline std::string Kclz(const std::string& data, int mode)
{
    const uint8_t* in = reinterpret_cast<const uint8_t*>(data.data());
    unsigned size = static_cast<unsigned>(data.size());
    std::string out(kcLzCompress(in, size, nullptr, mode, nullptr, nullptr), '\0');
    unsigned n = kcLzCompress(in, size, reinterpret_cast<uint8_t*>(&out[0]), mode, nullptr, nullptr);
    return n == out.size() ? out : std::string();
}
