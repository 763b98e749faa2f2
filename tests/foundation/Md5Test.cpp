#include "foundation/kcMd5.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>

namespace {
std::string Digest(kcMd5& md5)
{
    unsigned char d[16];
    EXPECT_EQ(16, md5.Final(d, sizeof(d)));
    std::string s;
    for (unsigned char b : d) s += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    return s;
}
} // namespace

TEST(Md5, Rfc1321SuiteAndPaddingEdgesInEveryPieceSize)
{
    const struct {
        std::string message;
        const char* digest;
    } vectors[] = {
        // The test suite of RFC 1321, appendix A.5.
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // Runs of 'a' whose lengths straddle the 56- and 64-byte padding edges.
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    };
    for (const auto& v : vectors) {
        // Whole (piece 0), and cut into pieces of every size, crossing block edges unevenly.
        for (size_t piece = 0; piece <= 70; ++piece) {
            const std::string& m = v.message;
            size_t step = piece ? piece : m.size() + 1;
            kcMd5 md5;
            for (size_t at = 0; at < m.size(); at += step) md5.Update(m.data() + at, (unsigned)std::min(step, m.size() - at));
            ASSERT_EQ(v.digest, Digest(md5)) << m.size() << " bytes in pieces of " << piece;
        }
    }
}

TEST(Md5, FinalRefusesShortBufferAndWipesAfterwards)
{
    kcMd5 md5;
    md5.Update("ab", 2);
    md5.Update("c", 1);
    unsigned char small[15] = {};
    EXPECT_EQ(0, md5.Final(small, sizeof(small)));
    EXPECT_EQ(0, md5.Final(nullptr, 16));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Digest(md5));
    EXPECT_EQ("b0e641c998cc3eae6fa2f8726d98cddd", Digest(md5)); // without Reset: from the wiped state
    md5.Reset();
    md5.Update("abc", 3);
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Digest(md5));
}
