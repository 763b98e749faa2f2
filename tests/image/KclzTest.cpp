#include "image/kcKclz.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes Compress(const Bytes& data, int mode)
{
    unsigned n = kcLzCompress(data.data(), (unsigned)data.size(), nullptr, mode, nullptr, nullptr);
    Bytes out(n + 16, 0xCC);
    unsigned written = kcLzCompress(data.data(), (unsigned)data.size(), out.data(), mode, nullptr, nullptr);
    EXPECT_EQ(n, written) << "measuring and writing disagree, mode " << mode;
    out.resize(written);
    return out;
}

bool Decompress(const Bytes& block, Bytes* out)
{
    unsigned raw = kcLzDecompress(block.data(), (unsigned)block.size(), nullptr, nullptr, nullptr);
    out->assign(raw, 0xCC);
    if (raw == 0) return false;
    return kcLzDecompress(block.data(), (unsigned)block.size(), out->data(), nullptr, nullptr) == raw;
}

void Put32(Bytes* b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b->push_back((uint8_t)(v >> (8 * i)));
}

// A block assembled by hand from flag bits and token bytes.
Bytes MakeBlock(uint32_t mode, uint32_t raw, const Bytes& flags, const Bytes& tokens)
{
    Bytes b = {'K', 'C', 'L', 'Z'};
    Put32(&b, mode);
    Put32(&b, raw);
    Put32(&b, (uint32_t)flags.size());
    Put32(&b, (uint32_t)tokens.size());
    Put32(&b, 28);
    Put32(&b, 28 + (uint32_t)flags.size());
    b.insert(b.end(), flags.begin(), flags.end());
    b.insert(b.end(), tokens.begin(), tokens.end());
    return b;
}

uint32_t Field(const Bytes& b, int offset)
{
    uint32_t v;
    memcpy(&v, b.data() + offset, 4);
    return v;
}

Bytes Sample(size_t n, unsigned seed)
{
    // Text-like data with repeats at many distances, plus some noise.
    Bytes d;
    unsigned x = seed;
    while (d.size() < n) {
        x = x * 1103515245u + 12345u;
        if ((x >> 16) % 4 == 0 && d.size() > 40) {
            size_t back = 1 + (x >> 8) % (d.size() < 9000 ? d.size() : 9000);
            size_t len = 3 + (x >> 3) % 150;
            for (size_t i = 0; i < len && d.size() < n; ++i) d.push_back(d[d.size() - back]);
        } else {
            d.push_back((uint8_t)(x >> 24));
        }
    }
    return d;
}

} // namespace

TEST(Kclz, ThousandZerosInModeZeroMatchTheKnownBlock)
{
    Bytes data(1000, 0);
    Bytes block = Compress(data, 0);
    ASSERT_EQ(243u, block.size());

    // One literal, 99 matches of 10 from the first byte, one match of 9.
    Bytes flags(13, 0xFF);
    flags[0] = 0xFE;
    flags[12] = 0x1F;
    Bytes tokens = {0x00};
    for (int i = 0; i < 99; ++i) {
        unsigned t = 7u | ((unsigned)(10 * i) << 3);
        tokens.push_back((uint8_t)t);
        tokens.push_back((uint8_t)(t >> 8));
    }
    unsigned last = 6u | (990u << 3);
    tokens.push_back((uint8_t)last);
    tokens.push_back((uint8_t)(last >> 8));
    tokens.push_back(0);
    EXPECT_EQ(MakeBlock(0, 1000, flags, tokens), block);
    EXPECT_EQ(0x07, block[28 + 13 + 1]);
    EXPECT_EQ(0x00, block[28 + 13 + 2]);

    Bytes back;
    ASSERT_TRUE(Decompress(block, &back));
    EXPECT_EQ(data, back);
}

TEST(Kclz, SixteenLiteralsKeepAnAllZeroThirdFlagByte)
{
    Bytes data;
    for (int i = 0; i < 16; ++i) data.push_back((uint8_t)(i * 17));
    Bytes block = Compress(data, 3);
    ASSERT_EQ(48u, block.size());
    EXPECT_EQ(3u, Field(block, 4));
    EXPECT_EQ(16u, Field(block, 8));
    EXPECT_EQ(3u, Field(block, 12));
    EXPECT_EQ(17u, Field(block, 16));
    EXPECT_EQ(28u, Field(block, 20));
    EXPECT_EQ(31u, Field(block, 24));
    EXPECT_EQ(Bytes(3, 0), Bytes(block.begin() + 28, block.begin() + 31));
    EXPECT_EQ(data, Bytes(block.begin() + 31, block.begin() + 47));
    EXPECT_EQ(0, block[47]);
}

TEST(Kclz, EmptyInputGivesAThirtyByteBlock)
{
    for (int mode = 0; mode < KCLZ_MODES; ++mode) {
        Bytes block = Compress(Bytes(), mode);
        ASSERT_EQ(30u, block.size());
        EXPECT_EQ(0u, Field(block, 8));
        EXPECT_EQ(1u, Field(block, 12));
        EXPECT_EQ(1u, Field(block, 16));
        // Nothing to produce: the raw length 0 is the answer either way.
        uint8_t dummy = 0xAA;
        EXPECT_EQ(0u, kcLzDecompress(block.data(), 30, &dummy, nullptr, nullptr));
        EXPECT_EQ(0xAA, dummy);
    }
}

TEST(Kclz, EqualCandidatesCodeTheOlderOne)
{
    const char* text = "abcXabcYabc";
    Bytes data(text, text + strlen(text));
    Bytes block = Compress(data, 0);
    // "abc" "X" (abc, distance 4) "Y" (abc, distance 8 rather than 4).
    ASSERT_EQ(28u + 1 + 9 + 1, block.size());
    EXPECT_EQ(0x50, block[28]);
    unsigned first = block[29 + 4] | (block[29 + 5] << 8);
    EXPECT_EQ(0u | (3u << 3), first);
    unsigned t = block[29 + 7] | (block[29 + 8] << 8);
    EXPECT_EQ(0u | (7u << 3), t);
}

TEST(Kclz, LongestMatchPerModeAndLongRuns)
{
    for (int mode = 0; mode < KCLZ_MODES; ++mode) {
        int lengthBits = kcLzLengthBits(mode);
        unsigned longest = (1u << lengthBits) + 2;
        Bytes data(1 + longest, 'z');
        Bytes block = Compress(data, mode);
        // A literal and exactly one match of the longest length.
        ASSERT_EQ(28u + 1 + 1 + 2 + 1, block.size()) << mode;
        unsigned t = block[30] | (block[31] << 8);
        EXPECT_EQ((1u << lengthBits) - 1, t) << mode;
        Bytes back;
        ASSERT_TRUE(Decompress(block, &back));
        EXPECT_EQ(data, back);
    }
}

TEST(Kclz, RoundTripsInEveryMode)
{
    std::vector<Bytes> inputs = {Bytes{1}, Bytes{1, 2}, Bytes{1, 2, 3}, Bytes(3, 9), Bytes(70000, 0xEE),
                                 Sample(20000, 1), Sample(100000, 7)};
    Bytes ramp;
    for (int i = 0; i < 5000; ++i) ramp.push_back((uint8_t)(i % 251));
    inputs.push_back(ramp);
    for (const Bytes& in : inputs) {
        for (int mode = 0; mode < KCLZ_MODES; ++mode) {
            Bytes block = Compress(in, mode);
            Bytes out;
            ASSERT_TRUE(Decompress(block, &out)) << in.size() << " mode " << mode;
            EXPECT_EQ(in, out) << in.size() << " mode " << mode;
        }
    }
}

TEST(Kclz, ModeTwoBlockDecodesFiveLengthBits)
{
    // 'a', 'b', then a match of length (1 + 3) at distance (1 + 1): "ababab".
    unsigned t = 1u | (1u << 5);
    Bytes block = MakeBlock(2, 6, {0x04}, {'a', 'b', (uint8_t)t, (uint8_t)(t >> 8), 0});
    Bytes out;
    ASSERT_TRUE(Decompress(block, &out));
    EXPECT_EQ("ababab", std::string(out.begin(), out.end()));
}

TEST(Kclz, MatchPastTheRawLengthIsCut)
{
    unsigned t = 7u | (0u << 3); // length 10, distance 1
    Bytes block = MakeBlock(0, 5, {0x02}, {'q', (uint8_t)t, (uint8_t)(t >> 8), 0});
    Bytes out;
    ASSERT_TRUE(Decompress(block, &out));
    EXPECT_EQ("qqqqq", std::string(out.begin(), out.end()));
}

TEST(Kclz, DamagedBlocksGiveZero)
{
    unsigned before = 0u | (1u << 3); // distance 2 with one byte produced
    struct Case {
        const char* name;
        Bytes block;
        bool sizeOk; // the header alone passes
    };
    Bytes good = MakeBlock(0, 4, {0x02}, {'x', 0x00, 0x00, 0});
    std::vector<Case> cases;
    cases.push_back({"back-reference before the start", MakeBlock(0, 4, {0x02}, {'x', (uint8_t)before, 0, 0}), true});
    cases.push_back({"mode 5", MakeBlock(5, 4, {0x02}, {'x', 0, 0, 0}), false});
    cases.push_back({"too few tokens", MakeBlock(0, 4, {0x00}, {'x', 0}), true});
    cases.push_back({"flags run out", MakeBlock(0, 9, {0x00}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0}), true});
    Bytes sig = good;
    sig[3] = 'Y';
    cases.push_back({"signature", sig, false});
    Bytes area = good;
    area[16] = 0xF0; // token count far past the block
    cases.push_back({"token area past the end", area, false});
    Bytes wrap = good;
    wrap[20] = 0xFF; wrap[21] = 0xFF; wrap[22] = 0xFF; wrap[23] = 0xFF; // offset wraps in 32 bits
    cases.push_back({"flag offset wraps", wrap, false});
    Bytes bomb = good;
    bomb[11] = 0x40; // raw length of 1 GiB from four token bytes
    cases.push_back({"raw length beyond what the tokens can give", bomb, false});
    cases.push_back({"truncated header", Bytes(good.begin(), good.begin() + 20), false});

    Bytes out;
    ASSERT_TRUE(Decompress(good, &out));
    for (const Case& c : cases) {
        unsigned raw = kcLzDecompress(c.block.data(), (unsigned)c.block.size(), nullptr, nullptr, nullptr);
        EXPECT_EQ(c.sizeOk, raw != 0) << c.name;
        Bytes buffer(64, 0);
        EXPECT_EQ(0u, kcLzDecompress(c.block.data(), (unsigned)c.block.size(), buffer.data(), nullptr, nullptr))
            << c.name;
    }
    EXPECT_EQ(0u, kcLzDecompress(nullptr, 100, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, kcLzCompress(good.data(), 4, nullptr, 5, nullptr, nullptr));
}

TEST(Kclz, ProgressEndsWithTheWholeLength)
{
    struct Log {
        int calls = 0, lastDone = -1, lastTotal = -1;
        static void Fn(int done, int total, void* user)
        {
            Log* l = (Log*)user;
            ++l->calls;
            l->lastDone = done;
            l->lastTotal = total;
        }
    };
    Bytes data = Sample(3000, 3);
    Log c;
    unsigned n = kcLzCompress(data.data(), 3000, nullptr, 1, &Log::Fn, &c);
    Bytes block(n);
    Log w;
    kcLzCompress(data.data(), 3000, block.data(), 1, &Log::Fn, &w);
    EXPECT_EQ(3000, w.lastDone);
    EXPECT_EQ(3000, w.lastTotal);
    Log d;
    Bytes out(3000);
    ASSERT_EQ(3000u, kcLzDecompress(block.data(), n, out.data(), &Log::Fn, &d));
    EXPECT_EQ(3000, d.lastDone);
    EXPECT_GT(d.calls, 1);
}
