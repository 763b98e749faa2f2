#pragma once
// Whole-buffer zlib helpers shared by the HG-2 and HG-3 codings.
#include <cstdint>

// Deflates src at level 9 through 64 KiB pieces. Returns the total compressed size (pieces
// that do not fit within dstCapacity are counted but not stored: a result above dstCapacity
// means failure), or -1 when zlib fails.
int kcZlibCompress(uint8_t* dst, uint32_t dstCapacity, const uint8_t* src, uint32_t srcLength);

// Inflates src through 4 KiB pieces into dst, cut at dstCapacity: inflating stops once dst is
// full. When the stream ends, breaks or stops producing, the rest of dst is zero-filled. Returns
// the bytes stored (callers compare it with the raw size their format records), or -1 when zlib
// cannot start.
int kcZlibDecompress(uint8_t* dst, uint32_t dstCapacity, const uint8_t* src, uint32_t srcLength);

// Upper bound of what deflate can expand to from `packed` bytes: a raw size above it cannot be
// honest, so readers refuse it before allocating.
inline uint64_t kcZlibMaxRaw(uint32_t packed) { return static_cast<uint64_t>(packed) * 1032 + 1024; }
