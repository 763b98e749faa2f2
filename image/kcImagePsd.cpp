#include "image/kcImagePsd.h"
#include "image/kcByteReader.h"
#include "foundation/kcHeap.h"
#include "foundation/kcString.h"
#include <cstdlib>
#include <cstring>

namespace {

const int kMaxChannels = 256;
const uint16_t kRunLength = 1;

// Layer blend keys in the order of their mode numbers.
const char* const kBlendKeys[] = {"norm", "lddg", "mul ", "scrn", "over", "div "};

int BlendMode(const uint8_t* key)
{
    for (int i = 0; i < (int)(sizeof kBlendKeys / sizeof kBlendKeys[0]); ++i)
        if (memcmp(key, kBlendKeys[i], 4) == 0) return i;
    return -1;
}

// Channel ids 0, 1, 2 are red, green, blue; -1 is alpha; the rest have no slot.
int ChannelSlot(uint16_t id)
{
    if (id <= 2) return id;
    return id == 0xFFFF ? 3 : -1;
}

// Name, Unicode name and section divider from a layer record's extra data.
bool ParseExtra(kcByteReader e, kcPsdInfo* info)
{
    e.Skip(e.U32Be()); // layer mask data
    e.Skip(e.U32Be()); // blending ranges
    const uint8_t nameLength = e.U8();
    const uint8_t* name = e.Take(nameLength);
    if (!e.Ok()) return false;
    memcpy(info->name, name, nameLength);
    info->name[nameLength] = 0;
    while (e.Has(1) && e.Data()[e.Pos()] == 0) e.Skip(1);
    while (e.Remaining() >= 12) {
        const uint8_t* tag = e.Take(8);
        const uint32_t length = e.U32Be();
        kcByteReader block = e.Sub(e.Pos(), length);
        if (!e.Skip(length)) return false;
        if (memcmp(tag, "8BIMluni", 8) == 0) {
            const uint32_t count = block.U32Be();
            if (!block.Ok() || count > block.Remaining() / 2) return false;
            wchar_t text[256];
            uint32_t n = count < 255 ? count : 255;
            for (uint32_t i = 0; i < n; ++i) text[i] = (wchar_t)block.U16Be();
            text[n] = 0;
            kcWideToSjisN(info->name, sizeof info->name, text);
        } else if (memcmp(tag, "8BIMlsct", 8) == 0) {
            const uint32_t type = block.U32Be();
            if (!block.Ok()) return false;
            info->sectionDivider = (type == 1 || type == 2) ? 1 : type == 3 ? 2 : 0;
            break;
        }
    }
    return true;
}

struct ChannelEntry {
    uint16_t id;
    uint32_t length;
};

// The layer records inside the layer information, then the chosen layer's channel data.
bool ParseLayer(kcByteReader& r, uint32_t layerCount, uint32_t index, kcPsdInfo* info, int* blendMode)
{
    ChannelEntry chosen[kMaxChannels];
    uint16_t chosenCount = 0;
    uint64_t before = 0;
    for (uint32_t i = 0; i < layerCount; ++i) {
        kcPsdRect rect;
        rect.top = (int32_t)r.U32Be();
        rect.left = (int32_t)r.U32Be();
        rect.bottom = (int32_t)r.U32Be();
        rect.right = (int32_t)r.U32Be();
        const uint16_t channels = r.U16Be();
        if (channels > kMaxChannels) return false;
        uint64_t sum = 0;
        for (uint16_t c = 0; c < channels; ++c) {
            const uint16_t id = r.U16Be();
            const uint32_t length = r.U32Be();
            sum += length;
            if (i == index) chosen[c] = ChannelEntry{id, length};
        }
        r.Skip(4); // blend signature
        const uint8_t* key = r.Take(4);
        r.Skip(4); // opacity, clipping, flags, filler
        const uint32_t extra = r.U32Be();
        const uint32_t extraStart = r.Pos();
        r.Skip(extra);
        if (!r.Ok()) return false;
        if (i < index) before += sum;
        if (i != index) continue;
        const int mode = BlendMode(key);
        if (mode < 0 || rect.right < rect.left || rect.bottom < rect.top) return false;
        if (blendMode) *blendMode = mode;
        info->rect = rect;
        info->channels = channels;
        chosenCount = channels;
        if (!ParseExtra(r.Sub(extraStart, extra), info)) return false;
    }
    if (before > r.Remaining() || !r.Skip((uint32_t)before)) return false;
    const uint64_t rows = (uint64_t)((int64_t)info->rect.bottom - info->rect.top);
    for (uint16_t c = 0; c < chosenCount; ++c) {
        const uint32_t start = r.Pos();
        const uint16_t compression = r.U16Be();
        const uint64_t header = 2 + (compression == kRunLength ? rows * 2 : 0);
        if (!r.Ok() || header > chosen[c].length || !r.Seek(start) || !r.Skip(chosen[c].length)) return false;
        const int slot = ChannelSlot(chosen[c].id);
        if (slot < 0) continue;
        info->compression[slot] = compression;
        info->data[slot] = r.Data() + start + (uint32_t)header;
        info->length[slot] = chosen[c].length - (uint32_t)header;
    }
    return true;
}

// A plane per channel slot, zero-filled, released together.
struct Planes {
    uint8_t* plane[4] = {nullptr, nullptr, nullptr, nullptr};
    ~Planes()
    {
        for (uint8_t* p : plane) kcHeapRelease(p);
    }
    uint8_t* Make(int slot, uint32_t bytes)
    {
        plane[slot] = (uint8_t*)kcHeapAlloc(0, (int)bytes);
        if (plane[slot]) memset(plane[slot], 0, bytes);
        return plane[slot];
    }
};

} // namespace

bool kcPsdParse(const uint8_t* data, uint32_t size, kcPsdInfo* info, int layerIndex, int readLayer,
                int* blendMode)
{
    if (!info) return false;
    memset(info, 0, sizeof *info);
    kcByteReader r(data, size);
    const uint8_t* signature = r.Take(4);
    r.Seek(12);
    const uint16_t fileChannels = r.U16Be();
    const uint32_t height = r.U32Be();
    const uint32_t width = r.U32Be();
    const uint16_t depth = r.U16Be();
    const uint16_t colourMode = r.U16Be();
    const uint8_t* colourData = r.At(r.Pos(), 2);
    if (!r.Ok() || !colourData || memcmp(signature, "8BPS", 4) != 0) return false;
    const uint16_t colourDataHigh = (uint16_t)((colourData[0] << 8) | colourData[1]);
    if ((colourMode != 3 && colourMode != 8) || (colourDataHigh != 0 && colourDataHigh != 3)) return false;
    // 16-bit channels and sizes beyond 16 bits would be misread as 8-bit, smaller documents.
    if (depth != 8 || width > 0xFFFF || height > 0xFFFF) return false;
    info->width = (int32_t)width;
    info->height = (int32_t)height;

    r.Skip(r.U32Be()); // colour-mode data
    r.Skip(r.U32Be()); // image resources
    const uint32_t sectionLength = r.U32Be();
    const uint32_t sectionStart = r.Pos();
    if (!r.Ok() || sectionLength > r.Remaining()) return false;
    uint32_t layerCount = 0;
    kcByteReader section = r.Sub(sectionStart, sectionLength);
    if (sectionLength) {
        section.U32Be(); // layer information length
        layerCount = (uint32_t)std::abs((int)(int16_t)section.U16Be());
        if (!section.Ok() || (layerCount && (layerIndex < 0 || (uint32_t)layerIndex >= layerCount))) return false;
    }
    info->layerCount = (int32_t)layerCount;

    if (readLayer && layerCount) {
        info->merged = 0;
        return ParseLayer(section, layerCount, (uint32_t)layerIndex, info, blendMode);
    }
    info->merged = 1;
    info->channels = 3;
    info->rect = kcPsdRect{0, 0, (int32_t)width, (int32_t)height};
    r.Seek(sectionStart + sectionLength);
    const uint16_t compression = r.U16Be();
    // Only raw and run-length planes are understood; zip-coded ones would be read as garbage.
    if (!r.Ok() || compression > kRunLength) return false;
    if (compression == kRunLength) {
        const uint64_t counts = (uint64_t)fileChannels * height * 2;
        if (counts > r.Remaining() || !r.Skip((uint32_t)counts)) return false;
    }
    for (int c = 0; c < 3; ++c) {
        info->compression[c] = compression;
        info->data[c] = r.Data() + r.Pos();
        info->length[c] = r.Remaining();
    }
    return true;
}

const uint8_t* kcPsdDecodePlane(uint8_t* plane, const uint8_t* source, const uint8_t* end, int compression,
                                int width, int height, const kcPsdRect& rect)
{
    if (!plane || !source || !end || source > end || rect.right < rect.left || rect.bottom < rect.top)
        return nullptr;
    // Rows without columns read nothing: stop before looping over them.
    if (rect.right == rect.left) return source;
    auto put = [&](int64_t x, int64_t y, uint8_t v) {
        if (x >= 0 && x < width && y >= 0 && y < height) plane[(size_t)y * width + (size_t)x] = v;
    };
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
        int64_t x = rect.left;
        if (compression != kRunLength) {
            for (; x < rect.right; ++x) {
                if (source == end) return nullptr;
                put(x, y, *source++);
            }
            continue;
        }
        // A packet that passes the right edge goes on in the same row; each row starts a new one.
        while (x < rect.right) {
            if (source == end) return nullptr;
            const uint8_t n = *source++;
            if (n < 128) {
                for (int k = 0; k <= n; ++k) {
                    if (source == end) return nullptr;
                    put(x++, y, *source++);
                }
            } else {
                if (source == end) return nullptr;
                const uint8_t v = *source++;
                for (int k = 0; k < 257 - n; ++k) put(x++, y, v);
            }
        }
    }
    return source;
}

void kcPsdCompose(uint8_t* destination, const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                  const uint8_t* alpha, int width, int height)
{
    for (int y = 0; y < height; ++y) {
        uint8_t* d = destination + (size_t)(height - 1 - y) * width * 4;
        const size_t row = (size_t)y * width;
        for (int x = 0; x < width; ++x, d += 4) {
            const size_t i = row + x;
            d[0] = blue ? blue[i] : 0;
            d[1] = green ? green[i] : 0;
            d[2] = red ? red[i] : 0;
            d[3] = alpha ? alpha[i] : 255;
        }
    }
}

bool kcImagePsd::Load(const MemoryBlock* source, int)
{
    kcPsdInfo info;
    if (!source || !kcPsdParse(source->data, source->size, &info, 0, 0, &cpType)) return false;
    const int w = info.width, h = info.height;
    uint32_t planeBytes = 0;
    if (w <= 0 || h <= 0 || !kcImageLayout(w, h, 1, 1, nullptr, &planeBytes)) return false;
    Planes planes;
    if (info.merged) {
        // The three colour planes follow one another to the end of the data.
        const uint8_t* src = info.data[0];
        const uint8_t* end = source->data + source->size;
        for (int c = 0; c < 3 && src; ++c) {
            uint8_t* plane = planes.Make(c, planeBytes);
            src = plane ? kcPsdDecodePlane(plane, src, end, info.compression[c], w, h, info.rect) : nullptr;
        }
        if (!src) return false;
    } else {
        for (int c = 0; c < 4; ++c) {
            if (!info.data[c]) continue;
            uint8_t* plane = planes.Make(c, planeBytes);
            if (!plane || !kcPsdDecodePlane(plane, info.data[c], info.data[c] + info.length[c],
                                            info.compression[c], w, h, info.rect))
                return false;
        }
    }
    if (!SetupPixels(w, h, 4, 4)) return false;
    kcPsdCompose(pixels, planes.plane[0], planes.plane[1], planes.plane[2], planes.plane[3], w, h);
    ClearTransparentColour();
    return true;
}

bool kcImagePsd::Probe(const MemoryBlock* block)
{
    kcPsdInfo info;
    return block && block->data && kcPsdParse(block->data, block->size, &info, 0, 0, nullptr);
}
