// The generic page table: refresh, store and reset over real settings of the record.
#include <gtest/gtest.h>
#include <memory>
#include "config/ConfigBlock.h"
#include "config/kcSettings.h"
#include "plugin/DialogFixture.h"
#include "plugin/kcPageTable.h"

namespace {
const kcPageBinding kRows[] = {
    {201, "WINDOW", "mode", kcPageRadio, 0},
    {202, "WINDOW", "mode", kcPageRadio, 1},
    {203, "WINDOW", "mode", kcPageRadio, 2},
    {204, "WINDOW", "screensaver", kcPageCheck, 0},
    {205, "DEPEND", "use_z", kcPageCheckInverted, 0},
    {206, "TEXTURE", "bpp", kcPageRadioStoreOnly, 16},
    {207, "TEXTURE", "bpp", kcPageRadioStoreOnly, 32},
};
const kcPageReset kResets[] = {
    {"WINDOW", "mode", kcResetConstant, 0},
    {"WINDOW", "screensaver", kcResetBackup, 0},
    {"DEPEND", "use_z", kcResetConstant, 1},
};
const int kEdits[] = {300};
const kcPageTable kTable = kcMakePageTable(kRows, kResets, kEdits);

struct PageTableTest : ::testing::Test {
    void SetUp() override
    {
        std::vector<DialogControl> controls;
        for (const kcPageBinding& row : kRows)
            controls.push_back({L"BUTTON", L"x", static_cast<WORD>(row.control),
                                static_cast<DWORD>(row.kind == kcPageCheck || row.kind == kcPageCheckInverted
                                                       ? BS_CHECKBOX
                                                       : BS_RADIOBUTTON)});
        page = MakeDialog(L"page", controls);
        ASSERT_NE(page, nullptr);
        record.reset(new ConfigBlock());
    }
    void TearDown() override { DestroyWindow(page); }
    bool Checked(int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
    void Check(int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }

    HWND page = nullptr;
    std::unique_ptr<ConfigBlock> record;
};
} // namespace

TEST_F(PageTableTest, RefreshChecksTheRowOfTheValueAndNothingOutsideTheGroup)
{
    struct Case {
        int mode, screensaver, useZ;
        bool expect[5]; // 201..205
    } cases[] = {
        {0, 0, 1, {true, false, false, false, false}},
        {2, 1, 0, {false, false, true, true, true}},
        {7, 5, 3, {false, false, false, true, false}}, // outside the group: no radio button
        {-1, 0, 0, {false, false, false, false, true}},
    };
    for (const Case& c : cases) {
        for (int id = 201; id <= 205; ++id)
            Check(id, true);
        record->windowMode = c.mode;
        record->screenSaver = c.screensaver;
        record->useZ = c.useZ;
        kcPageRefresh(page, kTable, *record);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(Checked(201 + i), c.expect[i]) << "mode " << c.mode << " control " << 201 + i;
    }
}

TEST_F(PageTableTest, RefreshLeavesStoreOnlyRowsToThePage)
{
    Check(206, false);
    Check(207, true);
    record->textureBpp = 16;
    kcPageRefresh(page, kTable, *record);
    EXPECT_FALSE(Checked(206));
    EXPECT_TRUE(Checked(207));
}

TEST_F(PageTableTest, StoreTakesTheFirstCheckedButtonAndLeavesAnEmptyGroup)
{
    struct Case {
        bool radios[3];
        bool depth16, depth32;
        int32_t mode, bpp; // expected after store, from mode 9 and bpp 24
    } cases[] = {
        {{false, true, false}, false, true, 1, 32},
        {{false, true, true}, true, true, 1, 16}, // two checked: the first wins
        {{false, false, false}, false, false, 9, 24},
    };
    for (const Case& c : cases) {
        record->windowMode = 9;
        record->textureBpp = 24;
        for (int i = 0; i < 3; ++i)
            Check(201 + i, c.radios[i]);
        Check(206, c.depth16);
        Check(207, c.depth32);
        kcPageStore(page, kTable, *record);
        EXPECT_EQ(record->windowMode, c.mode);
        EXPECT_EQ(record->textureBpp, c.bpp);
    }
}

TEST_F(PageTableTest, StoreWritesCheckBoxesAndInvertedBoxes)
{
    record->screenSaver = 7;
    record->useZ = 7;
    Check(204, true);
    Check(205, true);
    kcPageStore(page, kTable, *record);
    EXPECT_EQ(record->screenSaver, 1);
    EXPECT_EQ(record->useZ, 0);
    Check(204, false);
    Check(205, false);
    kcPageStore(page, kTable, *record);
    EXPECT_EQ(record->screenSaver, 0);
    EXPECT_EQ(record->useZ, 1);
}

TEST_F(PageTableTest, ResetTakesConstantsAndTheBackup)
{
    std::unique_ptr<ConfigBlock> backup(new ConfigBlock());
    backup->screenSaver = 1;
    backup->windowMode = 2;
    record->windowMode = 1;
    record->screenSaver = 0;
    record->useZ = 0;
    kcPageResetValues(kTable, *record, backup.get());
    EXPECT_EQ(record->windowMode, 0);
    EXPECT_EQ(record->screenSaver, 1);
    EXPECT_EQ(record->useZ, 1);
    // Without a backup record only the constants are written.
    record->screenSaver = 5;
    kcPageResetValues(kTable, *record, nullptr);
    EXPECT_EQ(record->screenSaver, 5);
}

TEST_F(PageTableTest, EditsAreTheBoundControlsAndTheFurtherOnes)
{
    for (int id : {201, 205, 207, 300})
        EXPECT_TRUE(kcPageIsEdit(kTable, id)) << id;
    for (int id : {200, 208, 1102})
        EXPECT_FALSE(kcPageIsEdit(kTable, id)) << id;
}
