#include "image/kcImageHg2.h"
#include "image/kcZlib.h"
#include "foundation/kcLog.h"
#include <cstring>

static const char kBroken[] = "HG2 : データが壊れています";

// Extra plane bytes a coded block may carry beyond its rows (the encoder pads to 1024).
static const uint32_t kPlaneSlack = 4096;

// ---------------------------------------------------------------------------------------------
// The coding

static uint32_t Spread(uint32_t i)
{
    return ((i & 0xC0) << 18) | ((i & 0x30) << 12) | ((i & 0x0C) << 6) | (i & 0x03);
}

kcHg2Coding::kcHg2Coding() : m_bits(nullptr), m_bitPos(0), m_bitLimit(0)
{
    for (uint32_t i = 0; i < 256; i++) {
        m_interleave[0][i] = Spread(i) << 6;
        m_interleave[1][i] = Spread(i) << 4;
        m_interleave[2][i] = Spread(i) << 2;
        m_interleave[3][i] = Spread(i);
    }
    for (int j = 0; j < 128; j++) {
        m_unfold[2 * j] = static_cast<uint8_t>(j);
        m_unfold[2 * j + 1] = static_cast<uint8_t>(255 - j);
    }
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t u[4] = {0, 0, 0, 0};
        for (int k = 0; k < 4; k++) {
            uint32_t pair = (i >> (2 * k)) & 3;
            u[0] |= (pair << 5) << (8 * k);
            u[1] |= (pair << 3) << (8 * k);
            u[2] |= (pair << 1) << (8 * k);
            u[3] |= ((pair >> 1) ^ (pair & 1 ? 0xFFu : 0u)) << (8 * k);
        }
        for (int t = 0; t < 4; t++) m_unfolded[t][i] = u[t];
    }
}

namespace {
// Gamma codes of up to kShortBits bits, indexed by the next kShortBits stream bits: the value
// and the code's length (0: a longer code, read the slow way).
const int kShortBits = 12;
struct ShortCode {
    uint16_t value;
    uint8_t length;
};
struct ShortCodeTable {
    ShortCode entry[1 << kShortBits];
    ShortCodeTable()
    {
        for (uint32_t w = 0; w < (1u << kShortBits); w++) {
            entry[w] = {0, 0};
            int zeros = 0;
            while (zeros < kShortBits && !((w >> zeros) & 1)) zeros++;
            if (2 * zeros + 1 > kShortBits) continue;
            uint32_t v = 1;
            for (int i = 0; i < zeros; i++) v = (v << 1) | ((w >> (zeros + 1 + i)) & 1);
            entry[w] = {static_cast<uint16_t>(v), static_cast<uint8_t>(2 * zeros + 1)};
        }
    }
};
const ShortCodeTable g_shortCodes;
} // namespace

void kcHg2Coding::StartBits(const uint8_t* bits, uint32_t bytes)
{
    m_bits = bits;
    m_bitPos = 0;
    m_bitLimit = bytes * 8;
}

// The next 25 or more bits, least significant first. Reads past the stream land in its zero
// padding; callers compare the position with the limit afterwards.
inline uint32_t kcHg2Coding::Window() const
{
    uint32_t w;
    memcpy(&w, m_bits + (m_bitPos >> 3), 4);
    return w >> (m_bitPos & 7);
}

bool kcHg2Coding::ReadBit(uint32_t* bit)
{
    if (m_bitPos >= m_bitLimit) return false;
    *bit = Window() & 1;
    m_bitPos++;
    return true;
}

// Elias gamma, least significant bit of each byte first.
inline bool kcHg2Coding::ReadGamma(uint32_t* value)
{
    const ShortCode c = g_shortCodes.entry[Window() & ((1u << kShortBits) - 1)];
    if (c.length == 0) return ReadLongGamma(value);
    m_bitPos += c.length;
    *value = c.value;
    return m_bitPos <= m_bitLimit;
}

// Codes longer than the table's: at most 31 zero bits of prefix, and all inside the stream.
bool kcHg2Coding::ReadLongGamma(uint32_t* value)
{
    int zeros = 0;
    for (;;) {
        if (m_bitPos >= m_bitLimit) return false;
        uint32_t w = Window() & 0xFFFFFF;
        int run = w ? __builtin_ctz(w) : 24;
        zeros += run;
        m_bitPos += run;
        if (zeros > 31) return false;
        if (w) break;
    }
    m_bitPos++; // the one bit
    uint32_t v = 1;
    for (int i = 0; i < zeros; i++) {
        if (m_bitPos >= m_bitLimit) return false;
        v = (v << 1) | (Window() & 1);
        m_bitPos++;
    }
    *value = v;
    return true;
}

// Alternating zero runs and data runs fill the plane area; every run must stay inside both
// buffers. Most runs are short, so each one first moves a fixed 16 bytes (both buffers carry
// 16 bytes of slack, and the next run overwrites what lies beyond this one), which spares a
// mispredicted loop exit per run; longer runs finish with a library call.
bool kcHg2Coding::Expand(const uint8_t* area, uint32_t byteCount, uint8_t* planes, uint32_t total, bool dataFirst)
{
    static const uint8_t kZeros[16] = {};
    uint32_t pos = 0, used = 0, count = 0;
    for (bool data = dataFirst; pos < total; data = !data) {
        if (!ReadGamma(&count) || count > total - pos) return false;
        uint8_t* dst = planes + pos;
        if (data) {
            if (count > byteCount - used) return false;
            memcpy(dst, area + used, 16);
            if (count > 16) memcpy(dst + 16, area + used + 16, count - 16);
            used += count;
        } else {
            memcpy(dst, kZeros, 16);
            if (count > 16) memset(dst + 16, 0, count - 16);
        }
        pos += count;
    }
    return true;
}

// Byte-wise sum modulo 256 of four lanes at once.
static inline uint32_t AddBytes(uint32_t a, uint32_t b)
{
    return ((a & 0x7F7F7F7Fu) + (b & 0x7F7F7F7Fu)) ^ ((a ^ b) & 0x80808080u);
}

// Interleave, unfold and the row deltas in one pass, a row at a time: the row's data bytes are
// unfolded into rowBuffer a word per plane position, then added to the row below.
void kcHg2Coding::Rebuild(const uint8_t* planes, uint32_t quarter, uint8_t* rowBuffer, uint8_t* pixels, int pitch,
                          int firstRow, int rows, int rowBytes, int bpp) const
{
    if (rows <= 0 || rowBytes <= 0) return;
    const uint8_t* p0 = planes;
    const uint8_t* p1 = planes + quarter;
    const uint8_t* p2 = planes + 2 * quarter;
    const uint8_t* p3 = planes + 3 * quarter;
    uint8_t* row = pixels + static_cast<ptrdiff_t>(firstRow) * pitch;
    uint8_t* below = nullptr;
    for (int r = 0; r < rows; r++, row -= pitch) {
        uint32_t start = static_cast<uint32_t>(r) * rowBytes;
        uint32_t i0 = start >> 2, i1 = (start + rowBytes + 3) >> 2;
        uint8_t* out = rowBuffer;
        for (uint32_t i = i0; i < i1; i++, out += 4) {
            uint32_t w = UnfoldedWord(p0[i], p1[i], p2[i], p3[i]);
            memcpy(out, &w, 4);
        }
        const uint8_t* u = rowBuffer + (start & 3);
        if (!below) {
            int lead = bpp < rowBytes ? bpp : rowBytes;
            for (int j = 0; j < lead; j++) row[j] = u[j];
            for (int j = lead; j < rowBytes; j++) row[j] = static_cast<uint8_t>(u[j] + row[j - bpp]);
        } else {
            int j = 0;
            for (; j + 4 <= rowBytes; j += 4) {
                uint32_t a, b;
                memcpy(&a, u + j, 4);
                memcpy(&b, below + j, 4);
                a = AddBytes(a, b);
                memcpy(row + j, &a, 4);
            }
            for (; j < rowBytes; j++) row[j] = static_cast<uint8_t>(u[j] + below[j]);
        }
        below = row;
    }
}

kcHg2Coding::Result kcHg2Coding::Decode(const uint8_t* stream1, uint32_t packed1, uint32_t raw1, const uint8_t* stream2,
                                        uint32_t packed2, uint32_t raw2, uint8_t* pixels, int pitch, int firstRow,
                                        int rows, int rowBytes, int bpp)
{
    uint64_t n = static_cast<uint64_t>(rows) * static_cast<uint64_t>(rowBytes);
    if (n > kcImageMaxBytes) return kBadData;
    // Raw sizes that no honest stream of these rows could have are refused before allocating.
    if (raw1 > n + kPlaneSlack || raw1 > kcZlibMaxRaw(packed1)) return kByteAreaSize;
    if (raw2 > n + kPlaneSlack || raw2 > kcZlibMaxRaw(packed2)) return kBitAreaSize;
    // Stream 1 first, so that its size is the one reported when both are wrong.
    kcHeapScratch bytes(static_cast<uint64_t>(raw1) + 16);
    kcHeapScratch bits(static_cast<uint64_t>(raw2) + 16);
    if (!bytes.Get() || !bits.Get()) return kBadData;
    if (kcZlibDecompress(bytes.Get(), raw1 + 16, stream1, packed1) != static_cast<int>(raw1)) return kByteAreaSize;
    if (kcZlibDecompress(bits.Get(), raw2 + 16, stream2, packed2) != static_cast<int>(raw2)) return kBitAreaSize;

    memset(bits.Get() + raw2, 0, 16);
    StartBits(bits.Get(), raw2);
    uint32_t first = 0, total = 0;
    if (!ReadBit(&first) || !ReadGamma(&total)) return kBadData;
    if (total % 4 != 0 || total < n || total > n + kPlaneSlack) return kBadData;

    kcHeapScratch planes(static_cast<uint64_t>(total) + 16);
    kcHeapScratch rowBuffer(static_cast<uint64_t>(rowBytes) + 8);
    if (!planes.Get() || !rowBuffer.Get()) return kBadData;
    if (!Expand(bytes.Get(), raw1, planes.Get(), total, first != 0)) return kBadData;
    Rebuild(planes.Get(), total / 4, rowBuffer.Get(), pixels, pitch, firstRow, rows, rowBytes, bpp);
    return kOk;
}

void kcHg2Coding::WidenDepth(uint8_t* pixels, uint32_t bytes, int depth)
{
    if (depth < 4 || depth > 7) return;
    for (uint32_t i = 0; i < bytes; i++) {
        uint32_t v = pixels[i];
        pixels[i] = static_cast<uint8_t>(((v << (8 - depth)) | (v >> (2 * depth - 8))) & 0xFF);
    }
}

// ---------------------------------------------------------------------------------------------
// HG-2 files

static const uint32_t kHeaderBytes = 12;
static const uint32_t kInfoBytes = 36;
static const uint32_t kFirstRecord = 48;

static uint32_t RecordBytes(int version) { return version >= 37 ? 40 : 32; }

kcImageHg2::kcImageHg2() : m_reservedA(0), m_reservedB(0), m_crop(1) {}

kcImageHg2::~kcImageHg2() {}

bool kcImageHg2::Probe(const MemoryBlock* block)
{
    return block && block->data && block->size >= 4 && memcmp(block->data, "HG-2", 4) == 0;
}

bool kcImageHg2::CheckHeader(const kcByteReader& r, int* version)
{
    const uint8_t* h = r.At(0, kHeaderBytes);
    if (!h || memcmp(h, "HG-2", 4) != 0) {
        kcLog("HG2 : ヘッダが違います");
        return false;
    }
    int v = static_cast<int16_t>(kcByteReader::Le16(h + 8));
    if (v != 16 && v != 32 && v != 37) {
        kcLog("HG2 : 未対応のバージョンです");
        return false;
    }
    *version = v;
    return true;
}

// Follows the record chain forward only: each next record lies behind the current one, so the
// walk ends within the block.
bool kcImageHg2::FindFrame(const kcByteReader& r, int version, bool byIndex, int idOrIndex, Frame* out)
{
    if (version == 16) {
        if (byIndex && idOrIndex != 0) return false;
        *out = {kHeaderBytes, 0, 0};
        if (!r.At(kHeaderBytes, kInfoBytes)) {
            kcLog(kBroken);
            return false;
        }
        return true;
    }
    uint32_t recBytes = RecordBytes(version);
    uint32_t record = kFirstRecord;
    for (int step = 0;; step++) {
        const uint8_t* rec = r.At(record, recBytes);
        if (!rec) {
            kcLog(kBroken);
            return false;
        }
        int id = static_cast<int32_t>(kcByteReader::Le32(rec + 4));
        if (byIndex ? step == idOrIndex : id == idOrIndex) {
            *out = {record - kInfoBytes, record, id};
            return true;
        }
        uint32_t next = kcByteReader::Le32(rec + 28);
        if (next == 0) {
            if (!byIndex) kcLog("HG2(%d) : 対応するIDが見つかりません", idOrIndex);
            return false;
        }
        if (next < kInfoBytes + recBytes || next > r.Size() - record) {
            kcLog(kBroken);
            return false;
        }
        record += next;
    }
}

bool kcImageHg2::ReadFrame(const kcByteReader& r, int version, const Frame& f)
{
    kcByteReader info = r.Sub(f.info, kInfoBytes);
    int32_t w = info.I32();
    int32_t h = info.I32();
    int bpp = info.I16() / 8;
    int depth = info.I16();
    info.Skip(8);
    uint32_t packed1 = info.U32(), raw1 = info.U32(), packed2 = info.U32(), raw2 = info.U32();
    if (!info.Ok()) {
        kcLog(kBroken);
        return false;
    }
    int rowBytes = 0;
    uint32_t n = 0;
    if (bpp < 1 || bpp > 4 || (depth != 0 && (depth < 4 || depth > 7)) ||
        !kcImageLayout(w, h, bpp, 1, &rowBytes, &n)) {
        kcLog(kBroken);
        return false;
    }
    uint32_t dataAt = kFirstRecord;
    kcByteReader rec;
    if (version != 16) {
        rec = r.Sub(f.record, RecordBytes(version));
        uint32_t dataOffset = rec.U32();
        if (dataOffset > r.Size() - f.record) {
            kcLog(kBroken);
            return false;
        }
        dataAt = f.record + dataOffset;
    }
    const uint8_t* stream1 = r.At(dataAt, packed1);
    const uint8_t* stream2 = stream1 ? r.At(dataAt + packed1, packed2) : nullptr;
    if (!stream2) {
        kcLog(kBroken);
        return false;
    }
    if (!SetupPixels(w, h, bpp, 1)) return false;
    switch (m_coding.Decode(stream1, packed1, raw1, stream2, packed2, raw2, pixels, rowBytes, h - 1, h, rowBytes, bpp)) {
    case kcHg2Coding::kOk:
        break;
    case kcHg2Coding::kByteAreaSize:
        kcLog("kcImageHg2 : バイト領域のサイズが異常です");
        return false;
    case kcHg2Coding::kBitAreaSize:
        kcLog("kcImageHg2 : ビット領域のサイズが異常です");
        return false;
    default:
        return false;
    }
    if (depth != 0) kcHg2Coding::WidenDepth(pixels, n, depth);
    if (version == 16) {
        canvasWidth = w;
        canvasHeight = h;
        offsetX = offsetY = 0;
        alphaState = 0;
        headerValueA = headerValueB = 0;
    } else {
        rec.Seek(4);
        rec.Skip(4); // id
        canvasWidth = rec.I32();
        canvasHeight = rec.I32();
        offsetX = rec.I32();
        offsetY = rec.I32();
        alphaState = rec.U32() ? 2 : 1;
        rec.Skip(4); // next
        headerValueA = version >= 37 ? rec.I32() : 0;
        headerValueB = version >= 37 ? rec.I32() : 0;
    }
    return true;
}

bool kcImageHg2::Load(const MemoryBlock* source, int frameId)
{
    kcByteReader r(source ? source->data : nullptr, source ? source->size : 0);
    int version = 0;
    Frame f;
    return CheckHeader(r, &version) && FindFrame(r, version, false, frameId, &f) && ReadFrame(r, version, f);
}

bool kcImageHg2::LoadIndexed(const MemoryBlock* source, unsigned index, int* frameIdOut)
{
    kcByteReader r(source ? source->data : nullptr, source ? source->size : 0);
    int version = 0;
    Frame f;
    if (index > 0x7FFFFFFF || !CheckHeader(r, &version) || !FindFrame(r, version, true, static_cast<int>(index), &f)) return false;
    if (frameIdOut) *frameIdOut = f.id;
    return ReadFrame(r, version, f);
}

// ---------------------------------------------------------------------------------------------
// Writer

namespace {
// Bits least significant first, Elias gamma for run lengths.
class BitWriter {
public:
    BitWriter(uint8_t* out, uint32_t capacity) : m_out(out), m_capacity(capacity), m_bytes(0), m_bit(0) {}
    bool Put(uint32_t bit)
    {
        if (m_bit == 0) {
            if (m_bytes >= m_capacity) return false;
            m_out[m_bytes++] = 0;
        }
        if (bit) m_out[m_bytes - 1] |= static_cast<uint8_t>(1u << m_bit);
        m_bit = (m_bit + 1) & 7;
        return true;
    }
    bool Gamma(uint32_t v)
    {
        int k = 31 - __builtin_clz(v);
        for (int i = 0; i < k; i++)
            if (!Put(0)) return false;
        for (int i = k; i >= 0; i--)
            if (!Put((v >> i) & 1)) return false;
        return true;
    }
    uint32_t Bytes() const { return m_bytes; }

private:
    uint8_t* m_out;
    uint32_t m_capacity;
    uint32_t m_bytes;
    int m_bit;
};

void Put32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
} // namespace

int kcImageHg2::Encode(uint8_t* out, uint32_t capacity, int frameId)
{
    if (bytesPerPixel != 3 && bytesPerPixel != 4) {
        kcLog("この色数には対応していません");
        return -1;
    }
    if (!pixels) return -1;
    uint32_t transparent = HasTransparency() ? 1 : 0;
    const int bpp = bytesPerPixel;
    const uint32_t rowBytes = static_cast<uint32_t>(width) * bpp;
    const uint32_t n = rowBytes * static_cast<uint32_t>(height);
    const uint32_t big = n > 1024 ? n : 1024;
    const uint32_t quarter = (big + 3) / 4;
    const uint32_t total = quarter * 4;

    // Folded deltas, bottom row first: the bottom row against its left neighbour, every other
    // row against the row below it. The image itself stays as it is.
    kcHeapScratch folded(total);
    kcHeapScratch planes(total);
    if (!folded.Get() || !planes.Get()) return -1;
    uint8_t* f = folded.Get();
    memset(f, 0, total);
    for (int q = 0; q < height; q++) {
        const uint8_t* row = pixels + static_cast<ptrdiff_t>(height - 1 - q) * pitch;
        const uint8_t* below = q == 0 ? nullptr : row + pitch;
        uint8_t* o = f + static_cast<size_t>(q) * rowBytes;
        for (uint32_t j = 0; j < rowBytes; j++) {
            uint8_t ref = below ? below[j] : (j >= static_cast<uint32_t>(bpp) ? row[j - bpp] : 0);
            o[j] = kcHg2Coding::Fold(static_cast<uint8_t>(row[j] - ref));
        }
    }
    uint8_t* pl = planes.Get();
    static const int kShifts[4] = {6, 4, 2, 0};
    for (int p = 0; p < 4; p++) {
        for (uint32_t i = 0; i < quarter; i++) {
            uint32_t v = 0;
            for (int k = 0; k < 4; k++) v |= ((f[4 * i + k] >> kShifts[p]) & 3u) << (2 * k);
            pl[p * quarter + i] = static_cast<uint8_t>(v);
        }
    }
    // Byte area: the non-zero plane bytes; bit stream: leading kind, total, run lengths.
    uint8_t* area = f; // the folded rows are no longer needed
    uint32_t areaBytes = 0;
    kcHeapScratch bits(total / 2 + 64);
    if (!bits.Get()) return -1;
    BitWriter bw(bits.Get(), total / 2 + 64);
    bool ok = bw.Put(pl[0] != 0) && bw.Gamma(total);
    for (uint32_t i = 0; ok && i < total;) {
        bool nonZero = pl[i] != 0;
        uint32_t start = i;
        while (i < total && (pl[i] != 0) == nonZero) {
            if (nonZero) area[areaBytes++] = pl[i];
            i++;
        }
        ok = bw.Gamma(i - start);
    }
    if (!ok) return -1;

    const uint32_t scratchBytes = 2 * big;
    kcHeapScratch packedArea(scratchBytes);
    kcHeapScratch packedBits(scratchBytes);
    if (!packedArea.Get() || !packedBits.Get()) return -1;
    int p1 = kcZlibCompress(packedArea.Get(), scratchBytes, area, areaBytes);
    int p2 = kcZlibCompress(packedBits.Get(), scratchBytes, bits.Get(), bw.Bytes());
    if (p1 < 0 || p2 < 0 || static_cast<uint32_t>(p1) > scratchBytes || static_cast<uint32_t>(p2) > scratchBytes) return -1;
    uint64_t size = 88ull + p1 + p2;
    if (size > capacity) return -1;

    memset(out, 0, 88);
    memcpy(out, "HG-2", 4);
    Put32(out + 4, kHeaderBytes);
    Put32(out + 8, 37);
    uint8_t* info = out + 12;
    Put32(info + 0, width);
    Put32(info + 4, height);
    info[8] = static_cast<uint8_t>(bpp * 8);
    Put32(info + 12, m_reservedA);
    Put32(info + 16, m_reservedB);
    Put32(info + 20, p1);
    Put32(info + 24, areaBytes);
    Put32(info + 28, p2);
    Put32(info + 32, bw.Bytes());
    uint8_t* rec = out + kFirstRecord;
    const uint32_t recordValues[10] = {40, static_cast<uint32_t>(frameId), static_cast<uint32_t>(canvasWidth),
                                       static_cast<uint32_t>(canvasHeight), static_cast<uint32_t>(offsetX),
                                       static_cast<uint32_t>(offsetY), transparent, 0,
                                       static_cast<uint32_t>(headerValueA), static_cast<uint32_t>(headerValueB)};
    for (int i = 0; i < 10; i++) Put32(rec + 4 * i, recordValues[i]);
    memcpy(out + 88, packedArea.Get(), p1);
    memcpy(out + 88 + p1, packedBits.Get(), p2);
    return static_cast<int>(size);
}

bool kcImageHg2::Save(MemoryBlock* destination, int frameId, int valueA, int valueB, int clearTransparent)
{
    if (!destination) return false;
    canvasWidth = width;
    canvasHeight = height;
    offsetX = offsetY = 0;
    headerValueA = valueA;
    headerValueB = valueB;
    kcImageRect r;
    if (GetOpaqueBounds(&r)) {
        if (r.right <= r.left || r.bottom <= r.top) r = {0, 0, 2, 2};
        if (m_crop && Crop(&r)) {
            offsetX = r.left;
            offsetY = r.top;
        }
    }
    if (clearTransparent) ClearTransparentColour();
    uint64_t capacity = static_cast<uint64_t>(width) * height * bytesPerPixel * 2 + 88;
    if (capacity < 102400) capacity = 102400;
    if (capacity > kcImageMaxBytes * 2ull || !destination->Allocate(static_cast<uint32_t>(capacity))) return false;
    int size = Encode(destination->data, destination->capacity, frameId);
    if (size < 0) {
        destination->Free();
        destination->external = 0;
        return false;
    }
    destination->size = static_cast<uint32_t>(size);
    return true;
}
