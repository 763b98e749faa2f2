#include "image/kcImageKcf.h"
#include "image/ImageFixtures.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {
// A block assembled by hand from flag bytes and token bytes.
std::string Block(uint32_t mode, uint32_t raw, const std::string& flags, const std::string& tokens)
{
    uint32_t f = uint32_t(flags.size());
    return "KCLZ" + Le32(mode) + Le32(raw) + Le32(f) + Le32(uint32_t(tokens.size())) + Le32(28) + Le32(28 + f) + flags + tokens;
}

// Decodes a block; "!" when either the length query or the decoding fails.
std::string Unpack(const std::string& block)
{
    const uint8_t* b = reinterpret_cast<const uint8_t*>(block.data());
    unsigned n = unsigned(block.size()), raw = kcLzDecompress(b, n, nullptr, nullptr, nullptr);
    std::string out(raw, '\xCC');
    if (raw == 0 || kcLzDecompress(b, n, reinterpret_cast<uint8_t*>(&out[0]), nullptr, nullptr) != raw) return "!";
    return out;
}

std::string Token(unsigned t) { return std::string{char(t), char(t >> 8)}; }

// Text-like data with repeats at many distances, plus some noise.
std::string Sample(size_t n, unsigned x)
{
    std::string d;
    while (d.size() < n) {
        x = x * 1103515245u + 12345u;
        if ((x >> 16) % 4 == 0 && d.size() > 40) {
            size_t back = 1 + (x >> 8) % (d.size() < 9000 ? d.size() : 9000), len = 3 + (x >> 3) % 150;
            for (size_t i = 0; i < len && d.size() < n; ++i) d += d[d.size() - back];
        } else {
            d += char(x >> 24);
        }
    }
    return d;
}
} // namespace

TEST(Kclz, ThousandZerosInModeZeroGiveTheKnownBlock)
{
    // One literal, 99 matches of 10 whose candidate is always the first byte, one match of 9.
    std::string tokens(1, '\0');
    for (unsigned i = 0; i < 99; ++i) tokens += Token(7u | (10 * i) << 3);
    tokens += Token(6u | 990u << 3) + '\0';
    std::string flags = '\xFE' + std::string(11, '\xFF') + '\x1F', zeros(1000, '\0');
    std::string block = Kclz(zeros, 0);
    ASSERT_EQ(243u, block.size());
    EXPECT_EQ(Block(0, 1000, flags, tokens), block);
    EXPECT_EQ(Token(7), block.substr(28 + 13 + 1, 2));
    EXPECT_EQ(zeros, Unpack(block));
}

TEST(Kclz, SixteenLiteralsEmptyInputAndEqualCandidates)
{
    std::string data;
    for (int i = 0; i < 16; ++i) data += char(i * 17);
    // Two completed flag bytes and an all-zero third; 16 tokens and the closing zero.
    EXPECT_EQ(Block(3, 16, std::string(3, '\0'), data + '\0'), Kclz(data, 3));
    for (int mode = 0; mode < KCLZ_MODES; ++mode) {
        std::string empty = Kclz("", mode);
        EXPECT_EQ(Block(mode, 0, std::string(1, '\0'), std::string(1, '\0')), empty);
        uint8_t untouched = 0xAA;
        EXPECT_EQ(0u, kcLzDecompress(reinterpret_cast<const uint8_t*>(empty.data()), 30, &untouched, nullptr, nullptr));
        EXPECT_EQ(0xAA, untouched);
    }
    // "abc" "X" (abc at distance 4) "Y" (abc at distance 8, the older of two equal candidates).
    EXPECT_EQ(Block(0, 11, "\x50", "abcX" + Token(3u << 3) + "Y" + Token(7u << 3) + '\0'), Kclz("abcXabcYabc", 0));
}

TEST(Kclz, LongestMatchPerModeAndRoundTrips)
{
    for (int mode = 0; mode < KCLZ_MODES; ++mode) {
        unsigned lengthBits = kcLzLengthBits(mode), longest = (1u << lengthBits) + 2;
        std::string run(1 + longest, 'z');
        EXPECT_EQ(Block(mode, 1 + longest, "\x02", "z" + Token((1u << lengthBits) - 1) + '\0'), Kclz(run, mode)) << mode;
    }
    std::string ramp;
    for (int i = 0; i < 5000; ++i) ramp += char(i % 251);
    for (const std::string& in : {std::string("\1"), std::string("\1\2"), std::string("\1\2\3"), std::string(3, '\x09'),
                                  std::string(70000, '\xEE'), Sample(20000, 1), Sample(60000, 7), ramp})
        for (int mode = 0; mode < KCLZ_MODES; ++mode) {
            std::string block = Kclz(in, mode);
            ASSERT_FALSE(block.empty()) << "measuring and writing disagree";
            EXPECT_TRUE(in == Unpack(block)) << in.size() << " mode " << mode;
        }
}

TEST(Kclz, HandBuiltBlocksAndDamage)
{
    // Mode 2 has 5 length bits: 'a', 'b', then length 1 + 3 at distance 1 + 1.
    EXPECT_EQ("ababab", Unpack(Block(2, 6, "\x04", "ab" + Token(1u | 1u << 5) + '\0')));
    EXPECT_EQ("qqqqq", Unpack(Block(0, 5, "\x02", "q" + Token(7) + '\0'))); // a match cut at the raw length
    const std::string good = Block(0, 4, "\x02", "x" + Token(0) + '\0');
    EXPECT_EQ("xxxx", Unpack(good));
    struct Case {
        const char* what;
        std::string block;
        bool lengthOk; // the raw-length query alone still answers
    } cases[] = {
        {"reference before the start", Block(0, 4, "\x02", "x" + Token(1u << 3) + '\0'), true},
        {"too few tokens", Block(0, 4, std::string(1, '\0'), "x"), true},
        {"flags run out", Block(0, 9, std::string(1, '\0'), "123456789"), true},
        {"mode 5", Block(5, 4, "\x02", "x" + Token(0) + '\0'), false},
        {"signature", "KCLY" + good.substr(4), false},
        {"token area past the end", good.substr(0, 16) + Le32(0xF0) + good.substr(20), false},
        {"flag offset wraps", good.substr(0, 20) + Le32(0xFFFFFFFF) + good.substr(24), false},
        {"raw length beyond what the tokens give", good.substr(0, 8) + Le32(0x40000000) + good.substr(12), false},
        {"truncated header", good.substr(0, 20), false},
    };
    for (const Case& c : cases) {
        const uint8_t* b = reinterpret_cast<const uint8_t*>(c.block.data());
        uint8_t out[64];
        EXPECT_EQ(c.lengthOk, kcLzDecompress(b, unsigned(c.block.size()), nullptr, nullptr, nullptr) != 0) << c.what;
        EXPECT_EQ(0u, kcLzDecompress(b, unsigned(c.block.size()), out, nullptr, nullptr)) << c.what;
    }
    EXPECT_EQ(0u, kcLzDecompress(nullptr, 100, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, kcLzCompress(reinterpret_cast<const uint8_t*>(good.data()), 4, nullptr, 5, nullptr, nullptr));
}

// KCF: the writer's choices (the header layout and round trips run in FormatsTest).
TEST(Kcf, WriterClearsTransparentColoursAndPicksTheSmallestMode)
{
    kcImageKcf image, back;
    Paint(&image, 2, 1, 4);
    image.PixelAt(1, 0)[3] = 0;
    std::string file = Saved(image);
    MemoryBlock in = View(file);
    ASSERT_TRUE(back.Load(&in, 0));
    EXPECT_EQ(Ints({0, 0, 0, 0}), Px(back, 1, 0));
    EXPECT_NE(0, back.PixelAt(0, 0)[0]);

    // One pixel: every mode measures alike and mode 0 wins; a long run favours mode 4.
    kcImageKcf tiny, runs;
    Paint(&tiny, 1, 1, 4, "\x5A\x5A\x5A\x5A");
    EXPECT_EQ(0u, At32(Saved(tiny), 16));
    Paint(&runs, 64, 16, 4, std::string(4096, '\xFF'));
    file = Saved(runs);
    EXPECT_EQ(4u, At32(file, 16));
    EXPECT_EQ((12 + Kclz(std::string(4096, '\xFF'), 4).size() + 7) / 8 * 8, file.size());

    // An owned destination is replaced; its old block goes back to the heap.
    MemoryBlock out;
    ASSERT_NE(nullptr, out.Allocate(100));
    int live = kcHeapLiveBlocks();
    ASSERT_TRUE(tiny.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(live, kcHeapLiveBlocks());
    out.Free();
}
