#include "foundation/kcTextLines.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
typedef std::vector<std::string> L;
L Lines(const kcTextLines& t)
{
    L v;
    for (int i = 0; i < t.GetCount(); ++i) v.push_back(t.GetLine(i));
    return v;
}
} // namespace

TEST(TextLines, SplittingTextAndStrippingComments)
{
    const struct {
        const char* text;
        L lines;
    } splits[] = {
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}}, {"a\n\nb\n", {"a", "", "b"}}, {"\r\n\r\n", {"", ""}},
        {"\n\r", {"", ""}}, {"", {}}, {"x\r\r\ny", {"x", "", "y"}},
    };
    for (const auto& c : splits) {
        kcTextLines t(0);
        EXPECT_EQ(1, t.InsertText(c.text, 0));
        EXPECT_EQ(c.lines, Lines(t)) << c.text;
    }
    const struct {
        const char* what;
        L in, out;
    } strips[] = {
        {"block across lines", {"x /* y", "z", "w */ v"}, {"x ", "", " v"}},
        {"line comment", {"k // c"}, {"k "}},
        {"slash star slash is whole", {"/*/q"}, {"q"}},
        {"two blocks in a line", {"a/*1*/b/*2*/c"}, {"abc"}},
        {"line comment inside a block", {"a /* // */ b"}, {"a  b"}},
        {"block opened after text, closed later", {"t /* u", "v */ w // x"}, {"t ", " w "}},
        {"quotes protect nothing", {"\"http://x\""}, {"\"http:"}},
        {"unclosed block empties the rest", {"a /*", "b", "c"}, {"a ", "", ""}},
        {"lone slash and star", {"a / b * c"}, {"a / b * c"}},
        // As the earlier strip gave them, which erased each comment in place and rescanned.
        {"marks beside marks, one line each",
         {"a /* b /* c */ d */ e", "x/*/y*/z", "/*/**/", "x/**//y", "/*//*/z", "/***/x", "*/a", "/* x */ // y", "a/**/a/**/a"},
         {"a  d */ e", "xy*/z", "**/", "x/y", "z", "x", "*/a", " ", "aaa"}},
        {"slashes", {"///", "a///*b*/", "a/"}, {"", "a", "a/"}},
        {"line comments inside a spanning block", {"a /* b // c", "d // e */ f // g", "h"}, {"a ", " f ", "h"}},
        {"unclosed to the end", {"p/*", "x", "q*", "/r"}, {"p", "", "", ""}},
        {"marks split across lines", {"a/", "*b", "c/*", "*/d"}, {"a/", "*b", "c", "d"}},
        {"opener inside a spanning block", {"/*", "/* inner", "*/ out */"}, {"", "", " out */"}},
    };
    for (const auto& c : strips) {
        kcTextLines t(0);
        for (size_t i = 0; i < c.in.size(); ++i) t.InsertText(c.in[i].c_str(), (int)i);
        EXPECT_EQ(1, t.StripComments());
        EXPECT_EQ(c.out, Lines(t)) << c.what;
    }
}

TEST(TextLines, EraseBlankLines)
{
    kcTextLines t(4);
    t.InsertText("\n \n  \n\t\n a \nb\n   ", 0);
    t.SetLineData(5, "B", 1);
    EXPECT_EQ(4, t.EraseBlankLines());
    EXPECT_EQ((L{"\t", " a ", "b"}), Lines(t));
    EXPECT_EQ('B', *(const char*)t.GetLineData(2));
}

TEST(TextLines, Edits)
{
    kcTextLines t(0);
    t.InsertText("\t a  \tb \n \t \n// only\nkeep\n/* c */", 0);
    EXPECT_EQ(1, t.Normalize());
    EXPECT_EQ((L{"a b", "keep"}), Lines(t));
    t.InsertText("x\ny", 1);
    t.InsertText("e", 99); // past the end appends
    EXPECT_EQ(1, t.EraseLine(0));
    EXPECT_EQ(0, t.EraseLine(4));
    EXPECT_EQ((L{"x", "y", "keep", "e"}), Lines(t));
    EXPECT_EQ(nullptr, t.GetLine(-1));

    kcTextLines e(0);
    e.InsertText("a\tb\tc", 0);
    EXPECT_EQ(2, e.Replace(0, 0, "\t", " ")); // the position after the replacement
    EXPECT_EQ(4, e.Replace(0, 2, "\t", " "));
    EXPECT_EQ(5, e.Replace(0, 0, "b", "xyz"));
    EXPECT_EQ(-1, e.Replace(0, 8, "a", "b")); // past the end
    EXPECT_EQ(-1, e.Replace(0, 0, "", "b"));  // an empty search text matches nothing
    EXPECT_EQ(-1, e.Replace(1, 0, "a", "b"));
    EXPECT_STREQ("a xyz c", e.GetLine(0));
    EXPECT_EQ(1, e.EraseChars(0, -3, 2));
    EXPECT_EQ(1, e.EraseChars(0, 3, 100));
    EXPECT_STREQ("xyz", e.GetLine(0));
    EXPECT_EQ(1, e.InsertString(0, 1, "--"));
    EXPECT_EQ(1, e.InsertChar(0, 0, '['));
    EXPECT_EQ(1, e.InsertChar(0, 99, ']'));
    EXPECT_EQ(1, e.CollapseRuns(0, '-'));
    EXPECT_STREQ("[x-yz]", e.GetLine(0));
    EXPECT_EQ(0, e.InsertString(3, 0, "x"));
}

TEST(TextLines, DataBlocksFollowTheirLines)
{
    int live = kcHeapLiveBlocks();
    {
        kcTextLines t(8);
        t.InsertText("a\nb", 0);
        const char zero[8] = {};
        EXPECT_EQ(0, memcmp(zero, t.GetLineData(1), 8)); // fresh blocks are zeroed
        EXPECT_EQ(1, t.SetLineData(0, "12345678", 8));
        EXPECT_EQ(0, t.SetLineData(0, "123456789", 9));
        EXPECT_EQ(0, t.SetLineData(2, "1", 1));
        EXPECT_EQ(1, t.SetLineData(1, "B", 1));
        // Another list with an empty line, then the list itself as its own source.
        kcTextLines o(4);
        o.InsertText("x\n\ny", 0);
        o.SetLineData(0, "X", 1);
        o.SetLineData(1, "E", 1);
        o.SetLineData(2, "Y", 1);
        EXPECT_EQ(1, t.InsertLines(1, &o));
        EXPECT_EQ(1, t.InsertLines(0, &t));
        EXPECT_EQ((L{"a", "x", "", "y", "b", "a", "x", "", "y", "b"}), Lines(t));
        for (int i = 0; i < 10; ++i) EXPECT_EQ("1XEYB"[i % 5], *(const char*)t.GetLineData(i)) << i;
        EXPECT_EQ(0, ((const char*)t.GetLineData(1))[4]); // beyond the other's size: zero
        EXPECT_EQ(0, t.InsertLines(0, nullptr));
        kcTextLines none(0), small(2);
        none.InsertText("q", 0);
        EXPECT_EQ(nullptr, none.GetLineData(0));
        small.InsertLines(0, &t); // a smaller target copies no block data
        EXPECT_EQ(0, *(const char*)small.GetLineData(0));
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

// A held line stays put while other lines are inserted (the list growing), erased and edited.
TEST(TextLines, HeldLineStaysWhileOtherLinesChange)
{
    kcTextLines t(0);
    t.InsertText("first\nshort\nlast", 0);
    const char* held = t.GetLine(1);
    for (int i = 0; i < 100; ++i) t.InsertText("x\ny", 0);
    t.EraseLine(0);
    t.EraseLine(201);
    t.InsertString(0, 0, "a text that makes the first line far longer than before");
    t.InsertLines(0, &t);
    EXPECT_EQ(held, t.GetLine(401));
    EXPECT_STREQ("short", held);
}

TEST(TextLines, ConvertToUtf8)
{
    kcTextLines t(0);
    t.InsertText((Sjis(u8"日本語") + "\n" + std::string(4001, 'a') + "\n" + std::string(4000, 'b')).c_str(), 0);
    EXPECT_EQ(1, t.ConvertToUtf8());
    EXPECT_EQ((L{u8"日本語", "", std::string(4000, 'b')}), Lines(t)); // over 4000 bytes: emptied
}
