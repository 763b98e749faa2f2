#include "foundation/kcProtect.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {
typedef std::vector<uint8_t> Bytes;
Bytes Hex(const char* text)
{
    Bytes out;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2) out.push_back((uint8_t)std::stoul(std::string(text + i, 2), nullptr, 16));
    return out;
}

// Published vectors are big-endian halves; the engine reads each half little-endian.
Bytes SwapHalves(Bytes block)
{
    for (size_t i = 0; i + 4 <= block.size(); i += 4) std::reverse(block.begin() + i, block.begin() + i + 4);
    return block;
}

void ExpectVector(const Bytes& key, const char* plainHex, const char* cipherHex)
{
    kcProtect protect;
    ASSERT_EQ(1, protect.SetKey(key.data(), (int)key.size()));
    Bytes plain = SwapHalves(Hex(plainHex)), out(8);
    ASSERT_EQ(8, protect.Encrypt(out.data(), plain.data(), 8));
    EXPECT_EQ(SwapHalves(Hex(cipherHex)), out) << "key " << key.size() << " plain " << plainHex;
    ASSERT_EQ(8, protect.Decrypt(out.data(), out.data(), 8));
    EXPECT_EQ(plain, out) << "key " << key.size() << " plain " << plainHex;
}
} // namespace

TEST(Blowfish, InitialTablesAreTheHexDigitsOfPi)
{
    const uint32_t* pi = kcBlowfish::PiWords();
    EXPECT_EQ(0x243F6A88u, pi[0]);
    EXPECT_EQ(0x8979FB1Bu, pi[17]);        // last P word
    EXPECT_EQ(0xD1310BA6u, pi[18]);        // S1[0]
    EXPECT_EQ(0x3AC372E6u, pi[18 + 1023]); // S4[255]
}

TEST(Blowfish, PublishedVectors)
{
    // Eric Young's ECB set (a selection).
    const struct {
        const char *key, *plain, *cipher;
    } ecb[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
        {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    };
    for (const auto& v : ecb) ExpectVector(Hex(v.key), v.plain, v.cipher);
    // The same set's variable key lengths: prefixes of one 24-byte key, one plain block.
    const Bytes full = Hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const struct {
        size_t length;
        const char* cipher;
    } lengths[] = {{1, "F9AD597C49DB005E"}, {2, "E91D21C1D961A6D6"}, {8, "E87A244E2CC85E82"},
                   {16, "93142887EE3BE15C"}, {17, "03429E838CE2D14B"}, {24, "05044B62FA52D080"}};
    for (const auto& v : lengths) ExpectVector(Bytes(full.begin(), full.begin() + v.length), "FEDCBA9876543210", v.cipher);
    const char* galt = "Who is John Galt?"; // Schneier's text key
    ExpectVector(Bytes(galt, galt + 17), "FEDCBA9876543210", "CC91732B8022F684");
}

TEST(Protect, BlocksInPlaceApartAndRekeyed)
{
    kcProtect protect, again;
    ASSERT_EQ(1, protect.SetKey("first key", 9));
    ASSERT_EQ(1, protect.SetKey("secret", 6)); // rekeying starts again from pi
    ASSERT_EQ(1, again.SetKey("secret", 6));
    uint8_t plain[32], apart[32], inPlace[32], single[8];
    for (int i = 0; i < 32; i++) plain[i] = (uint8_t)(i * 7 + 1);
    std::memcpy(inPlace, plain, 32);
    ASSERT_EQ(32, protect.Encrypt(apart, plain, 32));
    ASSERT_EQ(32, again.Encrypt(inPlace, inPlace, 32));
    EXPECT_EQ(0, std::memcmp(apart, inPlace, 32));
    ASSERT_EQ(8, protect.Encrypt(single, plain + 16, 8)); // ECB: each block on its own
    EXPECT_EQ(0, std::memcmp(single, apart + 16, 8));
    ASSERT_EQ(32, protect.Decrypt(inPlace, inPlace, 32));
    EXPECT_EQ(0, std::memcmp(plain, inPlace, 32));
}

TEST(Protect, RefusesBadArguments)
{
    LogCapture log;
    kcProtect protect;
    uint8_t src[16] = {}, dst[16];
    EXPECT_EQ(0, protect.Encrypt(dst, src, 16)); // no key yet
    EXPECT_EQ(0, protect.SetKey("k", 0));       // an empty key is refused
    EXPECT_EQ(0, protect.SetKey(nullptr, 4));
    EXPECT_EQ(0, protect.Decrypt(dst, src, 8));
    ASSERT_EQ(1, protect.SetKey("k", 1));
    EXPECT_EQ(0, protect.SetKey("", 0));
    EXPECT_EQ(8, protect.Encrypt(dst, src, 8)); // the refused key left the old one
    std::memset(dst, 0xAB, sizeof dst);
    EXPECT_EQ(0, protect.Decrypt(dst, src, 12));
    EXPECT_TRUE(log.Contains(Sjis(u8"kcProtect : データサイズは8バイト単位である必要があります")));
    EXPECT_EQ(std::vector<uint8_t>(16, 0xAB), std::vector<uint8_t>(dst, dst + 16));
    EXPECT_EQ(0, protect.Decrypt(nullptr, src, 8));
    EXPECT_EQ(0, protect.Encrypt(dst, src, -8));
}
