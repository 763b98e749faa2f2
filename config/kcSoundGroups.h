#pragma once
// The sound-group tree: a master node and top-level parts with children, each with volumes and
// play and mute switches whose defaults come from a definition file and whose user values live
// in a file of the same name in the save folder. Sounds find their node by file-name prefix.
#include <map>
#include <string>
#include <vector>

struct SoundGroupNode {
    std::string element;   // lower-cased; "MASTER" for the master
    std::string name;
    int id = -1;
    std::string type;
    std::string head;      // lower-cased
    int group = -1;
    std::string archive;   // "int": name of the INT row of the node's files
    int mastervol = -1;
    int volume = -1, play = -1, sysplay = -1, voicevol = -1, mute = 0, voicemute = 0, skipvol = -1;
    int sameid = 0;
    int curVolume = -1, curPlay = -1, curSysplay = -1, curVoicevol = -1, curSkipvol = -1, curMute = 0,
        curVoicemute = 0;
    std::vector<SoundGroupNode> children;
};

struct SoundGroupDefinition {
    int id = -1;
    std::string comment;
    std::string label;
    std::string type;
    int min = -1;
    int max = -1;
};

class kcXml;

class kcSoundGroupTree {
public:
    kcSoundGroupTree();
    virtual ~kcSoundGroupTree();

    // The definition named by SOUNDCONFIG, resolved in the file server's "config" group.
    bool OpenSoundGroups();
    int IsSoundGroupLoaded() const { return m_soundLoaded; }
    // A definition that cannot be read whole (missing, empty, malformed, larger than the XML
    // reader takes, no memory), or whose tree would have more nodes than the file has elements
    // (same-named siblings repeat a subtree) or texts of more than a few times its bytes, is
    // refused: the tree is left empty and the loaded flag 0, so nothing is written back.
    void ReadSoundGroups(const wchar_t* path);
    int WriteSoundGroups();
    const std::wstring& GetSoundGroupName() const { return m_soundName; }

#define KC_SOUND_VALUE_OPS(V)                                        \
    int Get##V##ById(int id) const;                                  \
    int Get##V##ByPath(const std::vector<int>& ids) const;           \
    void Set##V##ById(int value, int id);                            \
    void Set##V##ByPath(int value, const std::vector<int>& ids);     \
    void Set##V##ByName(int value, const char* name);                \
    void Set##V##ByType(int value, const char* type);
    KC_SOUND_VALUE_OPS(Volume)
    KC_SOUND_VALUE_OPS(Play)
    KC_SOUND_VALUE_OPS(SysPlay)
    KC_SOUND_VALUE_OPS(VoiceVol)
    KC_SOUND_VALUE_OPS(SkipVol)
    KC_SOUND_VALUE_OPS(Mute)
#undef KC_SOUND_VALUE_OPS
    void SetVoiceMuteByName(int value, const char* name);

    int GetMasterVolume() const { return m_master.curVolume; }
    int GetMasterPlay() const { return m_master.curPlay; }
    int GetMasterSysPlay() const { return m_master.curSysplay; }
    int GetMasterMute() const { return m_master.curMute == -1 ? 0 : m_master.curMute; }
    void SetMasterVolume(int value);
    void SetMasterPlay(int value);
    void SetMasterSysPlay(int value);
    void SetMasterMute(int value);
    void ResetMaster();

    const SoundGroupNode* FindByHead(const char* text) const;
    const SoundGroupNode* FindByType(const char* text) const;
    const SoundGroupNode* FindByName(const char* text) const;
    int GetVolumeByHead(const char* t) const;
    int GetPlayByHead(const char* t) const;
    int GetSysPlayByHead(const char* t) const;
    int GetMasterVolByHead(const char* t) const;
    int GetVoiceVolByHead(const char* t) const;
    int GetSkipVolByHead(const char* t) const;
    int GetMuteByHead(const char* t) const;
    int GetSameIdByHead(const char* t) const;
    int GetIdByHead(const char* t) const;
    int GetVolumeByType(const char* t) const;
    int GetPlayByType(const char* t) const;
    int GetSysPlayByType(const char* t) const;
    int GetMasterVolByType(const char* t) const;
    int GetVoiceVolByType(const char* t) const;
    int GetSkipVolByType(const char* t) const;
    int GetMuteByType(const char* t) const;
    int GetVolumeByName(const char* t) const;
    int GetPlayByName(const char* t) const;
    int GetSysPlayByName(const char* t) const;
    int GetMasterVolByName(const char* t) const;
    int GetVoiceVolByName(const char* t) const;
    int GetSkipVolByName(const char* t) const;
    int GetMuteByName(const char* t) const;
    int GetVoiceMuteByName(const char* t) const;

    void ResetSoundGroupById(int id);
    void ResetSoundGroupByPath(const std::vector<int>& ids);
    void ResetSoundGroupByName(const char* name);
    void ResetSoundGroupByType(const char* type);
    void ResetSoundGroups();

    bool GetGroupRange(const char* text, int* min, int* max) const;
    const SoundGroupDefinition* BeginSoundGroupDefinitions();
    const SoundGroupDefinition* NextSoundGroupDefinition();
    const SoundGroupNode* BeginSoundGroupNodes();
    const SoundGroupNode* NextSoundGroupNode();
    int GetEffectiveVolume(const char* groupName, const char* fileName) const;
    int GetEffectiveVoiceVolume(const char* groupName, const char* fileName) const;

    const std::vector<SoundGroupNode>& GetSoundGroupParts() const { return m_parts; }

protected:
    // The folder that holds the user values file (the record's save folder).
    virtual const wchar_t* SoundGroupSaveFolder() const = 0;
    int m_dirty;
    int m_soundLoaded;
    std::wstring m_soundName;

private:
    bool ReadDefinition(const wchar_t* path);
    void ClearSoundGroups();
    std::map<int, SoundGroupDefinition> m_definitions;
    std::vector<SoundGroupNode> m_parts;
    SoundGroupNode m_master;
    std::map<int, SoundGroupDefinition>::const_iterator m_definitionCursor;
    std::vector<const SoundGroupNode*> m_flat;
    size_t m_flatCursor;
};
