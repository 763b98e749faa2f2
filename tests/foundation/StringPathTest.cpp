#include "foundation/kcString.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>

TEST(StringPath, JoinPathRules)
{
    const struct {
        const wchar_t *a, *b, *expect;
    } cases[] = {
        {L"C:\\", L"a", L"C:\\a"},      {L"C:", L"a", L"C:\\a"},
        {L"C:\\", L"", L"C:"},          // a drive root loses every trailing backslash
        {L"C:\\\\", L"a", L"C:\\\\a"},  // four characters: not a drive root
        {L"dir\\", L"a", L"dir\\a"},    // one trailing backslash goes
        {L"dir\\\\", L"a", L"dir\\\\a"}, // of two, one stays
        {L"dir", L"\\a", L"dir\\\\a"},  // a leading backslash is kept
        {L"dir", L"a\\", L"dir\\a"},    // a trailing one of a later piece goes
        {L"dir/", L"a", L"dir/\\a"},    // '/' is not trimmed
        {L"", L"a", L"\\a"},            {L"dir", L"", L"dir"},
    };
    wchar_t out[64];
    for (const auto& c : cases) {
        EXPECT_EQ((int)wcslen(c.expect), kcJoinPath(out, 2, c.a, c.b)) << c.a << " + " << c.b;
        EXPECT_STREQ(c.expect, out) << c.a << " + " << c.b;
    }
    EXPECT_EQ(11, kcJoinPath(out, 3, L"C:\\", L"ほのかぜ", L"gx7"));
    EXPECT_STREQ(L"C:\\ほのかぜ\\gx7", out);
    EXPECT_EQ(0, kcJoinPath(out, 0));
    EXPECT_STREQ(L"", out);
    // Sized: what does not fit is refused whole.
    EXPECT_EQ(7, kcJoinPathN(out, 8, 2, L"abc", L"def"));
    wmemset(out, L'X', 8);
    EXPECT_EQ(0, kcJoinPathN(out, 7, 2, L"abc", L"def"));
    EXPECT_STREQ(L"", out);
    EXPECT_EQ(L'X', out[7]);
}

TEST(StringPath, Extensions)
{
    const struct {
        const wchar_t *path, *ext, *expect;
    } cases[] = {
        {L"a.b\\c", L"txt", L"a.b\\c.txt"}, {L"c.tar.gz", nullptr, L"c.tar"}, {L"c.tar.gz", L"bz2", L"c.tar.bz2"},
        {L"a.b/c", nullptr, L"a.b/c"},      {L"name", L"", L"name."},        {L".hidden", L"x", L".x"},
    };
    for (const auto& c : cases) {
        wchar_t p[64];
        wcscpy(p, c.path);
        EXPECT_EQ(1, kcSetExtensionW(p, c.ext));
        EXPECT_STREQ(c.expect, p) << c.path;
    }
    char j[64] = "dir\\a.表"; // the trail byte 5C of a Shift_JIS character is not a separator
    EXPECT_EQ(1, kcSetExtensionA(j, "txt"));
    EXPECT_STREQ("dir\\a.txt", j);
    wchar_t s[8] = L"a.b";
    EXPECT_EQ(1, kcSetExtensionWN(s, 6, L"txt"));
    EXPECT_EQ(0, kcSetExtensionWN(s, 6, L"text")); // would not fit: unchanged
    EXPECT_STREQ(L"a.txt", s);
    char n[8] = "ab";
    EXPECT_EQ(0, kcSetExtensionAN(n, 5, "cd"));
    EXPECT_STREQ("ab", n);

    EXPECT_STREQ(L"gz", kcGetExtensionW(L"dir.x\\file.tar.gz"));
    const wchar_t* q = L"dir.x\\file";
    EXPECT_EQ(q + wcslen(q), kcGetExtensionW(q));
    EXPECT_EQ(0, kcHasExtensionW(q));
    EXPECT_EQ(1, kcHasExtensionW(L"x."));
    EXPECT_EQ(nullptr, kcGetExtensionW(nullptr));
}

TEST(StringPath, FileNameAndParent)
{
    const struct {
        const char *path, *name;
        int hasParent;
        const char* parent;
    } cases[] = {
        {"\\name", "name", 0, ""},   {"name", "name", 0, ""},      {"a\\b\\c", "c", 1, "a\\b"},
        {"a/b", "b", 1, "a"},        {"\\a\\b", "b", 1, "\\a"},    {"a\\", "", 1, "a"},
        {"表\\名前", "名前", 1, "表"}, // 95 5C is one character
        {"表", "表", 0, ""},
    };
    for (const auto& c : cases) {
        char name[64], parent[64] = "junk";
        EXPECT_EQ(1, kcGetFileNameA(c.path, name));
        EXPECT_STREQ(c.name, name) << c.path;
        EXPECT_EQ(c.hasParent, kcGetParentPathA(c.path, parent)) << c.path;
        EXPECT_STREQ(c.parent, parent) << c.path;
    }
    wchar_t w[64];
    EXPECT_EQ(1, kcGetFileNameW(L"a/b\\c.txt", w));
    EXPECT_STREQ(L"c.txt", w);
    EXPECT_EQ(1, kcGetParentPathW(L"C:\\dir\\file", w));
    EXPECT_STREQ(L"C:\\dir", w);
    EXPECT_EQ(0, kcGetParentPathW(L"file", nullptr));
    char out[64] = "junk";
    EXPECT_EQ(0, kcGetParentPathA(nullptr, out));
    EXPECT_STREQ("", out);
    // Sized forms: what does not fit gives 0 and an empty result, never a cut name.
    EXPECT_EQ(1, kcGetFileNameWN(L"d\\abc", w, 4));
    EXPECT_EQ(0, kcGetFileNameWN(L"d\\abc", w, 3));
    EXPECT_STREQ(L"", w);
    EXPECT_EQ(0, kcGetFileNameAN("d\\abc", out, 3));
    EXPECT_STREQ("", out);
    EXPECT_EQ(1, kcGetParentPathWN(L"abc\\d", w, 4));
    EXPECT_EQ(0, kcGetParentPathWN(L"abc\\d", w, 3));
    EXPECT_STREQ(L"", w);
    EXPECT_EQ(0, kcGetParentPathAN("abc\\d", out, 3));
}
