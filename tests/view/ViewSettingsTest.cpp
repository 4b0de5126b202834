// Preferences and presets in the host profile.
#include "ViewTestSupport.h"

#include "FakeHost.h"

#include <gtest/gtest.h>

namespace {

std::string key(const char* name) { return std::string("0|v3d|") + name; }

class ViewSettings : public ::testing::Test {
protected:
    void SetUp() override { fakeHost().reset(); }
};

TEST_F(ViewSettings, FirstStartTakesDefaultsAndAddsFactoryPresetsOnce) {
    {
        ViewFixture fixture;
        TestView& v = fixture.view;
        EXPECT_TRUE(v.m_bNoTumble);
        EXPECT_FALSE(fixture.camera.perspective);
        EXPECT_TRUE(v.m_bShadowsPersp);
        EXPECT_FALSE(v.m_bShadowsPar);
        EXPECT_FALSE(v.m_bFloodBound);
        EXPECT_TRUE(v.m_bOPQonSSD);
        EXPECT_TRUE(v.m_bWireframe);
        EXPECT_EQ(v.m_iSegLow, -1000);
        EXPECT_EQ(v.m_iSegHigh, 3000);
        EXPECT_EQ(v.m_iSegRad, 100);
        EXPECT_EQ(v.m_iInvertMouse, 1);
        EXPECT_EQ(v.m_fMouseSpeedX, 100.0f);
        ASSERT_EQ(v.m_presetTable.m_iNumOfPresets, 4);
        EXPECT_STREQ(v.m_presetTable.m_presets[0].name, "Skin CT   (-300HU)");
        EXPECT_STREQ(v.m_presetTable.m_presets[3].name, "Heart CT  (-210HU)");
        EXPECT_EQ(fakeHost().profile[key("firsttime")], "0");
        // The user deletes every preset.
        while (v.m_presetTable.deletePreset(0)) {
        }
    }
    EXPECT_EQ(fakeHost().profile[key("m_iNumOfPresets")], "0");
    ViewFixture again;
    EXPECT_EQ(again.view.m_presetTable.m_iNumOfPresets, 0) << "factory presets come only on the first start";
}

TEST_F(ViewSettings, LoadingWritesNothingButFirstTime) {
    ViewFixture fixture;
    for (const auto& call : fakeHost().calls) {
        if (call.rfind("QVWriteProfile", 0) == 0) {
            EXPECT_NE(call.find("firsttime"), std::string::npos) << call;
        }
    }
}

TEST_F(ViewSettings, MouseSpeedIsSavedAsWholePercent) {
    {
        ViewFixture fixture;
        fixture.view.m_fMouseSpeedX = 150.7f;
    }
    EXPECT_EQ(fakeHost().profile[key("m_fMouseSpeedX")], "150");
    ViewFixture again;
    EXPECT_EQ(again.view.m_fMouseSpeedX, 150.0f);
}

TEST_F(ViewSettings, SaveWritesThePreferencesInOrder) {
    { ViewFixture fixture; }
    std::vector<std::string> keys;
    for (const auto& call : fakeHost().calls) {
        if (call.rfind("QVWriteProfile", 0) != 0 || call.find("firsttime") != std::string::npos) continue;
        const size_t start = call.find(",v3d,") + 5;
        keys.push_back(call.substr(start, call.find(',', start) - start));
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
    fakeHost().profile[key("m_bPerspCamera")] = "1";
    ViewFixture fixture;
    EXPECT_TRUE(fixture.camera.perspective);
}

TEST_F(ViewSettings, PresetFloatsRoundTripAsFixedText) {
    fakeHost().profile[key("firsttime")] = "0";
    {
        ViewFixture fixture;
        Preset p;
        p.setName("mine");
        p.hue = 220.5f;
        ASSERT_TRUE(fixture.view.m_presetTable.add(p));
    }
    EXPECT_EQ(fakeHost().profile[key("phue0")], "220.500000");
    ViewFixture again;
    ASSERT_EQ(again.view.m_presetTable.m_iNumOfPresets, 1);
    EXPECT_EQ(again.view.m_presetTable.m_presets[0].hue, 220.5f);
    EXPECT_STREQ(again.view.m_presetTable.m_presets[0].name, "mine");
}

TEST_F(ViewSettings, StoredPresetCountAboveSixteenIsCut) {
    fakeHost().profile[key("m_iNumOfPresets")] = "40";
    ViewFixture fixture;
    EXPECT_EQ(fixture.view.m_presetTable.m_iNumOfPresets, 16);
    EXPECT_STREQ(fixture.view.m_presetTable.m_presets[3].name, "pname3") << "a missing name reads as its key";
}

TEST(PresetTable, FactoryPresetsNeedFourFreeSlots) {
    fakeHost().reset();
    PresetTable table;
    Preset p;
    for (int i = 0; i < 12; ++i) table.add(p);
    EXPECT_FALSE(table.addFactoryPresets());
    EXPECT_EQ(table.m_iNumOfPresets, 12);
    table.deletePreset(0);
    EXPECT_TRUE(table.addFactoryPresets());
    EXPECT_EQ(table.m_iNumOfPresets, 15);
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
    ViewFixture fixture;
    fixture.view.applyPreset(1);  // bone
    EXPECT_EQ(fixture.ball.volume.storedToHU(fixture.ball.volume.isoStored), 300);
    EXPECT_EQ(fixture.view.m_fHue, 205.0f);
    EXPECT_TRUE(fixture.view.m_bRenderPending);
    fixture.view.m_bRenderPending = false;
    fixture.view.applyPreset(9);
    EXPECT_FALSE(fixture.view.m_bRenderPending) << "an index past the table does nothing";
}

}  // namespace
