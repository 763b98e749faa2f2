#include "foundation/DdeTestSupport.h"
#include "foundation/ddepeer/DdePattern.h"
#include "foundation/kcCaps.h"
#include "foundation/kcCapsRules.h"
#include "foundation/kcDDE.h"
#include "foundation/kcHeap.h"
#include "foundation/kcString.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cpuid.h>
#include <cstring>
#include <string>

namespace {
typedef std::vector<unsigned char> Bytes;
Bytes Raw(const void* p, size_t n) { return Bytes((const unsigned char*)p, (const unsigned char*)p + n); }
} // namespace

// The live probes depend on the prefix: compared with what Win32 itself reports.
TEST(CapsProbe, RecordsMatchWhatWindowsReports)
{
    kcCaps caps(0x7f, 0);
    ASSERT_EQ(&caps, kcCaps::Instance());
    auto rtl = (LONG(WINAPI*)(OSVERSIONINFOEXW*))(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOEXW v = {sizeof(v)};
    ASSERT_EQ(0, rtl(&v));
    OsInfo os;
    caps.GetOsInfo(&os);
    kcOsName expected = kcOsCodeFor(v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    EXPECT_EQ(expected.code, os.code);
    EXPECT_EQ(v.dwBuildNumber, os.build);
    EXPECT_EQ(wow64 ? 64u : 32u, os.bits);
    EXPECT_EQ(std::wstring(expected.name) + (wow64 ? L" (x64)" : L" (x86)"), os.name);

    const CpuInfo* cpu = caps.GetCpuInfo();
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    EXPECT_EQ(si.dwNumberOfProcessors, cpu->processorCount);
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    EXPECT_EQ(0, memcmp(&b, cpu->vendor, 4));
    __cpuid(1, a, b, c, d);
    EXPECT_EQ((a >> 8) & 15, cpu->family);
    EXPECT_EQ((d >> 23) & 1, cpu->mmx);
    EXPECT_EQ((int)cpu->mmx, kcMemGetMmx()); // the memory functions follow the record
    EXPECT_GT(cpu->measuredMhz, 0u);
    MEMORYSTATUSEX m = {sizeof(m)};
    ASSERT_TRUE(GlobalMemoryStatusEx(&m));
    EXPECT_EQ((uint32_t)(m.ullTotalPhys >> 20), caps.totalPhysMb);
    wchar_t text[128]; // a DirectX version and its text agree
    uint32_t dx = caps.GetDirectXInfo(text);
    EXPECT_GE(dx >> 16, 9u);
    std::wstring number = std::to_wstring(dx >> 16) + L"." + std::to_wstring((dx >> 8) & 0xFF);
    EXPECT_EQ(0u, std::wstring(text).find(number)) << text;
}

TEST(CapsProbe, FlagsChooseProbesAndSecondObjectProbesNothing)
{
    {
        kcCaps memoryOnly(KCCAPS_MEMORY, 0);
        OsInfo os;
        memoryOnly.GetOsInfo(&os);
        EXPECT_EQ(0u, os.code);
        EXPECT_EQ(0u, memoryOnly.GetCpuInfo()->processorCount);
        EXPECT_GT(memoryOnly.totalPhysMb, 0u);
        kcCaps second(0x7f, 0);
        EXPECT_EQ(&memoryOnly, kcCaps::Instance());
        EXPECT_EQ(0u, second.totalPhysMb);
        EXPECT_EQ(0u, second.GetCpuInfo()->processorCount);
    }
    EXPECT_EQ(nullptr, kcCaps::Instance());
    {
        kcCaps cpuWithoutClock(KCCAPS_CPU, 0);
        EXPECT_GT(cpuWithoutClock.GetCpuInfo()->processorCount, 0u);
        EXPECT_EQ(0u, cpuWithoutClock.GetCpuInfo()->measuredMhz);
    }
    EXPECT_EQ(0, kcMemGetMmx()); // gone with the object

    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    uint32_t version[2] = {};
    EXPECT_EQ(0, kcGetFileVersion((std::wstring(system) + L"\\kernel32.dll").c_str(), version));
    EXPECT_EQ(E_FAIL, kcGetFileVersion((std::wstring(system) + L"\\no_such_file.dll").c_str(), version));
}

TEST(CapsProbe, OemStringsFromTheFirstFileThatHasThem)
{
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring inWindows = windows + std::wstring(L"\\Oeminfo.ini"), inSystem32 = windows + std::wstring(L"\\system32\\Oeminfo.ini");
    for (const std::wstring& path : {inWindows, windows + std::wstring(L"\\system\\Oeminfo.ini"), inSystem32})
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "the prefix has an Oeminfo.ini";
    {
        kcCaps none(KCCAPS_OEM, 0);
        EXPECT_STREQ(L"", none.GetOemManufacturer());
    }
    auto unicodeIni = [](const std::wstring& body) { // UTF-16 so that the Japanese model survives
        return "\xFF\xFE" + std::string((const char*)body.data(), body.size() * 2);
    };
    ASSERT_TRUE(WriteBytes(inSystem32, unicodeIni(L"[General]\r\nManufacturer=Kc Works\r\nModel=Low\r\n")));
    ASSERT_TRUE(WriteBytes(inWindows, unicodeIni(L"[General]\r\nModel=日本語モデル\r\n")));
    {
        kcCaps caps(KCCAPS_OEM, 0);
        wchar_t maker[256], model[256];
        EXPECT_EQ(caps.GetOemManufacturer(), caps.GetOemManufacturer(maker));
        caps.GetOemModel(model);
        EXPECT_STREQ(L"Kc Works", maker);
        EXPECT_STREQ(L"日本語モデル", model);
    }
    DeleteFileW(inWindows.c_str());
    DeleteFileW(inSystem32.c_str());
}

TEST(CapsDde, ServesItsItemsInTheirWireLayoutWhileItLives)
{
    FixedServiceLock lock;
    kcDDE dde;
    {
        kcCaps caps(KCCAPS_DIRECTX | KCCAPS_CPU, 1);
        int live = kcHeapLiveBlocks();
        uint32_t dx = caps.GetDirectXInfo();
        EXPECT_EQ(Raw(&dx, 4), RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_DXVER").bytes);
        wchar_t dxText[128];
        caps.GetDirectXInfo(dxText);
        Bytes text = Raw(dxText, 2 * lstrlenW(dxText));
        text.insert(text.end(), 4, 0);
        EXPECT_EQ(text, RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_DXSTR").bytes);
        EXPECT_EQ(Raw(caps.GetCpuInfo(), 576), RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_CPU").bytes);
        EXPECT_FALSE(RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_OTHER").answered);
        EXPECT_EQ(live, kcHeapLiveBlocks());
    }
    // The items stay registered with the endpoint, but nothing answers for the gone object.
    EXPECT_FALSE(RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_CPU").answered);
}

TEST(CapsDde, FetchesFromAPeerInsteadOfProbing)
{
    FixedServiceLock lock;
    TempDir dir;
    Peer peer(L"caps \"" + dir.File(L"caps.bin") + L"\"");
    ASSERT_TRUE(peer.Ready());
    std::string served;
    ASSERT_TRUE(ReadBytes(dir.File(L"caps.bin"), &served));
    ASSERT_EQ(kPeerCapsBytes, served.size());
    {
        LogCapture log;
        kcDDE dde;
        kcCaps caps(KCCAPS_DIRECTX | KCCAPS_CPU, 2);
        EXPECT_TRUE(caps.FetchedOverDde());
        EXPECT_TRUE(log.Contains("DDEより環境情報を取得しました"));
        wchar_t text[128];
        uint32_t dx = caps.GetDirectXInfo(text);
        EXPECT_EQ(Raw(served.data(), 4), Raw(&dx, 4));
        EXPECT_EQ(Raw(served.data() + 4, 256), Raw(text, 256));
        EXPECT_EQ(Raw(served.data() + 260, 576), Raw(caps.GetCpuInfo(), 576));
    }
    EXPECT_EQ(0u, peer.Finish());
}

TEST(CapsDde, RefusesAProcessorItemOfAnyOtherSizeAndFallsBackToProbing)
{
    FixedServiceLock lock;
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    for (const wchar_t* size : {L"575", L"577"}) {
        Peer peer(std::wstring(L"serve KCDDE_SERVER KCCAPS_DDE_DXVER=4 KCCAPS_DDE_DXSTR=8 KCCAPS_DDE_CPU=") + size);
        ASSERT_TRUE(peer.Ready());
        {
            kcDDE dde;
            kcCaps caps(KCCAPS_CPU, 2);
            EXPECT_FALSE(caps.FetchedOverDde()) << size;
            EXPECT_NE(DdePattern(16), Raw(caps.GetCpuInfo(), 16)) << size; // the peer's bytes never arrived
            EXPECT_EQ(si.dwNumberOfProcessors, caps.GetCpuInfo()->processorCount);
        }
        EXPECT_EQ(0u, peer.Finish());
    }
    LogCapture log;
    {
        kcDDE dde; // no server at all
        kcCaps caps(KCCAPS_CPU, 2);
        EXPECT_FALSE(caps.FetchedOverDde());
        EXPECT_TRUE(log.Contains("kcDDE::GetServerData  サーバ KCDDE_SERVER に接続されていません"));
        EXPECT_EQ(si.dwNumberOfProcessors, caps.GetCpuInfo()->processorCount);
    }
    kcCaps alone(KCCAPS_CPU, 2); // without a DDE endpoint the mode changes nothing
    EXPECT_FALSE(alone.FetchedOverDde());
    EXPECT_GT(alone.GetCpuInfo()->processorCount, 0u);
}
