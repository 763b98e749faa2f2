#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "foundation/kcXmlParser.h"

namespace {

// Every text of the record ends inside its field.
void ExpectTerminated(const ConfigBlock& b)
{
    int n = 0;
    const kcSetting* t = kcSettingTable(&n);
    for (int i = 0; i < n; ++i) {
        if (t[i].type != KCSET_STR && t[i].type != KCSET_WSTR) continue;
        for (int row = 0; row < t[i].rows; ++row) {
            const void* p = kcSettingAddress(&b, &t[i], row, 0);
            bool ended = t[i].type == KCSET_STR ? strnlen(static_cast<const char*>(p), t[i].size) < (size_t)t[i].size
                                                : wcsnlen(static_cast<const wchar_t*>(p), t[i].size / 2) < (size_t)t[i].size / 2;
            EXPECT_TRUE(ended) << (t[i].userKey ? t[i].userKey : t[i].gameKey) << " row " << row;
        }
    }
}

std::string Repeat(const std::string& text, int times)
{
    std::string s;
    for (int i = 0; i < times; ++i) s += text;
    return s;
}

std::string Nested(int depth)
{
    return Repeat("<e>", depth) + Repeat("</e>", depth);
}

std::vector<std::string> HostileFiles()
{
    std::string longText(10000, 'x'), longJa = Repeat(u8"あ", 3000);
    std::string full = "<APP><title>" + longJa + "</title><v_code>" + longText + "</v_code><mutex>" + longJa +
                       "</mutex></APP><FOLDER><save>%save%%save%%save%" + longText + "</save><imglib>%imglib%" + longJa +
                       "</imglib></FOLDER><INT><int00><name>" + longJa + "</name><dir>" + longText +
                       "</dir></int00></INT><SCREEN><width>-5</width><height>99999999999</height>"
                       "<v_width>70000</v_width></SCREEN><MESSAGE><auto_p>-7</auto_p></MESSAGE>"
                       "<GAME><wndcolor><r>-1</r><g>300</g><b>99999</b><a>-300</a></wndcolor></GAME>"
                       "<language><L00><code>65536</code></L00><L00><code>1</code><prefix>" + longJa +
                       "</prefix></L00><L01><code>-1</code><accel>A</accel><accelsub></accelsub></L01></language>"
                       "<KEYCUSTOMIZE><key00><name>" + longJa + "</name><keyboard1>-1</keyboard1></key00></KEYCUSTOMIZE>"
                       "<FONT><face><f00>" + longJa + "</f00></face></FONT><TTS><id>" + longJa + "</id></TTS>"
                       "<VOICE><v00><int>" + longJa + "</int></v00></VOICE>"
                       "<WINDOW><width>-1</width><full_width>-1</full_width></WINDOW>"
                       "<language><id><UI>-5</UI><main>2147483647</main><sub>-2</sub></id></language>";
    std::string whole = XmlDoc(full);
    std::vector<std::string> files = {whole, XmlDoc(Nested(kcXmlMaxDepth - 1)), XmlDoc(Nested(kcXmlMaxDepth + 5))};
    for (size_t cut : {whole.size() / 3, whole.size() / 2, whole.size() - 20}) files.push_back(whole.substr(0, cut));
    std::mt19937 random(7);
    for (int i = 0; i < 3; ++i) {
        std::string bytes(2000, '\0');
        for (char& ch : bytes) ch = (char)(random() & 0xFF);
        files.push_back(bytes);
    }
    return files;
}

TEST(HostileFiles, GameDefinitionAndUserSettings)
{
    for (const std::string& file : HostileFiles()) {
        ConfigFolder folder;
        folder.Write(L"config\\startup.xml", file);
        folder.Write(L"setup.xml", file);
        kcCreateConfig(nullptr, nullptr, 0);
        ASSERT_NE(kcConfigCurrentBlock, nullptr);
        wcscpy(kcConfigCurrentBlock->saveFolder, L"."); // "setup.xml" here
        TestModes modes({{65535, 65535, 60, 22}});
        kcConfig::Instance()->LoadUserSettings(0);
        ExpectTerminated(*kcConfigCurrentBlock);
        kcConfig& c = *kcConfig::Instance();
        EXPECT_LT((unsigned)kcConfigCurrentBlock->languageUI, (unsigned)std::max(1, c.GetLanguageCount()));
        wchar_t codes[3][8];
        c.GetLanguageCodes(codes[0], codes[1], codes[2], 8);
        char sjis[8], out[16];
        c.GetMainLanguageCode(sjis, sizeof sjis);
        c.ApplyScriptReplacements(out, sizeof out, "abc");
        kcReleaseConfig();
    }
}

TEST(HostileFiles, VoiceDictionaryAndSoundGroups)
{
    std::string deep = "<PART><a>" + Repeat("<part><a><volume>1</volume>", kcXmlMaxDepth) +
                       Repeat("</a></part>", kcXmlMaxDepth) + "</a></PART>";
    for (const std::string& sg : {XmlDoc(deep), std::string("\xff\xfe garbage"), XmlDoc(Nested(kcXmlMaxDepth - 1))}) {
        ConfigFolder folder;
        folder.Write(L"v.xml", XmlDoc("<default>0</default><volume>-1e40</volume><tbl00><id>" + std::string(500, 'i') + "</id></tbl00>"));
        folder.Write(L"sg.xml", sg);
        kcConfig& c = folder.Start("<APP><ttstable>v.xml</ttstable></APP><SOUNDCONFIG>sg.xml</SOUNDCONFIG>"
                                   "<FOLDER><save>save</save></FOLDER>");
        EXPECT_EQ(wcslen(kcConfigCurrentBlock->ttsId), 63u); // cut to its field
        c.OpenSoundGroups();
        c.GetEffectiveVolume(nullptr, "abc");
        c.SaveUserSettings(0);
    }
}

} // namespace
