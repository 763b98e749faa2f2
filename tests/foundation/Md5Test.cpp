#include "kcMd5.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string Hex(const unsigned char* d)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 16; ++i) {
        s += digits[d[i] >> 4];
        s += digits[d[i] & 15];
    }
    return s;
}

std::string Digest(kcMd5& md5)
{
    unsigned char out[16];
    EXPECT_EQ(16, md5.Final(out, sizeof(out)));
    return Hex(out);
}

struct Vector {
    const char* message;
    const char* digest;
};

// The test suite of RFC 1321, appendix A.5.
const Vector kRfc[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

} // namespace

TEST(Md5, Rfc1321SuiteWholeAndInEveryPieceSize)
{
    for (const Vector& v : kRfc) {
        std::string m = v.message;
        kcMd5 whole;
        whole.Update(m.data(), (unsigned)m.size());
        EXPECT_EQ(v.digest, Digest(whole)) << m;
        // The same message cut into pieces of every size, crossing block boundaries unevenly.
        for (size_t piece = 1; piece <= 70; ++piece) {
            kcMd5 md5;
            for (size_t at = 0; at < m.size(); at += piece)
                md5.Update(m.data() + at, (unsigned)std::min(piece, m.size() - at));
            ASSERT_EQ(v.digest, Digest(md5)) << m << " in pieces of " << piece;
        }
    }
}

TEST(Md5, LengthsAroundThePaddingBoundaries)
{
    // Known digests of runs of 'a' whose lengths straddle 56 and 64 bytes.
    const struct {
        size_t length;
        const char* digest;
    } kRuns[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},
        {56, "3b0c8ac703f828b04c6c197006d17218"},
        {57, "652b906d60af96844ebd21b674f35e93"},
        {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},
        {1000, "cabe45dcc9ae5b66ba86600cca6b8ba8"},
    };
    for (const auto& r : kRuns) {
        std::string m(r.length, 'a');
        kcMd5 md5;
        md5.Update(m.data(), 7 < m.size() ? 7 : (unsigned)m.size());
        if (m.size() > 7)
            md5.Update(m.data() + 7, (unsigned)m.size() - 7);
        EXPECT_EQ(r.digest, Digest(md5)) << r.length;
    }
}

TEST(Md5, FinalRefusesShortBufferAndWipesAfterwards)
{
    kcMd5 md5;
    md5.Update("a", 1);
    md5.Update("b", 1);
    md5.Update("c", 1);
    unsigned char small[15] = {};
    EXPECT_EQ(0, md5.Final(small, sizeof(small)));
    EXPECT_EQ(0, md5.Final(nullptr, 16));
    EXPECT_EQ(std::vector<unsigned char>(15, 0), std::vector<unsigned char>(small, small + 15));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Digest(md5));

    // Without Reset the object digests from the all-zero state it was wiped to.
    EXPECT_EQ("b0e641c998cc3eae6fa2f8726d98cddd", Digest(md5));
    md5.Reset();
    md5.Update("abc", 3);
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Digest(md5));
}
