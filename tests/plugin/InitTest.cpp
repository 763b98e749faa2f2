// gx7Conf::Init with each of its steps made to fail in turn: that step's defaults stay, the later
// steps run, and the working record is the configuration object's record or all zero, never
// what the object's memory held before.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "foundation/kcHeap.h"
#include "plugin/LanguageText.h"
#include "plugin/gx7Conf.h"
#include "plugin/host/GameFolder.h"
#include "plugin/kcDXCaps.h"

namespace {
gx7InitStep g_failing;
bool FailOne(gx7InitStep step) { return step != g_failing; }

} // namespace

TEST(PluginInit, EachFailedStepKeepsItsDefaultsAndTheRestRuns)
{
    const wchar_t* const keyed = L"$0505-0001$環境設定を起動しています";
    GameFolder game;
    game.WriteLanguageFile("$0505-0001$\nStarting\n");
    InFolder in(game.Path());
    // The user's settings change the frame rate from the game definition's.
    kcCreateConfig(L"config\\startup.xml", nullptr, 0);
    const int definedFps = kcConfigGetInt(kcConfigCurrentBlock, "WINDOW", "fps");
    kcConfigSetInt(kcConfigCurrentBlock, "WINDOW", "fps", 30);
    kcConfig::Instance()->SaveUserSettings();
    kcReleaseConfig();
    ASSERT_NE(30, definedFps);

    LogCapture capture;
    for (int s = 0; s <= GX7_INIT_STEPS; ++s) { // the last time, none fails
        const gx7InitStep step = static_cast<gx7InitStep>(s);
        SCOPED_TRACE(s);
        // The object's memory holds leftovers, as a reused heap block would.
        std::unique_ptr<unsigned char[]> memory(new unsigned char[sizeof(gx7Conf)]);
        std::memset(memory.get(), 0xA5, sizeof(gx7Conf));
        gx7Conf* conf = new (memory.get()) gx7Conf();
        g_failing = step;
        gx7SetInitStepHook(FailOne);
        conf->Init(nullptr);
        gx7SetInitStepHook(nullptr);

        EXPECT_EQ(step != GX7_INIT_CAPS, kcDXCaps::Instance() != nullptr);
        EXPECT_EQ(step != GX7_INIT_CONFIG, kcConfig::Instance() != nullptr);
        const ConfigBlock& record = conf->workingRecord;
        if (step == GX7_INIT_CONFIG || step == GX7_INIT_RECORD) {
            const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
            EXPECT_TRUE(std::all_of(bytes, bytes + sizeof(record), [](unsigned char b) { return b == 0; }));
        } else {
            ASSERT_TRUE(kcConfigCurrentBlock);
            EXPECT_EQ(0, std::memcmp(&record, kcConfigCurrentBlock, sizeof(ConfigBlock)));
            EXPECT_STREQ(L"テストゲーム", record.title);
            EXPECT_EQ(step == GX7_INIT_SETTINGS ? definedFps : 30, kcConfigGetInt(&record, "WINDOW", "fps"));
            EXPECT_EQ(step == GX7_INIT_MUTEX, conf->gameRunning == 1);
        }
        EXPECT_STREQ(step == GX7_INIT_LANGUAGE ? L"環境設定を起動しています" : L"Starting", TranslateText(keyed));
        EXPECT_EQ(step != GX7_INIT_SPLASH, IsWindow(conf->splashWindow) != FALSE);
        EXPECT_EQ(s < GX7_INIT_STEPS, capture.Contains("gx7Conf::Init : step " + std::to_string(s) + " failed"));

        conf->Release();
        kcHeapCreate(kTestHeapBytes); // the library's shut-down took the test's heap
        capture.Clear();
    }
}
