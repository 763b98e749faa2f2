#include "foundation/kcStringList.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>

namespace {
typedef std::vector<std::wstring> Entries;
std::string Utf8(const std::wstring& w)
{
    std::string s(w.size() * 3, '\0');
    s.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], (int)s.size(), nullptr, nullptr));
    return s;
}

Entries Of(const kcStringList& l)
{
    Entries v;
    for (int i = 0; i < l.GetCount(); ++i) v.push_back(l.GetEntry(i));
    return v;
}
} // namespace

TEST(StringList, FilesByteForByte)
{
    TempDir dir;
    std::wstring longPath = L"\""; // longer than any fixed line buffer: kept whole
    for (int i = 0; i < 60; ++i) longPath += L"フォルダ\\";
    longPath += L"file.txt\"";
    const struct {
        const char* what;
        std::string file;
        Entries entries;
        std::string saved;
    } cases[] = {
        {"empty line between", "a\r\n\r\nb", {L"a", L"", L"b"}, "a\r\n\r\nb\r\n"},
        {"lone LF ends a line, lone CR stays", "a\nb\rc\r\n", {L"a", L"b\rc"}, "a\r\nb\rc\r\n"},
        {"text ends at NUL", std::string("p\r\nq\0r\r\n", 8), {L"p", L"q"}, "p\r\nq\r\n"},
        {"byte-order mark is kept", "\xEF\xBB\xBF" "a", {L"\uFEFFa"}, "\xEF\xBB\xBF" "a\r\n"},
        {"UTF-8 Japanese", u8"\"data\\日本語.txt\"\r\n", {L"\"data\\日本語.txt\""}, u8"\"data\\日本語.txt\"\r\n"},
        {"long entry", Utf8(longPath) + "\r\nx", {longPath, L"x"}, Utf8(longPath) + "\r\nx\r\n"},
        {"empty file", "", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring in = dir.File(L"in.log"), out = dir.File(L"out.log");
        ASSERT_TRUE(WriteBytes(in, c.file));
        kcStringList l;
        l.Add(L"first"); // loading appends
        ASSERT_TRUE(l.Load(in.c_str()));
        Entries expect = c.entries;
        expect.insert(expect.begin(), L"first");
        EXPECT_EQ(expect, Of(l));
        kcStringList m;
        for (const std::wstring& e : c.entries) m.Add(e.c_str());
        ASSERT_TRUE(m.Save(out.c_str()));
        std::string bytes;
        ASSERT_TRUE(ReadBytes(out, &bytes));
        EXPECT_EQ(c.saved, bytes);
    }
}

TEST(StringList, SortUniqueKeepsTheFirstOfEquals)
{
    kcStringList l;
    for (const wchar_t* s : {L"B", L"a", L"A", L"\"b\\x\"", L"\"B\\X\"", L"c", L"\"a\""}) l.Add(s);
    EXPECT_EQ(0, l.Add(nullptr));
    EXPECT_EQ(1, l.SortUnique());
    EXPECT_EQ((Entries{L"\"a\"", L"\"b\\x\"", L"a", L"B", L"c"}), Of(l));
}

TEST(StringList, FailuresLeaveTheListAndReportWrites)
{
    TempDir dir;
    kcStringList l;
    l.Add(L"keep");
    EXPECT_FALSE(l.Load(dir.File(L"missing.log").c_str()));
    EXPECT_EQ(Entries{L"keep"}, Of(l));
    EXPECT_FALSE(l.Save(dir.File(L"no\\such\\install.log").c_str()));
    EXPECT_FALSE(l.Save(dir.Path().c_str())); // a folder cannot be written
    EXPECT_EQ(nullptr, l.GetEntry(1));
}
