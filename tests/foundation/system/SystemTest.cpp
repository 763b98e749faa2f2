#include "kcCaps.h"
#include "kcDDE.h"
#include "kcFileServer.h"
#include "kcHeap.h"
#include "kcLog.h"
#include "kcRandom.h"
#include "kcSystem.h"
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
void operator delete(void* p, size_t) noexcept
{
    if (p) g_live--;
    std::free(p);
}

namespace {
std::vector<std::string> g_lines;
void onLog(const char* text, bool) { g_lines.push_back(text); }

// kcLogSetCapture texts are Shift_JIS; this one is plain ASCII apart from its Japanese.
std::string Sjis(const wchar_t* text)
{
    char out[256];
    WideCharToMultiByte(932, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

// What a fresh CoInitializeEx on this thread says about the apartment the thread is in;
// the probe is balanced again when it took a reference.
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

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_lines.clear();
        kcLogSetCapture(onLog);
    }
    void TearDown() override { kcLogSetCapture(nullptr); }
};
} // namespace

TEST_F(SystemTest, StartUpCreatesTheServicesAndShutDownClearsEveryPointer)
{
    ExpectNoSingletons();
    EXPECT_EQ(1, kcSystemInit(0x7f, 0));
    EXPECT_NE(nullptr, kcCaps::Instance());
    EXPECT_NE(nullptr, kcFileServer::Instance());
    EXPECT_NE(nullptr, kcRandom::Instance());
    EXPECT_EQ(nullptr, kcDDE::Instance()); // mode 0: no exchange
    EXPECT_EQ(0, kcFileServer::Instance()->IsPreloadEnabled());
    void* block = kcHeapAlloc(0, 0x100000);
    EXPECT_NE(nullptr, block);
    EXPECT_EQ(S_FALSE, ProbeApartment(COINIT_APARTMENTTHREADED)); // COM is up, single-threaded
    EXPECT_EQ(32768, kcSineTable[8192]);
    kcSystemTerm();
    ExpectNoSingletons();
    EXPECT_EQ(S_OK, ProbeApartment(COINIT_MULTITHREADED)); // COM fully released
}

TEST_F(SystemTest, NonzeroDdeModeCreatesTheEndpointAndShutDownEndsIt)
{
    kcSystemInit(0, 1);
    EXPECT_NE(nullptr, kcDDE::Instance());
    kcDDE* first = kcDDE::Instance();
    kcSystemInit(0, 1); // keeps the endpoint it has
    EXPECT_EQ(first, kcDDE::Instance());
    kcSystemTerm();
    ExpectNoSingletons();
}

TEST_F(SystemTest, SecondStartUpKeepsTheServicesAndLeaksNothing)
{
    kcSystemInit(0, 0); // first-use state of the probes stays for the process
    kcSystemTerm();
    kcLogSetCapture(nullptr); // the recorder's own strings are not the library's
    long before = g_live;
    kcSystemInit(0, 0);
    kcCaps* caps = kcCaps::Instance();
    kcFileServer* server = kcFileServer::Instance();
    kcSystemInit(0, 0);
    EXPECT_EQ(caps, kcCaps::Instance());
    EXPECT_EQ(server, kcFileServer::Instance());
    EXPECT_NE(nullptr, kcRandom::Instance());
    kcSystemTerm();
    ExpectNoSingletons();
    EXPECT_EQ(before, (long)g_live);
    EXPECT_EQ(S_OK, ProbeApartment(COINIT_MULTITHREADED)); // both COM references released
}

TEST_F(SystemTest, SecondShutDownOnlyLogsAgain)
{
    kcSystemInit(0, 0);
    kcSystemTerm();
    g_lines.clear();
    kcSystemTerm();
    ExpectNoSingletons();
    ASSERT_FALSE(g_lines.empty());
    EXPECT_NE(std::string::npos, g_lines[0].find(Sjis(L"\u30d2\u30fc\u30d7\u3092\u7834\u68c4\u3057\u307e\u3057\u305f\u3002")));
}

// A host thread already in the multi-threaded apartment: start-up cannot join it, so
// shut-down must not take the host's COM down, however often it runs.
TEST_F(SystemTest, HostInAnotherApartmentKeepsItsCom)
{
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    kcSystemInit(0, 0);
    kcSystemTerm();
    kcSystemTerm();
    EXPECT_EQ(S_FALSE, ProbeApartment(COINIT_MULTITHREADED)); // still the host's apartment
    CoUninitialize();
    EXPECT_EQ(S_OK, ProbeApartment(COINIT_MULTITHREADED));
}

// A host already in a single-threaded apartment: start-up's extra reference is returned once,
// and a second shut-down leaves the host's own reference alone.
TEST_F(SystemTest, HostInTheSameApartmentKeepsItsReference)
{
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    kcSystemInit(0, 0);
    kcSystemTerm();
    kcSystemTerm();
    EXPECT_EQ(RPC_E_CHANGED_MODE, ProbeApartment(COINIT_MULTITHREADED)); // still single-threaded
    CoUninitialize();
    EXPECT_EQ(S_OK, ProbeApartment(COINIT_MULTITHREADED));
}
