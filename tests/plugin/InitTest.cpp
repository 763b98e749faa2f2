#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <memory>
#include <new>
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "foundation/kcHeap.h"
#include "plugin/LanguageText.h"
#include "plugin/PageCommon.h"
#include "plugin/gx7Conf.h"
#include "plugin/host/GameFolder.h"
#include "plugin/kcDXCaps.h"

namespace {
gx7InitStep g_failing;
bool FailOne(gx7InitStep step) { return step != g_failing; }
} // namespace

// Each step made to fail in turn: its defaults stay, the later steps run, and the working record
// is the configuration's record or all zero, never leftover bytes.
TEST(PluginInit, EachFailedStepKeepsItsDefaultsAndTheRestRuns)
{
    GameFolder game;
    game.WriteLanguageFile("$0505-0001$\nStarting\n");
    InFolder in(game.Path());
    kcCreateConfig(L"config\\startup.xml", nullptr, 0); // the user's frame rate is not the definition's
    const int definedFps = kcConfigGetInt(kcConfigCurrentBlock, "WINDOW", "fps");
    kcConfigSetInt(kcConfigCurrentBlock, "WINDOW", "fps", 30);
    kcConfig::Instance()->SaveUserSettings();
    kcReleaseConfig();
    ASSERT_NE(30, definedFps);
    static const ConfigBlock zero = {};
    LogCapture capture;
    for (int s = 0; s <= GX7_INIT_STEPS; ++s) { // the last time, none fails
        const gx7InitStep step = static_cast<gx7InitStep>(s);
        SCOPED_TRACE(s);
        std::unique_ptr<unsigned char[]> memory(new unsigned char[sizeof(gx7Conf)]);
        std::memset(memory.get(), 0xA5, sizeof(gx7Conf)); // leftovers, as in a reused heap block
        gx7Conf* conf = new (memory.get()) gx7Conf();
        g_failing = step;
        gx7SetInitStepHook(FailOne);
        conf->Init(nullptr);
        gx7SetInitStepHook(nullptr);
        EXPECT_EQ(step != GX7_INIT_CAPS, kcDXCaps::Instance() != nullptr);
        EXPECT_EQ(step != GX7_INIT_CONFIG, kcConfig::Instance() != nullptr);
        const bool none = step == GX7_INIT_CONFIG || step == GX7_INIT_RECORD;
        ASSERT_TRUE(none || kcConfigCurrentBlock);
        EXPECT_EQ(0, std::memcmp(&conf->workingRecord, none ? &zero : kcConfigCurrentBlock, sizeof(ConfigBlock)));
        if (!none) {
            EXPECT_EQ(step == GX7_INIT_SETTINGS ? definedFps : 30, kcConfigGetInt(&conf->workingRecord, "WINDOW", "fps"));
            EXPECT_EQ(step == GX7_INIT_MUTEX, conf->gameRunning == 1);
        }
        EXPECT_STREQ(step == GX7_INIT_LANGUAGE ? L"built-in" : L"Starting", TranslateText(L"$0505-0001$built-in"));
        EXPECT_EQ(step != GX7_INIT_SPLASH, IsWindow(conf->splashWindow) != FALSE);
        EXPECT_EQ(s < GX7_INIT_STEPS, capture.Contains("gx7Conf::Init : step " + std::to_string(s) + " failed"));
        conf->Release();
        kcHeapCreate(kTestHeapBytes); // the library's shut-down took the test's heap
        capture.Clear();
    }
}

// An apply keeps the configuration's own two tables. After a failed record copy the working
// record never held the settings (its empty save folder names "\setup.xml" at the drive's
// root): an edit and an apply then write nothing.
TEST(PluginInit, ApplyKeepsTheTablesAndWritesNothingFromARecordNeverFilled)
{
    for (int recordFails : {1, 0}) {
        GameFolder game;
        InFolder in(game.Path());
        std::unique_ptr<gx7Conf> conf(new gx7Conf());
        g_failing = recordFails ? GX7_INIT_RECORD : GX7_INIT_STEPS;
        gx7SetInitStepHook(FailOne), conf->Init(nullptr), gx7SetInitStepHook(nullptr);
        ASSERT_TRUE(kcConfigCurrentBlock && kcConfigCurrentBlock->scriptReplace && kcConfigCurrentBlock->languages);
        const void* tables[] = {kcConfigCurrentBlock->scriptReplace, kcConfigCurrentBlock->languages};
        conf->workingRecord.scriptReplace = nullptr, conf->workingRecord.languages = nullptr, conf->modified = 1;
        ApplySettings(conf.get());
        EXPECT_TRUE(tables[0] == kcConfigCurrentBlock->scriptReplace && tables[1] == kcConfigCurrentBlock->languages) << recordFails;
        EXPECT_EQ(recordFails == 0, GetFileAttributesW(game.SetupXml().c_str()) != INVALID_FILE_ATTRIBUTES) << recordFails;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"\\setup.xml")) << recordFails;
        DeleteFileW(L"\\setup.xml");
        conf->Release();
        kcHeapCreate(kTestHeapBytes); // the library's shut-down took the test's heap
    }
}
