// Display geometry, the shade table and the colour pass's gap filling.
#include "ViewFixture.h"
#include "view/DisplayGeometry.h"
#include "view/ShadeTable.h"


#include <gtest/gtest.h>

using namespace v3d;

namespace {

TEST(DisplayGeometry, NarrowClientGetsACentredSquare) {
    DisplayGeometry g;
    g.resize(107, 57);
    EXPECT_EQ(g.halfClientWidth, 50);
    EXPECT_EQ(g.halfClientHeight, 25);
    EXPECT_EQ(g.rect.left, 25);
    EXPECT_EQ(g.rect.top, 0);
    EXPECT_EQ(g.rect.width, 50);
    EXPECT_EQ(g.rect.height, 50);
}

TEST(DisplayGeometry, TinyClientShowsInTheCornerAndMapsEverythingToPixelZero) {
    DisplayGeometry g;
    g.resize(40, 40);
    EXPECT_EQ(g.rect.left, 0);
    EXPECT_EQ(g.rect.width, 16);
    EXPECT_EQ(g.rect.height, 16);
    for (ClientPoint p : {ClientPoint{0, 0}, ClientPoint{20, 20}, ClientPoint{39, 5}}) {
        const ClientPoint i = g.clientToImage(p, 256, 256);
        EXPECT_EQ(i.x, 0);
        EXPECT_EQ(i.y, 0);
    }
    EXPECT_FALSE(g.isInsideImage({8, 8}));
}

TEST(DisplayGeometry, CollapsedClientKeepsThePreviousRectangle) {
    DisplayGeometry g;
    g.resize(300, 300);
    const DisplayRect before = g.rect;
    g.resize(0, 0);
    EXPECT_EQ(g.rect.width, before.width);
    EXPECT_EQ(g.rect.left, before.left);
}

TEST(DisplayGeometry, ClientToImageMapsTheSquareOntoTheImageAndClamps) {
    DisplayGeometry g;
    g.resize(407, 307);  // half sizes 200 and 150, square of 300 at (50, 0)
    ClientPoint p = g.clientToImage({50, 0}, 256, 256);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    p = g.clientToImage({200, 150}, 256, 256);
    EXPECT_EQ(p.x, 128);
    EXPECT_EQ(p.y, 128);
    p = g.clientToImage({406, 306}, 256, 256);
    EXPECT_EQ(p.x, 255);
    EXPECT_EQ(p.y, 255);
    EXPECT_TRUE(g.isInsideImage({350, 300}));
    EXPECT_FALSE(g.isInsideImage({351, 150}));
}

TEST(ShadeTable, ZeroSaturationIsGrey) {
    uint8_t table[3][256];
    buildShadeTable(220.0f, 0.0f, 0.4f, 30.0f, table);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(table[0][i], table[1][i]);
        EXPECT_EQ(table[1][i], table[2][i]);
    }
}

TEST(ShadeTable, ZeroDiffuseIsThePureRamp) {
    uint8_t table[3][256];
    buildShadeTable(0.0f, 0.0f, 0.0f, 30.0f, table);
    for (int i : {0, 1, 100, 200, 255}) EXPECT_NEAR(table[0][i], i, 1) << i;
}

TEST(ShadeTable, LevelTwoFiftyFiveOfTheDefaultsIsWhite) {
    uint8_t table[3][256];
    buildShadeTable(220.0f, 0.5f, 0.4f, 30.0f, table);
    EXPECT_EQ(table[0][255], 255);
    EXPECT_EQ(table[1][255], 255);
    EXPECT_EQ(table[2][255], 255);
    EXPECT_EQ(table[0][0], 0);
}

TEST(ShadeTable, DefaultHueIsWarmAndRedHueIsRed) {
    const Rgb skin = hslToRgb(220.0f, 0.5f, 0.5f);
    EXPECT_GT(skin.red, skin.blue);
    const Rgb red = hslToRgb(253.0f, 0.6f, 0.5f);
    EXPECT_GT(red.red, red.green);
    EXPECT_GT(red.red, red.blue);
}

// Saturation 0.5 and lightness 0.5 give m1 0.25 and m2 0.75; each band of
// 60 degrees mixes them its own way, and a hue a third into a band shows
// which way its ramps run (lightness 0.75: m1 0.625, m2 0.875).
TEST(ShadeTable, HueToColourInEachBandOfSixtyDegrees) {
    const float third = 0.25f + 0.5f / 3.0f, twoThirds = 0.25f + 1.0f / 3.0f;
    struct Row { float hue; float red, green, blue; };
    for (const Row& row : {Row{20, 0.25f, third, 0.75f}, Row{80, 0.25f, 0.75f, twoThirds},
                           Row{140, third, 0.75f, 0.25f}, Row{200, 0.75f, twoThirds, 0.25f},
                           Row{260, 0.75f, 0.25f, third}, Row{320, twoThirds, 0.25f, 0.75f}}) {
        const Rgb c = hslToRgb(row.hue, 0.5f, 0.5f);
        EXPECT_NEAR(c.red, row.red, 1e-5f) << row.hue;
        EXPECT_NEAR(c.green, row.green, 1e-5f) << row.hue;
        EXPECT_NEAR(c.blue, row.blue, 1e-5f) << row.hue;
    }
    const Rgb light = hslToRgb(20.0f, 0.5f, 0.75f);
    EXPECT_NEAR(light.red, 0.625f, 1e-5f);
    EXPECT_NEAR(light.green, 0.625f + 0.25f / 3.0f, 1e-5f);
    EXPECT_NEAR(light.blue, 0.875f, 1e-5f);
}

// Level 220 with shininess 2 and highlight weight 0.4: diffuse 220 / 255
// plus a highlight of (2 (220 / 255)^2 - 1)^2 * 4 * 0.4 / 6.283185, which
// lifts the grey from 220 to 235; with hue 220 and saturation 0.5 that
// lightness is (245, 232, 225).
TEST(ShadeTable, HighlightEntryAgainstItsKnownValue) {
    uint8_t table[3][256];
    buildShadeTable(0.0f, 0.0f, 0.4f, 2.0f, table);
    EXPECT_EQ(table[0][220], 235);
    EXPECT_EQ(table[0][100], 100) << "no highlight at 45 degrees from the light or more";
    buildShadeTable(220.0f, 0.5f, 0.4f, 2.0f, table);
    EXPECT_EQ(table[0][220], 245);
    EXPECT_EQ(table[1][220], 232);
    EXPECT_EQ(table[2][220], 225);
}

// A renderer that only paints its finished grid: pixel (x, y) = (x, y, 0).
class GridRenderer : public CRaycaster {
public:
    using CRaycaster::CRaycaster;
    int render(int w, int h, int, int, ProgressSink*) override {
        storeSize(w, h);
        return 0;
    }
    void shadePixel(int x, int y) override {
        parentView->setPixel(x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0);
    }
    void retracePixel(int, int) override {}

protected:
    void castFirstPass(int, int) override {}
    void refinePixel(int, int, int, int, int, int, int) override {}
    void castExact(int, int) override {}
};

TEST(ComposeImage, GapsAreFilledByHalvedNeighbours) {
    ViewFixture fixture([](int, ViewCore& v) -> std::unique_ptr<CRaycaster> {
        return std::make_unique<GridRenderer>(v, *v.m_pVolume, *v.m_pCamera, *v.m_workspace, &v.m_shadeTable[0][0]);
    });
    TestView& view = fixture.view;
    view.m_prefs.wireframe = false;
    view.m_iImageWidth = view.m_iImageHeight = 16;
    view.currentRenderer()->currentStep = 4;
    view.composeImage();
    uint8_t r, g, b;
    view.getPixel(4, 0, r, g, b);
    EXPECT_EQ(r, 4) << "on the grid";
    view.getPixel(2, 0, r, g, b);
    EXPECT_EQ(r, 0 / 2 + 4 / 2);
    view.getPixel(1, 0, r, g, b);
    EXPECT_EQ(r, 0 / 2 + 2 / 2);
    view.getPixel(3, 0, r, g, b);
    EXPECT_EQ(r, 2 / 2 + 4 / 2);
    view.getPixel(0, 6, r, g, b);
    EXPECT_EQ(g, 4 / 2 + 8 / 2);
    view.getPixel(0, 5, r, g, b);
    EXPECT_EQ(g, 4 / 2 + 6 / 2);
    view.getPixel(14, 0, r, g, b);
    EXPECT_EQ(r, 12) << "past the last grid column the near side stands in";
}

}  // namespace

namespace {

TEST(OrientationGlyphs, EachFaceLiesOnItsSideOfTheCube) {
    const auto glyphs = makeOrientationGlyphs();
    const int strokes[6] = {3, 6, 2, 5, 3, 3};
    for (int g = 0; g < 6; ++g) {
        const WireModel& model = glyphs[static_cast<size_t>(g)];
        EXPECT_EQ(model.edgeCount(), 4 + strokes[g]) << g;
        const Vec3& n = model.getFacingNormal();
        for (const Vec3& v : model.vertices()) EXPECT_EQ(dot(v, n), 1.0f) << "glyph " << g;
        for (const auto& e : model.edges()) {
            EXPECT_LT(e.second, static_cast<int>(model.vertices().size()));
        }
    }
}

}  // namespace
