#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"
#include "config/kcLanguage.h"
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
    ASSERT_TRUE(folder.Write(L"config\\startup.xml", XmlDoc(kFullDefinition)));
    ASSERT_TRUE(folder.Write(L"manual.html", "x"));
    kcCreateConfig(nullptr, nullptr, 0);
    ASSERT_NE(kcConfigCurrentBlock, nullptr);
    const ConfigBlock& b = *kcConfigCurrentBlock;
    kcConfig& c = *kcConfig::Instance();

    // The language indexes follow the user's language when the table has it (1041 or 1033).
    LANGID user = GetUserDefaultUILanguage();
    int expected = user == 1041 ? 0 : user == 1033 ? 1 : -1;
    // Numbers, by field.
#define X(field, value) {#field, (long long)b.field, (long long)(value)}
    const struct {
        const char* field;
        long long got, want;
    } numbers[] = {
        X(versionIni, 3), X(versionMajor, 2), X(versionMinor, 7), X(iconNumber, 2), X(dontSave, 1), X(wndMenu, 0),
        X(imageCache, 64), X(dualCore, 0), X(virtualWidth, 1024), X(virtualHeight, 768), X(windowSizes[0].w, 640),
        X(windowSizes[0].h, 480), X(windowSizes[1].w, 0), X(windowSizes[4].w, 1920), X(windowSizes[4].h, 1080),
        X(noSkip, 1), X(forceWindow, 1), X(width, 1280), X(height, 720), X(fullWidth, 1600), X(fullHeight, 900),
        X(useWidth, 1280), X(useHeight, 720), X(currentWidth, 1024), X(currentHeight, 768), X(limit, 0), X(fps, 30),
        X(fullSize, 1), X(fullPos, 2), X(mwPos, 3), X(wall, 0), X(noFullRes, 1), X(heap, 524288), X(fileCache, 0),
        X(dragWindow, 0), X(cursorType, 2), X(cursorChange, 0), X(cursorHotX, 3), X(cursorHotY, 4), X(cursorMode, 0),
        X(textureSizeX, 512), X(textureSizeY, 1024), X(textureVtX, 8), X(textureVtY, 9), X(textureAreas[3].sx, 1),
        X(textureAreas[3].dy, 4), X(textureAreas[2].sx, -1), X(bpp32y, 1), X(bpp16y, 2), X(textureBpp, 16),
        X(filterMin, 2), X(filterMag, 3), X(dither, 0), X(vertexShaderMajor, 2), X(vertexShaderMinor, 1),
        X(pixelShaderMajor, 3), X(pixelShaderMinor, 3), X(intNeed[5], 7), X(intNeed[4], -1), X(manualExists, 1),
        X(sysConfig, 1), X(configAutoSelect, 1), X(smpWndAlpha, 1), X(wndAlphaPercent, 0), X(view3d, 2),
        X(gameEnableDrag, 0), X(enableDrag, 1), X(strFrameCount, 3), X(strFrameFrame, 2), X(autoFrameCount, 7),
        X(dispFrame, 1), X(enableFullSkip, 1), X(autoPresets[2].base, 40), X(autoPresets[2].chr, 41),
        X(autoPresets[3].base, 12), X(messageBase, 50), X(messageChar, 51), X(logType, 2), X(logCol, 50),
        X(logProf, 5), X(logNameLine, 0), X(logIndent, 0), X(logNameIndent, 2), X(logLimit, 300), X(flagMax, 2048),
        X(flagLocal[1].start, 10), X(flagLocal[1].count, 20), X(flagLocal[0].count, 512), X(flagGlobal[0].start, 600),
        X(flagGlobal[0].count, 100), X(cgRegMode, 1), X(wndColor, 0x80102030u), X(readColor, 255), X(enableRead, 1),
        X(skipSpeed, 2), X(wipe, 1), X(ctrlMode, 1), X(autoLeft, 1), X(enableReadSel, 1), X(autoSelect, 1),
        X(soundGroups[0].used, 1), X(soundGroups[0].id, 3), X(soundGroups[0].min, 0), X(soundGroups[0].max, 100),
        X(soundGroups[1].used, 0), X(soundGroups[1].id, -1), X(soundGroups[1].min, -1),
        X(languageDefault, expected < 0 ? 1 : expected), X(languageUI, expected < 0 ? 0 : expected),
        X(languageMain, expected < 0 ? 0 : expected), X(enableSub, 0), X(screenSaver, 1), X(camouflage, 1),
        X(sound3d, 1), X(sticky, 0), X(shadowAround, 0), X(shadowRightDown, 0), X(enableJoypad, 0),
        X(keys[0].named, 1), X(keys[0].keyboard[0], 13), X(keys[0].mouse[1], 1), X(keys[0].joypad[2], 2),
        X(keys[0].touch[3], 5), X(keys[0].repKeyboard[0], 300 & 0xFF), X(keys[0].repMouse[0], 7),
        X(keys[0].repJoypad[0], 8), X(keys[0].repTouch[0], 9), X(keys[0].hide, 1), X(keys[5].named, 0),
        X(keys[5].keyboard[0], 65), X(voices[0].masterVol, 80), X(voices[0].group, 3), X(voices[0].play, 1),
        X(voices[47].masterVol, 100), X(volBgm, 90), X(volPlay, 80), X(volSe, 70), X(volVoice, 60), X(volMaster, 50),
        X(systemVoicePlay[0], 0), X(systemVoicePlay[47], 1),
    };
#undef X
    for (const auto& n : numbers) EXPECT_EQ(n.got, n.want) << n.field;
    // Texts, by field ("%save%" in FOLDER/imglib is the folder just read).
#define W(field, value) {#field, std::wstring(b.field), value}
    const struct {
        const char* field;
        std::wstring got, want;
    } wide[] = {
        W(brand, L"KcBrand"), W(title, L"テスト"), W(icon, L"icon.ico"), W(banner, L"banner.bmp"),
        W(ttsTable, L"none.xml"), W(frameImage, L"frame.png"), W(cursorDefault, L"cur.ani"),
        W(saveFolder, L"KcBrand\\save"), W(imageLibFolder, L"KcBrand\\save\\img"), W(defaultFolder, L"data"),
        W(infoFile, L"sysinfo.txt"), W(infoComment, L"Hello"), W(manualPath, L"manual.html"), W(optTable, L"opt"),
        W(fontFace, L"NoSuchFont"), W(fontFaceRuby, L"RubyFont"), W(keyNames[0], L"決定"),
    };
#undef W
    for (const auto& t : wide) EXPECT_EQ(t.got, t.want) << t.field;
#define N(field, value) {#field, std::string(b.field), value}
    const struct {
        const char* field;
        std::string got, want;
    } narrow[] = {
        N(mutex, "gx7_mutex"), N(mutexConfig, "gx7_cfg"), N(vCode, "ABCDEFGH"), N(webUrl, "http://example.invalid/"),
        N(intRows[7].file, "data.int"), N(intRows[7].ext, "hg3"), N(intRows[7].dir, "image"),
        N(intRows[7].name, "IMAGE"), N(intRows[100].name, "VOICE"), N(logNameFirst, u8"「"), N(logNameLast, u8"」"),
        N(startScript, "first.kcs"), N(soundGroups[0].type, "bgm"), N(sceneCurrent, "sc"), N(sceneCommand, "cmd.exe"),
        N(sceneParam, "*.kcs"), N(voices[0].voice, u8"主人公"), N(voices[0].head, "kc_"),
        N(voices[0].archive, "voice01"), N(voices[47].head, "zz_"), N(systemVoiceNames[0], "sys0"),
        N(systemVoiceArchives[0], "sysv"), N(systemVoiceNames[47], "z"),
    };
#undef N
    for (const auto& t : narrow) EXPECT_EQ(t.got, t.want) << t.field;
    EXPECT_EQ(b.usePs + b.touch + b.renderAlways + b.tweet + b.utfMode + b.direct, 6);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(b.configButtons[i], 0) << i;
    EXPECT_EQ(b.logDispMes + b.logDispName + b.logEscape, 0);
    EXPECT_EQ(b.logSpace + b.logStatic + b.logCrNext, 3);
    char out[64];
    EXPECT_TRUE(c.ApplyScriptReplacements(out, sizeof out, "a foo"));
    EXPECT_STREQ(out, "b bar"); // "a" before "foo"
    ASSERT_EQ(c.GetLanguageCount(), 2);
    const LanguageEntry* ja = c.GetLanguage(0);
    EXPECT_EQ(ja->prefix, L"ja");
    EXPECT_EQ(ja->lang, L"日本語");
    EXPECT_EQ(ja->accelKey, L'J');
    EXPECT_EQ(ja->accelModifier, 0x10);
    EXPECT_EQ(ja->accelSubKey, L'K');
    EXPECT_EQ(ja->accelSubModifier, 0); // one character
    EXPECT_EQ(c.GetLanguage(1)->accelModifier, 0x08);
    EXPECT_EQ(c.GetLanguage(1)->accelSubModifier, 0x04);
    EXPECT_EQ(c.GetSoundGroupName(), L"soundgroup.xml");
    // APP/dontsave: no save folder was made.
    EXPECT_EQ(GetFileAttributesW(folder.File(L"KcBrand").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(0, memcmp(kcConfigCurrentBlock, kcConfigBackupBlock, sizeof(ConfigBlock)));
}

// What the record holds when the definition gave nothing: defaults and the reader's constants.
void ExpectDefaults(const ConfigBlock& b)
{
    EXPECT_EQ(b.versionIni, 10);
    EXPECT_EQ(b.virtualWidth, 800);
    EXPECT_EQ(b.currentWidth, 800);
    EXPECT_STREQ(b.brand, L"ほのかぜ");
    EXPECT_STREQ(b.title, L"GX7");
    EXPECT_STREQ(b.startScript, "main.kcs");
    EXPECT_EQ(b.heap, 0x40000);
    EXPECT_EQ(b.configAutoSelect, 0); // read 0
    EXPECT_EQ(b.wndAlphaPercent, 1);  // read 1
    EXPECT_EQ(b.strFrameCount, 0);    // read 0
    EXPECT_EQ(b.fileCache, 1);
    EXPECT_EQ(b.soundGroups[0].id, -1);
    EXPECT_EQ(b.soundGroups[0].used, 0);
    EXPECT_EQ(b.messageBase, 15);
    EXPECT_EQ(b.messageChar, 5);
    EXPECT_EQ(b.wndColor, 100u << 24 | 0xFFFFFF); // CONFIG_B/wnd_alpha reads 1: alpha 255 becomes 100 percent
    EXPECT_STREQ(b.fontFace, L"ＭＳ ゴシック");
    EXPECT_EQ(b.intNeed[63], -1);
    EXPECT_EQ(b.flagGlobal[0].start, 512);
    EXPECT_EQ(0, wcsncmp(b.infoComment, L"■■ システム情報 ■■\r\n\r\n Eメール", 19));
    EXPECT_NE(b.scriptReplace, nullptr);
    EXPECT_NE(b.languages, nullptr);
    EXPECT_EQ(b.ttsVolume, 1.0);
    EXPECT_EQ(b.languageSub, -1);
    std::wstring save = b.saveFolder;
    EXPECT_EQ(save.size() > 9 ? save.substr(save.size() - 9) : save, L"\\ほのかぜ\\gx7");
}

TEST(GameDefinition, MissingEmptyOrBrokenGivesDefaults)
{
    const char* files[] = {nullptr, "", "<document><VERSION><ini>3</ini>", "\xff\xfe<garbage"};
    for (const char* file : files) {
        ConfigFolder folder;
        if (file) ASSERT_TRUE(folder.Write(L"config\\startup.xml", file));
        kcCreateConfig(nullptr, nullptr, 0);
        ASSERT_NE(kcConfigCurrentBlock, nullptr);
        SCOPED_TRACE(file ? file : "(missing)");
        ExpectDefaults(*kcConfigCurrentBlock);
    }
}

TEST(GameDefinition, WindowAlphaAsPercent)
{
    ConfigFolder folder;
    folder.Write(L"config\\startup.xml", XmlDoc("<GAME><wndcolor><r>1</r><g>2</g><b>3</b><a>255</a></wndcolor></GAME>"
                                                "<CONFIG_B><wnd_alpha>1</wnd_alpha></CONFIG_B>"));
    kcCreateConfig(nullptr, nullptr, 0);
    EXPECT_EQ(kcConfigCurrentBlock->wndColor, 100u << 24 | 0x010203);
}

TEST(GameDefinition, FontFaceCandidates)
{
    kcFontList fonts(nullptr, -1, 0, 1);
    ASSERT_GT(fonts.GetCount(), 0);
    std::wstring installed = fonts.GetName(0);
    char utf8[256];
    WideCharToMultiByte(CP_UTF8, 0, installed.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
    std::string f = utf8;
    const std::wstring msGothic = L"ＭＳ ゴシック";
    struct {
        std::string face;
        std::wstring expected;
    } cases[] = {
        {"<f00>NoFontA</f00><f01>" + f + "</f01>", installed},
        {"<f00>NoFontA</f00><f01>NoFontB</f01>", L"NoFontA"},
        {"<f01>NoFontB</f01>", msGothic}, // f00 absent: the default stays
        {"<f03>" + f + "</f03>", installed},
    };
    for (const auto& fc : cases) {
        ConfigFolder folder;
        folder.Write(L"config\\startup.xml", XmlDoc("<FONT><face>" + fc.face + "</face></FONT>"));
        kcCreateConfig(nullptr, nullptr, 0);
        EXPECT_EQ(std::wstring(kcConfigCurrentBlock->fontFace), fc.expected) << fc.face;
        // Absent ruby candidates read as the face just chosen; with none installed the ruby stays empty.
        std::wstring ruby = fonts.Find(fc.expected.c_str()) >= 0 ? fc.expected : L"";
        EXPECT_EQ(std::wstring(kcConfigCurrentBlock->fontFaceRuby), ruby) << fc.face;
    }
}

TEST(GameDefinition, OrderedListsStopAtTheFirstGap)
{
    ConfigFolder folder;
    folder.Write(L"config\\startup.xml",
                 XmlDoc("<SCRIPT><replace><r00><find>x</find><rep>1</rep></r00><r02><find>y</find><rep>2</rep></r02></replace></SCRIPT>"
                        "<language><L00><code>7</code><prefix>a</prefix></L00><L01><code>8</code><prefix>b</prefix></L01>"
                        "<L02><code>0</code></L02><L03><code>9</code><prefix>d</prefix></L03></language>"));
    kcCreateConfig(nullptr, nullptr, 0);
    char out[16];
    kcConfig::Instance()->ApplyScriptReplacements(out, sizeof out, "xy");
    EXPECT_STREQ(out, "1y");
    EXPECT_EQ(kcConfig::Instance()->GetLanguageCount(), 2);
}

} // namespace
