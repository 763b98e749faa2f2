#include "foundation/kcString.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>

TEST(StringConv, Utf8WideBothWays)
{
    // UTF-8 -> UTF-16 -> UTF-8: Japanese, a character above U+FFFF (a surrogate pair),
    // and U+FFFF in its reserved form.
    const struct {
        const char* utf8;
        std::wstring wide;
    } cases[] = {
        {u8"日本語テキスト", L"日本語テキスト"},
        {"\xF0\xA0\xAE\xB7x", {0xD842, 0xDFB7, L'x'}},
        {"a\xFF\xFF" "b", {L'a', 0xFFFF, L'b'}},
        {"", L""},
    };
    for (const auto& c : cases) {
        wchar_t w[64];
        char u[64];
        EXPECT_EQ(w, kcUtf8ToWide(c.utf8, w));
        EXPECT_EQ(c.wide, w);
        EXPECT_EQ(0, kcWideToUtf8(c.wide.c_str(), u));
        EXPECT_STREQ(c.utf8, u);
    }
    // Lone surrogates and malformed sequences become U+FFFD; the standard form of U+FFFF reads.
    char u[16];
    const wchar_t lone[] = {0xD800, L'a', 0xDC00, 0};
    kcWideToUtf8(lone, u);
    EXPECT_STREQ("\xEF\xBF\xBD" "a" "\xEF\xBF\xBD", u);
    const struct {
        const char* utf8;
        const wchar_t* wide;
    } reads[] = {
        {"\xC0\x80", L"\xFFFD"},             // overlong NUL
        {"\xED\xA0\x80", L"\xFFFD"},         // encoded surrogate
        {"\xF4\x90\x80\x80", L"\xFFFD"},     // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", L"\xFFFD"}, // five bytes
        {"\xEF\xBF\xBF", L"\xFFFF"},
        {"ab\x80" "cd", L"ab"},              // an unusable lead byte ends the text
        {"a\xE3\x81" "A", L"a"},             // a cut sequence too
        {"a\xFE", L"a"},
    };
    for (const auto& c : reads) {
        wchar_t w[8];
        kcUtf8ToWide(c.utf8, w);
        EXPECT_STREQ(c.wide, w) << c.utf8;
    }
}

TEST(StringConv, SizedUtf8FormsCutOnCharacterBoundaries)
{
    char u[8];
    memset(u, 'X', sizeof u);
    EXPECT_EQ(7, kcWideToUtf8N(L"日本", u, 7)); // exact fit
    EXPECT_STREQ(u8"日本", u);
    memset(u, 'X', sizeof u);
    EXPECT_EQ(0, kcWideToUtf8N(L"日本", u, 6));
    EXPECT_STREQ(u8"日", u);
    EXPECT_EQ('X', u[4]);
    // A surrogate pair is never split.
    const wchar_t pair[] = {0xD842, 0xDFB7, 0};
    wchar_t w[4];
    EXPECT_EQ(3, kcUtf8ToWideN("\xF0\xA0\xAE\xB7", w, 3));
    EXPECT_STREQ(pair, w);
    EXPECT_EQ(0, kcUtf8ToWideN("a\xF0\xA0\xAE\xB7", w, 3));
    EXPECT_STREQ(L"a", w);
    EXPECT_EQ(0, kcWideToUtf8N(pair, u, 4));
    EXPECT_STREQ("", u);
}

TEST(StringConv, ShiftJisBothWaysWithExactFitAndCut)
{
    std::string sjis = Sjis(u8"日本語テキスト");
    EXPECT_EQ(sjis, "日本語テキスト"); // narrow literals of the library are Shift_JIS already
    wchar_t w[64];
    char s[64];
    EXPECT_EQ(8, kcSjisToWide(w, sjis.c_str()));
    EXPECT_STREQ(L"日本語テキスト", w);
    EXPECT_EQ(15, kcWideToSjis(s, L"日本語テキスト"));
    EXPECT_EQ(sjis, s);
    EXPECT_EQ(2, kcWideToSjis(s, L"ｱ")); // half-width katakana is one byte
    EXPECT_STREQ("\xB1", s);

    memset(s, 'X', sizeof s);
    EXPECT_EQ(5, kcWideToSjisN(s, 5, L"日本"));
    EXPECT_STREQ("日本", s);
    memset(s, 'X', sizeof s);
    EXPECT_EQ(0, kcWideToSjisN(s, 4, L"日本"));
    EXPECT_STREQ("日", s);
    EXPECT_EQ('X', s[4]);
    EXPECT_EQ(3, kcSjisToWideN(w, 3, "日本"));
    EXPECT_STREQ(L"日本", w);
    wmemset(w, L'X', 4);
    EXPECT_EQ(0, kcSjisToWideN(w, 2, "日本"));
    EXPECT_STREQ(L"日", w);
    EXPECT_EQ(L'X', w[2]);
}

TEST(StringConv, ShiftJisUtf8WritesOnlyWhatFits)
{
    // 300 characters: 600 bytes of Shift_JIS, 900 of UTF-8, each plus the terminator.
    std::string sjis, utf8;
    for (int i = 0; i < 300; i++) sjis += "あ", utf8 += u8"あ";
    std::string dst(901, 'X');
    EXPECT_EQ(901, kcSjisToUtf8(sjis.c_str(), &dst[0], 901));
    EXPECT_EQ(utf8, dst.c_str());
    dst.assign(900, 'X');
    EXPECT_EQ(0, kcSjisToUtf8(sjis.c_str(), &dst[0], 900));
    EXPECT_EQ(std::string(900, 'X'), dst);
    EXPECT_EQ(601, kcUtf8ToSjis(utf8.c_str(), &dst[0], 601));
    EXPECT_EQ(sjis, dst.c_str());
    dst.assign(900, 'X');
    EXPECT_EQ(0, kcUtf8ToSjis(utf8.c_str(), &dst[0], 600));
    EXPECT_EQ('X', dst[0]);
    // Over 4096 UTF-16 units: nothing is written whatever the room.
    dst.assign(8000, 'X');
    EXPECT_EQ(0, kcSjisToUtf8(std::string(5000, 'a').c_str(), &dst[0], 8000));
    EXPECT_EQ('X', dst[0]);
    // The euro sign is not in code page 932: a default character stands in.
    char s[16];
    ASSERT_GT(kcUtf8ToSjis("a\xE2\x82\xAC" "b", s, 16), 0);
    EXPECT_EQ(3u, strlen(s));

    std::string text = "表示", over(4001, 'a'), edge(4000, 'a'), kana(2000, '\xB1');
    for (std::string* t : {&text, &over, &edge, &kana}) kcSjisToUtf8String(*t);
    EXPECT_EQ(u8"表示", text);
    EXPECT_EQ("", over); // more than 4000 bytes: emptied
    EXPECT_EQ(std::string(4000, 'a'), edge);
    ASSERT_EQ(6000u, kana.size()); // 2000 bytes that need 6000 of UTF-8: converted whole
    EXPECT_EQ(u8"ｱ", kana.substr(5997));
}

TEST(StringConv, WholeFormsTakeEveryByteOrNothing)
{
    const std::string sjis = Sjis(u8"テスト版");
    const struct {
        bool shiftJis;
        std::string bytes;
        int units;              // of the destination
        const wchar_t* expected; // null: refused, the destination untouched
        size_t stop;
    } cases[] = {
        {false, u8"C:\\ゲーム", 8, L"C:\\ゲーム", 12},
        {false, "\xF0\xA0\xAE\xB7", 3, L"\xD842\xDFB7", 4},
        {false, "\xEF\xBF\xBD", 2, L"\xFFFD", 3}, // U+FFFD written as itself is whole
        {false, "", 1, L"", 0},
        {false, u8"C:\\ゲーム", 6, nullptr, 9},  // one unit short
        {false, "\xF0\xA0\xAE\xB7", 2, nullptr, 0}, // a pair is never split
        {false, "C:\\\x80x", 8, nullptr, 3},
        {false, "ab\xC0\x80", 8, nullptr, 2},     // overlong
        {false, "a\xED\xA0\x80", 8, nullptr, 1},  // encoded surrogate
        {false, "a\xF4\x90\x80\x80", 8, nullptr, 1},
        {false, "a\xF8\x88\x80\x80\x80", 8, nullptr, 1},
        {false, "a\xFF\xFF", 8, nullptr, 1},      // U+FFFF's reserved form
        {false, "a\xE3\x81", 8, nullptr, 1},      // cut at the end
        {false, std::string("a\0b", 3), 8, nullptr, 1},
        {true, "C:\\" + sjis, 8, L"C:\\テスト版", 11},
        {true, "C:\\" + sjis, 7, nullptr, 9},
        {true, "a\x83", 8, nullptr, 1},           // a lead byte without its trail
        {true, std::string("a\x83\0", 3), 8, nullptr, 1},
    };
    for (const auto& c : cases) {
        wchar_t dst[8] = L"old";
        size_t stop = 99;
        bool whole = c.shiftJis ? kcSjisToWideWhole(c.bytes.data(), c.bytes.size(), dst, c.units, &stop)
                                : kcUtf8ToWideWhole(c.bytes.data(), c.bytes.size(), dst, c.units, &stop);
        EXPECT_EQ(c.expected != nullptr, whole) << c.bytes;
        EXPECT_STREQ(c.expected ? c.expected : L"old", dst) << c.bytes;
        EXPECT_EQ(c.stop, stop) << c.bytes;
    }
    // Narrow forms: well-formed UTF-8, and Shift_JIS only where code page 932 has every character.
    EXPECT_TRUE(kcUtf8IsWhole(u8"表", 3, nullptr));
    EXPECT_FALSE(kcUtf8IsWhole("\xE8\xA1", 2, nullptr));
    char out[8] = "old";
    EXPECT_FALSE(kcWideToSjisWhole(L"\x00FC", out, sizeof out)); // ü has no code page 932 form
    EXPECT_FALSE(kcWideToSjisWhole(L"表表表表", out, 8));
    EXPECT_STREQ("old", out);
    EXPECT_TRUE(kcWideToSjisWhole(L"表表表", out, 7));
    EXPECT_EQ(Sjis(u8"表表表"), out);
}
