#include "config/ConfigBlock.h"
#include "config/kcSettings.h"
#include "plugin/LanguageText.h"
#include "plugin/SystemReport.h"
#include "plugin/dxpeer/DXCapsFixture.h"
#include "plugin/host/GameFolder.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {
kcReportSource FixedSource()
{
    kcReportSource s;
    memset(&s, 0, sizeof(s));
    wcscpy(s.os.name, L"Windows 10");
    wcscpy(s.os.edition, L"Professional");
    s.os.major = 10, s.os.build = 19045;
    wcscpy(s.cpu.name, L"Fixture CPU @ 3.00GHz");
    memcpy(s.cpu.vendor, "GenuineIntel", 12);
    s.cpu.family = 6, s.cpu.model = 158, s.cpu.stepping = 10, s.cpu.processorCount = 8;
    s.cpu.registryMhz = 3000, s.cpu.measuredMhz = 2995;
    s.cpu.hasCpuid = s.cpu.mmx = s.cpu.cmov = s.cpu.sse = 1;
    wcscpy(s.dxText, L"DirectX 9.0c");
    wcscpy(s.oemManufacturer, L"Fixture Maker");
    wcscpy(s.oemModel, L"Model X");
    s.totalPhysMb = 16384, s.availPhysMb = 8192, s.totalPageFileMb = 32768, s.availPageFileMb = 20000;
    return s;
}

std::unique_ptr<ConfigBlock> FixedBlock()
{
    std::unique_ptr<ConfigBlock> b(new ConfigBlock());
    memset(b.get(), 0, sizeof(ConfigBlock));
    wcscpy(b->title, L"Test Game");
    b->versionMajor = 1, b->versionMinor = 2;
    wcscpy(b->infoComment, L"Head line\\nsecond\\n");
    struct {
        const char *section, *key;
        int value;
    } ints[] = {{"TEXTURE", "bpp", 32}, {"TEXTURE", "min", 2}, {"WINDOW", "fullscreen", 1}, {"FONT", "bold", 1},
                {"D3D", "vsync", 1}, {"VOICE", "play05", 1}, {"VOICE", "cont_voice", 1}, {"MESSAGE", "speed", 50},
                {"EFFECT", "dramatic", 1}, {"GAME", "wndcolor", (int)0x80ff0000}, {"GAME", "enabledrag", 1},
                {"ETC", "dragwnd", 5}, {"GAME", "drawwnd", 1}};
    for (auto& i : ints) EXPECT_TRUE(kcConfigSetInt(b.get(), i.section, i.key, i.value)) << i.section << i.key;
    kcSettingSetInt(b.get(), kcFindSettingPath("VOICE/v%02d/mastervol"), 90, 47);
    EXPECT_TRUE(kcConfigSetText(b.get(), "FONT", "face", L"Meiryo"));
    b->gameEnableDrag = 7; // the game definition's field of the same name is not the one shown
    b->currentWidth = 800, b->currentHeight = 600, b->maxBackBuffers = 3, b->maxBackBufferSize = 2048;
    for (int i = 0; i < 4; ++i)
        b->effectiveVolumes[i] = 100 - 10 * i;
    return b;
}

const wchar_t kSystemSections[] =
    L"{01}-- title --\r\n(01)Test Game\r\n\r\n{02}-- system --\r\n(01) version \r\n(02)Test Game version 1.2\r\n"
    L"(03)id : 98500190-b04fd23c-7d3f96d6-727fe128\r\n\r\n"
    L"{03}-- pc model info --\r\n(01)Manufacturer : Fixture Maker\r\n(02)Model : Model X\r\n"
    L"\r\n{04}-- windows info --\r\n(01)Windows 10\r\n(02)Professional\r\n(03)\r\n(04)Version : 10.0.19045\r\n"
    L"\r\n{05}-- cpu info --\r\n(01)Fixture CPU @ 3.00GHz\r\n(02)GenuineIntel\r\n(03)type : 0\r\n"
    L"(04)family.model.stepping : 6.158.10\r\n(05)number : 8\r\n(06)clock : 3000MHz (2995MHz)\r\n"
    L"(07)cpuid : 1\r\n(08)mmx : 1\r\n(09)cmov : 1\r\n(10)SSE : 1\r\n(11)3DNow! : 0\r\n"
    L"\r\n{06}-- memory info --\r\n(01)全物理メモリ : 16384 MB\r\n(02)空き物理メモリ : 8192 MB\r\n"
    L"(03)全仮想メモリ : 32768 MB\r\n(04)空き仮想メモリ : 20000 MB\r\n\r\n{07}-- DirectX info --\r\n(01)Version : DirectX 9.0c\r\n\r\n";

std::wstring ConfigDump()
{
    std::wstring s =
        L"\r\n-- config --\r\ntexture bpp : 32\r\ntexture filter min : 2\r\ntexture filter mag : 0\r\n"
        L"use dither : 0\r\nuse 3d sound : 0\r\nuse sticky : 0\r\nuse camouflage : 0\r\nuse gdi cap : 0\r\n"
        L"32bit Zbuffer : 0\r\nuse Zbuffer : 0\r\nout info : 0\r\nuse file cache : 0\r\nenable drag wnd : 5\r\n"
        L"startup screen : 0\r\nfull screen : 1\r\nscreen bpp : 0\r\ngame bpp : 32\r\nfont : Meiryo\r\n"
        L"font shadow : 0\r\nfont bold : 1\r\nuse proportional : 0\r\nwidth : 800\r\nheight : 600\r\n"
        L"img cache : 0\r\nenable dual core : 0\r\ndisable movie : 0\r\nmax back buffer : 3\r\n"
        L"disable pixelshader : 0\r\nwait D3D query : 0\r\n"
        L"\r\n-- 3D --\r\nuse hardware TnL : 0\r\nuse back buffer : 0\r\nuse light : 0\r\nuse wait vsync : 1\r\n"
        L"use antialias : 0\r\nbackbuffer max size : 2048\r\n"
        L"\r\n-- voice --\r\nvol bgm : 100\r\nvol se : 90\r\nvol voice : 80\r\nvol play : 70\r\n";
    for (int i = 0; i < 48; ++i)
        s += L"play " + std::to_wstring(i) + (i == 5 ? L" : 1\r\n" : L" : 0\r\n") + L"master " + std::to_wstring(i) +
             (i == 47 ? L" : 90\r\n" : L" : 0\r\n");
    return s + L"cont : 1\r\n"
               L"\r\n-- message --\r\nspeed : 50\r\nauto p : 0\r\nauto base : 0\r\nauto CHAR : 0\r\n"
               L"continue auto : 0\r\nwait pcm : 0\r\n\r\n-- effect --\r\nspeed : 0\r\nauto cursor : 0\r\nauto cursor hide : 0\r\n"
               L"auto cursor hide spd : 0\r\ndramatic : 1\r\n\r\n-- window --\r\nargb : 0x80ff0000\r\ndrag : 1\r\ndisp : 1\r\n";
}

template <class F>
std::wstring Built(F build)
{
    int n = build(nullptr);
    std::vector<wchar_t> t((size_t)n + 1, 0);
    EXPECT_EQ(n, build(t.data()));
    EXPECT_EQ((size_t)n, wcslen(t.data()));
    return t.data();
}
} // namespace

TEST(Report, WholeFileFromFixedInputs)
{
    TempDir dir;
    std::wstring exe = dir.File(L"gx7.exe"), path = dir.File(L"info.txt");
    WriteBytes(exe, "abc");
    kcDXCaps dx(0);
    FillDXCapsFixture(dx);
    auto block = FixedBlock();
    kcReportSource source = FixedSource();
    EXPECT_EQ(kSystemSections, Built([&](wchar_t* d) { return BuildSystemReport(d, source, block.get(), exe.c_str()); }));
    EXPECT_EQ(ConfigDump(), Built([&](wchar_t* d) { return BuildConfigReport(d, block.get()); }));

    ASSERT_EQ(1, WriteSystemInfoReport(source, block.get(), path.c_str(), exe.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ(Utf8(L"Head line\r\nsecond\r\n" + std::wstring(kSystemSections) + Built([&](wchar_t* d) { return dx.BuildReport(d); }) + ConfigDump()), bytes);

    // The executable gone: the report keeps the digest of the one before.
    DeleteFileW(exe.c_str());
    ASSERT_EQ(1, WriteSystemInfoReport(source, block.get(), path.c_str(), exe.c_str()));
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_NE(std::string::npos, bytes.find("(03)id : 98500190-b04fd23c-7d3f96d6-727fe128\r\n"));
}

// Without kcDXCaps nothing is written; without a record the title is empty and the settings
// "not found"; a file that cannot be written is logged.
TEST(Report, WithoutCapabilitiesRecordOrFolder)
{
    TempDir dir;
    const std::wstring path = dir.File(L"info.txt");
    kcReportSource source = FixedSource();
    EXPECT_EQ(0, WriteSystemInfoReport(source, nullptr, path.c_str(), nullptr));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    kcDXCaps dx(0);
    ASSERT_EQ(1, WriteSystemInfoReport(source, nullptr, path.c_str(), nullptr));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ(0u, bytes.find("{01}-- title --\r\n{02}-- system --\r\n(01)"));
    EXPECT_NE(std::string::npos, bytes.find("\r\n(02)id : "));
    EXPECT_EQ(bytes.size() - 29, bytes.rfind("\r\n-- config --\r\nnot found\r\n\r\n"));
    LogCapture log;
    EXPECT_EQ(0, WriteSystemInfoReport(source, nullptr, dir.File(L"missing\\info.txt").c_str(), nullptr));
    EXPECT_TRUE(log.Contains("$0000-0074$情報の書き出しに失敗しました"));
}

// A language file replaces a keyed memory line only with a format of the same conversions.
TEST(Report, TranslatedMemoryLines)
{
    kcTextTable[0] = {{L"$0000-0073$", L"(%02d)total physical : %d MB"}, {L"$0000-0072$", L"(%02d)free : %s MB\r\n"}};
    kcReportSource source = FixedSource();
    std::wstring text = Built([&](wchar_t* d) { return BuildSystemReport(d, source, nullptr, nullptr); });
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n(01)total physical : 16384 MB(02)空き物理メモリ : 8192 MB\r\n"));
    kcTextTable.erase(0);
}
