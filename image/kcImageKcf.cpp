#include "image/kcImageKcf.h"
#include "image/kcKclz.h"
#include "foundation/kcLog.h"
#include <cstring>

namespace {

const char kSaveFailed[] = "イメージの保存に失敗しました";
const uint16_t kFieldMax = 0xFFFF;

} // namespace

bool kcImageKcf::Probe(const MemoryBlock* block)
{
    return block && block->data && block->size >= 4 && memcmp(block->data, "KCF", 4) == 0;
}

bool kcImageKcf::Load(const MemoryBlock* source, int)
{
    if (!Probe(source)) {
        kcLog("イメージのタイプが違います");
        return false;
    }
    kcKcfHeader header;
    if (source->size < sizeof header) return false;
    memcpy(&header, source->data, sizeof header);
    const uint8_t* block = source->data + sizeof header;
    const uint32_t blockLength = source->size - (uint32_t)sizeof header;
    const uint32_t raw = kcLzDecompress(block, blockLength, nullptr, nullptr, nullptr);
    // The header must describe rows that fit their pitch and a pixel block the data fills.
    if (raw == 0 || raw > kcImageMaxBytes || header.bytesPerPixel < 1 || header.bytesPerPixel > 4 ||
        header.pitch < (uint32_t)header.width * header.bytesPerPixel ||
        raw < (uint32_t)header.pitch * header.height)
        return false;
    if (!Reserve(raw) || kcLzDecompress(block, blockLength, pixels, nullptr, nullptr) != raw) return false;
    pixelBytes = raw;
    width = canvasWidth = header.width;
    height = canvasHeight = header.height;
    bytesPerPixel = header.bytesPerPixel;
    pitch = header.pitch;
    bounds = kcImageRect{0, 0, width, height};
    return true;
}

bool kcImageKcf::Save(MemoryBlock* destination, int, int, int, int)
{
    // The header keeps 16-bit sizes: a larger image cannot be written.
    if (!destination || !pixels || bytesPerPixel < 1 || bytesPerPixel > 4 || width < 0 || height < 0 ||
        width > kFieldMax || height > kFieldMax || pitch < 0 || pitch > kFieldMax) {
        kcLog(kSaveFailed);
        return false;
    }
    ClearTransparentColour();
    unsigned best = 0;
    int bestMode = 0;
    for (int mode = 0; mode < KCLZ_MODES; ++mode) {
        unsigned n = kcLzCompress(pixels, pixelBytes, nullptr, mode, nullptr, nullptr);
        if (n == 0) {
            kcLog(kSaveFailed);
            return false;
        }
        if (best == 0 || n < best) {
            best = n;
            bestMode = mode;
        }
    }
    MemoryBlock out;
    if ((uint64_t)best + sizeof(kcKcfHeader) > kcImageMaxBytes ||
        !out.Allocate(best + (uint32_t)sizeof(kcKcfHeader))) {
        kcLog(kSaveFailed);
        return false;
    }
    memset(out.data, 0, out.size);
    if (kcLzCompress(pixels, pixelBytes, out.data + sizeof(kcKcfHeader), bestMode, nullptr, nullptr) != best) {
        kcLog(kSaveFailed);
        out.Free();
        return false;
    }
    kcKcfHeader header;
    memcpy(header.signature, "KCF", 4);
    header.width = (uint16_t)width;
    header.height = (uint16_t)height;
    header.pitch = (uint16_t)pitch;
    header.bytesPerPixel = (uint16_t)bytesPerPixel;
    memcpy(out.data, &header, sizeof header);
    destination->Free();
    *destination = out;
    return true;
}
