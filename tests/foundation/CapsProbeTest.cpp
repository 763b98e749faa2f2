#include "DdeTestSupport.h"
#include "foundation/ddepeer/DdePattern.h"
#include "kcCaps.h"
#include "kcCapsRules.h"
#include "kcDDE.h"
#include "kcHeap.h"
#include "kcString.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cpuid.h>
#include <cstring>
#include <string>

namespace {

typedef std::vector<unsigned char> Bytes;

std::wstring WindowsFolder()
{
    wchar_t path[MAX_PATH];
    GetWindowsDirectoryW(path, MAX_PATH);
    return path;
}

Bytes Raw(const void* p, size_t n) { return Bytes((const unsigned char*)p, (const unsigned char*)p + n); }

} // namespace

TEST(CapsProbe, RecordsMatchWhatWindowsReports)
{
    kcCaps caps(0x7f, 0);
    ASSERT_EQ(&caps, kcCaps::Instance());

    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOEXW*);
    auto rtl = (RtlGetVersionFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    ASSERT_NE(nullptr, rtl);
    OSVERSIONINFOEXW v = {sizeof(v)};
    ASSERT_EQ(0, rtl(&v));
    OsInfo os;
    caps.GetOsInfo(&os);
    kcOsName expected = kcOsCodeFor(v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    EXPECT_EQ(expected.code, os.code);
    EXPECT_EQ(v.dwMajorVersion, os.major);
    EXPECT_EQ(v.dwMinorVersion, os.minor);
    EXPECT_EQ(v.dwBuildNumber, os.build);
    EXPECT_EQ(wow64 ? 64u : 32u, os.bits);
    EXPECT_EQ(std::wstring(expected.name) + (wow64 ? L" (x64)" : L" (x86)"), os.name);
    EXPECT_STREQ(v.szCSDVersion, os.servicePack);
    OSVERSIONINFOEXW ex = {sizeof(ex)};
    DWORD product = 0;
    GetVersionExW((OSVERSIONINFOW*)&ex);
    if (GetProductInfo(ex.dwMajorVersion, ex.dwMinorVersion, ex.wServicePackMajor,
                       ex.wServicePackMinor, &product) && kcEditionText(product)) {
        EXPECT_STREQ(kcEditionText(product), os.edition);
    }

    const CpuInfo* cpu = caps.GetCpuInfo();
    CpuInfo copy;
    EXPECT_EQ(cpu, caps.GetCpuInfo(&copy));
    EXPECT_EQ(0, memcmp(cpu, &copy, sizeof(copy)));
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    EXPECT_EQ(si.dwNumberOfProcessors, cpu->processorCount);
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    char vendor[13] = {};
    memcpy(vendor, &b, 4);
    memcpy(vendor + 4, &d, 4);
    memcpy(vendor + 8, &c, 4);
    EXPECT_STREQ(vendor, cpu->vendor);
    __cpuid(1, a, b, c, d);
    EXPECT_EQ(1u, cpu->hasCpuid);
    EXPECT_EQ((a >> 8) & 15, cpu->family);
    EXPECT_EQ((d >> 23) & 1, cpu->mmx);
    EXPECT_EQ((int)cpu->mmx, kcMemGetMmx());
    EXPECT_GT(cpu->measuredMhz, 0u);
    EXPECT_LT(cpu->measuredMhz, 100000u);

    MEMORYSTATUSEX m = {sizeof(m)};
    ASSERT_TRUE(GlobalMemoryStatusEx(&m));
    EXPECT_EQ((uint32_t)(m.ullTotalPhys >> 20), caps.totalPhysMb);
    EXPECT_EQ((uint32_t)(m.ullTotalPageFile >> 20), caps.totalPageFileMb);
    EXPECT_LE(caps.availPhysMb, caps.totalPhysMb);
    EXPECT_GT(caps.availPhysMb, 0u);

    // A DirectX version and its text agree.
    wchar_t text[128];
    uint32_t dx = caps.GetDirectXInfo(text);
    EXPECT_GE(dx >> 16, 9u);
    std::wstring number = std::to_wstring(dx >> 16) + L"." + std::to_wstring((dx >> 8) & 0xFF);
    EXPECT_EQ(0, std::wstring(text).compare(0, number.size(), number)) << text;
    EXPECT_EQ(0, caps.moduleDigest[0] | caps.moduleDigest[3]);
    EXPECT_FALSE(caps.FetchedOverDde());
}

TEST(CapsProbe, FlagsChooseProbesAndSecondObjectProbesNothing)
{
    {
        kcCaps memoryOnly(KCCAPS_MEMORY, 0);
        OsInfo os;
        memoryOnly.GetOsInfo(&os);
        EXPECT_EQ(0u, os.code);
        EXPECT_STREQ(L"", os.name);
        EXPECT_EQ(0u, memoryOnly.GetDirectXInfo());
        EXPECT_EQ(0u, memoryOnly.GetCpuInfo()->processorCount);
        EXPECT_EQ(0, kcMemGetMmx());
        EXPECT_GT(memoryOnly.totalPhysMb, 0u);

        kcCaps second(0x7f, 0);
        EXPECT_EQ(&memoryOnly, kcCaps::Instance());
        EXPECT_EQ(0u, second.totalPhysMb);
        EXPECT_EQ(0u, second.GetCpuInfo()->processorCount);
        OsInfo none;
        second.GetOsInfo(&none);
        EXPECT_EQ(0u, none.code);
    }
    EXPECT_EQ(nullptr, kcCaps::Instance());

    kcCaps cpuWithoutClock(KCCAPS_CPU, 0);
    EXPECT_GT(cpuWithoutClock.GetCpuInfo()->processorCount, 0u);
    EXPECT_EQ(0u, cpuWithoutClock.GetCpuInfo()->measuredMhz);
    EXPECT_EQ(0u, cpuWithoutClock.totalPhysMb);
}

TEST(CapsProbe, MmxFlagFollowsTheObject)
{
    {
        kcCaps caps(KCCAPS_CPU, 0);
        EXPECT_EQ((int)caps.GetCpuInfo()->mmx, kcMemGetMmx());
    }
    EXPECT_EQ(0, kcMemGetMmx());
}

TEST(CapsProbe, OemStringsFromTheFirstFileThatHasThem)
{
    std::wstring windows = WindowsFolder();
    std::wstring inWindows = windows + L"\\Oeminfo.ini", inSystem32 = windows + L"\\system32\\Oeminfo.ini";
    for (const std::wstring& path : {inWindows, windows + L"\\system\\Oeminfo.ini", inSystem32}) {
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "the prefix has an Oeminfo.ini of its own";
    }
    {
        kcCaps none(KCCAPS_OEM, 0);
        EXPECT_STREQ(L"", none.GetOemManufacturer());
        EXPECT_STREQ(L"", none.GetOemModel());
    }
    // UTF-16 with byte-order mark, so that the Japanese model survives.
    auto unicodeIni = [](const std::wstring& body) {
        std::string bytes = "\xFF\xFE";
        bytes.append((const char*)body.data(), body.size() * 2);
        return bytes;
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

TEST(CapsProbe, FileVersionOfSystemFiles)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    uint32_t version[2] = {};
    EXPECT_EQ(0, kcGetFileVersion((std::wstring(system) + L"\\kernel32.dll").c_str(), version));
    EXPECT_NE(0u, version[1]);
    EXPECT_EQ(E_INVALIDARG, kcGetFileVersion(nullptr, version));
    EXPECT_EQ(E_INVALIDARG, kcGetFileVersion(L"x", nullptr));
    EXPECT_EQ(E_FAIL, kcGetFileVersion((std::wstring(system) + L"\\no_such_file.dll").c_str(), version));
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"plain.dll"), "not a module"));
    EXPECT_EQ(E_FAIL, kcGetFileVersion(dir.File(L"plain.dll").c_str(), version));
}

TEST(CapsDde, ServesItsItemsInTheirWireLayout)
{
    FixedServiceLock lock;
    kcDDE dde;
    kcCaps caps(KCCAPS_DIRECTX | KCCAPS_CPU, 1);
    int live = kcHeapLiveBlocks();

    RawReply version = RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_DXVER");
    ASSERT_TRUE(version.answered);
    uint32_t dx = caps.GetDirectXInfo();
    EXPECT_EQ(Raw(&dx, 4), version.bytes);

    RawReply text = RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_DXSTR");
    ASSERT_TRUE(text.answered);
    wchar_t dxText[128];
    caps.GetDirectXInfo(dxText);
    Bytes want = Raw(dxText, 2 * lstrlenW(dxText));
    want.insert(want.end(), 4, 0);
    EXPECT_EQ(want, text.bytes);

    RawReply cpu = RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_CPU");
    ASSERT_TRUE(cpu.answered);
    EXPECT_EQ(Raw(caps.GetCpuInfo(), 576), cpu.bytes);

    EXPECT_FALSE(RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_OTHER").answered);
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

TEST(CapsDde, ItemsOfADeletedObjectAreRefused)
{
    FixedServiceLock lock;
    kcDDE dde;
    delete new kcCaps(KCCAPS_CPU, 1);
    // The items stay registered with the endpoint, but nothing answers for the gone object.
    EXPECT_FALSE(RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_CPU").answered);
    EXPECT_FALSE(RawRequest(L"KCDDE_SERVER", L"KCCAPS_DDE_DXVER").answered);
}

TEST(CapsDde, FetchesFromAPeerInsteadOfProbing)
{
    FixedServiceLock lock;
    TempDir dir;
    ServingPeer peer(L"caps", L"\"" + dir.File(L"caps.bin") + L"\"");
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
        uint32_t dx = caps.GetDirectXInfo();
        EXPECT_EQ(0, memcmp(served.data(), &dx, 4));
        wchar_t text[128];
        caps.GetDirectXInfo(text);
        EXPECT_EQ(0, memcmp(served.data() + 4, text, 256));
        EXPECT_EQ(0, memcmp(served.data() + 260, caps.GetCpuInfo(), 576));
    }
    EXPECT_EQ(0u, peer.Stop());
}

TEST(CapsDde, RefusesAProcessorItemOfAnyOtherSize)
{
    FixedServiceLock lock;
    for (const wchar_t* size : {L"575", L"577", L"1000"}) {
        ServingPeer peer(L"badcaps", size);
        ASSERT_TRUE(peer.Ready());
        {
            kcDDE dde;
            kcCaps caps(KCCAPS_CPU, 2);
            EXPECT_FALSE(caps.FetchedOverDde()) << size;
            // Probed here instead: the peer's pattern never reached the record.
            const CpuInfo* cpu = caps.GetCpuInfo();
            EXPECT_NE(DdePattern(16), Raw(cpu, 16)) << size;
            SYSTEM_INFO si;
            GetSystemInfo(&si);
            EXPECT_EQ(si.dwNumberOfProcessors, cpu->processorCount);
        }
        EXPECT_EQ(0u, peer.Stop());
    }
}

TEST(CapsDde, FallsBackToProbingWithoutAServer)
{
    FixedServiceLock lock;
    LogCapture log;
    {
        kcDDE dde;
        kcCaps caps(KCCAPS_CPU, 2);
        EXPECT_FALSE(caps.FetchedOverDde());
        EXPECT_TRUE(log.Contains("kcDDE::GetServerData  サーバ KCDDE_SERVER に接続されていません"));
        EXPECT_GT(caps.GetCpuInfo()->processorCount, 0u);
    }
    // Without a DDE endpoint the mode changes nothing.
    kcCaps alone(KCCAPS_CPU, 2);
    EXPECT_FALSE(alone.FetchedOverDde());
    EXPECT_EQ(2, alone.ddeMode);
    EXPECT_GT(alone.GetCpuInfo()->processorCount, 0u);
}
