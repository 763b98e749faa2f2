#include "kcProtect.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<uint8_t> Hex(const char* text)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2) out.push_back((uint8_t)std::stoul(std::string(text + i, 2), nullptr, 16));
    return out;
}

// Published vectors are big-endian halves; the engine reads each half little-endian.
std::vector<uint8_t> SwapHalves(std::vector<uint8_t> block)
{
    for (size_t i = 0; i + 4 <= block.size(); i += 4) {
        std::swap(block[i], block[i + 3]);
        std::swap(block[i + 1], block[i + 2]);
    }
    return block;
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// From Eric Young's ECB set.
const Vector kEcb[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

// The same set's variable key lengths: prefixes of one 24-byte key, one plain block.
const char* const kSetKeyCipher[] = {
    "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
    "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
    "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
    "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
    "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
    "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
};

void ExpectVector(const std::vector<uint8_t>& key, const char* plainHex, const char* cipherHex)
{
    kcProtect protect;
    ASSERT_EQ(1, protect.SetKey(key.data(), (int)key.size()));
    std::vector<uint8_t> plain = SwapHalves(Hex(plainHex)), cipher = SwapHalves(Hex(cipherHex));
    uint8_t out[8] = {};
    ASSERT_EQ(8, protect.Encrypt(out, plain.data(), 8));
    EXPECT_EQ(0, std::memcmp(out, cipher.data(), 8)) << "key " << key.size() << " plain " << plainHex << " cipher " << cipherHex;
    ASSERT_EQ(8, protect.Decrypt(out, out, 8));
    EXPECT_EQ(0, std::memcmp(out, plain.data(), 8)) << "key " << key.size() << " plain " << plainHex;
}
} // namespace

TEST(Blowfish, InitialTablesAreTheHexDigitsOfPi)
{
    const uint32_t* pi = kcBlowfish::PiWords();
    EXPECT_EQ(0x243F6A88u, pi[0]);
    EXPECT_EQ(0x85A308D3u, pi[1]);
    EXPECT_EQ(0x8979FB1Bu, pi[17]);      // last P word
    EXPECT_EQ(0xD1310BA6u, pi[18]);      // S1[0]
    EXPECT_EQ(0x3AC372E6u, pi[18 + 1023]); // S4[255]
}

TEST(Blowfish, PublishedEcbVectors)
{
    for (const Vector& v : kEcb) ExpectVector(Hex(v.key), v.plain, v.cipher);
}

TEST(Blowfish, PublishedVariableKeyLengthVectors)
{
    std::vector<uint8_t> full = Hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    for (size_t n = 1; n <= full.size(); n++)
        ExpectVector(std::vector<uint8_t>(full.begin(), full.begin() + n), "FEDCBA9876543210", kSetKeyCipher[n - 1]);
}

TEST(Blowfish, SchneierTextKeys)
{
    const char* alphabet = "abcdefghijklmnopqrstuvwxyz";
    ExpectVector(std::vector<uint8_t>(alphabet, alphabet + 26), "424C4F5746495348", "324ED0FEF413A203");
    const char* galt = "Who is John Galt?";
    ExpectVector(std::vector<uint8_t>(galt, galt + 17), "FEDCBA9876543210", "CC91732B8022F684");
}

TEST(Protect, BuffersRoundTripInPlaceAndApartBlockByBlock)
{
    kcProtect protect;
    const char key[] = "secret";
    ASSERT_EQ(1, protect.SetKey(key, 6));
    uint8_t plain[32], apart[32], inPlace[32];
    for (int i = 0; i < 32; i++) plain[i] = (uint8_t)(i * 7 + 1);
    std::memcpy(inPlace, plain, 32);
    ASSERT_EQ(32, protect.Encrypt(apart, plain, 32));
    ASSERT_EQ(32, protect.Encrypt(inPlace, inPlace, 32));
    EXPECT_EQ(0, std::memcmp(apart, inPlace, 32));
    // ECB: each block on its own, so a block enciphers the same wherever it stands.
    uint8_t single[8];
    ASSERT_EQ(8, protect.Encrypt(single, plain + 16, 8));
    EXPECT_EQ(0, std::memcmp(single, apart + 16, 8));
    ASSERT_EQ(32, protect.Decrypt(inPlace, inPlace, 32));
    EXPECT_EQ(0, std::memcmp(plain, inPlace, 32));
}

TEST(Protect, RekeyingStartsAgainFromPi)
{
    kcProtect a, b;
    ASSERT_EQ(1, a.SetKey("first key", 9));
    ASSERT_EQ(1, a.SetKey("second", 6));
    ASSERT_EQ(1, b.SetKey("second", 6));
    uint8_t in[8] = {1, 2, 3, 4, 5, 6, 7, 8}, outA[8], outB[8];
    a.Encrypt(outA, in, 8);
    b.Encrypt(outB, in, 8);
    EXPECT_EQ(0, std::memcmp(outA, outB, 8));
}

TEST(Protect, RefusesBadArguments)
{
    LogCapture log;
    kcProtect protect;
    uint8_t src[16] = {}, dst[16];
    std::memset(dst, 0xAB, sizeof dst);
    EXPECT_EQ(0, protect.Encrypt(dst, src, 16)); // no key yet
    EXPECT_EQ(0, protect.SetKey("k", 0));
    EXPECT_EQ(0, protect.SetKey(nullptr, 4));
    EXPECT_EQ(0, protect.Decrypt(dst, src, 8)); // still no key
    ASSERT_EQ(1, protect.SetKey("k", 1));
    EXPECT_EQ(0, protect.SetKey("", 0));
    EXPECT_EQ(8, protect.Encrypt(dst, src, 8)); // refused key left the old one
    std::memset(dst, 0xAB, sizeof dst);
    log.Clear();
    EXPECT_EQ(0, protect.Decrypt(dst, src, 12));
    EXPECT_TRUE(log.Contains(Sjis(u8"kcProtect : データサイズは8バイト単位である必要があります")));
    for (uint8_t b : dst) EXPECT_EQ(0xAB, b);
    EXPECT_EQ(0, protect.Decrypt(nullptr, src, 8));
    EXPECT_EQ(0, protect.Encrypt(dst, nullptr, 8));
    EXPECT_EQ(0, protect.Encrypt(dst, src, 0));
    EXPECT_EQ(0, protect.Encrypt(dst, src, -8));
}
