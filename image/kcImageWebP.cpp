#include "image/kcImageWebP.h"
#include "foundation/kcHeap.h"
#include <cstring>
#include <webp/decode.h>
#include <webp/encode.h>

namespace {

// Decodes into external memory of `bytes` bytes; the header's interface version travels with the
// library's inline initialisers.
bool DecodeInto(const uint8_t* data, uint32_t size, uint8_t* dst, int stride, uint64_t bytes, int bytesPerPixel)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return false;
    if (WebPGetFeatures(data, size, &config.input) != VP8_STATUS_OK) return false;
    config.output.colorspace = bytesPerPixel == 4 ? MODE_RGBA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = dst;
    config.output.u.RGBA.stride = stride;
    config.output.u.RGBA.size = (size_t)bytes;
    return WebPDecode(data, size, &config) == VP8_STATUS_OK;
}

bool Features(const uint8_t* data, uint32_t size, WebPBitstreamFeatures* features)
{
    return data && size && WebPGetFeatures(data, size, features) == VP8_STATUS_OK;
}

} // namespace

bool kcWebPDecodeTo(const uint8_t* data, uint32_t size, uint8_t* pixels, int width, int height, int pitch,
                    int bytesPerPixel)
{
    WebPBitstreamFeatures features;
    if (!pixels || (bytesPerPixel != 3 && bytesPerPixel != 4) || width <= 0 || height <= 0 ||
        pitch < width * bytesPerPixel || !Features(data, size, &features))
        return false;
    if (features.width != width || features.height != height) return false;
    return DecodeInto(data, size, pixels, pitch, (uint64_t)pitch * height, bytesPerPixel);
}

bool kcImageWebP::Load(const MemoryBlock* source, int)
{
    WebPBitstreamFeatures features;
    if (!source || !Features(source->data, source->size, &features)) return false;
    if (!SetupPixels(features.width, features.height, 4, 4)) return false;
    if (!DecodeInto(source->data, source->size, pixels, pitch, pixelBytes, 4)) {
        kcHeapRelease(pixels);
        pixels = nullptr;
        pixelBytes = 0;
        return false;
    }
    canvasWidth = width;
    canvasHeight = height;
    offsetX = offsetY = 0;
    return true;
}

bool kcImageWebP::Probe(const MemoryBlock* block)
{
    WebPBitstreamFeatures features;
    return block && Features(block->data, block->size, &features);
}

bool kcImageWebP::Save(MemoryBlock* destination, int, int, int, int)
{
    if (!destination || !pixels || bytesPerPixel != 4 || width <= 0 || height <= 0) return false;
    uint8_t* encoded = nullptr;
    size_t n = WebPEncodeRGBA(pixels, width, height, pitch, (float)quality, &encoded);
    MemoryBlock out;
    if (n == 0 || n > kcImageMaxBytes || !out.Allocate((uint32_t)n)) {
        WebPFree(encoded);
        return false;
    }
    memcpy(out.data, encoded, n);
    memset(out.data + n, 0, out.size - n);
    WebPFree(encoded);
    destination->Free();
    *destination = out;
    return true;
}
