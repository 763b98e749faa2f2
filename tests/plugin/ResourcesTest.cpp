// The plug-in's resources: templates with their sizes, captions, fonts and controls, the
// tooltip strings with their keys, the icon and the placement pictures, all in language 1041.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "plugin/gx7confResource.h"

namespace {
const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// The header fields of a DIALOGEX template that the checks need.
struct TemplateHead {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring caption, font;
    WORD points = 0;
};

const WORD* SkipSzOrOrd(const WORD* p, std::wstring* text = nullptr)
{
    if (*p == 0xFFFF)
        return p + 2;
    const wchar_t* s = reinterpret_cast<const wchar_t*>(p);
    if (text)
        *text = s;
    return p + wcslen(s) + 1;
}

bool ReadTemplate(int id, TemplateHead* head)
{
    HRSRC found = FindResourceExW(nullptr, RT_DIALOG, MAKEINTRESOURCEW(id), kJapanese);
    if (!found)
        return false;
    const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
    if (!p || p[0] != 1 || p[1] != 0xFFFF)
        return false;
    head->style = *reinterpret_cast<const DWORD*>(p + 6);
    head->cx = static_cast<short>(p[11]);
    head->cy = static_cast<short>(p[12]);
    p = SkipSzOrOrd(p + 13);                 // menu
    p = SkipSzOrOrd(p);                      // class
    p = SkipSzOrOrd(p, &head->caption);
    head->points = p[0];
    SkipSzOrOrd(p + 3, &head->font);         // point size, weight, italic + charset
    return true;
}

struct PageCase {
    int id;
    const wchar_t* caption;
    std::vector<int> controls;
};

const PageCase kPages[] = {
    {IDD_PAGE_SYSINFO, L"$0506-0001$システム情報", {1106, 1111}},
    {IDD_PAGE_GENERAL, L"$0501-0001$全般", {1001, 1002, 1003, 1006, 1007, 1008, 1102}},
    {IDD_PAGE_DISPLAY1, L"$0502-0001$表示1",
     {1009, 1010, 1011, 1012, 1013, 1016, 1017, 1102, 1059, 1004, 1005, 1131, 1142}},
    {IDD_PAGE_DISPLAY2, L"$0510-0001$表示 2", {1102, 1132, 1133, 1134, 1135, 1136, 1137, 1138, 1139, 1140, 1141}},
    {IDD_PAGE_DIRECT3D1, L"$0508-0001$3D設定 1",
     {1102, 1118, 1119, 1120, 1121, 1020, 1021, 1022, 1023, 1024, 1025, 1018, 1019, 1112}},
    {IDD_PAGE_DIRECT3D2, L"$0509-0001$3D設定 2", {1102, 1026, 1124, 1125, 1126, 1127, 1128, 1129, 1112}},
    {IDD_PAGE_DIRECT3D, L"$0511-0001$3D設定",
     {1102, 1118, 1120, 1020, 1021, 1022, 1023, 1024, 1025, 1018, 1019, 1026, 1112}},
    {IDD_PAGE_SOUNDOTHER, L"$0503-0001$サウンド・その他", {1028, 1027, 1123, 1114, 1116, 1122, 1102, 1112}},
    {IDD_PAGE_ENVIRONMENT, L"$0504-0001$環境依存", {1102, 1042, 1047, 1143, 1048, 1045, 1044, 1046, 1043, 1112}},
};

INT_PTR CALLBACK QuietProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}
}

TEST(Resources, PagesHaveTheirSizeCaptionFontAndControls)
{
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.id);
        TemplateHead head;
        ASSERT_TRUE(ReadTemplate(page.id, &head));
        EXPECT_EQ(235, head.cx);
        EXPECT_EQ(156, head.cy);
        EXPECT_EQ(page.caption, head.caption);
        EXPECT_EQ(L"MS UI Gothic", head.font);
        EXPECT_EQ(9, head.points);
        EXPECT_TRUE(head.style & WS_CHILD);
        HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(page.id), parent, QuietProc, 0);
        ASSERT_NE(nullptr, dialog);
        for (int control : page.controls)
            EXPECT_NE(nullptr, GetDlgItem(dialog, control)) << control;
        DestroyWindow(dialog);
    }
    DestroyWindow(parent);
}

TEST(Resources, StartupNoticeIsASmallTopmostPopup)
{
    TemplateHead head;
    ASSERT_TRUE(ReadTemplate(IDD_SPLASH, &head));
    EXPECT_EQ(135, head.cx);
    EXPECT_EQ(23, head.cy);
    EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | DS_MODALFRAME), head.style & (WS_POPUP | WS_VISIBLE | DS_MODALFRAME | WS_CAPTION));
    HWND notice = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_SPLASH), nullptr, QuietProc, 0);
    ASSERT_NE(nullptr, notice);
    EXPECT_TRUE(GetWindowLongW(notice, GWL_EXSTYLE) & WS_EX_TOPMOST);
    wchar_t text[128] = {};
    GetDlgItemTextW(notice, -1, text, 128);
    EXPECT_STREQ(L"$0505-0001$環境設定を起動しています", text);
    DestroyWindow(notice);
}

TEST(Resources, TooltipStringsCarryTheirKeys)
{
    // Control id ranges and the key number of their first string.
    const struct { int first, last, key; } ranges[] = {
        {1001, 1013, 1}, {1016, 1028, 14}, {1042, 1048, 28}, {1102, 1102, 27},
        {1114, 1114, 35}, {1118, 1129, 36}, {1132, 1143, 48},
    };
    int found = 0;
    for (int id = 1001; id <= 1143; ++id) {
        wchar_t text[2048] = {};
        if (LoadStringW(nullptr, id, text, 2048) > 0)
            ++found;
    }
    EXPECT_EQ(59, found);
    for (const auto& range : ranges) {
        for (int id = range.first; id <= range.last; ++id) {
            wchar_t text[2048] = {}, key[16];
            ASSERT_GT(LoadStringW(nullptr, id, text, 2048), 0) << id;
            swprintf(key, 16, L"$0520-%04d$", range.key + id - range.first);
            EXPECT_EQ(0, wcsncmp(text, key, 11)) << id;
        }
    }
    const struct { int id; const wchar_t* text; } exact[] = {
        {1001, L"$0520-0001$前回ゲームプレイを終了した時の設定を使用します。"},
        {1008, L"$0520-0008$ゲーム起動時にPC環境情報ファイル(info.txt)を作成しないことで、起動を若干早くすることができます"},
        {1102, L"$0520-0027$設定を初期値に戻します。"},
        {1114, L"$0520-0035$画像データのキャッシュに使用するメモリ量を指定します。"},
        {1132, L"$0520-0048$フルスクリーン時のゲーム画面サイズをディスプレイに収まるサイズまで拡大縮小します。 "},
        {1139, L"$0520-0055$フルスクリーン時のメッセージウィンドウの初期表示位置を画面上にします。 "},
    };
    for (const auto& row : exact) {
        wchar_t text[2048] = {};
        LoadStringW(nullptr, row.id, text, 2048);
        EXPECT_STREQ(row.text, text);
    }
}

TEST(Resources, IconAndPlacementPictures)
{
    EXPECT_NE(nullptr, FindResourceExW(nullptr, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_SHEET), kJapanese));
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SHEET));
    EXPECT_NE(nullptr, icon);
    for (int id = IDB_SCREEN_BOTTOM; id <= IDB_SCREEN_WINDOW; ++id) {
        HBITMAP picture = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
        ASSERT_NE(nullptr, picture) << id;
        BITMAP info = {};
        GetObjectW(picture, sizeof(info), &info);
        EXPECT_EQ(60, info.bmWidth);
        EXPECT_EQ(36, info.bmHeight);
        DeleteObject(picture);
        HRSRC raw = FindResourceExW(nullptr, RT_BITMAP, MAKEINTRESOURCEW(id), kJapanese);
        ASSERT_NE(nullptr, raw);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, raw)));
        EXPECT_EQ(24, header->biBitCount);
    }
}
