#include "foundation/kcMd5.h"
#include <cstring>

namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLe(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

inline void StoreLe(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

// Per-step additive constants floor(abs(sin(i + 1)) * 2^32) and shift amounts of the four rounds.
const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
const int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

} // namespace

kcMd5::kcMd5() { Init(); }

void kcMd5::Init()
{
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
    m_bits[0] = m_bits[1] = 0;
    memset(m_buffer, 0, sizeof(m_buffer));
}

void kcMd5::Reset() { Init(); }

void kcMd5::Transform(const uint8_t* block)
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLe(block + 4 * i);
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int k;
        switch (i >> 4) {
        case 0: f = (b & c) | (~b & d); k = i; break;
        case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) & 15; break;
        case 2: f = b ^ c ^ d; k = (3 * i + 5) & 15; break;
        default: f = c ^ (b | ~d); k = (7 * i) & 15; break;
        }
        uint32_t t = d;
        d = c;
        c = b;
        b = b + Rotl(a + f + kSine[i] + x[k], kShift[i >> 4][i & 3]);
        a = t;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

void kcMd5::Update(const void* data, unsigned bytes)
{
    if (!data || !bytes)
        return;
    const uint8_t* p = (const uint8_t*)data;
    unsigned used = (m_bits[0] >> 3) & 63;
    uint32_t low = m_bits[0] + (bytes << 3);
    if (low < m_bits[0])
        ++m_bits[1];
    m_bits[0] = low;
    m_bits[1] += bytes >> 29;

    if (used) {
        unsigned take = 64 - used;
        if (bytes < take) {
            memcpy(m_buffer + used, p, bytes);
            return;
        }
        memcpy(m_buffer + used, p, take);
        Transform(m_buffer);
        p += take;
        bytes -= take;
    }
    for (; bytes >= 64; p += 64, bytes -= 64)
        Transform(p);
    memcpy(m_buffer, p, bytes);
}

int kcMd5::Final(void* out, unsigned outBytes)
{
    if (!out || outBytes < 16)
        return 0;
    uint8_t length[8];
    StoreLe(length, m_bits[0]);
    StoreLe(length + 4, m_bits[1]);
    unsigned used = (m_bits[0] >> 3) & 63;
    static const uint8_t kPad[64] = {0x80};
    Update(kPad, used < 56 ? 56 - used : 120 - used);
    Update(length, 8);
    for (int i = 0; i < 4; ++i)
        StoreLe((uint8_t*)out + 4 * i, m_state[i]);
    // Leaves no trace of the message behind.
    memset(m_state, 0, sizeof(m_state));
    memset(m_bits, 0, sizeof(m_bits));
    memset(m_buffer, 0, sizeof(m_buffer));
    return 16;
}
