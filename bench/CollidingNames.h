#pragma once
// Element names that std::hash<std::string_view> maps to one value, for the word size of this
// build. libstdc++ hashes bytes with a fixed seed, block by block: MurmurHash2 with 4-byte blocks
// where size_t has 32 bits, MurmurHash64A with 8-byte blocks where it has 64. Each block's mix can
// be undone, so from any state a first block drawn at random and a second one solved for reach a
// chosen state; solutions holding a byte that an XML name cannot hold are thrown away. A name is
// two such stages: r block pairs that all lead from the start to one state, then r pairs that all
// lead from there to another, give r * r names of four blocks (16 bytes on i686, 32 on x86_64)
// for 2 r solutions. Twins are random names of the same length and alphabet. Header only: the
// tests and the benchmarks both use it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kcCollide {

const size_t kBlock = sizeof(size_t);
const size_t kLength = 4 * kBlock;
const char kStart[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_:";
const char kRest[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_:0123456789.-";
const size_t kRestCount = sizeof kRest - 1;
const size_t kSeed = 0xc70f6907UL;

inline bool IsNameBlock(size_t k)
{
    static const struct Table {
        bool ok[256] = {};
        Table()
        {
            for (const char* p = kRest; *p; ++p) ok[(unsigned char)*p] = true;
        }
    } table;
    bool ok = true;
    for (size_t i = 0; i < kBlock; ++i) ok &= table.ok[(k >> (8 * i)) & 0xFF];
    return ok;
}

template <class T> T Inverse(T odd)
{
    T x = odd; // Newton's iteration doubles the correct low bits each step
    for (int i = 0; i < 6; ++i) x *= (T)2 - odd * x;
    return x;
}

// One block into the state, and the block that takes a state to a chosen one.
#if SIZE_MAX == 0xFFFFFFFFu
const size_t kMul = 0x5bd1e995UL;
const size_t kStartState = kSeed ^ kLength;
inline size_t Step(size_t h, size_t k)
{
    k *= kMul;
    k ^= k >> 24;
    return h * kMul ^ k * kMul;
}
inline size_t Solve(size_t h, size_t target)
{
    static const size_t inv = Inverse(kMul);
    size_t k = (target ^ h * kMul) * inv;
    k ^= k >> 24;
    return k * inv;
}
#else
const size_t kMul = ((size_t)0xc6a4a793UL << 32) + 0x5bd1e995UL;
const size_t kStartState = kSeed ^ (kLength * kMul);
inline size_t Mix(size_t v) { return v ^ (v >> 47); }
inline size_t Step(size_t h, size_t k) { return (h ^ Mix(k * kMul) * kMul) * kMul; }
inline size_t Solve(size_t h, size_t target)
{
    static const size_t inv = Inverse(kMul);
    return Mix((target * inv ^ h) * inv) * inv;
}
#endif

inline std::string Bytes(size_t k) { return std::string((const char*)&k, kBlock); }

inline size_t RandomBlock(std::mt19937_64& rng, bool first)
{
    size_t k = 0;
    for (size_t i = 0; i < kBlock; ++i) {
        size_t c = first && i == 0 ? (unsigned char)kStart[rng() % (sizeof kStart - 1)]
                                   : (unsigned char)kRest[rng() % kRestCount];
        k |= c << (8 * i);
    }
    return k;
}

// count distinct two-block pieces that all lead from state from to one state (*to).
inline std::vector<std::string> Stage(size_t from, size_t count, bool first, std::mt19937_64& rng, size_t* to)
{
    const size_t a = RandomBlock(rng, first), b = RandomBlock(rng, false);
    *to = Step(Step(from, a), b);
    std::vector<std::string> pieces{Bytes(a) + Bytes(b)};
    const int high = 8 * (int)kBlock - 8;
    while (pieces.size() < count) {
        // The first block's last byte walks the alphabet: cheaper than drawing it.
        const size_t base = RandomBlock(rng, first) & ~((size_t)0xFF << high);
        for (size_t c = 0; c < kRestCount && pieces.size() < count; ++c) {
            const size_t k1 = base | (size_t)(unsigned char)kRest[c] << high;
            const size_t k2 = Solve(Step(from, k1), *to);
            if (!IsNameBlock(k2)) continue;
            const std::string piece = Bytes(k1) + Bytes(k2);
            if (std::find(pieces.begin(), pieces.end(), piece) == pieces.end()) pieces.push_back(piece);
        }
    }
    return pieces;
}

// count distinct names that share one std::hash value, the same ones for the same seed.
inline std::vector<std::string> Colliding(size_t count, uint64_t seed = 1)
{
    std::mt19937_64 rng(seed);
    size_t r = 1;
    while (r * r < count) ++r;
    size_t middle, end;
    const std::vector<std::string> heads = Stage(kStartState, r, true, rng, &middle);
    const std::vector<std::string> tails = Stage(middle, r, false, rng, &end);
    std::vector<std::string> names;
    for (const std::string& h : heads)
        for (const std::string& t : tails) names.push_back(h + t);
    std::shuffle(names.begin(), names.end(), rng);
    names.resize(count);
    return names;
}

// Random names of the same length and alphabet, distinct.
inline std::vector<std::string> Twins(size_t count, uint64_t seed = 2)
{
    std::mt19937_64 rng(seed);
    std::vector<std::string> names;
    while (names.size() < count) {
        while (names.size() < count) {
            std::string s;
            for (size_t i = 0; i < 4; ++i) s += Bytes(RandomBlock(rng, i == 0));
            names.push_back(s);
        }
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
    }
    std::shuffle(names.begin(), names.end(), rng);
    return names;
}

// True when there are names and every one has the first one's std::hash value.
inline bool ShareOneHash(const std::vector<std::string>& names)
{
    std::hash<std::string_view> h;
    for (const std::string& n : names)
        if (h(n) != h(names[0])) return false;
    return !names.empty();
}

} // namespace kcCollide
