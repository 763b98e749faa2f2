#include "kcStringList.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Entries(const kcStringList& l)
{
    std::vector<std::wstring> v;
    for (int i = 0; i < l.GetCount(); ++i) v.push_back(l.GetEntry(i));
    return v;
}

} // namespace

TEST(StringList, LoadSplitsLinesAndSaveWritesCrLf)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::wstring> entries;
        std::string saved;
    } cases[] = {
        {"empty line between", "a\r\n\r\nb", {L"a", L"", L"b"}, "a\r\n\r\nb\r\n"},
        {"lone LF ends a line, lone CR stays", "a\nb\rc\r\n", {L"a", L"b\rc"}, "a\r\nb\rc\r\n"},
        {"no entry after the last line end", "x\r\n", {L"x"}, "x\r\n"},
        {"text ends at NUL", std::string("p\r\nq\0r\r\n", 8), {L"p", L"q"}, "p\r\nq\r\n"},
        {"byte-order mark is kept", "\xEF\xBB\xBF" "a", {L"\uFEFFa"}, "\xEF\xBB\xBF" "a\r\n"},
        {"UTF-8 Japanese", u8"\"data\\日本語.txt\"\r\n", {L"\"data\\日本語.txt\""}, u8"\"data\\日本語.txt\"\r\n"},
        {"empty file", "", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring in = dir.File(L"in.log"), out = dir.File(L"out.log");
        ASSERT_TRUE(WriteBytes(in, c.file));
        kcStringList l;
        ASSERT_TRUE(l.Load(in.c_str()));
        EXPECT_EQ(c.entries, Entries(l));
        ASSERT_TRUE(l.Save(out.c_str()));
        std::string bytes;
        ASSERT_TRUE(ReadBytes(out, &bytes));
        EXPECT_EQ(c.saved, bytes);
    }
}

TEST(StringList, LongEntriesStayWhole)
{
    TempDir dir;
    std::wstring longPath = L"\"";
    for (int i = 0; i < 60; ++i) longPath += L"フォルダ\\";
    longPath += L"file.txt\"";
    ASSERT_GT(longPath.size(), 300u);
    kcStringList l;
    l.Add(longPath.c_str());
    l.Add(L"\"short\"");
    std::wstring path = dir.File(L"install.log");
    ASSERT_TRUE(l.Save(path.c_str()));
    kcStringList m;
    m.Add(L"first");
    ASSERT_TRUE(m.Load(path.c_str())); // appends
    EXPECT_EQ((std::vector<std::wstring>{L"first", longPath, L"\"short\""}), Entries(m));
}

TEST(StringList, SortUniqueKeepsTheFirstOfEquals)
{
    kcStringList l;
    for (const wchar_t* s : {L"B", L"a", L"A", L"\"b\\x\"", L"\"B\\X\"", L"c", L"\"a\""}) l.Add(s);
    EXPECT_EQ(0, l.Add(nullptr));
    EXPECT_EQ(1, l.SortUnique());
    EXPECT_EQ((std::vector<std::wstring>{L"\"a\"", L"\"b\\x\"", L"a", L"B", L"c"}), Entries(l));
}

TEST(StringList, FailuresLeaveTheListAndReportWrites)
{
    TempDir dir;
    kcStringList l;
    l.Add(L"keep");
    EXPECT_FALSE(l.Load(dir.File(L"missing.log").c_str()));
    EXPECT_EQ(1, l.GetCount());
    EXPECT_FALSE(l.Save(dir.File(L"no\\such\\install.log").c_str()));
    EXPECT_FALSE(l.Save(dir.Path().c_str())); // a folder cannot be written
    EXPECT_EQ(nullptr, l.GetEntry(1));
    kcStringList empty;
    std::wstring path = dir.File(L"empty.log");
    ASSERT_TRUE(WriteBytes(path, "old"));
    EXPECT_TRUE(empty.Save(path.c_str()));
    std::string bytes = "x";
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ("", bytes);
}
