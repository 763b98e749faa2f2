#pragma once
// The real gx7conf.dll driven through our host: the session runs on the test's thread, a
// script works the sheet from a second thread and the sheet is closed (Cancel) if it is left open.
#include <gtest/gtest.h>
#include <windows.h>
#include <prsht.h>
#include <functional>
#include <string>
#include <thread>
#include "plugin/host/GameFolder.h"
#include "plugin/host/SheetDriver.h"
#include "plugin/host/gx7Host.h"

struct ApplyCounter {
    int calls = 0;
    void* lastContext = nullptr;
    static void __stdcall Callback(void* context)
    {
        auto* self = static_cast<ApplyCounter*>(context);
        ++self->calls;
        self->lastContext = context;
    }
};

class PluginLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin.Load(KC_GX7CONF_DLL)); }
    void TearDown() override { plugin.Unload(); }

    // Runs one session on game; script gets the sheet once it shows. Returns Run's result.
    int Session(const GameFolder& game, const std::function<void(HWND sheet)>& script,
                ApplyCounter* counter = nullptr, bool nullCallback = false)
    {
        gx7HostOptions options;
        options.gameFolder = game.Path().c_str();
        if (counter && !nullCallback) {
            options.callback = ApplyCounter::Callback;
            options.context = counter;
        }
        std::thread driver([&] {
            HWND sheet = WaitForSheet(30000);
            if (!sheet)
                return;
            script(sheet);
            if (IsWindow(sheet))
                PressSheetButton(sheet, PSBTN_CANCEL);
        });
        const int result = gx7HostSession(plugin, options);
        driver.join();
        return result;
    }

    gx7Plugin plugin;
};

// A thread that cancels the sheet once it shows (join it after Run returned).
inline std::thread CancelWhenShown()
{
    return std::thread([] {
        if (HWND sheet = WaitForSheet(30000))
            PressSheetButton(sheet, PSBTN_CANCEL);
    });
}

inline bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
