#include "foundation/kcString.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

TEST(String, MemCopyZeroAndCompareWithAndWithoutMmx)
{
    // Sizes that take each road (multiples of 8, of 4 only, odd), unaligned on purpose.
    for (int mmx = 0; mmx < 2; mmx++) {
        kcMemSetMmx(mmx);
        for (unsigned bytes : {0u, 1u, 3u, 4u, 8u, 12u, 1001u}) {
            std::vector<unsigned char> src(bytes + 8), dst(bytes + 8, 0xEE);
            for (unsigned i = 0; i < src.size(); i++) src[i] = (unsigned char)(i * 7 + 1);
            kcMemCopy(dst.data() + 1, src.data() + 1, bytes);
            EXPECT_EQ(0, kcMemCompare(dst.data() + 1, src.data() + 1, bytes)) << bytes;
            EXPECT_EQ(0xEE, dst[bytes + 1]) << "copied past the end: " << bytes;
            kcMemZero(dst.data() + 1, bytes);
            EXPECT_EQ(std::vector<unsigned char>(bytes, 0), std::vector<unsigned char>(&dst[1], &dst[1 + bytes]));
            EXPECT_EQ(0xEE, dst[bytes + 1]);
        }
    }
    kcMemSetMmx(0);
    kcMemCopy(nullptr, "x", 1); // nothing happens
    unsigned char a[] = {1, 0x80, 3}, b[] = {1, 0x01, 9};
    EXPECT_EQ(0x7F, kcMemCompare(a, b, 3)); // unsigned bytes
    EXPECT_EQ(-0x7F, kcMemCompare(b, a, 3));
}

TEST(String, FindCharAndString)
{
    EXPECT_EQ(1, kcFindCharA("a表", 0x955C));      // the pair
    EXPECT_EQ(2, kcFindCharA("a表", '\\'));        // not double-byte aware
    EXPECT_EQ(-1, kcFindCharA(nullptr, 'a'));
    EXPECT_EQ(1, kcFindCharW(L"日本", L'本'));
    EXPECT_EQ(1, kcFindStringW(L"abc", L"bc"));
    EXPECT_EQ(0, kcFindStringW(L"abc", L""));
    EXPECT_EQ(-1, kcFindStringW(L"", L""));
    EXPECT_EQ(-1, kcFindStringW(nullptr, L"a"));
    EXPECT_EQ(3, kcFindStringA("aababc", "abc"));
}

TEST(String, ReplaceAll)
{
    const struct {
        const wchar_t *text, *find, *rep, *expect;
    } cases[] = {
        {L"a\\nb\\n", L"\\n", L"\r\n", L"a\r\nb\r\n"},
        {L"aaa", L"aa", L"b", L"ba"}, // left to right, not overlapping
        {L"abc", L"", L"X", L"abc"},  // an empty search changes nothing
        {L"abab", L"ab", L"", L""},
        {L"", L"a", L"b", L""},
    };
    for (const auto& c : cases) {
        wchar_t out[64];
        EXPECT_EQ((int)wcslen(c.expect), kcReplaceAllW(out, c.text, c.find, c.rep)) << c.text;
        EXPECT_STREQ(c.expect, out) << c.text;
    }
    char a[64] = "a-b-c"; // in place, with a longer replacement
    EXPECT_EQ(9, kcReplaceAllA(a, a, "-", "<->"));
    EXPECT_STREQ("a<->b<->c", a);
    // Sized: cut on a character boundary and reported.
    char s[6];
    memset(s, 'X', sizeof s);
    EXPECT_EQ(-1, kcReplaceAllAN(s, 5, "x-y", "-", "日本"));
    EXPECT_STREQ("x日", s);
    EXPECT_EQ('X', s[5]);
    EXPECT_EQ(4, kcReplaceAllAN(s, 6, "x-y", "-", "日"));
    wchar_t w[4];
    EXPECT_EQ(-1, kcReplaceAllWN(w, 4, L"abcdef", L"c", L"C"));
    EXPECT_STREQ(L"abC", w);
    EXPECT_EQ(3, kcReplaceAllWN(w, 4, L"abc", L"", L"C"));
}

TEST(String, CaseChangesOnlyAsciiLetters)
{
    wchar_t w[] = L"日A\x00E9 Z", u[] = L"\x00E9" L"az日";
    EXPECT_EQ(5, kcToLowerW(w));
    EXPECT_STREQ(L"日a\x00E9 z", w);
    EXPECT_EQ(4, kcToUpperW(u));
    EXPECT_STREQ(L"\x00E9" L"AZ日", u);
    char a[] = "ア\x82\x60" "B"; // trail bytes 0x41 ('A') and 0x60 stay
    EXPECT_EQ(5, kcToLowerA(a));
    EXPECT_STREQ("ア\x82\x60" "b", a);
}

TEST(String, ParseNumbers)
{
    // text -> kcParseInt; kcParseIntEx: result, end, value (-7: untouched)
    const struct {
        const char* text;
        int value, ok, end, exValue;
    } ints[] = {
        {"0x1F", 31, 1, 4, 31},       {"-0x10", -16, 1, 5, -16}, {"+7", 7, 1, 2, 7},
        {"0XfF", 255, 1, 4, 255},     {"42abc", 42, 1, 2, 42},   {"12.5", 0, 0, 2, 12}, // end at '.', no sign
        {"-12.5", 0, 0, 3, 12},       {"x1", 0, 0, -7, -7},      {"", 0, 0, -7, -7},
        {"-", 0, 0, -7, -7},          {" 5", 0, 0, -7, -7},      {"4294967297", 1, 1, 10, 1},
        {"-2147483648", (int)0x80000000, 1, 11, (int)0x80000000},
    };
    for (const auto& c : ints) {
        std::wstring w(c.text, c.text + strlen(c.text));
        EXPECT_EQ(c.value, kcParseIntA(c.text)) << c.text;
        EXPECT_EQ(c.value, kcParseIntW(w.c_str())) << c.text;
        int end = -7, value = -7, endW = -7, valueW = -7;
        EXPECT_EQ(c.ok, kcParseIntExA(c.text, &end, &value)) << c.text;
        EXPECT_EQ(c.ok, kcParseIntExW(w.c_str(), &endW, &valueW)) << c.text;
        EXPECT_EQ(c.end, end) << c.text;
        EXPECT_EQ(c.exValue, value) << c.text;
        EXPECT_EQ(end, endW);
        EXPECT_EQ(value, valueW);
    }
    EXPECT_EQ(0, kcParseIntA(nullptr));

    const struct {
        const char* text;
        float value;
    } floats[] = {
        {"3.25f", 3.25f}, {"-2", -2.0f}, {".5", 0.0f},       {"-.5", -0.5f}, {"1e5", 1.0f},
        {"0.1", 0.1f},    {"7.", 7.0f},  {"12.5.6", 12.5f}, {"inf", 0.0f},
    };
    for (const auto& c : floats) EXPECT_EQ(c.value, kcParseFloat(c.text)) << c.text;
    EXPECT_EQ(0.0f, kcParseFloat(nullptr));
    EXPECT_EQ(25.5f, kcParseFloat((std::string(1500, '0') + "25.5").c_str()));
}

TEST(String, SizedCopiesKeepCharactersWhole)
{
    char a[8];
    memset(a, 'X', sizeof a);
    EXPECT_EQ(1, kcCopyStringAN(a, 5, "a日b"));
    EXPECT_STREQ("a日b", a);
    EXPECT_EQ(0, kcCopyStringAN(a, 4, "a日b"));
    EXPECT_STREQ("a日", a);
    EXPECT_EQ(0, kcCopyStringAN(a, 3, "a日b")); // the pair is not split
    EXPECT_STREQ("a", a);
    wchar_t w[8];
    const wchar_t pair[] = {L'a', 0xD842, 0xDFB7, 0};
    EXPECT_EQ(0, kcCopyStringWN(w, 3, pair));
    EXPECT_STREQ(L"a", w);
    EXPECT_EQ(1, kcCopyStringWN(w, 4, pair));
}

TEST(String, ShiftJisCharacters)
{
    EXPECT_EQ(1, kcIsSjisLead("表"));
    EXPECT_EQ(0, kcIsSjisLead("\x81"));     // a lead byte without trail
    EXPECT_EQ(0, kcIsSjisLead("\xF0\x40")); // lead bytes F0-FC are not taken
    EXPECT_EQ(0x955C, kcGetSjisChar("表"));
    EXPECT_EQ(0xB1, kcGetSjisChar("\xB1"));
    EXPECT_EQ(1, kcIsWideCharW(L"日"));
}

TEST(String, ReadLine)
{
    const char text[] = "a\rb\nc\r\n\nlast";
    const char* lines[] = {"a\rb", "c", "", "last"};
    const int ends[] = {4, 7, 8, 12};
    char out[16];
    int at = 0;
    for (int i = 0; i < 4; i++) {
        at += kcReadLine(text + at, out);
        EXPECT_STREQ(lines[i], out);
        EXPECT_EQ(ends[i], at);
    }
    // Sized: the line is cut before a UTF-8 character that does not fit; the offset is the same.
    memset(out, 'X', sizeof out);
    EXPECT_EQ(6, kcReadLineN(u8"aあb\nx", out, 5));
    EXPECT_STREQ("a", out);
    EXPECT_EQ('X', out[5]);
    EXPECT_EQ(6, kcReadLineN(u8"aあb\nx", out, 6));
    EXPECT_STREQ(u8"aあ", out);
}

TEST(String, Utf8CharLengthAndCopy)
{
    const struct {
        const char* bytes;
        int length;
    } cases[] = {
        {"\xE3\x81\x82", 3}, {"\xE3\x81\x41", -3}, {"\xC3\x41", -3},         {"\x80", -2},
        {"\xFE", -1},        {"a", 1},             {"\xF0\xA0\xAE\xB7", 4}, {"\xF8\x88\x80\x80\x80", 5},
        {"\xE3\x81", -3}, // cut by the terminator
    };
    for (const auto& c : cases) EXPECT_EQ(c.length, kcUtf8CharLength(c.bytes)) << c.bytes;

    char out[8] = "junk";
    kcCopyUtf8Char("\xE3\x81\x82z", out);
    EXPECT_STREQ("\xE3\x81\x82", out);
    kcCopyUtf8Char("\x80z", out);
    EXPECT_STREQ("", out);
    kcCopyUtf8CharN("\xE3\x81\x82", out, 3); // does not fit: empty
    EXPECT_STREQ("", out);
    kcCopyUtf8CharN("\xE3\x81\x82", out, 4);
    EXPECT_STREQ("\xE3\x81\x82", out);
}
