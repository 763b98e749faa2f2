#include "DdeTestSupport.h"
#include "foundation/ddepeer/DdePattern.h"
#include "kcDDE.h"
#include "kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// Answers with the pattern of the size in user data; size 0 produces a block but refuses.
std::atomic<int> g_calls{0};
int __stdcall PatternItem(void* userData, const wchar_t* item, void** data, unsigned* bytes)
{
    ++g_calls;
    unsigned size = (unsigned)(uintptr_t)userData;
    void* block = kcHeapAlloc(0, size ? (int)size : 16);
    if (size)
        memcpy(block, DdePattern(size).data(), size);
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

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

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
        EXPECT_EQ(0, second.CreateServer(TestService().c_str()));
        EXPECT_EQ(0, second.RegisterItem("X", &PatternItem, nullptr));
    }
    EXPECT_EQ(&first, kcDDE::Instance());
}

TEST(Dde, DuplicatesAreLoggedAndRefused)
{
    LogCapture log;
    kcDDE dde;
    std::string service = TestService();
    ASSERT_EQ(1, dde.CreateServer(service.c_str()));
    EXPECT_EQ(0, dde.CreateServer(service.c_str()));
    EXPECT_TRUE(log.Contains("kcDDE : サーバ<" + service + ">は既に作成されています"));
    ASSERT_EQ(1, dde.RegisterItem("ITEM", &PatternItem, (void*)4));
    EXPECT_EQ(0, dde.RegisterItem("ITEM", &PatternItem, (void*)8));
    EXPECT_TRUE(log.Contains("kcDDE : トピック ITEM は既に登録されています"));
    // Names compare case-sensitively.
    EXPECT_EQ(1, dde.RegisterItem("item2", &PatternItem, (void*)4));
    EXPECT_EQ(1, dde.RegisterItem("Item2", &PatternItem, (void*)4));

    char buf[8];
    log.Clear();
    EXPECT_EQ(0, dde.GetServerData("ITEM", buf, sizeof(buf), "NO_SUCH_SERVER"));
    EXPECT_TRUE(log.Contains("kcDDE::GetServerData  サーバ NO_SUCH_SERVER に接続されていません"));
    EXPECT_EQ(0, dde.Connect("NO_SUCH_SERVER"));
}

TEST(Dde, ServesAnotherThreadAndReleasesEveryBlock)
{
    kcDDE dde;
    std::wstring service = Wide(TestService());
    ASSERT_EQ(1, dde.CreateServer(TestService().c_str()));
    ASSERT_EQ(1, dde.RegisterItem("BLOCK", &PatternItem, (void*)300));
    ASSERT_EQ(1, dde.RegisterItem("EMPTY", &PatternItem, (void*)0));
    ASSERT_EQ(1, dde.RegisterItem("REFUSE", &RefusingItem, nullptr));
    ASSERT_EQ(1, dde.RegisterItem("名前", &NamedItem, nullptr));
    int live = kcHeapLiveBlocks();

    RawReply ok = RawRequest(service, L"BLOCK");
    EXPECT_TRUE(ok.connected);
    ASSERT_TRUE(ok.answered);
    EXPECT_EQ(DdePattern(300), ok.bytes);

    // Empty and refused answers give no data, and their blocks are released all the same.
    g_calls = 0;
    EXPECT_FALSE(RawRequest(service, L"EMPTY").answered);
    EXPECT_FALSE(RawRequest(service, L"REFUSE").answered);
    EXPECT_EQ(2, g_calls.load());
    EXPECT_FALSE(RawRequest(service, L"UNKNOWN").answered);

    // The callback sees the item's wide name, converted from Shift_JIS.
    EXPECT_TRUE(RawRequest(service, L"名前").answered);
    EXPECT_EQ(L"名前", g_lastItem);
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

TEST(Dde, ShutdownWithdrawsTheService)
{
    std::wstring service = Wide(TestService());
    {
        kcDDE dde;
        ASSERT_EQ(1, dde.CreateServer(TestService().c_str()));
        ASSERT_EQ(1, dde.RegisterItem("BLOCK", &PatternItem, (void*)8));
        EXPECT_TRUE(RawRequest(service, L"BLOCK").answered);
        dde.Shutdown();
        EXPECT_EQ(0, dde.IsActive());
        EXPECT_FALSE(RawRequest(service, L"BLOCK").connected);
        dde.Shutdown(); // harmless twice
    }
    EXPECT_EQ(nullptr, kcDDE::Instance());
    // A new endpoint starts from scratch.
    kcDDE again;
    EXPECT_EQ(1, again.IsActive());
    EXPECT_EQ(1, again.CreateServer(TestService().c_str()));
}

TEST(Dde, FetchesFromAnotherProcessWithExactSizes)
{
    std::string service = TestService();
    const char* s = service.c_str();
    ServingPeer peer(L"serve", Wide(service));
    ASSERT_TRUE(peer.Ready());
    {
        LogCapture log;
        kcDDE dde;
        ASSERT_EQ(1, dde.Connect(s));
        EXPECT_EQ(0, dde.Connect(s));
        EXPECT_TRUE(log.Contains("kcDDE : 既にサーバ<" + service + ">に接続されています"));

        Bytes big(1001, 0xEE);
        EXPECT_EQ(1, dde.GetServerData("TEST_BIG", big.data(), 1000, s));
        EXPECT_EQ(DdePattern(1000), Bytes(big.begin(), big.begin() + 1000));
        EXPECT_EQ(0xEE, big[1000]);

        // One byte too small a buffer: refused, untouched.
        Bytes small(999, 0xEE);
        EXPECT_EQ(0, dde.GetServerData("TEST_BIG", small.data(), 999, s));
        EXPECT_EQ(Bytes(999, 0xEE), small);
        // An item shorter than the record it should fill: refused, untouched.
        Bytes record(8, 0xEE);
        EXPECT_EQ(0, dde.GetServerData("TEST_FOUR", record.data(), 8, s, 8));
        EXPECT_EQ(Bytes(8, 0xEE), record);
        // Without a lower bound a short item fills the front.
        EXPECT_EQ(1, dde.GetServerData("TEST_FOUR", record.data(), 8, s));
        EXPECT_EQ(DdePattern(4), Bytes(record.begin(), record.begin() + 4));
        EXPECT_EQ(0xEE, record[4]);

        unsigned char jp[12] = {};
        EXPECT_EQ(1, dde.GetServerData("テスト項目", jp, 12, s, 12));
        EXPECT_EQ(DdePattern(12), Bytes(jp, jp + 12));
        log.Clear();
        EXPECT_EQ(0, dde.GetServerData("NEVER_REGISTERED", jp, 12, s));
        EXPECT_TRUE(log.Lines().empty());
        // Still in step after a refusal.
        EXPECT_EQ(1, dde.GetServerData("TEST_FOUR", record.data(), 4, s, 4));
    }
    EXPECT_EQ(0u, peer.Stop());
}

TEST(Dde, ServesAnotherProcess)
{
    TempDir dir;
    std::string service = TestService();
    kcDDE dde;
    ASSERT_EQ(1, dde.CreateServer(service.c_str()));
    ASSERT_EQ(1, dde.RegisterItem("TEST_FOUR", &PatternItem, (void*)4));
    ASSERT_EQ(1, dde.RegisterItem("TEST_BIG", &PatternItem, (void*)1000));
    ASSERT_EQ(1, dde.RegisterItem("テスト項目", &PatternItem, (void*)12));
    HANDLE peer = StartPeer(L"fetch " + Wide(service) + L" \"" + dir.File(L"out.bin") + L"\"");
    ASSERT_NE(nullptr, peer);
    PumpUntil(peer);
    EXPECT_EQ(0u, PeerExitCode(peer));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(dir.File(L"out.bin"), &bytes));
    Bytes want = DdePattern(4), big = DdePattern(1000), jp = DdePattern(12);
    want.insert(want.end(), big.begin(), big.end());
    want.insert(want.end(), jp.begin(), jp.end());
    EXPECT_EQ(want, Bytes(bytes.begin(), bytes.end()));
}
