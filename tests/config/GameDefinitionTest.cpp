#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"
#include "config/kcLanguage.h"
#include "config/kcSettings.h"
#include "foundation/kcFontList.h"

namespace {

// Every key of the game definition with a value other than its default, typed from the format.
const char kFullDefinition[] = u8R"(
<VERSION><ini>3</ini><major>2</major><minor>7</minor></VERSION>
<APP><brand>KcBrand</brand><title>テスト</title><mutex>gx7_mutex</mutex><mutex_cfg>gx7_cfg</mutex_cfg>
 <v_code>ABCDEFGH</v_code><icon>icon.ico</icon><iconno>2</iconno><banner>banner.bmp</banner><use_ps>1</use_ps>
 <touch>1</touch><render_always>1</render_always><tweet>1</tweet><utfmode>1</utfmode><ttstable>none.xml</ttstable>
 <dontsave>1</dontsave><direct>1</direct><wndmenu>0</wndmenu><imgcache>64</imgcache><dualcore>0</dualcore></APP>
<SCREEN><v_width>1024</v_width><v_height>768</v_height>
 <list><type0><w>640</w><h>480</h></type0><type4><w>1920</w><h>1080</h></type4></list>
 <no_skip>1</no_skip><frameimg>frame.png</frameimg><forcewindow>1</forcewindow><width>1280</width><height>720</height>
 <full_width>1600</full_width><full_height>900</full_height><limit>0</limit><fps>30</fps><full_size>1</full_size>
 <full_pos>2</full_pos><mw_pos>3</mw_pos><wall>0</wall><no_full_res>1</no_full_res></SCREEN>
<WEB><url>http://example.invalid/</url></WEB>
<ETC><heap>524288</heap><cache>0</cache><dragwnd>0</dragwnd></ETC>
<CURSOR><type>2</type><change>0</change><default>cur.ani</default><hx>3</hx><hy>4</hy><mode>0</mode></CURSOR>
<FOLDER><save>%brand%\save</save><imglib>%save%\img</imglib><default>data</default></FOLDER>
<INFO><file>sysinfo.txt</file><comment>Hello</comment></INFO>
<TEXTURE><size><x>512</x><y>1024</y></size><vt><x>8</x><y>9</y></vt>
 <area03><sx>1</sx><sy>2</sy><dx>3</dx><dy>4</dy></area03><bpp32y>1</bpp32y><bpp16y>2</bpp16y>
 <bpp>16</bpp><filter_min>2</filter_min><filter_mag>3</filter_mag><dither>0</dither></TEXTURE>
<SHADER><VERTEX_MA>2</VERTEX_MA><VERTEX_MI>1</VERTEX_MI><PIXEL_MA>3</PIXEL_MA></SHADER>
<INT><need05>7</need05><int07><int>data.int</int><ext>hg3</ext><dir>image</dir><name>IMAGE</name></int07>
 <int100><int>voice.int</int><name>VOICE</name></int100></INT>
<MANUAL><path>manual.html</path></MANUAL>
<CONFIG_B><mode>0</mode><key>0</key><snd>0</snd><eff>0</eff><wnd>0</wnd><mes>0</mes><font>0</font><sysv>0</sysv>
 <sysconfig>1</sysconfig><autoselect>1</autoselect><smp_wndalpha>1</smp_wndalpha><wnd_alpha>0</wnd_alpha>
 <view3d>2</view3d></CONFIG_B>
<GAME><enabledrag>0</enabledrag><strframe_count>3</strframe_count><strframe_frame>2</strframe_frame>
 <autoframe_count>7</autoframe_count><disp_frame>1</disp_frame><enablefullskip>1</enablefullskip>
 <autopriset><p02><base>40</base><char>41</char></p02><p04><base>50</base><char>51</char></p04></autopriset>
 <log><type>2</type><col>50</col><prof>5</prof><nameline>0</nameline><nameformat><first>「</first><last>」</last></nameformat>
  <indent>0</indent><nameindent>2</nameindent><disp><mes>0</mes><name>0</name></disp><space>1</space><escape>0</escape>
  <static>1</static><cr_next>1</cr_next><limit>300</limit></log>
 <flag><max>2048</max><local1><start>10</start><count>20</count></local1><global0><start>600</start><count>100</count></global0></flag>
 <cgregmode>1</cgregmode><wndcolor><r>16</r><g>32</g><b>48</b><a>128</a></wndcolor>
 <read><color>255</color><enable>1</enable></read><skipspeed>2</skipspeed><string><wipe>1</wipe></string>
 <ctrlmode>1</ctrlmode><autoleft>1</autoleft><readsel><enable>1</enable></readsel><autoselect>1</autoselect></GAME>
<SCRIPT><start>first.kcs</start><replace><r00><find>foo</find><rep>bar</rep></r00><r01><find>a</find><rep>b</rep></r01></replace></SCRIPT>
<SOUNDGROUP><group00><type>bgm</type><id>3</id><min>0</min><max>100</max></group00><group01><type>se</type></group01></SOUNDGROUP>
<SCENELIST><convert><current>sc</current><command>cmd.exe</command><param>*.kcs</param></convert></SCENELIST>
<language><default>1</default><L00><code>1041</code><prefix>ja</prefix><lang>日本語</lang><accel>JA</accel><accelsub>K</accelsub></L00>
 <L01><code>1033</code><prefix>en</prefix><lang>English</lang><accel>EC</accel><accelsub>ES</accelsub></L01>
 <enable_sub>0</enable_sub><OPTTABLE>opt</OPTTABLE></language>
<GENERAL><screensaver>1</screensaver><camouflage>1</camouflage></GENERAL>
<SOUND><use3d>1</use3d><sticky>0</sticky></SOUND>
<FONT><face><f00>NoSuchFont</f00></face><faceruby><f00>RubyFont</f00></faceruby><shadow><around>0</around><rightdown>0</rightdown></shadow></FONT>
<KEYCUSTOMIZE><key00><name>決定</name><keyboard1>13</keyboard1><mouse2>1</mouse2><joypad3>2</joypad3><touch4>5</touch4>
 <rep_keyboard1>300</rep_keyboard1><rep_mouse1>7</rep_mouse1><rep_joypad1>8</rep_joypad1><rep_touch1>9</rep_touch1><hide>1</hide></key00>
 <key05><keyboard1>65</keyboard1></key05></KEYCUSTOMIZE>
<SOUNDCONFIG>soundgroup.xml</SOUNDCONFIG>
<VOICE><v00><voice>主人公</voice><mastervol>80</mastervol><head>kc_</head><group>3</group><int>VOICE01</int></v00>
 <v47><voice>last</voice><head>zz_</head></v47><vol><bgm>90</bgm><play>80</play><se>70</se><voice>60</voice><master>50</master></vol></VOICE>
<SYSTEMVOICE><ch00><name>sys0</name><play>0</play><int>sysv</int></ch00><ch47><name>z</name></ch47></SYSTEMVOICE>
)";

TEST(GameDefinition, EveryKeyIsRead)
{
    ConfigFolder folder;
    ASSERT_TRUE(folder.Write(L"manual.html", "x"));
    kcConfig& c = folder.Start(kFullDefinition);
    ASSERT_NE(kcConfigCurrentBlock, nullptr);
    const ConfigBlock& b = *kcConfigCurrentBlock;
    // The language indexes follow the user's language when the table has it (1041 or 1033).
    LANGID user = GetUserDefaultUILanguage();
    int lang = user == 1041 ? 0 : user == 1033 ? 1 : -1;
    // "%save%" in FOLDER/imglib is the folder just read.
    ExpectFields({
        FIELD(versionIni, 3), FIELD(versionMajor, 2), FIELD(versionMinor, 7), FIELD(iconNumber, 2), FIELD(dontSave, 1),
        FIELD(wndMenu, 0), FIELD(imageCache, 64), FIELD(dualCore, 0), FIELD(virtualWidth, 1024), FIELD(virtualHeight, 768),
        FIELD(windowSizes[0].w, 640), FIELD(windowSizes[0].h, 480), FIELD(windowSizes[1].w, 0), FIELD(windowSizes[4].w, 1920),
        FIELD(windowSizes[4].h, 1080), FIELD(noSkip, 1), FIELD(forceWindow, 1), FIELD(width, 1280), FIELD(height, 720),
        FIELD(fullWidth, 1600), FIELD(fullHeight, 900), FIELD(useWidth, 1280), FIELD(useHeight, 720),
        FIELD(currentWidth, 1024), FIELD(currentHeight, 768), FIELD(limit, 0), FIELD(fps, 30), FIELD(fullSize, 1),
        FIELD(fullPos, 2), FIELD(mwPos, 3), FIELD(wall, 0), FIELD(noFullRes, 1), FIELD(heap, 524288), FIELD(fileCache, 0),
        FIELD(dragWindow, 0), FIELD(cursorType, 2), FIELD(cursorChange, 0), FIELD(cursorHotX, 3), FIELD(cursorHotY, 4),
        FIELD(cursorMode, 0), FIELD(textureSizeX, 512), FIELD(textureSizeY, 1024), FIELD(textureVtX, 8), FIELD(textureVtY, 9),
        FIELD(textureAreas[3].sx, 1), FIELD(textureAreas[3].dy, 4), FIELD(textureAreas[2].sx, -1), FIELD(bpp32y, 1),
        FIELD(bpp16y, 2), FIELD(textureBpp, 16), FIELD(filterMin, 2), FIELD(filterMag, 3), FIELD(dither, 0),
        FIELD(vertexShaderMajor, 2), FIELD(vertexShaderMinor, 1), FIELD(pixelShaderMajor, 3), FIELD(pixelShaderMinor, 3),
        FIELD(intNeed[5], 7), FIELD(intNeed[4], -1), FIELD(manualExists, 1), FIELD(sysConfig, 1), FIELD(configAutoSelect, 1),
        FIELD(smpWndAlpha, 1), FIELD(wndAlphaPercent, 0), FIELD(view3d, 2), FIELD(gameEnableDrag, 0), FIELD(enableDrag, 1),
        FIELD(strFrameCount, 3), FIELD(strFrameFrame, 2), FIELD(autoFrameCount, 7), FIELD(dispFrame, 1),
        FIELD(enableFullSkip, 1), FIELD(autoPresets[2].base, 40), FIELD(autoPresets[2].chr, 41),
        FIELD(autoPresets[3].base, 12), FIELD(messageBase, 50), FIELD(messageChar, 51), FIELD(logType, 2), FIELD(logCol, 50),
        FIELD(logProf, 5), FIELD(logNameLine, 0), FIELD(logIndent, 0), FIELD(logNameIndent, 2), FIELD(logLimit, 300),
        FIELD(flagMax, 2048), FIELD(flagLocal[1].start, 10), FIELD(flagLocal[1].count, 20), FIELD(flagLocal[0].count, 512),
        FIELD(flagGlobal[0].start, 600), FIELD(flagGlobal[0].count, 100), FIELD(cgRegMode, 1), FIELD(wndColor, 0x80102030u),
        FIELD(readColor, 255), FIELD(enableRead, 1), FIELD(skipSpeed, 2), FIELD(wipe, 1), FIELD(ctrlMode, 1),
        FIELD(autoLeft, 1), FIELD(enableReadSel, 1), FIELD(autoSelect, 1), FIELD(soundGroups[0].used, 1),
        FIELD(soundGroups[0].id, 3), FIELD(soundGroups[0].min, 0), FIELD(soundGroups[0].max, 100),
        FIELD(soundGroups[1].used, 0), FIELD(soundGroups[1].id, -1), FIELD(soundGroups[1].min, -1),
        FIELD(languageDefault, lang < 0 ? 1 : lang), FIELD(languageUI, lang < 0 ? 0 : lang),
        FIELD(languageMain, lang < 0 ? 0 : lang), FIELD(enableSub, 0), FIELD(screenSaver, 1), FIELD(camouflage, 1),
        FIELD(sound3d, 1), FIELD(sticky, 0), FIELD(shadowAround, 0), FIELD(shadowRightDown, 0), FIELD(enableJoypad, 0),
        FIELD(keys[0].named, 1), FIELD(keys[0].keyboard[0], 13), FIELD(keys[0].mouse[1], 1), FIELD(keys[0].joypad[2], 2),
        FIELD(keys[0].touch[3], 5), FIELD(keys[0].repKeyboard[0], 300 & 0xFF), FIELD(keys[0].repMouse[0], 7),
        FIELD(keys[0].repJoypad[0], 8), FIELD(keys[0].repTouch[0], 9), FIELD(keys[0].hide, 1), FIELD(keys[5].named, 0),
        FIELD(keys[5].keyboard[0], 65), FIELD(voices[0].masterVol, 80), FIELD(voices[0].group, 3), FIELD(voices[0].play, 1),
        FIELD(voices[47].masterVol, 100), FIELD(volBgm, 90), FIELD(volPlay, 80), FIELD(volSe, 70), FIELD(volVoice, 60),
        FIELD(volMaster, 50), FIELD(systemVoicePlay[0], 0), FIELD(systemVoicePlay[47], 1), FIELD(usePs, 1), FIELD(touch, 1),
        FIELD(renderAlways, 1), FIELD(tweet, 1), FIELD(utfMode, 1), FIELD(direct, 1), FIELD(logDispMes, 0),
        FIELD(logDispName, 0), FIELD(logEscape, 0), FIELD(logSpace, 1), FIELD(logStatic, 1), FIELD(logCrNext, 1),
        // Texts, wide and narrow.
        FIELD(brand, L"KcBrand"), FIELD(title, L"テスト"), FIELD(icon, L"icon.ico"), FIELD(banner, L"banner.bmp"),
        FIELD(ttsTable, L"none.xml"), FIELD(frameImage, L"frame.png"), FIELD(cursorDefault, L"cur.ani"),
        FIELD(saveFolder, L"KcBrand\\save"), FIELD(imageLibFolder, L"KcBrand\\save\\img"), FIELD(defaultFolder, L"data"),
        FIELD(infoFile, L"sysinfo.txt"), FIELD(infoComment, L"Hello"), FIELD(manualPath, L"manual.html"),
        FIELD(optTable, L"opt"), FIELD(fontFace, L"NoSuchFont"), FIELD(fontFaceRuby, L"RubyFont"), FIELD(keyNames[0], L"決定"),
        FIELD(mutex, "gx7_mutex"), FIELD(mutexConfig, "gx7_cfg"), FIELD(vCode, "ABCDEFGH"),
        FIELD(webUrl, "http://example.invalid/"), FIELD(intRows[7].file, "data.int"), FIELD(intRows[7].ext, "hg3"),
        FIELD(intRows[7].dir, "image"), FIELD(intRows[7].name, "IMAGE"), FIELD(intRows[100].name, "VOICE"),
        FIELD(logNameFirst, u8"「"), FIELD(logNameLast, u8"」"), FIELD(startScript, "first.kcs"),
        FIELD(soundGroups[0].type, "bgm"), FIELD(sceneCurrent, "sc"), FIELD(sceneCommand, "cmd.exe"),
        FIELD(sceneParam, "*.kcs"), FIELD(voices[0].voice, u8"主人公"), FIELD(voices[0].head, "kc_"),
        FIELD(voices[0].archive, "voice01"), FIELD(voices[47].head, "zz_"), FIELD(systemVoiceNames[0], "sys0"),
        FIELD(systemVoiceArchives[0], "sysv"), FIELD(systemVoiceNames[47], "z"),
    });
    for (int i = 0; i < 8; ++i) EXPECT_EQ(b.configButtons[i], 0) << i;
    char out[64];
    EXPECT_TRUE(c.ApplyScriptReplacements(out, sizeof out, "a foo"));
    EXPECT_STREQ(out, "b bar"); // "a" before "foo"
    ASSERT_EQ(c.GetLanguageCount(), 2);
    const LanguageEntry* ja = c.GetLanguage(0);
    EXPECT_TRUE(ja->prefix == L"ja" && ja->lang == L"日本語");
    EXPECT_EQ(ja->accelKey, L'J');
    EXPECT_EQ(ja->accelSubKey, L'K');
    EXPECT_EQ(ja->accelModifier * 0x100 + ja->accelSubModifier, 0x1000); // ALT, and none for one character
    EXPECT_EQ(c.GetLanguage(1)->accelModifier * 0x100 + c.GetLanguage(1)->accelSubModifier, 0x0804); // CTRL, SHIFT
    EXPECT_EQ(c.GetSoundGroupName(), L"soundgroup.xml");
    // APP/dontsave: no save folder was made.
    EXPECT_EQ(GetFileAttributesW(folder.File(L"KcBrand").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(0, memcmp(kcConfigCurrentBlock, kcConfigBackupBlock, sizeof(ConfigBlock)));
}

TEST(GameDefinition, MissingEmptyOrBrokenGivesDefaults)
{
    for (const char* file : {(const char*)nullptr, "", "<document><VERSION><ini>3</ini>", "\xff\xfe<garbage"}) {
        ConfigFolder folder;
        ASSERT_TRUE(!file || folder.Write(L"config\\startup.xml", file));
        kcCreateConfig(nullptr, nullptr, 0);
        ASSERT_NE(kcConfigCurrentBlock, nullptr);
        SCOPED_TRACE(file ? file : "(missing)");
        const ConfigBlock& b = *kcConfigCurrentBlock;
        // Defaults, and the reader's constants where a key reads a fixed value.
        ExpectFields({
            FIELD(versionIni, 10), FIELD(virtualWidth, 800), FIELD(currentWidth, 800), FIELD(brand, L"ほのかぜ"),
            FIELD(title, L"GX7"), FIELD(startScript, "main.kcs"), FIELD(heap, 0x40000), FIELD(configAutoSelect, 0),
            FIELD(wndAlphaPercent, 1), FIELD(strFrameCount, 0), FIELD(fileCache, 1), FIELD(soundGroups[0].id, -1),
            FIELD(soundGroups[0].used, 0), FIELD(messageBase, 15), FIELD(messageChar, 5), FIELD(fontFace, L"ＭＳ ゴシック"),
            FIELD(intNeed[63], -1), FIELD(flagGlobal[0].start, 512), FIELD(languageSub, -1),
            FIELD(wndColor, 100u << 24 | 0xFFFFFF), // CONFIG_B/wnd_alpha reads 1: alpha 255 becomes 100 percent
        });
        EXPECT_EQ(0, wcsncmp(b.infoComment, L"■■ システム情報 ■■\r\n\r\n Eメール", 19));
        EXPECT_TRUE(b.scriptReplace && b.languages);
        EXPECT_EQ(b.ttsVolume, 1.0);
        std::wstring save = b.saveFolder;
        EXPECT_EQ(save.size() > 9 ? save.substr(save.size() - 9) : save, L"\\ほのかぜ\\gx7");
    }
}

TEST(GameDefinition, FontFaceCandidates)
{
    kcFontList fonts(nullptr, -1, 0, 1);
    ASSERT_GT(fonts.GetCount(), 0);
    std::wstring installed = fonts.GetName(0);
    std::string f = Str(installed.c_str());
    // An installed candidate wins; with none installed f00, or without f00 the default.
    const struct { std::string face; std::wstring expected; } cases[] = {
        {"<f00>NoFontA</f00><f01>" + f + "</f01>", installed}, {"<f00>NoFontA</f00><f01>NoFontB</f01>", L"NoFontA"},
        {"<f01>NoFontB</f01>", L"ＭＳ ゴシック"}, {"<f03>" + f + "</f03>", installed},
    };
    for (const auto& fc : cases) {
        ConfigFolder folder;
        folder.Start("<FONT><face>" + fc.face + "</face></FONT>");
        EXPECT_EQ(std::wstring(kcConfigCurrentBlock->fontFace), fc.expected) << fc.face;
        // Absent ruby candidates read as the face just chosen; with none installed the ruby stays empty.
        std::wstring ruby = fonts.Find(fc.expected.c_str()) >= 0 ? fc.expected : L"";
        EXPECT_EQ(std::wstring(kcConfigCurrentBlock->fontFaceRuby), ruby) << fc.face;
    }
}

TEST(GameDefinition, ListsStopAtTheFirstGapNumbersKeepTheirLowBits)
{
    ConfigFolder folder;
    kcConfig& c = folder.Start(
        "<SCRIPT><replace><r00><find>a</find><rep>aaaa</rep></r00><r01><find></find><rep>x</rep></r01><r02><find>a</find>"
        "<rep>second</rep></r02><r04><find>y</find><rep>2</rep></r04></replace></SCRIPT>"
        "<language><L00><code>7</code><prefix>a</prefix></L00><L01><code>8</code><prefix>b</prefix></L01>"
        "<L02><code>0</code></L02><L03><code>9</code><prefix>d</prefix></L03></language>"
        "<SCREEN><v_width>70000</v_width><width>-5</width></SCREEN>"
        "<GAME><wndcolor><r>-1</r><g>300</g><b>256</b><a>511</a></wndcolor></GAME>"
        "<CONFIG_B><wnd_alpha>0</wnd_alpha></CONFIG_B><MESSAGE><auto_p>99</auto_p></MESSAGE>"
        "<KEYCUSTOMIZE><key01><name>n</name><mouse1>-2</mouse1></key01></KEYCUSTOMIZE>");
    // The first replacement of a text stays, an empty one is skipped, none after the gap is read.
    char big[64], small[8];
    EXPECT_EQ(c.ApplyScriptReplacements(big, sizeof big, "bay"), 1);
    EXPECT_STREQ(big, "baaaay");
    memset(small, '#', sizeof small);
    EXPECT_EQ(c.ApplyScriptReplacements(small, 6, "aaa"), 0); // cut to its buffer
    EXPECT_TRUE(strlen(small) == 5 && small[6] == '#');
    EXPECT_EQ(c.GetLanguageCount(), 2);
    const ConfigBlock& b = *kcConfigCurrentBlock;
    ExpectFields({
        FIELD(virtualWidth, 70000 & 0xFFFF), FIELD(width, 0xFFFB), FIELD(wndColor, 0xFFu << 24 | 0xFFu << 16 | 0x2Cu << 8),
        FIELD(keys[1].mouse[0], 0xFE),
        FIELD(messageBase, 15), // the game definition's MESSAGE/auto_p is not read: preset 4
    });
}

} // namespace

namespace {

// "A/b/c" holding text, as nested elements.
std::string Element(const std::string& path, const std::string& text)
{
    std::string open, close;
    for (size_t start = 0;;) {
        size_t slash = path.find('/', start);
        std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        open += "<" + name + ">";
        close = "</" + name + ">" + close;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return open + text + close;
}

} // namespace

// A new object from a new game definition (Start keeps an object that exists).
kcConfig& Restart(const ConfigFolder& folder, const std::string& body)
{
    kcReleaseConfig();
    return folder.Start(body);
}

// A path taken cut names another place: every path field of the table, in the game definition
// and in "setup.xml", keeps its default when its text has a bad byte or is longer than the
// field, and takes a whole one.
TEST(GameDefinition, PathFieldsAreTakenWholeOrKeepTheirDefaults)
{
    ConfigFolder folder;
    const std::string here = "<FOLDER><save>.</save></FOLDER>"; // "setup.xml" in the test's folder
    Restart(folder, "");
    const ConfigBlock gameDefaults = *kcConfigCurrentBlock;
    Restart(folder, here);
    const ConfigBlock userDefaults = *kcConfigCurrentBlock;
    int count = 0;
    const kcSetting* table = kcSettingTable(&count);
    int rows = 0;
    for (const kcSetting* s = table; s < table + count; ++s) {
        for (bool user : {false, true}) {
            char key[192];
            if (!(s->flags & KCSET_PATH) || !(user ? kcSettingUserName : kcSettingGameName)(s, 0, 0, key, sizeof key)) continue;
            ++rows;
            const size_t units = s->type == KCSET_WSTR ? s->size / 2u : s->size;
            for (const std::string& text : {std::string("ok\x80x"), std::string("ok\xFF\xFF"), std::string(units, 'p'), std::string("ok")}) {
                SCOPED_TRACE(std::string(key) + " = " + text.substr(0, 8));
                Restart(folder, user ? here : Element(key, text));
                if (user) {
                    ASSERT_TRUE(folder.Write(L"setup.xml", XmlDoc(Element(key, text))));
                    kcConfig::Instance()->LoadUserSettings(0);
                }
                if (text == "ok") {
                    wchar_t value[300];
                    kcSettingGetText(kcConfigCurrentBlock, s, value, 300);
                    EXPECT_STREQ(L"ok", value);
                } else {
                    EXPECT_EQ(0, memcmp(kcSettingAddress(kcConfigCurrentBlock, s), kcSettingAddress(user ? &userDefaults : &gameDefaults, s), s->size));
                }
            }
        }
    }
    DeleteFileW(folder.File(L"setup.xml").c_str());
    EXPECT_GE(rows, 20);
}

// The save folder keeps its default when its text, or its expansion, would be cut: "setup.xml"
// goes nowhere else, and no folder is made on the way.
TEST(GameDefinition, ASaveFolderThatWouldBeCutKeepsItsDefault)
{
    ConfigFolder folder;
    Restart(folder, "");
    wchar_t defaultPath[260];
    kcConfig::Instance()->GetSettingsPath(defaultPath);
    const std::string longName(200, 'n');
    const std::string cases[] = {
        "<FOLDER><save>sub\\\x80x</save></FOLDER>",
        "<FOLDER><save>sub\\" + std::string(300, 'x') + "</save></FOLDER>",
        "<APP><brand>sub\x81x</brand></APP><FOLDER><save>%brand%\\x</save></FOLDER>",
        "<APP><title>sub" + std::string(300, 't') + "</title></APP><FOLDER><save>%title%</save></FOLDER>",
        "<APP><brand>sub" + longName + "</brand><title>" + longName + "</title></APP><FOLDER><save>%brand%%title%</save></FOLDER>",
    };
    for (const std::string& body : cases) {
        SCOPED_TRACE(body.substr(0, 60));
        kcConfig& c = Restart(folder, body);
        wchar_t path[260];
        c.GetSettingsPath(path);
        EXPECT_STREQ(defaultPath, path);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"sub").c_str()));
    }
    // A brand cut for display is still shown, and a whole one still expands.
    EXPECT_EQ(0, wcsncmp(kcConfigCurrentBlock->brand, L"subnnn", 6));
    kcConfig& c = Restart(folder, "<APP><brand>B</brand></APP><FOLDER><save>sub\\%brand%</save></FOLDER>");
    EXPECT_STREQ(L"sub\\B", c.GetBlock()->saveFolder);
}
