#include "config/kcConfig.h"

#include <windows.h>

#include <cstring>

#include "config/kcConfigReader.h"
#include "config/kcPathMacros.h"
#include "foundation/kcDDE.h"
#include "foundation/kcFile.h"
#include "foundation/kcFileServer.h"
#include "foundation/kcFolder.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include "foundation/kcXml.h"

ConfigBlock* kcConfigCurrentBlock = nullptr;
ConfigBlock* kcConfigBackupBlock = nullptr;

namespace {

kcConfig* g_config = nullptr;

// The special folder, else the current folder.
void FolderOrCurrent(unsigned kind, wchar_t* out)
{
    if (!kcGetSpecialFolder(kind, out)) {
        DWORD n = GetCurrentDirectoryW(260, out);
        if (n == 0 || n >= 260) out[0] = 0;
    }
}

bool EqualsNoCase(const char* a, const char* b)
{
    return _stricmp(a, b) == 0;
}

// Case-insensitive (ASCII) equality of a text and a fixed narrow field that may lack its terminator.
bool FieldEqualsNoCase(const char* field, size_t fieldBytes, const char* text)
{
    std::string f(field, strnlen(field, fieldBytes));
    return _stricmp(f.c_str(), text) == 0;
}

// Lower-cases ASCII letters and leaves Shift_JIS double-byte characters alone.
std::string LowerSjis(const char* text)
{
    std::string s(text ? text : "");
    for (size_t i = 0; i < s.size(); ++i) {
        if (kcIsSjisLead(&s[i]) && i + 1 < s.size()) {
            ++i;
            continue;
        }
        if (s[i] >= 'A' && s[i] <= 'Z') s[i] = (char)(s[i] - 'A' + 'a');
    }
    return s;
}

// The folder part (before the last '\' or '/') and the name part, Shift_JIS-aware.
void SplitFile(const char* file, std::string* folder, std::string* name)
{
    std::string s(file ? file : "");
    size_t cut = std::string::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        if (kcIsSjisLead(&s[i]) && i + 1 < s.size()) {
            ++i;
            continue;
        }
        if (s[i] == '\\' || s[i] == '/') cut = i;
    }
    if (cut == std::string::npos) {
        folder->clear();
        *name = s;
    } else {
        *folder = s.substr(0, cut);
        *name = s.substr(cut + 1);
    }
}

std::string WithoutExtension(const std::string& s)
{
    size_t dot = s.find_last_of('.');
    size_t sep = s.find_last_of("\\/");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return s;
    return s.substr(0, dot);
}

} // namespace

kcConfig* kcConfig::Instance()
{
    return g_config;
}

kcConfig::kcConfig(const wchar_t* startupPath, const wchar_t* settingsName, int ddeMode)
    : m_current(new ConfigBlock()), m_backup(new ConfigBlock()), m_ddeMode(0)
{
    // 1-3: empty containers, paths, a zero record.
    g_config = this;
    kcCopyStringWN(m_startupPath, 260, startupPath ? startupPath : L"config\\startup.xml");
    kcCopyStringWN(m_settingsName, 260, settingsName ? settingsName : L"setup.xml");
    memset(m_current, 0, sizeof(ConfigBlock));
    memset(m_backup, 0, sizeof(ConfigBlock));
    m_dirty = 0;
    m_soundLoaded = 0;
    m_ddeMode = ddeMode;
    // 4-6: defaults, the game definition, the voice dictionary.
    SetStartupDefaults();
    ReadStartupXml();
    ReadVoiceDictionary();
    // 7: "config\vcode.dat", taken only whole and only when it fits its 256 bytes.
    wchar_t folder[260], path[260];
    DWORD n = GetCurrentDirectoryW(260, folder);
    if (n > 0 && n < 260 && kcJoinPathN(path, 260, 2, folder, L"config\\vcode.dat") > 0) {
        kcFile file;
        if (file.Open(path, KCFILE_READ | KCFILE_OPEN_EXISTING)) {
            char buffer[257];
            memset(buffer, 0, sizeof buffer);
            int size = file.GetSize();
            if (size >= 0 && size <= 256) {
                int got = file.Read(buffer, size);
                if (got == size) memcpy(m_current->vCode, buffer, sizeof buffer); // terminated: 257 bytes
            } else {
                kcLog("config\\vcode.dat : %d bytes is too long, ignored", size);
            }
            file.Close();
        }
    }
    // 8-9: the backup, the save folder.
    memcpy(m_backup, m_current, sizeof(ConfigBlock));
    if (!m_current->dontSave && wcscmp(m_current->saveFolder, L"%STEAMUSERDATA%") != 0)
        kcCreateFolders(m_current->saveFolder, 0);
    if (!kcFileServer::GetResolver()) kcFileServer::SetResolver(this);
}

kcConfig::~kcConfig()
{
    // A peer's later request must not reach a freed record.
    if (kcDDE* dde = kcDDE::Instance()) dde->WithdrawItems(this);
    if (kcFileServer::GetResolver() == this) kcFileServer::SetResolver(nullptr);
    ReleaseOwnedPointers();
    if (g_config == this) g_config = nullptr;
    delete m_current;
    delete m_backup;
}

void kcConfig::ReleaseOwnedPointers()
{
    delete m_current->scriptReplace;
    m_current->scriptReplace = nullptr;
    delete m_current->languages;
    m_current->languages = nullptr;
}

void kcCreateConfig(const wchar_t* startupPath, const wchar_t* settingsName, int ddeMode)
{
    if (g_config) {
        kcLog("kcCreateConfig : the configuration object exists already");
        return;
    }
    // A constructor that fails (only the standard library's allocation errors can arise) has
    // freed the object after registering it: no object is left, and no pointer to it.
    kcConfig* c = nullptr;
    try {
        c = new kcConfig(startupPath, settingsName, ddeMode);
    } catch (...) {
        g_config = nullptr;
        kcLog("kcCreateConfig : the configuration object could not be made");
        return;
    }
    kcConfigCurrentBlock = c->GetBlock();
    kcConfigBackupBlock = c->GetBackupBlock();
}

void kcReleaseConfig()
{
    delete g_config;
    g_config = nullptr;
    kcConfigCurrentBlock = nullptr;
    kcConfigBackupBlock = nullptr;
}

// ---- defaults ----

void kcConfig::SetStartupDefaults()
{
    ReleaseOwnedPointers();
    ConfigBlock* b = m_current;
    memset(b, 0, sizeof(ConfigBlock));
    b->scriptReplace = new kcScriptReplaceMap();
    b->languages = new kcLanguageTable();

    kcCopyStringAN(b->vCode, sizeof b->vCode, "GX7V0001");
    b->virtualWidth = 800;
    b->virtualHeight = 600;
    b->windowSizes[0] = {800, 600};
    kcCopyStringWN(b->brand, 260, L"ほのかぜ");
    kcCopyStringWN(b->title, 260, L"GX7");
    b->heap = 0x40000;
    b->cursorChange = 1;
    wchar_t appData[260];
    if (!kcGetSpecialFolder(KCFOLDER_APPDATA, appData)) appData[0] = 0;
    kcJoinPathN(b->saveFolder, 260, 3, appData, L"ほのかぜ", L"gx7");
    kcJoinPathN(b->imageLibFolder, 260, 4, appData, L"ほのかぜ", L"gx7", L"imglib");
    for (int& need : b->intNeed) need = -1;
    kcCopyStringWN(b->defaultFolder, 260, L".");
    b->textureSizeX = 256;
    b->textureSizeY = 256;
    for (kcTextureArea& a : b->textureAreas) a = {-1, -1, -1, -1};
    for (int& button : b->configButtons) button = 1;
    b->configAutoSelect = 1;
    kcCopyStringAN(b->startScript, sizeof b->startScript, "main.kcs");
    b->maxBackBuffers = 2;
    b->gameEnableDrag = 1;
    b->strFrameCount = 10;
    b->strFrameFrame = 5;
    b->autoFrameCount = 10;
    static const kcAutoPreset presets[10] = {{5, 7},   {7, 8},   {8, 8},   {12, 7},  {15, 5},
                                             {16, 9},  {17, 12}, {21, 11}, {25, 10}, {29, 10}};
    memcpy(b->autoPresets, presets, sizeof presets);
    kcCopyStringAN(b->sceneCurrent, 260, "scene");
    kcCopyStringAN(b->sceneCommand, 260, "mc.exe");
    kcCopyStringAN(b->sceneParam, 260, "*.txt");
    b->logType = 1;
    b->logCol = 40;
    b->logProf = 4;
    b->logNameLine = 1;
    b->logIndent = 1;
    b->logDispMes = 1;
    b->logDispName = 1;
    b->logEscape = 1;
    b->wndMenu = 1;
    b->flagMax = 1024;
    for (int i = 0; i < 8; ++i) {
        b->flagLocal[i] = i == 0 ? kcFlagRange{0, 512} : kcFlagRange{-1, -1};
        b->flagGlobal[i] = i == 0 ? kcFlagRange{512, 512} : kcFlagRange{-1, -1};
    }
    kcCopyStringWN(b->infoFile, 260, L"info.txt");
    b->enableSub = 1;
    b->ttsVolume = 1.0;
    SetSystemPartDefaults();
    SetUserPartDefaults();
}

void kcConfig::SetSystemPartDefaults()
{
    ConfigBlock* b = m_current;
    b->setMode = 0;
    b->width = b->fullWidth = b->useWidth = 800;
    b->height = b->fullHeight = b->useHeight = 600;
    b->fullWide = 0;
    b->limit = 1;
    b->fps = 60;
    b->cursorMode = 1;
    b->textureBpp = 32;
    b->filterMin = b->filterMag = 0;
    b->dither = 1;
    b->sound3d = 0;
    b->sticky = 1;
    b->stereo = 1;
    b->imageCache = 32;
    b->screenSaver = b->camouflage = b->gdiCap = b->z32 = 0;
    b->useZ = 1;
    b->outInfo = 1;
    b->fileCache = 1;
    FolderOrCurrent(KCFOLDER_PICTURES, b->pictureFolder);
    FolderOrCurrent(KCFOLDER_DOCUMENTS, b->exportFolder);
    FolderOrCurrent(KCFOLDER_PICTURES, b->imageImportFolder);
    b->windowMode = b->fullScreen = 0;
    b->windowBpp = -1;
    b->hardTnL = b->backBuffer = b->light = b->vsync = 1;
    b->antialias = 0;
    b->fogType = 1;
    b->texSize = b->texComp = 0;
    b->maxBackBufferSize = -1;
    b->dualCore = 1;
    b->disableMovie = b->disablePixelShader = 0;
    b->fullSize = b->fullPos = b->mwPos = 0;
    b->wall = 1;
    b->waitD3dCommand = b->noFullRes = 0;
    b->languageUI = b->languageMain = 0;
    b->languageSub = -1;
    b->ttsId[0] = 0;
    b->ttsSpeed = 1.0f;
    b->ttsTone = 0.0f;
}

void kcConfig::SetUserPartDefaults()
{
    ConfigBlock* b = m_current;
    b->configType = 0;
    b->dragWindow = 1;
    kcCopyStringWN(b->fontFace, 64, L"ＭＳ ゴシック");
    b->fontFaceRuby[0] = 0;
    b->shadowAround = b->shadowRightDown = 1;
    b->fontBold = 0;
    b->fontProportional = 1;
    b->fontFixed = 0;
    b->enableJoypad = 0;
    memset(b->keyNames, 0, sizeof b->keyNames);
    memset(b->keys, 0, sizeof b->keys);
    memset(b->effectiveVolumes, 0, sizeof b->effectiveVolumes);
    b->contVoice = 1;
    for (kcVoiceRow& v : b->voices) {
        memset(&v, 0, sizeof v);
        v.play = 1;
        v.masterVol = 100;
        v.group = 100;
    }
    b->volMaster = b->volBgm = b->volSe = b->volVoice = b->volPlay = 100;
    b->muteMaster = b->muteBgm = b->muteSe = b->muteVoice = b->mutePlay = 0;
    b->messageSpeed = 4;
    b->autoPreset = 4;
    b->messageInd = 0;
    b->messageBase = 15; // preset p04, the default MESSAGE/auto_p
    b->messageChar = 5;
    b->messageStill = 1;
    b->messageCont = 0;
    b->waitPcm = 1;
    b->skipFull = 0;
    b->logLimit = 100;
    b->enableRead = 0;
    b->readColor = -1;
    b->skipSpeed = b->contSkip = b->wipe = b->ctrlMode = b->autoLeft = b->enableReadSel = 0;
    b->effectSpeed = b->skipDraw = 0;
    b->effectHelp = b->autoC = b->autoCd = 1;
    b->autoCds = 5;
    b->dramatic = b->skipMot = 0;
    b->wndColor = 0xFFFFFFFFu;
    b->enableDrag = b->drawWindow = 1;
    memset(b->systemVoiceNames, 0, sizeof b->systemVoiceNames);
    for (int& p : b->systemVoicePlay) p = 1;
    memset(b->systemVoiceArchives, 0, sizeof b->systemVoiceArchives);
    b->autoSelect = 0;
    b->alwaysActive = b->enableSceneAnm = 1;
    b->useSceneSkip = b->useJtalk = 0;
}

// ---- files ----

bool kcConfig::IsTextWhole(const kcSetting* s) const
{
    for (const kcSetting* cut : m_cutTexts)
        if (cut == s) return false;
    return true;
}

void kcConfig::MarkTextWhole(const kcSetting* s, bool whole)
{
    for (size_t i = 0; i < m_cutTexts.size(); ++i)
        if (m_cutTexts[i] == s) {
            if (whole) m_cutTexts.erase(m_cutTexts.begin() + (long)i);
            return;
        }
    if (!whole) m_cutTexts.push_back(s);
}

void kcConfig::GetSettingsPath(wchar_t* out) const
{
    if (!kcJoinPathN(out, 260, 2, m_current->saveFolder, m_settingsName)) out[0] = 0;
}

void kcConfig::LoadDefaults()
{
    ReadGameDefaults();
    memcpy(m_backup, m_current, sizeof(ConfigBlock));
    UpdateEffectiveVolumes();
}

void kcConfig::LoadUserSettings(int)
{
    ReadUserSettings(3);
    UpdateEffectiveVolumes();
}

void kcConfig::SaveUserSettings(int)
{
    if (m_current->dontSave) return;
    WriteUserSettings(3);
    if (m_soundLoaded) WriteSoundGroups();
}

ConfigBlock* kcConfig::GetBlock(void* dst)
{
    if (dst) memcpy(dst, m_current, sizeof(ConfigBlock));
    return m_current;
}

ConfigBlock* kcConfig::GetBackupBlock(void* dst)
{
    if (dst) memcpy(dst, m_backup, sizeof(ConfigBlock));
    return m_backup;
}

const wchar_t* kcConfig::SoundGroupSaveFolder() const
{
    return m_current->saveFolder;
}

// ---- volumes, archives, voices ----

void kcConfig::UpdateEffectiveVolumes()
{
    ConfigBlock* b = m_current;
    const int32_t* category[4] = {&b->volBgm, &b->volSe, &b->volVoice, &b->volPlay};
    for (int i = 0; i < 4; ++i)
        b->effectiveVolumes[i] = (int32_t)((unsigned)*category[i] * (unsigned)b->volMaster / 100u);
}

int kcConfig::GetCategoryVolume(const char* category) const
{
    const ConfigBlock* b = m_current;
    if (b->muteMaster) return 0;
    if (!category) return 100;
    if (EqualsNoCase(category, "bgm")) return b->muteBgm ? 0 : b->effectiveVolumes[0];
    if (EqualsNoCase(category, "se")) return b->muteSe ? 0 : b->effectiveVolumes[1];
    if (EqualsNoCase(category, "voice") || EqualsNoCase(category, "sysvoice"))
        return b->muteVoice ? 0 : b->effectiveVolumes[2];
    return 100;
}

int kcConfig::IsCategoryMuted(const char* category) const
{
    const ConfigBlock* b = m_current;
    if (b->muteMaster) return 1;
    if (!category) return 0;
    if (EqualsNoCase(category, "bgm")) return b->muteBgm != 0;
    if (EqualsNoCase(category, "se")) return b->muteSe != 0;
    if (EqualsNoCase(category, "voice") || EqualsNoCase(category, "sysvoice")) return b->muteVoice != 0;
    return 0;
}

const kcSoundGroupRow* kcConfig::FindSoundGroupRow(int id) const
{
    for (const kcSoundGroupRow& r : m_current->soundGroups)
        if (r.id == id) return &r;
    return nullptr;
}

const kcSoundGroupRow* kcConfig::FindSoundGroupRowOfFile(const char* file) const
{
    int group = GetVoiceGroup(file);
    return group == -1 ? nullptr : FindSoundGroupRow(group);
}

int kcConfig::GetFileVolume(const char* file) const
{
    if (m_current->muteMaster) return 0;
    const kcSoundGroupRow* row = FindSoundGroupRowOfFile(file);
    if (!row) return 100;
    std::string type(row->type, strnlen(row->type, sizeof row->type));
    return GetCategoryVolume(type.c_str()); // another type gives 100 there too
}

// The voice row whose archive is the file's folder (its extension cut); the name part goes to name.
static int VoiceRowOfFolder(const ConfigBlock* b, const char* file, std::string* name)
{
    std::string folder;
    SplitFile(file, &folder, name);
    if (folder.empty()) return -1;
    std::string archive = WithoutExtension(folder);
    for (int i = 0; i < 48; ++i)
        if (FieldEqualsNoCase(b->voices[i].archive, sizeof b->voices[i].archive, archive.c_str())) return i;
    return -1;
}

int kcConfig::FindVoiceRow(const char* file) const
{
    if (!file) return -1;
    std::string name;
    int row = VoiceRowOfFolder(m_current, file, &name);
    if (row >= 0) return row;
    std::string lower = LowerSjis(file);
    for (int i = 0; i < 48; ++i) {
        const kcVoiceRow& v = m_current->voices[i];
        size_t n = strnlen(v.head, sizeof v.head);
        if (n > 0 && lower.size() >= n && memcmp(lower.data(), v.head, n) == 0) return i;
    }
    return -1;
}

int kcConfig::GetVoiceGroup(const char* file) const
{
    if (!file) return -1;
    std::string name;
    int row = VoiceRowOfFolder(m_current, file, &name);
    if (row < 0) row = FindVoiceRow(name.c_str());
    return row < 0 ? -1 : m_current->voices[row].group;
}

int kcConfig::IsVoicePlayed(const char* file) const
{
    int row = FindVoiceRow(file);
    return row < 0 ? 0 : m_current->voices[row].play;
}

int kcConfig::GetVoiceMasterVolume(const char* file) const
{
    int row = FindVoiceRow(file);
    return row < 0 ? 0 : m_current->voices[row].masterVol;
}

int kcConfig::FindArchiveIndex(const char* group, const char* file) const
{
    if (!group) return -1;
    std::string wanted;
    if (!EqualsNoCase(group, "sound")) {
        wanted = group;
    } else if (m_soundLoaded) {
        const SoundGroupNode* node = FindByHead(file ? file : "");
        if (!node) return -1;
        wanted = node->archive;
    } else {
        int row = FindVoiceRow(file);
        if (row < 0) return -1;
        const kcVoiceRow& v = m_current->voices[row];
        wanted.assign(v.archive, strnlen(v.archive, sizeof v.archive));
    }
    for (int i = 0; i < 128; ++i) {
        const kcIntRow& r = m_current->intRows[i];
        if (FieldEqualsNoCase(r.name, sizeof r.name, wanted.c_str())) return i;
    }
    return -1;
}

int kcConfig::PreopenEnabled()
{
    return m_current->fileCache;
}

int kcConfig::FindArchiveRow(const char* group, const char* sjisName, std::string* dir, std::string* ext)
{
    int i = FindArchiveIndex(group, sjisName);
    if (i < 0) return 0;
    const kcIntRow& r = m_current->intRows[i];
    // The record holds UTF-8; the server works in Shift_JIS. Either goes into a path, so it is
    // taken only when it converts whole both ways.
    const char* fields[2] = {r.dir, r.ext};
    const size_t sizes[2] = {sizeof r.dir, sizeof r.ext};
    std::string* outs[2] = {dir, ext};
    for (int k = 0; k < 2; ++k) {
        wchar_t wide[260];
        char sjis[520];
        size_t n = strnlen(fields[k], sizes[k]);
        if (n == sizes[k] || !kcUtf8ToWideWhole(fields[k], n, wide, 260, nullptr) ||
            !kcWideToSjisWhole(wide, sjis, sizeof sjis)) {
            kcLog("kcConfig : the folder or extension of archive row %d has no whole Shift_JIS form", i);
            return 0;
        }
        if (outs[k]) *outs[k] = sjis;
    }
    return 1;
}

int kcConfig::ApplyScriptReplacements(char* output, int outBytes, const char* input) const
{
    if (!output || outBytes <= 0) return 0;
    int whole = kcCopyStringAN(output, outBytes, input ? input : "");
    if (!m_current->scriptReplace) return whole;
    for (const auto& pair : m_current->scriptReplace->pairs) {
        if (pair.first.empty()) continue; // an empty text to find would never advance
        std::string temp(output);
        if (kcReplaceAllAN(output, outBytes, temp.c_str(), pair.first.c_str(), pair.second.c_str()) < 0) whole = 0;
    }
    return whole;
}
