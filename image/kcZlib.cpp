#include "image/kcZlib.h"
#include "foundation/kcLog.h"
#include <cstring>
#include <zlib.h>

// zlib only compares the first character of the version, so the headers' own string is passed.
static const char* const kZlibVersion = ZLIB_VERSION;

static const char* ZlibMessage(const z_stream& s) { return s.msg ? s.msg : ""; }

int kcZlibCompress(uint8_t* dst, uint32_t dstCapacity, const uint8_t* src, uint32_t srcLength)
{
    z_stream s;
    memset(&s, 0, sizeof(s));
    if (deflateInit_(&s, 9, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK) return -1;
    static const uInt kPiece = 65536;
    Bytef piece[kPiece];
    uint64_t total = 0;
    s.next_in = const_cast<Bytef*>(src);
    s.avail_in = srcLength;
    auto emit = [&](uInt produced) {
        if (dst && total + produced <= dstCapacity) memcpy(dst + total, piece, produced);
        total += produced;
    };
    while (s.avail_in > 0) {
        s.next_out = piece;
        s.avail_out = kPiece;
        int rc = deflate(&s, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            kcLog("zlib encode error : %s", ZlibMessage(s));
            deflateEnd(&s);
            return -1;
        }
        emit(kPiece - s.avail_out);
    }
    for (;;) {
        s.next_out = piece;
        s.avail_out = kPiece;
        int rc = deflate(&s, Z_FINISH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            kcLog("zlib encode error : %s", ZlibMessage(s));
            deflateEnd(&s);
            return -1;
        }
        emit(kPiece - s.avail_out);
        if (rc == Z_STREAM_END) break;
    }
    deflateEnd(&s);
    return total > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(total);
}

int kcZlibDecompress(uint8_t* dst, uint32_t dstCapacity, const uint8_t* src, uint32_t srcLength)
{
    z_stream s;
    memset(&s, 0, sizeof(s));
    int rc = inflateInit_(&s, kZlibVersion, static_cast<int>(sizeof(z_stream)));
    if (rc != Z_OK) {
        kcLog("zlib init error : %s\n", ZlibMessage(s));
        return -1;
    }
    uint32_t stored = 0;
    if (srcLength == 0 || !src) {
        inflateEnd(&s);
        return 0;
    }
    static const uInt kPiece = 4096;
    Bytef piece[kPiece];
    s.next_in = const_cast<Bytef*>(src);
    s.avail_in = srcLength;
    // A full destination ends the work: what the stream would still give is cut anyway.
    while (s.avail_in > 0 && stored < dstCapacity) {
        // Inflate straight into dst while a whole piece fits; the stack piece only takes the tail.
        bool direct = dstCapacity - stored >= kPiece;
        s.next_out = direct ? dst + stored : piece;
        s.avail_out = kPiece;
        inflate(&s, Z_NO_FLUSH);
        uInt produced = kPiece - s.avail_out;
        if (produced == 0) {
            if (dstCapacity > stored) memset(dst + stored, 0, dstCapacity - stored);
            break;
        }
        if (direct) {
            stored += produced;
        } else {
            uInt take = produced < dstCapacity - stored ? produced : dstCapacity - stored;
            if (take) memcpy(dst + stored, piece, take);
            stored += take;
        }
    }
    inflateEnd(&s);
    return static_cast<int>(stored);
}
