#include "kcImageHg3.h"
#include "kcZlib.h"
#include "foundation/kcLog.h"
#include <cstring>

#if __has_include("kcImageJpeg.h")
#include "kcImageJpeg.h"
#define KC_HG3_JPEG 1
#endif
#if __has_include("kcImageWebP.h")
#include "kcImageWebP.h"
#define KC_HG3_WEBP 1
#endif

static const char kBroken[] = "HG3 : データが壊れています";
static const uint32_t kFirstFrame = 12;
static const uint32_t kFrameHeaderBytes = 8;
static const uint32_t kChunkHeaderBytes = 16;
static const uint32_t kStdInfoBytes = 40;
static const uint32_t kBandHeaderBytes = 24;

namespace {
struct Chunk {
    const char* name;
    const uint8_t* data;
    uint32_t size;
};

// One frame's chunk list, walked forward only and inside the block: a chunk whose header, name
// or data does not fit, or whose link does not move forward past its header, ends the walk
// as broken.
class ChunkWalk {
public:
    ChunkWalk(const kcByteReader& r, uint32_t first) : m_r(r), m_next(first), m_done(false), m_broken(false) {}
    bool Next(Chunk* c)
    {
        if (m_done) return false;
        const uint8_t* h = m_r.At(m_next, kChunkHeaderBytes);
        if (!h || !memchr(h, 0, 8)) return Break();
        uint32_t link = kcByteReader::Le32(h + 8);
        uint32_t size = kcByteReader::Le32(h + 12);
        const uint8_t* data = m_r.At(m_next + kChunkHeaderBytes, size);
        if (!data) return Break();
        if (link == 0) {
            m_done = true;
        } else {
            if (link < kChunkHeaderBytes || link > m_r.Size() - m_next) return Break();
            m_next += link;
        }
        *c = {reinterpret_cast<const char*>(h), data, size};
        return true;
    }
    bool Broken() const { return m_broken; }

private:
    bool Break()
    {
        m_done = m_broken = true;
        return false;
    }
    const kcByteReader& m_r;
    uint32_t m_next;
    bool m_done, m_broken;
};

// The number behind "ats": optional sign, decimal, or hexadecimal after "0x"; a decimal number
// followed by '.' is not an integer.
bool ParseAtsNumber(const char* s, int* value)
{
    int i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    if (s[i] < '0' || s[i] > '9') return false;
    uint32_t v = 0;
    if (s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        for (i += 2;; i++) {
            char ch = s[i];
            int d = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : -1;
            if (d < 0) break;
            v = v * 16 + d;
        }
    } else {
        for (; s[i] >= '0' && s[i] <= '9'; i++) v = v * 10 + (s[i] - '0');
        if (s[i] == '.') return false;
    }
    *value = static_cast<int>(negative ? 0u - v : v);
    return true;
}

void BandName(char out[8], int index)
{
    memcpy(out, "img", 3);
    for (int k = 6; k >= 3; k--, index /= 10) out[k] = static_cast<char>('0' + index % 10);
    out[7] = 0;
}

// Frame whose id matches (byIndex false) or the index-th frame, following next-frame links
// forward only. Returns the frame's offset, or 0 when none; *broken is set when a link leaves
// the block before the frame is found.
uint32_t FindFrame(const kcByteReader& r, bool byIndex, int64_t idOrIndex, bool* broken)
{
    *broken = false;
    uint32_t frame = kFirstFrame;
    for (int64_t step = 0;; step++) {
        const uint8_t* h = r.At(frame, kFrameHeaderBytes);
        if (!h) {
            *broken = true;
            return 0;
        }
        if (byIndex ? step == idOrIndex : static_cast<int32_t>(kcByteReader::Le32(h + 4)) == idOrIndex) return frame;
        uint32_t next = kcByteReader::Le32(h);
        if (next == 0) return 0;
        if (next < kFrameHeaderBytes || next > r.Size() - frame) {
            *broken = true;
            return 0;
        }
        frame += next;
    }
}
} // namespace

kcImageHg3::kcImageHg3() {}

kcImageHg3::~kcImageHg3() {}

bool kcImageHg3::Probe(const MemoryBlock* block)
{
    return block && block->data && block->size >= 4 && memcmp(block->data, "HG-3", 4) == 0;
}

const uint8_t* kcImageHg3::FindChunk(const kcByteReader& block, uint32_t firstChunk, const char* name, uint32_t* size)
{
    if (size) *size = 0;
    if (!block.Data() || !name) return nullptr;
    ChunkWalk walk(block, firstChunk);
    Chunk c;
    while (walk.Next(&c)) {
        if (strcmp(c.name, name) == 0) {
            if (size) *size = c.size;
            return c.data;
        }
    }
    return nullptr;
}

bool kcImageHg3::DecodeWebP(const uint8_t* data, uint32_t size, int w, int h, int bpp)
{
#ifdef KC_HG3_WEBP
    MemoryBlock block;
    block.data = const_cast<uint8_t*>(data);
    block.size = block.capacity = size;
    block.external = 1;
    kcImageWebP webp;
    if (!webp.Load(&block, 0)) return false;
    if (webp.width != w || webp.height != h || webp.bytesPerPixel != 4) {
        kcLog(kBroken);
        return false;
    }
    if (!SetupPixels(w, h, bpp, 1)) return false;
    for (int y = 0; y < h; y++) {
        const uint8_t* s = webp.pixels + static_cast<ptrdiff_t>(y) * webp.pitch;
        uint8_t* d = pixels + static_cast<ptrdiff_t>(y) * pitch;
        if (bpp == 4) {
            memcpy(d, s, static_cast<size_t>(w) * 4);
        } else {
            for (int x = 0; x < w; x++, s += 4, d += 3) memcpy(d, s, 3);
        }
    }
    return true;
#else
    return false;
#endif
}

bool kcImageHg3::DecodeJpeg(const kcByteReader& r, uint32_t chunks, const uint8_t* data, uint32_t size, int w, int h, int bpp)
{
#ifdef KC_HG3_JPEG
    MemoryBlock block;
    block.data = const_cast<uint8_t*>(data);
    block.size = block.capacity = size;
    block.external = 1;
    kcImageJpeg jpeg;
    if (!jpeg.Load(&block, 0)) return false;
    if (jpeg.width != w || jpeg.height != h || jpeg.bytesPerPixel != 3) {
        kcLog(kBroken);
        return false;
    }
    if (!SetupPixels(w, h, bpp, 1)) return false;
    for (int y = 0; y < h; y++) {
        const uint8_t* s = jpeg.pixels + static_cast<ptrdiff_t>(y) * jpeg.pitch;
        uint8_t* d = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int x = 0; x < w; x++, s += 3, d += bpp) {
            memcpy(d, s, 3);
            if (bpp == 4) d[3] = 255;
        }
    }
    uint32_t alSize = 0;
    const uint8_t* al = bpp == 4 ? FindChunk(r, chunks, "img_al", &alSize) : nullptr;
    if (!al || alSize < 8) return true;
    uint32_t packed = kcByteReader::Le32(al), raw = kcByteReader::Le32(al + 4);
    uint64_t plane = static_cast<uint64_t>(w) * h;
    // A plane that is short, claims more than its stream can hold, or does not inflate to its
    // raw size is ignored: the pixels stay opaque.
    if (packed > alSize - 8 || raw < plane || raw > kcZlibMaxRaw(packed)) return true;
    kcHeapScratch alpha(raw < 1024 ? 1024 : raw);
    if (!alpha.Get() || kcZlibDecompress(alpha.Get(), raw < 1024 ? 1024 : raw, al + 8, packed) != static_cast<int>(raw)) return true;
    for (int y = 0; y < h; y++) {
        const uint8_t* s = alpha.Get() + static_cast<size_t>(y) * w;
        uint8_t* d = pixels + static_cast<ptrdiff_t>(y) * pitch + 3;
        for (int x = 0; x < w; x++, d += 4) *d = s[x];
    }
    return true;
#else
    return false;
#endif
}

bool kcImageHg3::DecodeBands(const kcByteReader& r, uint32_t chunks, int w, int h, int bpp)
{
    if (!SetupPixels(w, h, bpp, 1)) return false;
    // Rows that no band covers are transparent black rather than stale heap contents.
    memset(pixels, 0, pixelBytes);
    for (int index = 0; index <= 9999; index++) {
        char name[8];
        BandName(name, index);
        uint32_t size = 0;
        const uint8_t* band = FindChunk(r, chunks, name, &size);
        if (!band) break;
        kcByteReader b(band, size);
        uint32_t first = b.U32(), rows = b.U32();
        uint32_t packed1 = b.U32(), raw1 = b.U32(), packed2 = b.U32(), raw2 = b.U32();
        const uint8_t* stream1 = b.Take(packed1);
        const uint8_t* stream2 = b.Take(packed2);
        if (!b.Ok() || first >= static_cast<uint32_t>(h) || rows > static_cast<uint32_t>(h) - first) {
            kcLog(kBroken);
            return false;
        }
        int top = h - 1 - static_cast<int>(first);
        switch (m_coding.Decode(stream1, packed1, raw1, stream2, packed2, raw2, pixels, pitch, top, static_cast<int>(rows),
                                w * bpp, bpp)) {
        case kcHg2Coding::kOk:
            break;
        case kcHg2Coding::kByteAreaSize:
            kcLog("kcImageHg3 : バイト領域のサイズが異常です");
            return false;
        case kcHg2Coding::kBitAreaSize:
            kcLog("kcImageHg3 : ビット領域のサイズが異常です");
            return false;
        default:
            return false;
        }
    }
    return true;
}

bool kcImageHg3::ReadFrame(const kcByteReader& r, int frameId, uint32_t* chunksOut)
{
    const uint8_t* header = r.At(0, 8);
    if (!header || memcmp(header, "HG-3", 4) != 0) {
        kcLog("HG3 : ヘッダが違います");
        return false;
    }
    if (kcByteReader::Le32(header + 4) != 12) {
        kcLog("HG3 : ヘッダサイズが違います");
        return false;
    }
    bool broken = false;
    uint32_t frame = FindFrame(r, false, frameId, &broken);
    if (!frame) {
        if (broken) kcLog(kBroken);
        return false;
    }
    uint32_t chunks = frame + kFrameHeaderBytes;
    ChunkWalk walk(r, chunks);
    Chunk c;
    while (walk.Next(&c)) {
    }
    if (walk.Broken()) {
        kcLog(kBroken);
        return false;
    }
    uint32_t infoSize = 0;
    const uint8_t* info = FindChunk(r, chunks, "stdinfo", &infoSize);
    if (!info) return false;
    kcByteReader s(info, infoSize);
    int32_t w = s.I32(), h = s.I32();
    int bpp = s.I16() / 8;
    s.Skip(2);
    int32_t ox = s.I32(), oy = s.I32(), cw = s.I32(), ch = s.I32();
    uint32_t transparent = s.U32();
    int32_t valueA = s.I32(), valueB = s.I32();
    if (!s.Ok() || !kcImageLayout(w, h, bpp, 1, nullptr, nullptr)) {
        kcLog(kBroken);
        return false;
    }
    uint32_t webpSize = 0, jpegSize = 0;
    const uint8_t* webp = FindChunk(r, chunks, "img_wbp", &webpSize);
    const uint8_t* jpeg = webp ? nullptr : FindChunk(r, chunks, "img_jpg", &jpegSize);
    // JPEG and WebP deliver 3 or 4 bytes per pixel; other depths cannot hold them.
    if ((webp || jpeg) && bpp != 3 && bpp != 4) {
        kcLog(kBroken);
        return false;
    }
    bool ok = webp ? DecodeWebP(webp, webpSize, w, h, bpp)
              : jpeg ? DecodeJpeg(r, chunks, jpeg, jpegSize, w, h, bpp)
                     : DecodeBands(r, chunks, w, h, bpp);
    if (!ok) return false;
    canvasWidth = cw;
    canvasHeight = ch;
    offsetX = ox;
    offsetY = oy;
    headerValueA = valueA;
    headerValueB = valueB;
    alphaState = transparent ? 2 : 1;
    if (bytesPerPixel == 3) Expand24To32();
    *chunksOut = chunks;
    return true;
}

void kcImageHg3::ReadAttributes(const kcByteReader& r, uint32_t chunks)
{
    bool modeGiven = false, jpeg = false;
    ChunkWalk walk(r, chunks);
    Chunk c;
    while (walk.Next(&c)) {
        int id = 0;
        if (strncmp(c.name, "ats", 3) == 0 && ParseAtsNumber(c.name + 3, &id)) {
            if (c.size >= kInfoRecordBytes) SetInfo(id, 0, c.data);
        } else if (strcmp(c.name, "cptype") == 0) {
            if (c.size >= 4) cpType = static_cast<int>(kcByteReader::Le32(c.data));
        } else if (strcmp(c.name, "imgmode") == 0) {
            if (c.size >= 4) {
                redBlueSwapped = static_cast<int>(kcByteReader::Le32(c.data));
                modeGiven = true;
            }
        } else if (strcmp(c.name, "img_jpg") == 0 || strcmp(c.name, "img_jpa") == 0) {
            jpeg = true;
        }
    }
    if (jpeg && !modeGiven) redBlueSwapped = 1;
}

bool kcImageHg3::Load(const MemoryBlock* source, int frameId)
{
    kcByteReader r(source ? source->data : nullptr, source ? source->size : 0);
    uint32_t chunks = 0;
    if (!ReadFrame(r, frameId, &chunks)) return false;
    ReadAttributes(r, chunks);
    SwapRedBlue();
    return true;
}

bool kcImageHg3::LoadIndexed(const MemoryBlock* source, unsigned index, int* frameIdOut)
{
    if (!Probe(source)) return false;
    kcByteReader r(source->data, source->size);
    bool broken = false;
    uint32_t frame = FindFrame(r, true, index, &broken);
    if (!frame) {
        if (broken) kcLog(kBroken);
        return false;
    }
    int id = static_cast<int32_t>(kcByteReader::Le32(r.At(frame, kFrameHeaderBytes) + 4));
    if (frameIdOut) *frameIdOut = id;
    return Load(source, id);
}
