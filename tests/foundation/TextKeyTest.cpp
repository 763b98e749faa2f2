#include "kcTextKey.h"
#include <gtest/gtest.h>

namespace {
// The table is process-wide: every test leaves it empty.
struct TableGuard {
    ~TableGuard() { kcTextTable.clear(); }
};
} // namespace

TEST(TextKey, TranslateTable)
{
    TableGuard guard;
    const wchar_t* keyed = L"$0500-0001$Hello";
    EXPECT_STREQ(L"Hello", kcTranslateText(keyed));
    EXPECT_EQ(keyed + 11, kcTranslateText(keyed)); // points into the caller's text
    const wchar_t* open = L"$0500-0001Hello";
    EXPECT_EQ(open, kcTranslateText(open));
    EXPECT_STREQ(L"abc", kcTranslateText(L"#12#abc"));
    EXPECT_STREQ(L"plain", kcTranslateText(L"plain"));
    EXPECT_STREQ(L"x", kcTranslateText(L"$$x"));
    EXPECT_STREQ(L"", kcTranslateText(L""));
    EXPECT_STREQ(L"$a#b#", kcTranslateText(L"$a#b#")); // '$' first: no hash key is looked for

    kcTextTable[0][L"$0500-0001$"] = L"Bonjour";
    kcTextTable[5][L"$0500-0001$"] = L"later group";
    kcTextTable[5][L"#7#"] = L"seven";
    EXPECT_STREQ(L"Bonjour", kcTranslateText(keyed));
    kcTextTable[-1][L"$0500-0001$"] = L"lowest group first";
    EXPECT_STREQ(L"lowest group first", kcTranslateText(keyed));
    EXPECT_STREQ(L"seven", kcTranslateText(L"#7#sieben"));
    EXPECT_STREQ(L"other", kcTranslateText(L"$0500-0002$other"));
}

TEST(TextKey, Extraction)
{
    std::wstring key;
    EXPECT_EQ(11, kcExtractTextKey(L"$1010-0171$フォルダ", &key));
    EXPECT_EQ(L"$1010-0171$", key);
    EXPECT_EQ(0, kcExtractTextKey(L"$1010-0171", &key));
    EXPECT_EQ(L"", key);
    EXPECT_EQ(4, kcExtractTextKey(L"#12#abc", &key));
    EXPECT_EQ(L"#12#", key);
    EXPECT_EQ(0, kcExtractHashKey(L"$1$", &key));
    EXPECT_EQ(0, kcExtractTextKey(nullptr, &key));

    // The sized form never cuts a key: one that does not fit counts as none.
    wchar_t small[6];
    EXPECT_EQ(4, kcExtractTextKey(L"$ab$c", small, 5)); // four units and the NUL fit
    EXPECT_STREQ(L"$ab$", small);
    wcscpy(small, L"stale");
    EXPECT_EQ(0, kcExtractTextKey(L"$abcd$e", small, 6));
    EXPECT_STREQ(L"", small);
    EXPECT_EQ(4, kcExtractHashKey(L"#12#abc", small, 6));
    EXPECT_STREQ(L"#12#", small);
}
