#include "Hg3Builder.h"
#include <zlib.h>

std::string Le32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; i++) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Le16(uint16_t v)
{
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string Zlib(const std::string& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    out.resize(size);
    return out;
}

namespace {
// Bits in stream order, least significant bit of each byte first.
struct Bits {
    std::vector<bool> bits;
    void Put(bool b) { bits.push_back(b); }
    void Gamma(uint32_t v)
    {
        int k = 0;
        while ((v >> k) > 1) k++;
        for (int i = 0; i < k; i++) Put(false);
        for (int i = k; i >= 0; i--) Put((v >> i) & 1);
    }
    std::string Bytes() const
    {
        std::string out((bits.size() + 7) / 8, '\0');
        for (size_t i = 0; i < bits.size(); i++)
            if (bits[i]) out[i / 8] = static_cast<char>(out[i / 8] | (1 << (i % 8)));
        return out;
    }
};
} // namespace

Hg2Coded Hg2Encode(const uint8_t* pixels, int pitch, int width, int rows, int bpp, uint32_t extraPlaneBytes)
{
    const size_t rowBytes = static_cast<size_t>(width) * bpp;
    // Copy, then the vertical delta top-down and the bottom row's left delta from its end.
    std::vector<std::vector<uint8_t>> r(rows);
    for (int y = 0; y < rows; y++) r[y].assign(pixels + static_cast<size_t>(y) * pitch, pixels + static_cast<size_t>(y) * pitch + rowBytes);
    for (int y = 0; y + 1 < rows; y++)
        for (size_t j = 0; j < rowBytes; j++) r[y][j] = static_cast<uint8_t>(r[y][j] - r[y + 1][j]);
    if (rows > 0)
        for (size_t j = rowBytes; j-- > static_cast<size_t>(bpp);) r[rows - 1][j] = static_cast<uint8_t>(r[rows - 1][j] - r[rows - 1][j - bpp]);
    std::vector<uint8_t> input;
    for (int y = rows - 1; y >= 0; y--)
        for (uint8_t v : r[y]) input.push_back(v < 128 ? static_cast<uint8_t>(2 * v) : static_cast<uint8_t>(2 * (255 - v) + 1));
    size_t n = input.size();
    size_t big = n < 1024 ? 1024 : n;
    size_t quarter = (big + 3) / 4 + extraPlaneBytes / 4;
    input.resize(quarter * 4, 0);
    std::vector<uint8_t> planes;
    for (int s = 6; s >= 0; s -= 2)
        for (size_t i = 0; i < quarter; i++) {
            int v = 0;
            for (int k = 0; k < 4; k++) v |= ((input[4 * i + k] >> s) & 3) << (2 * k);
            planes.push_back(static_cast<uint8_t>(v));
        }
    Hg2Coded c;
    Bits bits;
    bits.Put(planes[0] != 0);
    bits.Gamma(static_cast<uint32_t>(planes.size()));
    size_t i = 0;
    while (i < planes.size()) {
        size_t start = i;
        bool nonZero = planes[i] != 0;
        while (i < planes.size() && (planes[i] != 0) == nonZero) {
            if (nonZero) c.area.push_back(static_cast<char>(planes[i]));
            i++;
        }
        bits.Gamma(static_cast<uint32_t>(i - start));
    }
    c.bits = bits.Bytes();
    c.packedArea = Zlib(c.area);
    c.packedBits = Zlib(c.bits);
    return c;
}

// ---------------------------------------------------------------------------------------------

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
    std::string d = Le32(i.width) + Le32(i.height) + Le16(static_cast<uint16_t>(i.bits)) + Le16(0) + Le32(i.offsetX) +
                    Le32(i.offsetY) + Le32(i.canvasWidth) + Le32(i.canvasHeight) + Le32(i.transparent) + Le32(i.valueA) +
                    Le32(i.valueB);
    return Chunk("stdinfo", d);
}

Hg3Builder& Hg3Builder::Band(int number, const uint8_t* pixels, int pitch, int width, int height, int bpp, int firstFromBottom, int rows)
{
    int topRow = height - firstFromBottom - rows;
    Hg2Coded c = Hg2Encode(pixels + static_cast<size_t>(topRow) * pitch, pitch, width, rows, bpp);
    std::string d = Le32(firstFromBottom) + Le32(rows) + Le32(static_cast<uint32_t>(c.packedArea.size())) +
                    Le32(static_cast<uint32_t>(c.area.size())) + Le32(static_cast<uint32_t>(c.packedBits.size())) +
                    Le32(static_cast<uint32_t>(c.bits.size())) + c.packedArea + c.packedBits;
    std::string name = "img0000";
    for (int k = 6; k >= 3; k--, number /= 10) name[k] = static_cast<char>('0' + number % 10);
    return Chunk(name, d);
}

Hg3Builder& Hg3Builder::Bands(const uint8_t* pixels, int pitch, int width, int height, int bpp, int rowsPerBand)
{
    int number = 0;
    for (int first = 0; first < height; first += rowsPerBand) {
        int rows = height - first < rowsPerBand ? height - first : rowsPerBand;
        Band(number++, pixels, pitch, width, height, bpp, first, rows);
    }
    return *this;
}

Hg3Builder& Hg3Builder::Jpeg(const std::string& jpegFile) { return Chunk("img_jpg", jpegFile); }

Hg3Builder& Hg3Builder::Alpha(const std::string& alpha)
{
    std::string packed = Zlib(alpha);
    return Chunk("img_al", Le32(static_cast<uint32_t>(packed.size())) + Le32(static_cast<uint32_t>(alpha.size())) + packed);
}

Hg3Builder& Hg3Builder::WebP(const std::string& webpFile) { return Chunk("img_wbp", webpFile); }

Hg3Builder& Hg3Builder::U32Chunk(const std::string& name, uint32_t value) { return Chunk(name, Le32(value)); }

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
    bool transparent = false;
    for (size_t i = 0; i < static_cast<size_t>(width) * height; i++) transparent |= bgra[4 * i + 3] != 255;
    Hg3StdInfo info;
    info.width = info.canvasWidth = width;
    info.height = info.canvasHeight = height;
    info.bits = 32;
    info.transparent = transparent ? 1 : 0;
    Hg3Builder b;
    b.Frame(0).StdInfo(info).Bands(bgra, width * 4, width, height, 4, rowsPerBand);
    return b.Build();
}

std::string Hg2File(int version, const std::vector<Hg2Frame>& frames)
{
    std::string out = "HG-2" + Le32(12) + Le16(static_cast<uint16_t>(version)) + Le16(0);
    uint32_t recordBytes = version >= 37 ? 40 : 32;
    for (size_t i = 0; i < frames.size(); i++) {
        const Hg2Frame& f = frames[i];
        Hg2Coded c = Hg2Encode(f.pixels.data(), f.width * f.bpp, f.width, f.height, f.bpp);
        std::string info = Le32(f.width) + Le32(f.height) + Le16(static_cast<uint16_t>(f.bpp * 8)) +
                           Le16(static_cast<uint16_t>(f.depth)) + Le32(0) + Le32(0) +
                           Le32(static_cast<uint32_t>(c.packedArea.size())) + Le32(static_cast<uint32_t>(c.area.size())) +
                           Le32(static_cast<uint32_t>(c.packedBits.size())) + Le32(static_cast<uint32_t>(c.bits.size()));
        std::string data = c.packedArea + c.packedBits;
        if (version == 16) {
            out += info + data;
            break;
        }
        bool last = i + 1 == frames.size();
        uint32_t next = last ? 0 : static_cast<uint32_t>(recordBytes + data.size() + 36);
        std::string record = Le32(recordBytes) + Le32(f.id) + Le32(f.canvasWidth) + Le32(f.canvasHeight) +
                             Le32(f.offsetX) + Le32(f.offsetY) + Le32(f.transparent) + Le32(next);
        if (version >= 37) record += Le32(f.valueA) + Le32(f.valueB);
        out += info + record + data;
    }
    return out;
}
