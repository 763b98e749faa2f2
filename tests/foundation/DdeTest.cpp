#include "kcDDE.h"
#include "kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<unsigned char> Pattern(unsigned bytes)
{
    std::vector<unsigned char> v(bytes);
    for (unsigned i = 0; i < bytes; ++i)
        v[i] = (unsigned char)(i * 7 + 3);
    return v;
}

// Answers with the pattern of the size in user data; size 0 produces a block but refuses.
std::atomic<int> g_calls{0};
int __stdcall PatternItem(void* userData, const wchar_t* item, void** data, unsigned* bytes)
{
    ++g_calls;
    unsigned size = (unsigned)(uintptr_t)userData;
    void* block = kcHeapAlloc(0, size ? (int)size : 16);
    std::vector<unsigned char> v = Pattern(size);
    if (size)
        memcpy(block, v.data(), size);
    *data = block;
    *bytes = size;
    return size != 0;
}

int __stdcall RefusingItem(void* userData, const wchar_t* item, void** data, unsigned* bytes)
{
    ++g_calls;
    *data = kcHeapAlloc(0, 32);
    *bytes = 32;
    return 0;
}

std::wstring g_lastItem;
int __stdcall NamedItem(void* userData, const wchar_t* item, void** data, unsigned* bytes)
{
    g_lastItem = item;
    *data = kcHeapAlloc(0, 2);
    *bytes = 2;
    return 1;
}

// Processes messages (DDEML answers on this thread) until the handle is signalled.
void PumpUntil(HANDLE h, DWORD timeoutMs = 20000)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, 100, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 || GetTickCount() - start > timeoutMs)
            return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// A plain DDEML client on another thread, requesting one item of KCDDE_SERVER.
struct RawClient {
    std::wstring item;
    std::vector<unsigned char> got;
    bool connected = false;
    bool answered = false;

    static HDDEDATA CALLBACK Callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
    {
        return nullptr;
    }
    void Run()
    {
        DWORD inst = 0;
        if (DdeInitializeW(&inst, &Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            return;
        HSZ service = DdeCreateStringHandleW(inst, L"KCDDE_SERVER", CP_WINUNICODE);
        HSZ topic = DdeCreateStringHandleW(inst, L"KCDDE_TOPIC", CP_WINUNICODE);
        HSZ name = DdeCreateStringHandleW(inst, item.c_str(), CP_WINUNICODE);
        HCONV conv = DdeConnect(inst, service, topic, nullptr);
        connected = conv != nullptr;
        if (conv) {
            DWORD result = 0;
            HDDEDATA data = DdeClientTransaction(nullptr, 0, conv, name, 0x200, XTYP_REQUEST, 5000, &result);
            if (data) {
                answered = true;
                got.resize(DdeGetData(data, nullptr, 0, 0));
                DdeGetData(data, got.data(), (DWORD)got.size(), 0);
                DdeFreeDataHandle(data);
            }
            DdeDisconnect(conv);
        }
        DdeFreeStringHandle(inst, name);
        DdeFreeStringHandle(inst, topic);
        DdeFreeStringHandle(inst, service);
        DdeUninitialize(inst);
    }
};

// Runs the raw client on a worker thread while this thread serves.
RawClient Request(const wchar_t* item)
{
    RawClient client;
    client.item = item;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        client.Run();
        SetEvent(done);
    });
    PumpUntil(done);
    worker.join();
    CloseHandle(done);
    return client;
}

std::wstring PeerPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\') + 1) + L"dde_peer.exe";
}

HANDLE StartPeer(const std::wstring& args)
{
    std::wstring cmd = L"\"" + PeerPath() + L"\" " + args;
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

DWORD ExitCodeOf(HANDLE process)
{
    DWORD code = 999;
    WaitForSingleObject(process, 20000);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

} // namespace

TEST(Dde, SecondObjectIsRefusedAndInactive)
{
    LogCapture log;
    kcDDE first;
    ASSERT_EQ(&first, kcDDE::Instance());
    EXPECT_EQ(1, first.IsActive());
    {
        kcDDE second;
        EXPECT_TRUE(log.Contains("kcDDEクラスは複数作成出来ません"));
        EXPECT_EQ(0, second.IsActive());
        EXPECT_EQ(0, second.CreateServer("KCDDE_SERVER"));
        EXPECT_EQ(0, second.RegisterItem("X", &PatternItem, nullptr));
    }
    EXPECT_EQ(&first, kcDDE::Instance());
}

TEST(Dde, DuplicatesAreLoggedAndRefused)
{
    LogCapture log;
    kcDDE dde;
    ASSERT_EQ(1, dde.CreateServer("KCDDE_SERVER"));
    EXPECT_EQ(0, dde.CreateServer("KCDDE_SERVER"));
    EXPECT_TRUE(log.Contains("kcDDE : サーバ<KCDDE_SERVER>は既に作成されています"));
    ASSERT_EQ(1, dde.RegisterItem("ITEM", &PatternItem, (void*)4));
    EXPECT_EQ(0, dde.RegisterItem("ITEM", &PatternItem, (void*)8));
    EXPECT_TRUE(log.Contains("kcDDE : トピック ITEM は既に登録されています"));
    // Names compare case-sensitively.
    EXPECT_EQ(1, dde.RegisterItem("item2", &PatternItem, (void*)4));

    char buf[8];
    log.Clear();
    EXPECT_EQ(0, dde.GetServerData("ITEM", buf, sizeof(buf), "NO_SUCH_SERVER"));
    EXPECT_TRUE(log.Contains("kcDDE::GetServerData  サーバ NO_SUCH_SERVER に接続されていません"));
    EXPECT_EQ(0, dde.Connect("NO_SUCH_SERVER"));
}

TEST(Dde, ServesAnotherThreadAndReleasesEveryBlock)
{
    kcDDE dde;
    ASSERT_EQ(1, dde.CreateServer("KCDDE_SERVER"));
    ASSERT_EQ(1, dde.RegisterItem("BLOCK", &PatternItem, (void*)300));
    ASSERT_EQ(1, dde.RegisterItem("EMPTY", &PatternItem, (void*)0));
    ASSERT_EQ(1, dde.RegisterItem("REFUSE", &RefusingItem, nullptr));
    ASSERT_EQ(1, dde.RegisterItem("名前", &NamedItem, nullptr));
    int live = kcHeapLiveBlocks();

    RawClient ok = Request(L"BLOCK");
    EXPECT_TRUE(ok.connected);
    ASSERT_TRUE(ok.answered);
    EXPECT_EQ(Pattern(300), ok.got);

    g_calls = 0;
    EXPECT_FALSE(Request(L"EMPTY").answered);
    EXPECT_FALSE(Request(L"REFUSE").answered);
    EXPECT_EQ(2, g_calls.load());
    EXPECT_FALSE(Request(L"UNKNOWN").answered);

    // The callback sees the item's wide name, converted from Shift_JIS.
    EXPECT_TRUE(Request(L"名前").answered);
    EXPECT_EQ(L"名前", g_lastItem);
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

TEST(Dde, ShutdownWithdrawsTheService)
{
    {
        kcDDE dde;
        ASSERT_EQ(1, dde.CreateServer("KCDDE_SERVER"));
        ASSERT_EQ(1, dde.RegisterItem("BLOCK", &PatternItem, (void*)8));
        EXPECT_TRUE(Request(L"BLOCK").answered);
        dde.Shutdown();
        EXPECT_EQ(0, dde.IsActive());
        EXPECT_FALSE(Request(L"BLOCK").connected);
        dde.Shutdown(); // harmless twice
    }
    EXPECT_EQ(nullptr, kcDDE::Instance());
    // A new endpoint starts from scratch.
    kcDDE again;
    EXPECT_EQ(1, again.IsActive());
    EXPECT_EQ(1, again.CreateServer("KCDDE_SERVER"));
}

TEST(Dde, FetchesFromAnotherProcessWithExactSizes)
{
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"kcDdeTestReady");
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, L"kcDdeTestQuit");
    HANDLE peer = StartPeer(L"serve kcDdeTestReady kcDdeTestQuit");
    ASSERT_NE(nullptr, peer);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 20000));
    {
        LogCapture log;
        kcDDE dde;
        ASSERT_EQ(1, dde.Connect("KCDDE_SERVER"));
        EXPECT_EQ(0, dde.Connect("KCDDE_SERVER"));
        EXPECT_TRUE(log.Contains("kcDDE : 既にサーバ<KCDDE_SERVER>に接続されています"));

        std::vector<unsigned char> big(1001, 0xEE);
        EXPECT_EQ(1, dde.GetServerData("TEST_BIG", big.data(), 1000, "KCDDE_SERVER"));
        EXPECT_EQ(Pattern(1000), std::vector<unsigned char>(big.begin(), big.begin() + 1000));
        EXPECT_EQ(0xEE, big[1000]);

        // One byte too small a buffer: refused, untouched.
        std::vector<unsigned char> small(999, 0xEE);
        EXPECT_EQ(0, dde.GetServerData("TEST_BIG", small.data(), 999, "KCDDE_SERVER"));
        EXPECT_EQ(std::vector<unsigned char>(999, 0xEE), small);
        // A shorter item than the record it should fill: refused, untouched.
        std::vector<unsigned char> record(8, 0xEE);
        EXPECT_EQ(0, dde.GetServerData("TEST_FOUR", record.data(), 8, "KCDDE_SERVER", 8));
        EXPECT_EQ(std::vector<unsigned char>(8, 0xEE), record);
        EXPECT_EQ(1, dde.GetServerData("TEST_FOUR", record.data(), 8, "KCDDE_SERVER"));
        EXPECT_EQ(Pattern(4), std::vector<unsigned char>(record.begin(), record.begin() + 4));

        unsigned char jp[12] = {};
        EXPECT_EQ(1, dde.GetServerData("テスト項目", jp, 12, "KCDDE_SERVER", 12));
        EXPECT_EQ(Pattern(12), std::vector<unsigned char>(jp, jp + 12));
        log.Clear();
        EXPECT_EQ(0, dde.GetServerData("NEVER_REGISTERED", jp, 12, "KCDDE_SERVER"));
        EXPECT_TRUE(log.Lines().empty());
    }
    SetEvent(quit);
    EXPECT_EQ(0u, ExitCodeOf(peer));
    CloseHandle(ready);
    CloseHandle(quit);
}

TEST(Dde, ServesAnotherProcess)
{
    TempDir dir;
    kcDDE dde;
    ASSERT_EQ(1, dde.CreateServer("KCDDE_SERVER"));
    ASSERT_EQ(1, dde.RegisterItem("TEST_FOUR", &PatternItem, (void*)4));
    ASSERT_EQ(1, dde.RegisterItem("TEST_BIG", &PatternItem, (void*)1000));
    ASSERT_EQ(1, dde.RegisterItem("テスト項目", &PatternItem, (void*)12));
    HANDLE peer = StartPeer(L"fetch \"" + dir.File(L"out.bin") + L"\"");
    ASSERT_NE(nullptr, peer);
    PumpUntil(peer);
    EXPECT_EQ(0u, ExitCodeOf(peer));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(dir.File(L"out.bin"), &bytes));
    std::vector<unsigned char> want = Pattern(4);
    std::vector<unsigned char> big = Pattern(1000), jp = Pattern(12);
    want.insert(want.end(), big.begin(), big.end());
    want.insert(want.end(), jp.begin(), jp.end());
    EXPECT_EQ(want, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}
