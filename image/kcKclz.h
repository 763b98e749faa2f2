#pragma once
// KCLZ: the engine's LZ77 block format (flag bits + literal bytes / 16-bit match tokens).
#include <cstddef>
#include <cstdint>

typedef void (*kcLzProgress)(int done, int total, void* user);

// Block header: "KCLZ", mode, raw length, flag byte count, token byte count, two area offsets.
struct KclzHeader {
    char signature[4];
    uint32_t mode;
    uint32_t rawLength;
    uint32_t flagCount;
    uint32_t tokenCount;
    uint32_t flagOffset;
    uint32_t tokenOffset;
};
static_assert(sizeof(KclzHeader) == 28, "KCLZ header is 28 bytes");
static_assert(offsetof(KclzHeader, flagCount) == 12 && offsetof(KclzHeader, tokenOffset) == 24,
              "KCLZ header layout");

const int KCLZ_MODES = 5;
// Length bits of a match token per mode; the distance takes the other 16 - L bits.
inline int kcLzLengthBits(int mode) { return mode + 3; }

// Codes data in one of the modes 0..4. With out null only measures. Returns the block's length,
// 0 when the mode is invalid or the scratch areas cannot be allocated.
unsigned kcLzCompress(const uint8_t* data, unsigned length, uint8_t* out, int mode,
                      kcLzProgress progress, void* user);

// Returns the raw length of a block (out null) or decodes it into out, which must hold the raw
// length. 0 for a bad signature or a damaged block (areas past blockLength, references before
// the output's start, mode above 4, too few tokens for the raw length).
unsigned kcLzDecompress(const uint8_t* block, unsigned blockLength, uint8_t* out,
                        kcLzProgress progress, void* user);

// Hash-chain index of the compressor: a ring of the last W inserted positions, chained per bucket
// from oldest to newest.
class kcLzMatchFinder {
public:
    explicit kcLzMatchFinder(int windowSize);
    ~kcLzMatchFinder();
    bool IsValid() const { return m_slots != nullptr; }

    void Insert(const uint8_t* position);
    // first: the oldest position in the bucket of the position's hash; otherwise the next newer
    // one after the last answer. Null at the end.
    const uint8_t* Find(const uint8_t* position, bool first);

private:
    struct Slot {
        const uint8_t* position;
        uint16_t older, newer;
    };
    struct Bucket {
        uint16_t oldest, newest;
    };
    unsigned Hash(const uint8_t* p) const;

    int m_window;
    Slot* m_slots;
    Bucket* m_buckets;
    unsigned m_counter;
    uint16_t m_cursor;

    kcLzMatchFinder(const kcLzMatchFinder&) = delete;
    kcLzMatchFinder& operator=(const kcLzMatchFinder&) = delete;
};
