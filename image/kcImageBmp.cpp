#include "image/kcImageBmp.h"
#include "image/kcByteReader.h"
#include "foundation/kcLog.h"
#include <cstring>

namespace {

const char kWrongType[] = "イメージのタイプが違います";
const uint32_t kBiRgb = 0, kBiBitfields = 3;

uint64_t RowStride(uint64_t width, int bytesPerPixel)
{
    return (width * bytesPerPixel + 3) & ~(uint64_t)3;
}

} // namespace

kcImageBmp::kcImageBmp()
{
    memset(&info, 0, sizeof info);
}

bool kcImageBmp::Load(const MemoryBlock* source, int)
{
    if (!source || !source->data || source->size < 2 || memcmp(source->data, "BM", 2) != 0) {
        kcLog(kWrongType);
        return false;
    }
    kcByteReader r(source->data, source->size);
    r.Skip(10);
    const uint32_t pixelOffset = r.U32();
    const uint32_t headerSize = r.U32();
    if (!r.Ok()) return false;
    kcBmpInfoHeader h;
    memset(&h, 0, sizeof h);
    if (headerSize == sizeof h) {
        r.Seek(14);
        if (!r.Bytes(&h, sizeof h)) return false;
    } else if (headerSize == 12) {
        h.size = sizeof h;
        h.width = r.U16();
        h.height = r.U16();
        h.planes = r.U16();
        h.bitCount = r.U16();
        if (!r.Ok()) return false;
    } else {
        kcLog(kWrongType);
        return false;
    }
    info = h;
    if (h.bitCount != 24 && h.bitCount != 32) return false;
    // Top-down rows and compressed pixels would be misread as bottom-up raw rows: refuse them.
    const bool rawRows = h.compression == kBiRgb || (h.compression == kBiBitfields && h.bitCount == 32);
    if (!rawRows || h.width <= 0 || h.height <= 0) {
        kcLog(kWrongType);
        return false;
    }
    // Colour masks (the three words behind a 40-byte header) are taken only when they give the
    // B, G, R byte order the rows are copied in; any other order would come out wrong in every
    // pixel, so it is refused like other compressed pixels.
    if (h.compression == kBiBitfields) {
        const uint8_t* masks = headerSize == sizeof h ? r.At(14 + sizeof h, 12) : nullptr;
        if (!masks || kcByteReader::Le32(masks) != 0x00ff0000 || kcByteReader::Le32(masks + 4) != 0x0000ff00 ||
            kcByteReader::Le32(masks + 8) != 0x000000ff) {
            kcLog(kWrongType);
            return false;
        }
    }
    const int srcBpp = h.bitCount / 8;
    const uint64_t stride = RowStride((uint64_t)h.width, srcBpp);
    const uint64_t need = stride * (uint64_t)(h.height - 1) + (uint64_t)h.width * srcBpp;
    const uint8_t* src = need <= source->size ? r.At(pixelOffset, (uint32_t)need) : nullptr;
    if (!src || !SetupPixels(h.width, h.height, 4, 4)) return false;

    for (int y = 0; y < h.height; ++y) {
        const uint8_t* in = src + (size_t)y * stride;
        uint8_t* out = pixels + (size_t)y * pitch;
        if (srcBpp == 4) {
            memcpy(out, in, (size_t)h.width * 4);
            continue;
        }
        for (int x = 0; x < h.width; ++x, in += 3, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 255;
        }
    }
    canvasWidth = width;
    canvasHeight = height;
    return true;
}

bool kcImageBmp::Save(MemoryBlock* destination, int, int, int, int)
{
    // 8- and 16-bit bitmaps would need a palette or 5-5-5 pixels that these images do not have.
    if (!destination || !pixels || (bytesPerPixel != 3 && bytesPerPixel != 4) || width <= 0 || height <= 0)
        return false;
    const uint64_t stride = RowStride((uint64_t)width, bytesPerPixel);
    const uint64_t imageBytes = stride * (uint64_t)height;
    const uint32_t headers = sizeof(kcBmpFileHeader) + sizeof(kcBmpInfoHeader);
    MemoryBlock out;
    if (imageBytes > kcImageMaxBytes || !out.Allocate((uint32_t)imageBytes + headers)) return false;
    memset(out.data, 0, out.size);

    kcBmpFileHeader file;
    memcpy(file.type, "BM", 2);
    file.fileSize = (uint32_t)imageBytes + headers;
    file.reserved = 0;
    file.pixelOffset = headers;
    kcBmpInfoHeader h;
    memset(&h, 0, sizeof h);
    h.size = sizeof h;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = (uint16_t)(bytesPerPixel * 8);
    h.compression = kBiRgb;
    h.imageSize = (uint32_t)imageBytes;
    memcpy(out.data, &file, sizeof file);
    memcpy(out.data + sizeof file, &h, sizeof h);
    for (int y = 0; y < height; ++y)
        memcpy(out.data + headers + (size_t)y * stride, pixels + (size_t)y * pitch, (size_t)width * bytesPerPixel);
    destination->Free();
    *destination = out;
    return true;
}

bool kcImageBmp::Probe(const MemoryBlock* block)
{
    if (!block || !block->data) return false;
    kcByteReader r(block->data, block->size);
    const uint8_t* type = r.Take(2);
    r.Seek(28);
    const uint16_t bits = r.U16();
    return r.Ok() && type && memcmp(type, "BM", 2) == 0 && (bits == 24 || bits == 32);
}
