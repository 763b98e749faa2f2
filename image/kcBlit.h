#pragma once
// Rectangle converters between the library's pixel formats (4 = BGRA, 3 = BGR, 2 = A4R4G4B4),
// reached through kcBlitTable[operation][source bytes - 1][destination bytes - 1] and
// kcFillTable[destination bytes - 1]. Null entries are unsupported pairs. The converters trust
// the caller's rectangle: it must lie inside both images.
#include <cstddef>
#include <cstdint>

struct kcBlitParams {
    int32_t dstBpp;
    uint8_t* dstBase;
    int32_t dstWidth;
    int32_t dstHeight;
    int32_t dstX;
    int32_t dstY;
    int32_t dstPitch;
    int32_t srcBpp;
    const uint8_t* srcBase;
    int32_t srcWidth;
    int32_t srcHeight;
    int32_t srcX;
    int32_t srcY;
    int32_t copyWidth;
    int32_t copyHeight;
    int32_t srcPitch;
    uint16_t opacity;
    int32_t srcBottomUp;
    int32_t dither;
    int32_t channel;
    int32_t blendMode;
};

struct kcFillParams {
    int32_t bpp;
    uint8_t* base;
    int32_t pitch; // 0: width x bpp rounded up to a multiple of 4
    int32_t width;
    int32_t height;
    int32_t x;
    int32_t y;
    int32_t fillWidth;
    int32_t fillHeight;
    uint32_t colour; // A8R8G8B8
};

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(kcBlitParams) == 84, "kcBlitParams layout");
static_assert(offsetof(kcBlitParams, srcBpp) == 28, "kcBlitParams layout");
static_assert(offsetof(kcBlitParams, srcPitch) == 60, "kcBlitParams layout");
static_assert(offsetof(kcBlitParams, opacity) == 64, "kcBlitParams layout");
static_assert(offsetof(kcBlitParams, blendMode) == 80, "kcBlitParams layout");
static_assert(sizeof(kcFillParams) == 40, "kcFillParams layout");
#endif

enum kcBlitOperation { KCBLIT_BLEND = 0, KCBLIT_LAYER = 1, KCBLIT_CONVERT = 2, KCBLIT_MASK = 3 };

typedef int (*kcBlitFunc)(const kcBlitParams*);
typedef int (*kcFillFunc)(const kcFillParams*);

extern const kcBlitFunc kcBlitTable[4][4][4];
extern const kcFillFunc kcFillTable[4];

int kcBlitCopyRows(const kcBlitParams* p);
int kcBlitConvert16To24(const kcBlitParams* p);
int kcBlitConvert16To32(const kcBlitParams* p);
int kcBlitConvert24To16(const kcBlitParams* p);
int kcBlitConvert24To32(const kcBlitParams* p);
int kcBlitConvert32To16(const kcBlitParams* p);
int kcBlitConvert32To24(const kcBlitParams* p);
int kcBlitBlend16To16(const kcBlitParams* p);
int kcBlitBlend16To24(const kcBlitParams* p);
int kcBlitBlend16To32(const kcBlitParams* p);
int kcBlitBlend24To16(const kcBlitParams* p);
int kcBlitBlend24To24(const kcBlitParams* p);
int kcBlitBlend24To32(const kcBlitParams* p);
int kcBlitBlend32To16(const kcBlitParams* p);
int kcBlitBlend32To24(const kcBlitParams* p);
int kcBlitBlend32To32(const kcBlitParams* p);
int kcBlitLayerBlend32To24(const kcBlitParams* p);
int kcBlitLayerBlend32To32(const kcBlitParams* p);
int kcBlitMask24To32(const kcBlitParams* p);
int kcBlitMask32To32(const kcBlitParams* p);
int kcFill16(const kcFillParams* p);
int kcFill24(const kcFillParams* p);
int kcFill32(const kcFillParams* p);

// Which path the MMX-capable converters take: -1 follows the processor record, 0 plain, 1 MMX.
void kcBlitSetPath(int path);
