#include "plugin/DialogFixture.h"
#include "plugin/LanguageText.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {
typedef std::vector<std::pair<std::wstring, std::wstring>> Pairs;

Pairs Group0()
{
    auto it = kcTextTable.find(0);
    return it == kcTextTable.end() ? Pairs{{L"<none>", L""}} : Pairs(it->second.begin(), it->second.end());
}

// Loads the bytes as a language file; the table is left with what it registered.
int LoadBytes(const std::string& bytes)
{
    TempDir dir;
    std::wstring path = dir.File(L"language_en.txt");
    WriteBytes(path, bytes);
    return LoadLanguageText(path.c_str());
}

struct Unload {
    ~Unload() { kcTextTable.erase(0); }
};
} // namespace

TEST(LanguageText, FileRules)
{
    Unload unload;
    struct Row {
        const char* name;
        std::string bytes;
        Pairs expected;
    } rows[] = {
        {"bom only", "\xEF\xBB\xBF", {}},
        {"bom then pair", "\xEF\xBB\xBF$a$\nA", {{L"$a$", L"A"}}},
        {"nr keeps built-in", "$0500-0005$\n$nr$\n", {}},
        {"empty text", "$0500-0006$\r\n$empty$\r\n", {{L"$0500-0006$", L""}}},
        {"first pair wins", "$a$\nfirst\n$a$\nsecond\n", {{L"$a$", L"first"}}},
        {"line comment cuts text", "$k$\nhttp://x\n", {{L"$k$", L"http:"}}},
        {"block comment shifts pairs", "$k1$\nA/*\n$k2$\nB\n$k3$*/\nC\n$k4$\nD\n", {{L"$k1$", L"A"}, {L"C", L"$k4$"}}},
        {"one blank each side", "\t$k$\t\n  two\n \t \n$m$\nx  \n", {{L"$k$", L" two"}, {L"$m$", L"x "}}},
        {"odd line ignored", "$a$\nA\n$b$\n", {{L"$a$", L"A"}}},
        {"NUL ends text", std::string("$a$\nA\n\0$b$\nB\n", 14), {{L"$a$", L"A"}}},
        {"CR, LF, CR LF", "$a$\rA\r\n$b$\nB", {{L"$a$", L"A"}, {L"$b$", L"B"}}},
        {"UTF-8 text", "$0500-0001$\n\xE8\xA8\xAD\xE5\xAE\x9A\n", {{L"$0500-0001$", L"\x8a2d\x5b9a"}}},
        {"malformed UTF-8", "$a$\nX\xFF\xC3(\n", {{L"$a$", L"X\xFFFD\xFFFD("}}},
    };
    for (auto& r : rows) {
        EXPECT_EQ(1, LoadBytes(r.bytes)) << r.name;
        EXPECT_EQ(r.expected, Group0()) << r.name;
    }
    EXPECT_EQ(0, LoadLanguageText(L"no_such_language_file.txt"));
    EXPECT_EQ(0u, kcTextTable.count(0));
}

TEST(LanguageText, TranslateText)
{
    Unload unload;
    ASSERT_EQ(1, LoadBytes("$0500-0005$\n$nr$\n$0500-0001$\nSettings\n$0500-0002$\n$empty$\n"));
    struct Row {
        const wchar_t* text;
        const wchar_t* expected;
    } rows[] = {
        {L"$0500-0005$\x74b0\x5883", L"\x74b0\x5883"},
        {L"$0500-0001$\x8a2d\x5b9a", L"Settings"},
        {L"$0500-0002$x", L""},
        {L"$0500-0099$built-in", L"built-in"},
        {L"no key", L"no key"},
    };
    for (auto& r : rows) EXPECT_STREQ(r.expected, TranslateText(r.text)) << r.text;
}

// A translated format is used only when it reads the same arguments as the built-in one.
TEST(LanguageText, TranslatedFormatNeedsSameConversions)
{
    Unload unload;
    struct Row {
        const char* translation;
        bool used;
    } rows[] = {
        {"%d-%d", true},        {"v%5d.%-3d", true},   {"%x/%u", true},     {"%d%%.%d", true},
        {"%s.%d", false},       {"%d.%d.%d", false},   {"%d", false},       {"%d%n.%d", false},
        {"%I64d.%d", false},    {"%d.%f", false},      {"%*d.%d", false},   {"%d.%d%", false},
        {"%d.%", false},        {"%S.%d", false},      {"%d.%q", false},
    };
    for (auto& r : rows) {
        ASSERT_EQ(1, LoadBytes(std::string("$0500-0021$\n") + r.translation + "\n")) << r.translation;
        wchar_t line[64];
        int n = FormatText(line, 64, L"$0500-0021$%d.%d", 4, 3);
        std::wstring builtIn = L"4.3";
        if (r.used)
            EXPECT_NE(builtIn, line) << r.translation;
        else
            EXPECT_EQ(builtIn, line) << r.translation;
        EXPECT_EQ((int)wcslen(line), n);
    }
    // A translation that reads the same arguments but is longer than the line is cut within it.
    ASSERT_EQ(1, LoadBytes("$0000-0073$\n(%02d) total physical memory, a long translation : %d MB\n"));
    wchar_t line[32];
    EXPECT_EQ(31, FormatText(line, 32, L"$0000-0073$(%02d)x : %d MB\r\n", 1, 2048));
    EXPECT_STREQ(L"(01) total physical memory, a l", line);
}

TEST(LanguageText, TranslateDialogRemembersFirstTextAndForgetsDestroyedWindows)
{
    Unload unload;
    ASSERT_EQ(1, LoadBytes("$0500-0001$\nSettings\n$0501-0001$\nLabel\n$0501-0002$\nOK\n"));
    int before = RememberedWindowCount();
    HWND dialog = MakeDialog(L"$0500-0001$\x8a2d\x5b9a",
                             {{L"STATIC", L"$0501-0001$\x30e9\x30d9\x30eb", 100, 0},
                              {L"BUTTON", L"$0501-0002$OK", 101, BS_PUSHBUTTON},
                              {L"BUTTON", L"plain", 102, BS_PUSHBUTTON},
                              {L"EDIT", L"", 103, 0},
                              {L"STATIC", L"$0501-0009$built-in", 104, 0}});
    ASSERT_TRUE(dialog);
    const wchar_t* expected[] = {L"Label", L"OK", L"plain", L"", L"built-in"};
    for (int pass = 0; pass < 2; ++pass) {
        TranslateDialog(dialog);
        EXPECT_EQ(L"Settings", WindowText(dialog));
        for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], WindowText(GetDlgItem(dialog, 100 + i))) << i;
        // The empty edit is neither changed nor remembered.
        EXPECT_EQ(before + 5, RememberedWindowCount());
    }
    DestroyWindow(dialog);
    EXPECT_EQ(before, RememberedWindowCount());
}
