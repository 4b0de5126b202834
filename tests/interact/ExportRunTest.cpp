// The export loop: how many images each choice makes, the fresh series of a
// rotation, and what a cancelled series leaves behind.
#include "collab/CaptureRecord.h"
#include "interact/CapturePixels.h"
#include "interact/ExportRun.h"

#include "ViewFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct RecordingSteps : ExportSteps {
    RecordingSteps(CaptureRecord& record, const Camera& camera) : record(record), camera(camera) {}
    void beginImage(int index, int count) override { titles.push_back(std::to_string(index + 1) + "/" + std::to_string(count)); }
    void render(int width, int height) override { sizes.push_back(width * 1000 + height); }
    void capture(int, int) override {
        seriesDuringCapture.push_back(record.captureSeriesUid);
        views.push_back(camera.view);
    }
    bool cancelled() override { return static_cast<int>(views.size()) == cancelAfter; }

    CaptureRecord& record;
    const Camera& camera;
    std::vector<std::string> titles;
    std::vector<int> sizes;
    std::vector<std::string> seriesDuringCapture;
    std::vector<Vec3> views;
    int cancelAfter = -1;
};

class ExportLoop : public ::testing::Test {
protected:
    int run(ExportOptions options) {
        RecordingSteps steps(capture, f.camera);
        const int n = runExport(f.view, capture, options, steps);
        titles = steps.titles;
        sizes = steps.sizes;
        seriesDuringCapture = steps.seriesDuringCapture;
        views = steps.views;
        return n;
    }
    ViewFixture f;
    CaptureRecord capture;
    std::vector<std::string> titles;
    std::vector<int> sizes;
    std::vector<std::string> seriesDuringCapture;
    std::vector<Vec3> views;
};

TEST_F(ExportLoop, ImageCountsOfTheDialogChoices) {
    EXPECT_EQ(run({384, 384, 180, 1, 9, 1}), 21);
    EXPECT_EQ(titles.back(), "21/21");
    EXPECT_EQ(run({384, 384, 360, 1, 15, 1}), 24);
    EXPECT_EQ(run({384, 384, 90, 2, 15, -1}), 7);
    EXPECT_EQ(run({256, 256, 0, 1, 9, 1}), 1);
    EXPECT_EQ(titles, std::vector<std::string>{"1/1"});
    EXPECT_EQ(sizes, std::vector<int>{256256});
}

TEST_F(ExportLoop, LastImageOfAHalfTurnLooksFromTheOtherSide) {
    const Vec3 start = f.camera.view;
    run({384, 384, 180, 1, 9, 1});
    EXPECT_NEAR(dot(views.back(), start), -1.0f, 1e-4f);
    EXPECT_NEAR(dot(views[10], start), 0.0f, 1e-4f);
}

TEST_F(ExportLoop, RotationSeriesStartsAFreshSeriesAndLeavesTheWindowsOwn) {
    capture.captureSeriesUid = "1.2.3";
    capture.captureSeriesNumber = 4;
    run({384, 384, 90, 1, 15, 1});
    for (const std::string& series : seriesDuringCapture) EXPECT_EQ(series, "");
    EXPECT_EQ(capture.captureSeriesUid, "1.2.3");
    EXPECT_EQ(capture.captureSeriesNumber, 4u);
    run({384, 384, 0, 1, 15, 1});
    EXPECT_EQ(seriesDuringCapture, std::vector<std::string>{"1.2.3"});
}

TEST_F(ExportLoop, CancelStopsAfterTheCurrentImageAndRestoresCameraAndSeries) {
    capture.captureSeriesUid = "1.2.3";
    const Camera before = f.camera;
    f.view.m_prefs.noTumble = false;
    RecordingSteps s(capture, f.camera);
    s.cancelAfter = 3;
    EXPECT_EQ(runExport(f.view, capture, {384, 384, 360, 2, 10, -1}, s), 3);
    EXPECT_EQ(f.camera.position, before.position);
    EXPECT_EQ(f.camera.view, before.view);
    EXPECT_EQ(f.camera.up, before.up);
    EXPECT_EQ(f.camera.right, before.right);
    EXPECT_FALSE(f.view.m_prefs.noTumble);
    EXPECT_EQ(capture.captureSeriesUid, "1.2.3");
}

// A viewer that masks pixels with Bits Stored must read the largest one
// back unchanged (a power of two once read as 0), and no image has 0 bits.
TEST(CapturePixelsBits, BitsStoredHoldTheLargestPixelAndNoFewer) {
    for (uint32_t v = 0; v <= 65535; ++v) {
        const uint16_t n = bitsStoredFor(v);
        ASSERT_GE(n, 1) << v;
        ASSERT_LE(n, 16) << v;
        ASSERT_EQ(v & ((1u << n) - 1), v) << v;
        if (n > 1) {
            ASSERT_GE(v, 1u << (n - 1)) << v;
        }
    }
}

TEST(CapturePixelsImage, MipCaptureIsGreyFromTheValuesAndClearsTheDisplay) {
    ViewFixture f;
    f.view.setRenderMode(RENDER_MIP);
    f.view.renderForExport(64, 64, nullptr);
    const CapturedPixels pixels = takeCapturePixels(f.view, 64, 64);
    EXPECT_EQ(pixels.type, PIXELS_GREY16);
    ASSERT_EQ(pixels.grey.size(), 64u * 64u);
    EXPECT_GE(pixels.largest, 1324) << "the ball's stored value shows";
    EXPECT_EQ(*std::max_element(pixels.grey.begin(), pixels.grey.end()), pixels.largest);
    EXPECT_EQ(*std::min_element(pixels.grey.begin(), pixels.grey.end()), 0) << "air around the ball";
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint8_t r, g, b;
            f.view.getPixel(x, y, r, g, b);
            ASSERT_EQ(r | g | b, 0);
        }
}

}  // namespace
