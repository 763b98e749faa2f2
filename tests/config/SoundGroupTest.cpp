#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/ConfigTestSupport.h"
#include "config/kcConfig.h"
#include "foundation/kcXml.h"

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
// may hold as many nodes as the file has elements, no more. Past that the file is refused whole.
TEST(SoundGroupBound, TreesBeyondTheFilesElementsAreRefused)
{
    std::string nine, repeated; // 10 children named "a" per level, 8 levels deep: 10^8 nodes asked
    for (int i = 0; i < 9; ++i) nine += "<a></a>";
    for (int level = 0; level < 8; ++level) repeated = nine + "<a>" + (level ? "<part>" + repeated + "</part>" : "") + "</a>";
    const struct {
        std::string definition;
        size_t nodes; // below "PART"; 0: refused
    } cases[] = {
        {"<PART><a></a><a><part><b></b><b></b></part></a></PART>", 6},                  // as many nodes as its 6 elements
        {"<PART><a></a><a></a><a><part><b></b><b></b></part></a></PART>", 0},           // 9 nodes of 7 elements
        {"<MASTER><part><a></a><a></a><a><part><b></b><b></b></part></a></part></MASTER>", 0},           // 9 of 8
        {"<PART>" + repeated + "</PART>", 0},
    };
    for (auto& c : cases) { // a refused file keeps no tree and writes nothing back
        SCOPED_TRACE(c.definition.substr(0, 70));
        ConfigFolder folder;
        const std::string user = XmlDoc("<PART><a><volume>7</volume></a></PART>");
        ASSERT_TRUE(folder.Write(L"sg.xml", XmlDoc(c.definition)) && folder.Write(L"save\\sg.xml", user));
        kcConfig& config = folder.Start("<FOLDER><save>save</save></FOLDER><SOUNDCONFIG>sg.xml</SOUNDCONFIG>");
        LogCapture log;
        EXPECT_EQ(c.nodes > 0, config.OpenSoundGroups());
        EXPECT_EQ(c.nodes > 0, config.IsSoundGroupLoaded() != 0);
        EXPECT_EQ(c.nodes == 0, log.Contains(Sjis(u8"はノード数が要素数")));
        size_t nodes = 0;
        for (const SoundGroupNode* n = config.BeginSoundGroupNodes(); n; n = config.NextSoundGroupNode()) ++nodes;
        EXPECT_EQ(c.nodes, nodes);
        config.SaveUserSettings(0);
        std::string saved;
        EXPECT_TRUE(c.nodes || (config.GetSoundGroupParts().empty() && ReadBytes(folder.File(L"save\\sg.xml"), &saved) && saved == user));
    }
}

} // namespace
