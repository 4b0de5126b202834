// The 2D panel as users of DICOM viewers drive it, in the real host: window
// and level by dragging, presets, MONOCHROME1, non-square pixels, paging,
// zoom and the texts over the image. Pictures are the cell's own pixels.
#include "HostRun.h"
#include "TestDicom.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

namespace {

using namespace hostviewer;

const QString kPlugins = QString(VEXEL3D_LIBRARY);

struct Scene {
    QTemporaryDir dir;
    QString folder() const { return dir.filePath("images"); }
    QString shot(const QString& name) const { return dir.filePath(name + ".png"); }
    // Runs the host on the images with one cell (a larger panel).
    HostResult run(const QString& script) const {
        return runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"), "open " + folder() + "\n" + script,
                       {"--grid", "1x1", "--window-size", "900x700"});
    }
    bool write(const std::vector<TestImage>& images) const {
        QDir().mkpath(folder());
        for (size_t i = 0; i < images.size(); ++i)
            if (!writeTestImage(images[i], folder() + QString("/%1.dcm").arg(i + 1, 3, 10, QChar('0')))) return false;
        return true;
    }
};

bool isImagePixel(QRgb c) {
    // Image pixels are grey; the panel's background is bluish.
    return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c);
}

// The image's extent along a row and a column of the picture through a point
// away from the texts (which sit at the edges and corners).
int greyRun(const QImage& picture, bool alongRow, int at) {
    int count = 0;
    const int n = alongRow ? picture.width() : picture.height();
    for (int i = 0; i < n; ++i) {
        const QRgb c = alongRow ? picture.pixel(i, at) : picture.pixel(at, i);
        count += isImagePixel(c) && qRed(c) > 100 && qRed(c) < 160 ? 1 : 0;
    }
    return count;
}

int greyAt(const QImage& picture, double fx, double fy) {
    return qGray(picture.pixel(int(picture.width() * fx), int(picture.height() * fy)));
}

TEST(HostPanel, WindowDragAndPresetsChangeTheShownGreyValues) {
    Scene scene;
    std::vector<TestImage> images = testSeries(1);
    images[0].rows = images[0].columns = 64;
    images[0].pixels.assign(64 * 64, 2024);  // 1000 HU with the intercept below
    images[0].windowCenter = 1000 + 1024;    // stored values: the test writes no rescale
    images[0].windowWidth = 400;
    ASSERT_TRUE(scene.write(images));
    const auto run = scene.run("screenshot-cell 0 " + scene.shot("before") + "\n"
                               "panel 0\n"
                               "mouse 0 press 300 300 right\n"
                               "mouse 0 move 300 350 right\n"
                               "mouse 0 move 300 400 right\n"
                               "mouse 0 release 300 400 right\n"
                               "panel 0\n"
                               "screenshot-cell 0 " + scene.shot("dragged") + "\n"
                               "key 0 1\n"
                               "screenshot-cell 0 " + scene.shot("preset") + "\n"
                               "key 0 0\n"
                               "screenshot-cell 0 " + scene.shot("own") + "\n"
                               "mouse 0 press 300 300 left ctrl\n"
                               "mouse 0 move 300 250 left ctrl\n"
                               "mouse 0 release 300 250 left ctrl\n"
                               "screenshot-cell 0 " + scene.shot("ctrl") + "\n");
    ASSERT_TRUE(ranCleanly(run));
    // Own window: the value sits in its middle.
    const int before = greyAt(QImage(scene.shot("before")), 0.5, 0.45);
    EXPECT_NEAR(before, 128, 2);
    // 100 pixels down raise the level by 100 x 400 / 256: the value is darker.
    EXPECT_TRUE(run.out.contains("window 2180.25/400")) << run.out.toStdString();
    EXPECT_NEAR(greyAt(QImage(scene.shot("dragged")), 0.5, 0.45), int((2024 - 1980.25) / 400 * 255), 2);
    // A stored value of 2024 lies above the lung window (-600/1500) without a
    // rescale: white.
    EXPECT_EQ(greyAt(QImage(scene.shot("preset")), 0.5, 0.45), 255);
    EXPECT_NEAR(greyAt(QImage(scene.shot("own")), 0.5, 0.45), 128, 2);
    // Ctrl with the left button: 50 pixels up lower the level, brighter.
    EXPECT_GT(greyAt(QImage(scene.shot("ctrl")), 0.5, 0.45), 128 + 40);
}

TEST(HostPanel, Monochrome1ShowsLowValuesWhite) {
    for (const std::string photometric : {"MONOCHROME1", "MONOCHROME2"}) {
        Scene scene;
        std::vector<TestImage> images = testSeries(1);
        TestImage& image = images[0];
        image.rows = image.columns = 64;
        image.photometric = photometric;
        image.windowCenter = 2000;
        image.windowWidth = 4000;
        image.pixels.resize(64 * 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) image.pixels[size_t(y * 64 + x)] = x < 32 ? 0 : 4000;
        ASSERT_TRUE(scene.write(images));
        const auto run = scene.run("screenshot-cell 0 " + scene.shot("shot") + "\n");
        ASSERT_TRUE(ranCleanly(run));
        const QImage shot(scene.shot("shot"));
        const int low = greyAt(shot, 0.4, 0.45), high = greyAt(shot, 0.6, 0.45);
        if (photometric == "MONOCHROME1") {
            EXPECT_EQ(low, 255);
            EXPECT_EQ(high, 0);
        } else {
            EXPECT_EQ(low, 0);
            EXPECT_EQ(high, 255);
        }
    }
}

TEST(HostPanel, PixelsTwiceAsWideAsHighAreDrawnTwiceAsWide) {
    for (const std::string spacing : {"1\\2", "1\\1"}) {
        Scene scene;
        std::vector<TestImage> images = testSeries(1);
        TestImage& image = images[0];
        image.rows = image.columns = 40;
        image.pixelSpacing = spacing;  // between rows \ between columns
        image.pixels.assign(40 * 40, 1000);
        image.windowCenter = 1000;
        image.windowWidth = 510;  // mid-grey
        ASSERT_TRUE(scene.write(images));
        const auto run = scene.run("screenshot-cell 0 " + scene.shot("shot") + "\n");
        ASSERT_TRUE(ranCleanly(run));
        const QImage shot(scene.shot("shot"));
        const int wide = greyRun(shot, true, shot.height() * 45 / 100);
        const int high = greyRun(shot, false, shot.width() * 45 / 100);
        ASSERT_GT(high, 100);
        EXPECT_NEAR(double(wide) / high, spacing == "1\\2" ? 2.0 : 1.0, 0.03) << wide << " x " << high;
    }
}

TEST(HostPanel, WheelArrowsAndPagesPageZoomAndPanMove) {
    Scene scene;
    ASSERT_TRUE(scene.write(testSeries(20)));
    const auto run = scene.run("panel 0\n"
                               "key 0 Down\n"
                               "panel 0\n"
                               "wheel 0 -120\n"
                               "panel 0\n"
                               "key 0 PgDown\n"
                               "panel 0\n"
                               "key 0 End\n"
                               "key 0 Right\n"
                               "panel 0\n"
                               "key 0 Home\n"
                               "key 0 Up\n"
                               "key 0 PgUp\n"
                               "panel 0\n"
                               "key 0 +\n"
                               "mouse 0 press 300 300 left shift\n"
                               "mouse 0 move 340 320 left shift\n"
                               "mouse 0 release 340 320 left shift\n"
                               "panel 0\n"
                               "key 0 F\n"
                               "panel 0\n");
    ASSERT_TRUE(ranCleanly(run));
    QStringList states;
    for (const QString& line : run.out.split('\n'))
        if (line.startsWith("panel 0: ")) states << line.mid(9).section(" window", 0, 0) + " " + line.section(" zoom ", 1);
    EXPECT_EQ(states.join("\n").toStdString(),
              "image 11/20 1 pan 0,0\n"
              "image 12/20 1 pan 0,0\n"
              "image 13/20 1 pan 0,0\n"
              "image 15/20 1 pan 0,0\n"
              "image 20/20 1 pan 0,0\n"
              "image 1/20 1 pan 0,0\n"
              "image 1/20 1.25 pan 40,20\n"
              "image 1/20 1 pan 0,0");
}

TEST(HostPanel, TextsNameThePatientImageWindowAndDirections) {
    Scene scene;
    std::vector<TestImage> images = testSeries(3);
    for (TestImage& image : images) {
        image.windowCenter = 40;
        image.windowWidth = 400;
        image.seriesDescription = "Axial soft tissue";
    }
    // The third image lies sagittal: rows run to the back, columns down.
    images[2].orientation = "0\\1\\0\\0\\0\\-1";
    images[2].position = "-100\\0\\0";  // last along its own normal (to the right)
    ASSERT_TRUE(scene.write(images));
    const auto run = scene.run("key 0 Home\npanel-texts 0\nkey 0 End\npanel-texts 0\n");
    ASSERT_TRUE(ranCleanly(run));
    EXPECT_TRUE(run.out.contains("texts top-left: Test Patient | ID0001 | 2024-01-31\n")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("texts top-right: Axial soft tissue | Im 1/3 | Pos 0.0, 0.0, 0.0 mm\n"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("texts bottom-left: W 400 L 40\n")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("texts edges: left R right L top A bottom P\n")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("texts edges: left A right P top S bottom I\n")) << run.out.toStdString();
}

}  // namespace
