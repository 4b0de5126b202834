// What the background pass reads cannot change under it: cut planes,
// volume and camera change only through the view's door, which stops the
// pass first, and the pass reads its own copy of the view's settings.
// Run under ThreadSanitizer these loops report any access that races.
#include "ViewFixture.h"

#include <gtest/gtest.h>

using namespace v3d;

namespace {

struct RenderDoor : ::testing::Test {
    ViewFixture fixture;
    TestView& view = fixture.view;

    void SetUp() override {
        view.m_iImageWidth = view.m_iImageHeight = 128;
        view.m_bCutPlaneMode = true;
    }
    // A frame whose background pass is still casting when it returns.
    void startPass() {
        view.m_iCoarseStep = 8;
        view.requestRender(true);
        view.renderFrame();
    }
    void addPlanes(int n) {
        const CVolume& volume = fixture.ball.volume;
        for (int i = 0; i < n; ++i)
            view.changePlanes().add(volume, volume.halfSize(), volume.halfSize() + Vec3(float(i), 0, 0),
                                    normalised(Vec3(1, float(i % 3) - 1.0f, 0.5f)));
    }
};

TEST_F(RenderDoor, CutPlanesDeletedMovedAndResetWhileSurfacePassesRun) {
    for (int round = 0; round < 20; ++round) {
        addPlanes(3);
        startPass();
        view.deleteSelectedCutPlane();
        startPass();
        view.changePlanes().selected()->translate(Vec3(0, 0, 1));
        startPass();
        view.changePlanes().resetCutPlanes();
        startPass();
        view.deleteAllCutPlanes();
    }
    view.stopRenderers();
    EXPECT_EQ(view.planes().m_iNumCutPlanes, 0);
    EXPECT_EQ(view.currentRenderer()->busyCount.load(), 0);
}

TEST_F(RenderDoor, VolumeAndCameraChangedWhilePassesRun) {
    for (int mode : {RENDER_SSD, RENDER_MIP}) {
        view.setRenderMode(mode);
        for (int round = 0; round < 10; ++round) {
            startPass();
            view.changeVolume().setIsoValue(-300 + 50 * round);
            startPass();
            view.applyWindowLevel(40 * round, 400);
            startPass();
            view.changeCamera().orbit(AXIS_FIRST, 5.0f, fixture.ball.volume.center(), true);
        }
    }
    view.stopRenderers();
    EXPECT_EQ(view.currentRenderer()->busyCount.load(), 0);
}

TEST_F(RenderDoor, SnapshotHoldsThePlanesOfTheRenderThatStarted) {
    addPlanes(2);
    startPass();
    const RenderSnapshot& taken = view.currentRenderer()->snapshot;
    ASSERT_EQ(taken.cutPlaneCount, 2);
    const Vec3 point = taken.cutPlanes[1].point;
    view.deleteAllCutPlanes();
    EXPECT_EQ(taken.cutPlaneCount, 2) << "the pass's copy stays until the next render";
    EXPECT_EQ(taken.cutPlanes[1].point, point);
    EXPECT_EQ(view.currentRenderer()->busyCount.load(), 0) << "changing the planes stopped the pass";
}

}  // namespace
