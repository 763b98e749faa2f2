#include "foundation/kcString.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>

namespace {

std::string Bytes(const char* s) { return std::string(s); }

// "日本語テキスト" in three encodings.
const wchar_t kJapaneseW[] = L"日本語テキスト";
const char kJapaneseUtf8[] = u8"日本語テキスト";

} // namespace

TEST(StringConv, Utf8RoundTripOfJapaneseAndAscii)
{
    wchar_t w[64];
    char u[64];
    EXPECT_EQ(w, kcUtf8ToWide(kJapaneseUtf8, w));
    EXPECT_STREQ(kJapaneseW, w);
    EXPECT_EQ(0, kcWideToUtf8(kJapaneseW, u));
    EXPECT_EQ(Bytes(kJapaneseUtf8), Bytes(u));

    kcUtf8ToWide("abc", w);
    EXPECT_STREQ(L"abc", w);
    kcWideToUtf8(L"", u);
    EXPECT_STREQ("", u);
}

TEST(StringConv, SupplementaryCharactersSurviveAsSurrogatePairs)
{
    // U+20BB7 (a name character outside the BMP): F0 A0 AE B7 <-> D842 DFB7.
    const char utf8[] = "\xF0\xA0\xAE\xB7x";
    wchar_t w[8];
    kcUtf8ToWide(utf8, w);
    EXPECT_EQ(0xD842, w[0]);
    EXPECT_EQ(0xDFB7, w[1]);
    EXPECT_EQ(L'x', w[2]);
    EXPECT_EQ(0, w[3]);
    char u[16];
    kcWideToUtf8(w, u);
    EXPECT_EQ(Bytes(utf8), Bytes(u));
}

TEST(StringConv, LoneSurrogatesAndMalformedSequencesBecomeReplacement)
{
    char u[16];
    const wchar_t lone[] = {0xD800, L'a', 0xDC00, 0};
    kcWideToUtf8(lone, u);
    EXPECT_EQ(Bytes("\xEF\xBF\xBD" "a" "\xEF\xBF\xBD"), Bytes(u));

    struct Case {
        const char* utf8;
        wchar_t first;
    } cases[] = {
        {"\xC0\x80", 0xFFFD},         // overlong NUL
        {"\xED\xA0\x80", 0xFFFD},     // encoded surrogate
        {"\xF4\x90\x80\x80", 0xFFFD}, // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", 0xFFFD}, // five bytes
        {"\xEF\xBF\xBF", 0xFFFF},     // the standard form still reads
    };
    for (const Case& c : cases) {
        wchar_t w[8];
        kcUtf8ToWide(c.utf8, w);
        EXPECT_EQ(c.first, w[0]) << c.utf8;
        EXPECT_EQ(0, w[1]);
    }
}

TEST(StringConv, ReservedFormOfFFFFRoundTrips)
{
    const wchar_t w[] = {L'a', 0xFFFF, L'b', 0};
    char u[16];
    kcWideToUtf8(w, u);
    EXPECT_EQ(Bytes("a\xFF\xFF" "b"), Bytes(u));
    wchar_t back[8];
    kcUtf8ToWide(u, back);
    EXPECT_EQ(0, memcmp(w, back, sizeof w));
}

TEST(StringConv, Utf8ToWideStopsAtUnusableLeadByte)
{
    wchar_t w[8];
    kcUtf8ToWide("ab\x80" "cd", w);
    EXPECT_STREQ(L"ab", w);
    kcUtf8ToWide("a\xE3\x81" "A", w); // truncated sequence: -3
    EXPECT_STREQ(L"a", w);
    kcUtf8ToWide("a\xFE", w);
    EXPECT_STREQ(L"a", w);
}

TEST(StringConv, SizedUtf8FormsCutOnCharacterBoundaries)
{
    // "日本" is 6 UTF-8 bytes: exact fit is 7.
    char u[8];
    memset(u, 'X', sizeof u);
    EXPECT_EQ(7, kcWideToUtf8N(L"日本", u, 7));
    EXPECT_EQ(Bytes(u8"日本"), Bytes(u));
    memset(u, 'X', sizeof u);
    EXPECT_EQ(0, kcWideToUtf8N(L"日本", u, 6));
    EXPECT_EQ(Bytes(u8"日"), Bytes(u));
    EXPECT_EQ('X', u[4]);

    // A surrogate pair is never split.
    wchar_t w[4];
    const wchar_t pair[] = {0xD842, 0xDFB7, 0};
    wmemset(w, L'X', 4);
    EXPECT_EQ(3, kcUtf8ToWideN("\xF0\xA0\xAE\xB7", w, 3));
    EXPECT_EQ(0, memcmp(pair, w, sizeof pair));
    wmemset(w, L'X', 4);
    EXPECT_EQ(0, kcUtf8ToWideN("a\xF0\xA0\xAE\xB7", w, 3));
    EXPECT_STREQ(L"a", w);
    EXPECT_EQ(0, kcWideToUtf8N(pair, u, 4));
    EXPECT_STREQ("", u);
}

TEST(StringConv, SjisWideBothWays)
{
    std::string sjis = Sjis(u8"日本語テキスト");
    wchar_t w[64];
    EXPECT_EQ(8, kcSjisToWide(w, sjis.c_str()));
    EXPECT_STREQ(kJapaneseW, w);
    char s[64];
    EXPECT_EQ(15, kcWideToSjis(s, kJapaneseW));
    EXPECT_EQ(sjis, Bytes(s));
    // Narrow literals of the library are Shift_JIS already.
    EXPECT_EQ(sjis, Bytes("日本語テキスト"));
    // Half-width katakana is one byte.
    EXPECT_EQ(2, kcWideToSjis(s, L"ｱ"));
    EXPECT_EQ(Bytes("\xB1"), Bytes(s));
}

TEST(StringConv, SizedSjisFormsExactFitAndCut)
{
    char s[8];
    memset(s, 'X', sizeof s);
    EXPECT_EQ(5, kcWideToSjisN(s, 5, L"日本"));
    EXPECT_EQ(Bytes("日本"), Bytes(s));
    memset(s, 'X', sizeof s);
    EXPECT_EQ(0, kcWideToSjisN(s, 4, L"日本"));
    EXPECT_EQ(Bytes("日"), Bytes(s));
    EXPECT_EQ('X', s[4]);

    wchar_t w[4];
    EXPECT_EQ(3, kcSjisToWideN(w, 3, "日本"));
    EXPECT_STREQ(L"日本", w);
    wmemset(w, L'X', 4);
    EXPECT_EQ(0, kcSjisToWideN(w, 2, "日本"));
    EXPECT_STREQ(L"日", w);
    EXPECT_EQ(L'X', w[2]);
}

TEST(StringConv, SjisToUtf8WritesOnlyWhatFits)
{
    // 300 characters of 2-byte Shift_JIS: 900 bytes of UTF-8 plus the terminator.
    std::string sjis;
    std::string utf8;
    for (int i = 0; i < 300; i++) {
        sjis += "あ";
        utf8 += u8"あ";
    }
    std::string dst(901, 'X');
    EXPECT_EQ(901, kcSjisToUtf8(sjis.c_str(), &dst[0], 901));
    EXPECT_EQ(utf8, std::string(dst.c_str()));

    std::string small(900, 'X');
    EXPECT_EQ(0, kcSjisToUtf8(sjis.c_str(), &small[0], 900));
    EXPECT_EQ(std::string(900, 'X'), small);

    char back[1024];
    EXPECT_EQ(601, kcUtf8ToSjis(utf8.c_str(), back, 601));
    EXPECT_EQ(sjis, Bytes(back));
    memset(back, 'X', sizeof back);
    EXPECT_EQ(0, kcUtf8ToSjis(utf8.c_str(), back, 600));
    EXPECT_EQ('X', back[0]);

    // Over 4096 UTF-16 units: nothing is written whatever the room.
    std::string huge(5000, 'a');
    std::string out(8000, 'X');
    EXPECT_EQ(0, kcSjisToUtf8(huge.c_str(), &out[0], 8000));
    EXPECT_EQ('X', out[0]);
}

TEST(StringConv, Utf8ToSjisUsesDefaultCharacterForMissingOnes)
{
    char s[16];
    ASSERT_GT(kcUtf8ToSjis("a\xE2\x82\xAC" "b", s, 16), 0); // the euro sign is not in code page 932
    EXPECT_EQ('a', s[0]);
    EXPECT_NE(0, s[1]);
    EXPECT_EQ('b', s[strlen(s) - 1]);
}

TEST(StringConv, SjisToUtf8StringLimits)
{
    std::string s = "表示";
    kcSjisToUtf8String(s);
    EXPECT_EQ(Bytes(u8"表示"), s);

    std::string over(4001, 'a');
    kcSjisToUtf8String(over);
    EXPECT_TRUE(over.empty());

    std::string edge(4000, 'a');
    kcSjisToUtf8String(edge);
    EXPECT_EQ(std::string(4000, 'a'), edge);

    // 2000 half-width katakana: 2000 bytes that need 6000 bytes of UTF-8; converted whole.
    std::string kana(2000, '\xB1');
    kcSjisToUtf8String(kana);
    ASSERT_EQ(6000u, kana.size());
    EXPECT_EQ(Bytes(u8"ｱ"), kana.substr(5997));
}
