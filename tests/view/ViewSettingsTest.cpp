// Preferences and presets in the host profile.
#include "ViewFixture.h"

#include "RecordingViewServices.h"

#include <gtest/gtest.h>

namespace {

class ViewSettings : public ::testing::Test {
protected:
    RecordingViewServices host;
};

TEST_F(ViewSettings, FirstStartTakesDefaultsAndAddsFactoryPresetsOnce) {
    {
        ViewFixture fixture(makeStandardRenderer, &host);
        TestView& v = fixture.view;
        EXPECT_TRUE(v.m_prefs.noTumble);
        EXPECT_FALSE(fixture.camera.perspective);
        EXPECT_TRUE(v.m_prefs.shadowsPersp);
        EXPECT_FALSE(v.m_prefs.shadowsPar);
        EXPECT_FALSE(v.m_prefs.floodBound);
        EXPECT_TRUE(v.m_prefs.opqOnSsd);
        EXPECT_TRUE(v.m_prefs.wireframe);
        EXPECT_EQ(v.m_prefs.segLow, -1000);
        EXPECT_EQ(v.m_prefs.segHigh, 3000);
        EXPECT_EQ(v.m_prefs.segRad, 100);
        EXPECT_EQ(v.m_prefs.invertMouse, 1);
        EXPECT_EQ(v.m_prefs.mouseSpeedX, 100.0f);
        ASSERT_EQ(v.m_presetTable.m_iNumOfPresets, 4);
        EXPECT_STREQ(v.m_presetTable.m_presets[0].name, "Skin CT   (-300HU)");
        EXPECT_STREQ(v.m_presetTable.m_presets[3].name, "Heart CT  (-210HU)");
        EXPECT_EQ(host.profile["firsttime"], "0");
        // The user deletes every preset.
        while (v.m_presetTable.deletePreset(0)) {
        }
    }
    EXPECT_EQ(host.profile["m_iNumOfPresets"], "0");
    ViewFixture again(makeStandardRenderer, &host);
    EXPECT_EQ(again.view.m_presetTable.m_iNumOfPresets, 0) << "factory presets come only on the first start";
}

TEST_F(ViewSettings, LoadingWritesNothingButFirstTime) {
    ViewFixture fixture(makeStandardRenderer, &host);
    for (const auto& write : host.writes) EXPECT_EQ(write.rfind("firsttime=", 0), 0u) << write;
}

TEST_F(ViewSettings, MouseSpeedIsSavedAsWholePercent) {
    {
        ViewFixture fixture(makeStandardRenderer, &host);
        fixture.view.m_prefs.mouseSpeedX = 150.7f;
    }
    EXPECT_EQ(host.profile["m_fMouseSpeedX"], "150");
    ViewFixture again(makeStandardRenderer, &host);
    EXPECT_EQ(again.view.m_prefs.mouseSpeedX, 150.0f);
}

TEST_F(ViewSettings, SaveWritesThePreferencesInOrder) {
    { ViewFixture fixture(makeStandardRenderer, &host); }
    std::vector<std::string> keys;
    for (const auto& write : host.writes) {
        const std::string key = write.substr(0, write.find('='));
        if (key != "firsttime") keys.push_back(key);
    }
    const std::vector<std::string> expected = {"m_bNoTumble", "m_bPerspCamera", "m_bShadowsPersp", "m_bShadowsPar",
                                               "m_bFloodBound", "m_bOPQonSSD", "m_bWireframe", "m_iSegLow",
                                               "m_iSegHigh", "m_iSegRad", "m_iInvertMouse", "m_fMouseSpeedX",
                                               "m_fMouseSpeedY", "m_iNumOfPresets", "pname0", "piso0",
                                               "pshine0", "phue0", "psat0", "pdiff0"};
    ASSERT_GE(keys.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + static_cast<long>(expected.size())), expected);
}

TEST_F(ViewSettings, PerspectiveCameraPreferenceAppliesAtStart) {
    host.profile["m_bPerspCamera"] = "1";
    ViewFixture fixture(makeStandardRenderer, &host);
    EXPECT_TRUE(fixture.camera.perspective);
}

TEST_F(ViewSettings, PresetFloatsRoundTripAsFixedText) {
    host.profile["firsttime"] = "0";
    {
        ViewFixture fixture(makeStandardRenderer, &host);
        Preset p;
        p.setName("mine");
        p.hue = 220.5f;
        ASSERT_TRUE(fixture.view.m_presetTable.add(p));
    }
    EXPECT_EQ(host.profile["phue0"], "220.500000");
    ViewFixture again(makeStandardRenderer, &host);
    ASSERT_EQ(again.view.m_presetTable.m_iNumOfPresets, 1);
    EXPECT_EQ(again.view.m_presetTable.m_presets[0].hue, 220.5f);
    EXPECT_STREQ(again.view.m_presetTable.m_presets[0].name, "mine");
}

TEST_F(ViewSettings, EveryFieldOfEveryPresetSurvivesSaveAndLoad) {
    host.profile["firsttime"] = "0";
    std::vector<Preset> saved;
    {
        ViewFixture fixture(makeStandardRenderer, &host);
        for (int i = 0; i < PresetTable::kMaxPresets; ++i) {
            // Every field differs from every other field and from the other
            // presets' (binary fractions: exact in the fixed text).
            Preset p;
            p.setName("preset " + std::to_string(i));
            p.iso = -900 + 97 * i;
            p.hue = 10.25f + 21.5f * static_cast<float>(i);
            p.saturation = static_cast<float>(i + 1) / 32.0f;
            p.diffuse = static_cast<float>(i + 1) / 64.0f;
            p.shine = 1.5f + 3.0f * static_cast<float>(i);
            ASSERT_TRUE(fixture.view.m_presetTable.add(p));
            saved.push_back(p);
        }
    }
    ViewFixture again(makeStandardRenderer, &host);
    const PresetTable& table = again.view.m_presetTable;
    ASSERT_EQ(table.m_iNumOfPresets, PresetTable::kMaxPresets);
    for (int i = 0; i < PresetTable::kMaxPresets; ++i) {
        const Preset& was = saved[static_cast<size_t>(i)];
        const Preset* is = table.at(i);
        ASSERT_NE(is, nullptr);
        EXPECT_STREQ(is->name, was.name) << i;
        EXPECT_EQ(is->iso, was.iso) << i;
        EXPECT_EQ(is->hue, was.hue) << i;
        EXPECT_EQ(is->saturation, was.saturation) << i;
        EXPECT_EQ(is->diffuse, was.diffuse) << i;
        EXPECT_EQ(is->shine, was.shine) << i;
    }
}

// What a profile holds is untrusted: presets become J_camera lines a peer
// must accept, and the segmentation values feed sums that must not overflow.
TEST_F(ViewSettings, ProfileValuesComeBackInTheToolsRangesAndNamesWholeCharacters) {
    host.profile["firsttime"] = "0";
    host.profile["m_iNumOfPresets"] = "1";
    host.profile["pname0"] = std::string(126, 'a') + "\xc3\xa9";  // 128 bytes, the last character two
    host.profile["phue0"] = "nan";
    host.profile["psat0"] = "inf";
    host.profile["pdiff0"] = "-1e30";
    host.profile["pshine0"] = "1e30";
    host.profile["piso0"] = "2147483647";
    host.profile["m_iSegLow"] = "-2147483648";
    host.profile["m_iSegHigh"] = "-2147483648";
    host.profile["m_iSegRad"] = "-5";
    ViewFixture fixture(makeStandardRenderer, &host);
    const Preset& p = fixture.view.m_presetTable.m_presets[0];
    EXPECT_EQ(std::string(p.name), std::string(126, 'a'));
    EXPECT_TRUE(p.hue >= 0.0f && p.hue <= kMaxHue) << p.hue;
    EXPECT_TRUE(p.saturation >= kMinSaturation && p.saturation <= kMaxSaturation) << p.saturation;
    EXPECT_TRUE(p.diffuse >= 0.0f && p.diffuse <= kMaxDiffuse) << p.diffuse;
    EXPECT_TRUE(p.shine >= kMinShine && p.shine <= kMaxShine) << p.shine;
    EXPECT_EQ(p.iso, CVolume::kMaxHU);
    EXPECT_EQ(fixture.view.m_prefs.segLow, -kMaxSegBoundHU);
    EXPECT_EQ(fixture.view.m_prefs.segHigh, -kMaxSegBoundHU);
    EXPECT_EQ(fixture.view.m_prefs.segRad, kMinSegRadius);
}

TEST_F(ViewSettings, StoredPresetCountAboveSixteenIsCut) {
    host.profile["m_iNumOfPresets"] = "40";
    ViewFixture fixture(makeStandardRenderer, &host);
    EXPECT_EQ(fixture.view.m_presetTable.m_iNumOfPresets, 16);
    EXPECT_STREQ(fixture.view.m_presetTable.m_presets[3].name, "pname3") << "a missing name reads as its key";
}

TEST(PresetTable, FactoryPresetsNeedFourFreeSlots) {
    PresetTable table;
    Preset p;
    for (int i = 0; i < 12; ++i) table.add(p);
    EXPECT_FALSE(table.addFactoryPresets());
    EXPECT_EQ(table.m_iNumOfPresets, 12);
    table.deletePreset(0);
    EXPECT_TRUE(table.addFactoryPresets());
    EXPECT_EQ(table.m_iNumOfPresets, 15);
    // Again on a table that holds them: none is added twice.
    PresetTable factory;
    EXPECT_TRUE(factory.addFactoryPresets());
    EXPECT_TRUE(factory.addFactoryPresets());
    EXPECT_EQ(factory.m_iNumOfPresets, 4);
}

TEST(PresetTable, DeletingMovesLaterPresetsDown) {
    PresetTable table;
    for (const char* name : {"a", "b", "c"}) {
        Preset p;
        p.setName(name);
        table.add(p);
    }
    EXPECT_FALSE(table.deletePreset(3));
    EXPECT_TRUE(table.deletePreset(1));
    ASSERT_EQ(table.m_iNumOfPresets, 2);
    EXPECT_STREQ(table.at(1)->name, "c");
    EXPECT_EQ(table.at(2), nullptr);
}

TEST(PresetTable, NameOf128CharactersKeepsThe127First) {
    Preset p;
    p.setName(std::string(128, 'n'));
    EXPECT_EQ(std::string(p.name), std::string(127, 'n'));
}

TEST_F(ViewSettings, ApplyingAPresetSetsIsovalueAndShading) {
    ViewFixture fixture(makeStandardRenderer, &host);
    fixture.view.applyPreset(1);  // bone
    EXPECT_EQ(fixture.ball.volume.storedToHU(fixture.ball.volume.isoStored), 300);
    EXPECT_EQ(fixture.view.m_fHue, 205.0f);
    EXPECT_TRUE(fixture.view.m_bRenderPending);
    fixture.view.m_bRenderPending = false;
    fixture.view.applyPreset(9);
    EXPECT_FALSE(fixture.view.m_bRenderPending) << "an index past the table does nothing";
}

}  // namespace
