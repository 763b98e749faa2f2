#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "config/kcSettingPlans.h"
#include "config/kcSettings.h"

namespace {

TEST(SettingsTable, SectionAndKeyReachTheField)
{
    const struct { const char* section; const char* key; size_t offset; int row, slot; } cases[] = {
        {"WINDOW", "width", offsetof(ConfigBlock, width), 0, 0}, {"SCREEN", "width", offsetof(ConfigBlock, width), 0, 0},
        {"GAME", "enabledrag", offsetof(ConfigBlock, enableDrag), 0, 0}, // the user's, not the game's
        {"VOICE", "play05", offsetof(ConfigBlock, voices) + 5 * 116, 5, 0}, {"VOICE", "play%02d", offsetof(ConfigBlock, voices), 0, 0},
        {"KEY", "kb2_07", offsetof(ConfigBlock, keys) + 7 * 40 + 4 + 1, 7, 1},
        {"KEY", "jp4r_79", offsetof(ConfigBlock, keys) + 79 * 40 + 28 + 3, 79, 3},
        {"KEYCUSTOMIZE", "key03/mouse2", offsetof(ConfigBlock, keys) + 3 * 40 + 8 + 1, 3, 1},
        {"INT", "int127/name", offsetof(ConfigBlock, intRows) + 127 * 332 + 300, 127, 0},
        {"SYSTEMVOICE", "play47", offsetof(ConfigBlock, systemVoicePlay) + 47 * 4, 47, 0},
        {"SCREEN", "list/type4/h", offsetof(ConfigBlock, windowSizes) + 4 * 8 + 4, 4, 0},
        {"GAME", "wndcolor/r", offsetof(ConfigBlock, wndColor) + 2, 0, 0}, {"TTS", "speed", offsetof(ConfigBlock, ttsSpeed), 0, 0},
    };
    std::unique_ptr<ConfigBlock> b(new ConfigBlock());
    for (const auto& c : cases) {
        int row = -1, slot = -1;
        const kcSetting* s = kcFindSetting(c.section, c.key, &row, &slot);
        ASSERT_NE(s, nullptr) << c.section << "/" << c.key;
        EXPECT_TRUE(row == c.row && slot == c.slot) << c.key << " " << row << " " << slot;
        EXPECT_EQ((const char*)kcSettingAddress(b.get(), s, row, slot) - (const char*)b.get(), (ptrdiff_t)c.offset) << c.key;
    }
    const char* unknown[][2] = {{"WINDOW", "widths"}, {"VOICE", "play48"}, {"KEY", "kb5_00"}, {"KEY", "kb1_80"},
                                {"INT", "int128/name"}, {"VOICE", "play5"}, {"", ""}};
    for (auto& u : unknown) EXPECT_EQ(kcFindSetting(u[0], u[1]), nullptr) << u[0] << "/" << u[1];
}

TEST(SettingsTable, TypedAccessKeepsLowBitsAndCutsTexts)
{
    std::unique_ptr<ConfigBlock> b(new ConfigBlock());
    memset(b.get(), 0, sizeof(ConfigBlock));
    EXPECT_TRUE(kcConfigSetInt(b.get(), "WINDOW", "width", 0x12345));
    EXPECT_EQ(b->width * 0x10000 + b->height, 0x23450000); // the neighbour untouched
    EXPECT_TRUE(kcConfigSetInt(b.get(), "KEY", "kb1_00", 0x1FF));
    EXPECT_EQ(b->keys[0].keyboard[0], 0xFF);
    EXPECT_EQ(kcConfigGetInt(b.get(), "KEY", "kb1_00"), 255);
    EXPECT_EQ(kcConfigSetInt(b.get(), "NOPE", "x", 1), 0);

    std::wstring longText(100, L'\x3042');
    EXPECT_TRUE(kcConfigSetText(b.get(), "TTS", "id", longText.c_str()));
    EXPECT_EQ(wcslen(b->ttsId), 63u);
    // A narrow field takes UTF-8 and is cut on a character boundary (3 bytes per character).
    EXPECT_TRUE(kcConfigSetText(b.get(), "SYSTEMVOICE", "ch01/name", longText.c_str()));
    EXPECT_EQ(strlen(b->systemVoiceNames[1]), 30u);
    wchar_t out[8];
    EXPECT_TRUE(kcConfigGetText(b.get(), "SYSTEMVOICE", "ch01/name", out, 8));
    EXPECT_EQ(std::wstring(out), std::wstring(7, L'\x3042'));
}

// Every value lies inside the record; every plan names keys of the table.
TEST(SettingsTable, TableAndPlansAgree)
{
    int n = 0;
    const kcSetting* t = kcSettingTable(&n);
    ASSERT_GT(n, 200);
    for (int i = 0; i < n; ++i) {
        const kcSetting& s = t[i];
        size_t last = s.offset + (size_t)(s.rows - 1) * s.rowStride + (size_t)(s.slots - 1) * s.slotStride + s.size;
        EXPECT_TRUE(last <= sizeof(ConfigBlock) && (s.gameKey || s.userKey)) << (s.userKey ? s.userKey : s.gameKey);
    }
    for (int p = 0; p < KCPLAN_COUNT; ++p) {
        const kcSettingStep* steps = kcSettingPlan((kcPlan)p, &n);
        ASSERT_NE(steps, nullptr) << p;
        for (int i = 0; i < n; ++i) {
            if (steps[i].op != KCSTEP_KEY) continue;
            ASSERT_NE(steps[i].setting, nullptr) << steps[i].key;
            EXPECT_STREQ(kcSettingPlanIsUser((kcPlan)p) ? steps[i].setting->userKey : steps[i].setting->gameKey, steps[i].key);
        }
    }
}

} // namespace
