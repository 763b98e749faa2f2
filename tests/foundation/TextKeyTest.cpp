#include "foundation/kcTextKey.h"
#include <gtest/gtest.h>

TEST(TextKey, TranslateTable)
{
    struct Clear { // the table is process-wide: leave it empty
        ~Clear() { kcTextTable.clear(); }
    } clear;
    const wchar_t* keyed = L"$0500-0001$Hello";
    EXPECT_EQ(keyed + 11, kcTranslateText(keyed)); // no entry: the caller's text after the key
    const struct {
        const wchar_t *text, *expect;
    } plain[] = {{L"$0500-0001Hello", L"$0500-0001Hello"}, {L"#12#abc", L"abc"}, {L"$$x", L"x"}, {L"", L""},
                 {L"$a#b#", L"$a#b#"}}; // '$' first: no hash key is looked for
    for (const auto& c : plain) EXPECT_STREQ(c.expect, kcTranslateText(c.text)) << c.text;

    kcTextTable[0][L"$0500-0001$"] = L"Bonjour";
    kcTextTable[5][L"$0500-0001$"] = L"later group";
    kcTextTable[5][L"#7#"] = L"seven";
    EXPECT_STREQ(L"Bonjour", kcTranslateText(keyed));
    kcTextTable[-1][L"$0500-0001$"] = L"lowest group first";
    EXPECT_STREQ(L"lowest group first", kcTranslateText(keyed));
    EXPECT_STREQ(L"seven", kcTranslateText(L"#7#sieben"));
    EXPECT_STREQ(L"other", kcTranslateText(L"$0500-0002$other"));
}

TEST(TextKey, ExtractionNeverCutsAKey)
{
    std::wstring key;
    EXPECT_EQ(11, kcExtractTextKey(L"$1010-0171$フォルダ", &key));
    EXPECT_EQ(L"$1010-0171$", key);
    EXPECT_EQ(0, kcExtractTextKey(L"$1010-0171", &key));
    EXPECT_EQ(L"", key);
    EXPECT_EQ(4, kcExtractTextKey(L"#12#abc", &key));
    EXPECT_EQ(0, kcExtractHashKey(L"$1$", &key));
    // Sized: a key that does not fit counts as none.
    wchar_t small[6];
    EXPECT_EQ(4, kcExtractTextKey(L"$ab$c", small, 5)); // four units and the NUL fit
    EXPECT_STREQ(L"$ab$", small);
    EXPECT_EQ(0, kcExtractTextKey(L"$abcd$e", small, 6));
    EXPECT_STREQ(L"", small);
    EXPECT_EQ(4, kcExtractHashKey(L"#12#abc", small, 6));
}
