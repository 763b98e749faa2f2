// What the pages' dialogs share: the language file and the translation of texts, formats and
// windows through it, the tooltips, and the save dialog's filter string.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <utility>
#include <vector>
#include "plugin/DialogToolTips.h"
#include "plugin/LanguageText.h"
#include "plugin/SaveDialog.h"
#include "plugin/host/SheetDriver.h"
#include "support/TestSupport.h"

namespace {
typedef std::vector<std::pair<std::wstring, std::wstring>> Pairs;

Pairs Group0()
{
    auto it = kcTextTable.find(0);
    return it == kcTextTable.end() ? Pairs{{L"<none>", L""}} : Pairs(it->second.begin(), it->second.end());
}

// Loads the bytes as a language file; the table keeps what it registered until Unload.
int LoadBytes(const std::string& bytes)
{
    TempDir dir;
    WriteBytes(dir.File(L"language_en.txt"), bytes);
    return LoadLanguageText(dir.File(L"language_en.txt").c_str());
}

struct Unload {
    ~Unload() { kcTextTable.erase(0); }
};

struct Control {
    const wchar_t *className, *text;
    int id, parentId; // parent 0: a direct child
};

// A hidden dialog-class window of this module with the controls.
HWND MakeWindow(const wchar_t* caption, const std::vector<Control>& controls)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = CreateWindowExW(0, L"#32770", caption, WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, instance, nullptr);
    for (const Control& c : controls)
        CreateWindowExW(0, c.className, c.text, WS_CHILD | WS_VISIBLE, 0, 0, 60, 12, c.parentId ? GetDlgItem(window, c.parentId) : window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    return window;
}

// The record size of each TTM_ADDTOOLW that tooltip windows created meanwhile get; records of
// g_refusedSize are refused, as older common controls refuse the newer record.
std::vector<UINT> g_toolSizes;
UINT g_refusedSize;
WNDPROC g_tooltipProc;
LRESULT CALLBACK SpiedTooltip(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TTM_ADDTOOLW && (g_toolSizes.push_back(reinterpret_cast<const TOOLINFOW*>(lParam)->cbSize), g_toolSizes.back() == g_refusedSize))
        return FALSE;
    return CallWindowProcW(g_tooltipProc, window, message, wParam, lParam);
}
LRESULT CALLBACK SpyOnTooltips(int code, WPARAM window, LPARAM lParam)
{
    wchar_t name[64] = {};
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(window), name, 64) && !lstrcmpiW(name, TOOLTIPS_CLASSW))
        g_tooltipProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(reinterpret_cast<HWND>(window), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpiedTooltip)));
    return CallNextHookEx(nullptr, code, window, lParam);
}
} // namespace

TEST(LanguageText, FileRules)
{
    Unload unload;
    const struct {
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
        // As the parse gave them when it erased blank lines one at a time.
        {"blank lines between pairs", "$a$\n \nA\n\t \t\n$b$\n   \nB\n", {{L"$a$", L"A"}, {L"$b$", L"B"}}},
        {"comment spanning key and text", "$a$/* x\n y */A\n", {{L"$a$", L"A"}}},
        {"comment-only lines dropped", "$a$\n/**/\n// c\n\t/**/ \nA\n", {{L"$a$", L"A"}}},
        {"unclosed comment", "$a$\nA\n$b$ /*\nB\n$c$\nC\n", {{L"$a$", L"A"}}},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(1, LoadBytes(r.bytes)) << r.name;
        EXPECT_EQ(r.expected, Group0()) << r.name;
    }
    EXPECT_EQ(0, LoadLanguageText(L"no_such_language_file.txt"));
    EXPECT_EQ(0u, kcTextTable.count(0));

    ASSERT_EQ(1, LoadBytes("$0500-0005$\n$nr$\n$0500-0001$\nSettings\n$0500-0002$\n$empty$\n"));
    const std::pair<const wchar_t*, const wchar_t*> texts[] = {
        {L"$0500-0005$\x74b0\x5883", L"\x74b0\x5883"}, {L"$0500-0001$\x8a2d\x5b9a", L"Settings"}, {L"$0500-0002$x", L""},
        {L"$0500-0099$built-in", L"built-in"},          {L"no key", L"no key"}};
    for (const auto& t : texts)
        EXPECT_STREQ(t.second, TranslateText(t.first)) << t.first;
}

// A language file up to its bound is read; one byte more leaves the built-in texts, logged.
TEST(LanguageText, FileAboveItsBoundRefused)
{
    Unload unload;
    TempDir dir;
    const std::wstring file = dir.File(L"language_en.txt");
    LogCapture capture;
    for (int extra : {0, 1}) {
        ASSERT_TRUE(WriteSparseFile(file, kLanguageFileMaxBytes + extra, "$0500-0001$\nSettings\n"));
        EXPECT_EQ(1 - extra, LoadLanguageText(file.c_str()));
        EXPECT_EQ((extra ? Pairs{{L"<none>", L""}} : Pairs{{L"$0500-0001$", L"Settings"}}), Group0());
        EXPECT_EQ(extra == 1, capture.Contains("is larger than"));
    }
}

// A translated format is used only when it reads the same arguments as the built-in one.
TEST(LanguageText, TranslatedFormatNeedsSameConversions)
{
    Unload unload;
    const struct {
        const char* translation;
        bool used;
    } rows[] = {
        {"%d-%d", true},     {"v%5d.%-3d", true}, {"%x/%u", true},   {"%d%%.%d", true},  {"%s.%d", false},
        {"%d.%d.%d", false}, {"%d", false},       {"%d%n.%d", false}, {"%I64d.%d", false}, {"%d.%f", false},
        {"%*d.%d", false},   {"%d.%d%", false},   {"%d.%", false},    {"%S.%d", false},    {"%d.%q", false},
    };
    for (const auto& r : rows) {
        ASSERT_EQ(1, LoadBytes(std::string("$0500-0021$\n") + r.translation + "\n")) << r.translation;
        wchar_t line[64];
        const int n = FormatText(line, 64, L"$0500-0021$%d.%d", 4, 3);
        EXPECT_EQ(r.used, std::wstring(L"4.3") != line) << r.translation;
        EXPECT_EQ(static_cast<int>(wcslen(line)), n);
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
    const int before = RememberedWindowCount();
    HWND dialog = MakeWindow(L"$0500-0001$\x8a2d\x5b9a", {{L"STATIC", L"$0501-0001$\x30e9\x30d9\x30eb", 100, 0}, {L"BUTTON", L"$0501-0002$OK", 101, 0},
                                                           {L"BUTTON", L"plain", 102, 0}, {L"EDIT", L"", 103, 0}, {L"STATIC", L"$0501-0009$built-in", 104, 0}});
    ASSERT_TRUE(dialog);
    const wchar_t* expected[] = {L"Label", L"OK", L"plain", L"", L"built-in"};
    for (int pass = 0; pass < 2; ++pass) {
        TranslateDialog(dialog);
        EXPECT_EQ(L"Settings", TextOf(dialog));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(expected[i], TextOf(GetDlgItem(dialog, 100 + i))) << i;
        EXPECT_EQ(before + 5, RememberedWindowCount()); // the empty edit is neither changed nor remembered
    }
    DestroyWindow(dialog);
    EXPECT_EQ(before, RememberedWindowCount());
}

// Each direct child gets the translated string of its control id; deeper ones and controls
// without a string get none (unless the tools ask for their texts). Each tool is added with the
// full record (48 bytes on i686); where that is refused, once more with the older one (44).
TEST(DialogToolTips, DirectChildrenGetTranslatedTexts)
{
    const UINT full = sizeof(TOOLINFOW), older = TTTOOLINFOW_V2_SIZE;
    Unload unload;
    kcTextTable[0] = {{L"$0520-0002$", L"Translated two"}};
    HWND dialog = MakeWindow(L"tips", {{L"BUTTON", L"one", 1001, 0}, {L"BUTTON", L"two", 1002, 0}, {L"STATIC", L"no string", 9004, 0},
                                       {L"STATIC", L"", 9005, 0}, {L"BUTTON", L"deep", 1003, 9005}});
    ASSERT_TRUE(dialog);
    const struct {
        HWND control;
        const wchar_t* text; // null: no tool
    } rows[] = {{GetDlgItem(dialog, 1001), L"前回ゲームプレイを終了した時の設定を使用します。"}, {GetDlgItem(dialog, 1002), L"Translated two"},
                {GetDlgItem(dialog, 9004), nullptr}, {GetDlgItem(dialog, 9005), nullptr}, {GetDlgItem(GetDlgItem(dialog, 9005), 1003), nullptr}};
    HWND window;
    HHOOK hook = SetWindowsHookExW(WH_CBT, SpyOnTooltips, nullptr, GetCurrentThreadId());
    {
        g_toolSizes.clear(), g_refusedSize = 0;
        DialogToolTips tips(dialog, 0);
        window = tips.Window();
        ASSERT_TRUE(window);
        EXPECT_EQ(2, static_cast<int>(SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0)));
        EXPECT_EQ((std::vector<UINT>{full, full}), g_toolSizes);
        for (const auto& r : rows) {
            ASSERT_TRUE(r.control);
            wchar_t text[256] = L"";
            TOOLINFOW tool = {TTTOOLINFOW_V2_SIZE};
            tool.hwnd = r.control;
            tool.uId = reinterpret_cast<UINT_PTR>(r.control);
            tool.lpszText = text;
            EXPECT_EQ(r.text != nullptr, SendMessageW(window, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != 0);
            if (r.text) {
                SendMessageW(window, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
                EXPECT_STREQ(r.text, text);
            }
        }
    }
    EXPECT_FALSE(IsWindow(window));
    {
        g_toolSizes.clear(), g_refusedSize = full;
        DialogToolTips asking(dialog, 1);
        EXPECT_EQ(4, static_cast<int>(SendMessageW(asking.Window(), TTM_GETTOOLCOUNT, 0, 0)));
        EXPECT_EQ((std::vector<UINT>{full, older, full, older, full, older, full, older}), g_toolSizes);
    }
    UnhookWindowsHookEx(hook);
    DestroyWindow(dialog);
}

TEST(SaveDialog, FilterStringBytes)
{
    const struct {
        int capacity, count;
        const wchar_t *a, *b;
        std::vector<wchar_t> expected; // the units filled
        bool ok;
    } rows[] = {
        {16, 2, L"Text", L"*.txt", {'T', 'e', 'x', 't', 0, '*', '.', 't', 'x', 't', 0, 0}, true},
        {12, 2, L"Text", L"*.txt", {'T', 'e', 'x', 't', 0, '*', '.', 't', 'x', 't', 0, 0}, true},
        {11, 2, L"Text", L"*.txt", {0, 0}, false}, // one unit short: an empty filter
        {8, 0, L"", L"", {0, 0}, true},
        {8, -1, L"", L"", {0, 0}, true},
    };
    for (const auto& r : rows) {
        std::vector<wchar_t> out(static_cast<size_t>(r.capacity), L'#');
        EXPECT_EQ(r.ok, BuildFilterString(out.data(), r.capacity, r.count, r.a, r.b)) << r.capacity;
        std::vector<wchar_t> expected = r.expected;
        expected.resize(out.size(), L'#');
        EXPECT_EQ(expected, out) << r.capacity;
    }
    EXPECT_FALSE(BuildFilterString(nullptr, 8, 0));
}
