#include "UpdateInfo.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <string>

namespace {

// One language element: its lang slot, code and key; texts below the key's own element.
std::string Lang(int slot, const std::string& code, const std::string& key)
{
    char name[16];
    snprintf(name, sizeof(name), "lang%02d", slot);
    return std::string("<") + name + "><code>" + code + "</code><prifix>" + key + "</prifix></" + name + ">";
}

std::string Texts(const std::string& key, const std::string& title, const std::string& errorCopy = "copy")
{
    return "<" + key + "><message><wndtitle>" + title + "</wndtitle><intoro>intro " + key +
           "</intoro><success>ok</success><error_version>old</error_version><error_inst>inst</error_inst>"
           "<error_copy>" + errorCopy + "</error_copy></message><message_sys><copying>busy</copying></message_sys>"
           "<message_error><language>lang</language><boot>boot</boot><title>fail</title></message_error></" +
           key + ">";
}

class UpdateInfoTest : public ::testing::Test {
protected:
    bool Load(const std::string& body)
    {
        const std::wstring path = dir.File(L"updateinfo.xml");
        EXPECT_TRUE(WriteBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>" + body + "</document>"));
        return LoadUpdateInfo(info, path.c_str());
    }
    TempDir dir;
    UpdateInfo info;
};

} // namespace

TEST_F(UpdateInfoTest, ReadsEveryFieldAndDefaults)
{
    ASSERT_TRUE(Load("<brand>Maker</brand><app>Game</app><mutex>gm</mutex><confmutex>cm</confmutex>"
                     "<version><major>1</major><minor>2</minor></version>"
                     "<language>" + Lang(0, "1041", "jp") + "</language>" + Texts("jp", u8"更新")));
    EXPECT_STREQ(L"Maker", info.brand);
    EXPECT_STREQ(L"Game", info.app);
    EXPECT_STREQ(L"gm", info.mutex);
    EXPECT_STREQ(L"cm", info.confmutex);
    EXPECT_STREQ(L"1", info.major);
    EXPECT_STREQ(L"2", info.minor);
    EXPECT_STREQ(L"jp", info.defaultLanguage); // no "default" element
    ASSERT_EQ(1u, info.languages.size());
    const LanguageRecord& jp = info.languages.at(L"jp");
    EXPECT_EQ(1041, jp.code);
    EXPECT_STREQ(L"更新", jp.wndtitle);
    EXPECT_STREQ(L"intro jp", jp.intoro);
    EXPECT_STREQ(L"busy", jp.copying);
    EXPECT_STREQ(L"fail", jp.title);
    EXPECT_STREQ(L"boot", jp.boot);
}

TEST_F(UpdateInfoTest, MissingOrMalformedFileFails)
{
    EXPECT_FALSE(LoadUpdateInfo(info, dir.File(L"none.xml").c_str()));
    EXPECT_FALSE(Load("<brand>x</brnd>"));
}

TEST_F(UpdateInfoTest, NoLanguageLoadsButSelectsNothing)
{
    ASSERT_TRUE(Load("<brand>x</brand>"));
    EXPECT_TRUE(info.languages.empty());
    EXPECT_FALSE(SelectLanguageFor(info, 0x411));
    EXPECT_EQ(0, info.current.code);
    EXPECT_EQ(0, info.current.wndtitle[0]);
}

TEST_F(UpdateInfoTest, ListEndsAtGapOrReservedCode)
{
    ASSERT_TRUE(Load("<language>" + Lang(0, "1", "a") + Lang(2, "2", "b") + "</language>"));
    EXPECT_EQ(1u, info.languages.size());
    ASSERT_TRUE(Load("<language>" + Lang(0, "1", "a") + Lang(1, "-1", "b") + "</language>"));
    EXPECT_EQ(1u, info.languages.size());
    ASSERT_TRUE(Load("<language>" + Lang(0, "65535", "a") + "</language>"));
    EXPECT_TRUE(info.languages.empty());
    // A code that is not a number reads as 0 and still counts.
    ASSERT_TRUE(Load("<language>" + Lang(0, "abc", "a") + Lang(1, "7", "b") + "</language>"));
    ASSERT_EQ(2u, info.languages.size());
    EXPECT_EQ(0, info.languages.at(L"a").code);
}

TEST_F(UpdateInfoTest, FirstLanguageOfAKeyStays)
{
    ASSERT_TRUE(Load("<language>" + Lang(0, "1", "jp") + Lang(1, "2", "jp") + "</language>" + Texts("jp", "T")));
    ASSERT_EQ(1u, info.languages.size());
    EXPECT_EQ(1, info.languages.at(L"jp").code);
}

TEST_F(UpdateInfoTest, SelectionOrder)
{
    struct Case {
        const char* name;
        std::string languages;
        std::string defaultKey;
        uint16_t ui;
        const wchar_t* expected;
    } cases[] = {
        {"code match wins", Lang(0, "1041", "jp") + Lang(1, "1033", "en"), "en", 1041, L"jp"},
        {"default key next", Lang(0, "1", "jp") + Lang(1, "2", "en"), "jp", 1041, L"jp"},
        {"smallest key last", Lang(0, "1", "jp") + Lang(1, "2", "en"), "xx", 1041, L"en"},
        {"default is case-sensitive", Lang(0, "1", "jp") + Lang(1, "2", "en"), "JP", 1041, L"en"},
        {"single language always", Lang(0, "5", "zz"), "en", 1041, L"zz"},
    };
    for (const Case& c : cases) {
        const std::string def = c.defaultKey.empty() ? "" : "<default>" + c.defaultKey + "</default>";
        ASSERT_TRUE(Load("<language>" + def + c.languages + "</language>")) << c.name;
        ASSERT_TRUE(SelectLanguageFor(info, c.ui)) << c.name;
        const LanguageRecord& expected = info.languages.at(c.expected);
        EXPECT_EQ(0, memcmp(&expected, &info.current, sizeof(LanguageRecord))) << c.name;
    }
}

TEST_F(UpdateInfoTest, NewlinesOnlyInWindowAndDialogTexts)
{
    ASSERT_TRUE(Load("<language>" + Lang(0, "1", "jp") + "</language>" + Texts("jp", "A\\nB", "C\\nD")));
    const LanguageRecord& jp = info.languages.at(L"jp");
    EXPECT_STREQ(L"A\nB", jp.wndtitle);
    EXPECT_STREQ(L"C\\nD", jp.error_copy);

    wchar_t text[] = L"\\\\n x\\ y\\n";
    UnescapeNewlines(text);
    EXPECT_STREQ(L"\\\n x\\ y\n", text);
}

TEST_F(UpdateInfoTest, FormatCharactersStayVerbatim)
{
    ASSERT_TRUE(Load("<language>" + Lang(0, "1", "jp") + "</language>" + Texts("jp", "%s %n %d%%")));
    EXPECT_STREQ(L"%s %n %d%%", info.languages.at(L"jp").wndtitle);
}

TEST_F(UpdateInfoTest, OverlongTextsAreCutAtCharacterBoundaries)
{
    const std::string brand(300, 'b');
    // 254 letters then a character outside the BMP: its pair would straddle the cut.
    const std::string title = std::string(254, 't') + u8"\U0001F600" + "tail";
    const std::string key(70, 'k');
    ASSERT_TRUE(Load("<brand>" + brand + "</brand><language><default>" + key + "</default>" + Lang(0, "1", key) +
                     "</language>" + Texts(key, title)));
    EXPECT_EQ(259u, wcslen(info.brand));
    EXPECT_EQ(63u, wcslen(info.defaultLanguage));
    ASSERT_EQ(1u, info.languages.size());
    const auto& entry = *info.languages.begin();
    EXPECT_EQ(std::wstring(kLanguageKeyChars, L'k'), entry.first);
    // The long key still names its element: the texts are found.
    EXPECT_EQ(std::wstring(254, L't'), entry.second.wndtitle);
    EXPECT_EQ(0, wcsncmp(entry.second.intoro, L"intro kkk", 9));
}

TEST(CopyTextCut, KeepsWhatFits)
{
    wchar_t dst[4];
    CopyTextCut(dst, 4, L"abcdef");
    EXPECT_STREQ(L"abc", dst);
    CopyTextCut(dst, 4, L"ab\xD83D\xDE00");
    EXPECT_STREQ(L"ab", dst);
    CopyTextCut(dst, 4, L"a\xD83D\xDE00");
    EXPECT_STREQ(L"a\xD83D\xDE00", dst);
}
