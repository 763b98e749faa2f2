#include "foundation/kcCaps.h"
#include "foundation/kcDDE.h"
#include "foundation/kcFileServer.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcRandom.h"
#include "foundation/kcSystem.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

// Live allocations through operator new, to see that start-up and shut-down leave none.
static std::atomic<long> g_live{0};
void* operator new(size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    g_live++;
    return p;
}
void operator delete(void* p) noexcept
{
    if (p) g_live--;
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {
std::vector<std::string> g_lines;
void OnLog(const char* text, bool) { g_lines.push_back(text); }

// What a fresh CoInitializeEx on this thread says about its apartment; balanced again.
HRESULT ProbeApartment(DWORD model)
{
    HRESULT hr = CoInitializeEx(nullptr, model);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr;
}

void ExpectNoSingletons()
{
    EXPECT_EQ(nullptr, kcCaps::Instance());
    EXPECT_EQ(nullptr, kcFileServer::Instance());
    EXPECT_EQ(nullptr, kcDDE::Instance());
    EXPECT_EQ(nullptr, kcRandom::Instance());
    EXPECT_EQ(nullptr, kcHeapAlloc(0, 16)); // the private heap is gone
}
} // namespace

TEST(System, StartUpCreatesTheServicesAndShutDownClearsEveryPointer)
{
    ExpectNoSingletons();
    EXPECT_EQ(1, kcSystemInit(0x7f, 0));
    EXPECT_NE(nullptr, kcCaps::Instance());
    EXPECT_NE(nullptr, kcFileServer::Instance());
    EXPECT_NE(nullptr, kcRandom::Instance());
    EXPECT_EQ(nullptr, kcDDE::Instance()); // mode 0: no exchange
    EXPECT_NE(nullptr, kcHeapAlloc(0, 0x100000));
    EXPECT_EQ(S_FALSE, ProbeApartment(COINIT_APARTMENTTHREADED)); // COM is up, single-threaded
    EXPECT_EQ(32768, kcSineTable[8192]);
    kcSystemTerm();
    ExpectNoSingletons();
    EXPECT_EQ(S_OK, ProbeApartment(COINIT_MULTITHREADED)); // COM fully released

    kcSystemInit(0, 1); // a DDE mode creates the endpoint; a second start-up's refuses first
    kcDDE* first = kcDDE::Instance();
    EXPECT_NE(nullptr, first);
    kcLogSetCapture(OnLog);
    kcSystemInit(0, 1);
    kcLogSetCapture(nullptr);
    EXPECT_EQ(first, kcDDE::Instance());
    EXPECT_NE(std::string::npos, g_lines.at(0).find("kcDDEクラスは複数作成出来ません"));
    g_lines.clear();
    kcSystemTerm();
    ExpectNoSingletons();
}

TEST(System, SecondStartUpKeepsTheServicesAndLeaksNothing)
{
    kcSystemInit(0, 1); // first-use state of the probes stays for the process
    kcSystemTerm();
    long before = g_live;
    kcSystemInit(0, 1);
    kcCaps* caps = kcCaps::Instance();
    kcFileServer* server = kcFileServer::Instance();
    kcSystemInit(0, 1);
    EXPECT_EQ(caps, kcCaps::Instance());
    EXPECT_EQ(server, kcFileServer::Instance());
    kcSystemTerm();
    ExpectNoSingletons();
    EXPECT_EQ(before, (long)g_live); // no earlier random-number or refused DDE object left behind
    EXPECT_EQ(S_OK, ProbeApartment(COINIT_MULTITHREADED)); // both COM references released

    kcLogSetCapture(OnLog); // a second shut-down only logs again
    kcSystemTerm();
    kcLogSetCapture(nullptr);
    ExpectNoSingletons();
    ASSERT_FALSE(g_lines.empty());
    EXPECT_NE(std::string::npos, g_lines[0].find("ヒープを破棄しました。"));
}

// A host thread already in an apartment: start-up's reference is returned once at most,
// and shut-down never takes the host's own COM down, however often it runs.
TEST(System, HostsComSurvivesShutDown)
{
    const struct {
        DWORD model;
        HRESULT probeWhileHostHolds;
    } hosts[] = {{COINIT_MULTITHREADED, S_FALSE}, {COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE}};
    for (const auto& h : hosts) {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, h.model));
        kcSystemInit(0, 0);
        kcSystemTerm();
        kcSystemTerm();
        EXPECT_EQ(h.probeWhileHostHolds, ProbeApartment(COINIT_MULTITHREADED)) << h.model;
        CoUninitialize();
        EXPECT_EQ(S_OK, ProbeApartment(COINIT_MULTITHREADED)) << h.model;
    }
}
