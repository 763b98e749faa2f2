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

    EXPECT_EQ(b.versionIni, 3);
    EXPECT_EQ(b.versionMajor, 2);
    EXPECT_EQ(b.versionMinor, 7);
    EXPECT_STREQ(b.brand, L"KcBrand");
    EXPECT_STREQ(b.title, L"テスト");
    EXPECT_STREQ(b.mutex, "gx7_mutex");
    EXPECT_STREQ(b.mutexConfig, "gx7_cfg");
    EXPECT_STREQ(b.vCode, "ABCDEFGH");
    EXPECT_STREQ(b.icon, L"icon.ico");
    EXPECT_EQ(b.iconNumber, 2);
    EXPECT_STREQ(b.banner, L"banner.bmp");
    EXPECT_EQ(b.usePs + b.touch + b.renderAlways + b.tweet + b.utfMode + b.direct, 6);
    EXPECT_STREQ(b.ttsTable, L"none.xml");
    EXPECT_EQ(b.dontSave, 1);
    EXPECT_EQ(b.wndMenu, 0);
    EXPECT_EQ(b.imageCache, 64);
    EXPECT_EQ(b.dualCore, 0);
    EXPECT_EQ(b.virtualWidth, 1024);
    EXPECT_EQ(b.virtualHeight, 768);
    EXPECT_EQ(b.windowSizes[0].w, 640);
    EXPECT_EQ(b.windowSizes[0].h, 480);
    EXPECT_EQ(b.windowSizes[1].w, 0);
    EXPECT_EQ(b.windowSizes[4].w, 1920);
    EXPECT_EQ(b.windowSizes[4].h, 1080);
    EXPECT_EQ(b.noSkip, 1);
    EXPECT_STREQ(b.frameImage, L"frame.png");
    EXPECT_EQ(b.forceWindow, 1);
    EXPECT_EQ(b.width, 1280);
    EXPECT_EQ(b.height, 720);
    EXPECT_EQ(b.fullWidth, 1600); // no display-mode list: kept as read
    EXPECT_EQ(b.fullHeight, 900);
    EXPECT_EQ(b.useWidth, 1280);
    EXPECT_EQ(b.useHeight, 720);
    EXPECT_EQ(b.currentWidth, 1024); // the virtual size
    EXPECT_EQ(b.currentHeight, 768);
    EXPECT_EQ(b.limit, 0);
    EXPECT_EQ(b.fps, 30);
    EXPECT_EQ(b.fullSize, 1);
    EXPECT_EQ(b.fullPos, 2);
    EXPECT_EQ(b.mwPos, 3);
    EXPECT_EQ(b.wall, 0);
    EXPECT_EQ(b.noFullRes, 1);
    EXPECT_STREQ(b.webUrl, "http://example.invalid/");
    EXPECT_EQ(b.heap, 524288);
    EXPECT_EQ(b.fileCache, 0);
    EXPECT_EQ(b.dragWindow, 0);
    EXPECT_EQ(b.cursorType, 2);
    EXPECT_EQ(b.cursorChange, 0);
    EXPECT_STREQ(b.cursorDefault, L"cur.ani");
    EXPECT_EQ(b.cursorHotX, 3);
    EXPECT_EQ(b.cursorHotY, 4);
    EXPECT_EQ(b.cursorMode, 0);
    EXPECT_STREQ(b.saveFolder, L"KcBrand\\save");
    EXPECT_STREQ(b.imageLibFolder, L"KcBrand\\save\\img"); // "%save%" is the folder just read
    EXPECT_STREQ(b.defaultFolder, L"data");
    EXPECT_STREQ(b.infoFile, L"sysinfo.txt");
    EXPECT_STREQ(b.infoComment, L"Hello");
    EXPECT_EQ(b.textureSizeX, 512);
    EXPECT_EQ(b.textureSizeY, 1024);
    EXPECT_EQ(b.textureVtX, 8);
    EXPECT_EQ(b.textureVtY, 9);
    EXPECT_EQ(b.textureAreas[3].sx, 1);
    EXPECT_EQ(b.textureAreas[3].dy, 4);
    EXPECT_EQ(b.textureAreas[2].sx, -1);
    EXPECT_EQ(b.bpp32y, 1);
    EXPECT_EQ(b.bpp16y, 2);
    EXPECT_EQ(b.textureBpp, 16);
    EXPECT_EQ(b.filterMin, 2);
    EXPECT_EQ(b.filterMag, 3);
    EXPECT_EQ(b.dither, 0);
    EXPECT_EQ(b.vertexShaderMajor, 2);
    EXPECT_EQ(b.vertexShaderMinor, 1);
    EXPECT_EQ(b.pixelShaderMajor, 3);
    EXPECT_EQ(b.pixelShaderMinor, 3); // the same key read twice
    EXPECT_EQ(b.intNeed[5], 7);
    EXPECT_EQ(b.intNeed[4], -1);
    EXPECT_STREQ(b.intRows[7].file, "data.int");
    EXPECT_STREQ(b.intRows[7].ext, "hg3");
    EXPECT_STREQ(b.intRows[7].dir, "image");
    EXPECT_STREQ(b.intRows[7].name, "IMAGE");
    EXPECT_STREQ(b.intRows[100].name, "VOICE");
    EXPECT_STREQ(b.manualPath, L"manual.html");
    EXPECT_EQ(b.manualExists, 1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(b.configButtons[i], 0) << i;
    EXPECT_EQ(b.sysConfig, 1);
    EXPECT_EQ(b.configAutoSelect, 1);
    EXPECT_EQ(b.smpWndAlpha, 1);
    EXPECT_EQ(b.wndAlphaPercent, 0);
    EXPECT_EQ(b.view3d, 2);
    EXPECT_EQ(b.gameEnableDrag, 0);
    EXPECT_EQ(b.enableDrag, 1); // the user's field is another one
    EXPECT_EQ(b.strFrameCount, 3);
    EXPECT_EQ(b.strFrameFrame, 2);
    EXPECT_EQ(b.autoFrameCount, 7);
    EXPECT_EQ(b.dispFrame, 1);
    EXPECT_EQ(b.enableFullSkip, 1);
    EXPECT_EQ(b.autoPresets[2].base, 40);
    EXPECT_EQ(b.autoPresets[2].chr, 41);
    EXPECT_EQ(b.autoPresets[3].base, 12); // default kept
    EXPECT_EQ(b.messageBase, 50);         // preset 4, MESSAGE/auto_p's default
    EXPECT_EQ(b.messageChar, 51);
    EXPECT_EQ(b.logType, 2);
    EXPECT_EQ(b.logCol, 50);
    EXPECT_EQ(b.logProf, 5);
    EXPECT_EQ(b.logNameLine, 0);
    EXPECT_STREQ(b.logNameFirst, u8"「");
    EXPECT_STREQ(b.logNameLast, u8"」");
    EXPECT_EQ(b.logIndent, 0);
    EXPECT_EQ(b.logNameIndent, 2);
    EXPECT_EQ(b.logDispMes + b.logDispName + b.logEscape, 0);
    EXPECT_EQ(b.logSpace + b.logStatic + b.logCrNext, 3);
    EXPECT_EQ(b.logLimit, 300);
    EXPECT_EQ(b.flagMax, 2048);
    EXPECT_EQ(b.flagLocal[1].start, 10);
    EXPECT_EQ(b.flagLocal[1].count, 20);
    EXPECT_EQ(b.flagLocal[0].count, 512);
    EXPECT_EQ(b.flagGlobal[0].start, 600);
    EXPECT_EQ(b.flagGlobal[0].count, 100);
    EXPECT_EQ(b.cgRegMode, 1);
    EXPECT_EQ(b.wndColor, 0x80102030u); // alpha as read: CONFIG_B/wnd_alpha 0
    EXPECT_EQ(b.readColor, 255);
    EXPECT_EQ(b.enableRead, 1);
    EXPECT_EQ(b.skipSpeed, 2);
    EXPECT_EQ(b.wipe, 1);
    EXPECT_EQ(b.ctrlMode, 1);
    EXPECT_EQ(b.autoLeft, 1);
    EXPECT_EQ(b.enableReadSel, 1);
    EXPECT_EQ(b.autoSelect, 1);
    EXPECT_STREQ(b.startScript, "first.kcs");
    char out[64];
    EXPECT_TRUE(c.ApplyScriptReplacements(out, sizeof out, "a foo"));
    EXPECT_STREQ(out, "b bar"); // "a" before "foo"
    EXPECT_EQ(b.soundGroups[0].used, 1);
    EXPECT_STREQ(b.soundGroups[0].type, "bgm");
    EXPECT_EQ(b.soundGroups[0].id, 3);
    EXPECT_EQ(b.soundGroups[0].min, 0);
    EXPECT_EQ(b.soundGroups[0].max, 100);
    EXPECT_EQ(b.soundGroups[1].used, 0); // no id
    EXPECT_EQ(b.soundGroups[1].id, -1);
    EXPECT_EQ(b.soundGroups[1].min, -1);
    EXPECT_STREQ(b.sceneCurrent, "sc");
    EXPECT_STREQ(b.sceneCommand, "cmd.exe");
    EXPECT_STREQ(b.sceneParam, "*.kcs");
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
    LANGID user = GetUserDefaultUILanguage();
    int expected = user == 1041 ? 0 : user == 1033 ? 1 : -1;
    EXPECT_EQ(b.languageDefault, expected < 0 ? 1 : expected);
    EXPECT_EQ(b.languageUI, expected < 0 ? 0 : expected);
    EXPECT_EQ(b.languageMain, expected < 0 ? 0 : expected);
    EXPECT_EQ(b.enableSub, 0);
    EXPECT_STREQ(b.optTable, L"opt");
    EXPECT_EQ(b.screenSaver, 1);
    EXPECT_EQ(b.camouflage, 1);
    EXPECT_EQ(b.sound3d, 1);
    EXPECT_EQ(b.sticky, 0);
    EXPECT_STREQ(b.fontFace, L"NoSuchFont");   // not installed: f00 is the fallback
    EXPECT_STREQ(b.fontFaceRuby, L"RubyFont");
    EXPECT_EQ(b.shadowAround, 0);
    EXPECT_EQ(b.shadowRightDown, 0);
    EXPECT_EQ(b.enableJoypad, 0);
    EXPECT_STREQ(b.keyNames[0], L"決定");
    EXPECT_EQ(b.keys[0].named, 1);
    EXPECT_EQ(b.keys[0].keyboard[0], 13);
    EXPECT_EQ(b.keys[0].mouse[1], 1);
    EXPECT_EQ(b.keys[0].joypad[2], 2);
    EXPECT_EQ(b.keys[0].touch[3], 5);
    EXPECT_EQ(b.keys[0].repKeyboard[0], 300 & 0xFF);
    EXPECT_EQ(b.keys[0].repMouse[0], 7);
    EXPECT_EQ(b.keys[0].repJoypad[0], 8);
    EXPECT_EQ(b.keys[0].repTouch[0], 9);
    EXPECT_EQ(b.keys[0].hide, 1);
    EXPECT_EQ(b.keys[5].named, 0);
    EXPECT_EQ(b.keys[5].keyboard[0], 65);
    EXPECT_EQ(c.GetSoundGroupName(), L"soundgroup.xml");
    EXPECT_STREQ(b.voices[0].voice, u8"主人公");
    EXPECT_EQ(b.voices[0].masterVol, 80);
    EXPECT_STREQ(b.voices[0].head, "kc_");
    EXPECT_EQ(b.voices[0].group, 3);
    EXPECT_STREQ(b.voices[0].archive, "voice01"); // lower-cased
    EXPECT_EQ(b.voices[0].play, 1);
    EXPECT_STREQ(b.voices[47].head, "zz_");
    EXPECT_EQ(b.voices[47].masterVol, 100);
    EXPECT_EQ(b.volBgm, 90);
    EXPECT_EQ(b.volPlay, 80);
    EXPECT_EQ(b.volSe, 70);
    EXPECT_EQ(b.volVoice, 60);
    EXPECT_EQ(b.volMaster, 50);
    EXPECT_STREQ(b.systemVoiceNames[0], "sys0");
    EXPECT_EQ(b.systemVoicePlay[0], 0);
    EXPECT_STREQ(b.systemVoiceArchives[0], "sysv");
    EXPECT_STREQ(b.systemVoiceNames[47], "z");
    EXPECT_EQ(b.systemVoicePlay[47], 1);
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
