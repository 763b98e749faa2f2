#include "config/kcSoundGroups.h"

#include <cstring>
#include <functional>
#include <new>

#include "config/kcConfigReader.h"
#include "foundation/kcFileServer.h"
#include "foundation/kcFolder.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include "foundation/kcXml.h"

namespace {

typedef std::vector<std::string> Path;

std::string Lower(const char* text)
{
    std::string s(text ? text : "");
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

Path Extend(const Path& p, const std::string& a)
{
    Path r(p);
    r.push_back(a);
    return r;
}

Path Extend(const Path& p, const std::string& a, const std::string& b)
{
    return Extend(Extend(p, a), b);
}

std::string ReadText(kcXml& xml, const Path& path, const char* key)
{
    std::vector<char> buffer(1024);
    xml.GetStringVec(buffer.data(), (int)buffer.size(), "", Extend(path, key));
    return buffer.data();
}

// Children of path in enumeration order (the last element of the file first).
std::vector<std::string> Children(kcXml& xml, const Path& path)
{
    std::vector<std::string> names;
    kcXmlIterator it;
    if (!xml.FindChildrenVec(&it, path)) return names;
    std::string name;
    while (xml.NextChild(&it, &name)) names.push_back(name);
    return names;
}

void TakeDefaults(SoundGroupNode& n)
{
    n.curVolume = n.volume;
    n.curPlay = n.play;
    n.curSysplay = n.sysplay;
    n.curVoicevol = n.voicevol;
    n.curSkipvol = n.skipvol;
    n.curMute = n.mute;
    n.curVoicemute = n.voicemute;
}

void Reset(SoundGroupNode& n)
{
    n.curVolume = n.volume;
    n.curPlay = n.play;
    n.curSysplay = n.sysplay;
    n.curMute = n.mute;
    n.curVoicevol = n.voicevol;
}

void Inherit(SoundGroupNode& c, const SoundGroupNode& p)
{
    if (c.head.empty()) c.head = p.head;
    if (c.group == -1) c.group = p.group;
    if (c.archive.empty()) c.archive = p.archive;
    int* mine[] = {&c.mastervol, &c.volume, &c.play, &c.sysplay, &c.voicevol, &c.skipvol};
    const int* theirs[] = {&p.mastervol, &p.volume, &p.play, &p.sysplay, &p.voicevol, &p.skipvol};
    for (int i = 0; i < 6; ++i)
        if (*mine[i] == -1) *mine[i] = *theirs[i];
}

// What a tree may still take. Same-named siblings each read the one element that their path
// reaches, whole subtree and all, so repeated names multiply a tree level by level, and every
// node may copy long texts from the file and its parent. A file without repeated names gives
// every node an element and texts of its own; so a tree may take as many nodes as the file has
// elements, and texts of a few times the bytes of those elements.
struct Budget {
    size_t nodes;
    size_t bytes;
    bool textsOver; // the bytes ran out, not the nodes
};

const size_t kTextBytesPerFileByte = 4;
const size_t kTextBytesAnyway = 64 * 1024; // long heads in a small file

// Elements of a level and everything below it, and the bytes they take in the file (their tags
// and texts; attributes and comments aside).
void CountElements(const kcXmlLevel* level, Budget* file)
{
    if (!level) return;
    for (const kcXmlElement& e : level->items) {
        ++file->nodes;
        file->bytes += 2 * e.name.size() + 5 + e.text.size();
        CountElements(e.children, file);
    }
}

bool TakeNode(Budget* left)
{
    if (left->nodes == 0) return false;
    --left->nodes;
    return true;
}

// The texts of a node once it has inherited.
bool TakeTexts(Budget* left, const SoundGroupNode& n)
{
    size_t bytes = n.element.size() + n.name.size() + n.type.size() + n.head.size() + n.archive.size();
    if (bytes > left->bytes) {
        left->textsOver = true;
        return false;
    }
    left->bytes -= bytes;
    return true;
}

bool ReadNode(kcXml& xml, const Path& path, SoundGroupNode& n, Budget* left)
{
    n.name = ReadText(xml, path, "name");
    n.id = xml.GetIntVec(-1, Extend(path, "id"));
    n.type = ReadText(xml, path, "type");
    n.head = Lower(ReadText(xml, path, "head").c_str());
    n.group = xml.GetIntVec(-1, Extend(path, "group"));
    n.archive = ReadText(xml, path, "int");
    n.mastervol = xml.GetIntVec(-1, Extend(path, "mastervol"));
    n.volume = xml.GetIntVec(-1, Extend(path, "volume"));
    n.play = xml.GetIntVec(-1, Extend(path, "play"));
    n.sysplay = xml.GetIntVec(-1, Extend(path, "sysplay"));
    n.voicevol = xml.GetIntVec(-1, Extend(path, "voicevol"));
    n.skipvol = xml.GetIntVec(-1, Extend(path, "skipvol"));
    n.sameid = xml.GetIntVec(0, Extend(path, "sameid"));
    n.mute = xml.GetIntVec(0, Extend(path, "mute"));
    n.voicemute = xml.GetIntVec(0, Extend(path, "voicemute"));
    Path part = Extend(path, "part");
    for (const std::string& name : Children(xml, part)) {
        SoundGroupNode child;
        child.element = Lower(name.c_str());
        if (!TakeNode(left) || !ReadNode(xml, Extend(part, name), child, left)) return false;
        Inherit(child, n);
        if (!TakeTexts(left, child)) return false;
        TakeDefaults(child);
        n.children.push_back(std::move(child));
    }
    return true;
}

const char* const kUserKeys[7] = {"volume", "play", "sysplay", "voicevol", "skipvol", "mute", "voicemute"};

int* UserValue(SoundGroupNode& n, int i)
{
    int* v[7] = {&n.curVolume, &n.curPlay, &n.curSysplay, &n.curVoicevol, &n.curSkipvol, &n.curMute, &n.curVoicemute};
    return v[i];
}

int UserDefault(const SoundGroupNode& n, int i)
{
    const int v[7] = {n.volume, n.play, n.sysplay, n.voicevol, n.skipvol, n.mute, n.voicemute};
    return v[i];
}

void ReadUserValues(kcXml& xml, const Path& path, SoundGroupNode& n)
{
    for (int i = 0; i < 7; ++i) *UserValue(n, i) = xml.GetIntVec(UserDefault(n, i), Extend(path, kUserKeys[i]));
    for (SoundGroupNode& c : n.children) ReadUserValues(xml, Extend(path, "part", c.element), c);
}

void WriteUserValues(kcXml& xml, const Path& path, SoundGroupNode& n)
{
    for (int i = 0; i < 7; ++i) xml.SetIntVec(*UserValue(n, i), Extend(path, kUserKeys[i]));
    for (SoundGroupNode& c : n.children) WriteUserValues(xml, Extend(path, "part", c.element), c);
}

// Depth first, each node before its children.
const SoundGroupNode* Search(const std::vector<SoundGroupNode>& nodes,
                             const std::function<bool(const SoundGroupNode&)>& match)
{
    for (const SoundGroupNode& n : nodes) {
        if (match(n)) return &n;
        if (const SoundGroupNode* r = Search(n.children, match)) return r;
    }
    return nullptr;
}

void ForAll(std::vector<SoundGroupNode>& nodes, const std::function<void(SoundGroupNode&)>& f)
{
    for (SoundGroupNode& n : nodes) {
        f(n);
        ForAll(n.children, f);
    }
}

// The six values of the accessor families.
struct ValueRule {
    int SoundGroupNode::*current;
    int SoundGroupNode::*def;
    int absent;
    bool guardedByIdPathName; // set only when the default is not -1
    bool guardedByType;
};
enum { VOLUME, PLAY, SYSPLAY, VOICEVOL, SKIPVOL, MUTE };
const ValueRule kRules[6] = {
    {&SoundGroupNode::curVolume, &SoundGroupNode::volume, 100, false, false},
    {&SoundGroupNode::curPlay, &SoundGroupNode::play, 1, true, true},
    {&SoundGroupNode::curSysplay, &SoundGroupNode::sysplay, 1, true, true},
    {&SoundGroupNode::curVoicevol, &SoundGroupNode::voicevol, 100, false, false},
    {&SoundGroupNode::curSkipvol, &SoundGroupNode::skipvol, 100, false, false},
    {&SoundGroupNode::curMute, &SoundGroupNode::mute, 0, true, false},
};

int ReadValue(const SoundGroupNode* n, int v)
{
    if (!n) return kRules[v].absent;
    int value = n->*kRules[v].current;
    return v == MUTE && value == -1 ? 0 : value;
}

void WriteValue(SoundGroupNode* n, int v, int value, bool guarded, bool byName)
{
    if (!n) return;
    const ValueRule& r = kRules[v];
    if (guarded && n->*r.def == -1) return;
    n->*r.current = value == -1 && !byName ? n->*r.def : value;
}

int Factor(const SoundGroupNode& n, int v, bool voice)
{
    if (voice)
        v = (n.curMute != 0 || (n.curVoicemute != 0 && n.curVoicemute != -1)) ? 0 : n.curVoicevol * v / 100;
    else
        v = n.curMute != 0 ? 0 : n.curVolume * v / 100;
    return v * n.mastervol / 100;
}

bool HeadWalk(const SoundGroupNode& n, const std::string& file, bool applySelf, bool voice, int* v)
{
    if (!n.head.empty() && file.compare(0, n.head.size(), n.head) == 0) {
        if (applySelf) *v = Factor(n, *v, voice);
        return true;
    }
    for (const SoundGroupNode& c : n.children)
        if (HeadWalk(c, file, true, voice, v)) {
            *v = Factor(n, *v, voice);
            return true;
        }
    return false;
}

bool NameWalk(const SoundGroupNode& n, const std::string& group, const std::string& file, bool voice, int* v)
{
    if (n.element == group) {
        HeadWalk(n, file, false, voice, v);
        *v = Factor(n, *v, voice);
        return true;
    }
    for (const SoundGroupNode& c : n.children)
        if (NameWalk(c, group, file, voice, v)) {
            *v = Factor(n, *v, voice);
            return true;
        }
    return false;
}

std::string Cut511(const char* text)
{
    std::string s(text ? text : "");
    if (s.size() > 511) s.resize(511);
    return Lower(s.c_str());
}

} // namespace

kcSoundGroupTree::kcSoundGroupTree() : m_dirty(0), m_soundLoaded(0), m_flatCursor(0)
{
    m_master.element = "MASTER";
    m_definitionCursor = m_definitions.end();
}

kcSoundGroupTree::~kcSoundGroupTree() {}

bool kcSoundGroupTree::OpenSoundGroups()
{
    wchar_t path[260];
    kcFileServer* server = kcFileServer::Instance();
    if (!server || !server->ResolvePath(path, m_soundName.c_str(), "config")) kcCopyStringWN(path, 260, m_soundName.c_str());
    if (!path[0] || kcPathExists(path) != 1) {
        m_soundLoaded = 0;
        return false;
    }
    m_soundLoaded = 1;
    ReadSoundGroups(path);
    return m_soundLoaded != 0;
}

// Anything short of a whole tree leaves none, and nothing loaded: a later save then writes
// nothing over the user's values.
void kcSoundGroupTree::ReadSoundGroups(const wchar_t* path)
{
    ClearSoundGroups();
    bool whole = false;
    try {
        whole = ReadDefinition(path);
    } catch (const std::bad_alloc&) {
        kcLogW(L"kcConfig : サウンドグループ定義 %s はメモリが足りないため読み込みません", path);
    }
    if (!whole) {
        ClearSoundGroups();
        m_soundLoaded = 0;
    }
}

bool kcSoundGroupTree::ReadDefinition(const wchar_t* path)
{
    kcXml xml;
    if (kcFileServer::Instance()) {
        std::vector<char> buffer;
        if (!kcReadThroughServer(path, &buffer) || !xml.OpenMemory(buffer.data(), (int)buffer.size() - 8)) return false;
    } else if (!xml.Open(path)) {
        return false;
    }
    for (const std::string& name : Children(xml, Path{"SOUNDGROUP"})) {
        Path p{"SOUNDGROUP", name};
        SoundGroupDefinition d;
        d.comment = ReadText(xml, p, "comment");
        d.id = xml.GetIntVec(-1, Extend(p, "id"));
        d.label = ReadText(xml, p, "label");
        d.type = ReadText(xml, p, "type");
        d.min = xml.GetIntVec(-1, Extend(p, "min"));
        d.max = xml.GetIntVec(-1, Extend(p, "max"));
        m_definitions.emplace(d.id, d); // the first of an id stays
    }
    kcXmlIterator document;
    Budget file = {0, 0, false};
    if (xml.FindChildrenVec(&document, Path{})) CountElements(document.children, &file);
    const size_t texts = kTextBytesPerFileByte * file.bytes + kTextBytesAnyway;
    Budget left = {file.nodes, texts, false};
    bool whole = ReadNode(xml, Path{"MASTER"}, m_master, &left) && TakeTexts(&left, m_master);
    TakeDefaults(m_master);
    for (const std::string& name : Children(xml, Path{"PART"})) {
        SoundGroupNode n;
        n.element = Lower(name.c_str());
        whole = whole && TakeNode(&left) && ReadNode(xml, Path{"PART", name}, n, &left) && TakeTexts(&left, n);
        if (!whole) break;
        TakeDefaults(n);
        m_parts.push_back(std::move(n));
    }
    if (!whole) {
        if (left.textsOver)
            kcLogW(L"kcConfig : サウンドグループ定義 %s はテキストが %u バイトを超えるため読み込みません", path, (unsigned)texts);
        else
            kcLogW(L"kcConfig : サウンドグループ定義 %s はノード数が要素数 (%u) を超えるため読み込みません", path, (unsigned)file.nodes);
        return false;
    }
    wchar_t userPath[260];
    kcXml user;
    if (kcJoinPathN(userPath, 260, 2, SoundGroupSaveFolder(), m_soundName.c_str()) && user.Open(userPath)) {
        ReadUserValues(user, Path{"MASTER"}, m_master);
        for (SoundGroupNode& n : m_parts) ReadUserValues(user, Path{"PART", n.element}, n);
    }
    return true;
}

void kcSoundGroupTree::ClearSoundGroups()
{
    m_definitions.clear();
    m_parts.clear();
    m_flat.clear();
    m_flatCursor = 0;
    m_definitionCursor = m_definitions.end();
    m_master = SoundGroupNode();
    m_master.element = "MASTER";
}

int kcSoundGroupTree::WriteSoundGroups()
{
    kcXml xml;
    xml.New();
    WriteUserValues(xml, Path{"MASTER"}, m_master);
    for (SoundGroupNode& n : m_parts) WriteUserValues(xml, Path{"PART", n.element}, n);
    wchar_t path[260];
    if (!kcJoinPathN(path, 260, 2, SoundGroupSaveFolder(), m_soundName.c_str())) return 0;
    return xml.Save(path);
}

// ---- the value families ----

namespace {

const SoundGroupNode* TopById(const std::vector<SoundGroupNode>& parts, int id)
{
    for (const SoundGroupNode& n : parts)
        if (n.id == id) return &n;
    return nullptr;
}

const SoundGroupNode* ByPath(const std::vector<SoundGroupNode>& parts, const std::vector<int>& ids)
{
    const std::vector<SoundGroupNode>* level = &parts;
    const SoundGroupNode* last = nullptr;
    for (int id : ids) {
        last = TopById(*level, id);
        if (last) level = &last->children;
    }
    return last;
}

} // namespace

#define KC_SOUND_VALUE_DEFS(V, INDEX)                                                                       \
    int kcSoundGroupTree::Get##V##ById(int id) const { return ReadValue(TopById(m_parts, id), INDEX); }     \
    int kcSoundGroupTree::Get##V##ByPath(const std::vector<int>& ids) const                                 \
    {                                                                                                       \
        return ReadValue(ByPath(m_parts, ids), INDEX);                                                      \
    }                                                                                                       \
    void kcSoundGroupTree::Set##V##ById(int value, int id)                                                  \
    {                                                                                                       \
        WriteValue(const_cast<SoundGroupNode*>(TopById(m_parts, id)), INDEX, value, kRules[INDEX].guardedByIdPathName, false); \
        m_dirty = 1;                                                                                        \
    }                                                                                                       \
    void kcSoundGroupTree::Set##V##ByPath(int value, const std::vector<int>& ids)                           \
    {                                                                                                       \
        WriteValue(const_cast<SoundGroupNode*>(ByPath(m_parts, ids)), INDEX, value, kRules[INDEX].guardedByIdPathName, false); \
        m_dirty = 1;                                                                                        \
    }                                                                                                       \
    void kcSoundGroupTree::Set##V##ByName(int value, const char* name)                                      \
    {                                                                                                       \
        WriteValue(const_cast<SoundGroupNode*>(FindByName(name)), INDEX, value, kRules[INDEX].guardedByIdPathName, true); \
        m_dirty = 1;                                                                                        \
    }                                                                                                       \
    void kcSoundGroupTree::Set##V##ByType(int value, const char* type)                                      \
    {                                                                                                       \
        std::string t(type ? type : "");                                                                   \
        ForAll(m_parts, [&](SoundGroupNode& n) {                                                            \
            if (n.type == t) WriteValue(&n, INDEX, value, kRules[INDEX].guardedByType, false);              \
        });                                                                                                 \
        m_dirty = 1;                                                                                        \
    }
KC_SOUND_VALUE_DEFS(Volume, VOLUME)
KC_SOUND_VALUE_DEFS(Play, PLAY)
KC_SOUND_VALUE_DEFS(SysPlay, SYSPLAY)
KC_SOUND_VALUE_DEFS(VoiceVol, VOICEVOL)
KC_SOUND_VALUE_DEFS(SkipVol, SKIPVOL)
KC_SOUND_VALUE_DEFS(Mute, MUTE)
#undef KC_SOUND_VALUE_DEFS

void kcSoundGroupTree::SetVoiceMuteByName(int value, const char* name)
{
    SoundGroupNode* n = const_cast<SoundGroupNode*>(FindByName(name));
    if (n && n->voicemute != -1) n->curVoicemute = value;
    m_dirty = 1;
}

void kcSoundGroupTree::SetMasterVolume(int value)
{
    m_master.curVolume = value;
    m_dirty = 1;
}

void kcSoundGroupTree::SetMasterPlay(int value)
{
    if (m_master.play != -1) m_master.curPlay = value;
    m_dirty = 1;
}

void kcSoundGroupTree::SetMasterSysPlay(int value)
{
    if (m_master.sysplay != -1) m_master.curSysplay = value;
    m_dirty = 1;
}

void kcSoundGroupTree::SetMasterMute(int value)
{
    if (m_master.mute != -1) m_master.curMute = value;
    m_dirty = 1;
}

void kcSoundGroupTree::ResetMaster()
{
    Reset(m_master);
    m_dirty = 1;
}

// ---- lookups ----

const SoundGroupNode* kcSoundGroupTree::FindByHead(const char* text) const
{
    std::string t = Lower(text);
    return Search(m_parts, [&](const SoundGroupNode& n) { return !n.head.empty() && t.compare(0, n.head.size(), n.head) == 0; });
}

const SoundGroupNode* kcSoundGroupTree::FindByType(const char* text) const
{
    std::string t = Lower(text);
    return Search(m_parts, [&](const SoundGroupNode& n) { return n.type == t; });
}

const SoundGroupNode* kcSoundGroupTree::FindByName(const char* text) const
{
    std::string t = Lower(text);
    return Search(m_parts, [&](const SoundGroupNode& n) { return n.element == t; });
}

namespace {
int Or(const SoundGroupNode* n, int SoundGroupNode::*field, int absent)
{
    return n ? n->*field : absent;
}
int MuteOr(const SoundGroupNode* n)
{
    return n && n->curMute != -1 ? n->curMute : 0;
}
} // namespace

int kcSoundGroupTree::GetVolumeByHead(const char* t) const { return Or(FindByHead(t), &SoundGroupNode::curVolume, 100); }
int kcSoundGroupTree::GetPlayByHead(const char* t) const { return Or(FindByHead(t), &SoundGroupNode::curPlay, 1); }
int kcSoundGroupTree::GetSysPlayByHead(const char* t) const { return Or(FindByHead(t), &SoundGroupNode::curSysplay, 1); }
int kcSoundGroupTree::GetMasterVolByHead(const char* t) const { return Or(FindByHead(t), &SoundGroupNode::mastervol, 100); }
int kcSoundGroupTree::GetVoiceVolByHead(const char* t) const { return Or(FindByHead(t), &SoundGroupNode::curVoicevol, 100); }
int kcSoundGroupTree::GetSkipVolByHead(const char* t) const { return Or(FindByHead(t), &SoundGroupNode::curSkipvol, -1); }
int kcSoundGroupTree::GetMuteByHead(const char* t) const { return MuteOr(FindByHead(t)); }
int kcSoundGroupTree::GetSameIdByHead(const char* t) const { return Or(FindByHead(t), &SoundGroupNode::sameid, 0); }
int kcSoundGroupTree::GetIdByHead(const char* t) const { return Or(FindByHead(t), &SoundGroupNode::id, -1); }
int kcSoundGroupTree::GetVolumeByType(const char* t) const { return Or(FindByType(t), &SoundGroupNode::curVolume, 100); }
int kcSoundGroupTree::GetPlayByType(const char* t) const { return Or(FindByType(t), &SoundGroupNode::curPlay, 0); }
int kcSoundGroupTree::GetSysPlayByType(const char* t) const { return Or(FindByType(t), &SoundGroupNode::curSysplay, 0); }
int kcSoundGroupTree::GetMasterVolByType(const char* t) const { return Or(FindByType(t), &SoundGroupNode::mastervol, 100); }
int kcSoundGroupTree::GetVoiceVolByType(const char* t) const { return Or(FindByType(t), &SoundGroupNode::curVoicevol, 100); }
int kcSoundGroupTree::GetSkipVolByType(const char* t) const { return Or(FindByType(t), &SoundGroupNode::curSkipvol, -1); }
int kcSoundGroupTree::GetMuteByType(const char* t) const { return MuteOr(FindByType(t)); }
int kcSoundGroupTree::GetVolumeByName(const char* t) const { return Or(FindByName(t), &SoundGroupNode::curVolume, 100); }
int kcSoundGroupTree::GetPlayByName(const char* t) const { return Or(FindByName(t), &SoundGroupNode::curPlay, 1); }
int kcSoundGroupTree::GetSysPlayByName(const char* t) const { return Or(FindByName(t), &SoundGroupNode::curSysplay, 1); }
int kcSoundGroupTree::GetMasterVolByName(const char* t) const { return Or(FindByName(t), &SoundGroupNode::mastervol, 100); }
int kcSoundGroupTree::GetVoiceVolByName(const char* t) const { return Or(FindByName(t), &SoundGroupNode::curVoicevol, 100); }
int kcSoundGroupTree::GetSkipVolByName(const char* t) const { return Or(FindByName(t), &SoundGroupNode::curSkipvol, -1); }
int kcSoundGroupTree::GetMuteByName(const char* t) const { return MuteOr(FindByName(t)); }
int kcSoundGroupTree::GetVoiceMuteByName(const char* t) const { return Or(FindByName(t), &SoundGroupNode::curVoicemute, 0); }

// ---- resets and walks ----

void kcSoundGroupTree::ResetSoundGroupById(int id)
{
    for (SoundGroupNode& n : m_parts)
        if (n.id == id) Reset(n);
    m_dirty = 1;
}

void kcSoundGroupTree::ResetSoundGroupByPath(const std::vector<int>& ids)
{
    if (SoundGroupNode* n = const_cast<SoundGroupNode*>(ByPath(m_parts, ids))) Reset(*n);
    m_dirty = 1;
}

void kcSoundGroupTree::ResetSoundGroupByName(const char* name)
{
    if (SoundGroupNode* n = const_cast<SoundGroupNode*>(FindByName(name))) Reset(*n);
    m_dirty = 1;
}

void kcSoundGroupTree::ResetSoundGroupByType(const char* type)
{
    std::string t(type ? type : "");
    ForAll(m_parts, [&](SoundGroupNode& n) {
        if (n.type == t) Reset(n);
    });
    m_dirty = 1;
}

void kcSoundGroupTree::ResetSoundGroups()
{
    ForAll(m_parts, [](SoundGroupNode& n) { Reset(n); });
    m_dirty = 1;
}

bool kcSoundGroupTree::GetGroupRange(const char* text, int* min, int* max) const
{
    const SoundGroupNode* n = FindByHead(text);
    if (!n) return false;
    auto d = m_definitions.find(n->group);
    if (d == m_definitions.end()) return false;
    if (min) *min = d->second.min;
    if (max) *max = d->second.max;
    return true;
}

const SoundGroupDefinition* kcSoundGroupTree::BeginSoundGroupDefinitions()
{
    m_definitionCursor = m_definitions.begin();
    return NextSoundGroupDefinition();
}

const SoundGroupDefinition* kcSoundGroupTree::NextSoundGroupDefinition()
{
    if (m_definitionCursor == m_definitions.end()) return nullptr;
    return &(m_definitionCursor++)->second;
}

const SoundGroupNode* kcSoundGroupTree::BeginSoundGroupNodes()
{
    m_flat.clear();
    std::function<void(const std::vector<SoundGroupNode>&)> add = [&](const std::vector<SoundGroupNode>& nodes) {
        for (const SoundGroupNode& n : nodes) {
            m_flat.push_back(&n);
            add(n.children);
        }
    };
    add(m_parts);
    m_flatCursor = 0;
    return NextSoundGroupNode();
}

const SoundGroupNode* kcSoundGroupTree::NextSoundGroupNode()
{
    return m_flatCursor < m_flat.size() ? m_flat[m_flatCursor++] : nullptr;
}

static int Effective(const SoundGroupNode& master, const std::vector<SoundGroupNode>& parts, const char* groupName,
                     const char* fileName, bool voice)
{
    if (master.curMute != 0 && master.curMute != -1) return 0;
    int v = 100;
    std::string group = Cut511(groupName), file = Cut511(fileName);
    for (const SoundGroupNode& n : parts) {
        bool matched = group.empty() ? HeadWalk(n, file, true, voice, &v) : NameWalk(n, group, file, voice, &v);
        if (matched) break;
    }
    return master.curVolume * v / 100;
}

int kcSoundGroupTree::GetEffectiveVolume(const char* groupName, const char* fileName) const
{
    return Effective(m_master, m_parts, groupName, fileName, false);
}

int kcSoundGroupTree::GetEffectiveVoiceVolume(const char* groupName, const char* fileName) const
{
    return Effective(m_master, m_parts, groupName, fileName, true);
}
