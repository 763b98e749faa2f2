#include "image/kcBlit.h"
#include "foundation/kcString.h"
#include <cstring>
#include <mmintrin.h>

namespace {

int g_path = -1;

// The processor record's MMX flag, as the capability object published it; without a
// capability object the plain path is taken.
bool kcBlitCpuHasMmx()
{
    return kcMemGetMmx() != 0;
}

bool useMmx()
{
    if (g_path >= 0) return g_path == 1;
    return kcBlitCpuHasMmx();
}

inline uint8_t* dstRow(const kcBlitParams* p, int i)
{
    return p->dstBase + (ptrdiff_t)(p->dstY + i) * p->dstPitch + (ptrdiff_t)p->dstX * p->dstBpp;
}

inline const uint8_t* srcRow(const kcBlitParams* p, int i)
{
    ptrdiff_t x = (ptrdiff_t)p->srcX * p->srcBpp;
    if (p->srcBottomUp) return p->srcBase + (ptrdiff_t)(p->srcHeight - p->srcY - 1 - i) * p->srcPitch + x;
    return p->srcBase + (ptrdiff_t)(p->srcY + i) * p->srcPitch + x;
}

// T[a] = ((a + 1) x opacity) >> 8; the identity at opacity 255.
struct OpacityTable {
    int t[256];
    explicit OpacityTable(unsigned opacity)
    {
        for (int a = 0; a < 256; a++) t[a] = ((a + 1) * (int)opacity) >> 8;
    }
};

inline int clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline uint16_t load16(const uint8_t* s) { return (uint16_t)(s[0] | s[1] << 8); }

inline void store16(uint8_t* d, unsigned v)
{
    d[0] = (uint8_t)v;
    d[1] = (uint8_t)(v >> 8);
}

// Channels of an A4R4G4B4 value expanded to 8 bits, in B, G, R, A order.
inline void expand16(uint16_t v, int c[4])
{
    c[0] = (v & 15) * 17;
    c[1] = ((v >> 4) & 15) * 17;
    c[2] = ((v >> 8) & 15) * 17;
    c[3] = (v >> 12) * 17;
}

inline unsigned pack16(int b, int g, int r, int a)
{
    return (unsigned)((a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
}

template <typename PixelFn>
int eachPixel(const kcBlitParams* p, PixelFn fn)
{
    for (int i = 0; i < p->copyHeight; i++) {
        uint8_t* d = dstRow(p, i);
        const uint8_t* s = srcRow(p, i);
        for (int x = 0; x < p->copyWidth; x++, d += p->dstBpp, s += p->srcBpp) fn(d, s, x, i);
    }
    return 1;
}

void convert32To16Plain(uint8_t* d, const uint8_t* s, int n)
{
    for (int x = 0; x < n; x++, d += 2, s += 4) {
        d[0] = (uint8_t)((s[1] & 0xF0) | (s[0] >> 4));
        d[1] = (uint8_t)((s[3] & 0xF0) | (s[2] >> 4));
    }
}

// Four pixels a step: each dword becomes its A4R4G4B4 word, then two dwords pack into words
// (biased by 0x8000 because the pack saturates signed).
__attribute__((target("mmx"))) void convert32To16Mmx(uint8_t* d, const uint8_t* s, int n)
{
    const __m64 mA = _mm_set1_pi32(0xF000), mR = _mm_set1_pi32(0x0F00), mG = _mm_set1_pi32(0x00F0),
                mB = _mm_set1_pi32(0x000F), bias = _mm_set1_pi32(0x8000), wbias = _mm_set1_pi16((short)0x8000);
    int x = 0;
    for (; x + 4 <= n; x += 4, s += 16, d += 8) {
        __m64 lo, hi;
        std::memcpy(&lo, s, 8);
        std::memcpy(&hi, s + 8, 8);
        __m64 rl = _mm_or_si64(_mm_or_si64(_mm_and_si64(_mm_srli_pi32(lo, 16), mA), _mm_and_si64(_mm_srli_pi32(lo, 12), mR)),
                               _mm_or_si64(_mm_and_si64(_mm_srli_pi32(lo, 8), mG), _mm_and_si64(_mm_srli_pi32(lo, 4), mB)));
        __m64 rh = _mm_or_si64(_mm_or_si64(_mm_and_si64(_mm_srli_pi32(hi, 16), mA), _mm_and_si64(_mm_srli_pi32(hi, 12), mR)),
                               _mm_or_si64(_mm_and_si64(_mm_srli_pi32(hi, 8), mG), _mm_and_si64(_mm_srli_pi32(hi, 4), mB)));
        __m64 packed = _mm_xor_si64(_mm_packs_pi32(_mm_sub_pi32(rl, bias), _mm_sub_pi32(rh, bias)), wbias);
        std::memcpy(d, &packed, 8);
    }
    _mm_empty();
    convert32To16Plain(d, s, n - x);
}

// 4x4 ordered-dither thresholds; 16 never rounds up.
const int kDither[4][4] = {{5, 12, 7, 10}, {13, 4, 15, 2}, {6, 11, 8, 9}, {14, 3, 16, 1}};

inline int ditherChannel(int c, int m)
{
    int v = c >> 4;
    if ((c & 15) >= m && v < 15) v++;
    return v;
}

int layerValue(int mode, int d, int s)
{
    switch (mode) {
    case 1: return d + s > 255 ? 255 : d + s;
    case 2: return (d * (s + 1)) >> 8;
    case 3: return d + s - ((d * (s + 1)) >> 8);
    case 4: return d < 128 ? (2 * d * s) / 255 : 2 * (d + s - (d * s) / 255) - 255;
    case 5:
        if (d == 255) return 255;
        {
            int v = (255 * s) / (255 - d);
            return v > 255 ? 255 : v;
        }
    default: return d;
    }
}

inline void setFromSource(uint8_t* d, const uint8_t* s, uint8_t alpha)
{
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = alpha;
}

inline bool allZero32(const uint8_t* d) { return (d[0] | d[1] | d[2] | d[3]) == 0; }

int maskBlit(const kcBlitParams* p, int maxSelector)
{
    int sel = p->channel < 1 ? 1 : (p->channel > maxSelector ? maxSelector : p->channel);
    int ch = sel - 1;
    return eachPixel(p, [ch](uint8_t* d, const uint8_t* s, int, int) {
        d[3] = (uint8_t)((((int)d[3] + 1) * (s[ch] + 1) - 1) >> 8);
    });
}

inline int fillPitch(const kcFillParams* p)
{
    return p->pitch ? p->pitch : ((p->width * p->bpp + 3) & ~3);
}

template <typename PixelFn>
int eachFillPixel(const kcFillParams* p, PixelFn fn)
{
    int pitch = fillPitch(p);
    for (int i = 0; i < p->fillHeight; i++) {
        uint8_t* d = p->base + (ptrdiff_t)(p->y + i) * pitch + (ptrdiff_t)p->x * p->bpp;
        for (int x = 0; x < p->fillWidth; x++, d += p->bpp) fn(d);
    }
    return 1;
}

} // namespace

void kcBlitSetPath(int path) { g_path = path; }

int kcBlitCopyRows(const kcBlitParams* p)
{
    size_t bytes = (size_t)p->copyWidth * p->dstBpp;
    for (int i = 0; i < p->copyHeight; i++) std::memcpy(dstRow(p, i), srcRow(p, i), bytes);
    return 1;
}

int kcBlitConvert16To24(const kcBlitParams* p)
{
    return eachPixel(p, [](uint8_t* d, const uint8_t* s, int, int) {
        int c[4];
        expand16(load16(s), c);
        d[0] = (uint8_t)c[0];
        d[1] = (uint8_t)c[1];
        d[2] = (uint8_t)c[2];
    });
}

int kcBlitConvert16To32(const kcBlitParams* p)
{
    return eachPixel(p, [](uint8_t* d, const uint8_t* s, int, int) {
        int c[4];
        expand16(load16(s), c);
        for (int k = 0; k < 4; k++) d[k] = (uint8_t)c[k];
    });
}

int kcBlitConvert24To16(const kcBlitParams* p)
{
    return eachPixel(p, [](uint8_t* d, const uint8_t* s, int, int) {
        d[0] = (uint8_t)((s[1] & 0xF0) | (s[0] >> 4));
        d[1] = (uint8_t)(0xF0 | (s[2] >> 4));
    });
}

int kcBlitConvert24To32(const kcBlitParams* p)
{
    return eachPixel(p, [](uint8_t* d, const uint8_t* s, int, int) { setFromSource(d, s, 255); });
}

int kcBlitConvert32To24(const kcBlitParams* p)
{
    return eachPixel(p, [](uint8_t* d, const uint8_t* s, int, int) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    });
}

int kcBlitConvert32To16(const kcBlitParams* p)
{
    if (p->dither) {
        return eachPixel(p, [](uint8_t* d, const uint8_t* s, int x, int y) {
            int m = kDither[y & 3][x & 3];
            store16(d, (unsigned)((s[3] >> 4) << 12 | ditherChannel(s[2], m) << 8 | ditherChannel(s[1], m) << 4 |
                                  ditherChannel(s[0], m)));
        });
    }
    bool mmx = useMmx();
    for (int i = 0; i < p->copyHeight; i++) {
        if (mmx) convert32To16Mmx(dstRow(p, i), srcRow(p, i), p->copyWidth);
        else convert32To16Plain(dstRow(p, i), srcRow(p, i), p->copyWidth);
    }
    return 1;
}

// 24-bit sources are opaque: their blends are the plain conversions.
int kcBlitBlend24To16(const kcBlitParams* p) { return kcBlitConvert24To16(p); }
int kcBlitBlend24To24(const kcBlitParams* p) { return kcBlitCopyRows(p); }
int kcBlitBlend24To32(const kcBlitParams* p) { return kcBlitConvert24To32(p); }

int kcBlitBlend16To16(const kcBlitParams* p)
{
    return eachPixel(p, [](uint8_t* d, const uint8_t* s, int, int) {
        int dc[4], sc[4];
        expand16(load16(d), dc);
        expand16(load16(s), sc);
        int e = dc[3], f = sc[3];
        int g = e + f - (e * f) / 256;
        if (g > 255) g = 255;
        if (g == 0) return;
        int out[3];
        for (int k = 0; k < 3; k++) out[k] = clamp255(dc[k] + ((sc[k] - dc[k]) * f) / g);
        store16(d, pack16(out[0], out[1], out[2], g));
    });
}

// The 16-bit source is read 2 bytes a pixel; the 24-bit destination counts as opaque.
int kcBlitBlend16To24(const kcBlitParams* p)
{
    return eachPixel(p, [](uint8_t* d, const uint8_t* s, int, int) {
        int sc[4];
        expand16(load16(s), sc);
        int f = sc[3];
        if (f == 0) return;
        const int g = 255;
        for (int k = 0; k < 3; k++) d[k] = (uint8_t)clamp255(d[k] + ((sc[k] - d[k]) * f) / g);
    });
}

int kcBlitBlend16To32(const kcBlitParams* p)
{
    return eachPixel(p, [](uint8_t* d, const uint8_t* s, int, int) {
        int sc[4];
        expand16(load16(s), sc);
        int f = sc[3], e = d[3];
        int g = e + f - (e * f) / 256;
        if (g > 255) g = 255;
        if (g == 0) return;
        for (int k = 0; k < 3; k++) d[k] = (uint8_t)clamp255(d[k] + ((sc[k] - d[k]) * f) / g);
        d[3] = (uint8_t)g;
    });
}

int kcBlitBlend32To16(const kcBlitParams* p)
{
    OpacityTable T(p->opacity);
    return eachPixel(p, [&T](uint8_t* d, const uint8_t* s, int, int) {
        int dc[4];
        expand16(load16(d), dc);
        int a = s[3], e = dc[3];
        // An opaque destination would index one past the table.
        int idx = a + e - ((e * a) >> 8);
        if (idx > 255) idx = 255;
        int o = T.t[idx];
        if (o == 0) return;
        int out[3];
        // Clamped rather than wrapped: below full opacity the step can overshoot.
        for (int k = 0; k < 3; k++) out[k] = clamp255(dc[k] + ((s[k] - dc[k]) * a) / o);
        store16(d, pack16(out[0], out[1], out[2], o));
    });
}

int kcBlitBlend32To24(const kcBlitParams* p)
{
    OpacityTable T(p->opacity);
    return eachPixel(p, [&T](uint8_t* d, const uint8_t* s, int, int) {
        int a = s[3];
        if (a == 0) return;
        int t = T.t[a];
        // Opaque pixels are copied only at full opacity, so a faded sprite fades evenly.
        if (t == 255) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            return;
        }
        for (int k = 0; k < 3; k++) d[k] = (uint8_t)(d[k] + (((s[k] - d[k]) * t) >> 8));
    });
}

int kcBlitBlend32To32(const kcBlitParams* p)
{
    OpacityTable T(p->opacity);
    for (int i = 0; i < p->copyHeight; i++) {
        uint8_t* d = dstRow(p, i);
        const uint8_t* s = srcRow(p, i);
        const int w = p->copyWidth;
        if (w <= 0) continue;
        if (p->dstX > 0 && allZero32(d - 4)) setFromSource(d - 4, s, 0);
        for (int x = 0; x < w; x++) {
            uint8_t* dp = d + x * 4;
            const uint8_t* sp = s + x * 4;
            int o = T.t[sp[3]];
            int t = dp[3];
            if (o == 0) {
                if (allZero32(dp)) setFromSource(dp, sp, 0);
            } else if (o == 255 || t == 0) {
                setFromSource(dp, sp, (uint8_t)o);
            } else if (t == 255) {
                for (int k = 0; k < 3; k++) dp[k] = (uint8_t)(dp[k] + (((sp[k] - dp[k]) * o) >> 8));
            } else {
                int u = ((256 - o) * t) >> 8, wd = ((256 - t) * o) >> 8, m = (o * t) >> 8;
                int A = (wd + u + m) | 1;
                uint32_t scale = 65536u / (uint32_t)A;
                for (int k = 0; k < 3; k++)
                    dp[k] = (uint8_t)clamp255((int)((((uint32_t)sp[k] * (wd + m) + (uint32_t)dp[k] * u) * scale) >> 16));
                dp[3] = (uint8_t)clamp255(A);
            }
        }
        if (p->dstX + w < p->dstWidth && allZero32(d + w * 4)) setFromSource(d + w * 4, s + (w - 1) * 4, 0);
    }
    return 1;
}

int kcBlitLayerBlend32To24(const kcBlitParams* p)
{
    if (p->blendMode < 1 || p->blendMode > 5) return 0;
    OpacityTable T(p->opacity);
    const int mode = p->blendMode;
    return eachPixel(p, [&T, mode](uint8_t* d, const uint8_t* s, int, int) {
        int t = T.t[s[3]];
        if (t == 0) return;
        for (int k = 0; k < 3; k++) d[k] = (uint8_t)((d[k] * (256 - t) + t * layerValue(mode, d[k], s[k])) >> 8);
    });
}

int kcBlitLayerBlend32To32(const kcBlitParams* p)
{
    if (p->blendMode < 1 || p->blendMode > 5) return 0;
    OpacityTable T(p->opacity);
    const int mode = p->blendMode;
    return eachPixel(p, [&T, mode](uint8_t* d, const uint8_t* s, int, int) {
        int t = T.t[s[3]];
        int o = d[3];
        if (t == 0) {
            if (o == 0) setFromSource(d, s, 0);
            return;
        }
        if (o == 0) return;
        int v = ((256 - o) * t) >> 8, w = ((256 - t) * o) >> 8, m = (o * t) >> 8;
        int A = (v + w + m) | 1;
        uint32_t scale = 65536u / (uint32_t)A;
        for (int k = 0; k < 3; k++) {
            uint32_t x = (uint32_t)layerValue(mode, d[k], s[k]);
            d[k] = (uint8_t)clamp255((int)((((uint32_t)s[k] * v + (uint32_t)d[k] * w + x * m) * scale) >> 16));
        }
        d[3] = (uint8_t)clamp255(A);
    });
}

int kcBlitMask24To32(const kcBlitParams* p) { return maskBlit(p, 3); }
int kcBlitMask32To32(const kcBlitParams* p) { return maskBlit(p, 4); }

int kcFill32(const kcFillParams* p)
{
    uint32_t c = p->colour;
    return eachFillPixel(p, [c](uint8_t* d) { std::memcpy(d, &c, 4); });
}

int kcFill16(const kcFillParams* p)
{
    uint32_t c = p->colour;
    unsigned v = pack16(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, c >> 24);
    return eachFillPixel(p, [v](uint8_t* d) { store16(d, v); });
}

int kcFill24(const kcFillParams* p)
{
    uint32_t c = p->colour;
    int alpha = (int)(c >> 24);
    if (alpha == 0) return 1;
    int ch[3] = {(int)(c & 0xFF), (int)((c >> 8) & 0xFF), (int)((c >> 16) & 0xFF)};
    return eachFillPixel(p, [alpha, &ch](uint8_t* d) {
        for (int k = 0; k < 3; k++) d[k] = alpha == 255 ? (uint8_t)ch[k] : (uint8_t)(d[k] + ((alpha * (ch[k] - d[k])) >> 8));
    });
}

const kcBlitFunc kcBlitTable[4][4][4] = {
    // blend
    {{nullptr, nullptr, nullptr, nullptr},
     {nullptr, kcBlitBlend16To16, kcBlitBlend16To24, kcBlitBlend16To32},
     {nullptr, kcBlitBlend24To16, kcBlitBlend24To24, kcBlitBlend24To32},
     {nullptr, kcBlitBlend32To16, kcBlitBlend32To24, kcBlitBlend32To32}},
    // layer blend
    {{nullptr, nullptr, nullptr, nullptr},
     {nullptr, nullptr, nullptr, nullptr},
     {nullptr, nullptr, nullptr, nullptr},
     {nullptr, nullptr, kcBlitLayerBlend32To24, kcBlitLayerBlend32To32}},
    // convert
    {{nullptr, nullptr, nullptr, nullptr},
     {nullptr, kcBlitCopyRows, kcBlitConvert16To24, kcBlitConvert16To32},
     {nullptr, kcBlitConvert24To16, kcBlitCopyRows, kcBlitConvert24To32},
     {nullptr, kcBlitConvert32To16, kcBlitConvert32To24, kcBlitCopyRows}},
    // alpha mask
    {{nullptr, nullptr, nullptr, nullptr},
     {nullptr, nullptr, nullptr, nullptr},
     {nullptr, nullptr, nullptr, kcBlitMask24To32},
     {nullptr, nullptr, nullptr, kcBlitMask32To32}},
};

const kcFillFunc kcFillTable[4] = {nullptr, kcFill16, kcFill24, kcFill32};
