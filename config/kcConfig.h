#pragma once
// The process's one configuration object: the settings record and its backup, filled from the
// defaults, the game definition "config\startup.xml", the voice dictionary and "config\vcode.dat";
// the user's "setup.xml" read and written on request; archive, volume, voice and language
// questions answered from the record.
#include <string>
#include <vector>

#include "config/ConfigBlock.h"
#include "config/kcLanguage.h"
#include "config/kcScriptReplaceMap.h"
#include "config/kcSoundGroups.h"
#include "foundation/kcFileServer.h"

class kcXml;
struct kcSetting;
struct kcSettingStep;

class kcConfig : public kcSoundGroupTree, public kcFileServerResolver {
public:
    // Null paths: "config\startup.xml" and "setup.xml". ddeMode 2 lets FetchFromDde work.
    kcConfig(const wchar_t* startupPath, const wchar_t* settingsName, int ddeMode);
    ~kcConfig() override;
    kcConfig(const kcConfig&) = delete;
    kcConfig& operator=(const kcConfig&) = delete;

    static kcConfig* Instance();

    // Defaults archive ("config.int/gamedef.xml") into the record, then the record into the backup.
    void LoadDefaults();
    void LoadUserSettings(int unused = 0);
    void SaveUserSettings(int unused = 0);
    // Copy the record into dst when given (82,320 bytes); the record's address.
    ConfigBlock* GetBlock(void* dst = nullptr);
    ConfigBlock* GetBackupBlock(void* dst = nullptr);
    void SetDirty() { m_dirty = 1; }
    int IsDirty() const { return m_dirty; }
    void ClearDirty() { m_dirty = 0; }
    void UpdateEffectiveVolumes();
    void RecalculateVolumes() { UpdateEffectiveVolumes(); }

    // Steps of construction and of the user file; public for the tests and the benchmark.
    void SetStartupDefaults();
    void SetSystemPartDefaults();
    void SetUserPartDefaults();
    void ReadStartupXml();
    int ReadUserSettings(int flags);   // 1 system part, 2 user part; 1 when the file was read
    int WriteUserSettings(int flags);  // 1 when the file was written whole
    int ReadGameDefaults();
    void ReadVoiceDictionary();
    // The path of "setup.xml": the save folder joined with the settings name (260 units).
    void GetSettingsPath(wchar_t* out) const;

    // Archives, volumes, voices.
    int FindArchiveIndex(const char* group, const char* file) const;
    int GetCategoryVolume(const char* category) const;
    int GetFileVolume(const char* file) const;
    int IsCategoryMuted(const char* category) const;
    const kcSoundGroupRow* FindSoundGroupRow(int id) const;
    const kcSoundGroupRow* FindSoundGroupRowOfFile(const char* file) const;
    int FindVoiceRow(const char* file) const;
    int GetVoiceGroup(const char* file) const;
    int IsVoicePlayed(const char* file) const;
    int GetVoiceMasterVolume(const char* file) const;
    // Copies input into output (outBytes with the terminator) and applies every replacement
    // pair; a result that does not fit is cut. 1 when nothing was cut.
    int ApplyScriptReplacements(char* output, int outBytes, const char* input) const;

    // Languages. Outputs hold `units` (or `bytes`) with the terminator; texts that do not fit are cut.
    void GetLanguageCodes(wchar_t* ui, wchar_t* main, wchar_t* sub, int units) const;
    void SetLanguageCodes(const wchar_t* ui, const wchar_t* main, const wchar_t* sub);
    int FindLanguage(const wchar_t* code) const;
    const wchar_t* GetLanguageCode(int index) const;
    int GetLanguageCount() const;
    const LanguageEntry* GetLanguage(int index) const;
    void ExpandLanguageMacro(wchar_t* text, int units) const;
    void ExpandLanguageMacro(char* text, int bytes) const;
    void ExpandMainLanguageMacro(wchar_t* text, int units) const;
    void ExpandMainLanguageMacro(char* text, int bytes) const;
    void GetMainLanguageCode(wchar_t* out, int units) const;
    void GetMainLanguageCode(char* out, int bytes) const;
    void GetSubLanguageCode(wchar_t* out, int units) const;
    void GetSubLanguageCode(char* out, int bytes) const;
    const VoiceDictionaryEntry* FindVoiceDictionaryEntry() const;
    const VoiceDictionaryEntry* GetVoiceDictionaryEntry(int index) const;
    int GetVoiceDictionaryCount() const { return (int)m_voiceDictionary.size(); }

    // Display modes of kcDisplayModeList::Usable().
    int MatchDisplayMode(int* width, int* height) const;
    int HasDisplayMode(int width, int height) const;

    // DDE sharing: 1 serve the record, 2 connect as a client; FetchFromDde takes a trusted peer's record.
    int ShareOverDde(int type);
    int FetchFromDde();

    // kcFileServerResolver
    int PreopenEnabled() override;
    int FindArchiveRow(const char* group, const char* sjisName, std::string* dir, std::string* ext) override;

    const wchar_t* GetStartupPath() const { return m_startupPath; }
    const wchar_t* GetSettingsName() const { return m_settingsName; }
    // Texts shown cut (APP/brand, APP/title) go into paths only when they were read whole.
    bool IsTextWhole(const kcSetting* s) const;
    void MarkTextWhole(const kcSetting* s, bool whole);

protected:
    const wchar_t* SoundGroupSaveFolder() const override;

private:
    friend class kcConfigReader;
    int LanguageIndexFor(int index) const;
    const wchar_t* CodeFor(int index) const;
    void ExpandMacro(wchar_t* text, int units, const wchar_t* token, int index) const;
    void ExpandMacro(char* text, int bytes, const char* token, int index) const;
    void ReleaseOwnedPointers();

    wchar_t m_startupPath[260];
    wchar_t m_settingsName[260];
    ConfigBlock* m_current;  // from the heap: the record is larger than a comfortable member
    ConfigBlock* m_backup;
    int m_ddeMode;
    std::vector<VoiceDictionaryEntry> m_voiceDictionary;
    std::vector<const kcSetting*> m_cutTexts;
};

// Create the object unless one exists (a second call keeps the first); release it.
void kcCreateConfig(const wchar_t* startupPath, const wchar_t* settingsName, int ddeMode);
void kcReleaseConfig();
extern ConfigBlock* kcConfigCurrentBlock;
extern ConfigBlock* kcConfigBackupBlock;

// The item callback of the DDE items "kcConfig_CONFIG" and "kcConfig_PATH".
int __stdcall kcConfigDdeCallback(void* context, const wchar_t* itemName, void** data, unsigned* bytes);
