#include "support/Hg3Builder.h"
#include <zlib.h>

std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v)) + Le16(static_cast<uint16_t>(v >> 16)); }

std::string Le16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

std::string Zlib(const std::string& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    out.resize(size);
    return out;
}

MemoryBlock View(const std::string& s)
{
    MemoryBlock b;
    b.data = reinterpret_cast<uint8_t*>(const_cast<char*>(s.data()));
    b.size = b.capacity = static_cast<uint32_t>(s.size());
    b.external = 1;
    return b;
}

Hg2Coded Hg2Encode(const uint8_t* pixels, int pitch, int width, int rows, int bpp, uint32_t extraPlaneBytes)
{
    // Deltas against the row below (the bottom row against its left neighbour), folded, bottom
    // row first.
    const size_t rowBytes = static_cast<size_t>(width) * bpp;
    std::string input;
    for (int y = rows - 1; y >= 0; y--) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * pitch;
        for (size_t j = 0; j < rowBytes; j++) {
            int ref = y + 1 < rows ? row[j + pitch] : j >= static_cast<size_t>(bpp) ? row[j - bpp] : 0;
            uint8_t v = static_cast<uint8_t>(row[j] - ref);
            input += static_cast<char>(v < 128 ? 2 * v : 2 * (255 - v) + 1);
        }
    }
    size_t quarter = ((input.size() < 1024 ? 1024 : input.size()) + 3) / 4 + extraPlaneBytes / 4;
    input.resize(quarter * 4, '\0');
    std::string planes;
    for (int s = 6; s >= 0; s -= 2)
        for (size_t i = 0; i < quarter; i++) {
            int v = 0;
            for (int k = 0; k < 4; k++) v |= ((static_cast<uint8_t>(input[4 * i + k]) >> s) & 3) << (2 * k);
            planes += static_cast<char>(v);
        }
    // Bits least significant first: the leading kind, gamma(total), then gamma of every run.
    std::vector<bool> bits;
    auto gamma = [&bits](uint32_t v) {
        int k = 0;
        while ((v >> k) > 1) k++;
        bits.insert(bits.end(), k, false);
        for (int i = k; i >= 0; i--) bits.push_back((v >> i) & 1);
    };
    Hg2Coded c;
    bits.push_back(planes[0] != 0);
    gamma(static_cast<uint32_t>(planes.size()));
    for (size_t i = 0, start = 0; i < planes.size(); start = i) {
        bool nonZero = planes[i] != 0;
        for (; i < planes.size() && (planes[i] != 0) == nonZero; i++)
            if (nonZero) c.area += planes[i];
        gamma(static_cast<uint32_t>(i - start));
    }
    c.bits.assign((bits.size() + 7) / 8, '\0');
    for (size_t i = 0; i < bits.size(); i++)
        if (bits[i]) c.bits[i / 8] = static_cast<char>(c.bits[i / 8] | (1 << (i % 8)));
    c.packedArea = Zlib(c.area);
    c.packedBits = Zlib(c.bits);
    return c;
}

static std::string Sizes(const Hg2Coded& c)
{
    return Le32(static_cast<uint32_t>(c.packedArea.size())) + Le32(static_cast<uint32_t>(c.area.size())) +
           Le32(static_cast<uint32_t>(c.packedBits.size())) + Le32(static_cast<uint32_t>(c.bits.size()));
}

Hg3Builder& Hg3Builder::Frame(int id)
{
    m_frames.push_back({id, {}});
    return *this;
}

Hg3Builder& Hg3Builder::Chunk(const std::string& name, const std::string& data)
{
    if (m_frames.empty()) Frame(0);
    m_frames.back().chunks.emplace_back(name, data);
    return *this;
}

Hg3Builder& Hg3Builder::StdInfo(const Hg3StdInfo& i)
{
    return Chunk("stdinfo", Le32(i.width) + Le32(i.height) + Le16(static_cast<uint16_t>(i.bits)) + Le16(0) +
                                Le32(i.offsetX) + Le32(i.offsetY) + Le32(i.canvasWidth) + Le32(i.canvasHeight) +
                                Le32(i.transparent) + Le32(i.valueA) + Le32(i.valueB));
}

Hg3Builder& Hg3Builder::Band(int number, const uint8_t* pixels, int pitch, int width, int height, int bpp,
                             int firstFromBottom, int rows)
{
    int topRow = height - firstFromBottom - rows;
    return CodedBand(number, firstFromBottom, rows, Hg2Encode(pixels + static_cast<size_t>(topRow) * pitch, pitch, width, rows, bpp));
}

Hg3Builder& Hg3Builder::CodedBand(int number, uint32_t firstFromBottom, uint32_t rows, const Hg2Coded& c)
{
    std::string name = "img0000";
    for (int k = 6; k >= 3; k--, number /= 10) name[k] = static_cast<char>('0' + number % 10);
    return Chunk(name, Le32(firstFromBottom) + Le32(rows) + Sizes(c) + c.packedArea + c.packedBits);
}

Hg3Builder& Hg3Builder::Bands(const uint8_t* pixels, int pitch, int width, int height, int bpp, int rowsPerBand)
{
    for (int first = 0, number = 0; first < height; first += rowsPerBand)
        Band(number++, pixels, pitch, width, height, bpp, first, height - first < rowsPerBand ? height - first : rowsPerBand);
    return *this;
}

Hg3Builder& Hg3Builder::Alpha(const std::string& alpha)
{
    std::string packed = Zlib(alpha);
    return Chunk("img_al", Le32(static_cast<uint32_t>(packed.size())) + Le32(static_cast<uint32_t>(alpha.size())) + packed);
}

std::string Hg3Builder::Build(uint32_t headerSize) const
{
    std::string out = "HG-3" + Le32(headerSize) + Le32(0x300);
    for (size_t f = 0; f < m_frames.size(); f++) {
        std::string body;
        const auto& chunks = m_frames[f].chunks;
        for (size_t c = 0; c < chunks.size(); c++) {
            std::string name = chunks[c].first.substr(0, 7);
            name.resize(8, '\0');
            const std::string& data = chunks[c].second;
            uint32_t next = c + 1 < chunks.size() ? static_cast<uint32_t>(16 + data.size()) : 0;
            body += name + Le32(next) + Le32(static_cast<uint32_t>(data.size())) + data;
        }
        uint32_t next = f + 1 < m_frames.size() ? static_cast<uint32_t>(8 + body.size()) : 0;
        out += Le32(next) + Le32(static_cast<uint32_t>(m_frames[f].id)) + body;
    }
    return out;
}

std::string Hg3FromBgra(const uint8_t* bgra, int width, int height, int rowsPerBand)
{
    Hg3StdInfo info;
    info.width = info.canvasWidth = width;
    info.height = info.canvasHeight = height;
    for (size_t i = 0; i < static_cast<size_t>(width) * height; i++) info.transparent |= bgra[4 * i + 3] != 255;
    return Hg3Builder().Frame(0).StdInfo(info).Bands(bgra, width * 4, width, height, 4, rowsPerBand).Build();
}

std::string ZlibLongTail(const std::string& raw, size_t tailBytes)
{
    z_stream s = {};
    deflateInit(&s, 9);
    // A full flush makes what follows independent of what came before, so the block of zeros
    // can be repeated.
    auto run = [&s](const std::string& in) {
        std::string out(deflateBound(&s, static_cast<uLong>(in.size())) + 64, '\0');
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        s.avail_in = static_cast<uInt>(in.size());
        s.next_out = reinterpret_cast<Bytef*>(&out[0]);
        s.avail_out = static_cast<uInt>(out.size());
        deflate(&s, Z_FULL_FLUSH);
        out.resize(out.size() - s.avail_out);
        return out;
    };
    std::string out = run(raw);
    const std::string zeros = run(std::string(1 << 20, '\0'));
    deflateEnd(&s);
    for (const size_t head = out.size(); out.size() < head + tailBytes;) out += zeros;
    return out;
}

std::string Hg3SharedTail(int width, int height, int bands, int rowsPerBand, uint32_t emptyBlocks)
{
    const std::string zero(static_cast<size_t>(width) * rowsPerBand * 4, '\0');
    const Hg2Coded c = Hg2Encode(reinterpret_cast<const uint8_t*>(zero.data()), width * 4, width, rowsPerBand, 4);
    Hg3StdInfo info;
    info.width = info.canvasWidth = width;
    info.height = info.canvasHeight = height;
    std::string file = Hg3Builder().StdInfo(info).Build();
    file.replace(28, 4, Le32(16 + 40)); // "stdinfo" links to the first band
    std::string tail;
    for (uint32_t i = 0; i < emptyBlocks; i++) tail += std::string("\0\0\0\xFF\xFF", 5);
    tail += std::string("\x01\0\0\xFF\xFF", 5); // the last block; no check value follows
    const uint32_t chunkBytes = 16 + 24 + 7, packed2 = static_cast<uint32_t>(c.packedBits.size());
    for (int k = 0; k < bands; k++) {
        const uint32_t stored = static_cast<uint32_t>(bands - 1 - k) * chunkBytes;
        const uint32_t packed1 = 7 + stored + static_cast<uint32_t>(tail.size());
        std::string name = "img0000";
        for (int d = 6, n = k; d >= 3; d--, n /= 10) name[d] = static_cast<char>('0' + n % 10);
        file += name + '\0' + Le32(k + 1 < bands ? chunkBytes : 0) + Le32(24 + packed1 + packed2);
        file += Le32(0) + Le32(rowsPerBand) + Le32(packed1) + Le32(stored) + Le32(packed2) +
                Le32(static_cast<uint32_t>(c.bits.size()));
        file += std::string("\x78\x01\0", 3) + Le16(static_cast<uint16_t>(stored)) + Le16(static_cast<uint16_t>(~stored));
    }
    return file + tail + c.packedBits;
}

std::string Hg2File(int version, const std::vector<Hg2Frame>& frames)
{
    std::string out = "HG-2" + Le32(12) + Le16(static_cast<uint16_t>(version)) + Le16(0);
    uint32_t recordBytes = version >= 37 ? 40 : 32;
    for (size_t i = 0; i < frames.size(); i++) {
        const Hg2Frame& f = frames[i];
        Hg2Coded c = Hg2Encode(reinterpret_cast<const uint8_t*>(f.pixels.data()), f.width * f.bpp, f.width, f.height, f.bpp);
        std::string info = Le32(f.width) + Le32(f.height) + Le16(static_cast<uint16_t>(f.bpp * 8)) +
                           Le16(static_cast<uint16_t>(f.depth)) + Le32(0) + Le32(0) + Sizes(c);
        std::string data = c.packedArea + c.packedBits;
        if (version == 16) return out + info + data;
        uint32_t next = i + 1 == frames.size() ? 0 : static_cast<uint32_t>(recordBytes + data.size() + 36);
        std::string record = Le32(recordBytes) + Le32(f.id) + Le32(f.canvasWidth) + Le32(f.canvasHeight) +
                             Le32(f.offsetX) + Le32(f.offsetY) + Le32(f.transparent) + Le32(next);
        if (version >= 37) record += Le32(f.valueA) + Le32(f.valueB);
        out += info + record + data;
    }
    return out;
}
