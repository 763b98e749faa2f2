// The sheet driven from the host: caption, tabs and their order, the start-up notice, and what
// Apply, OK and Cancel write and call.
#include <gtest/gtest.h>
#include <windows.h>
#include <prsht.h>
#include <string>
#include <vector>
#include "plugin/HostSession.h"
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "plugin/kcDXCaps.h"
#include "plugin/gx7confResource.h"

namespace {
std::vector<std::wstring> Tabs(HWND sheet)
{
    std::vector<std::wstring> tabs;
    for (int i = 0; i < SheetTabCount(sheet); ++i)
        tabs.push_back(SheetTabText(sheet, i));
    return tabs;
}

bool IsNotice(HWND window, void*)
{
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// A change on the General page: its screensaver box.
void ChangeSetting(HWND sheet)
{
    ClickControl(SelectSheetTab(sheet, 1), IDC_NO_SCREENSAVER);
}

std::string ReadFile(const std::wstring& path)
{
    std::string bytes;
    ReadBytes(path, &bytes);
    return bytes;
}

// What the configuration model itself writes for the game's record with one setting changed.
std::string ModelWrites(const GameFolder& game, const char* section, const char* key, int value)
{
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(game.Path().c_str());
    DeleteFileW(game.SetupXml().c_str());
    kcDXCaps* adapter = new kcDXCaps(2);   // the same display modes as the plug-in's
    kcCreateConfig(L"config\\startup.xml", nullptr, 0);
    kcConfig::Instance()->LoadUserSettings(0);
    kcConfigSetInt(kcConfigCurrentBlock, section, key, value);
    kcConfig::Instance()->SaveUserSettings(0);
    kcReleaseConfig();
    delete adapter;
    SetCurrentDirectoryW(previous);
    return ReadFile(game.SetupXml());
}
}

using Sheet = PluginLibrary;

TEST_F(Sheet, CaptionTabsAndNotice)
{
    const struct {
        int view3d;
        std::vector<std::wstring> tabs;
    } cases[] = {
        {0, {L"システム情報", L"全般", L"表示1", L"表示 2", L"3D設定", L"サウンド・その他", L"環境依存"}},
        {1, {L"システム情報", L"全般", L"表示1", L"表示 2", L"3D設定 1", L"3D設定 2", L"サウンド・その他", L"環境依存"}},
        {2, {L"システム情報", L"全般", L"表示1", L"表示 2", L"3D設定 1", L"3D設定 2", L"サウンド・その他", L"環境依存"}},
    };
    for (const auto& c : cases) {
        GameDefinition definition;
        definition.view3d = c.view3d;
        GameFolder game(definition);
        std::wstring caption;
        std::vector<std::wstring> tabs;
        bool noticeShown = true;
        Session(game, [&](HWND sheet) {
            caption = TextOf(sheet);
            tabs = Tabs(sheet);
            noticeShown = WaitForDialog(IsNotice, nullptr, 0) != nullptr;
        });
        EXPECT_EQ(L"テストゲーム システム環境設定", caption);
        EXPECT_EQ(c.tabs, tabs) << c.view3d;
        EXPECT_FALSE(noticeShown);
    }
}

TEST_F(Sheet, LanguageFileTranslatesCaptionAndTabs)
{
    GameFolder game;
    game.WriteLanguageFile("$0500-0001$\r\n%s Settings\r\n$0501-0001$\r\nGeneral\r\n$0506-0001$\r\nSystem\r\n");
    std::wstring caption;
    std::vector<std::wstring> tabs;
    Session(game, [&](HWND sheet) {
        caption = TextOf(sheet);
        tabs = Tabs(sheet);
    });
    EXPECT_EQ(L"テストゲーム Settings", caption);
    ASSERT_EQ(7u, tabs.size());
    EXPECT_EQ(L"System", tabs[0]);
    EXPECT_EQ(L"General", tabs[1]);
    EXPECT_EQ(L"表示1", tabs[2]);
}

TEST_F(Sheet, ApplyWritesAndCallsOnlyAfterAChange)
{
    GameFolder game;
    ApplyCounter counter;
    int callsAfterFirstApply = -1, callsAfterSecondApply = -1;
    bool writtenBeforeChange = true;
    std::string afterFirst;
    Session(game, [&](HWND sheet) {
        PressSheetButton(sheet, PSBTN_APPLYNOW);            // nothing changed
        writtenBeforeChange = FileExists(game.SetupXml());
        ChangeSetting(sheet);
        PressSheetButton(sheet, PSBTN_APPLYNOW);
        callsAfterFirstApply = counter.calls;
        afterFirst = ReadFile(game.SetupXml());
        DeleteFileW(game.SetupXml().c_str());
        PressSheetButton(sheet, PSBTN_APPLYNOW);            // no change since
        callsAfterSecondApply = counter.calls;
    }, &counter);
    EXPECT_FALSE(writtenBeforeChange);
    EXPECT_EQ(1, callsAfterFirstApply);
    EXPECT_EQ(&counter, counter.lastContext);
    EXPECT_EQ(1, callsAfterSecondApply);
    EXPECT_FALSE(FileExists(game.SetupXml()));
    EXPECT_NE(std::string::npos, afterFirst.find("<screensaver>1</screensaver>")) << afterFirst;
    EXPECT_EQ(ModelWrites(game, "WINDOW", "screensaver", 1), afterFirst);
}

TEST_F(Sheet, DontSaveCancelAndNullCallback)
{
    GameDefinition definition;
    definition.dontSave = 1;
    GameFolder noSave(definition);
    ApplyCounter counter;
    Session(noSave, [&](HWND sheet) {
        ChangeSetting(sheet);
        PressSheetButton(sheet, PSBTN_OK);
    }, &counter);
    EXPECT_EQ(1, counter.calls);
    EXPECT_FALSE(FileExists(noSave.SetupXml()));

    GameFolder cancelled;
    ApplyCounter none;
    EXPECT_EQ(0, Session(cancelled, [&](HWND sheet) {
        ChangeSetting(sheet);
        PressSheetButton(sheet, PSBTN_CANCEL);
    }, &none));
    EXPECT_EQ(0, none.calls);
    EXPECT_FALSE(FileExists(cancelled.SetupXml()));

    GameFolder noCallback;
    Session(noCallback, [&](HWND sheet) {
        ChangeSetting(sheet);
        PressSheetButton(sheet, PSBTN_OK);
    }, nullptr, true);
    EXPECT_TRUE(FileExists(noCallback.SetupXml()));
}

TEST_F(Sheet, RestartNoticeOnlyWhileTheGameRuns)
{
    GameDefinition definition;
    definition.mutex = "kc_test_running_game";
    GameFolder game(definition);
    for (bool running : {false, true}) {
        HANDLE mutex = running ? CreateMutexW(nullptr, FALSE, L"kc_test_running_game") : nullptr;
        bool shown = !running;
        Session(game, [&](HWND sheet) {
            HWND page = SelectSheetTab(sheet, 5);   // sound and other
            shown = IsWindowVisible(GetDlgItem(page, IDC_RESTART_NOTICE)) != FALSE;
        });
        EXPECT_EQ(running, shown);
        if (mutex)
            CloseHandle(mutex);
    }
}

TEST_F(Sheet, HelpOnlyWithAnExistingManual)
{
    for (bool withManual : {false, true}) {
        GameDefinition definition;
        if (withManual)
            definition.manual = L"manual.html";
        GameFolder game(definition);
        bool helpEnabled = !withManual;
        Session(game, [&](HWND sheet) {
            SelectSheetTab(sheet, 1);
            helpEnabled = IsWindowEnabled(GetDlgItem(sheet, IDHELP)) != FALSE;
        });
        EXPECT_EQ(withManual, helpEnabled);
    }
}
