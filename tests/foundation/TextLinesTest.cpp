#include "kcTextLines.h"
#include "kcHeap.h"
#include "support/TestSupport.h"
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const kcTextLines& t)
{
    std::vector<std::string> v;
    for (int i = 0; i < t.GetCount(); ++i) v.push_back(t.GetLine(i));
    return v;
}

typedef std::vector<std::string> L;

} // namespace

TEST(TextLines, SplittingText)
{
    struct Case {
        const char* text;
        L lines;
    } cases[] = {
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"\r\n\r\n", {"", ""}},
        {"\n\r", {"", ""}},
        {"", {}},
        {"only", {"only"}},
        {"x\r\r\ny", {"x", "", "y"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        kcTextLines t(0);
        EXPECT_EQ(1, t.InsertText(c.text, 0));
        EXPECT_EQ(c.lines, Lines(t));
    }
    kcTextLines t(0);
    EXPECT_EQ(0, t.InsertText(nullptr, 0));
    t.InsertText("a\nd", 0);
    t.InsertText("b\nc", 1);
    t.InsertText("e", 99); // past the end appends
    EXPECT_EQ((L{"a", "b", "c", "d", "e"}), Lines(t));
    EXPECT_EQ(nullptr, t.GetLine(5));
    EXPECT_EQ(nullptr, t.GetLine(-1));
    EXPECT_EQ(1, t.EraseLine(0));
    EXPECT_EQ(0, t.EraseLine(4));
    EXPECT_EQ((L{"b", "c", "d", "e"}), Lines(t));
}

TEST(TextLines, StripComments)
{
    struct Case {
        const char* what;
        L in, out;
    } cases[] = {
        {"block across lines", {"x /* y", "z", "w */ v"}, {"x ", "", " v"}},
        {"line comment", {"k // c"}, {"k "}},
        {"slash star slash is whole", {"/*/q"}, {"q"}},
        {"two blocks in a line", {"a/*1*/b/*2*/c"}, {"abc"}},
        {"line comment inside a block", {"a /* // */ b"}, {"a  b"}},
        {"block opened after text, closed later", {"t /* u", "v */ w // x"}, {"t ", " w "}},
        {"quotes protect nothing", {"\"http://x\""}, {"\"http:"}},
        {"unclosed block empties the rest", {"a /*", "b", "c"}, {"a ", "", ""}},
        {"lone slash and star", {"a / b * c"}, {"a / b * c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kcTextLines t(0);
        for (size_t i = 0; i < c.in.size(); ++i) t.InsertText(c.in[i].c_str(), (int)i);
        EXPECT_EQ(1, t.StripComments());
        EXPECT_EQ(c.out, Lines(t));
    }
}

TEST(TextLines, NormalizeAndEdits)
{
    kcTextLines t(0);
    t.InsertText("\t a  \tb \n \t \n// only\nkeep\n/* c */", 0);
    EXPECT_EQ(1, t.Normalize());
    EXPECT_EQ((L{"a b", "keep"}), Lines(t));

    kcTextLines e(0);
    e.InsertText("a\tb\tc", 0);
    int pos = 0, n = 0;
    while ((pos = e.Replace(0, pos, "\t", " ")) >= 0) ++n;
    EXPECT_EQ(2, n);
    EXPECT_STREQ("a b c", e.GetLine(0));
    EXPECT_EQ(5, e.Replace(0, 0, "b", "xyz"));
    EXPECT_STREQ("a xyz c", e.GetLine(0));
    EXPECT_EQ(-1, e.Replace(0, 8, "a", "b")); // past the end
    EXPECT_EQ(-1, e.Replace(0, 0, "", "b")); // an empty search text matches nothing
    EXPECT_EQ(-1, e.Replace(1, 0, "a", "b"));
    EXPECT_STREQ("a xyz c", e.GetLine(0));
    EXPECT_EQ(1, e.EraseChars(0, -3, 2));
    EXPECT_STREQ("xyz c", e.GetLine(0));
    EXPECT_EQ(1, e.EraseChars(0, 3, 100));
    EXPECT_STREQ("xyz", e.GetLine(0));
    EXPECT_EQ(1, e.InsertString(0, 1, "--"));
    EXPECT_EQ(1, e.InsertChar(0, 0, '['));
    EXPECT_EQ(1, e.InsertChar(0, 99, ']'));
    EXPECT_STREQ("[x--yz]", e.GetLine(0));
    EXPECT_EQ(1, e.CollapseRuns(0, '-'));
    EXPECT_STREQ("[x-yz]", e.GetLine(0));
    EXPECT_EQ(0, e.InsertString(3, 0, "x"));
    EXPECT_EQ(0, e.EraseChars(3, 0, 1));
}

TEST(TextLines, DataBlocks)
{
    int live = kcHeapLiveBlocks();
    {
        kcTextLines t(8);
        t.InsertText("a\nb", 0);
        const char zero[8] = {};
        ASSERT_NE(nullptr, t.GetLineData(0));
        EXPECT_EQ(0, memcmp(zero, t.GetLineData(1), 8)); // fresh blocks are zeroed
        EXPECT_EQ(1, t.SetLineData(0, "12345678", 8));
        EXPECT_EQ(0, t.SetLineData(0, "123456789", 9));
        EXPECT_EQ(0, t.SetLineData(2, "1", 1));
        EXPECT_EQ(1, t.SetLineData(1, "B", 1));

        // Other list with an empty line, and the list itself as its own source.
        kcTextLines o(4);
        o.InsertText("x\n\ny", 0);
        o.SetLineData(0, "X", 1);
        o.SetLineData(1, "E", 1);
        o.SetLineData(2, "Y", 1);
        EXPECT_EQ(1, t.InsertLines(1, &o));
        EXPECT_EQ((L{"a", "x", "", "y", "b"}), Lines(t));
        const char* tags = "1XEYB";
        for (int i = 0; i < 5; ++i) EXPECT_EQ(tags[i], *(const char*)t.GetLineData(i)) << i;
        EXPECT_EQ(0, ((const char*)t.GetLineData(1))[4]); // beyond the other's size: zero

        EXPECT_EQ(1, t.InsertLines(0, &t));
        EXPECT_EQ((L{"a", "x", "", "y", "b", "a", "x", "", "y", "b"}), Lines(t));
        for (int i = 0; i < 10; ++i) EXPECT_EQ(tags[i % 5], *(const char*)t.GetLineData(i)) << i;
        EXPECT_EQ(0, t.InsertLines(0, nullptr));

        kcTextLines none(0);
        none.InsertText("q", 0);
        EXPECT_EQ(nullptr, none.GetLineData(0));
        EXPECT_EQ(0, none.SetLineData(0, "1", 1));
        // A smaller target copies no block data.
        kcTextLines small(2);
        small.InsertLines(0, &t);
        EXPECT_EQ(0, *(const char*)small.GetLineData(0));
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

TEST(TextLines, ConvertToUtf8)
{
    kcTextLines t(0);
    std::string sjis = Sjis(u8"日本語");
    t.InsertText((sjis + "\n" + std::string(4001, 'a') + "\n" + std::string(4000, 'b')).c_str(), 0);
    EXPECT_EQ(1, t.ConvertToUtf8());
    EXPECT_STREQ(u8"日本語", t.GetLine(0));
    EXPECT_STREQ("", t.GetLine(1)); // more than 4000 bytes: emptied
    EXPECT_EQ(4000u, strlen(t.GetLine(2)));
}
