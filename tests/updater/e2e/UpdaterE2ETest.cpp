// End to end: the real updater.exe in a package folder, its boxes answered by this driver.
#include <windows.h>

#include <gtest/gtest.h>

#include "SamplePackage.h"
#include "UpdaterDriver.h"
#include "support/TestSupport.h"

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\rvl_morrowEX1";
const wchar_t kDisplayName[] = L"蒼嵐花譜 ～北辺の白狼編～";

struct Box {
    std::wstring caption, text;
};

bool operator==(const BoxRecord& a, const Box& b) { return a.caption == b.caption && a.text == b.text; }

void ExpectBoxes(const RunResult& run, const std::vector<Box>& expected)
{
    ASSERT_EQ(expected.size(), run.boxes.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].caption, run.boxes[i].caption) << "box " << i;
        EXPECT_EQ(expected[i].text, run.boxes[i].text) << "box " << i;
    }
}

std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    return ReadBytes(path, &bytes) ? bytes : std::string("<missing>");
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class UpdaterE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        package.brand = L"kcE2E";
        package.app = L"app_" + std::wstring(name.begin(), name.end());
        package.mutex = L"kcE2E_game_mutex";
        package.confmutex = L"kcE2E_conf_mutex";
        package.files = SampleFiles();
        packageFolder = root.File(L"package");
        install = root.File(L"インストール先");
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
    void TearDown() override
    {
        DeleteFileW(InstallPathFile(package.brand, package.app).c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    // Package, an installation of version 1.2 with an old readme and log, and its path file.
    void Prepare()
    {
        ASSERT_TRUE(WritePackage(packageFolder, package));
        ASSERT_TRUE(WriteInstallation(install, 1, 2));
        ASSERT_TRUE(WriteFileBytes(install + L"\\readme.txt", "old readme"));
        ASSERT_TRUE(WriteFileBytes(install + L"\\install.log", "\"old.txt\"\r\n\"README.TXT\"\r\n"));
        ASSERT_TRUE(WriteInstallPathFile(package.brand, package.app, Utf8(install)));
        // Distinct times on the sources, so that copied times can be told from fresh ones.
        FILETIME when = {0x12345600, 0x01D00000};
        for (const SampleFile& f : package.files) {
            HANDLE h = CreateFileW(Source(f).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            SetFileTime(h, &when, &when, &when);
            CloseHandle(h);
            when.dwLowDateTime += 0x10000000;
        }
        SetFileAttributesW(Source(package.files[0]).c_str(), FILE_ATTRIBUTE_READONLY);
    }

    std::wstring Source(const SampleFile& f) const { return packageFolder + L"\\data\\" + f.path; }
    std::wstring Installed(const SampleFile& f) const { return install + L"\\" + f.path; }

    void ExpectInstalled()
    {
        for (const SampleFile& f : package.files) {
            SCOPED_TRACE(Utf8(f.path));
            EXPECT_TRUE(ReadAll(Installed(f)) == f.bytes);
            WIN32_FILE_ATTRIBUTE_DATA source, copy;
            ASSERT_TRUE(GetFileAttributesExW(Source(f).c_str(), GetFileExInfoStandard, &source));
            ASSERT_TRUE(GetFileAttributesExW(Installed(f).c_str(), GetFileExInfoStandard, &copy));
            EXPECT_EQ(0, CompareFileTime(&source.ftLastWriteTime, &copy.ftLastWriteTime));
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), copy.dwFileAttributes);
        }
        EXPECT_EQ("\"bin\\big.bin\"\r\n\"old.txt\"\r\n\"README.TXT\"\r\n\"sub\\" + std::string(u8"深い") +
                      "\\edge.bin\"\r\n\"zero.dat\"\r\n\"" + u8"画像\\表.txt" + "\"\r\n",
                  ReadAll(install + L"\\install.log"));
    }

    void ExpectUninstallKey(bool present)
    {
        HKEY key;
        const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key);
        ASSERT_EQ(present, opened == ERROR_SUCCESS);
        if (!present)
            return;
        const std::wstring uninstall = install + L"\\uninst.exe";
        for (auto [name, value] : {std::pair<const wchar_t*, std::wstring>{L"DisplayName", kDisplayName},
                                   {L"UninstallString", uninstall}}) {
            wchar_t data[600] = {};
            DWORD type = 0, size = sizeof(data);
            ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
            EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
            EXPECT_EQ((value.size() + 1) * sizeof(wchar_t), size);
            EXPECT_EQ(value, std::wstring(data));
        }
        RegCloseKey(key);
    }

    // Nothing of the package reached the installation.
    void ExpectUntouched()
    {
        EXPECT_EQ("old readme", ReadAll(install + L"\\readme.txt"));
        EXPECT_EQ("\"old.txt\"\r\n\"README.TXT\"\r\n", ReadAll(install + L"\\install.log"));
        EXPECT_FALSE(Exists(install + L"\\zero.dat"));
        EXPECT_FALSE(Exists(install + L"\\data"));
        ExpectUninstallKey(false);
    }

    RunResult Run(const BoxHandler& handler = nullptr)
    {
        RunResult run = RunUpdater(packageFolder, handler);
        EXPECT_TRUE(run.started);
        EXPECT_TRUE(run.exited);
        EXPECT_EQ(0u, run.exitCode);
        return run;
    }

    const SampleTexts& t = kSampleJapanese;
    TempDir root;
    SamplePackage package;
    std::wstring packageFolder, install;
};

} // namespace

TEST_F(UpdaterE2E, SuccessRoad)
{
    Prepare();
    const RunResult run = Run();
    ExpectBoxes(run, {{t.wndtitle, t.intoro}, {t.wndtitle, t.success}});
    ExpectInstalled();
    ExpectUninstallKey(true);
}

TEST_F(UpdaterE2E, NoUpdateInfo)
{
    Prepare();
    DeleteFileW((packageFolder + L"\\updateinfo.xml").c_str());
    ExpectBoxes(Run(), {{L"error", L"updateinfo.xml was not found."}});
    ExpectUntouched();
}

TEST_F(UpdaterE2E, MalformedUpdateInfo)
{
    Prepare();
    ASSERT_TRUE(WriteFileBytes(packageFolder + L"\\updateinfo.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document><brand>x</document>"));
    ExpectBoxes(Run(), {{L"error", L"updateinfo.xml was not found."}});
    ExpectUntouched();
}

TEST_F(UpdaterE2E, UpdateInfoWithoutLanguage)
{
    Prepare();
    ASSERT_TRUE(WriteFileBytes(packageFolder + L"\\updateinfo.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document><brand>x</brand></document>"));
    ExpectBoxes(Run(), {{L"error", L"updateinfo.xml names no language."}});
    ExpectUntouched();
}

TEST_F(UpdaterE2E, GameOrSettingsToolRunning)
{
    Prepare();
    for (const std::wstring& name : {package.mutex, package.confmutex}) {
        SCOPED_TRACE(Utf8(name));
        HANDLE held = CreateMutexW(nullptr, TRUE, name.c_str());
        ASSERT_TRUE(held);
        ExpectBoxes(Run(), {{t.wndtitle, t.boot}});
        CloseHandle(held);
        ExpectUntouched();
    }
}

TEST_F(UpdaterE2E, CancelAtConfirmation)
{
    Prepare();
    ExpectBoxes(Run([](const BoxRecord&, HWND, DWORD) { return IDCANCEL; }), {{t.wndtitle, t.intoro}});
    ExpectUntouched();
}

TEST_F(UpdaterE2E, InstallationFolderMissingEmptyOrNotThere)
{
    Prepare();
    struct Case {
        const char* name;
        bool writeFile;
        std::string text;
    } cases[] = {
        {"no installation-folder file", false, ""},
        {"empty path", true, ""},
        {"folder that does not exist", true, Utf8(install) + "\\gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(InstallPathFile(package.brand, package.app).c_str());
        if (c.writeFile) {
            ASSERT_TRUE(WriteInstallPathFile(package.brand, package.app, c.text));
        }
        ExpectBoxes(Run(), {{t.wndtitle, t.intoro}, {t.wndtitle, t.error_inst}});
        ExpectUntouched();
        // The package folder itself must not have become an installation either.
        EXPECT_FALSE(Exists(packageFolder + L"\\install.log"));
        EXPECT_FALSE(Exists(packageFolder + L"\\data\\install.log"));
    }
}

TEST_F(UpdaterE2E, OlderInstallation)
{
    Prepare();
    ASSERT_TRUE(WriteInstallation(install, 1, 1));
    ExpectBoxes(Run(), {{t.wndtitle, t.intoro}, {t.title, t.error_version}});
    ExpectUntouched();
}

TEST_F(UpdaterE2E, PackageWithoutData)
{
    package.files.clear();
    Prepare();
    ExpectBoxes(Run(), {{t.wndtitle, t.intoro}, {t.title, L"The update package has no \"data\" folder."}});
    ExpectUntouched();
    EXPECT_FALSE(Exists(install + L"\\updateinfo.xml"));
}

TEST_F(UpdaterE2E, OverlongDestinationRefusedBeforeCopying)
{
    install = root.File(std::wstring(60, L'i'));
    // Fits below the package's "data" folder, not below the longer installation folder.
    const std::wstring name = std::wstring(250 - (packageFolder.size() + 6), L'n') + L".txt";
    package.files.push_back({name, "long"});
    Prepare();
    ASSERT_LT((packageFolder + L"\\data\\" + name).size(), 260u);
    const std::wstring destination = install + L"\\" + name;
    ExpectBoxes(Run(), {{t.wndtitle, t.intoro}, {t.title, L"A path of the update is too long:\n" + destination}});
    ExpectUntouched();
}

TEST_F(UpdaterE2E, DestinationHeldOpenMidway)
{
    Prepare();
    const SampleFile& heldFile = package.files[2];
    ASSERT_TRUE(WriteFileBytes(Installed(heldFile), "installed copy"));
    HANDLE held = CreateFileW(Installed(heldFile).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const RunResult failed = Run();
    ASSERT_EQ(3u, failed.boxes.size());
    EXPECT_TRUE(failed.boxes[0] == (Box{t.wndtitle, t.intoro}));
    EXPECT_EQ(std::wstring(t.title), failed.boxes[1].caption);
    EXPECT_FALSE(failed.boxes[1].text.empty());
    EXPECT_TRUE(failed.boxes[2] == (Box{t.wndtitle, t.error_copy}));
    CloseHandle(held);
    EXPECT_EQ("installed copy", ReadAll(Installed(heldFile)));
    ExpectUninstallKey(false);
    // No temporary file is left beside the destination.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((install + L"\\sub\\深い\\*").c_str(), &found);
    int entries = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            entries += found.cFileName[0] != L'.';
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    EXPECT_EQ(1, entries);

    const RunResult again = Run();
    ExpectBoxes(again, {{t.wndtitle, t.intoro}, {t.wndtitle, t.success}});
    ExpectInstalled();
    ExpectUninstallKey(true);
}

TEST_F(UpdaterE2E, MissingBackgroundStillUpdatesInFallbackWindow)
{
    package.background = false;
    Prepare();
    SIZE client = {};
    const RunResult run = Run([&client](const BoxRecord&, HWND, DWORD pid) {
        RECT r = {};
        if (HWND w = FindUpdateWindow(pid); w && GetClientRect(w, &r) && !client.cx)
            client = {r.right, r.bottom};
        return IDOK;
    });
    ExpectBoxes(run, {{t.wndtitle, t.intoro}, {t.wndtitle, t.success}});
    EXPECT_EQ(640, client.cx);
    EXPECT_EQ(480, client.cy);
    ExpectInstalled();
}

TEST_F(UpdaterE2E, WindowShowsItsBackground)
{
    package.backgroundWidth = 321; // odd width: rows need padding in the drawing
    package.backgroundHeight = 203;
    Prepare();
    Picture shot;
    RECT client = {};
    const RunResult run = Run([&](const BoxRecord&, HWND box, DWORD pid) {
        HWND window = FindUpdateWindow(pid);
        if (!window || shot.width)
            return IDCANCEL;
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        // Move the box off the window, let the window repaint, then look at the screen.
        SetWindowPos(box, nullptr, origin.x + client.right + 20, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Sleep(300);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Sleep(500);
        const RECT area = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
        CaptureScreen(area, &shot);
        return IDCANCEL;
    });
    ExpectBoxes(run, {{t.wndtitle, t.intoro}});
    ASSERT_EQ(package.backgroundWidth, client.right);
    ASSERT_EQ(package.backgroundHeight, client.bottom);
    ASSERT_EQ(package.backgroundWidth, shot.width);
    SaveBmp(ScreenshotFolder() + L"\\e2e_update_window.bmp", shot);
    const std::vector<uint8_t> expected = SampleBackground(package.backgroundWidth, package.backgroundHeight);
    int differing = 0;
    for (int i = 0; i < shot.width * shot.height; ++i)
        differing += memcmp(&shot.bgr[i * 3], &expected[i * 4], 3) != 0;
    EXPECT_EQ(0, differing);
}

namespace {

BOOL CALLBACK CollectManifest(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param)
{
    HRSRC found = FindResourceW(module, name, type);
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    reinterpret_cast<std::vector<std::string>*>(param)->emplace_back(data, SizeofResource(module, found));
    return TRUE;
}

} // namespace

TEST(UpdaterExe, CarriesItsResourcesAndOneManifest)
{
    HMODULE exe = LoadLibraryExW(UpdaterExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe);
    std::vector<std::string> manifests;
    EnumResourceNamesW(exe, RT_MANIFEST, CollectManifest, reinterpret_cast<LONG_PTR>(&manifests));
    ASSERT_EQ(1u, manifests.size());
    EXPECT_NE(std::string::npos, manifests[0].find("level=\"highestAvailable\""));
    EXPECT_NE(std::string::npos, manifests[0].find("uiAccess=\"false\""));
    EXPECT_TRUE(FindResourceW(exe, MAKEINTRESOURCEW(103), RT_GROUP_ICON));
    EXPECT_TRUE(FindResourceW(exe, MAKEINTRESOURCEW(104), RT_GROUP_ICON));
    EXPECT_TRUE(FindResourceW(exe, MAKEINTRESOURCEW(1003), RT_DIALOG));
    FreeLibrary(exe);
}
