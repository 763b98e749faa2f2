#include "foundation/kcString.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>

TEST(StringPath, JoinPathRules)
{
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        const wchar_t* expect;
    } cases[] = {
        {L"C:\\", L"a", L"C:\\a"},
        {L"C:", L"a", L"C:\\a"},
        {L"C:\\", L"", L"C:"},          // a drive root loses every trailing backslash
        {L"C:\\\\", L"a", L"C:\\\\a"},     // four characters: not a drive root
        {L"dir\\", L"a", L"dir\\a"},        // one trailing backslash goes
        {L"dir\\\\", L"a", L"dir\\\\a"},    // of two, one stays
        {L"dir", L"\\a", L"dir\\\\a"},      // a leading backslash is kept
        {L"dir", L"a\\", L"dir\\a"},        // a trailing one of a later piece goes
        {L"dir/", L"a", L"dir/\\a"},        // '/' is not trimmed
        {L"", L"a", L"\\a"},
        {L"dir", L"", L"dir"},
    };
    for (const Case& c : cases) {
        wchar_t out[64];
        int n = kcJoinPath(out, 2, c.a, c.b);
        EXPECT_STREQ(c.expect, out) << c.a << " + " << c.b;
        EXPECT_EQ((int)wcslen(c.expect), n);
    }
    wchar_t out[64] = L"junk";
    EXPECT_EQ(11, kcJoinPath(out, 3, L"C:\\", L"ほのかぜ", L"gx7"));
    EXPECT_STREQ(L"C:\\ほのかぜ\\gx7", out);
    EXPECT_EQ(2, kcJoinPath(out, 1, L"C:\\"));
    EXPECT_STREQ(L"C:", out);
    EXPECT_EQ(0, kcJoinPath(out, 0));
    EXPECT_STREQ(L"", out);
    EXPECT_EQ(0, kcJoinPath(nullptr, 1, L"a"));
}

TEST(StringPath, JoinPathSizedRefusesWhatDoesNotFit)
{
    wchar_t out[8];
    EXPECT_EQ(7, kcJoinPathN(out, 8, 2, L"abc", L"def"));
    EXPECT_STREQ(L"abc\\def", out);
    wmemset(out, L'X', 8);
    EXPECT_EQ(0, kcJoinPathN(out, 7, 2, L"abc", L"def"));
    EXPECT_STREQ(L"", out);
    EXPECT_EQ(L'X', out[7]);
}

TEST(StringPath, SetExtension)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* ext;
        const wchar_t* expect;
    } cases[] = {
        {L"a.b\\c", L"txt", L"a.b\\c.txt"},
        {L"c.tar.gz", nullptr, L"c.tar"},
        {L"c.tar.gz", L"bz2", L"c.tar.bz2"},
        {L"a.b/c", nullptr, L"a.b/c"},
        {L"name", L"", L"name."},
        {L".hidden", L"x", L".x"},
    };
    for (const Case& c : cases) {
        wchar_t p[64];
        wcscpy(p, c.path);
        EXPECT_EQ(1, kcSetExtensionW(p, c.ext));
        EXPECT_STREQ(c.expect, p) << c.path;
    }
    EXPECT_EQ(0, kcSetExtensionW(nullptr, L"x"));

    char a[64] = "a.b\\c";
    EXPECT_EQ(1, kcSetExtensionA(a, "txt"));
    EXPECT_STREQ("a.b\\c.txt", a);
    // The trail byte 5C of a Shift_JIS character is not a separator.
    char j[64] = "dir\\a.表";
    EXPECT_EQ(1, kcSetExtensionA(j, "txt"));
    EXPECT_STREQ("dir\\a.txt", j);

    wchar_t s[8] = L"a.b";
    EXPECT_EQ(1, kcSetExtensionWN(s, 6, L"txt"));
    EXPECT_STREQ(L"a.txt", s);
    EXPECT_EQ(0, kcSetExtensionWN(s, 6, L"text"));
    EXPECT_STREQ(L"a.txt", s);
    char n[8] = "ab";
    EXPECT_EQ(0, kcSetExtensionAN(n, 5, "cd"));
    EXPECT_STREQ("ab", n);
}

TEST(StringPath, GetAndHasExtension)
{
    const wchar_t* p = L"dir.x\\file.tar.gz";
    EXPECT_STREQ(L"gz", kcGetExtensionW(p));
    EXPECT_EQ(1, kcHasExtensionW(p));
    const wchar_t* q = L"dir.x\\file";
    EXPECT_EQ(q + wcslen(q), kcGetExtensionW(q));
    EXPECT_EQ(0, kcHasExtensionW(q));
    EXPECT_EQ(nullptr, kcGetExtensionW(nullptr));
    EXPECT_EQ(0, kcHasExtensionW(nullptr));
    EXPECT_STREQ(L"", kcGetExtensionW(L"x."));
    EXPECT_EQ(1, kcHasExtensionW(L"x."));
}

TEST(StringPath, GetFileName)
{
    wchar_t w[64];
    struct {
        const wchar_t* path;
        const wchar_t* expect;
    } cases[] = {{L"\\name", L"name"}, {L"name", L"name"}, {L"a/b\\c.txt", L"c.txt"}, {L"a\\", L""}};
    for (auto c : cases) {
        EXPECT_EQ(1, kcGetFileNameW(c.path, w));
        EXPECT_STREQ(c.expect, w);
    }
    EXPECT_EQ(0, kcGetFileNameW(L"x", nullptr));

    char a[64];
    EXPECT_EQ(1, kcGetFileNameA("dir\\表", a));
    EXPECT_STREQ("表", a);

    EXPECT_EQ(1, kcGetFileNameWN(L"d\\abc", w, 4));
    EXPECT_STREQ(L"abc", w);
    EXPECT_EQ(0, kcGetFileNameWN(L"d\\abc", w, 3));
    EXPECT_STREQ(L"", w);
    EXPECT_EQ(0, kcGetFileNameAN("d\\abc", a, 3));
    EXPECT_STREQ("", a);
}

TEST(StringPath, GetParentPath)
{
    struct Case {
        const char* path;
        int result;
        const char* expect;
    } cases[] = {
        {"\\name", 0, ""},
        {"name", 0, ""},
        {"", 0, ""},
        {"a\\b\\c", 1, "a\\b"},
        {"a/b", 1, "a"},
        {"\\a\\b", 1, "\\a"},
        {"表\\名前", 1, "表"}, // 95 5C is one character
        {"表", 0, ""},
    };
    for (const Case& c : cases) {
        char out[64] = "junk";
        EXPECT_EQ(c.result, kcGetParentPathA(c.path, out)) << c.path;
        EXPECT_STREQ(c.expect, out) << c.path;
    }
    char out[64] = "junk";
    EXPECT_EQ(0, kcGetParentPathA(nullptr, out));
    EXPECT_STREQ("", out);

    wchar_t w[64];
    EXPECT_EQ(1, kcGetParentPathW(L"C:\\dir\\file", w));
    EXPECT_STREQ(L"C:\\dir", w);
    EXPECT_EQ(1, kcGetParentPathW(L"C:\\dir\\file", nullptr));
    EXPECT_EQ(0, kcGetParentPathW(L"file", nullptr));

    EXPECT_EQ(1, kcGetParentPathWN(L"abc\\d", w, 4));
    EXPECT_STREQ(L"abc", w);
    EXPECT_EQ(0, kcGetParentPathWN(L"abc\\d", w, 3));
    EXPECT_STREQ(L"", w);
    EXPECT_EQ(0, kcGetParentPathAN("abc\\d", out, 3));
}
