#include "config/kcSettings.h"

#include <cstring>
#include <cwchar>

#include "foundation/kcFormat.h"
#include "foundation/kcString.h"

namespace {

#define SZ(f) sizeof(((ConfigBlock*)0)->f)
// One value.
#define V(g, u, f, t, fl, d) {g, u, (uint32_t)offsetof(ConfigBlock, f), t, fl, (uint16_t)SZ(f), 1, 0, 1, 0, d}
// A plain array, one row per element.
#define A(g, u, f, t, fl, d) \
    {g, u, (uint32_t)offsetof(ConfigBlock, f), t, fl, (uint16_t)SZ(f[0]), (uint16_t)(SZ(f) / SZ(f[0])), (uint16_t)SZ(f[0]), 1, 0, d}
// One member of an array of row structs.
#define R(g, u, arr, T, m, t, fl, d)                                                                          \
    {g, u, (uint32_t)(offsetof(ConfigBlock, arr) + offsetof(T, m)), t, fl, (uint16_t)sizeof(((T*)0)->m), \
     (uint16_t)(SZ(arr) / sizeof(T)), (uint16_t)sizeof(T), 1, 0, d}
// An int32 at a fixed index of an array (CONFIG_B buttons).
#define AT(g, f, i, d) {g, nullptr, (uint32_t)(offsetof(ConfigBlock, f) + 4 * (i)), KCSET_I32, KCSET_GAME_CONST, 4, 1, 0, 1, 0, d}
// The four slots of one key-row device: game-definition slot numbers after the row, setup.xml before.
#define KS(g, u, m) \
    {g, u, (uint32_t)(offsetof(ConfigBlock, keys) + offsetof(kcKeyRow, m)), KCSET_U8, KCSET_GAME_CONST | KCSET_USER_SLOT_FIRST, 1, 80, 40, 4, 1, 0}
// One byte of the message-window colour (game definition only).
#define WC(g, byteIndex) {g, nullptr, (uint32_t)(offsetof(ConfigBlock, wndColor) + (byteIndex)), KCSET_U8, 0, 1, 1, 0, 1, 0, 0}

const uint8_t GC = KCSET_GAME_CONST;
const kcSettingType U8 = KCSET_U8, U16 = KCSET_U16, I32 = KCSET_I32, F32 = KCSET_F32, STR = KCSET_STR,
                    WSTR = KCSET_WSTR;

const kcSetting kTable[] = {
    // ---- game definition ----
    V("VERSION/ini", nullptr, versionIni, U16, GC, 10),
    V("APP/v_code", nullptr, vCode, STR, 0, 0),
    V("SCREEN/v_width", nullptr, virtualWidth, U16, 0, 0),
    V("SCREEN/v_height", nullptr, virtualHeight, U16, 0, 0),
    R("SCREEN/list/type%d/w", nullptr, windowSizes, kcSizePair, w, I32, 0, 0),
    R("SCREEN/list/type%d/h", nullptr, windowSizes, kcSizePair, h, I32, 0, 0),
    V("APP/brand", nullptr, brand, WSTR, KCSET_PATH_PART, 0),
    V("APP/title", nullptr, title, WSTR, KCSET_PATH_PART, 0),
    V("APP/mutex", nullptr, mutex, STR, 0, 0),
    V("APP/mutex_cfg", nullptr, mutexConfig, STR, 0, 0),
    V("VERSION/major", nullptr, versionMajor, U16, 0, 0),
    V("VERSION/minor", nullptr, versionMinor, U16, 0, 0),
    V("WEB/url", nullptr, webUrl, STR, 0, 0),
    V("ETC/heap", nullptr, heap, I32, 0, 0),
    V("CURSOR/type", nullptr, cursorType, I32, 0, 0),
    V("CURSOR/change", nullptr, cursorChange, I32, 0, 0),
    V("CURSOR/default", nullptr, cursorDefault, WSTR, KCSET_PATH, 0),
    V("CURSOR/hx", nullptr, cursorHotX, I32, GC, 0),
    V("CURSOR/hy", nullptr, cursorHotY, I32, GC, 0),
    V("FOLDER/save", nullptr, saveFolder, WSTR, KCSET_PATH, 0),
    V("FOLDER/imglib", nullptr, imageLibFolder, WSTR, KCSET_PATH, 0),
    R("INT/int%02d/int", nullptr, intRows, kcIntRow, file, STR, KCSET_PATH, 0),
    R("INT/int%02d/ext", nullptr, intRows, kcIntRow, ext, STR, KCSET_PATH, 0),
    R("INT/int%02d/dir", nullptr, intRows, kcIntRow, dir, STR, KCSET_PATH, 0),
    R("INT/int%02d/name", nullptr, intRows, kcIntRow, name, STR, KCSET_PATH, 0),
    A("INT/need%02d", nullptr, intNeed, I32, 0, 0),
    V("FOLDER/default", nullptr, defaultFolder, WSTR, KCSET_PATH, 0),
    V("TEXTURE/size/x", nullptr, textureSizeX, I32, 0, 0),
    V("TEXTURE/size/y", nullptr, textureSizeY, I32, 0, 0),
    V("TEXTURE/vt/x", nullptr, textureVtX, I32, 0, 0),
    V("TEXTURE/vt/y", nullptr, textureVtY, I32, 0, 0),
    R("TEXTURE/area%02d/sx", nullptr, textureAreas, kcTextureArea, sx, I32, 0, 0),
    R("TEXTURE/area%02d/sy", nullptr, textureAreas, kcTextureArea, sy, I32, 0, 0),
    R("TEXTURE/area%02d/dx", nullptr, textureAreas, kcTextureArea, dx, I32, 0, 0),
    R("TEXTURE/area%02d/dy", nullptr, textureAreas, kcTextureArea, dy, I32, 0, 0),
    V("TEXTURE/bpp32y", nullptr, bpp32y, I32, 0, 0),
    V("TEXTURE/bpp16y", nullptr, bpp16y, I32, 0, 0),
    V("SHADER/VERTEX_MA", nullptr, vertexShaderMajor, I32, 0, 0),
    V("SHADER/VERTEX_MI", nullptr, vertexShaderMinor, I32, 0, 0),
    V("SHADER/PIXEL_MA", nullptr, pixelShaderMajor, I32, 0, 0),
    V("SHADER/PIXEL_MA", nullptr, pixelShaderMinor, I32, 0, 0), // the same key read a second time
    V("MANUAL/path", nullptr, manualPath, WSTR, KCSET_PATH, 0),
    V("SCREEN/no_skip", nullptr, noSkip, I32, GC, 0),
    V("APP/icon", nullptr, icon, WSTR, KCSET_PATH, 0),
    V("APP/iconno", nullptr, iconNumber, I32, GC, 0),
    V("APP/banner", nullptr, banner, WSTR, KCSET_PATH, 0),
    AT("CONFIG_B/mode", configButtons, 0, 1),
    AT("CONFIG_B/key", configButtons, 1, 1),
    AT("CONFIG_B/snd", configButtons, 2, 1),
    AT("CONFIG_B/eff", configButtons, 3, 1),
    AT("CONFIG_B/wnd", configButtons, 4, 1),
    AT("CONFIG_B/mes", configButtons, 5, 1),
    AT("CONFIG_B/font", configButtons, 6, 1),
    AT("CONFIG_B/sysv", configButtons, 7, 1),
    V("CONFIG_B/sysconfig", nullptr, sysConfig, I32, GC, 0),
    V("CONFIG_B/autoselect", nullptr, configAutoSelect, I32, GC, 0),
    V("CONFIG_B/smp_wndalpha", nullptr, smpWndAlpha, I32, GC, 0),
    V("CONFIG_B/wnd_alpha", nullptr, wndAlphaPercent, I32, GC, 1),
    V("CONFIG_B/view3d", nullptr, view3d, I32, GC, 0),
    V("GAME/disp_frame", nullptr, dispFrame, I32, GC, 0),
    V("SCRIPT/start", nullptr, startScript, STR, KCSET_PATH, 0),
    R("SOUNDGROUP/group%02d/type", nullptr, soundGroups, kcSoundGroupRow, type, STR, 0, 0),
    R("SOUNDGROUP/group%02d/id", nullptr, soundGroups, kcSoundGroupRow, id, I32, GC, -1),
    R("SOUNDGROUP/group%02d/min", nullptr, soundGroups, kcSoundGroupRow, min, I32, GC, -1),
    R("SOUNDGROUP/group%02d/max", nullptr, soundGroups, kcSoundGroupRow, max, I32, GC, -1),
    V("GAME/enabledrag", nullptr, gameEnableDrag, I32, GC, 1),
    V("GAME/enablefullskip", nullptr, enableFullSkip, I32, GC, 0),
    V("GAME/strframe_count", nullptr, strFrameCount, I32, GC, 0),
    V("GAME/strframe_frame", nullptr, strFrameFrame, I32, GC, 0),
    V("GAME/autoframe_count", nullptr, autoFrameCount, I32, GC, 0),
    R("GAME/autopriset/p%02d/base", nullptr, autoPresets, kcAutoPreset, base, I32, 0, 0),
    R("GAME/autopriset/p%02d/char", nullptr, autoPresets, kcAutoPreset, chr, I32, 0, 0),
    V("SCENELIST/convert/current", nullptr, sceneCurrent, STR, 0, 0),
    V("SCENELIST/convert/command", nullptr, sceneCommand, STR, 0, 0),
    V("SCENELIST/convert/param", nullptr, sceneParam, STR, 0, 0),
    V("GAME/log/type", nullptr, logType, I32, 0, 0),
    V("GAME/log/col", nullptr, logCol, I32, 0, 0),
    V("GAME/log/prof", nullptr, logProf, I32, 0, 0),
    V("GAME/log/nameline", nullptr, logNameLine, I32, 0, 0),
    V("GAME/log/nameformat/first", nullptr, logNameFirst, STR, 0, 0),
    V("GAME/log/nameformat/last", nullptr, logNameLast, STR, 0, 0),
    V("GAME/log/indent", nullptr, logIndent, I32, 0, 0),
    V("GAME/log/nameindent", nullptr, logNameIndent, I32, 0, 0),
    V("GAME/log/disp/mes", nullptr, logDispMes, I32, 0, 0),
    V("GAME/log/disp/name", nullptr, logDispName, I32, 0, 0),
    V("GAME/log/space", nullptr, logSpace, I32, 0, 0),
    V("GAME/log/escape", nullptr, logEscape, I32, 0, 0),
    V("GAME/log/static", nullptr, logStatic, I32, 0, 0),
    V("GAME/log/cr_next", nullptr, logCrNext, I32, 0, 0),
    V("APP/wndmenu", nullptr, wndMenu, I32, 0, 0),
    V("SCREEN/frameimg", nullptr, frameImage, WSTR, KCSET_PATH, 0),
    V("APP/direct", nullptr, direct, I32, 0, 0),
    V("GAME/flag/max", nullptr, flagMax, I32, 0, 0),
    R("GAME/flag/local%d/start", nullptr, flagLocal, kcFlagRange, start, I32, 0, 0),
    R("GAME/flag/local%d/count", nullptr, flagLocal, kcFlagRange, count, I32, 0, 0),
    R("GAME/flag/global%d/start", nullptr, flagGlobal, kcFlagRange, start, I32, 0, 0),
    R("GAME/flag/global%d/count", nullptr, flagGlobal, kcFlagRange, count, I32, 0, 0),
    V("INFO/file", nullptr, infoFile, WSTR, KCSET_PATH, 0),
    V("INFO/comment", nullptr, infoComment, WSTR, 0, 0),
    V("APP/use_ps", nullptr, usePs, I32, 0, 0),
    V("APP/touch", nullptr, touch, I32, 0, 0),
    V("APP/render_always", nullptr, renderAlways, I32, 0, 0),
    V("APP/tweet", nullptr, tweet, I32, 0, 0),
    V("language/default", nullptr, languageDefault, I32, 0, 0),
    V("language/enable_sub", nullptr, enableSub, I32, 0, 0),
    V("language/OPTTABLE", nullptr, optTable, WSTR, 0, 0),
    V("GAME/cgregmode", nullptr, cgRegMode, I32, 0, 0),
    V("APP/utfmode", nullptr, utfMode, I32, 0, 0),
    V("APP/ttstable", nullptr, ttsTable, WSTR, KCSET_PATH, 0),
    V("SCREEN/forcewindow", nullptr, forceWindow, I32, 0, 0),
    V("APP/dontsave", nullptr, dontSave, I32, 0, 0),

    // ---- user part ----
    V(nullptr, "WINDOW/setmode", setMode, I32, 0, 0),
    V("SCREEN/width", "WINDOW/width", width, U16, 0, 0),
    V("SCREEN/height", "WINDOW/height", height, U16, 0, 0),
    V("SCREEN/full_width", "WINDOW/full_width", fullWidth, U16, 0, 0),
    V("SCREEN/full_height", "WINDOW/full_height", fullHeight, U16, 0, 0),
    V(nullptr, "WINDOW/full_wide", fullWide, I32, KCSET_WRITE_ONLY, 0),
    V("SCREEN/limit", "WINDOW/limit", limit, I32, 0, 0),
    V("SCREEN/fps", "WINDOW/fps", fps, I32, 0, 0),
    V("CURSOR/mode", "WINDOW/cursor_mode", cursorMode, I32, 0, 0),
    V("TEXTURE/bpp", "TEXTURE/bpp", textureBpp, I32, 0, 0),
    V("TEXTURE/filter_min", "TEXTURE/min", filterMin, I32, 0, 0),
    V("TEXTURE/filter_mag", "TEXTURE/mag", filterMag, I32, 0, 0),
    V("TEXTURE/dither", "TEXTURE/dither", dither, I32, 0, 0),
    V("SOUND/use3d", "SOUND/ds3d", sound3d, I32, 0, 0),
    V("SOUND/sticky", "SOUND/sticky", sticky, I32, 0, 0),
    V(nullptr, "SOUND/stereo", stereo, I32, 0, 0),
    V("APP/imgcache", "ETC/imgcache", imageCache, I32, 0, 0),
    V("GENERAL/screensaver", "WINDOW/screensaver", screenSaver, I32, 0, 0),
    V("GENERAL/camouflage", "WINDOW/camouflage", camouflage, I32, 0, 0),
    V(nullptr, "DEPEND/gdi_cap", gdiCap, I32, 0, 0),
    V(nullptr, "DEPEND/z32", z32, I32, KCSET_WRITE_ONLY, 0),
    V(nullptr, "DEPEND/use_z", useZ, I32, KCSET_WRITE_ONLY, 0),
    V(nullptr, "WINDOW/out_info", outInfo, I32, 0, 0),
    V("ETC/cache", "ETC/cache", fileCache, I32, GC | KCSET_WRITE_ONLY, 1),
    V(nullptr, "ETC/picture", pictureFolder, WSTR, KCSET_PATH, 0),
    V(nullptr, "ETC/export", exportFolder, WSTR, KCSET_PATH, 0),
    V(nullptr, "ETC/imgimport", imageImportFolder, WSTR, KCSET_PATH, 0),
    V(nullptr, "WINDOW/mode", windowMode, I32, 0, 0),
    V(nullptr, "WINDOW/fullscreen", fullScreen, I32, 0, 0),
    V(nullptr, "WINDOW/bpp", windowBpp, I32, 0, 0),
    V(nullptr, "D3D/hardTnL", hardTnL, I32, 0, 0),
    V(nullptr, "D3D/backbuffer", backBuffer, I32, 0, 0),
    V(nullptr, "D3D/light", light, I32, 0, 0),
    V(nullptr, "D3D/vsync", vsync, I32, 0, 0),
    V(nullptr, "D3D/antialias", antialias, I32, 0, 0),
    V(nullptr, "D3D/fogtype", fogType, I32, 0, 0),
    V(nullptr, "D3D/tex_size", texSize, I32, 0, 0),
    V(nullptr, "D3D/tex_comp", texComp, I32, 0, 0),
    V("APP/dualcore", "ETC/dualcore", dualCore, I32, 0, 0),
    V(nullptr, "ETC/disablemovie", disableMovie, I32, KCSET_USER_CONST, 0),
    V(nullptr, "ETC/disablepixelshader", disablePixelShader, I32, 0, 0),
    V("SCREEN/full_size", "FULL_SCREEN/full_size", fullSize, I32, 0, 0),
    V("SCREEN/full_pos", "FULL_SCREEN/full_pos", fullPos, I32, 0, 0),
    V("SCREEN/mw_pos", "FULL_SCREEN/mw_pos", mwPos, I32, 0, 0),
    V("SCREEN/wall", "FULL_SCREEN/wall", wall, I32, 0, 0),
    V(nullptr, "ETC/waitd3dcommand", waitD3dCommand, I32, 0, 0),
    V("SCREEN/no_full_res", "FULL_SCREEN/no_full_res", noFullRes, I32, 0, 0),
    V(nullptr, "language/id/UI", languageUI, I32, 0, 0),
    V(nullptr, "language/id/main", languageMain, I32, 0, 0),
    V(nullptr, "language/id/sub", languageSub, I32, 0, 0),
    V(nullptr, "TTS/id", ttsId, WSTR, 0, 0),
    V(nullptr, "TTS/speed", ttsSpeed, F32, 0, 0),
    V(nullptr, "TTS/tone", ttsTone, F32, 0, 0),
    V(nullptr, "CONFIG/type", configType, I32, 0, 0),
    V("ETC/dragwnd", nullptr, dragWindow, I32, GC, 1),
    V(nullptr, "FONT/face", fontFace, WSTR, 0, 0),          // game definition: FONT/face/f%02d
    V(nullptr, "FONT/faceruby", fontFaceRuby, WSTR, 0, 0),  // game definition: FONT/faceruby/f%02d
    V("FONT/shadow/around", "FONT/shadow/around", shadowAround, I32, 0, 0),
    V("FONT/shadow/rightdown", "FONT/shadow/rightdown", shadowRightDown, I32, 0, 0),
    V(nullptr, "FONT/bold", fontBold, I32, 0, 0),
    V(nullptr, "FONT/proportional", fontProportional, I32, 0, 0),
    V(nullptr, "FONT/fixed", fontFixed, I32, 0, 0),
    V(nullptr, "KEY/enable_joypad", enableJoypad, I32, 0, 0),
    A("KEYCUSTOMIZE/key%02d/name", nullptr, keyNames, WSTR, 0, 0),
    KS("KEYCUSTOMIZE/key%02d/keyboard%d", "KEY/kb%d_%02d", keyboard),
    KS("KEYCUSTOMIZE/key%02d/mouse%d", "KEY/ms%d_%02d", mouse),
    KS("KEYCUSTOMIZE/key%02d/joypad%d", "KEY/jp%d_%02d", joypad),
    KS("KEYCUSTOMIZE/key%02d/touch%d", nullptr, touch),
    KS("KEYCUSTOMIZE/key%02d/rep_keyboard%d", "KEY/kb%dr_%02d", repKeyboard),
    KS("KEYCUSTOMIZE/key%02d/rep_mouse%d", "KEY/ms%dr_%02d", repMouse),
    KS("KEYCUSTOMIZE/key%02d/rep_joypad%d", "KEY/jp%dr_%02d", repJoypad),
    KS("KEYCUSTOMIZE/key%02d/rep_touch%d", nullptr, repTouch),
    R("KEYCUSTOMIZE/key%02d/hide", nullptr, keys, kcKeyRow, hide, I32, GC, 0),
    V(nullptr, "VOICE/cont_voice", contVoice, I32, 0, 0),
    R(nullptr, "VOICE/play%02d", voices, kcVoiceRow, play, I32, 0, 0),
    R("VOICE/v%02d/voice", nullptr, voices, kcVoiceRow, voice, STR, 0, 0),
    R("VOICE/v%02d/mastervol", nullptr, voices, kcVoiceRow, masterVol, I32, 0, 0),
    R("VOICE/v%02d/head", nullptr, voices, kcVoiceRow, head, STR, 0, 0),
    R("VOICE/v%02d/group", nullptr, voices, kcVoiceRow, group, I32, 0, 0),
    R("VOICE/v%02d/int", nullptr, voices, kcVoiceRow, archive, STR, KCSET_PATH, 0),
    V("VOICE/vol/master", "VOICE/vol_master", volMaster, I32, 0, 0),
    V("VOICE/vol/bgm", "VOICE/vol_bgm", volBgm, I32, 0, 0),
    V("VOICE/vol/se", "VOICE/vol_se", volSe, I32, 0, 0),
    V("VOICE/vol/voice", "VOICE/vol_voice", volVoice, I32, 0, 0),
    V("VOICE/vol/play", "VOICE/vol_play", volPlay, I32, 0, 0),
    V(nullptr, "VOICE/mute_master", muteMaster, I32, 0, 0),
    V(nullptr, "VOICE/mute_bgm", muteBgm, I32, 0, 0),
    V(nullptr, "VOICE/mute_se", muteSe, I32, 0, 0),
    V(nullptr, "VOICE/mute_voice", muteVoice, I32, 0, 0),
    V(nullptr, "VOICE/mute_play", mutePlay, I32, 0, 0),
    V(nullptr, "MESSAGE/speed", messageSpeed, I32, 0, 0),
    V(nullptr, "MESSAGE/auto_p", autoPreset, I32, 0, 0),
    V(nullptr, "MESSAGE/ind", messageInd, I32, 0, 0),
    V(nullptr, "MESSAGE/base", messageBase, I32, 0, 0),
    V(nullptr, "MESSAGE/CHAR", messageChar, I32, 0, 0),
    V(nullptr, "MESSAGE/still", messageStill, I32, 0, 0),
    V(nullptr, "MESSAGE/cont", messageCont, I32, 0, 0),
    V(nullptr, "MESSAGE/waitpcm", waitPcm, I32, 0, 0),
    V(nullptr, "MESSAGE/skip_full", skipFull, I32, 0, 0),
    V("GAME/log/limit", "MESSAGE/log_limit", logLimit, I32, 0, 0),
    V("GAME/read/enable", "MESSAGE/enable_read", enableRead, I32, 0, 0),
    V("GAME/read/color", "MESSAGE/read_color", readColor, I32, 0, 0),
    V("GAME/skipspeed", "MESSAGE/skipspeed", skipSpeed, I32, 0, 0),
    V(nullptr, "MESSAGE/contskip", contSkip, I32, 0, 0),
    V("GAME/string/wipe", "MESSAGE/wipe", wipe, I32, 0, 0),
    V("GAME/ctrlmode", "MESSAGE/ctrlmode", ctrlMode, I32, 0, 0),
    V("GAME/autoleft", "MESSAGE/autoleft", autoLeft, I32, 0, 0),
    V("GAME/readsel/enable", "MESSAGE/enable_read_sel", enableReadSel, I32, 0, 0),
    V(nullptr, "EFFECT/speed", effectSpeed, I32, 0, 0),
    V(nullptr, "EFFECT/skipdraw", skipDraw, I32, 0, 0),
    V(nullptr, "EFFECT/help", effectHelp, I32, 0, 0),
    V(nullptr, "EFFECT/auto_c", autoC, I32, 0, 0),
    V(nullptr, "EFFECT/auto_cd", autoCd, I32, 0, 0),
    V(nullptr, "EFFECT/auto_cds", autoCds, I32, 0, 0),
    V(nullptr, "EFFECT/dramatic", dramatic, I32, 0, 0),
    V(nullptr, "EFFECT/skipmot", skipMot, I32, 0, 0),
    V(nullptr, "GAME/wndcolor", wndColor, I32, 0, 0),
    WC("GAME/wndcolor/r", 2),
    WC("GAME/wndcolor/g", 1),
    WC("GAME/wndcolor/b", 0),
    WC("GAME/wndcolor/a", 3),
    V(nullptr, "GAME/enabledrag", enableDrag, I32, 0, 0),
    V(nullptr, "GAME/drawwnd", drawWindow, I32, 0, 0),
    A("SYSTEMVOICE/ch%02d/name", nullptr, systemVoiceNames, STR, 0, 0),
    A("SYSTEMVOICE/ch%02d/play", "SYSTEMVOICE/play%02d", systemVoicePlay, I32, 0, 0),
    A("SYSTEMVOICE/ch%02d/int", nullptr, systemVoiceArchives, STR, KCSET_PATH, 0),
    V("GAME/autoselect", "GAME/autoselect", autoSelect, I32, 0, 0),
    V(nullptr, "GAME/always_active", alwaysActive, I32, 0, 0),
    V(nullptr, "GAME/enable_scene_anm", enableSceneAnm, I32, 0, 0),
    V(nullptr, "GAME/use_scene_skip", useSceneSkip, I32, 0, 0),
    V(nullptr, "GAME/use_jtalk", useJtalk, I32, 0, 0),
};
#undef SZ
#undef V
#undef A
#undef R
#undef AT
#undef KS
#undef WC

const int kCount = (int)(sizeof kTable / sizeof kTable[0]);

// Matches a concrete name against a key whose "%d"/"%02d" stand for numbers; a name may also
// spell the format itself. Numbers in key order go to nums (-1 for a spelled format).
bool MatchKey(const char* key, const char* name, int* nums, int* numCount)
{
    *numCount = 0;
    while (*key) {
        if (key[0] == '%') {
            int fmtLen = key[1] == 'd' ? 2 : (key[1] == '0' && key[2] == '2' && key[3] == 'd' ? 4 : 0);
            if (fmtLen == 0) return false;
            int value = -1;
            if (strncmp(name, key, (size_t)fmtLen) == 0) {
                name += fmtLen;
            } else {
                int digits = 0;
                long long v = 0;
                while (name[digits] >= '0' && name[digits] <= '9') {
                    v = v * 10 + (name[digits] - '0');
                    if (v > 0xFFFF) return false;
                    ++digits;
                }
                if (digits == 0 || (fmtLen == 4 && digits < 2)) return false;
                name += digits;
                value = (int)v;
            }
            if (*numCount < 2) nums[(*numCount)++] = value;
            key += fmtLen;
        } else {
            if (*key != *name) return false;
            ++key;
            ++name;
        }
    }
    return *name == 0;
}

bool TakeIndexes(const kcSetting& s, bool slotFirst, const int* nums, int numCount, int* row, int* slot)
{
    int r = 0, sl = 0;
    bool hasRows = s.rows > 1, hasSlots = s.slots > 1;
    int i = 0;
    auto next = [&]() { return i < numCount ? nums[i++] : -1; };
    if (slotFirst) {
        if (hasSlots) sl = next();
        if (hasRows) r = next();
    } else {
        if (hasRows) r = next();
        if (hasSlots) sl = next();
    }
    if (hasSlots) sl = sl < 0 ? 0 : sl - 1; // slots are numbered from 1 in the keys
    if (r < 0) r = 0;
    if (r >= s.rows || sl < 0 || sl >= s.slots) return false;
    if (row) *row = r;
    if (slot) *slot = sl;
    return true;
}

int FormatKey(const kcSetting* s, const char* key, bool slotFirst, int row, int slot, char* out, int outBytes)
{
    if (!s || !key || !out || outBytes <= 0 || row < 0 || row >= s->rows || slot < 0 || slot >= s->slots) return 0;
    int a = row, b = slot + 1;
    if (slotFirst) {
        a = slot + 1;
        b = row;
    }
    if (s->rows <= 1 && s->slots > 1) a = slot + 1;
    return kcFormat(out, outBytes, key, a, b) < outBytes - 1;
}

} // namespace

const kcSetting* kcSettingTable(int* count)
{
    if (count) *count = kCount;
    return kTable;
}

const kcSetting* kcFindSettingPath(const char* path, int* row, int* slot)
{
    if (!path || !*path) return nullptr;
    int nums[2];
    int n;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kCount; ++i) {
            const kcSetting& s = kTable[i];
            const char* key = pass == 0 ? s.userKey : s.gameKey;
            if (!key || !MatchKey(key, path, nums, &n)) continue;
            bool slotFirst = pass == 0 && (s.flags & KCSET_USER_SLOT_FIRST);
            if (TakeIndexes(s, slotFirst, nums, n, row, slot)) return &s;
        }
    }
    return nullptr;
}

const kcSetting* kcFindSetting(const char* section, const char* key, int* row, int* slot)
{
    if (!section || !key) return nullptr;
    char path[256];
    if (kcFormat(path, sizeof path, "%s/%s", section, key) >= (int)sizeof path - 1) return nullptr;
    return kcFindSettingPath(path, row, slot);
}

int kcSettingGameName(const kcSetting* s, int row, int slot, char* out, int outBytes)
{
    return s ? FormatKey(s, s->gameKey, false, row, slot, out, outBytes) : 0;
}

int kcSettingUserName(const kcSetting* s, int row, int slot, char* out, int outBytes)
{
    return s ? FormatKey(s, s->userKey, (s->flags & KCSET_USER_SLOT_FIRST) != 0, row, slot, out, outBytes) : 0;
}

const void* kcSettingAddress(const ConfigBlock* block, const kcSetting* s, int row, int slot)
{
    if (!block || !s || row < 0 || row >= s->rows || slot < 0 || slot >= s->slots) return nullptr;
    return reinterpret_cast<const char*>(block) + s->offset + (size_t)row * s->rowStride + (size_t)slot * s->slotStride;
}

void* kcSettingAddress(ConfigBlock* block, const kcSetting* s, int row, int slot)
{
    return const_cast<void*>(kcSettingAddress(static_cast<const ConfigBlock*>(block), s, row, slot));
}

int kcSettingGetInt(const ConfigBlock* block, const kcSetting* s, int row, int slot)
{
    const void* p = kcSettingAddress(block, s, row, slot);
    if (!p) return 0;
    switch (s->type) {
    case KCSET_U8: return *static_cast<const uint8_t*>(p);
    case KCSET_U16: { uint16_t v; memcpy(&v, p, 2); return v; }
    case KCSET_I32: { int32_t v; memcpy(&v, p, 4); return v; }
    case KCSET_F32: { float v; memcpy(&v, p, 4); return (int)v; }
    case KCSET_F64: { double v; memcpy(&v, p, 8); return (int)v; }
    default: return 0;
    }
}

int kcSettingSetInt(ConfigBlock* block, const kcSetting* s, int value, int row, int slot)
{
    void* p = kcSettingAddress(block, s, row, slot);
    if (!p) return 0;
    switch (s->type) {
    case KCSET_U8: *static_cast<uint8_t*>(p) = (uint8_t)value; return 1;
    case KCSET_U16: { uint16_t v = (uint16_t)value; memcpy(p, &v, 2); return 1; }
    case KCSET_I32: { int32_t v = value; memcpy(p, &v, 4); return 1; }
    case KCSET_F32: { float v = (float)value; memcpy(p, &v, 4); return 1; }
    case KCSET_F64: { double v = value; memcpy(p, &v, 8); return 1; }
    default: return 0;
    }
}

double kcSettingGetFloat(const ConfigBlock* block, const kcSetting* s, int row)
{
    const void* p = kcSettingAddress(block, s, row, 0);
    if (!p) return 0;
    if (s->type == KCSET_F32) { float v; memcpy(&v, p, 4); return v; }
    if (s->type == KCSET_F64) { double v; memcpy(&v, p, 8); return v; }
    return kcSettingGetInt(block, s, row, 0);
}

int kcSettingSetFloat(ConfigBlock* block, const kcSetting* s, double value, int row)
{
    void* p = kcSettingAddress(block, s, row, 0);
    if (!p) return 0;
    if (s->type == KCSET_F32) { float v = (float)value; memcpy(p, &v, 4); return 1; }
    if (s->type == KCSET_F64) { memcpy(p, &value, 8); return 1; }
    return kcSettingSetInt(block, s, (int)value, row, 0);
}

int kcSettingGetText(const ConfigBlock* block, const kcSetting* s, wchar_t* out, int outUnits, int row)
{
    if (!out || outUnits <= 0) return 0;
    out[0] = 0;
    const void* p = kcSettingAddress(block, s, row, 0);
    if (!p) return 0;
    if (s->type == KCSET_WSTR) {
        // The field may arrive unterminated from another process: never read past it.
        const wchar_t* w = static_cast<const wchar_t*>(p);
        int units = s->size / 2, n = 0;
        while (n < units && w[n]) ++n;
        std::wstring text(w, (size_t)n);
        kcCopyStringWN(out, outUnits, text.c_str());
        return 1;
    }
    if (s->type == KCSET_STR) {
        const char* a = static_cast<const char*>(p);
        std::string text(a, strnlen(a, s->size));
        kcUtf8ToWideN(text.c_str(), out, outUnits);
        return 1;
    }
    return 0;
}

int kcSettingSetText(ConfigBlock* block, const kcSetting* s, const wchar_t* text, int row)
{
    void* p = kcSettingAddress(block, s, row, 0);
    if (!p || !text) return 0;
    if (s->type == KCSET_WSTR) {
        kcCopyStringWN(static_cast<wchar_t*>(p), s->size / 2, text);
        return 1;
    }
    if (s->type == KCSET_STR) {
        kcWideToUtf8N(text, static_cast<char*>(p), s->size);
        return 1;
    }
    return 0;
}

const char* kcSettingGetTextA(const ConfigBlock* block, const kcSetting* s, int row)
{
    const void* p = kcSettingAddress(block, s, row, 0);
    return p && s->type == KCSET_STR ? static_cast<const char*>(p) : nullptr;
}

int kcSettingSetTextA(ConfigBlock* block, const kcSetting* s, const char* text, int row)
{
    void* p = kcSettingAddress(block, s, row, 0);
    if (!p || !text || s->type != KCSET_STR) return 0;
    char* dst = static_cast<char*>(p);
    size_t n = strlen(text);
    if (n > (size_t)s->size - 1) {
        n = (size_t)s->size - 1;
        while (n > 0 && ((unsigned char)text[n] & 0xC0) == 0x80) --n; // UTF-8 boundary
    }
    memmove(dst, text, n);
    dst[n] = 0;
    return 1;
}

int kcConfigGetInt(const ConfigBlock* block, const char* section, const char* key)
{
    int row = 0, slot = 0;
    const kcSetting* s = kcFindSetting(section, key, &row, &slot);
    return kcSettingGetInt(block, s, row, slot);
}

int kcConfigSetInt(ConfigBlock* block, const char* section, const char* key, int value)
{
    int row = 0, slot = 0;
    const kcSetting* s = kcFindSetting(section, key, &row, &slot);
    return kcSettingSetInt(block, s, value, row, slot);
}

int kcConfigGetText(const ConfigBlock* block, const char* section, const char* key, wchar_t* out, int outUnits)
{
    int row = 0;
    const kcSetting* s = kcFindSetting(section, key, &row);
    if (out && outUnits > 0) out[0] = 0;
    return kcSettingGetText(block, s, out, outUnits, row);
}

int kcConfigSetText(ConfigBlock* block, const char* section, const char* key, const wchar_t* text)
{
    int row = 0;
    const kcSetting* s = kcFindSetting(section, key, &row);
    return kcSettingSetText(block, s, text, row);
}
