#include "foundation/DdeTestSupport.h"
#include "foundation/ddepeer/DdePattern.h"
#include "foundation/kcDDE.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

namespace {
typedef std::vector<unsigned char> Bytes;
const wchar_t kItems[] = L"TEST_FOUR=4 TEST_BIG=1000 テスト項目=12";

// Answers with the pattern of the size in user data; size 0 makes a block but refuses,
// and so does every item whose name starts with "REFUSE". Records the last item name.
int g_calls = 0;
std::wstring g_lastItem;
int __stdcall PatternItem(void* userData, const wchar_t* item, void** data, unsigned* bytes)
{
    ++g_calls;
    g_lastItem = item;
    unsigned size = (unsigned)(uintptr_t)userData;
    *data = kcHeapAlloc(0, size ? (int)size : 16);
    if (size) memcpy(*data, DdePattern(size).data(), size);
    *bytes = size;
    return size != 0 && wcsncmp(item, L"REFUSE", 6) != 0;
}

bool Register(kcDDE& dde, std::initializer_list<std::pair<const char*, int>> items)
{
    for (const auto& item : items)
        if (!dde.RegisterItem(item.first, &PatternItem, (void*)(uintptr_t)item.second)) return false;
    return true;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }
} // namespace

TEST(Dde, OneEndpointAndNoDuplicates)
{
    LogCapture log;
    kcDDE dde;
    ASSERT_EQ(&dde, kcDDE::Instance());
    {
        kcDDE second;
        EXPECT_TRUE(log.Contains("kcDDEクラスは複数作成出来ません"));
        EXPECT_EQ(0, second.IsActive());
        EXPECT_EQ(0, second.CreateServer(TestService().c_str()));
    }
    EXPECT_EQ(&dde, kcDDE::Instance());
    std::string service = TestService();
    ASSERT_EQ(1, dde.CreateServer(service.c_str()));
    EXPECT_EQ(0, dde.CreateServer(service.c_str()));
    EXPECT_TRUE(log.Contains("kcDDE : サーバ<" + service + ">は既に作成されています"));
    ASSERT_EQ(1, dde.RegisterItem("ITEM", &PatternItem, (void*)4));
    EXPECT_EQ(0, dde.RegisterItem("ITEM", &PatternItem, (void*)8));
    EXPECT_TRUE(log.Contains("kcDDE : トピック ITEM は既に登録されています"));
    EXPECT_EQ(1, dde.RegisterItem("Item", &PatternItem, (void*)4)); // names compare case-sensitively
    char buf[8];
    EXPECT_EQ(0, dde.GetServerData("ITEM", buf, sizeof(buf), "NO_SUCH_SERVER"));
    EXPECT_TRUE(log.Contains("kcDDE::GetServerData  サーバ NO_SUCH_SERVER に接続されていません"));
    EXPECT_EQ(0, dde.Connect("NO_SUCH_SERVER"));
}

TEST(Dde, ServesAnotherThreadReleasesEveryBlockAndShutsDown)
{
    std::wstring service = Wide(TestService());
    {
        kcDDE dde;
        ASSERT_EQ(1, dde.CreateServer(TestService().c_str()));
        ASSERT_TRUE(Register(dde, {{"BLOCK", 300}, {"EMPTY", 0}, {"REFUSE", 32}, {"名前", 2}}));
        int live = kcHeapLiveBlocks();
        RawReply ok = RawRequest(service, L"BLOCK");
        EXPECT_TRUE(ok.answered);
        EXPECT_EQ(DdePattern(300), ok.bytes);
        // Empty and refused answers give no data, and their blocks are released all the same.
        g_calls = 0;
        EXPECT_FALSE(RawRequest(service, L"EMPTY").answered);
        EXPECT_FALSE(RawRequest(service, L"REFUSE").answered);
        EXPECT_FALSE(RawRequest(service, L"UNKNOWN").answered);
        EXPECT_EQ(2, g_calls);
        EXPECT_TRUE(RawRequest(service, L"名前").answered); // the callback sees the wide name
        EXPECT_EQ(L"名前", g_lastItem);
        EXPECT_EQ(live, kcHeapLiveBlocks());

        // An owner's items go together, another's stay.
        ASSERT_TRUE(Register(dde, {{"TWIN", 300}}));
        EXPECT_EQ(2, dde.WithdrawItems((void*)300));
        EXPECT_FALSE(RawRequest(service, L"BLOCK").answered);
        EXPECT_TRUE(RawRequest(service, L"名前").answered);

        dde.Shutdown(); // the service is withdrawn
        EXPECT_EQ(0, dde.IsActive());
        EXPECT_FALSE(RawRequest(service, L"BLOCK").connected);
        dde.Shutdown(); // harmless twice
    }
    EXPECT_EQ(nullptr, kcDDE::Instance());
    kcDDE again; // a new endpoint starts from scratch
    EXPECT_EQ(1, again.CreateServer(TestService().c_str()));
}

TEST(Dde, FetchesFromAnotherProcessWithExactSizes)
{
    std::string service = TestService();
    const char* s = service.c_str();
    Peer peer(L"serve " + Wide(service) + L" " + kItems);
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
        // Too small a buffer, or an item shorter than the record it should fill: refused, untouched.
        Bytes small(999, 0xEE), record(8, 0xEE);
        EXPECT_EQ(0, dde.GetServerData("TEST_BIG", small.data(), 999, s));
        EXPECT_EQ(Bytes(999, 0xEE), small);
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
        EXPECT_EQ(1, dde.GetServerData("TEST_FOUR", record.data(), 4, s, 4)); // still in step
    }
    EXPECT_EQ(0u, peer.Finish());
}

TEST(Dde, ServesAnotherProcess)
{
    TempDir dir;
    std::string service = TestService();
    kcDDE dde;
    ASSERT_EQ(1, dde.CreateServer(service.c_str()));
    ASSERT_TRUE(Register(dde, {{"TEST_FOUR", 4}, {"TEST_BIG", 1000}, {"テスト項目", 12}}));
    Peer peer(L"fetch " + Wide(service) + L" \"" + dir.File(L"out.bin") + L"\" " + kItems);
    EXPECT_EQ(0u, peer.Finish());
    std::string bytes;
    ASSERT_TRUE(ReadBytes(dir.File(L"out.bin"), &bytes));
    Bytes want = DdePattern(4), big = DdePattern(1000), jp = DdePattern(12);
    want.insert(want.end(), big.begin(), big.end());
    want.insert(want.end(), jp.begin(), jp.end());
    EXPECT_EQ(want, Bytes(bytes.begin(), bytes.end()));
}
