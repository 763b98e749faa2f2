#include "foundation/kcProtect.h"
#include "foundation/kcLog.h"
#include <cstring>
#include <vector>

namespace {
const int kPWords = 18;
const int kSWords = 4 * 256;
const int kPiWords = kPWords + kSWords;

// Pi in fixed point, base 65536: limb 0 is the integer part, then two limbs per table word and
// three guard limbs that absorb the truncation of the series below.
const int kLimbs = 1 + 2 * kPiWords + 3;

// dst[from..] = src[from..] / d for d < 65536; limbs before from are zero in src.
void divideLimbs(uint32_t* dst, const uint32_t* src, uint32_t d, int from)
{
    uint32_t rem = 0;
    for (int i = from; i < kLimbs; i++) {
        uint32_t cur = (rem << 16) | src[i];
        dst[i] = cur / d;
        rem = cur % d;
    }
}

void addLimbs(uint32_t* sum, const uint32_t* part, int from, bool subtract)
{
    int32_t carry = 0;
    for (int i = kLimbs - 1; i >= 0; i--) {
        if (i < from && carry == 0) break;
        int32_t v = (int32_t)sum[i] + carry + (i >= from ? (subtract ? -(int32_t)part[i] : (int32_t)part[i]) : 0);
        carry = v >> 16; // arithmetic shift: -1 on a borrow
        sum[i] = (uint32_t)v & 0xffff;
    }
}

// sum += sign * mult * arctan(1/x) through the alternating series.
void addArctan(uint32_t* sum, uint32_t x, uint32_t mult, bool negate)
{
    std::vector<uint32_t> term(kLimbs, 0), part(kLimbs, 0);
    term[0] = mult;
    divideLimbs(term.data(), term.data(), x, 0);
    int from = 0;
    for (uint32_t k = 0;; k++) {
        while (from < kLimbs && term[from] == 0) from++;
        if (from == kLimbs) break;
        divideLimbs(part.data(), term.data(), 2 * k + 1, from);
        addLimbs(sum, part.data(), from, ((k & 1) != 0) != negate);
        divideLimbs(term.data(), term.data(), x * x, from);
    }
}

// Machin: pi = 16 arctan(1/5) - 4 arctan(1/239).
struct PiTable {
    uint32_t words[kPiWords];
    PiTable()
    {
        std::vector<uint32_t> sum(kLimbs, 0);
        addArctan(sum.data(), 5, 16, false);
        addArctan(sum.data(), 239, 4, true);
        for (int i = 0; i < kPiWords; i++) words[i] = (sum[1 + 2 * i] << 16) | sum[2 + 2 * i];
    }
};

uint32_t loadLe(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void storeLe(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}
} // namespace

const uint32_t* kcBlowfish::PiWords()
{
    static const PiTable table; // built once, on first use
    return table.words;
}

kcBlowfish::kcBlowfish() : m_p(new uint32_t[kPWords]), m_s(new uint32_t[kSWords])
{
    const uint32_t* pi = PiWords();
    std::memcpy(m_p, pi, sizeof(uint32_t) * kPWords);
    std::memcpy(m_s, pi + kPWords, sizeof(uint32_t) * kSWords);
}

kcBlowfish::~kcBlowfish()
{
    delete[] m_p;
    delete[] m_s;
}

uint32_t kcBlowfish::F(uint32_t x) const
{
    return ((m_s[x >> 24] + m_s[256 + ((x >> 16) & 0xff)]) ^ m_s[512 + ((x >> 8) & 0xff)]) + m_s[768 + (x & 0xff)];
}

void kcBlowfish::EncipherBlock(uint32_t* left, uint32_t* right) const
{
    uint32_t l = *left, r = *right;
    for (int i = 0; i < 16; i += 2) {
        l ^= m_p[i];
        r ^= F(l);
        r ^= m_p[i + 1];
        l ^= F(r);
    }
    *left = r ^ m_p[17];
    *right = l ^ m_p[16];
}

void kcBlowfish::DecipherBlock(uint32_t* left, uint32_t* right) const
{
    uint32_t l = *left, r = *right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= m_p[i];
        r ^= F(l);
        r ^= m_p[i - 1];
        l ^= F(r);
    }
    *left = r ^ m_p[0];
    *right = l ^ m_p[1];
}

void kcBlowfish::SetKey(const uint8_t* key, int length)
{
    const uint32_t* pi = PiWords();
    std::memcpy(m_s, pi + kPWords, sizeof(uint32_t) * kSWords);
    int j = 0;
    for (int i = 0; i < kPWords; i++) {
        uint32_t data = 0;
        for (int k = 0; k < 4; k++) {
            data = (data << 8) | key[j];
            j = (j + 1) % length;
        }
        m_p[i] = pi[i] ^ data;
    }
    uint32_t l = 0, r = 0;
    for (int i = 0; i < kPWords; i += 2) {
        EncipherBlock(&l, &r);
        m_p[i] = l;
        m_p[i + 1] = r;
    }
    for (int i = 0; i < kSWords; i += 2) {
        EncipherBlock(&l, &r);
        m_s[i] = l;
        m_s[i + 1] = r;
    }
}

void kcBlowfish::Process(void* dst, const void* src, int bytes, bool encipher) const
{
    const uint8_t* in = (const uint8_t*)src;
    uint8_t* out = (uint8_t*)dst;
    for (int at = 0; at < bytes; at += 8) {
        uint8_t block[8] = {};
        std::memcpy(block, in + at, bytes - at < 8 ? bytes - at : 8);
        uint32_t l = loadLe(block), r = loadLe(block + 4);
        if (encipher) EncipherBlock(&l, &r);
        else DecipherBlock(&l, &r);
        storeLe(out + at, l);
        storeLe(out + at + 4, r);
    }
}

void kcBlowfish::Encipher(void* dst, const void* src, int bytes) const { Process(dst, src, bytes, true); }

void kcBlowfish::Decipher(void* dst, const void* src, int bytes) const { Process(dst, src, bytes, false); }

kcProtect::kcProtect() : m_engine(nullptr) {}

kcProtect::~kcProtect() { delete m_engine; }

int kcProtect::SetKey(const void* key, int length)
{
    if (!key || length <= 0) {
        kcLog("kcProtect : 鍵が指定されていません");
        return 0;
    }
    if (!m_engine) m_engine = new kcBlowfish();
    m_engine->SetKey((const uint8_t*)key, length);
    return 1;
}

int kcProtect::CheckArgs(void* dst, const void* src, int bytes) const
{
    if (!m_engine) return 0;
    if (bytes % 8 != 0) {
        kcLog("kcProtect : データサイズは8バイト単位である必要があります");
        return 0;
    }
    return dst && src && bytes > 0;
}

int kcProtect::Encrypt(void* dst, const void* src, int bytes)
{
    if (!CheckArgs(dst, src, bytes)) return 0;
    m_engine->Encipher(dst, src, bytes);
    return bytes;
}

int kcProtect::Decrypt(void* dst, const void* src, int bytes)
{
    if (!CheckArgs(dst, src, bytes)) return 0;
    m_engine->Decipher(dst, src, bytes);
    return bytes;
}
