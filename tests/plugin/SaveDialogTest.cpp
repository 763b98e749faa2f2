#include "plugin/DialogFixture.h"
#include "plugin/DialogToolTips.h"
#include "plugin/LanguageText.h"
#include "plugin/SaveDialog.h"
#include "support/TestSupport.h"
#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
std::wstring CurrentFolder()
{
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

// Plays the user of the save dialog from a timer of the dialog's own message loop.
struct SaveDialogUser {
    std::wstring name; // typed into the name field; empty: cancel
    bool typed = false, confirmed = false;
};
SaveDialogUser* g_user = nullptr;

BOOL CALLBACK ActOnWindow(HWND window, LPARAM)
{
    wchar_t cls[16];
    GetClassNameW(window, cls, 16);
    if (!IsWindowVisible(window) || wcscmp(cls, L"#32770") != 0) return TRUE;
    if (GetDlgItem(window, IDYES)) { // the overwrite question
        g_user->confirmed = true;
        PostMessageW(window, WM_COMMAND, IDYES, 0);
    } else if (!g_user->typed) {
        g_user->typed = true;
        if (g_user->name.empty()) {
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        } else {
            SetDlgItemTextW(window, cmb13, g_user->name.c_str());
            SetDlgItemTextW(window, edt1, g_user->name.c_str());
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(window, IDOK));
        }
    }
    return TRUE;
}

VOID CALLBACK Act(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), ActOnWindow, 0); }

int RunSaveDialog(SaveDialogUser& user, wchar_t* file)
{
    g_user = &user;
    UINT_PTR timer = SetTimer(nullptr, 0, 200, Act);
    wchar_t filter[64];
    BuildFilterString(filter, 64, 4, L"Text (*.txt)", L"*.txt", L"All (*.*)", L"*.*");
    int result = ShowSaveFileDialog(nullptr, L"Save test", filter, L"txt", file, true);
    KillTimer(nullptr, timer);
    g_user = nullptr;
    return result;
}
} // namespace

TEST(SaveDialog, FilterStringBytes)
{
    struct Row {
        int capacity, count;
        const wchar_t *a, *b;
        std::vector<wchar_t> expected; // the filled units
        bool ok;
    } rows[] = {
        {16, 2, L"Text", L"*.txt", {'T', 'e', 'x', 't', 0, '*', '.', 't', 'x', 't', 0, 0}, true},
        {12, 2, L"Text", L"*.txt", {'T', 'e', 'x', 't', 0, '*', '.', 't', 'x', 't', 0, 0}, true},
        {11, 2, L"Text", L"*.txt", {0, 0}, false}, // one unit short: an empty filter
        {8, 0, L"", L"", {0, 0}, true},
        {8, -1, L"", L"", {0, 0}, true},
    };
    for (auto& r : rows) {
        std::vector<wchar_t> out((size_t)r.capacity, L'#');
        EXPECT_EQ(r.ok, BuildFilterString(out.data(), r.capacity, r.count, r.a, r.b)) << r.capacity;
        EXPECT_EQ(r.expected, std::vector<wchar_t>(out.begin(), out.begin() + r.expected.size())) << r.capacity;
        for (size_t i = r.expected.size(); i < out.size(); ++i) EXPECT_EQ(L'#', out[i]) << r.capacity;
    }
    EXPECT_FALSE(BuildFilterString(nullptr, 8, 0));
}

// Whether the user saves into another folder, answers the overwrite question or cancels,
// the current folder afterwards is the one from before.
TEST(SaveDialog, KeepsCurrentFolder)
{
    TempDir home, other;
    std::wstring before = CurrentFolder();
    ASSERT_TRUE(SetCurrentDirectoryW(home.Path().c_str()));
    std::wstring start = CurrentFolder();
    WriteBytes(other.File(L"exists.txt"), "x");
    struct Row {
        std::wstring typed;
        int result;
        std::wstring chosen;
        bool confirmed;
    } rows[] = {
        {other.File(L"report"), 1, other.File(L"report.txt"), false},
        {other.File(L"exists.txt"), 1, other.File(L"exists.txt"), true},
        {L"", 0, L"", false},
    };
    for (auto& r : rows) {
        SaveDialogUser user;
        user.name = r.typed;
        wchar_t file[MAX_PATH] = L"info.txt";
        EXPECT_EQ(r.result, RunSaveDialog(user, file) ? 1 : 0) << r.typed;
        EXPECT_TRUE(user.typed);
        if (r.result) {
            EXPECT_EQ(0, lstrcmpiW(r.chosen.c_str(), file)) << file;
        }
        EXPECT_EQ(r.confirmed, user.confirmed) << r.typed;
        EXPECT_EQ(start, CurrentFolder()) << r.typed;
    }
    SetCurrentDirectoryW(before.c_str());
}

TEST(DialogToolTips, DirectChildrenGetTranslatedTexts)
{
    kcTextTable[0] = {{L"$0520-0002$", L"Translated two"}};
    HWND dialog = MakeDialog(L"tips", {{L"BUTTON", L"one", 9001, BS_PUSHBUTTON},
                                       {L"BUTTON", L"two", 9002, BS_PUSHBUTTON},
                                       {L"STATIC", L"no string", 9004, 0},
                                       {L"STATIC", L"", 9005, 0}});
    ASSERT_TRUE(dialog);
    HWND box = GetDlgItem(dialog, 9005);
    HWND grandchild = CreateWindowExW(0, L"BUTTON", L"deep", WS_CHILD | WS_VISIBLE, 0, 0, 20, 10, box, (HMENU)9003,
                                      GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(grandchild);
    struct Row {
        int id;
        bool tool;
        const wchar_t* text;
    } rows[] = {{9001, true, L"Uses the settings of the last game."}, {9002, true, L"Translated two"},
                {9004, false, L""}, {9005, false, L""}, {9003, false, L""}};
    HWND window;
    {
        DialogToolTips tips(dialog, 0);
        window = tips.Window();
        ASSERT_TRUE(window);
        EXPECT_EQ(2, (int)SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0));
        for (auto& r : rows) {
            HWND control = r.id == 9003 ? grandchild : GetDlgItem(dialog, r.id);
            wchar_t text[256] = L"";
            TOOLINFOW tool = {};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.hwnd = control;
            tool.uId = (UINT_PTR)control;
            tool.lpszText = text;
            EXPECT_EQ(r.tool, SendMessageW(window, TTM_GETTOOLINFOW, 0, (LPARAM)&tool) != 0) << r.id;
            if (r.tool) {
                SendMessageW(window, TTM_GETTEXTW, 256, (LPARAM)&tool);
                EXPECT_STREQ(r.text, text) << r.id;
            }
        }
    }
    EXPECT_FALSE(IsWindow(window));
    {
        DialogToolTips asking(dialog, 1); // every direct child asks for its text
        EXPECT_EQ(4, (int)SendMessageW(asking.Window(), TTM_GETTOOLCOUNT, 0, 0));
    }
    DestroyWindow(dialog);
    kcTextTable.erase(0);
}
