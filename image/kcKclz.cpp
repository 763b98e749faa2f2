#include "image/kcKclz.h"
#include "image/kcImage.h"
#include "foundation/kcHeap.h"
#include <climits>
#include <cstring>

namespace {

const uint16_t kNone = 0xFFFF;

uint32_t ReadU32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

} // namespace

kcLzMatchFinder::kcLzMatchFinder(int windowSize)
    : m_window(windowSize), m_slots(nullptr), m_buckets(nullptr), m_counter(0), m_cursor(kNone)
{
    if (windowSize <= 0 || windowSize > 0x8000) return;
    m_slots = (Slot*)kcHeapAlloc(0, (int)(sizeof(Slot) * windowSize));
    m_buckets = (Bucket*)kcHeapAlloc(0, (int)(sizeof(Bucket) * 2 * windowSize));
    if (!m_slots || !m_buckets) {
        kcHeapRelease(m_slots);
        kcHeapRelease(m_buckets);
        m_slots = nullptr;
        m_buckets = nullptr;
        return;
    }
    for (int i = 0; i < windowSize; ++i) m_slots[i] = Slot{nullptr, kNone, kNone};
    for (int i = 0; i < 2 * windowSize; ++i) m_buckets[i] = Bucket{kNone, kNone};
}

kcLzMatchFinder::~kcLzMatchFinder()
{
    kcHeapRelease(m_slots);
    kcHeapRelease(m_buckets);
}

unsigned kcLzMatchFinder::Hash(const uint8_t* p) const
{
    return ((unsigned)p[0] + (unsigned)p[1] * 256u + (unsigned)p[2] * 65536u) % (2u * m_window);
}

void kcLzMatchFinder::Insert(const uint8_t* position)
{
    uint16_t index = (uint16_t)(m_counter % (unsigned)m_window);
    Slot& slot = m_slots[index];
    if (slot.position) {
        Bucket& old = m_buckets[Hash(slot.position)];
        if (slot.older != kNone) m_slots[slot.older].newer = slot.newer;
        else old.oldest = slot.newer;
        if (slot.newer != kNone) m_slots[slot.newer].older = slot.older;
        else old.newest = slot.older;
    }
    Bucket& bucket = m_buckets[Hash(position)];
    slot.position = position;
    slot.older = bucket.newest;
    slot.newer = kNone;
    if (bucket.newest != kNone) m_slots[bucket.newest].newer = index;
    else bucket.oldest = index;
    bucket.newest = index;
    ++m_counter;
}

const uint8_t* kcLzMatchFinder::Find(const uint8_t* position, bool first)
{
    if (first) m_cursor = m_buckets[Hash(position)].oldest;
    else if (m_cursor != kNone) m_cursor = m_slots[m_cursor].newer;
    return m_cursor == kNone ? nullptr : m_slots[m_cursor].position;
}

unsigned kcLzCompress(const uint8_t* data, unsigned length, uint8_t* out, int mode,
                      kcLzProgress progress, void* user)
{
    if (mode < 0 || mode >= KCLZ_MODES || (!data && length) || length > (unsigned)INT_MAX - 64) return 0;
    const int lengthBits = kcLzLengthBits(mode);
    const int window = 1 << (16 - lengthBits);
    const unsigned longest = (1u << lengthBits) + 2;

    // Tokens never outgrow the input: a literal is one byte, a match two for at least three.
    kcHeapScratch flagArea(length / 8 + 1);
    kcHeapScratch tokenArea(length + 1);
    kcLzMatchFinder finder(window);
    uint8_t* flags = flagArea.Get();
    uint8_t* tokens = tokenArea.Get();
    if (!flags || !tokens || !finder.IsValid()) return 0;
    memset(flags, 0, length / 8 + 1);

    unsigned tokenCount = 0, tokenBytes = 0, s = 0;
    while (s < length) {
        const uint8_t* p = data + s;
        const unsigned remaining = length - s;
        unsigned best = 0;
        const uint8_t* bestAt = nullptr;
        if (remaining >= 3) {
            const unsigned limit = remaining < longest ? remaining : longest;
            for (const uint8_t* c = finder.Find(p, true); c; c = finder.Find(p, false)) {
                if (c < data || c >= p) continue;
                unsigned n = 0;
                while (n < limit && p[n] == c[n]) ++n;
                if (n > best) {
                    best = n;
                    bestAt = c;
                    if (best >= limit) break;
                }
            }
        }
        if (best >= 3) {
            unsigned token = (best - 3) | ((unsigned)(p - bestAt - 1) << lengthBits);
            tokens[tokenBytes++] = (uint8_t)token;
            tokens[tokenBytes++] = (uint8_t)(token >> 8);
            flags[tokenCount >> 3] |= (uint8_t)(1u << (tokenCount & 7));
        } else {
            tokens[tokenBytes++] = *p;
            best = 1;
        }
        ++tokenCount;
        for (unsigned i = 0; i < best; ++i) {
            if (length - (s + i) >= 3) finder.Insert(p + i);
        }
        s += best;
        if (progress) progress((int)s, (int)length, user);
    }

    const unsigned completed = tokenCount / 8;
    const unsigned result = 30 + completed + tokenBytes;
    if (out) {
        KclzHeader header;
        memcpy(header.signature, "KCLZ", 4);
        header.mode = (uint32_t)mode;
        header.rawLength = length;
        header.flagCount = completed + 1;
        header.tokenCount = tokenBytes + 1;
        header.flagOffset = sizeof(KclzHeader);
        header.tokenOffset = sizeof(KclzHeader) + header.flagCount;
        memcpy(out, &header, sizeof header);
        memcpy(out + header.flagOffset, flags, header.flagCount);
        memcpy(out + header.tokenOffset, tokens, tokenBytes);
        out[header.tokenOffset + tokenBytes] = 0;
        if (progress) progress((int)length, (int)length, user);
    }
    return result;
}

unsigned kcLzDecompress(const uint8_t* block, unsigned blockLength, uint8_t* out,
                        kcLzProgress progress, void* user)
{
    if (!block || blockLength < sizeof(KclzHeader) || memcmp(block, "KCLZ", 4) != 0) return 0;
    const uint32_t mode = ReadU32(block + 4);
    const uint32_t rawLength = ReadU32(block + 8);
    const uint32_t flagCount = ReadU32(block + 12);
    const uint32_t tokenCount = ReadU32(block + 16);
    const uint32_t flagOffset = ReadU32(block + 20);
    const uint32_t tokenOffset = ReadU32(block + 24);
    if (mode >= (uint32_t)KCLZ_MODES) return 0;
    // Both areas must lie inside the block; sums in 64 bits so that no field can wrap.
    if ((uint64_t)flagOffset + flagCount > blockLength || (uint64_t)tokenOffset + tokenCount > blockLength)
        return 0;
    // No token byte yields more than 65 output bytes (a 2-byte match gives at most 130).
    if ((uint64_t)rawLength > (uint64_t)tokenCount * 65) return 0;
    if (!out) return rawLength;

    const uint8_t* flags = block + flagOffset;
    const uint8_t* tokens = block + tokenOffset;
    const int lengthBits = kcLzLengthBits((int)mode);
    const unsigned lengthMask = (1u << lengthBits) - 1;
    uint32_t produced = 0, bit = 0, t = 0;
    while (produced < rawLength) {
        if ((bit >> 3) >= flagCount) return 0;
        const bool match = (flags[bit >> 3] >> (bit & 7)) & 1;
        ++bit;
        if (!match) {
            if (t >= tokenCount) return 0;
            out[produced++] = tokens[t++];
        } else {
            if (tokenCount - t < 2) return 0;
            const unsigned token = tokens[t] | ((unsigned)tokens[t + 1] << 8);
            t += 2;
            uint32_t count = (token & lengthMask) + 3;
            const uint32_t distance = (token >> lengthBits) + 1;
            if (distance > produced) return 0;
            if (count > rawLength - produced) count = rawLength - produced;
            // Byte by byte: a match may overlap its own output.
            for (uint32_t i = 0; i < count; ++i, ++produced) out[produced] = out[produced - distance];
        }
        if (progress) progress((int)produced, (int)rawLength, user);
    }
    if (progress) progress((int)rawLength, (int)rawLength, user);
    return rawLength;
}
