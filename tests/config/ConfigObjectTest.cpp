#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"
#include "config/kcPathMacros.h"
#include "foundation/kcFileServer.h"
#include "foundation/kcFolder.h"

namespace {

TEST(ConfigObject, CodeFileTakenOnlyWhole)
{
    const struct { std::string file; const char* expected; } cases[] = {
        {"ZYXW", "ZYXW"}, {std::string(256, 'a'), nullptr}, // exactly 256 bytes: taken, terminated
        {std::string(257, 'b'), "FROMDEF"}, {"", ""},
    };
    for (const auto& c : cases) {
        ConfigFolder folder;
        folder.Write(L"config\\vcode.dat", c.file);
        folder.Start("<APP><v_code>FROMDEF</v_code></APP>");
        EXPECT_EQ(std::string(kcConfigCurrentBlock->vCode), c.expected ? c.expected : c.file) << c.file.size();
        EXPECT_STREQ(kcConfigBackupBlock->vCode, kcConfigCurrentBlock->vCode);
    }
}

TEST(ConfigObject, OneObjectAndItsBlocks)
{
    ConfigFolder folder;
    folder.Write(L"other.xml", XmlDoc("<APP><title>Second</title></APP>"));
    kcConfig* first = &folder.Start("<APP><title>First</title></APP><FOLDER><save>%STEAMUSERDATA%</save></FOLDER>");
    ConfigBlock* block = kcConfigCurrentBlock;
    kcCreateConfig(L"other.xml", nullptr, 0); // keeps the first
    EXPECT_TRUE(kcConfig::Instance() == first && kcConfigCurrentBlock == block && first->GetBlock(nullptr) == block);
    EXPECT_STREQ(block->title, L"First");
    EXPECT_EQ(GetFileAttributesW(folder.File(L"%STEAMUSERDATA%").c_str()), INVALID_FILE_ATTRIBUTES);
    kcReleaseConfig();
    EXPECT_TRUE(!kcConfig::Instance() && !kcConfigCurrentBlock && !kcConfigBackupBlock);
    kcReleaseConfig(); // nothing to release

    // The same save folder in other letter case is an ordinary folder and is made.
    folder.Start("<FOLDER><save>%steamuserdata%</save></FOLDER>");
    EXPECT_NE(GetFileAttributesW(folder.File(L"%steamuserdata%").c_str()), INVALID_FILE_ATTRIBUTES);
}

const char kArchives[] = u8R"(
<INT><int00><int>bgm.int</int><name>BGM</name><dir>music</dir><ext>ogg</ext></int00>
 <int01><int>voice.int</int><name>voicepack</name></int01><int02><name>sysv</name></int02></INT>
<VOICE><v00><head>kc_</head><int>VoicePack</int><group>3</group><mastervol>70</mastervol></v00>
 <v01><head>sys</head><int>sysv</int><group>9</group></v01><v02><int>other</int><group>4</group></v02>
 <vol><master>50</master><bgm>33</bgm><se>100</se><voice>80</voice><play>0</play></vol></VOICE>
<SOUNDGROUP><group00><type>bgm</type><id>3</id></group00><group01><type>voice</type><id>4</id></group01>
 <group02><type>other</type><id>9</id></group02></SOUNDGROUP>
)";

TEST(ConfigObject, ArchivesVoicesAndVolumes)
{
    ConfigFolder folder;
    kcConfig& c = folder.Start(kArchives);
    c.UpdateEffectiveVolumes();
    EXPECT_EQ(kcConfigCurrentBlock->effectiveVolumes[0], 16); // 33 x 50 / 100
    const struct { const char* group; const char* file; int index; } archives[] = {
        {"bgm", "x.ogg", 0},   {"BGM", "", 0},          {"sound", "KC_001.ogg", 1}, {"SOUND", "voicepack\\a.ogg", 1},
        {"sound", "sys01", 2}, {"sound", "zz.ogg", -1}, {"nothing", "x", -1},        {"sound", "other.pak\\x.ogg", -1},
    };
    for (const auto& a : archives) EXPECT_EQ(c.FindArchiveIndex(a.group, a.file), a.index) << a.group << " " << a.file;
    // Per file: voice row, group, play flag, master volume, volume (groups 3 bgm, 4 voice, 9 another type).
    const struct { const char* file; int row, group, played, masterVol, volume; } files[] = {
        {"KC_001.ogg", 0, 3, 1, 70, 16},          {"other.pak\\x.ogg", 2, 4, 1, 100, 40}, // folder without its extension
        {"VoicePack.int/x.ogg", 0, 3, 1, 70, 16}, {"dir\\kc_x.ogg", -1, 3, 0, 0, 16},     // no row "dir": the name decides
        {"sys1", 1, 9, 1, 100, 100},              {"zz", -1, -1, 0, 0, 100},
    };
    for (const auto& f : files) {
        int got[5] = {c.FindVoiceRow(f.file), c.GetVoiceGroup(f.file), c.IsVoicePlayed(f.file),
                      c.GetVoiceMasterVolume(f.file), c.GetFileVolume(f.file)};
        EXPECT_EQ(std::vector<int>(got, got + 5), (std::vector<int>{f.row, f.group, f.played, f.masterVol, f.volume})) << f.file;
    }
    ASSERT_NE(c.FindSoundGroupRowOfFile("kc_1"), nullptr);
    EXPECT_TRUE(c.FindSoundGroupRowOfFile("kc_1")->id == 3 && !c.FindSoundGroupRow(77));
    auto categories = [&] {
        return std::vector<int>{c.GetCategoryVolume("BGM"), c.GetCategoryVolume("sysvoice"), c.GetCategoryVolume("unknown"),
                                c.GetCategoryVolume("se"), c.IsCategoryMuted("SE"), c.IsCategoryMuted("unknown")};
    };
    EXPECT_EQ(categories(), (std::vector<int>{16, 40, 100, 50, 0, 0})); // 100 x 50 / 100 for se
    kcConfigCurrentBlock->muteSe = 1;
    EXPECT_EQ(categories(), (std::vector<int>{16, 40, 100, 0, 1, 0}));
    kcConfigCurrentBlock->muteMaster = 1;
    EXPECT_EQ(categories(), (std::vector<int>{0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(c.GetFileVolume("zz"), 0);
    // The file server's questions.
    std::string dir, ext;
    EXPECT_EQ(c.FindArchiveRow("bgm", "a.ogg", &dir, &ext), 1);
    EXPECT_EQ(dir + "." + ext, "music.ogg");
    EXPECT_EQ(c.FindArchiveRow("none", "a", &dir, &ext), 0);
    // A folder goes into a path: one with no whole Shift_JIS form is refused, not taken "best fit".
    kcIntRow& row = kcConfigCurrentBlock->intRows[c.FindArchiveIndex("bgm", "a.ogg")];
    strcpy(row.dir, u8"音楽");
    EXPECT_EQ(c.FindArchiveRow("bgm", "a.ogg", &dir, &ext), 1);
    EXPECT_EQ(dir, Sjis(u8"音楽"));
    strcpy(row.dir, u8"müsic");
    EXPECT_EQ(c.FindArchiveRow("bgm", "a.ogg", &dir, &ext), 0);
    EXPECT_EQ(kcFileServer::GetResolver(), &c);
}

const char kVoices[] = u8R"(<dic>dict.dic</dic><volume>0.5</volume><default>1</default>
<tbl00><id>v0</id><name>Zero</name><voice>z</voice></tbl00><tbl01><id>v1</id><name>One</name></tbl01>
<tbl03><id>v3</id></tbl03>)";

TEST(ConfigObject, LanguagesAndVoiceDictionary)
{
    ConfigFolder folder;
    std::string longPrefix(5000, 'z'); // kept whole; handed out cut to each caller's capacity
    folder.Write(L"voices.xml", XmlDoc(kVoices));
    kcConfig& c = folder.Start(
        "<language><L00><code>7</code><prefix>ja</prefix></L00><L01><code>8</code><prefix>en</prefix></L01><L02><code>9"
        "</code><prefix>a_very_long_language_prefix</prefix></L02><L03><code>10</code><prefix>" + longPrefix +
        "</prefix></L03><default>1</default></language><APP><ttstable>voices.xml</ttstable></APP>");
    ConfigBlock* b = kcConfigCurrentBlock;
    // The voice dictionary: two entries (tbl02 is missing), TTS/id from the default entry.
    EXPECT_EQ(Str(b->ttsDictionary) + " " + Str(b->ttsVolume) + " " + Str(b->ttsId), "dict.dic 0.500000 v1");
    ASSERT_EQ(c.GetVoiceDictionaryCount(), 2);
    EXPECT_TRUE(c.FindVoiceDictionaryEntry() == c.GetVoiceDictionaryEntry(1) && c.GetVoiceDictionaryEntry(1)->name == L"One");
    EXPECT_TRUE(!c.GetVoiceDictionaryEntry(2) && !c.GetVoiceDictionaryEntry(-1));

    b->languageUI = 5; // beyond the table: the default index decides
    b->languageMain = 0;
    b->languageSub = -1;
    wchar_t ui[8], main[8], sub[8];
    c.GetLanguageCodes(ui, main, sub, 8);
    EXPECT_EQ(std::wstring(ui) + L"," + main + L"," + sub, L"en,ja,");
    wchar_t text[32] = L"lang_%LANG%_%LANG%.txt";
    char narrow[16] = "%LANG_M%.txt";
    c.ExpandLanguageMacro(text, 32);
    c.ExpandMainLanguageMacro(narrow, 16);
    EXPECT_EQ(Str(text) + " " + narrow, "lang_en_en.txt ja.txt");
    // Long prefixes are cut to the caller's capacity (but a file name made with one is left
    // unexpanded); sub -1 reads the default index.
    b->languageMain = 2;
    wchar_t tiny[6], cut[12] = L"x%LANG_M%y", subCode[6];
    char tinyA[4];
    c.GetMainLanguageCode(tiny, 6);
    c.GetMainLanguageCode(tinyA, 4);
    c.GetSubLanguageCode(subCode, 6);
    c.ExpandMainLanguageMacro(cut, 12);
    EXPECT_EQ(Str(tiny) + " " + tinyA + " " + Str(subCode), "a_ver a_v en");
    EXPECT_STREQ(cut, L"x%LANG_M%y");
    // Setting codes: known codes change indexes and raise the dirty flag, unknown ones nothing.
    c.ClearDirty();
    c.SetLanguageCodes(L"ja", L"xx", L"en");
    EXPECT_EQ((std::vector<int>{b->languageUI, b->languageMain, b->languageSub, c.IsDirty()}), (std::vector<int>{0, 2, 1, 1}));
    EXPECT_EQ(c.FindLanguage(L"e"), -1);
    EXPECT_EQ(wcslen(c.GetLanguageCode(3)), 5000u);
    EXPECT_EQ(c.GetLanguageCode(4), nullptr);

    // An empty table: empty codes, macros left as they are.
    kcReleaseConfig();
    kcConfig& none = folder.Start("");
    ui[0] = main[0] = sub[0] = L'x';
    none.GetLanguageCodes(ui, main, sub, 4);
    EXPECT_EQ(std::wstring(ui) + main + sub, L"");
    wcscpy(text, L"%LANG%");
    none.ExpandLanguageMacro(text, 16);
    EXPECT_STREQ(text, L"%LANG%");
}

TEST(ConfigObject, FilesThroughTheFileServer)
{
    ConfigFolder folder;
    kcFileServer server;
    ASSERT_EQ(kcFileServer::Instance(), &server);
    kcConfig& c = folder.Start("<APP><title>Served</title></APP>");
    EXPECT_STREQ(kcConfigCurrentBlock->title, L"Served");
    EXPECT_EQ(c.ReadGameDefaults(), 0); // no "config.int" yet
    // "config.int" as a folder slot: the game's defaults for the second half of the user part.
    folder.Write(L"defaults\\gamedef.xml", XmlDoc("<VOICE><vol_bgm>42</vol_bgm><play03>0</play03></VOICE>"
                                                 "<GAME><use_jtalk>1</use_jtalk></GAME><WINDOW><width>1</width></WINDOW>"));
    ASSERT_TRUE(server.SetSlot(0, L"config.int", folder.File(L"defaults").c_str(), 1));
    c.LoadDefaults();
    const ConfigBlock& b = *kcConfigBackupBlock; // width is not of that half; volumes recomputed after the copy
    ExpectFields({FIELD(volBgm, 42), FIELD(voices[3].play, 0), FIELD(useJtalk, 1), FIELD(width, 800),
                  {"current volume", Str(kcConfigCurrentBlock->effectiveVolumes[0]), "42"}});
    // A broken defaults file changes nothing.
    folder.Write(L"defaults\\gamedef.xml", "<document><VOICE><vol_bgm>7");
    EXPECT_EQ(c.ReadGameDefaults(), 0);
    EXPECT_EQ(kcConfigCurrentBlock->volBgm, 42);
    kcReleaseConfig();
}

TEST(PathMacros, Tokens)
{
    ConfigFolder folder;
    folder.Start("<APP><brand>B</brand><title>T</title></APP><FOLDER><save>S</save><imglib>I</imglib></FOLDER>");
    wchar_t appData[260], common[260];
    ASSERT_TRUE(kcGetSpecialFolder(KCFOLDER_APPDATA, appData));
    ASSERT_TRUE(kcGetSpecialFolder(KCFOLDER_COMMON_APPDATA, common));
    std::wstring longToken = L"%" + std::wstring(300, L'a') + L"%";
    const struct { const wchar_t* in; std::wstring out; } cases[] = {
        {L"%save%\\name", L"S\\name"}, {L"%SAVE%\\name", L"%SAVE%\\name"}, // letter case counts
        {L"%brand%%title%%imglib%", L"BTI"}, {L"%USERPROFILE%\\x", std::wstring(appData) + L"\\x"},
        {L"%ProgramData%|%ALLUSERSPROFILE%", std::wstring(common) + L"|" + common},
        {L"a\\%open end", L"a\\%open end"}, {L"%STEAMUSERDATA%", L"%STEAMUSERDATA%"}, {L"", L""},
        {longToken.c_str(), longToken}, // too long to be a token: copied
    };
    wchar_t out[400];
    for (const auto& c : cases) {
        kcExpandPathMacrosW(out, 400, c.in);
        EXPECT_EQ(c.out, out) << c.in;
    }
    kcExpandPathMacros(out, 400, "%title%\\x");
    EXPECT_STREQ(out, L"T\\x");
    // A result too long would name another folder: refused, the output untouched.
    wchar_t small[5] = L"old";
    EXPECT_EQ(0, kcExpandPathMacrosW(small, 4, L"%brand%%title%%imglib%%save%"));
    EXPECT_STREQ(small, L"old");
    EXPECT_EQ(1, kcExpandPathMacrosW(small, 5, L"%brand%%title%%imglib%%save%"));
    EXPECT_STREQ(small, L"BTIS");
    kcPathMacroValueW(out, 400, L"%other%");
    EXPECT_STREQ(out, L"%other%");
}

TEST(DisplayModes, MatchAndHas)
{
    ConfigFolder folder;
    const kcConfig& c = folder.Start("");
    int w = 1000, h = 700;
    EXPECT_EQ(c.MatchDisplayMode(&w, &h) + c.HasDisplayMode(1280, 720), 0); // no list
    EXPECT_EQ(w, 1000);
    {
        TestModes empty({});
        EXPECT_EQ(c.MatchDisplayMode(&w, &h), 0); // a list without entries is no list
    }
    EXPECT_EQ(kcAspectPermille(0, 600), 0); // a mode without a width divides nothing
    TestModes modes({{800, 600, 60, 22}, {1280, 720, 59, 22}, {1366, 768, 60, 23}, {1600, 900, 75, 22}, {1920, 1080, 60, 22}});
    const struct { int w, h, expectW, expectH; } cases[] = {
        {1280, 720, 1280, 720},   // 59 Hz matches 60
        {1000, 700, 1280, 720},   // the first 16:9 candidate at least as large
        {1366, 768, 1920, 1080},  // another format is no candidate
        {1600, 900, 1920, 1080},  // another refresh rate is no candidate
        {1024, 768, 1920, 1080},  // 4:3 with no 4:3 candidate: the current mode
        {4000, 3000, 1920, 1080}, // nothing large enough
    };
    for (const auto& m : cases) {
        int mw = m.w, mh = m.h;
        EXPECT_EQ(c.MatchDisplayMode(&mw, &mh), 1);
        EXPECT_EQ(std::make_pair(mw, mh), std::make_pair(m.expectW, m.expectH)) << m.w << "x" << m.h;
    }
    EXPECT_EQ(c.HasDisplayMode(800, 600), 1); // the aspect is not tested
    EXPECT_EQ(c.HasDisplayMode(1366, 768) + c.HasDisplayMode(1600, 900) + c.HasDisplayMode(1234, 567), 0);
    EXPECT_TRUE(kcRefreshRateMatches(60, 59) && !kcRefreshRateMatches(59, 61));

    // The game definition's full-screen size: the width read, then matched.
    kcReleaseConfig();
    folder.Start("<SCREEN><width>1000</width><height>700</height></SCREEN>");
    const ConfigBlock& b = *kcConfigCurrentBlock;
    ExpectFields({FIELD(fullWidth, 1280), FIELD(fullHeight, 720), FIELD(useWidth, 1000)});
}

} // namespace
