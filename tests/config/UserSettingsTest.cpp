#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"

namespace {

// "setup.xml" as its writer orders it, typed from the format: sections and keys in write order,
// each with the field it carries.
enum Kind { INT, U16, FLT, TXT };
struct Entry {
    std::string section, key;
    size_t offset;
    Kind kind;
    bool writeOnly;
};

#define E(sec, key, field, kind) {sec, key, offsetof(ConfigBlock, field), kind, false}
#define WO(sec, key, field) {sec, key, offsetof(ConfigBlock, field), INT, true}

std::vector<Entry> WriteOrder(const ConfigBlock& b)
{
    std::vector<Entry> e = {
        E("WINDOW", "width", width, U16), E("WINDOW", "height", height, U16),
        E("WINDOW", "full_width", fullWidth, U16), E("WINDOW", "full_height", fullHeight, U16),
        E("WINDOW", "fps", fps, INT), E("WINDOW", "mode", windowMode, INT), E("WINDOW", "bpp", windowBpp, INT),
        WO("WINDOW", "full_wide", fullWide), E("WINDOW", "limit", limit, INT),
        E("TEXTURE", "bpp", textureBpp, INT), E("TEXTURE", "min", filterMin, INT), E("TEXTURE", "mag", filterMag, INT),
        E("TEXTURE", "dither", dither, INT),
        E("SOUND", "ds3d", sound3d, INT), E("SOUND", "sticky", sticky, INT), E("SOUND", "stereo", stereo, INT),
        E("WINDOW", "cursor_mode", cursorMode, INT), E("WINDOW", "screensaver", screenSaver, INT),
        E("WINDOW", "camouflage", camouflage, INT), E("WINDOW", "out_info", outInfo, INT),
        WO("ETC", "cache", fileCache), E("ETC", "imgcache", imageCache, INT), E("ETC", "dualcore", dualCore, INT),
        E("ETC", "disablemovie", disableMovie, INT), E("ETC", "picture", pictureFolder, TXT),
        E("ETC", "export", exportFolder, TXT), E("ETC", "imgimport", imageImportFolder, TXT),
        E("DEPEND", "gdi_cap", gdiCap, INT), WO("DEPEND", "z32", z32), WO("DEPEND", "use_z", useZ),
        E("D3D", "backbuffer", backBuffer, INT), E("D3D", "hardTnL", hardTnL, INT), E("D3D", "light", light, INT),
        E("D3D", "vsync", vsync, INT), E("D3D", "antialias", antialias, INT), E("D3D", "fogtype", fogType, INT),
        E("D3D", "tex_size", texSize, INT), E("D3D", "tex_comp", texComp, INT),
        E("WINDOW", "fullscreen", fullScreen, INT), E("WINDOW", "setmode", setMode, INT),
        E("FULL_SCREEN", "full_size", fullSize, INT), E("FULL_SCREEN", "full_pos", fullPos, INT),
        E("FULL_SCREEN", "mw_pos", mwPos, INT), E("FULL_SCREEN", "wall", wall, INT),
        E("ETC", "disablepixelshader", disablePixelShader, INT), E("ETC", "waitd3dcommand", waitD3dCommand, INT),
        E("FULL_SCREEN", "no_full_res", noFullRes, INT),
        E("language", "id/UI", languageUI, INT), E("language", "id/main", languageMain, INT),
        E("language", "id/sub", languageSub, INT),
        E("TTS", "id", ttsId, TXT), E("TTS", "speed", ttsSpeed, FLT), E("TTS", "tone", ttsTone, FLT),
        E("CONFIG", "type", configType, INT),
        E("FONT", "face", fontFace, TXT), E("FONT", "faceruby", fontFaceRuby, TXT),
        E("FONT", "shadow/rightdown", shadowRightDown, INT), E("FONT", "shadow/around", shadowAround, INT),
        E("FONT", "bold", fontBold, INT), E("FONT", "proportional", fontProportional, INT),
        E("FONT", "fixed", fontFixed, INT), E("KEY", "enable_joypad", enableJoypad, INT),
    };
    const char* devices[6] = {"kb%d_%02d", "ms%d_%02d", "jp%d_%02d", "kb%dr_%02d", "ms%dr_%02d", "jp%dr_%02d"};
    const size_t deviceOffsets[6] = {4, 8, 12, 20, 24, 28};
    for (int row = 0; row < 80; ++row) {
        if (!b.keyNames[row][0]) continue;
        for (int slot = 1; slot <= 4; ++slot)
            for (int d = 0; d < 6; ++d) {
                char key[16];
                snprintf(key, sizeof key, devices[d], slot, row);
                e.push_back({"KEY", key, offsetof(ConfigBlock, keys) + row * 40 + deviceOffsets[d] + slot - 1, INT, false});
            }
    }
    std::vector<Entry> voice = {E("VOICE", "vol_bgm", volBgm, INT), E("VOICE", "vol_se", volSe, INT),
                                E("VOICE", "vol_voice", volVoice, INT), E("VOICE", "vol_play", volPlay, INT),
                                E("VOICE", "vol_master", volMaster, INT)};
    e.insert(e.end(), voice.begin(), voice.end());
    for (int i = 0; i < 48; ++i)
        e.push_back({"VOICE", "play" + std::string(i < 10 ? "0" : "") + std::to_string(i),
                     offsetof(ConfigBlock, voices) + i * 116, INT, false});
    std::vector<Entry> rest = {
        E("VOICE", "cont_voice", contVoice, INT), E("VOICE", "mute_master", muteMaster, INT),
        E("VOICE", "mute_bgm", muteBgm, INT), E("VOICE", "mute_se", muteSe, INT), E("VOICE", "mute_voice", muteVoice, INT),
        E("VOICE", "mute_play", mutePlay, INT),
        E("MESSAGE", "speed", messageSpeed, INT), E("MESSAGE", "auto_p", autoPreset, INT), E("MESSAGE", "base", messageBase, INT),
        E("MESSAGE", "CHAR", messageChar, INT), E("MESSAGE", "ind", messageInd, INT), E("MESSAGE", "cont", messageCont, INT),
        E("MESSAGE", "still", messageStill, INT), E("MESSAGE", "waitpcm", waitPcm, INT),
        E("MESSAGE", "skip_full", skipFull, INT), E("MESSAGE", "log_limit", logLimit, INT),
        E("MESSAGE", "ctrlmode", ctrlMode, INT), E("MESSAGE", "autoleft", autoLeft, INT),
        E("EFFECT", "speed", effectSpeed, INT), E("EFFECT", "skipdraw", skipDraw, INT), E("EFFECT", "help", effectHelp, INT),
        E("EFFECT", "auto_c", autoC, INT), E("EFFECT", "auto_cd", autoCd, INT), E("EFFECT", "auto_cds", autoCds, INT),
        E("EFFECT", "dramatic", dramatic, INT), E("EFFECT", "skipmot", skipMot, INT),
        E("GAME", "wndcolor", wndColor, INT), E("GAME", "enabledrag", enableDrag, INT), E("GAME", "drawwnd", drawWindow, INT),
    };
    e.insert(e.end(), rest.begin(), rest.end());
    for (int i = 0; i < 48; ++i)
        e.push_back({"SYSTEMVOICE", "play" + std::string(i < 10 ? "0" : "") + std::to_string(i),
                     offsetof(ConfigBlock, systemVoicePlay) + i * 4, INT, false});
    std::vector<Entry> last = {
        E("MESSAGE", "enable_read", enableRead, INT), E("MESSAGE", "read_color", readColor, INT),
        E("MESSAGE", "skipspeed", skipSpeed, INT), E("MESSAGE", "contskip", contSkip, INT), E("MESSAGE", "wipe", wipe, INT),
        E("MESSAGE", "enable_read_sel", enableReadSel, INT),
        E("GAME", "autoselect", autoSelect, INT), E("GAME", "always_active", alwaysActive, INT),
        E("GAME", "enable_scene_anm", enableSceneAnm, INT), E("GAME", "use_scene_skip", useSceneSkip, INT),
        E("GAME", "use_jtalk", useJtalk, INT),
    };
    e.insert(e.end(), last.begin(), last.end());
    return e;
}

bool IsKeyByte(const Entry& e)
{
    return e.section == "KEY" && e.key != "enable_joypad";
}

// A distinct value per entry, stored into the record; the text the writer should give it.
std::string Store(ConfigBlock* b, const Entry& e, int i)
{
    char* p = reinterpret_cast<char*>(b) + e.offset;
    char text[64];
    if (IsKeyByte(e)) {
        *reinterpret_cast<uint8_t*>(p) = (uint8_t)(i % 200 + 20);
        snprintf(text, sizeof text, "%d", i % 200 + 20);
    } else if (e.kind == U16) {
        uint16_t v = (uint16_t)(600 + i);
        memcpy(p, &v, 2);
        snprintf(text, sizeof text, "%d", v);
    } else if (e.kind == INT) {
        int32_t v = e.key == "wndcolor" ? (int32_t)0x80FF0102 : -1000 - i;
        memcpy(p, &v, 4);
        snprintf(text, sizeof text, "%d", v);
    } else if (e.kind == FLT) {
        float v = 1.5f + (float)i;
        memcpy(p, &v, 4);
        snprintf(text, sizeof text, "%f", v);
    } else {
        std::wstring w = L"テキスト" + std::to_wstring(i);
        wcscpy(reinterpret_cast<wchar_t*>(p), w.c_str());
        snprintf(text, sizeof text, u8"テキスト%d", i);
    }
    return text;
}

struct Node {
    std::string name, text;
    std::vector<Node> children;
};

Node* Child(Node& n, const std::string& name)
{
    for (Node& c : n.children)
        if (c.name == name) return &c;
    n.children.push_back({name, "", {}});
    return &n.children.back();
}

// Each level written from its last created element to its first.
void Print(const Node& n, int depth, std::string* out)
{
    std::string pad((size_t)depth * 2, ' ');
    if (n.children.empty()) {
        *out += pad + "<" + n.name + ">" + n.text + "</" + n.name + ">\r\n";
        return;
    }
    *out += pad + "<" + n.name + ">\r\n";
    for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) Print(*it, depth + 1, out);
    *out += pad + "</" + n.name + ">\r\n";
}

std::string Golden(const std::vector<Entry>& entries, const std::vector<std::string>& texts)
{
    Node doc{"document", "", {}};
    for (size_t i = 0; i < entries.size(); ++i) {
        Node* n = Child(doc, entries[i].section);
        std::string key = entries[i].key;
        for (size_t slash; (slash = key.find('/')) != std::string::npos; key = key.substr(slash + 1))
            n = Child(*n, key.substr(0, slash));
        Child(*n, key)->text = texts[i];
    }
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    Print(doc, 0, &out);
    return out;
}

const char kSaveHere[] = "<FOLDER><save>save</save></FOLDER>";

TEST(UserSettings, WrittenInTheFormatsOrderAndReadBack)
{
    ConfigFolder folder;
    folder.Write(L"config\\startup.xml", XmlDoc(kSaveHere));
    kcCreateConfig(nullptr, nullptr, 0);
    ConfigBlock* b = kcConfigCurrentBlock;
    wcscpy(b->keyNames[3], L"k3");
    wcscpy(b->keyNames[70], L"k70");
    b->keys[5].keyboard[0] = 99; // an unnamed row is not written
    std::vector<Entry> entries = WriteOrder(*b);
    std::vector<std::string> texts;
    for (size_t i = 0; i < entries.size(); ++i) texts.push_back(Store(b, entries[i], (int)i));
    ConfigBlock written;
    memcpy(&written, b, sizeof written);
    kcConfig::Instance()->SaveUserSettings(0);
    std::string bytes;
    ASSERT_TRUE(ReadBytes(folder.File(L"save\\setup.xml"), &bytes));
    EXPECT_EQ(Golden(entries, texts), bytes);

    // Read back by a new object: every field that both sides handle returns.
    kcReleaseConfig();
    kcCreateConfig(nullptr, nullptr, 0);
    b = kcConfigCurrentBlock;
    wcscpy(b->keyNames[3], L"k3");
    wcscpy(b->keyNames[70], L"k70");
    ConfigBlock before;
    memcpy(&before, b, sizeof before);
    TestModes modes({1920, 1080, 60, 22}, {{written.fullWidth, written.fullHeight, 59, 22}});
    kcConfig::Instance()->LoadUserSettings(0);
    for (const Entry& e : entries) {
        if (e.section == "language") continue; // clamped: below
        const ConfigBlock& expected = e.writeOnly ? before : written;
        if (e.kind == TXT) {
            EXPECT_STREQ(reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(b) + e.offset),
                         reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(&expected) + e.offset))
                << e.section << "/" << e.key;
            continue;
        }
        size_t size = e.kind == U16 ? 2 : IsKeyByte(e) ? 1 : 4;
        EXPECT_EQ(0, memcmp(reinterpret_cast<const char*>(b) + e.offset,
                            reinterpret_cast<const char*>(&expected) + e.offset, size))
            << e.section << "/" << e.key;
    }
    EXPECT_EQ(b->keys[5].keyboard[0], 0);
    // No language table: the indexes fall back to the default index.
    EXPECT_EQ(b->languageUI, 0);
    EXPECT_EQ(b->languageMain, 0);
    EXPECT_EQ(b->languageSub, 0);
    // Full screen set: the size in use is the full-screen size; the current size the window's.
    EXPECT_EQ(b->useWidth, written.fullWidth);
    EXPECT_EQ(b->currentWidth, written.width);
    EXPECT_EQ(b->currentHeight, written.height);
    // Effective volumes follow: unsigned arithmetic of the category and master volumes.
    EXPECT_EQ(b->effectiveVolumes[0], (int32_t)((unsigned)written.volBgm * (unsigned)written.volMaster / 100u));
}

TEST(UserSettings, ReadingRules)
{
    ConfigFolder folder;
    folder.Write(L"config\\startup.xml",
                 XmlDoc(std::string(kSaveHere) + "<language><L00><code>7</code><prefix>a</prefix></L00><L01><code>8</code>"
                        "<prefix>b</prefix></L01><L02><code>9</code><prefix>c</prefix></L02><default>2</default></language>"));
    std::wstring face63(63, L'x'), face64(64, L'y');
    std::string face63u(63, 'x'), face64u(64, 'y');
    folder.Write(L"save\\setup.xml",
                 XmlDoc("<FONT><face>" + face63u + "</face><faceruby>" + face64u + "</faceruby></FONT>"
                        "<language><id><UI>7</UI><main>1</main><sub>-1</sub></id></language>"
                        "<WINDOW><width>640</width><full_width>1234</full_width><full_height>567</full_height></WINDOW>"
                        "<KEY><kb1_01>5</kb1_01></KEY>"));
    kcCreateConfig(nullptr, nullptr, 0);
    ConfigBlock* b = kcConfigCurrentBlock;
    TestModes modes({1920, 1080, 60, 22}, {{1280, 720, 60, 22}});
    kcConfig::Instance()->LoadUserSettings(0);
    EXPECT_EQ(face63, b->fontFace);
    EXPECT_STREQ(b->fontFaceRuby, L""); // 64 characters do not fit: the field stays
    EXPECT_EQ(b->languageUI, 2);        // beyond the table: the default index
    EXPECT_EQ(b->languageMain, 1);
    EXPECT_EQ(b->languageSub, -1);
    EXPECT_EQ(b->width, 640);
    EXPECT_EQ(b->fullWidth, 800); // no display mode of 1234 x 567
    EXPECT_EQ(b->fullHeight, 600);
    EXPECT_EQ(b->keys[1].keyboard[0], 0); // row 1 has no name

    // A sub index out of range falls back too; no "setup.xml" leaves the record alone.
    folder.Write(L"save\\setup.xml", XmlDoc("<language><id><sub>5</sub></id></language>"));
    kcConfig::Instance()->LoadUserSettings(0);
    EXPECT_EQ(b->languageSub, 2);
    DeleteFileW(folder.File(L"save\\setup.xml").c_str());
    ConfigBlock before;
    memcpy(&before, b, sizeof before);
    EXPECT_EQ(0, kcConfig::Instance()->ReadUserSettings(3));
    EXPECT_EQ(0, memcmp(&before, b, sizeof before));
    EXPECT_EQ(0, kcConfig::Instance()->ReadGameDefaults()); // no file server, no archive
}

TEST(UserSettings, FailedSaveKeepsTheOldFile)
{
    ConfigFolder folder;
    folder.Write(L"config\\startup.xml", XmlDoc(kSaveHere));
    kcCreateConfig(nullptr, nullptr, 0);
    std::wstring path = folder.File(L"save\\setup.xml");
    ASSERT_TRUE(WriteBytes(path, "old settings"));
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    kcConfig::Instance()->SaveUserSettings(0);
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
    kcConfig::Instance()->SaveUserSettings(0);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
