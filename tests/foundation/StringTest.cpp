#include "foundation/kcString.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

TEST(String, MemCopyZeroAndCompareWithAndWithoutMmx)
{
    // Sizes that take each road: multiples of 8, of 4 only, and odd.
    for (int mmx = 0; mmx < 2; mmx++) {
        kcMemSetMmx(mmx);
        for (unsigned bytes : {0u, 1u, 3u, 4u, 8u, 12u, 64u, 1001u}) {
            std::vector<unsigned char> src(bytes + 8), dst(bytes + 8, 0xEE);
            for (unsigned i = 0; i < src.size(); i++) src[i] = (unsigned char)(i * 7 + 1);
            kcMemCopy(dst.data() + 1, src.data() + 1, bytes); // unaligned on purpose
            EXPECT_EQ(0, kcMemCompare(dst.data() + 1, src.data() + 1, bytes)) << bytes;
            EXPECT_EQ(0xEE, dst[0]);
            EXPECT_EQ(0xEE, dst[bytes + 1]) << "copied past the end: " << bytes;
            kcMemZero(dst.data() + 1, bytes);
            for (unsigned i = 1; i <= bytes; i++) ASSERT_EQ(0, dst[i]) << bytes;
            EXPECT_EQ(0xEE, dst[bytes + 1]);
        }
    }
    kcMemSetMmx(0);
    EXPECT_EQ(0, kcMemGetMmx());
    kcMemCopy(nullptr, "x", 1); // nothing happens
    kcMemCopy((void*)"", nullptr, 1);
    unsigned char a[] = {1, 0x80, 3}, b[] = {1, 0x01, 9};
    EXPECT_EQ(0x7F, kcMemCompare(a, b, 3)); // unsigned bytes
    EXPECT_EQ(-0x7F, kcMemCompare(b, a, 3));
    EXPECT_EQ(0, kcMemCompare(a, b, 1));
}

TEST(String, FindCharAndString)
{
    EXPECT_EQ(2, kcFindCharA("ab\xB1" "c", 0xB1)); // half-width katakana
    EXPECT_EQ(1, kcFindCharA("abc", 'b'));
    EXPECT_EQ(-1, kcFindCharA("abc", 'z'));
    EXPECT_EQ(1, kcFindCharA("a表", 0x955C)); // the pair
    EXPECT_EQ(2, kcFindCharA("a表", '\\'));   // not double-byte aware
    EXPECT_EQ(-1, kcFindCharA(nullptr, 'a'));
    EXPECT_EQ(1, kcFindCharW(L"日本", L'本'));
    EXPECT_EQ(-1, kcFindCharW(L"日本", L'a'));

    EXPECT_EQ(1, kcFindStringW(L"abc", L"bc"));
    EXPECT_EQ(-1, kcFindStringW(L"", L"bc"));
    EXPECT_EQ(-1, kcFindStringW(L"", L""));
    EXPECT_EQ(0, kcFindStringW(L"abc", L""));
    EXPECT_EQ(-1, kcFindStringW(nullptr, L"a"));
    EXPECT_EQ(-1, kcFindStringW(L"a", nullptr));
    EXPECT_EQ(-1, kcFindStringW(L"ab", L"abc"));
    EXPECT_EQ(3, kcFindStringA("aababc", "abc"));
    EXPECT_EQ(-1, kcFindStringA("abc", "abd"));
}

TEST(String, ReplaceAll)
{
    struct Case {
        const wchar_t *text, *find, *rep, *expect;
    } cases[] = {
        {L"a\\nb\\n", L"\\n", L"\r\n", L"a\r\nb\r\n"},
        {L"aaa", L"aa", L"b", L"ba"},             // left to right, not overlapping
        {L"%LANG%/x", L"%LANG%", L"jp", L"jp/x"},
        {L"abc", L"", L"X", L"abc"},              // an empty search changes nothing
        {L"abc", L"z", L"X", L"abc"},
        {L"abab", L"ab", L"", L""},
        {L"", L"a", L"b", L""},
    };
    for (const Case& c : cases) {
        wchar_t out[64];
        EXPECT_EQ((int)wcslen(c.expect), kcReplaceAllW(out, c.text, c.find, c.rep)) << c.text;
        EXPECT_STREQ(c.expect, out) << c.text;
    }
    char a[64];
    EXPECT_EQ(8, kcReplaceAllA(a, "%LANG%.txt", "%LANG%", "日本"));
    EXPECT_STREQ("日本.txt", a);
    // In place, with a replacement longer than the text found.
    strcpy(a, "a-b-c");
    EXPECT_EQ(9, kcReplaceAllA(a, a, "-", "<->"));
    EXPECT_STREQ("a<->b<->c", a);

    // Sized: cut on a character boundary and reported.
    char s[6];
    memset(s, 'X', sizeof s);
    EXPECT_EQ(-1, kcReplaceAllAN(s, 5, "x-y", "-", "日本"));
    EXPECT_STREQ("x日", s);
    EXPECT_EQ('X', s[5]);
    EXPECT_EQ(4, kcReplaceAllAN(s, 6, "x-y", "-", "日"));
    EXPECT_STREQ("x日y", s);
    wchar_t w[4];
    EXPECT_EQ(-1, kcReplaceAllWN(w, 4, L"abcdef", L"c", L"C"));
    EXPECT_STREQ(L"abC", w);
    EXPECT_EQ(3, kcReplaceAllWN(w, 4, L"abc", L"", L"C"));
}

TEST(String, CaseChangesOnlyAsciiLetters)
{
    wchar_t w[] = L"日A\x00E9 Z";
    EXPECT_EQ(5, kcToLowerW(w));
    EXPECT_STREQ(L"日a\x00E9 z", w);
    wchar_t u[] = L"\x00E9" L"az日";
    EXPECT_EQ(4, kcToUpperW(u));
    EXPECT_STREQ(L"\x00E9" L"AZ日", u);
    // Shift_JIS: "ＡB" has a trail byte 0x60 in Ａ (82 60) and "ア" 83 41 ('A' as trail).
    char a[] = "ア\x82\x60" "B";
    EXPECT_EQ(5, kcToLowerA(a));
    EXPECT_STREQ("ア\x82\x60" "b", a);
}

TEST(String, ParseInt)
{
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"12.5", 0}, {"0x1F", 31}, {"-0x10", -16}, {"+7", 7}, {"x1", 0}, {"0XfF", 255},
        {"42abc", 42}, {"", 0}, {"-", 0}, {" 5", 0}, {"4294967297", 1}, {"-2147483648", (int)0x80000000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, kcParseIntA(c.text)) << c.text;
        std::wstring w(c.text, c.text + strlen(c.text));
        EXPECT_EQ(c.value, kcParseIntW(w.c_str())) << c.text;
    }
    EXPECT_EQ(0, kcParseIntA(nullptr));
}

TEST(String, ParseIntEx)
{
    struct Case {
        const char* text;
        int ok, end, value;
    } cases[] = {
        {"123 rest", 1, 3, 123},
        {"-0x1fz", 1, 5, -31},
        {"12.5", 0, 2, 12},    // end at the '.', value without sign
        {"-12.5", 0, 3, 12},
        {"x", 0, -7, -7},      // untouched
        {"+", 0, -7, -7},
    };
    for (const Case& c : cases) {
        int end = -7, value = -7;
        EXPECT_EQ(c.ok, kcParseIntExA(c.text, &end, &value)) << c.text;
        EXPECT_EQ(c.end, end) << c.text;
        EXPECT_EQ(c.value, value) << c.text;
        std::wstring w(c.text, c.text + strlen(c.text));
        end = value = -7;
        EXPECT_EQ(c.ok, kcParseIntExW(w.c_str(), &end, &value)) << c.text;
        EXPECT_EQ(c.end, end);
        EXPECT_EQ(c.value, value);
    }
}

TEST(String, ParseFloat)
{
    struct Case {
        const char* text;
        float value;
    } cases[] = {
        {"3.25f", 3.25f}, {"-2", -2.0f}, {".5", 0.0f}, {"-.5", -0.5f}, {"1e5", 1.0f},
        {"0.1", 0.1f}, {"7.", 7.0f}, {"abc", 0.0f}, {"12.5.6", 12.5f}, {"inf", 0.0f},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, kcParseFloat(c.text)) << c.text;
    EXPECT_EQ(0.0f, kcParseFloat(nullptr));
    std::string many = std::string(1500, '0') + "25.5";
    EXPECT_EQ(25.5f, kcParseFloat(many.c_str()));
}

TEST(String, CopyStrings)
{
    char a[8];
    kcCopyStringA(a, "abc");
    EXPECT_STREQ("abc", a);
    wchar_t w[8];
    kcCopyStringW(w, L"日本");
    EXPECT_STREQ(L"日本", w);

    memset(a, 'X', sizeof a);
    EXPECT_EQ(1, kcCopyStringAN(a, 5, "a日b"));
    EXPECT_STREQ("a日b", a);
    EXPECT_EQ(0, kcCopyStringAN(a, 4, "a日b"));
    EXPECT_STREQ("a日", a);
    EXPECT_EQ(0, kcCopyStringAN(a, 3, "a日b")); // the pair is not split
    EXPECT_STREQ("a", a);
    const wchar_t pair[] = {L'a', 0xD842, 0xDFB7, 0};
    EXPECT_EQ(0, kcCopyStringWN(w, 3, pair));
    EXPECT_STREQ(L"a", w);
    EXPECT_EQ(1, kcCopyStringWN(w, 4, pair));
}

TEST(String, CharacterTests)
{
    EXPECT_EQ(1, kcIsSjisLead("表"));
    EXPECT_EQ(0, kcIsSjisLead("a"));
    EXPECT_EQ(0, kcIsSjisLead("\x81"));    // a lead byte without trail
    EXPECT_EQ(0, kcIsSjisLead("\xF0\x40")); // lead bytes F0-FC are not taken
    EXPECT_EQ(0, kcIsSjisLead("\xB1"));
    EXPECT_EQ(0, kcIsSjisLead(nullptr));
    EXPECT_EQ(0x955C, kcGetSjisChar("表"));
    EXPECT_EQ(0xB1, kcGetSjisChar("\xB1"));
    EXPECT_EQ('a', kcGetSjisChar("a"));
    EXPECT_EQ(0, kcGetSjisChar(nullptr));
    EXPECT_EQ(1, kcIsWideCharW(L"日"));
    EXPECT_EQ(0, kcIsWideCharW(L"\xFF"));
    EXPECT_EQ(0, kcIsWideCharW(L""));
    EXPECT_EQ(0, kcIsWideCharW(nullptr));
}

TEST(String, ReadLine)
{
    const char text[] = "a\rb\nc\r\n\nlast";
    char out[16];
    int at = kcReadLine(text, out);
    EXPECT_EQ(4, at);
    EXPECT_STREQ("a\rb", out);
    EXPECT_EQ(0, out[4]);
    at += kcReadLine(text + at, out);
    EXPECT_STREQ("c", out);
    EXPECT_EQ(7, at);
    at += kcReadLine(text + at, out);
    EXPECT_STREQ("", out);
    EXPECT_EQ(8, at);
    int last = kcReadLine(text + at, out);
    EXPECT_STREQ("last", out);
    EXPECT_EQ(4, last);
    EXPECT_EQ(0, text[at + last]);

    // Sized: the line is cut before a UTF-8 character that does not fit; the offset is the same.
    const char utf8[] = u8"aあb\nx";
    memset(out, 'X', sizeof out);
    EXPECT_EQ(6, kcReadLineN(utf8, out, 5));
    EXPECT_STREQ("a", out);
    EXPECT_EQ(0, out[2]);
    EXPECT_EQ('X', out[5]);
    EXPECT_EQ(6, kcReadLineN(utf8, out, 6));
    EXPECT_STREQ(u8"aあ", out);
}

TEST(String, Utf8CharLengthAndCopy)
{
    struct Case {
        const char* bytes;
        int length;
    } cases[] = {
        {"\xE3\x81\x82", 3}, {"\xE3\x81\x41", -3}, {"\xC3\x41", -3}, {"\x80", -2}, {"\xFE", -1},
        {"a", 1}, {"\xC3\xA9", 2}, {"\xF0\xA0\xAE\xB7", 4}, {"\xF8\x88\x80\x80\x80", 5}, {"\xFC", -1},
        {"\xE3\x81", -3}, // cut by the terminator
    };
    for (const Case& c : cases) EXPECT_EQ(c.length, kcUtf8CharLength(c.bytes)) << c.bytes;

    char out[8] = "junk";
    kcCopyUtf8Char("\xE3\x81\x82z", out);
    EXPECT_STREQ("\xE3\x81\x82", out);
    kcCopyUtf8Char("\x80z", out);
    EXPECT_STREQ("", out);
    strcpy(out, "junk");
    kcCopyUtf8Char("", out);
    EXPECT_STREQ("", out);
    strcpy(out, "junk");
    kcCopyUtf8Char(nullptr, out);
    EXPECT_STREQ("", out);
    kcCopyUtf8CharN("\xE3\x81\x82", out, 3);
    EXPECT_STREQ("", out);
    kcCopyUtf8CharN("\xE3\x81\x82", out, 4);
    EXPECT_STREQ("\xE3\x81\x82", out);
}
