// The library's outside surface from the host's side: exports, the object's table of slots,
// and the life of the object (including the calls a careless host might make).
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "plugin/HostSession.h"
#include "plugin/gx7Conf.h"

namespace {
const IMAGE_DATA_DIRECTORY& Directory(HMODULE module, int index)
{
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[index];
}

BOOL CALLBACK CountDialog(HWND window, LPARAM count)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (lstrcmpW(name, L"#32770") == 0)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Dialogs of this thread (the notice, the sheet), shown or not.
int ThreadWindowCount()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountDialog, reinterpret_cast<LPARAM>(&count));
    return count;
}

bool IsNotice(HWND window, void*)
{
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}
}

using Exports = PluginLibrary;

TEST_F(Exports, FourNamedAndNumberedExportsAndNothingElse)
{
    const char* names[] = {"MakeInstance", "ReleaseInstance", "GetPluginVersion", "GetPluginType"};
    for (int ordinal = 1; ordinal <= 4; ++ordinal) {
        FARPROC byName = GetProcAddress(plugin.module, names[ordinal - 1]);
        EXPECT_NE(nullptr, byName) << names[ordinal - 1];
        EXPECT_EQ(byName, GetProcAddress(plugin.module, MAKEINTRESOURCEA(ordinal))) << ordinal;
    }
    EXPECT_EQ(0x00010003u, plugin.GetPluginVersion());
    EXPECT_EQ(0u, plugin.GetPluginType());

    const auto* base = reinterpret_cast<const BYTE*>(plugin.module);
    const auto& exportDir = Directory(plugin.module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exportDir.VirtualAddress);
    EXPECT_EQ(1u, exports->Base);
    EXPECT_EQ(4u, exports->NumberOfFunctions);
    ASSERT_EQ(4u, exports->NumberOfNames);
    std::vector<std::string> exported;
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        exported.push_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    EXPECT_EQ((std::vector<std::string>{"GetPluginType", "GetPluginVersion", "MakeInstance", "ReleaseInstance"}),
              exported);

    // Only system libraries are imported: no MinGW runtime beside the plug-in.
    const auto& importDir = Directory(plugin.module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + importDir.VirtualAddress); d->Name; ++d) {
        std::string name = reinterpret_cast<const char*>(base + d->Name);
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        for (const char* runtime : {"libgcc", "libstdc++", "libwinpthread", "msvcp", "vcruntime"})
            EXPECT_EQ(std::string::npos, name.find(runtime)) << name;
    }
}

TEST_F(Exports, SlotsPopTheirOwnArgumentsAndReleaseBalances)
{
    GameFolder game;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(game.Path().c_str()));
    const int windowsBefore = ThreadWindowCount();
    DWORD handles[2] = {}, gdiObjects[2] = {}, userObjects[2] = {};
    for (int cycle = 0; cycle < 2; ++cycle) {
        void* object = plugin.MakeInstance();
        ASSERT_NE(nullptr, object);
        int32_t delta = -1;
        gx7Init(object, nullptr, &delta);
        EXPECT_EQ(0, delta) << "Init";
        gx7SetScreenSize(object, 1280, 1024, &delta);
        EXPECT_EQ(0, delta) << "SetScreenSize";
        std::thread closer = CancelWhenShown();
        EXPECT_EQ(0, gx7Run(object, nullptr, nullptr, &delta));
        closer.join();
        EXPECT_EQ(0, delta) << "Run";
        plugin.ReleaseInstance(object);
        EXPECT_EQ(windowsBefore, ThreadWindowCount()) << cycle;
        GetProcessHandleCount(GetCurrentProcess(), &handles[cycle]);
        gdiObjects[cycle] = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
        userObjects[cycle] = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    }
    // The second cycle leaves what the first left (the first loads the system's libraries).
    EXPECT_EQ(handles[0], handles[1]);
    EXPECT_EQ(gdiObjects[0], gdiObjects[1]);
    EXPECT_EQ(userObjects[0], userObjects[1]);
    plugin.ReleaseInstance(nullptr);
    SetCurrentDirectoryW(previous);
}

TEST_F(Exports, CarelessHostsDoNoHarm)
{
    GameFolder game;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(game.Path().c_str()));
    const int windowsBefore = ThreadWindowCount();

    // Released without Init; Run before Init shows nothing.
    void* object = plugin.MakeInstance();
    EXPECT_EQ(-1, gx7Run(object, nullptr, nullptr));
    plugin.ReleaseInstance(object);

    // Init twice, never Run: the notice does not outlive the object.
    object = plugin.MakeInstance();
    gx7Init(object, nullptr);
    HWND notice = WaitForDialog(IsNotice, nullptr, 2000);
    EXPECT_NE(nullptr, notice);
    gx7Init(object, nullptr);
    EXPECT_EQ(nullptr, WaitForDialog([](HWND w, void* n) { return IsNotice(w, nullptr) && w != n; }, notice, 200));
    plugin.ReleaseInstance(object);
    EXPECT_FALSE(IsWindow(notice));

    // A second object while the first holds the library starts nothing; the first still works.
    void* first = plugin.MakeInstance();
    void* second = plugin.MakeInstance();
    gx7Init(first, nullptr);
    gx7Init(second, nullptr);
    EXPECT_EQ(-1, gx7Run(second, nullptr, nullptr));
    plugin.ReleaseInstance(second);
    std::thread closer = CancelWhenShown();
    EXPECT_EQ(0, gx7Run(first, nullptr, nullptr));
    closer.join();
    plugin.ReleaseInstance(first);
    EXPECT_EQ(windowsBefore, ThreadWindowCount());
    SetCurrentDirectoryW(previous);
}

TEST(ObjectLayout, TablePointerThenTheFieldsInContractOrder)
{
    gx7Conf* object = new gx7Conf();
    const auto at = [object](const void* field) {
        return static_cast<size_t>(static_cast<const char*>(field) - reinterpret_cast<const char*>(object));
    };
    // The record follows the table pointer at its own alignment (8: it holds doubles), as the
    // platform's compilers place it.
    const size_t start = alignof(ConfigBlock) > 4 ? alignof(ConfigBlock) : 4;
    const size_t record = start + sizeof(ConfigBlock) - 4;
    EXPECT_EQ(start, at(&object->workingRecord));
    EXPECT_EQ(4 + record, at(&object->sheetWindow));
    EXPECT_EQ(8 + record, at(&object->pageHandles));
    EXPECT_EQ(44 + record, at(&object->modified));
    EXPECT_EQ(48 + record, at(&object->pageProcedures));
    EXPECT_EQ(84 + record, at(&object->pageTemplates));
    EXPECT_EQ(120 + record, at(&object->hostWindow));
    EXPECT_EQ(124 + record, at(&object->applyCallback));
    EXPECT_EQ(128 + record, at(&object->callbackContext));
    EXPECT_EQ(132 + record, at(&object->splashWindow));
    EXPECT_EQ(136 + record, at(&object->gameRunning));
    EXPECT_EQ(140 + record, at(&object->screenWidth));
    EXPECT_EQ(144 + record, at(&object->screenHeight));
    // Fresh object: the table's entries, screen size from the system, the five window sizes zero.
    EXPECT_EQ(118, object->pageTemplates[0]);
    EXPECT_EQ(111, object->pageTemplates[8]);
    EXPECT_EQ(static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN)), object->screenWidth);
    for (const kcSizePair& size : object->workingRecord.windowSizes)
        EXPECT_TRUE(size.w == 0 && size.h == 0);
    EXPECT_EQ(nullptr, object->applyCallback);
    delete object;
}
