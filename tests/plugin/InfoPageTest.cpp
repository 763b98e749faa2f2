// The system-information page: its rows and formats, and the report button end to end.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <cstring>
#include <string>
#include "plugin/HostSession.h"
#include "plugin/PageCommon.h"
#include "plugin/SystemInfoPage.h"
#include "plugin/gx7confResource.h"

namespace {
std::wstring Value(const SystemInfoSource& source, int row)
{
    wchar_t text[1024];
    SystemInfoValue(source, row, text, 1024);
    return text;
}

std::wstring ListText(HWND list, int row, int column)
{
    wchar_t text[1024] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}
}

TEST(InfoRows, ClockMakerDepthAndVersions)
{
    static SystemInfoSource source;
    std::memset(&source, 0, sizeof(source));
    const struct { unsigned mhz; const wchar_t* text; } clocks[] = {
        {3450, L"3450MHz (3.5GHz)"}, {1999, L"1999MHz (2.0GHz)"}, {2949, L"2949MHz (2.9GHz)"}, {0, L"0MHz (0.0GHz)"}};
    for (const auto& c : clocks) {
        source.cpu.measuredMhz = c.mhz;
        EXPECT_EQ(c.text, Value(source, 7));
    }
    const struct { const char* vendor; const wchar_t* text; } makers[] = {
        {"GenuineIntel", L"Intel"}, {"authenticamd", L"AMD"}, {"CyrixInstead", L"Cyrix 6x86"}};
    wcscpy(source.cpu.name, L"Cyrix 6x86");
    for (const auto& m : makers) {
        std::memset(source.cpu.vendor, 0, sizeof(source.cpu.vendor));
        std::memcpy(source.cpu.vendor, m.vendor, std::strlen(m.vendor));
        EXPECT_EQ(m.text, Value(source, 6));
    }
    const struct { int bits; const wchar_t* text; } depths[] = {
        {32, L"32bit フルカラー"}, {24, L"24bit フルカラー"}, {16, L"16bit ハイカラー"},
        {8, L"8bit インデックスカラー"}, {15, L""}};
    for (const auto& d : depths) {
        source.desktopBits = d.bits;
        EXPECT_EQ(d.text, Value(source, 12));
    }
    source.driverVersion = (6ull << 48) | (14ull << 32) | (10ull << 16) | 9500ull;
    EXPECT_EQ(L"6.14.10.9500", Value(source, 10));
    source.versionMajor = 2;
    source.versionMinor = 15;
    EXPECT_EQ(L"2.15", Value(source, 1));
    source.currentMode = {1280, 1024, 60, 22};
    EXPECT_EQ(L"1280 x 1024 (60Hz)", Value(source, 11));
    source.availPhysMb = 1500;
    source.totalPhysMb = 4096;
    EXPECT_EQ(L"1500MB / 4096MB", Value(source, 8));
    wcscpy(source.os.name, L"Windows 7");
    wcscpy(source.os.edition, L"Ultimate");
    wcscpy(source.os.servicePack, L"Service Pack 1");
    EXPECT_EQ(L"Windows 7 Ultimate Service Pack 1", Value(source, 5));
    EXPECT_STREQ(L"ＣＰＵクロック(測定値)", SystemInfoLabel(7));
}

TEST(InfoRows, ModeBitDepths)
{
    const struct { uint32_t format; int bits; } formats[] = {
        {23, 16}, {22, 32}, {21, 32}, {20, 24}, {41, 8}, {64, 32}, {61, 16}, {0, 0}, {100, 0}};
    for (const auto& f : formats)
        EXPECT_EQ(f.bits, FormatBitDepth(f.format)) << f.format;
    kcDisplayMode only = {800, 600, 60, 23};   // R5G6B5
    kcDisplayModeList list;
    list.modeCount = 1;
    list.modes = &only;
    kcDisplayModeList::Instance = &list;
    EXPECT_EQ(1, GetModeBitDepth(800, 600, 16));
    EXPECT_EQ(0, GetModeBitDepth(800, 600, 32));
    EXPECT_EQ(0, GetModeBitDepth(640, 480, 16));
    list.modeCount = 0;
    list.modes = nullptr;
    EXPECT_EQ(0, GetModeBitDepth(800, 600, 16));
    kcDisplayModeList::Instance = nullptr;
    EXPECT_EQ(1, GetModeBitDepth(800, 600, 32));   // no capability object: nothing is ruled out
}

using InfoPage = PluginLibrary;

TEST_F(InfoPage, ListButtonAndReport)
{
    GameDefinition definition;
    definition.infoFile = L"report.txt";
    GameFolder game(definition);
    std::wstring labels[SYSINFO_ROWS], title, version, button;
    int rows = 0;
    const std::wstring report = game.Path() + L"\\saved\\mine.txt";
    CreateDirectoryW((game.Path() + L"\\saved").c_str(), nullptr);
    wchar_t folderDuring[MAX_PATH] = {};
    bool cancelledWrote = true;
    Session(game, [&](HWND sheet) {
        HWND page = SelectSheetTab(sheet, 0);
        HWND list = GetDlgItem(page, IDC_INFO_LIST);
        rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < SYSINFO_ROWS; ++i)
            labels[i] = ListText(list, i, 0);
        title = ListText(list, 0, 1);
        version = ListText(list, 1, 1);
        button = TextOf(GetDlgItem(page, IDC_INFO_SAVE));

        PostClick(page, IDC_INFO_SAVE);                         // cancelled: nothing written
        HWND save = WaitForOtherDialog(sheet, 10000);
        AnswerSaveDialog(save, nullptr);
        WaitGone(save, 5000);
        cancelledWrote = FileExists(game.Path() + L"\\report.txt");
        PostClick(page, IDC_INFO_SAVE);
        save = WaitForOtherDialog(sheet, 10000);
        AnswerSaveDialog(save, report.c_str());
        WaitGone(save, 5000);
        for (int i = 0; i < 500 && !FileExists(report); ++i)
            Sleep(10);
        GetCurrentDirectoryW(MAX_PATH, folderDuring);
    });
    EXPECT_EQ(SYSINFO_ROWS, rows);
    EXPECT_EQ(L"ゲームタイトル", labels[0]);
    EXPECT_EQ(L"DirectX バージョン", labels[13]);
    EXPECT_EQ(L"テストゲーム", title);
    EXPECT_EQ(L"1.2", version);
    EXPECT_EQ(L"システム情報を report.txt に保存する", button);
    EXPECT_TRUE(FileExists(report));
    EXPECT_FALSE(cancelledWrote);
    EXPECT_FALSE(FileExists(game.Path() + L"\\report.txt"));
    EXPECT_EQ(game.Path(), std::wstring(folderDuring));
}
