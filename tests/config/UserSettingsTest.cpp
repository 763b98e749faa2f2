#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"

namespace {

// "setup.xml" as its writer orders it, typed from the format: element paths in write order,
// each with the field it carries. ROWS and PLAYS stand for the named key rows and the 48 play flags.
enum Kind { INT, U16, FLT, TXT, WO, KEYB, ROWS, PLAYS };
struct Entry { std::string path; size_t offset; Kind kind; size_t stride; };
#define E(path, field) {path, offsetof(ConfigBlock, field), INT, 0}
#define EK(path, field, kind) {path, offsetof(ConfigBlock, field), kind, 0}

std::vector<Entry> WriteOrder(const ConfigBlock& b)
{
    const Entry typed[] = {
        EK("WINDOW/width", width, U16), EK("WINDOW/height", height, U16), EK("WINDOW/full_width", fullWidth, U16),
        EK("WINDOW/full_height", fullHeight, U16), E("WINDOW/fps", fps), E("WINDOW/mode", windowMode),
        E("WINDOW/bpp", windowBpp), EK("WINDOW/full_wide", fullWide, WO), E("WINDOW/limit", limit),
        E("TEXTURE/bpp", textureBpp), E("TEXTURE/min", filterMin), E("TEXTURE/mag", filterMag), E("TEXTURE/dither", dither),
        E("SOUND/ds3d", sound3d), E("SOUND/sticky", sticky), E("SOUND/stereo", stereo), E("WINDOW/cursor_mode", cursorMode),
        E("WINDOW/screensaver", screenSaver), E("WINDOW/camouflage", camouflage), E("WINDOW/out_info", outInfo),
        EK("ETC/cache", fileCache, WO), E("ETC/imgcache", imageCache), E("ETC/dualcore", dualCore),
        E("ETC/disablemovie", disableMovie), EK("ETC/picture", pictureFolder, TXT), EK("ETC/export", exportFolder, TXT),
        EK("ETC/imgimport", imageImportFolder, TXT), E("DEPEND/gdi_cap", gdiCap), EK("DEPEND/z32", z32, WO),
        EK("DEPEND/use_z", useZ, WO), E("D3D/backbuffer", backBuffer), E("D3D/hardTnL", hardTnL), E("D3D/light", light),
        E("D3D/vsync", vsync), E("D3D/antialias", antialias), E("D3D/fogtype", fogType), E("D3D/tex_size", texSize),
        E("D3D/tex_comp", texComp), E("WINDOW/fullscreen", fullScreen), E("WINDOW/setmode", setMode),
        E("FULL_SCREEN/full_size", fullSize), E("FULL_SCREEN/full_pos", fullPos), E("FULL_SCREEN/mw_pos", mwPos),
        E("FULL_SCREEN/wall", wall), E("ETC/disablepixelshader", disablePixelShader),
        E("ETC/waitd3dcommand", waitD3dCommand), E("FULL_SCREEN/no_full_res", noFullRes), E("language/id/UI", languageUI),
        E("language/id/main", languageMain), E("language/id/sub", languageSub), EK("TTS/id", ttsId, TXT),
        EK("TTS/speed", ttsSpeed, FLT), EK("TTS/tone", ttsTone, FLT), E("CONFIG/type", configType),
        EK("FONT/face", fontFace, TXT), EK("FONT/faceruby", fontFaceRuby, TXT), E("FONT/shadow/rightdown", shadowRightDown),
        E("FONT/shadow/around", shadowAround), E("FONT/bold", fontBold), E("FONT/proportional", fontProportional),
        E("FONT/fixed", fontFixed), E("KEY/enable_joypad", enableJoypad), EK("KEY/", keys, ROWS), E("VOICE/vol_bgm", volBgm),
        E("VOICE/vol_se", volSe), E("VOICE/vol_voice", volVoice), E("VOICE/vol_play", volPlay),
        E("VOICE/vol_master", volMaster), {"VOICE/play", offsetof(ConfigBlock, voices), PLAYS, sizeof(kcVoiceRow)},
        E("VOICE/cont_voice", contVoice), E("VOICE/mute_master", muteMaster), E("VOICE/mute_bgm", muteBgm),
        E("VOICE/mute_se", muteSe), E("VOICE/mute_voice", muteVoice), E("VOICE/mute_play", mutePlay),
        E("MESSAGE/speed", messageSpeed), E("MESSAGE/auto_p", autoPreset), E("MESSAGE/base", messageBase),
        E("MESSAGE/CHAR", messageChar), E("MESSAGE/ind", messageInd), E("MESSAGE/cont", messageCont),
        E("MESSAGE/still", messageStill), E("MESSAGE/waitpcm", waitPcm), E("MESSAGE/skip_full", skipFull),
        E("MESSAGE/log_limit", logLimit), E("MESSAGE/ctrlmode", ctrlMode), E("MESSAGE/autoleft", autoLeft),
        E("EFFECT/speed", effectSpeed), E("EFFECT/skipdraw", skipDraw), E("EFFECT/help", effectHelp), E("EFFECT/auto_c", autoC),
        E("EFFECT/auto_cd", autoCd), E("EFFECT/auto_cds", autoCds), E("EFFECT/dramatic", dramatic), E("EFFECT/skipmot", skipMot),
        E("GAME/wndcolor", wndColor), E("GAME/enabledrag", enableDrag), E("GAME/drawwnd", drawWindow),
        {"SYSTEMVOICE/play", offsetof(ConfigBlock, systemVoicePlay), PLAYS, 4}, E("MESSAGE/enable_read", enableRead),
        E("MESSAGE/read_color", readColor), E("MESSAGE/skipspeed", skipSpeed), E("MESSAGE/contskip", contSkip),
        E("MESSAGE/wipe", wipe), E("MESSAGE/enable_read_sel", enableReadSel), E("GAME/autoselect", autoSelect),
        E("GAME/always_active", alwaysActive), E("GAME/enable_scene_anm", enableSceneAnm),
        E("GAME/use_scene_skip", useSceneSkip), E("GAME/use_jtalk", useJtalk),
    };
    const char* devices[6] = {"kb%d_%02d", "ms%d_%02d", "jp%d_%02d", "kb%dr_%02d", "ms%dr_%02d", "jp%dr_%02d"};
    const size_t deviceOffsets[6] = {4, 8, 12, 20, 24, 28};
    std::vector<Entry> e;
    char key[16];
    for (const Entry& t : typed) {
        if (t.kind == PLAYS) {
            for (int i = 0; i < 48; ++i) {
                snprintf(key, sizeof key, "%02d", i);
                e.push_back({t.path + key, t.offset + i * t.stride, INT, 0});
            }
        } else if (t.kind == ROWS) { // rows without a name are not written
            for (int row = 0; row < 80; ++row)
                for (int slot = 1; slot <= 4 && b.keyNames[row][0]; ++slot)
                    for (int d = 0; d < 6; ++d) {
                        snprintf(key, sizeof key, devices[d], slot, row);
                        e.push_back({t.path + key, t.offset + row * 40 + deviceOffsets[d] + slot - 1, KEYB, 0});
                    }
        } else {
            e.push_back(t);
        }
    }
    return e;
}

// A distinct value per entry, stored into the record; the text the writer should give it.
std::string Store(ConfigBlock* b, const Entry& e, int i)
{
    char* p = reinterpret_cast<char*>(b) + e.offset;
    char text[64];
    float f = 1.5f + (float)i;
    int32_t v = e.path == "GAME/wndcolor" ? (int32_t)0x80FF0102 : e.kind == KEYB ? i % 200 + 20 : e.kind == U16 ? 600 + i : -1000 - i;
    if (e.kind == TXT)
        wcscpy(reinterpret_cast<wchar_t*>(p), (L"テキスト" + std::to_wstring(i)).c_str());
    else // little-endian: the low bytes
        memcpy(p, e.kind == FLT ? (const void*)&f : &v, e.kind == KEYB ? 1 : e.kind == U16 ? 2 : 4);
    if (e.kind == FLT)
        snprintf(text, sizeof text, "%f", f);
    else
        snprintf(text, sizeof text, e.kind == TXT ? u8"テキスト%d" : "%d", e.kind == TXT ? i : v);
    return text;
}

// The elements below the path under, each level written from its last created element to its first.
std::string Golden(const std::vector<Entry>& e, const std::vector<std::string>& texts, const std::string& under = "")
{
    std::vector<std::string> names; // the children of under, in order of creation
    for (const Entry& x : e)
        if (x.path.compare(0, under.size(), under) == 0) {
            std::string name = x.path.substr(under.size(), x.path.find('/', under.size()) - under.size());
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
    std::string out, pad(std::count(under.begin(), under.end(), '/') * 2 + 2, ' ');
    for (auto n = names.rbegin(); n != names.rend(); ++n) {
        auto leaf = std::find_if(e.begin(), e.end(), [&](const Entry& x) { return x.path == under + *n; });
        if (leaf != e.end())
            out += pad + "<" + *n + ">" + texts[leaf - e.begin()] + "</" + *n + ">\r\n";
        else
            out += pad + "<" + *n + ">\r\n" + Golden(e, texts, under + *n + "/") + pad + "</" + *n + ">\r\n";
    }
    return out;
}

const char kSaveHere[] = "<FOLDER><save>save</save></FOLDER>";

TEST(UserSettings, WrittenInTheFormatsOrderAndReadBack)
{
    ConfigFolder folder;
    folder.Start(kSaveHere);
    auto nameRows = [] {
        wcscpy(kcConfigCurrentBlock->keyNames[3], L"k3");
        wcscpy(kcConfigCurrentBlock->keyNames[70], L"k70");
    };
    nameRows();
    kcConfigCurrentBlock->keys[5].keyboard[0] = 99; // an unnamed row is not written
    std::vector<Entry> entries = WriteOrder(*kcConfigCurrentBlock);
    std::vector<std::string> texts;
    for (size_t i = 0; i < entries.size(); ++i) texts.push_back(Store(kcConfigCurrentBlock, entries[i], (int)i));
    ConfigBlock written = *kcConfigCurrentBlock;
    kcConfig::Instance()->SaveUserSettings(0);
    std::string bytes;
    ASSERT_TRUE(ReadBytes(folder.File(L"save\\setup.xml"), &bytes));
    EXPECT_EQ(XmlDoc(Golden(entries, texts)), bytes);

    // Read back by a new object: every field that both sides handle returns.
    kcReleaseConfig();
    kcCreateConfig(nullptr, nullptr, 0);
    nameRows();
    const ConfigBlock& b = *kcConfigCurrentBlock;
    ConfigBlock before = b;
    TestModes modes({{written.fullWidth, written.fullHeight, 59, 22}});
    kcConfig::Instance()->LoadUserSettings(0);
    for (const Entry& e : entries) {
        if (e.path.compare(0, 9, "language/") == 0) continue; // clamped: below
        const char* got = reinterpret_cast<const char*>(&b) + e.offset;
        const char* want = reinterpret_cast<const char*>(e.kind == WO ? &before : &written) + e.offset;
        if (e.kind == TXT)
            EXPECT_STREQ(reinterpret_cast<const wchar_t*>(got), reinterpret_cast<const wchar_t*>(want)) << e.path;
        else
            EXPECT_EQ(0, memcmp(got, want, e.kind == U16 ? 2 : e.kind == KEYB ? 1 : 4)) << e.path;
    }
    // No language table: the indexes fall back to the default index. Full screen set: the size in
    // use is the full-screen size, the current size the window's. Effective volumes follow, in
    // unsigned arithmetic of the category and master volumes.
    ExpectFields({
        FIELD(keys[5].keyboard[0], 0), FIELD(languageUI, 0), FIELD(languageMain, 0), FIELD(languageSub, 0),
        FIELD(useWidth, written.fullWidth), FIELD(currentWidth, written.width), FIELD(currentHeight, written.height),
        FIELD(effectiveVolumes[0], (int32_t)((unsigned)written.volBgm * (unsigned)written.volMaster / 100u)),
    });
}

TEST(UserSettings, ReadingRules)
{
    ConfigFolder folder;
    std::string face63(63, 'x'), face64(64, 'y');
    folder.Write(L"save\\setup.xml",
                 XmlDoc("<FONT><face>" + face63 + "</face><faceruby>" + face64 + "</faceruby></FONT>"
                        "<language><id><UI>7</UI><main>1</main><sub>-1</sub></id></language>"
                        "<WINDOW><width>640</width><full_width>1234</full_width><full_height>567</full_height></WINDOW>"
                        "<KEY><kb1_01>5</kb1_01></KEY>"));
    kcConfig& c = folder.Start(std::string(kSaveHere) +
                               "<language><L00><code>7</code><prefix>a</prefix></L00><L01><code>8</code><prefix>b</prefix>"
                               "</L01><L02><code>9</code><prefix>c</prefix></L02><default>2</default></language>");
    const ConfigBlock& b = *kcConfigCurrentBlock;
    TestModes modes({{1280, 720, 60, 22}});
    c.LoadUserSettings(0);
    ExpectFields({
        FIELD(fontFace, face63.c_str()),
        FIELD(fontFaceRuby, ""), // 64 characters do not fit: the field stays
        FIELD(languageUI, 2),    // beyond the table: the default index
        FIELD(languageMain, 1), FIELD(languageSub, -1), FIELD(width, 640),
        FIELD(fullWidth, 800), FIELD(fullHeight, 600), // no display mode of 1234 x 567
        FIELD(keys[1].keyboard[0], 0),                 // row 1 has no name
    });

    // A sub index out of range falls back too; no "setup.xml" leaves the record alone.
    folder.Write(L"save\\setup.xml", XmlDoc("<language><id><sub>5</sub></id></language>"));
    c.LoadUserSettings(0);
    EXPECT_EQ(b.languageSub, 2);
    DeleteFileW(folder.File(L"save\\setup.xml").c_str());
    ConfigBlock before = b;
    EXPECT_EQ(0, c.ReadUserSettings(3));
    EXPECT_EQ(0, memcmp(&before, &b, sizeof before));
    EXPECT_EQ(0, c.ReadGameDefaults()); // no file server, no archive
}

TEST(UserSettings, FailedSaveKeepsTheOldFile)
{
    ConfigFolder folder;
    kcConfig& c = folder.Start(kSaveHere);
    std::wstring path = folder.File(L"save\\setup.xml");
    ASSERT_TRUE(WriteBytes(path, "old settings"));
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    c.SaveUserSettings(0);
    CloseHandle(held);
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ("old settings", bytes);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(folder.File(L"save\\*.tmp").c_str(), &fd);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE); // no temporary left behind
    if (h != INVALID_HANDLE_VALUE) FindClose(h);

    // With APP/dontsave nothing is written.
    DeleteFileW(path.c_str());
    kcConfigCurrentBlock->dontSave = 1;
    c.SaveUserSettings(0);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
