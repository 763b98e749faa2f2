// End to end: the real updater.exe in a package folder, its boxes answered by this driver.
#include <gtest/gtest.h>

#include <algorithm>

#include "updater/e2e/Sample.h"
#include "support/Hg3Builder.h"
#include "support/PeFile.h"
#include "support/TestSupport.h"

void PrintTo(const BoxRecord& box, std::ostream* os) { *os << "[" << Utf8(box.caption) << "] " << Utf8(box.text); }

namespace {

// The success text carries format characters: a box shows them as they stand.
const SampleTexts t = {
    kSampleJapanese.wndtitle, kSampleJapanese.intoro, L"アップデートが完了しました。%s %n 100%",
    kSampleJapanese.error_version, kSampleJapanese.error_inst, kSampleJapanese.error_copy, kSampleJapanese.copying,
    kSampleJapanese.language, kSampleJapanese.boot, kSampleJapanese.title,
};
typedef std::vector<BoxRecord> Boxes;
class UpdaterE2E;

// A road through the program: its setup writes the package and the installation and returns
// the boxes expected; a road whose last box is the success text installs the package.
struct Road {
    const char* name;
    std::function<Boxes(UpdaterE2E&)> setup;
    SIZE client; // of the update window at the first box; 0: no window by then
    int answer;
};
void PrintTo(const Road& road, std::ostream* os) { *os << road.name; }

std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    return ReadBytes(path, &bytes) ? bytes : std::string("<missing>");
}

class UpdaterE2E : public ::testing::TestWithParam<Road> {
public:
    void SetUp() override
    {
        package.brand = L"kcE2E";
        package.japanese = &t;
        package.background = SampleBackgroundHg3(320, 200);
        package.files = SampleFiles();
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKeyPath);
    }
    void TearDown() override
    {
        CloseHandle(held);
        DeleteFileW(InstallPathFile(package.brand, package.app).c_str());
        if (install.rfind(kGames, 0) == 0)
            RemoveTree(kGames);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKeyPath);
    }

    // The package (sources with distinct times, one read-only, hidden and system) and an
    // installation of 1.2 with an old readme (and the user's file under its temporary's name) and
    // log, found through its path file.
    void Prepare()
    {
        ASSERT_TRUE(WritePackage(packageFolder, package) && WriteInstallation(install, 1, 2) &&
                    WriteFileBytes(install + L"\\readme.txt", "old readme") &&
                    WriteFileBytes(install + L"\\readme.txt.kctmp", kPlanted) &&
                    WriteFileBytes(install + L"\\install.log", "\"old.txt\"\r\n\"README.TXT\"\r\n") &&
                    WriteInstallPathFile(package.brand, package.app, Utf8(install)));
        FILETIME when = {0x12345600, 0x01D00000};
        for (const SampleFile& f : package.files) {
            HANDLE h = CreateFileW(Source(f).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            SetFileTime(h, &when, &when, &when);
            CloseHandle(h);
            when.dwLowDateTime += 0x10000000;
        }
        SetFileAttributesW(Source(package.files[0]).c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    }
    std::wstring Source(const SampleFile& f) const { return packageFolder + L"\\data\\" + f.path; }
    std::wstring Installed(const SampleFile& f) const { return install + L"\\" + f.path; }

    RunResult Run(const BoxHandler& handler = nullptr)
    {
        RunResult run = RunUpdater(packageFolder, handler);
        EXPECT_TRUE(run.exited && run.exitCode == 0);
        return run;
    }

    void ExpectInstalled()
    {
        EXPECT_EQ(kPlanted, ReadAll(install + L"\\readme.txt.kctmp"));
        for (const SampleFile& f : package.files) {
            SCOPED_TRACE(Utf8(f.path));
            EXPECT_TRUE(ReadAll(Installed(f)) == f.bytes);
            WIN32_FILE_ATTRIBUTE_DATA source, copy;
            ASSERT_TRUE(GetFileAttributesExW(Source(f).c_str(), GetFileExInfoStandard, &source) &&
                        GetFileAttributesExW(Installed(f).c_str(), GetFileExInfoStandard, &copy));
            EXPECT_EQ(0, CompareFileTime(&source.ftLastWriteTime, &copy.ftLastWriteTime));
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), copy.dwFileAttributes);
        }
        EXPECT_EQ("\"bin\\big.bin\"\r\n\"old.txt\"\r\n\"README.TXT\"\r\n\"sub\\" + std::string(u8"深い") +
                      "\\edge.bin\"\r\n\"zero.dat\"\r\n\"" + u8"画像\\表.txt" + "\"\r\n",
                  ReadAll(install + L"\\install.log"));
        const std::pair<const wchar_t*, std::wstring> values[] = {{L"DisplayName", L"蒼嵐花譜 ～北辺の白狼編～"},
                                                                   {L"UninstallString", install + L"\\uninst.exe"}};
        for (const auto& [name, expected] : values) {
            std::wstring value;
            DWORD type = 0, size = 0;
            EXPECT_TRUE(QueryUninstallValue(name, &value, &type, &size));
            EXPECT_EQ(expected, value);
            EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
            EXPECT_EQ((expected.size() + 1) * sizeof(wchar_t), size); // the NUL counted
        }
    }

    // Nothing of the package reached the installation, nor became one in the package folder.
    void ExpectUntouched()
    {
        EXPECT_EQ("old readme", ReadAll(install + L"\\readme.txt"));
        EXPECT_EQ("\"old.txt\"\r\n\"README.TXT\"\r\n", ReadAll(install + L"\\install.log"));
        for (const std::wstring& path : {install + L"\\zero.dat", install + L"\\data", install + L"\\updateinfo.xml",
                                         packageFolder + L"\\install.log", packageFolder + L"\\data\\install.log"})
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << Utf8(path);
        std::wstring value;
        DWORD type, size;
        EXPECT_FALSE(QueryUninstallValue(L"DisplayName", &value, &type, &size));
    }

    static constexpr const char* kPlanted = "the user's own notes";
    static constexpr const wchar_t* kGames = L"C:\\Games";
    TempDir root;
    SamplePackage package;
    std::wstring packageFolder = root.File(L"package"), install = root.File(L"インストール先");
    HANDLE held = nullptr;
};

Boxes Asked(const wchar_t* caption, const wchar_t* text) { return {{t.wndtitle, t.intoro}, {caption, text}}; }

Boxes MutexHeld(UpdaterE2E& f, const std::wstring& name)
{
    f.Prepare();
    f.held = CreateMutexW(nullptr, TRUE, name.c_str());
    return {{t.wndtitle, t.boot}};
}

Boxes UpdateInfo(UpdaterE2E& f, const char* body, const wchar_t* text)
{
    f.Prepare();
    DeleteFileW((f.packageFolder + L"\\updateinfo.xml").c_str());
    if (body) WriteFileBytes(f.packageFolder + L"\\updateinfo.xml", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + body);
    return {{L"error", text}};
}

Boxes InstallPath(UpdaterE2E& f, const char* text)
{
    f.Prepare();
    DeleteFileW(InstallPathFile(f.package.brand, f.package.app).c_str());
    if (text) WriteInstallPathFile(f.package.brand, f.package.app, text[0] ? Utf8(f.install) + text : "");
    return Asked(t.wndtitle, t.error_inst);
}

// An installation at "C:\Games\テスト版" of version 0.0 whose folder file holds its path in
// Shift_JIS after the given head. Only the exact declaration makes the file Shift_JIS; read as
// UTF-8, the path stops at its first Japanese byte, and its parent must not be installed into.
Boxes ShiftJisInstallPath(UpdaterE2E& f, const std::string& head)
{
    f.install = std::wstring(f.kGames) + L"\\テスト版";
    f.package.major = f.package.minor = 0;
    f.Prepare();
    WriteFileBytes(InstallPathFile(f.package.brand, f.package.app),
                   head + "<document><path>" + Sjis(u8"C:\\Games\\テスト版") + "</path></document>\r\n");
    return Asked(t.wndtitle, head == "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>" ? t.success : t.error_inst);
}

// The names in a folder, files and folders.
std::vector<std::wstring> Entries(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd))
        names.push_back(fd.cFileName);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

const SIZE kNoWindow = {0, 0}, kBackground = {320, 200};

const Road kRoads[] = {
    {"Success", [](UpdaterE2E& f) { // the path ends in a backslash: joined paths hold one
         f.Prepare();
         WriteInstallPathFile(f.package.brand, f.package.app, Utf8(f.install) + "\\");
         return Asked(t.wndtitle, t.success);
     }, kBackground},
    {"UndecodableBackground", [](UpdaterE2E& f) { f.package.background = "HG-3?"; f.Prepare(); return Asked(t.wndtitle, t.success); }, {640, 480}},
    {"ZeroWidthBackground", [](UpdaterE2E& f) { // decodable, but not drawable
         Hg3StdInfo info;
         info.height = info.canvasHeight = 0x10000000;
         f.package.background = Hg3Builder().StdInfo(info).CodedBand(0, 0, info.height, Hg2Encode(nullptr, 0, 0, 0, 4)).Build();
         f.Prepare();
         return Asked(t.wndtitle, t.success);
     }, {640, 480}},
    {"NoUpdateInfo", [](UpdaterE2E& f) { return UpdateInfo(f, nullptr, L"updateinfo.xml was not found."); }, kNoWindow},
    {"MalformedUpdateInfo", [](UpdaterE2E& f) { return UpdateInfo(f, "<document><brand>x</document>", L"updateinfo.xml was not found."); }, kNoWindow},
    {"NoLanguage", [](UpdaterE2E& f) { return UpdateInfo(f, "<document><brand>x</brand></document>", L"updateinfo.xml names no language."); }, kNoWindow},
    {"GameRunning", [](UpdaterE2E& f) { return MutexHeld(f, f.package.mutex); }, kNoWindow},
    {"SettingsRunning", [](UpdaterE2E& f) { return MutexHeld(f, f.package.confmutex); }, kNoWindow},
    {"Cancelled", [](UpdaterE2E& f) { f.Prepare(); return Boxes{{t.wndtitle, t.intoro}}; }, kBackground, IDCANCEL},
    {"NoInstallPathFile", [](UpdaterE2E& f) { return InstallPath(f, nullptr); }, kBackground},
    {"EmptyInstallPath", [](UpdaterE2E& f) { return InstallPath(f, ""); }, kBackground},
    {"ShiftJisPathExactDeclaration", [](UpdaterE2E& f) { return ShiftJisInstallPath(f, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"); }, kBackground},
    {"ShiftJisPathLowerCaseDeclaration", [](UpdaterE2E& f) { return ShiftJisInstallPath(f, "<?xml version=\"1.0\" encoding=\"shift_jis\"?>"); }, kBackground},
    {"ShiftJisPathNoDeclaration", [](UpdaterE2E& f) { return ShiftJisInstallPath(f, ""); }, kBackground},
    {"Utf8PathWithABadByte", [](UpdaterE2E& f) { // cut there, it would name C:\Games
         ShiftJisInstallPath(f, "");
         WriteInstallPathFile(f.package.brand, f.package.app, "C:\\Games\\\x80テスト版");
         return Asked(t.wndtitle, t.error_inst);
     }, kBackground},
    {"BrandWithABadByte", [](UpdaterE2E& f) { // cut there, it would name this product's file
         f.Prepare();
         std::string info = ReadAll(f.packageFolder + L"\\updateinfo.xml");
         const std::string brand = "<brand>" + Utf8(f.package.brand);
         info.replace(info.find(brand), brand.size(), brand + "\x81x");
         WriteFileBytes(f.packageFolder + L"\\updateinfo.xml", info);
         return Asked(t.wndtitle, t.error_inst);
     }, kBackground},
    {"OlderInstallation", [](UpdaterE2E& f) { f.Prepare(); WriteInstallation(f.install, 1, 1); return Asked(t.title, t.error_version); }, kBackground},
    {"HugeGameDefinition", [](UpdaterE2E& f) { // refused by its size: version 0
         f.Prepare();
         return WriteSparseFile(f.install + L"\\config\\startup.xml", 1900000000LL, "<major>9</major><minor>9</minor>") ? Asked(t.title, t.error_version) : Boxes{};
     }, kBackground},
    {"NoDataFolder", [](UpdaterE2E& f) {
         f.Prepare();
         MoveFileW((f.packageFolder + L"\\data").c_str(), (f.packageFolder + L"\\other").c_str());
         return Asked(t.title, L"The update package has no \"data\" folder.");
     }, kBackground},
    {"DestinationTooLongForTheCopier", [](UpdaterE2E& f) {
         // 256 characters: a path, but without room for the copier's temporary file beside it.
         f.install = f.root.File(std::wstring(60, L'i'));
         const std::wstring name = std::wstring(256 - f.install.size() - 1 - 4, L'n') + L".txt";
         f.package.files.push_back({name, "long"});
         f.Prepare();
         return Asked(t.title, (L"A path of the update is too long:\n" + f.install + L"\\" + name).c_str());
     }, kBackground},
};

} // namespace

TEST_P(UpdaterE2E, Road)
{
    const Road& road = GetParam();
    const Boxes expected = road.setup(*this);
    const std::vector<std::wstring> root = Entries(L"C:"), games = Entries(kGames);
    const RunResult run = Run([&road](const BoxRecord&, HWND, DWORD) { return road.answer ? road.answer : IDOK; });
    EXPECT_EQ(expected, run.boxes);
    EXPECT_EQ(root, Entries(L"C:")); // nothing written into the drive root or a shared folder
    EXPECT_EQ(games, Entries(kGames));
    EXPECT_TRUE(road.client.cx == run.client.cx && road.client.cy == run.client.cy) << run.client.cx << "x" << run.client.cy;
    if (expected.back().text == t.success)
        ExpectInstalled();
    else
        ExpectUntouched();
}

INSTANTIATE_TEST_SUITE_P(All, UpdaterE2E, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

TEST_F(UpdaterE2E, DestinationHeldOpenMidwayThenSecondRunSucceeds)
{
    Prepare();
    const std::wstring heldFile = Installed(package.files[2]);
    ASSERT_TRUE(WriteFileBytes(heldFile, "installed copy"));
    held = CreateFileW(heldFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const RunResult failed = Run();
    ASSERT_EQ(3u, failed.boxes.size());
    EXPECT_EQ(std::wstring(t.title), failed.boxes[1].caption);
    EXPECT_EQ(0u, failed.boxes[1].text.find(L"出力ファイル [" + heldFile + L"] がオープン出来ません。 : "));
    EXPECT_EQ((Boxes{failed.boxes[0], failed.boxes[2]}), Asked(t.wndtitle, t.error_copy));
    CloseHandle(held);
    held = nullptr;
    EXPECT_EQ("installed copy", ReadAll(heldFile));
    EXPECT_EQ("<missing>", ReadAll(heldFile + L".kctmp"));
    std::wstring value;
    DWORD type, size;
    EXPECT_FALSE(QueryUninstallValue(L"DisplayName", &value, &type, &size));
    EXPECT_EQ(Asked(t.wndtitle, t.success), Run().boxes);
    ExpectInstalled();
}

TEST_F(UpdaterE2E, NewerInstalledLibraryStaysWhileTheRestIsCopied)
{
    // Two builds of one library with a version resource (1.0.0.4 and 1.0.0.5), beside this test.
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring here = std::wstring(exe).substr(0, std::wstring(exe).rfind(L'\\') + 1);
    const std::string older = ReadAll(here + L"copier_v1004.dll"), newer = ReadAll(here + L"copier_v1005.dll");
    ASSERT_TRUE(older != "<missing>" && newer != "<missing>" && older != newer);
    const SampleFile library = {L"bin\\engine.dll", older};
    package.files.push_back(library);
    Prepare();
    ASSERT_TRUE(WriteFileBytes(Installed(library), newer));
    EXPECT_EQ(Asked(t.wndtitle, t.success), Run().boxes);
    EXPECT_TRUE(ReadAll(Installed(library)) == newer);
    package.files.pop_back();
    for (const SampleFile& f : package.files) EXPECT_TRUE(ReadAll(Installed(f)) == f.bytes) << Utf8(f.path);
    EXPECT_NE(std::string::npos, ReadAll(install + L"\\install.log").find("\"bin\\engine.dll\"\r\n"));
}

TEST_F(UpdaterE2E, WindowShowsItsBackgroundFlattenedOnWhite)
{
    const int width = 321, height = 203; // odd width: the drawn rows need padding
    package.background = SampleBackgroundHg3(width, height);
    Prepare();
    const std::vector<uint8_t> bgra = SampleBackground(width, height);
    auto differing = [&](const Picture& shot) {
        if (shot.width != width || shot.height != height) return -1;
        int count = 0;
        for (int i = 0; i < width * height * 3; ++i)
            count += shot.bgr[i] != static_cast<uint8_t>(255 + (((bgra[i / 3 * 4 + i % 3] - 255) * bgra[i / 3 * 4 + 3]) >> 8));
        return count;
    };
    Picture shot;
    int differ = -1;
    const RunResult run = Run([&](const BoxRecord&, HWND box, DWORD pid) {
        HWND window = FindUpdateWindow(pid);
        RECT client = {};
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        // Move the box off the window and have the window repaint; a message round trip shows its
        // thread is past the paint. The screen may still show it later on a loaded machine, so it
        // is read until it shows the picture (bounded: a wrong picture stays wrong).
        SetWindowPos(box, nullptr, origin.x + client.right + 20, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);
        const RECT area = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
        for (int tries = 0; tries < 400; ++tries) {
            if (CaptureScreen(area, &shot) && (differ = differing(shot)) == 0) break;
            Sleep(25);
        }
        return IDCANCEL;
    });
    EXPECT_EQ((Boxes{{t.wndtitle, t.intoro}}), run.boxes);
    ASSERT_TRUE(shot.width == width && shot.height == height);
    SaveBmp(ScreenshotFolder() + L"\\e2e_update_window.bmp", shot);
    EXPECT_EQ(0, differ);
}

BOOL CALLBACK CollectManifest(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param)
{
    HRSRC found = FindResourceW(module, name, type);
    reinterpret_cast<std::vector<std::string>*>(param)->emplace_back(
        static_cast<const char*>(LockResource(LoadResource(module, found))), SizeofResource(module, found));
    return TRUE;
}

// The road's own build and, on the 64-bit road, the shipped i686 one, read as data: one manifest
// asking for the highest available rights, the two icons and the main dialog.
void CheckUpdaterResources(const std::wstring& path, bool is64)
{
    SCOPED_TRACE(Utf8(path));
    PeFile pe;
    EXPECT_TRUE(pe.Read(path) && pe.Is64() == is64 && pe.machine == (is64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386));
    HMODULE exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe) << GetLastError();
    std::vector<std::string> manifests;
    EnumResourceNamesW(exe, RT_MANIFEST, CollectManifest, reinterpret_cast<LONG_PTR>(&manifests));
    ASSERT_EQ(1u, manifests.size());
    EXPECT_NE(std::string::npos, manifests[0].find("level=\"highestAvailable\""));
    EXPECT_TRUE(FindResourceW(exe, MAKEINTRESOURCEW(103), RT_GROUP_ICON) && FindResourceW(exe, MAKEINTRESOURCEW(104), RT_GROUP_ICON) &&
                FindResourceW(exe, MAKEINTRESOURCEW(1003), RT_DIALOG));
    FreeLibrary(exe);
}

TEST(UpdaterExe, CarriesItsResourcesAndOneManifest)
{
    CheckUpdaterResources(UpdaterExePath(), sizeof(void*) == 8);
#if !defined(__i386__)
    CheckUpdaterResources(KC_I686_UPDATER_EXE, false);
#endif
}
