#pragma once
// The order in which the readers and the writer visit the settings. The writer's order is the
// layout of "setup.xml"; the readers' order decides which value a later step sees. Each step
// names a key of the settings table (kcSettings.h), a group of keys read row by row, or one of
// the steps with rules of their own.
#include <cstdint>

#include "config/kcSettings.h"

enum kcStepOp : uint8_t {
    KCSTEP_KEY,     // one setting, every row and slot
    KCSTEP_ROWS,    // the next `count` KEY steps together, row by row, slot by slot; `code` a row rule
    KCSTEP_SPECIAL, // `code` a step with its own rule
};

enum kcStepCode : uint16_t {
    KCS_NONE,
    // game definition
    KCS_CURRENT_FROM_VIRTUAL, KCS_FOLDERS, KCS_INFO_COMMENT, KCS_MANUAL_FLAG, KCS_PRESET_TO_MESSAGE,
    KCS_SCRIPT_REPLACE, KCS_LANGUAGES, KCS_FULL_MATCH, KCS_FONTS, KCS_JOYPAD_OFF, KCS_SOUNDCONFIG,
    KCS_WNDCOLOR,
    // "setup.xml"
    KCS_FULL_HAS, KCS_USE_SIZE, KCS_LANGUAGE_CLAMP, KCS_USER_FONTS,
    // row rules
    KCR_SOUNDGROUP_USED, KCR_KEY_NAMED, KCR_VOICE_ROW, KCR_NAMED_ONLY,
};

struct kcSettingStep {
    kcStepOp op;
    uint8_t count;            // ROWS: steps in the group
    uint16_t code;            // ROWS and SPECIAL: the rule; KEY: 1 for the second setting of the same key
    const char* key;          // KEY: the key in the plan's file
    const kcSetting* setting; // KEY: resolved once from the table
};

enum kcPlan {
    KCPLAN_STARTUP1, KCPLAN_STARTUP2, KCPLAN_STARTUP3,      // game definition
    KCPLAN_READ_SYSTEM, KCPLAN_READ_USER1, KCPLAN_READ_USER2, // "setup.xml" (USER2 also "gamedef.xml")
    KCPLAN_WRITE_SYSTEM, KCPLAN_WRITE_USER,
    KCPLAN_COUNT
};

// The steps of a plan with their settings resolved; null when a key of the plan is missing from
// the table (a programming error that the tests catch).
const kcSettingStep* kcSettingPlan(kcPlan plan, int* count);
// Whether a plan reads or writes "setup.xml" names (else game-definition names).
bool kcSettingPlanIsUser(kcPlan plan);
