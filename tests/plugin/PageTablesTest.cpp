// Every page's table of bound controls and reset values against the configuration's table.
#include <gtest/gtest.h>
#include "config/kcSettings.h"
#include "plugin/SettingsPageTables.h"

// A key the settings table does not know would read 0 and store nothing, silently.
TEST(PageTables, EveryRowOfEveryPageNamesAnIntegerSetting)
{
    const kcPageTable* tables[] = {&GeneralPageTable(),   &Display1PageTable(),   &Display2PageTable(),
                                   &Direct3D1PageTable(), &Direct3D2PageTable(),  &Direct3DPageTable(),
                                   &SoundOtherPageTable(), &EnvironmentPageTable()};
    auto check = [](const char* section, const char* key) {
        const kcSetting* s = kcFindSetting(section, key);
        ASSERT_NE(s, nullptr) << section << "/" << key;
        EXPECT_TRUE(s->type == KCSET_I32 || s->type == KCSET_U16) << section << "/" << key;
    };
    for (const kcPageTable* table : tables) {
        for (size_t i = 0; i < table->bindingCount; ++i)
            check(table->bindings[i].section, table->bindings[i].key);
        for (size_t i = 0; i < table->resetCount; ++i)
            check(table->resets[i].section, table->resets[i].key);
    }
}
