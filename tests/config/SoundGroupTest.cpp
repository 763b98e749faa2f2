#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"
#include "foundation/kcFileServer.h"
#include "foundation/kcXml.h"
#include "foundation/kcXmlParser.h"

namespace {

const char kDefinition[] = R"(
<SOUNDGROUP><g2><id>2</id><min>5</min><max>10</max></g2><g1><id>1</id><label>BGM</label><min>0</min><max>80</max></g1></SOUNDGROUP>
<MASTER><volume>80</volume><play>1</play></MASTER>
<PART>
 <BGM><id>1</id><type>bgm</type><head>bgm</head><group>1</group><int>BGMARC</int><mastervol>100</mastervol>
  <volume>50</volume><play>1</play><mute>1</mute>
  <part><sub><id>11</id><head>bgm_s</head></sub><quiet><id>12</id><volume>20</volume></quiet></part></BGM>
 <se><id>2</id><type>se</type><head>se</head><mastervol>100</mastervol><volume>80</volume></se>
 <vo><id>3</id><type>voice</type><head>v_</head><voicevol>60</voicevol><volume>90</volume><voicemute>-1</voicemute></vo>
</PART>
)";

// The whole tree as text: each node's fields and values, its children indented below it.
void Dump(const SoundGroupNode& n, int depth, std::string* out)
{
    *out += std::string(2 * depth, ' ') + n.element + "|" + n.name + "|" + n.type + "|" + n.head + "|" + n.archive;
    for (int v : {n.id, n.group, n.mastervol, n.volume, n.play, n.sysplay, n.voicevol, n.skipvol, n.sameid, n.mute, n.voicemute,
                  n.curVolume, n.curPlay, n.curSysplay, n.curVoicevol, n.curSkipvol, n.curMute, n.curVoicemute})
        *out += " " + std::to_string(v);
    *out += "\n";
    for (const SoundGroupNode& c : n.children) Dump(c, depth + 1, out);
}

std::string Dump(kcConfig& c)
{
    std::string out = "master " + std::to_string(c.GetMasterVolume()) + " " + std::to_string(c.GetMasterPlay()) + " " +
                      std::to_string(c.GetMasterSysPlay()) + " " + std::to_string(c.GetMasterMute()) + "\n";
    for (const SoundGroupDefinition* d = c.BeginSoundGroupDefinitions(); d; d = c.NextSoundGroupDefinition())
        out += "def " + std::to_string(d->id) + "|" + d->comment + "|" + d->label + "|" + d->type + "|" +
               std::to_string(d->min) + "|" + std::to_string(d->max) + "\n";
    for (const SoundGroupNode& n : c.GetSoundGroupParts()) Dump(n, 0, &out);
    return out;
}

class SoundGroups : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.Write(L"sg.xml", XmlDoc(kDefinition));
        folder.Write(L"save\\sg.xml", XmlDoc("<PART><bgm><volume>33</volume></bgm></PART>"));
        c = &folder.Start("<FOLDER><save>save</save></FOLDER><SOUNDCONFIG>sg.xml</SOUNDCONFIG>"
                          "<INT><int04><name>bgmarc</name></int04></INT>");
        ASSERT_TRUE(c->OpenSoundGroups());
    }
    ConfigFolder folder;
    kcConfig* c = nullptr;
};

TEST_F(SoundGroups, TreeAndInheritance)
{
    EXPECT_EQ(c->IsSoundGroupLoaded(), 1);
    const SoundGroupNode* bgm = c->FindByName("BGM");
    ASSERT_NE(bgm, nullptr);
    EXPECT_EQ(bgm, c->FindByName("bgm"));
    EXPECT_EQ(bgm->element, "bgm");
    EXPECT_EQ(bgm->curVolume, 33); // the user's file
    EXPECT_EQ(bgm->curMute, 1);    // no "mute" in the user's file: its own default
    const SoundGroupNode* sub = c->FindByName("sub");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ((std::vector<int>{sub->volume, sub->mute, sub->group}), (std::vector<int>{50, 0, 1})); // mute is not inherited
    EXPECT_EQ(sub->archive, "BGMARC");
    EXPECT_EQ(c->FindByName("quiet")->head, "bgm");
    EXPECT_EQ(c->FindByHead("BGM_S01.ogg"), bgm); // a parent before its children
    EXPECT_EQ(c->FindByType("se"), c->FindByName("se"));
    // Enumeration: the last element of the file first, each node before its children.
    std::vector<std::string> order;
    for (const SoundGroupNode* n = c->BeginSoundGroupNodes(); n; n = c->NextSoundGroupNode()) order.push_back(n->element);
    EXPECT_EQ(order, (std::vector<std::string>{"vo", "se", "bgm", "quiet", "sub"}));
    std::vector<int> ids;
    for (const SoundGroupDefinition* d = c->BeginSoundGroupDefinitions(); d; d = c->NextSoundGroupDefinition())
        ids.push_back(d->id);
    EXPECT_EQ(ids, (std::vector<int>{1, 2}));
    int min = -5, max = -5;
    EXPECT_TRUE(c->GetGroupRange("bgm01", &min, &max));
    EXPECT_EQ(std::make_pair(min, max), std::make_pair(0, 80));
    EXPECT_FALSE(c->GetGroupRange("zzz", &min, &max));
    EXPECT_EQ(c->FindArchiveIndex("sound", "bgm01.ogg"), 4);
    EXPECT_EQ(c->FindArchiveIndex("sound", "zzz.ogg"), -1);
}

TEST_F(SoundGroups, AccessorsAndEffectiveVolumes)
{
    c->ClearDirty();
    // Steps in order (a braced list is evaluated left to right): a value read after a change, and the one expected.
    const int steps[][2] = {
        {c->GetVolumeByPath({1, 99}), 100}, {c->GetVolumeByPath({1, 11}), 50}, {c->GetVolumeById(2), 80}, {c->GetPlayById(7), 1},
        {(c->SetPlayById(0, 2), c->GetPlayById(2)), -1}, // "se" defines no play: ignored
        {c->IsDirty(), 1}, {(c->SetVolumeById(10, 2), c->GetVolumeById(2)), 10},
        {(c->SetVolumeById(-1, 2), c->GetVolumeById(2)), 80},         // -1: the defined volume
        {(c->SetVolumeByName(-1, "se"), c->GetVolumeByName("se")), -1}, // by name -1 is stored as it is
        {(c->ResetSoundGroupByName("se"), c->GetVolumeByName("se")), 80}, {c->GetPlayByType("nothing"), 0},
        {c->GetSkipVolByHead("zzz"), -1}, {c->GetEffectiveVolume(nullptr, "se01.ogg"), 64}, // 80 x 80 / 100
        {c->GetEffectiveVolume("", "v_01.ogg"), 0},                                          // mastervol undefined
        {c->GetEffectiveVolume("quiet", "x"), 0},                                            // its parent is muted
        {c->GetEffectiveVoiceVolume(nullptr, "v_01.ogg"), 0},
        {(c->SetMasterMute(-1), c->GetEffectiveVolume(nullptr, "se01.ogg")), 64}, // -1 does not silence
        {(c->SetMasterMute(1), c->GetEffectiveVolume(nullptr, "se01.ogg")), 0},
        {(c->ResetMaster(), c->GetMasterMute()), 0},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) EXPECT_EQ(steps[i][0], steps[i][1]) << "step " << i;
}

TEST_F(SoundGroups, UserValuesSaved)
{
    c->SetVolumeByName(44, "sub");
    c->SaveUserSettings(0);
    kcXml x;
    ASSERT_EQ(x.Open(folder.File(L"save\\sg.xml").c_str()), 1);
    int got[3] = {x.GetInt(0, 3, "PART", "bgm", "volume"), x.GetInt(0, 5, "PART", "bgm", "part", "sub", "volume"),
                  x.GetInt(0, 2, "MASTER", "volume")};
    EXPECT_EQ(std::vector<int>(got, got + 3), (std::vector<int>{33, 44, 80}));
}

// Same-named siblings each read the one element their path reaches, with its subtree: the tree
// may hold as many nodes as the file has elements, and texts of a few times its bytes, no more.
// Past that, or when the file cannot be read whole (directly or through the server), the file is
// refused whole: no tree, nothing loaded, and the user's file stays as it was.
TEST(SoundGroupBound, RefusedOrUnreadableDefinitionsKeepNoTreeAndWriteNothingBack)
{
    std::string nine, repeated, inheritors, plain, nested;
    for (int i = 0; i < 9; ++i) nine += "<a></a>";
    for (int level = 0; level < 8; ++level) repeated = nine + "<a>" + (level ? "<part>" + repeated + "</part>" : "") + "</a>";
    for (int i = 0; i < 200; ++i) inheritors += "<b" + std::to_string(i) + "></b" + std::to_string(i) + ">";
    for (int i = 0; i < 100; ++i) plain += "<a></a>";
    for (int i = 0; i < kcXmlMaxDepth; ++i) nested = "<e>" + nested + "</e>";
    const std::string text(1000, 'x'), user = XmlDoc("<PART><a><volume>7</volume></a></PART>");
    const char *kNodes = u8"はノード数が要素数", *kTexts = u8"はテキストが";
    const char *kOpen = "kcXml : File open error", *kMem = "kcXml : OpenMem error.";
    const struct {
        std::string definition; // "": an empty file
        long long sparse;       // a file of this size that begins with the definition
        size_t nodes;           // below "PART"; 0: refused
        const char *log, *serverLog;
    } cases[] = {
        {"<PART><a></a><a><part><b></b><b></b></part></a></PART>", 0, 6, nullptr, nullptr},     // as many nodes as its 6 elements
        {"<PART><a></a><a></a><a><part><b></b><b></b></part></a></PART>", 0, 0, kNodes, kNodes}, // 9 nodes of 7 elements
        {"<MASTER><part><a></a><a></a><a><part><b></b><b></b></part></a></part></MASTER>", 0, 0, kNodes, kNodes}, // 9 of 8
        {"<PART>" + repeated + "</PART>", 0, 0, kNodes, kNodes}, // 10 "a" per level, 8 levels deep: 10^8 nodes asked
        // 200 children copying 2,000 bytes each; 100 siblings reading 2,000 bytes each
        {"<PART><a><head>" + text + "</head><int>" + text + "</int><part>" + inheritors + "</part></a></PART>", 0, 0, kTexts, kTexts},
        {"<PART>" + plain + "<a><name>" + text + "</name><type>" + text + "</type></a></PART>", 0, 0, kTexts, kTexts},
        {"<PART><a><volume>1</volume></PART>", 0, 0, kOpen, kMem},             // malformed
        {"<PART><a>" + nested + "</a></PART>", 0, 0, kOpen, kMem},             // nested too deep
        {"<PART><a></a></PART>", 9 << 20, 0, kOpen, "is larger than"}, // over 8 MiB
        {"", 0, 0, kOpen, nullptr},                                     // empty
    };
    for (int server = 0; server < 2; ++server)
    for (const auto& c : cases) {
        SCOPED_TRACE(c.definition.substr(0, 100) + (server ? " (server)" : ""));
        ConfigFolder folder;
        std::unique_ptr<kcFileServer> files(server ? new kcFileServer() : nullptr);
        const std::string doc = c.definition.empty() ? "" : XmlDoc(c.definition);
        ASSERT_TRUE(folder.Write(L"save\\sg.xml", user));
        ASSERT_TRUE(c.sparse ? WriteSparseFile(folder.File(L"sg.xml"), c.sparse, doc) : folder.Write(L"sg.xml", doc));
        kcConfig& config = folder.Start("<FOLDER><save>save</save></FOLDER><SOUNDCONFIG>sg.xml</SOUNDCONFIG>");
        LogCapture log;
        const char* line = server ? c.serverLog : c.log;
        EXPECT_EQ(c.nodes > 0, config.OpenSoundGroups());
        EXPECT_EQ(c.nodes > 0, config.IsSoundGroupLoaded() != 0);
        EXPECT_TRUE(line ? log.Contains(Sjis(line)) : !log.Contains(Sjis(kNodes)));
        size_t nodes = 0;
        for (const SoundGroupNode* n = config.BeginSoundGroupNodes(); n; n = config.NextSoundGroupNode()) ++nodes;
        EXPECT_EQ(c.nodes, nodes);
        config.SaveUserSettings(0);
        std::string saved;
        EXPECT_TRUE(c.nodes || (config.GetSoundGroupParts().empty() && ReadBytes(folder.File(L"save\\sg.xml"), &saved) && saved == user));
        kcReleaseConfig(); // before the server goes
    }
}

// Same-named siblings each read what a path through their name reaches: the first complete match
// in table order (the last element of the file first), later siblings filling in what the first
// lacks; trees taken from the reader that resolved every path from the root. Each file is read also
// behind 600 empty sections, where lookups that miss enter enough elements to use the cache.
TEST(SoundGroupSiblings, SameNamedSiblingsGiveTheSameTree)
{
    // Each "a" under PART: its keys from the first "a" that has them, its children from the first "part".
    const std::string kA = R"(a|second|t3|hd|ARC 3 -1 -1 -1 -1 -1 -1 -1 0 1 0 44 1 -1 -1 -1 1 0
  y|||hd|ARC -1 -1 -1 -1 -1 -1 -1 -1 0 0 0 -1 -1 -1 -1 -1 0 0
  x|||hd|ARC -1 -1 -1 5 0 -1 -1 -1 0 0 0 5 0 -1 -1 -1 1 0
    deep|||| -1 -1 -1 5 0 -1 -1 -1 0 0 0 5 0 -1 -1 -1 0 0
)";
    const std::string kA2 = "a|||| -1 -1 -1 2 -1 -1 -1 -1 0 0 0 2 -1 -1 -1 -1 0 0\n";
    const struct {
        std::string definition, user, tree; // a definition that begins with "<?xml" is the whole file
    } cases[] = {
        {"<SOUNDGROUP><g><id>4</id><label>L</label></g><g><id>5</id><comment>c</comment></g><h><min>1</min></h></SOUNDGROUP>"
         "<MASTER><volume>90</volume><part><m><volume>1</volume></m><m><play>0</play></m></part></MASTER>"
         "<PART>"
         " <a><id>1</id><part><x><volume>5</volume></x></part></a>"
         " <a><name>second</name><head>HD</head><int>ARC</int><part></part></a>"
         " <a><type>t3</type><id>3</id><part><x><play>0</play><part><deep></deep></part></x><y></y></part></a>"
         " <B><volume>70</volume><part><a><sameid>2</sameid></a><a><mastervol>9</mastervol></a></part></B>"
         " <a><mute>1</mute></a>"
         "</PART>",
         "<PART><a><volume>44</volume><part><x><mute>1</mute></x></part></a><a><play>1</play></a></PART>",
         "master 90 -1 -1 0\ndef -1||||1|-1\ndef 5|c|L||-1|-1\n" + kA + R"(b|||| -1 -1 -1 70 -1 -1 -1 -1 0 0 0 70 -1 -1 -1 -1 0 0
  a|||| -1 -1 9 70 -1 -1 -1 -1 2 0 0 70 -1 -1 -1 -1 0 0
  a|||| -1 -1 9 70 -1 -1 -1 -1 2 0 0 70 -1 -1 -1 -1 0 0
)" + kA + kA + kA},
        // The first "part" that a path reaches is empty: no children, though a later one has some.
        // A name holding '/' is one name to the getters but two to the children's walk.
        {"<PART><a><part><x></x></part></a><a><volume>2</volume><part></part></a>"
         "<x/y><volume>3</volume><part><z></z></part></x/y><x><y><part><q><volume>6</volume></q></part></y></x></PART>",
         "", R"(master -1 -1 -1 0
x|||| -1 -1 -1 -1 -1 -1 -1 -1 0 0 0 -1 -1 -1 -1 -1 0 0
x/y|||| -1 -1 -1 3 -1 -1 -1 -1 0 0 0 3 -1 -1 -1 -1 0 0
  q|||| -1 -1 -1 3 -1 -1 -1 -1 0 0 0 3 -1 -1 -1 -1 0 0
)" + kA2 + kA2},
        // Another root than "document": getters start at the top, children are never found.
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><MASTER><volume>9</volume><part><c></c></part></MASTER>", "",
         "master 9 -1 -1 0\n"},
    };
    std::string sections;
    for (int i = 0; i < 200; ++i) sections += "<SOUNDGROUP></SOUNDGROUP><MASTER></MASTER><PART></PART>";
    for (const std::string& padding : {std::string(), sections})
    for (const auto& c : cases) {
        SCOPED_TRACE(c.definition.substr(0, 90) + (padding.empty() ? "" : " (padded)"));
        ConfigFolder folder;
        ASSERT_TRUE(folder.Write(L"sg.xml", c.definition[1] == '?' ? c.definition : XmlDoc(padding + c.definition)));
        ASSERT_TRUE(c.user.empty() || folder.Write(L"save\\sg.xml", XmlDoc(c.user)));
        kcConfig& config = folder.Start("<FOLDER><save>save</save></FOLDER><SOUNDCONFIG>sg.xml</SOUNDCONFIG>");
        EXPECT_TRUE(config.OpenSoundGroups());
        EXPECT_EQ(c.tree, Dump(config));
    }
}

} // namespace
