#include "foundation/DdeTestSupport.h"
#include "foundation/kcDDE.h"
#include "plugin/dxpeer/DXCapsFixture.h"
#include "plugin/kcDXCaps.h"
#include "plugin/ReportText.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {
std::wstring Report(const kcDXCaps& caps, int (kcDXCaps::*section)(wchar_t*) const)
{
    int n = (caps.*section)(nullptr);
    std::vector<wchar_t> text((size_t)n + 1, 0);
    EXPECT_EQ(n, (caps.*section)(text.data()));
    EXPECT_EQ((size_t)n, wcslen(text.data()));
    return text.data();
}

std::vector<unsigned char> Bytes(const void* p, size_t n)
{
    return std::vector<unsigned char>((const unsigned char*)p, (const unsigned char*)p + n);
}
} // namespace

// Wine's Direct3D 9 on Xvfb: the adapter's mode is the X screen, the modes are of its format.
TEST(DXCaps, ProbesDirect3DUnderWine)
{
    LogCapture log;
    kcDXCaps caps(2); // no DDE object: probes, logs nothing
    EXPECT_EQ(&caps, kcDXCaps::Instance());
    EXPECT_EQ((uint32_t)GetSystemMetrics(SM_CXSCREEN), caps.currentMode.Width);
    EXPECT_EQ((uint32_t)GetSystemMetrics(SM_CYSCREEN), caps.currentMode.Height);
    ASSERT_GT(caps.modeCount, 0u);
    ASSERT_TRUE(caps.modes);
    for (uint32_t i = 0; i < caps.modeCount; ++i) EXPECT_EQ(caps.currentMode.Format, caps.modes[i].Format) << i;
    EXPECT_NE(0, caps.identifier.Driver[0]);
    EXPECT_NE(0, caps.identifier.Description[0]);
    EXPECT_EQ(D3DDEVTYPE_HAL, caps.deviceCaps.DeviceType);
    EXPECT_TRUE(log.Lines().empty());

    kcDXCaps second(0); // collects nothing, registers nothing
    EXPECT_EQ(&caps, kcDXCaps::Instance());
    EXPECT_TRUE(!second.modeCount && !second.modes && !second.currentMode.Width && second.audioDevices.empty() && !second.identifier.Description[0]);
}

TEST(DXCaps, DestroyedObjectLeavesNoInstance)
{
    { kcDXCaps caps(0); }
    EXPECT_EQ(nullptr, kcDisplayModeList::Instance);
}

TEST(DXCaps, ReportSectionsOfFixedRecords)
{
    kcDXCaps caps(0);
    FillDXCapsFixture(caps);
    EXPECT_EQ(L"\r\n{08}-- display driver info --\r\n"
              L"(01)Driver : fixture.dll [0.0.0.0]\r\n(02)Description : Fixture Adapter \x30c6\x30b9\x30c8\r\n"
              L"(03)Product : 1\r\n(04)Version : 2\r\n(05)SubVersion : 3\r\n(06)Build : 4\r\n"
              L"(07)VendorId : 000010de\r\n(08)DeviceId : 00001234\r\n(09)SubSysId : abcdef01\r\n(10)Revision : 000000a1\r\n"
              L"(11)DeviceIdentifier : 12345678:00009abc:0000def0:01020304\r\n(12)WHQLLevel : 00000001\r\n",
              Report(caps, &kcDXCaps::ReportDriver));
    EXPECT_EQ(L"\r\n{09}-- now display info --\r\n(01)Width  : 1280\r\n(02)Height : 1024\r\n(03)Rate   : 60\r\n"
              L"(04)Format : X8R8G8B8\r\n",
              Report(caps, &kcDXCaps::ReportCurrentMode));
    EXPECT_EQ(L"\r\n{11}-- display mode --\r\n800 x 600 (60) [X8R8G8B8]\r\n1024 x 768 (75) [X8R8G8B8]\r\n",
              Report(caps, &kcDXCaps::ReportDisplayModes));
    EXPECT_EQ(L"\r\n{12}-- audio device info --\r\ndevice(0) : Primary Sound Driver\r\nmodule(0) : \r\n"
              L"device(1) : Speakers (Fixture)\r\nmodule(1) : {0.0.0.00000000}.{fixture}\r\n"
              L"device(2) : Headphones \x30c6\x30b9\x30c8\r\nmodule(2) : fixture.drv\r\n",
              Report(caps, &kcDXCaps::ReportAudioDevices));

    std::wstring dev = Report(caps, &kcDXCaps::ReportDeviceCaps);
    const wchar_t* expected[] = {
        L"\r\n{10}-- device caps info (Direct3D9) --\r\n[DeviceType] : HAL\r\n[Caps] : 40020000\r\n"
        L"  READ_SCANLINE : 1\r\n[Caps2] : 00020000\r\n  CANCALIBRATEGAMMA : 0\r\n  FULLSCREENGAMMA : 1\r\n"
        L"[Caps3] : 00000000\r\n[PresentationIntervals] : 00000002\r\n  INTERVAL_TWO\r\n[CursorCaps] : 00000000\r\n",
        L"  ZBUFFERLESSHSR : 0\r\n  ZFOG : 0\r\n  ZTEST : 0\r\n[ZCmpCaps] : 00000000\r\n",
        L"  NOTEQUAL : 0\r\n[SrcBlendCaps] : 00000000\r\n",
        L"  MIPFPOINT : 0\r\n[CubeTextureFilterCaps] : 00000000\r\n",
        L"  D3DPRASTERCAPS_WFOG : 1\r\n",
        L"  DITHER : 1\r\n",
        L"[MaxTexture] : 4096 x 2048\r\n",
        L"[MaxVertexW] : 10000000000.000000\r\n[GuardBand] : -8192.000000, -8192.000000, 8192.000000, 8192.500000\r\n"
        L"[ExtentsAdjust] : 0.000000\r\n[StencilCaps] : 00000000\r\n",
        L"[FVFCaps] : 00100008\r\n  DONOTSTRIPELEMENTS : 0\r\n  PSIZE : 1\r\n  TEXCOORDCOUNTMASK : 1\r\n[TextureOpCaps]",
        L"  SUBTRACT : 0\r\n[MaxTextureBlendStages] : 0\r\n[MaxSimultaneousTextures] : 0\r\n[VertexProcessingCaps]",
        L"[MaxVertexShaderConst] : 0\r\n[PixelShaderVersion] : ffff0200\r\n",
    };
    for (auto part : expected) EXPECT_NE(std::wstring::npos, dev.find(part)) << part;
    EXPECT_TRUE(dev.size() > 10 && dev.compare(dev.size() - 10, 10, L"ffff0200\r\n") == 0);

    // Without the scan-line bit there is no READ_SCANLINE line; interval masks.
    struct Row {
        DWORD caps, intervals;
        const wchar_t* lines;
    } rows[] = {
        {0x40000000, 0x80000000, L"[Caps] : 40000000\r\n[Caps2]"},
        {0, 0x80000000, L"[PresentationIntervals] : 80000000\r\n  INTERVAL_IMMEDIATE\r\n[CursorCaps]"},
        {0, 0x8000000f, L"  INTERVAL_IMMEDIATE\r\n  INTERVAL_ONE\r\n  INTERVAL_TWO\r\n  INTERVAL_THREE\r\n  INTERVAL_FOUR\r\n[Cursor"},
        {0, 0, L"[PresentationIntervals] : 00000000\r\n  unknown\r\n[CursorCaps]"},
        {0, 0x11, L"[PresentationIntervals] : 00000011\r\n  unknown\r\n[CursorCaps]"},
    };
    for (auto& r : rows) {
        caps.deviceCaps.Caps = r.caps;
        caps.deviceCaps.PresentationIntervals = r.intervals;
        dev = Report(caps, &kcDXCaps::ReportDeviceCaps);
        EXPECT_NE(std::wstring::npos, dev.find(r.lines)) << r.lines;
        EXPECT_EQ(std::wstring::npos, dev.find(L"READ_SCANLINE"));
    }
    Report(caps, &kcDXCaps::BuildReport);

    caps.ReleaseModes();
    caps.audioDevices.clear();
    EXPECT_EQ(0u, caps.modeCount);
    EXPECT_EQ(L"\r\n{11}-- display mode --\r\n", Report(caps, &kcDXCaps::ReportDisplayModes));
    EXPECT_EQ(L"\r\n{12}-- audio device info --\r\n", Report(caps, &kcDXCaps::ReportAudioDevices));
}

TEST(DXCaps, FormatNames)
{
    struct Row {
        uint32_t format;
        const wchar_t* name;
    } rows[] = {{20, L"R8G8B8"}, {22, L"X8R8G8B8"}, {70, L"D16_LOCKABLE"}, {102, L"INDEX32"},
                {MAKEFOURCC('U', 'Y', 'V', 'Y'), L"UYVY"}, {MAKEFOURCC('D', 'X', 'T', '5'), L"DXT5"},
                {0, L"unknown"}, {31, L"unknown"}, {MAKEFOURCC('D', 'X', 'T', '6'), L"unknown"}};
    for (auto& r : rows) {
        wchar_t name[32];
        EXPECT_EQ((int)wcslen(r.name), kcD3DFormatName(name, r.format));
        EXPECT_STREQ(r.name, name);
    }
}

// A client in this process fetches every item from a peer that serves the fixture.
TEST(DXCaps, SharedOverDdeBetweenProcesses)
{
    FixedServiceLock lock;
    Peer peer(L"serve", L"dxcaps_peer.exe");
    ASSERT_TRUE(peer.Ready());
    LogCapture log;
    std::unique_ptr<kcDXCaps> fetched;
    {
        kcDDE dde;
        fetched.reset(new kcDXCaps(2));
    }
    EXPECT_TRUE(log.Contains("$0000-0075$DDEより環境情報を取得しました"));
    kcDXCaps expected(0); // a second object: only holds the fixture
    FillDXCapsFixture(expected);
    ASSERT_EQ(2u, fetched->modeCount);
    ASSERT_EQ(3u, fetched->audioDevices.size());
    const auto audio = [](const kcDXCaps& c) {
        std::vector<unsigned char> all;
        for (auto& d : c.audioDevices) {
            auto b = Bytes(&d, 1024);
            all.insert(all.end(), b.begin(), b.end());
        }
        return all;
    };
    const struct {
        const char* name;
        std::vector<unsigned char> bytes, fetched;
    } items[] = {
        {"kcDXCaps_D3DCAPS", Bytes(&expected.deviceCaps, sizeof(D3DCAPS9)), Bytes(&fetched->deviceCaps, sizeof(D3DCAPS9))},
        {"kcDXCaps_IDENTIFIER", Bytes(&expected.identifier, sizeof(D3DADAPTER_IDENTIFIER9)),
         Bytes(&fetched->identifier, sizeof(D3DADAPTER_IDENTIFIER9))},
        {"kcDXCaps_DispNum", Bytes(&expected.modeCount, 4), Bytes(&fetched->modeCount, 4)},
        {"kcDXCaps_Display", Bytes(expected.modes, 32), Bytes(fetched->modes, 32)},
        {"kcDXCaps_DispNow", Bytes(&expected.currentMode, 16), Bytes(&fetched->currentMode, 16)},
        {"kcDXCaps_AudioNum", {3, 0, 0, 0}, {3, 0, 0, 0}},
        {"kcDXCaps_Audio", audio(expected), audio(*fetched)},
    };
    EXPECT_EQ(3072u, items[6].bytes.size());
    {
        kcDDE dde;
        ASSERT_TRUE(dde.Connect("KCDDE_SERVER"));
        for (auto& item : items) {
            EXPECT_EQ(item.bytes, item.fetched) << item.name;
            unsigned size = (unsigned)item.bytes.size(); // exactly this size, no more, no less
            std::vector<unsigned char> got(size);
            ASSERT_TRUE(dde.GetServerData(item.name, got.data(), size, "KCDDE_SERVER", size)) << item.name;
            EXPECT_EQ(item.bytes, got) << item.name;
        }
        unsigned char none[16];
        EXPECT_FALSE(dde.GetServerData("kcDXCaps_Unknown", none, sizeof none, "KCDDE_SERVER"));
    }
    EXPECT_EQ(0u, peer.Finish());
}

// Destroyed, a serving object withdraws its items: a request reaches nothing, the next one serves.
TEST(DXCaps, ReleasedObjectWithdrawsItsItems)
{
    FixedServiceLock lock;
    kcDDE dde;
    for (uint32_t marker : {111u, 222u}) {
        std::unique_ptr<kcDXCaps> caps(new kcDXCaps(1));
        caps->currentMode.Width = marker;
        EXPECT_EQ(Bytes(&caps->currentMode, 16), RawRequest(L"KCDDE_SERVER", L"kcDXCaps_DispNow").bytes);
        caps.reset();
        for (const wchar_t* item : {L"kcDXCaps_D3DCAPS", L"kcDXCaps_DispNow", L"kcDXCaps_Audio"})
            EXPECT_FALSE(RawRequest(L"KCDDE_SERVER", item).answered) << item;
    }
}

// A peer whose counts lie is refused: the client probes Direct3D itself.
TEST(DXCaps, PeerWithLyingCountIsRefused)
{
    for (const wchar_t* lie : {L"count", L"modes", L"audio"}) {
        FixedServiceLock lock;
        Peer peer(std::wstring(L"lie ") + lie, L"dxcaps_peer.exe");
        ASSERT_TRUE(peer.Ready()) << lie;
        LogCapture log;
        {
            kcDDE dde;
            kcDXCaps fetched(2);
            EXPECT_FALSE(log.Contains("$0000-0075$")) << lie;
            EXPECT_EQ((uint32_t)GetSystemMetrics(SM_CXSCREEN), fetched.currentMode.Width) << lie;
            EXPECT_NE(0x41, (unsigned char)fetched.identifier.Description[0]) << lie;
        }
        EXPECT_EQ(0u, peer.Finish()) << lie;
    }
}
