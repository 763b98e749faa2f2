#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"
#include "foundation/DdeTestSupport.h"
#include "foundation/kcDDE.h"

namespace {

const size_t kMapAt = offsetof(ConfigBlock, scriptReplace), kLanguagesAt = offsetof(ConfigBlock, languages);

class ConfigDde : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.Write(L"config\\startup.xml",
                     XmlDoc("<APP><title>Peer</title><dontsave>1</dontsave></APP><SCRIPT><replace><r00><find>a</find>"
                            "<rep>b</rep></r00></replace></SCRIPT><language><L00><code>5</code><prefix>p</prefix></L00></language>"));
    }
    // This process's object (the caller holds a DDE endpoint), a client of the peer, with a
    // record that differs from the peer's.
    kcConfig* Client()
    {
        kcCreateConfig(nullptr, nullptr, 2);
        kcConfig* c = kcConfig::Instance();
        EXPECT_EQ(c->ShareOverDde(2), 1);
        wcscpy(kcConfigCurrentBlock->title, L"Mine");
        return c;
    }
    FixedServiceLock lock;
    ConfigFolder folder;
};

TEST_F(ConfigDde, RecordFetchedFromATrustedPeer)
{
    std::wstring served = folder.File(L"served.bin");
    Peer peer(L"serve " + served, L"config_peer.exe");
    ASSERT_TRUE(peer.Ready());
    kcDDE dde;
    kcConfig* c = Client();
    ConfigBlock* b = kcConfigCurrentBlock;
    void* map = b->scriptReplace;
    void* languages = b->languages;
    ASSERT_EQ(c->FetchFromDde(), 1);
    std::string bytes;
    ASSERT_TRUE(ReadBytes(served, &bytes));
    ASSERT_EQ(bytes.size(), sizeof(ConfigBlock));
    EXPECT_STREQ(b->title, L"Peer");
    // Every byte is the peer's but the two heap addresses, which stay this process's own.
    memcpy(&bytes[kMapAt], &map, sizeof map);
    memcpy(&bytes[kLanguagesAt], &languages, sizeof languages);
    EXPECT_EQ(0, memcmp(b, bytes.data(), sizeof(ConfigBlock)));
    char out[8];
    c->ApplyScriptReplacements(out, sizeof out, "a");
    EXPECT_STREQ(out, "b");
    kcReleaseConfig(); // frees only its own map and table
    EXPECT_EQ(peer.Finish(), 0u);
}

// A text that does not end inside its field would be read past it, and a path taken so would
// name another place: such fields keep this process's values, the rest is the peer's.
TEST_F(ConfigDde, APeersUnendedTextsAreNotTaken)
{
    Peer peer(L"unended " + folder.File(L"served.bin"), L"config_peer.exe");
    ASSERT_TRUE(peer.Ready());
    kcDDE dde;
    kcConfig* c = Client();
    ConfigBlock* b = kcConfigCurrentBlock;
    const std::wstring save = b->saveFolder;
    strcpy(b->intRows[0].dir, "mine");
    LogCapture log;
    ASSERT_EQ(c->FetchFromDde(), 1);
    EXPECT_STREQ(L"Mine", b->title);
    EXPECT_EQ(save, b->saveFolder);
    EXPECT_STREQ("mine", b->intRows[0].dir);
    EXPECT_EQ(1, b->dontSave);
    EXPECT_TRUE(log.Contains("kcConfig : the DDE peer's FOLDER/save row 0 does not end inside its field; kept"));
    kcReleaseConfig();
    EXPECT_EQ(peer.Finish(), 0u);
}

TEST_F(ConfigDde, UntrustedOrShortPeersAreRefused)
{
    // A peer run from another folder.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring source = self;
    source = source.substr(0, source.find_last_of(L'\\') + 1) + L"config_peer.exe";
    CreateDirectoryW(folder.File(L"elsewhere").c_str(), nullptr);
    std::wstring copy = folder.File(L"elsewhere\\config_peer.exe");
    ASSERT_TRUE(CopyFileW(source.c_str(), copy.c_str(), FALSE));
    for (int run = 0; run < 2; ++run) {
        Peer peer(run == 0 ? L"serve " + folder.File(L"x.bin") : std::wstring(L"short"),
                  run == 0 ? copy : std::wstring(L"config_peer.exe"));
        ASSERT_TRUE(peer.Ready());
        {
            kcDDE dde;
            kcConfig* c = Client();
            ConfigBlock before = *kcConfigCurrentBlock;
            LogCapture log;
            EXPECT_EQ(c->FetchFromDde(), 0) << run;
            EXPECT_FALSE(log.Contains(Sjis(u8"に接続されていません"))) << run; // refused, not unreached
            EXPECT_EQ(log.Contains("kcConfig : the DDE peer runs from another folder"), run == 0);
            EXPECT_EQ(0, memcmp(&before, kcConfigCurrentBlock, sizeof before)) << run;
            kcReleaseConfig();
        }
        EXPECT_EQ(peer.Finish(), 0u);
    }
}

TEST_F(ConfigDde, ReleasedObjectWithdrawsItsItems)
{
    // Twice with one endpoint: each object serves its own record, released nothing.
    kcDDE dde;
    for (const wchar_t* title : {L"First", L"Second"}) {
        kcCreateConfig(nullptr, nullptr, 0);
        ASSERT_EQ(1, kcConfig::Instance()->ShareOverDde(1));
        wcscpy(kcConfigCurrentBlock->title, title);
        const RawReply served = RawRequest(L"KCDDE_SERVER", L"kcConfig_CONFIG");
        ASSERT_EQ(sizeof(ConfigBlock), served.bytes.size());
        EXPECT_EQ(0, memcmp(served.bytes.data(), kcConfigCurrentBlock, sizeof(ConfigBlock)));
        kcReleaseConfig();
        for (const wchar_t* item : {L"kcConfig_CONFIG", L"kcConfig_PATH"})
            EXPECT_FALSE(RawRequest(L"KCDDE_SERVER", item).answered) << item;
    }
}

TEST_F(ConfigDde, InertWithoutAnEndpointOrMode)
{
    kcCreateConfig(nullptr, nullptr, 2);
    EXPECT_EQ(kcConfig::Instance()->ShareOverDde(1) + kcConfig::Instance()->FetchFromDde(), 0); // no endpoint
    kcReleaseConfig();
    kcDDE dde;
    kcCreateConfig(nullptr, nullptr, 0);
    EXPECT_EQ(kcConfig::Instance()->ShareOverDde(3), 1);
    EXPECT_EQ(kcConfig::Instance()->FetchFromDde(), 0); // mode 0
    void* data = nullptr;
    unsigned bytes = 0;
    EXPECT_EQ(kcConfigDdeCallback(kcConfig::Instance(), L"other", &data, &bytes), 0); // an unknown item
}

} // namespace
