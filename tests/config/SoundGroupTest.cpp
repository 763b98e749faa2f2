#include <gtest/gtest.h>

#include <string>
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
    EXPECT_EQ(std::to_string(min) + ".." + std::to_string(max), "0..80");
    EXPECT_FALSE(c->GetGroupRange("zzz", &min, &max));
    EXPECT_EQ(c->FindArchiveIndex("sound", "bgm01.ogg"), 4);
    EXPECT_EQ(c->FindArchiveIndex("sound", "zzz.ogg"), -1);
}

TEST_F(SoundGroups, AccessorsAndEffectiveVolumes)
{
    EXPECT_EQ(c->GetVolumeByPath({1, 99}), 100);
    EXPECT_EQ(c->GetVolumeByPath({1, 11}), 50);
    EXPECT_EQ(c->GetVolumeById(2), 80);
    EXPECT_EQ(c->GetPlayById(7), 1);
    c->ClearDirty();
    c->SetPlayById(0, 2); // "se" defines no play: ignored
    EXPECT_EQ(c->GetPlayById(2), -1);
    EXPECT_EQ(c->IsDirty(), 1);
    c->SetVolumeById(10, 2);
    EXPECT_EQ(c->GetVolumeById(2), 10);
    c->SetVolumeById(-1, 2); // -1: the defined volume
    EXPECT_EQ(c->GetVolumeById(2), 80);
    c->SetVolumeByName(-1, "se"); // by name -1 is stored as it is
    EXPECT_EQ(c->GetVolumeByName("se"), -1);
    c->ResetSoundGroupByName("se");
    EXPECT_EQ(c->GetVolumeByName("se"), 80);
    EXPECT_EQ(c->GetPlayByType("nothing"), 0);
    EXPECT_EQ(c->GetSkipVolByHead("zzz"), -1);

    EXPECT_EQ(c->GetEffectiveVolume(nullptr, "se01.ogg"), 64); // 80 x 80 / 100
    EXPECT_EQ(c->GetEffectiveVolume("", "v_01.ogg"), 0);       // mastervol undefined
    EXPECT_EQ(c->GetEffectiveVolume("quiet", "x"), 0);         // its parent is muted
    EXPECT_EQ(c->GetEffectiveVoiceVolume(nullptr, "v_01.ogg"), 0);
    c->SetMasterMute(-1); // -1 does not silence
    EXPECT_EQ(c->GetEffectiveVolume(nullptr, "se01.ogg"), 64);
    c->SetMasterMute(1);
    EXPECT_EQ(c->GetEffectiveVolume(nullptr, "se01.ogg"), 0);
    c->ResetMaster();
    EXPECT_EQ(c->GetMasterMute(), 0);
}

TEST_F(SoundGroups, UserValuesSaved)
{
    c->SetVolumeByName(44, "sub");
    c->SaveUserSettings(0);
    kcXml x;
    ASSERT_EQ(x.Open(folder.File(L"save\\sg.xml").c_str()), 1);
    EXPECT_EQ(x.GetInt(0, 3, "PART", "bgm", "volume"), 33);
    EXPECT_EQ(x.GetInt(0, 5, "PART", "bgm", "part", "sub", "volume"), 44);
    EXPECT_EQ(x.GetInt(0, 2, "MASTER", "volume"), 80);
}

} // namespace
