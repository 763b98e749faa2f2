#include "image/kcImageHg3.h"
#include "image/kcZlib.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <new>
#include <thread>
#include <vector>

#include "image/kcImageJpeg.h"
#include "image/kcImageWebP.h"

static const char kBroken[] = "HG3 : データが壊れています";
static const char kNoMemory[] = "HG3 : メモリが確保出来ませんでした";
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

// The number of a band chunk's name, "img0000" to "img9999"; -1 for any other name.
int BandNumber(const char* name)
{
    if (memcmp(name, "img", 3) != 0 || name[7] != 0) return -1;
    int number = 0;
    for (int k = 3; k < 7; k++) {
        if (name[k] < '0' || name[k] > '9') return -1;
        number = number * 10 + (name[k] - '0');
    }
    return number;
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

// The decoders check that the picture has the size "stdinfo" gives and write the file's
// channel order (R first); the attribute chunks decide about swapping afterwards.
bool kcImageHg3::DecodeWebP(const uint8_t* data, uint32_t size, int w, int h, int bpp)
{
    return SetupPixels(w, h, bpp, 1) && kcWebPDecodeTo(data, size, pixels, w, h, pitch, bpp);
}

bool kcImageHg3::DecodeJpeg(const kcByteReader& r, uint32_t chunks, const uint8_t* data, uint32_t size, int w, int h, int bpp)
{
    if (!SetupPixels(w, h, bpp, 1) || !kcJpegDecodeTo(data, size, pixels, w, h, pitch, bpp)) return false;
    uint32_t alSize = 0;
    const uint8_t* al = bpp == 4 ? FindChunk(r, chunks, "img_al", &alSize) : nullptr;
    if (!al || alSize < 8) return true;
    uint32_t packed = kcByteReader::Le32(al), raw = kcByteReader::Le32(al + 4);
    uint64_t plane = static_cast<uint64_t>(w) * h;
    // A plane that is short, claims more than its stream can hold, or does not inflate to its
    // raw size is ignored: the pixels stay opaque.
    if (packed > alSize - 8 || raw < plane || raw > kcZlibMaxRaw(packed)) return true;
    uint32_t room = raw < 1024 ? 1024 : raw;
    kcHeapScratch alpha(room);
    if (!alpha.Get() || kcZlibDecompress(alpha.Get(), room, al + 8, packed) != static_cast<int>(raw)) return true;
    for (int y = 0; y < h; y++) {
        const uint8_t* s = alpha.Get() + static_cast<size_t>(y) * w;
        uint8_t* d = pixels + static_cast<ptrdiff_t>(y) * pitch + 3;
        for (int x = 0; x < w; x++, d += 4) *d = s[x];
    }
    return true;
}

namespace {
struct Band {
    uint32_t first, rows, packed1, raw1, packed2, raw2;
    const uint8_t* stream1;
    const uint8_t* stream2;
    kcHg2Coding::Result result;
};

// Picture rows [start, end), top-down.
struct RowSpan {
    uint32_t start, end;
};

// Bands are independent (each starts afresh), so large pictures whose bands cover distinct
// rows are decoded on a few threads, each with its own coding state.
const uint64_t kParallelBytes = 1 << 20;
const unsigned kMaxWorkers = 4;

// A zero run of any length is one code, so a band of a few bytes can claim every row of the
// frame and cost a full decode of them. Well-formed files tile the frame once; overlapping
// bands are allowed, but all bands of a frame together claim at most four times its rows, plus
// as many rows as hold 1 MiB (a zero-width row counts as one byte). Decoding so stays within
// a few times the pixel bytes.
const uint64_t kClaimFactor = 4;
const uint64_t kClaimExtraBytes = 1 << 20;

uint64_t ClaimLimit(uint32_t height, uint32_t rowBytes)
{
    return kClaimFactor * height + kClaimExtraBytes / (rowBytes ? rowBytes : 1);
}

// Sorts and merges the spans in place (empty ones dropped); returns how many remain and tells
// whether any row lay in two spans.
size_t MergeSpans(std::vector<RowSpan>& spans, bool* disjoint)
{
    std::sort(spans.begin(), spans.end(), [](const RowSpan& a, const RowSpan& b) { return a.start < b.start; });
    size_t merged = 0;
    *disjoint = true;
    for (const RowSpan& span : spans) {
        if (span.start == span.end) continue;
        if (merged && span.start < spans[merged - 1].end) {
            *disjoint = false;
            spans[merged - 1].end = std::max(spans[merged - 1].end, span.end);
        } else {
            spans[merged++] = span;
        }
    }
    return merged;
}
} // namespace

bool kcImageHg3::DecodeBands(const kcByteReader& r, uint32_t chunks, int w, int h, int bpp)
{
    if (!SetupPixels(w, h, bpp, 1)) return false;
    // "img0000", "img0001", ... up to the first missing name; a broken band header ends the
    // list and fails the load once the bands before it are decoded. One walk indexes the band
    // chunks (the first of each name, as a search from the start finds it), so many bands among
    // many other chunks cost bands + chunks, not their product.
    std::vector<Chunk> byNumber;
    ChunkWalk walk(r, chunks);
    Chunk c;
    while (walk.Next(&c)) {
        int number = BandNumber(c.name);
        if (number < 0) continue;
        if (static_cast<size_t>(number) >= byNumber.size()) byNumber.resize(number + 1, Chunk{nullptr, nullptr, 0});
        if (!byNumber[number].data) byNumber[number] = c;
    }
    const uint32_t height = static_cast<uint32_t>(h), rowBytes = static_cast<uint32_t>(w * bpp);
    std::vector<Band> bands;
    std::vector<RowSpan> spans;
    uint64_t claimed = 0, streamBytes = 0;
    bool brokenHeader = false;
    for (size_t index = 0; index < byNumber.size() && byNumber[index].data; index++) {
        kcByteReader b(byNumber[index].data, byNumber[index].size);
        Band band;
        band.first = b.U32();
        band.rows = b.U32();
        band.packed1 = b.U32();
        band.raw1 = b.U32();
        band.packed2 = b.U32();
        band.raw2 = b.U32();
        band.stream1 = b.Take(band.packed1);
        band.stream2 = b.Take(band.packed2);
        band.result = kcHg2Coding::kBadData;
        if (!b.Ok() || band.first >= height || band.rows > height - band.first) {
            brokenHeader = true;
            break;
        }
        claimed += band.rows;
        streamBytes += kBandHeaderBytes + static_cast<uint64_t>(band.packed1) + band.packed2;
        bands.push_back(band);
        spans.push_back({height - band.first - band.rows, height - band.first});
    }
    // In a well-formed file every band's streams are bytes of its own, so all of them fit in the
    // block. Streams that share bytes (each running over the later bands into one long tail)
    // would make the work grow with bands x file size.
    if (claimed > ClaimLimit(height, rowBytes) || streamBytes > r.Size()) {
        kcLog(kBroken);
        return false;
    }
    bool disjoint = true;
    size_t covered = MergeSpans(spans, &disjoint);

    auto decode = [&](kcHg2Coding& coding, Band& band) {
        band.result = coding.Decode(band.stream1, band.packed1, band.raw1, band.stream2, band.packed2, band.raw2, pixels, pitch,
                                    h - 1 - static_cast<int>(band.first), static_cast<int>(band.rows), rowBytes, bpp);
        return band.result == kcHg2Coding::kOk;
    };
    unsigned workers = std::min<unsigned>(kMaxWorkers, std::max(1u, std::thread::hardware_concurrency()));
    if (disjoint && bands.size() >= 2 && workers >= 2 && pixelBytes >= kParallelBytes) {
        // Bands are taken in order and none is begun after a failure, so every band before the
        // first failing one is still decoded and the report below stays that of the ordered road.
        std::atomic<size_t> next(0);
        std::atomic<bool> failed(false);
        auto work = [&] {
            kcHg2Coding coding;
            for (size_t i; !failed && (i = next++) < bands.size();)
                if (!decode(coding, bands[i])) failed = true;
        };
        std::vector<std::thread> threads;
        // A thread that cannot be started leaves its share to the others.
        try {
            for (unsigned t = 1; t < std::min<size_t>(workers, bands.size()); t++) threads.emplace_back(work);
        } catch (const std::exception&) {
        }
        work();
        for (std::thread& t : threads) t.join();
    } else {
        for (Band& band : bands)
            if (!decode(m_coding, band)) break;
    }
    // The first failing band decides, as if they had been decoded in order.
    for (const Band& band : bands) {
        if (band.result == kcHg2Coding::kByteAreaSize) kcLog("kcImageHg3 : バイト領域のサイズが異常です");
        if (band.result == kcHg2Coding::kBitAreaSize) kcLog("kcImageHg3 : ビット領域のサイズが異常です");
        if (band.result != kcHg2Coding::kOk) return false;
    }
    if (brokenHeader) {
        kcLog(kBroken);
        return false;
    }
    // Rows that no band covers are transparent black rather than stale heap contents; rows lie
    // back to back (pitch = row bytes), so each gap is one fill.
    uint32_t row = 0;
    for (size_t i = 0; i <= covered; i++) {
        uint32_t end = i < covered ? spans[i].start : height;
        if (end > row) memset(pixels + static_cast<size_t>(row) * rowBytes, 0, static_cast<size_t>(end - row) * rowBytes);
        if (i < covered) row = spans[i].end;
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
    int bits = s.I16(), bpp = bits / 8;
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
    // JPEG and WebP deliver 3 or 4 bytes per pixel; other depths cannot hold them. Bands are
    // coded at 24 or 32 bits only, so that every loaded frame can be widened to 4 bytes; a frame
    // too large for that is refused before its bands are decoded.
    bool depthOk = (webp || jpeg) ? bpp == 3 || bpp == 4
                                  : (bits == 24 || bits == 32) && kcImageLayout(w, h, 4, 1, nullptr, nullptr);
    if (!depthOk) {
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
    if (bytesPerPixel == 3 && !Expand24To32()) return false;
    *chunksOut = chunks;
    return true;
}

void kcImageHg3::ReadAttributes(const kcByteReader& r, uint32_t chunks)
{
    bool modeGiven = false, jpeg = false;
    ChunkWalk walk(r, chunks);
    Chunk c;
    while (walk.Next(&c)) {
        int id = 0, end = 0;
        if (strncmp(c.name, "ats", 3) == 0 && kcParseIntExA(c.name + 3, &end, &id)) {
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
    // The band index and the info map are standard containers: running out of memory for them
    // is a failed load, never an exception out of the library.
    try {
        if (!ReadFrame(r, frameId, &chunks)) return false;
        ReadAttributes(r, chunks);
    } catch (const std::bad_alloc&) {
        kcLog(kNoMemory);
        return false;
    }
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
