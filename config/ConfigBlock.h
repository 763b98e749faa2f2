#pragma once
// The settings record. It crosses process and module boundaries as raw bytes (the plug-in's
// working copy, the DDE item "kcConfig_CONFIG"), so its layout is a wire format: 32-bit
// little-endian, every field at a fixed offset, reserved bytes carried unchanged.
// Narrow texts hold the bytes of the XML text (UTF-8); wide texts are UTF-16.
#include <cstddef>
#include <cstdint>

class kcScriptReplaceMap;
class kcLanguageTable;

// On the i686 target (the shipped binaries) the layout below is checked field by field. A 64-bit
// build, which exists only to run the tests on hosts without 32-bit code, widens the two heap
// addresses and so the record; its offsets are not a wire format.
#if defined(__i386__)
static_assert(sizeof(void*) == 4, "the settings record carries 32-bit heap addresses");
#endif

struct kcIntRow {           // INT/int%02d: one archive of the game
    char file[32];          // int
    char ext[8];            // ext
    char dir[260];          // dir
    char name[32];          // name: the group that FindArchiveIndex looks for
};
static_assert(sizeof(kcIntRow) == 332, "INT row");
static_assert(offsetof(kcIntRow, ext) == 32 && offsetof(kcIntRow, dir) == 40 && offsetof(kcIntRow, name) == 300,
              "INT row");

struct kcSoundGroupRow {    // SOUNDGROUP/group%02d
    int32_t used;           // 1 when id is not -1
    char type[16];          // "bgm", "se", "voice" or "sysvoice"
    int32_t id;
    int32_t min;
    int32_t max;
};
static_assert(sizeof(kcSoundGroupRow) == 32, "SOUNDGROUP row");
static_assert(offsetof(kcSoundGroupRow, type) == 4 && offsetof(kcSoundGroupRow, id) == 20 &&
                  offsetof(kcSoundGroupRow, min) == 24 && offsetof(kcSoundGroupRow, max) == 28,
              "SOUNDGROUP row");

struct kcKeyRow {           // KEYCUSTOMIZE/key%02d; four slots per device
    int32_t named;          // 1 when the key's name is non-empty
    uint8_t keyboard[4];
    uint8_t mouse[4];
    uint8_t joypad[4];
    uint8_t touch[4];
    uint8_t repKeyboard[4];
    uint8_t repMouse[4];
    uint8_t repJoypad[4];
    uint8_t repTouch[4];
    int32_t hide;
};
static_assert(sizeof(kcKeyRow) == 40, "key row");
static_assert(offsetof(kcKeyRow, keyboard) == 4 && offsetof(kcKeyRow, mouse) == 8 &&
                  offsetof(kcKeyRow, joypad) == 12 && offsetof(kcKeyRow, touch) == 16 &&
                  offsetof(kcKeyRow, repKeyboard) == 20 && offsetof(kcKeyRow, repMouse) == 24 &&
                  offsetof(kcKeyRow, repJoypad) == 28 && offsetof(kcKeyRow, repTouch) == 32 &&
                  offsetof(kcKeyRow, hide) == 36,
              "key row");

struct kcVoiceRow {         // VOICE/v%02d
    int32_t play;           // VOICE/play%02d
    char voice[32];         // character name
    int32_t masterVol;
    char head[40];          // file-name prefix, matched against lower-cased names
    int32_t group;          // sound-group id
    char archive[32];       // int: archive or folder of the voice files, lower-cased
};
static_assert(sizeof(kcVoiceRow) == 116, "voice row");
static_assert(offsetof(kcVoiceRow, voice) == 4 && offsetof(kcVoiceRow, masterVol) == 36 &&
                  offsetof(kcVoiceRow, head) == 40 && offsetof(kcVoiceRow, group) == 80 &&
                  offsetof(kcVoiceRow, archive) == 84,
              "voice row");

struct kcSizePair { int32_t w, h; };
struct kcTextureArea { int32_t sx, sy, dx, dy; };
struct kcAutoPreset { int32_t base, chr; };
struct kcFlagRange { int32_t start, count; };
static_assert(sizeof(kcSizePair) == 8 && sizeof(kcTextureArea) == 16 && sizeof(kcAutoPreset) == 8 &&
                  sizeof(kcFlagRange) == 8,
              "small rows");

enum { KC_CONFIG_BLOCK_SIZE = 82320, KC_CONFIG_USER_PART = 62792 };

struct ConfigBlock {
    // ---- game definition ("config\startup.xml") ----
    uint16_t versionIni;            // VERSION/ini
    char vCode[520];                // APP/v_code
    uint16_t virtualWidth;          // SCREEN/v_width
    uint16_t virtualHeight;         // SCREEN/v_height
    uint8_t reserved526[2];
    kcSizePair windowSizes[5];      // SCREEN/list/type%d/w, h
    wchar_t brand[260];             // APP/brand
    wchar_t title[260];             // APP/title
    char mutex[260];                // APP/mutex
    char mutexConfig[260];          // APP/mutex_cfg
    uint16_t versionMajor;          // VERSION/major
    uint16_t versionMinor;          // VERSION/minor
    char webUrl[256];               // WEB/url
    int32_t heap;                   // ETC/heap
    int32_t cursorType;             // CURSOR/type
    int32_t cursorChange;           // CURSOR/change
    wchar_t cursorDefault[260];     // CURSOR/default
    int32_t cursorHotX;             // CURSOR/hx
    int32_t cursorHotY;             // CURSOR/hy
    wchar_t saveFolder[260];        // FOLDER/save
    wchar_t imageLibFolder[260];    // FOLDER/imglib
    kcIntRow intRows[128];          // INT/int%02d
    int32_t intNeed[64];            // INT/need%02d
    wchar_t defaultFolder[260];     // FOLDER/default
    int32_t textureSizeX;           // TEXTURE/size/x
    int32_t textureSizeY;           // TEXTURE/size/y
    int32_t textureVtX;             // TEXTURE/vt/x
    int32_t textureVtY;             // TEXTURE/vt/y
    kcTextureArea textureAreas[8];  // TEXTURE/area%02d
    int32_t bpp32y;                 // TEXTURE/bpp32y
    int32_t bpp16y;                 // TEXTURE/bpp16y
    int32_t vertexShaderMajor;      // SHADER/VERTEX_MA
    int32_t vertexShaderMinor;      // SHADER/VERTEX_MI
    int32_t pixelShaderMajor;       // SHADER/PIXEL_MA
    int32_t pixelShaderMinor;       // SHADER/PIXEL_MA again
    wchar_t manualPath[260];        // MANUAL/path
    int32_t manualExists;           // 1 when MANUAL/path names an existing file
    wchar_t reserved47932[260];
    uint8_t reserved48452[128];
    int32_t noSkip;                 // SCREEN/no_skip
    wchar_t icon[260];              // APP/icon
    int32_t iconNumber;             // APP/iconno
    wchar_t banner[260];            // APP/banner
    int32_t configButtons[8];       // CONFIG_B/mode, key, snd, eff, wnd, mes, font, sysv
    int32_t sysConfig;              // CONFIG_B/sysconfig
    int32_t configAutoSelect;       // CONFIG_B/autoselect
    int32_t smpWndAlpha;            // CONFIG_B/smp_wndalpha
    int32_t wndAlphaPercent;        // CONFIG_B/wnd_alpha
    int32_t view3d;                 // CONFIG_B/view3d
    int32_t dispFrame;              // GAME/disp_frame
    int32_t reserved49684[2];
    char startScript[64];           // SCRIPT/start
    int32_t reserved49756;
    kcSoundGroupRow soundGroups[8]; // SOUNDGROUP/group%02d
    int32_t clearedOnUserRead[2];   // set to 0 when "setup.xml" is read
    uint16_t currentWidth;          // current screen size
    uint16_t currentHeight;
    int32_t reserved50028;
    int32_t maxBackBuffers;
    int32_t gameEnableDrag;         // GAME/enabledrag (game definition)
    int32_t enableFullSkip;         // GAME/enablefullskip
    int32_t strFrameCount;          // GAME/strframe_count
    int32_t strFrameFrame;          // GAME/strframe_frame
    int32_t autoFrameCount;         // GAME/autoframe_count
    kcAutoPreset autoPresets[32];   // GAME/autopriset/p%02d/base, char
    uint8_t reserved50312[8];
    char sceneCurrent[260];         // SCENELIST/convert/current
    char sceneCommand[260];         // SCENELIST/convert/command
    char sceneParam[260];           // SCENELIST/convert/param
    int32_t logType;                // GAME/log/type
    int32_t logCol;                 // GAME/log/col
    int32_t logProf;                // GAME/log/prof
    int32_t logNameLine;            // GAME/log/nameline
    char logNameFirst[32];          // GAME/log/nameformat/first
    char logNameLast[32];           // GAME/log/nameformat/last
    int32_t logIndent;              // GAME/log/indent
    int32_t logNameIndent;          // GAME/log/nameindent
    int32_t logDispMes;             // GAME/log/disp/mes
    int32_t logDispName;            // GAME/log/disp/name
    int32_t logSpace;               // GAME/log/space
    int32_t logEscape;              // GAME/log/escape
    int32_t logStatic;              // GAME/log/static
    int32_t logCrNext;              // GAME/log/cr_next
    uint8_t reserved51212[520];
    int32_t wndMenu;                // APP/wndmenu
    wchar_t frameImage[260];        // SCREEN/frameimg
    int32_t direct;                 // APP/direct
    int32_t flagMax;                // GAME/flag/max
    kcFlagRange flagLocal[8];       // GAME/flag/local%d
    kcFlagRange flagGlobal[8];      // GAME/flag/global%d
    wchar_t infoFile[260];          // INFO/file
    wchar_t infoComment[2048];      // INFO/comment
    int32_t usePs;                  // APP/use_ps
    int32_t touch;                  // APP/touch
    wchar_t reserved57016[260];
    int32_t renderAlways;           // APP/render_always
    kcScriptReplaceMap* scriptReplace; // SCRIPT/replace, owned by the current record
    int32_t tweet;                  // APP/tweet
    int32_t languageDefault;        // language/default
    kcLanguageTable* languages;     // language/L%02d, owned by the current record
    int32_t enableSub;              // language/enable_sub
    wchar_t optTable[2080];         // language/OPTTABLE
    uint8_t reserved61720[4];
    int32_t cgRegMode;              // GAME/cgregmode
    int32_t utfMode;                // APP/utfmode
    uint8_t reserved61732[4];
    wchar_t ttsTable[260];          // APP/ttstable
    wchar_t ttsDictionary[260];     // "dic" of the voice dictionary
    double ttsVolume;               // "volume" of the voice dictionary
    int32_t forceWindow;            // SCREEN/forcewindow
    int32_t dontSave;               // APP/dontsave

    // ---- user part ("setup.xml") ----
    int32_t setMode;                // WINDOW/setmode
    uint16_t width;                 // SCREEN/width | WINDOW/width
    uint16_t height;                // SCREEN/height | WINDOW/height
    uint16_t fullWidth;             // SCREEN/full_width | WINDOW/full_width
    uint16_t fullHeight;            // SCREEN/full_height | WINDOW/full_height
    uint16_t useWidth;              // the screen size in use
    uint16_t useHeight;
    int32_t fullWide;               // WINDOW/full_wide (written only)
    int32_t limit;                  // SCREEN/limit | WINDOW/limit
    int32_t fps;                    // SCREEN/fps | WINDOW/fps
    int32_t cursorMode;             // CURSOR/mode | WINDOW/cursor_mode
    int32_t textureBpp;             // TEXTURE/bpp
    int32_t filterMin;              // TEXTURE/filter_min | TEXTURE/min
    int32_t filterMag;              // TEXTURE/filter_mag | TEXTURE/mag
    int32_t dither;                 // TEXTURE/dither
    int32_t sound3d;                // SOUND/use3d | SOUND/ds3d
    int32_t sticky;                 // SOUND/sticky
    int32_t stereo;                 // SOUND/stereo
    int32_t imageCache;             // APP/imgcache | ETC/imgcache
    int32_t screenSaver;            // GENERAL/screensaver | WINDOW/screensaver
    int32_t camouflage;             // GENERAL/camouflage | WINDOW/camouflage
    int32_t gdiCap;                 // DEPEND/gdi_cap
    int32_t z32;                    // DEPEND/z32 (written only)
    int32_t useZ;                   // DEPEND/use_z (written only)
    int32_t outInfo;                // WINDOW/out_info
    int32_t fileCache;              // ETC/cache
    wchar_t pictureFolder[260];     // ETC/picture
    wchar_t exportFolder[260];      // ETC/export
    wchar_t imageImportFolder[260]; // ETC/imgimport
    int32_t windowMode;             // WINDOW/mode
    int32_t fullScreen;             // WINDOW/fullscreen
    int32_t windowBpp;              // WINDOW/bpp
    int32_t hardTnL;                // D3D/hardTnL
    int32_t backBuffer;             // D3D/backbuffer
    int32_t light;                  // D3D/light
    int32_t vsync;                  // D3D/vsync
    int32_t antialias;              // D3D/antialias
    int32_t fogType;                // D3D/fogtype
    int32_t texSize;                // D3D/tex_size
    int32_t texComp;                // D3D/tex_comp
    int32_t maxBackBufferSize;
    int32_t dualCore;               // APP/dualcore | ETC/dualcore
    int32_t disableMovie;           // ETC/disablemovie
    int32_t disablePixelShader;     // ETC/disablepixelshader
    int32_t fullSize;               // SCREEN/full_size | FULL_SCREEN/full_size
    int32_t fullPos;                // SCREEN/full_pos | FULL_SCREEN/full_pos
    int32_t mwPos;                  // SCREEN/mw_pos | FULL_SCREEN/mw_pos
    int32_t wall;                   // SCREEN/wall | FULL_SCREEN/wall
    int32_t waitD3dCommand;         // ETC/waitd3dcommand
    int32_t noFullRes;              // SCREEN/no_full_res | FULL_SCREEN/no_full_res
    int32_t reserved64528[2];
    int32_t languageUI;             // language/id/UI
    int32_t languageMain;           // language/id/main
    int32_t languageSub;            // language/id/sub
    wchar_t ttsId[64];              // TTS/id
    float ttsSpeed;                 // TTS/speed
    float ttsTone;                  // TTS/tone
    int32_t configType;             // CONFIG/type
    int32_t dragWindow;             // ETC/dragwnd (game definition only)
    wchar_t fontFace[64];           // FONT/face
    wchar_t fontFaceRuby[64];       // FONT/faceruby
    int32_t shadowAround;           // FONT/shadow/around
    int32_t shadowRightDown;        // FONT/shadow/rightdown
    int32_t fontBold;               // FONT/bold
    int32_t fontProportional;       // FONT/proportional
    int32_t fontFixed;              // FONT/fixed
    int32_t enableJoypad;           // KEY/enable_joypad
    wchar_t keyNames[80][32];       // KEYCUSTOMIZE/key%02d/name
    kcKeyRow keys[80];              // KEYCUSTOMIZE/key%02d/... | KEY/...
    int32_t effectiveVolumes[4];    // bgm, se, voice, play
    int32_t contVoice;              // VOICE/cont_voice
    kcVoiceRow voices[48];          // VOICE/v%02d
    int32_t volMaster;              // VOICE/vol/master | VOICE/vol_master
    int32_t volBgm;                 // VOICE/vol/bgm | VOICE/vol_bgm
    int32_t volSe;                  // VOICE/vol/se | VOICE/vol_se
    int32_t volVoice;               // VOICE/vol/voice | VOICE/vol_voice
    int32_t volPlay;                // VOICE/vol/play | VOICE/vol_play
    int32_t muteMaster;             // VOICE/mute_master
    int32_t muteBgm;                // VOICE/mute_bgm
    int32_t muteSe;                 // VOICE/mute_se
    int32_t muteVoice;              // VOICE/mute_voice
    int32_t mutePlay;               // VOICE/mute_play
    int32_t messageSpeed;           // MESSAGE/speed
    int32_t autoPreset;             // MESSAGE/auto_p
    int32_t messageInd;             // MESSAGE/ind
    int32_t messageBase;            // MESSAGE/base
    int32_t messageChar;            // MESSAGE/CHAR
    int32_t messageStill;           // MESSAGE/still
    int32_t messageCont;            // MESSAGE/cont
    int32_t waitPcm;                // MESSAGE/waitpcm
    int32_t skipFull;               // MESSAGE/skip_full
    int32_t logLimit;               // GAME/log/limit | MESSAGE/log_limit
    int32_t enableRead;             // GAME/read/enable | MESSAGE/enable_read
    int32_t readColor;              // GAME/read/color | MESSAGE/read_color
    int32_t skipSpeed;              // GAME/skipspeed | MESSAGE/skipspeed
    int32_t contSkip;               // MESSAGE/contskip
    int32_t wipe;                   // GAME/string/wipe | MESSAGE/wipe
    int32_t ctrlMode;               // GAME/ctrlmode | MESSAGE/ctrlmode
    int32_t autoLeft;               // GAME/autoleft | MESSAGE/autoleft
    int32_t enableReadSel;          // GAME/readsel/enable | MESSAGE/enable_read_sel
    int32_t effectSpeed;            // EFFECT/speed
    int32_t skipDraw;               // EFFECT/skipdraw
    int32_t effectHelp;             // EFFECT/help
    int32_t autoC;                  // EFFECT/auto_c
    int32_t autoCd;                 // EFFECT/auto_cd
    int32_t autoCds;                // EFFECT/auto_cds
    int32_t dramatic;               // EFFECT/dramatic
    int32_t skipMot;                // EFFECT/skipmot
    uint32_t wndColor;              // GAME/wndcolor: alpha 24-31, red 16-23, green 8-15, blue 0-7
    int32_t enableDrag;             // GAME/enabledrag (setup.xml)
    int32_t drawWindow;             // GAME/drawwnd
    char systemVoiceNames[48][32];  // SYSTEMVOICE/ch%02d/name
    int32_t systemVoicePlay[48];    // SYSTEMVOICE/ch%02d/play | SYSTEMVOICE/play%02d
    char systemVoiceArchives[48][32]; // SYSTEMVOICE/ch%02d/int
    int32_t autoSelect;             // GAME/autoselect
    int32_t alwaysActive;           // GAME/always_active
    int32_t enableSceneAnm;         // GAME/enable_scene_anm
    int32_t useSceneSkip;           // GAME/use_scene_skip
    int32_t useJtalk;               // GAME/use_jtalk
};

#if defined(__i386__)
#define KC_AT(field, off) static_assert(offsetof(ConfigBlock, field) == off, "ConfigBlock::" #field)
static_assert(sizeof(ConfigBlock) == KC_CONFIG_BLOCK_SIZE, "ConfigBlock size");
static_assert(offsetof(ConfigBlock, setMode) == KC_CONFIG_USER_PART, "start of the user part");
KC_AT(versionIni, 0); KC_AT(vCode, 2); KC_AT(virtualWidth, 522); KC_AT(virtualHeight, 524);
KC_AT(reserved526, 526); KC_AT(windowSizes, 528); KC_AT(brand, 568); KC_AT(title, 1088);
KC_AT(mutex, 1608); KC_AT(mutexConfig, 1868); KC_AT(versionMajor, 2128); KC_AT(versionMinor, 2130);
KC_AT(webUrl, 2132); KC_AT(heap, 2388); KC_AT(cursorType, 2392); KC_AT(cursorChange, 2396);
KC_AT(cursorDefault, 2400); KC_AT(cursorHotX, 2920); KC_AT(cursorHotY, 2924); KC_AT(saveFolder, 2928);
KC_AT(imageLibFolder, 3448); KC_AT(intRows, 3968); KC_AT(intNeed, 46464); KC_AT(defaultFolder, 46720);
KC_AT(textureSizeX, 47240); KC_AT(textureSizeY, 47244); KC_AT(textureVtX, 47248); KC_AT(textureVtY, 47252);
KC_AT(textureAreas, 47256); KC_AT(bpp32y, 47384); KC_AT(bpp16y, 47388); KC_AT(vertexShaderMajor, 47392);
KC_AT(vertexShaderMinor, 47396); KC_AT(pixelShaderMajor, 47400); KC_AT(pixelShaderMinor, 47404);
KC_AT(manualPath, 47408); KC_AT(manualExists, 47928); KC_AT(reserved47932, 47932);
KC_AT(reserved48452, 48452); KC_AT(noSkip, 48580); KC_AT(icon, 48584); KC_AT(iconNumber, 49104);
KC_AT(banner, 49108); KC_AT(configButtons, 49628); KC_AT(sysConfig, 49660); KC_AT(configAutoSelect, 49664);
KC_AT(smpWndAlpha, 49668); KC_AT(wndAlphaPercent, 49672); KC_AT(view3d, 49676); KC_AT(dispFrame, 49680);
KC_AT(reserved49684, 49684); KC_AT(startScript, 49692); KC_AT(reserved49756, 49756);
KC_AT(soundGroups, 49760); KC_AT(clearedOnUserRead, 50016); KC_AT(currentWidth, 50024);
KC_AT(currentHeight, 50026); KC_AT(reserved50028, 50028); KC_AT(maxBackBuffers, 50032);
KC_AT(gameEnableDrag, 50036); KC_AT(enableFullSkip, 50040); KC_AT(strFrameCount, 50044);
KC_AT(strFrameFrame, 50048); KC_AT(autoFrameCount, 50052); KC_AT(autoPresets, 50056);
KC_AT(reserved50312, 50312); KC_AT(sceneCurrent, 50320); KC_AT(sceneCommand, 50580); KC_AT(sceneParam, 50840);
KC_AT(logType, 51100); KC_AT(logCol, 51104); KC_AT(logProf, 51108); KC_AT(logNameLine, 51112);
KC_AT(logNameFirst, 51116); KC_AT(logNameLast, 51148); KC_AT(logIndent, 51180); KC_AT(logNameIndent, 51184);
KC_AT(logDispMes, 51188); KC_AT(logDispName, 51192); KC_AT(logSpace, 51196); KC_AT(logEscape, 51200);
KC_AT(logStatic, 51204); KC_AT(logCrNext, 51208); KC_AT(reserved51212, 51212); KC_AT(wndMenu, 51732);
KC_AT(frameImage, 51736); KC_AT(direct, 52256); KC_AT(flagMax, 52260); KC_AT(flagLocal, 52264);
KC_AT(flagGlobal, 52328); KC_AT(infoFile, 52392); KC_AT(infoComment, 52912); KC_AT(usePs, 57008);
KC_AT(touch, 57012); KC_AT(reserved57016, 57016); KC_AT(renderAlways, 57536); KC_AT(scriptReplace, 57540);
KC_AT(tweet, 57544); KC_AT(languageDefault, 57548); KC_AT(languages, 57552); KC_AT(enableSub, 57556);
KC_AT(optTable, 57560); KC_AT(reserved61720, 61720); KC_AT(cgRegMode, 61724); KC_AT(utfMode, 61728);
KC_AT(reserved61732, 61732); KC_AT(ttsTable, 61736); KC_AT(ttsDictionary, 62256); KC_AT(ttsVolume, 62776);
KC_AT(forceWindow, 62784); KC_AT(dontSave, 62788);
KC_AT(setMode, 62792); KC_AT(width, 62796); KC_AT(height, 62798); KC_AT(fullWidth, 62800);
KC_AT(fullHeight, 62802); KC_AT(useWidth, 62804); KC_AT(useHeight, 62806); KC_AT(fullWide, 62808);
KC_AT(limit, 62812); KC_AT(fps, 62816); KC_AT(cursorMode, 62820); KC_AT(textureBpp, 62824);
KC_AT(filterMin, 62828); KC_AT(filterMag, 62832); KC_AT(dither, 62836); KC_AT(sound3d, 62840);
KC_AT(sticky, 62844); KC_AT(stereo, 62848); KC_AT(imageCache, 62852); KC_AT(screenSaver, 62856);
KC_AT(camouflage, 62860); KC_AT(gdiCap, 62864); KC_AT(z32, 62868); KC_AT(useZ, 62872); KC_AT(outInfo, 62876);
KC_AT(fileCache, 62880); KC_AT(pictureFolder, 62884); KC_AT(exportFolder, 63404);
KC_AT(imageImportFolder, 63924); KC_AT(windowMode, 64444); KC_AT(fullScreen, 64448); KC_AT(windowBpp, 64452);
KC_AT(hardTnL, 64456); KC_AT(backBuffer, 64460); KC_AT(light, 64464); KC_AT(vsync, 64468);
KC_AT(antialias, 64472); KC_AT(fogType, 64476); KC_AT(texSize, 64480); KC_AT(texComp, 64484);
KC_AT(maxBackBufferSize, 64488); KC_AT(dualCore, 64492); KC_AT(disableMovie, 64496);
KC_AT(disablePixelShader, 64500); KC_AT(fullSize, 64504); KC_AT(fullPos, 64508); KC_AT(mwPos, 64512);
KC_AT(wall, 64516); KC_AT(waitD3dCommand, 64520); KC_AT(noFullRes, 64524); KC_AT(reserved64528, 64528);
KC_AT(languageUI, 64536); KC_AT(languageMain, 64540); KC_AT(languageSub, 64544); KC_AT(ttsId, 64548);
KC_AT(ttsSpeed, 64676); KC_AT(ttsTone, 64680); KC_AT(configType, 64684); KC_AT(dragWindow, 64688);
KC_AT(fontFace, 64692); KC_AT(fontFaceRuby, 64820); KC_AT(shadowAround, 64948); KC_AT(shadowRightDown, 64952);
KC_AT(fontBold, 64956); KC_AT(fontProportional, 64960); KC_AT(fontFixed, 64964); KC_AT(enableJoypad, 64968);
KC_AT(keyNames, 64972); KC_AT(keys, 70092); KC_AT(effectiveVolumes, 73292); KC_AT(contVoice, 73308);
KC_AT(voices, 73312); KC_AT(volMaster, 78880); KC_AT(volBgm, 78884); KC_AT(volSe, 78888);
KC_AT(volVoice, 78892); KC_AT(volPlay, 78896); KC_AT(muteMaster, 78900); KC_AT(muteBgm, 78904);
KC_AT(muteSe, 78908); KC_AT(muteVoice, 78912); KC_AT(mutePlay, 78916); KC_AT(messageSpeed, 78920);
KC_AT(autoPreset, 78924); KC_AT(messageInd, 78928); KC_AT(messageBase, 78932); KC_AT(messageChar, 78936);
KC_AT(messageStill, 78940); KC_AT(messageCont, 78944); KC_AT(waitPcm, 78948); KC_AT(skipFull, 78952);
KC_AT(logLimit, 78956); KC_AT(enableRead, 78960); KC_AT(readColor, 78964); KC_AT(skipSpeed, 78968);
KC_AT(contSkip, 78972); KC_AT(wipe, 78976); KC_AT(ctrlMode, 78980); KC_AT(autoLeft, 78984);
KC_AT(enableReadSel, 78988); KC_AT(effectSpeed, 78992); KC_AT(skipDraw, 78996); KC_AT(effectHelp, 79000);
KC_AT(autoC, 79004); KC_AT(autoCd, 79008); KC_AT(autoCds, 79012); KC_AT(dramatic, 79016);
KC_AT(skipMot, 79020); KC_AT(wndColor, 79024); KC_AT(enableDrag, 79028); KC_AT(drawWindow, 79032);
KC_AT(systemVoiceNames, 79036); KC_AT(systemVoicePlay, 80572); KC_AT(systemVoiceArchives, 80764);
KC_AT(autoSelect, 82300); KC_AT(alwaysActive, 82304); KC_AT(enableSceneAnm, 82308);
KC_AT(useSceneSkip, 82312); KC_AT(useJtalk, 82316);
#endif
#undef KC_AT
