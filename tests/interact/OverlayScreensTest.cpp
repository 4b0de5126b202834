// The overlays as a user sees them: the reference host runs offscreen on a
// phantom head series, scripted mouse input draws a cut line, a region
// outline and probes bone with the density-range tool, and the screenshots
// of the 3D window are checked for the overlay pixels. The PNGs stay in the
// build folder (overlay_screens/) for a look.

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

const QString kOut = QStringLiteral(OVERLAY_SCREENS_DIR);

bool runTool(const QString& program, const QStringList& args, QString* log = nullptr, int timeoutMs = 120000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (log) *log = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool runHost(const QString& scriptName, const QString& script, const QStringList& extra, QString& log) {
    const QString path = kOut + "/" + scriptName;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    file.write(script.toUtf8());
    file.close();
    QStringList args{"--offscreen", "--no-docks", "--plugins", QStringLiteral(PLUGIN_DIR), "--profile", kOut + "/profile-" + scriptName + ".ini",
                     "--output", kOut + "/captures", "--script", path};
    args << extra;
    QFile::remove(kOut + "/profile-" + scriptName + ".ini");
    return runTool(QStringLiteral(QUARVIA_EXE), args, &log);
}

QImage shot(const QString& name) { return QImage(kOut + "/" + name).convertToFormat(QImage::Format_RGB32); }

bool isColour(QRgb p, int r, int g, int b) { return qRed(p) == r && qGreen(p) == g && qBlue(p) == b; }
bool isRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; }
bool isCyan(QRgb p) { return qRed(p) < 100 && qGreen(p) > 180 && qBlue(p) > 180; }

// The pixel or one of its eight neighbours passes.
bool near(const QImage& image, int x, int y, const std::function<bool(QRgb)>& test) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p(x + dx, y + dy);
            if (image.rect().contains(p) && test(image.pixel(p))) return true;
        }
    return false;
}

int count(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += test(image.pixel(x, y));
    return n;
}

// Topmost and bottommost rows with a pixel passing the test in the area; -1 when none.
std::pair<int, int> rowSpan(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test) {
    int top = -1, bottom = -1;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test(image.pixel(x, y))) {
                if (top < 0) top = y;
                bottom = y;
            }
    return {top, bottom};
}

// Leftmost and rightmost columns with a pixel passing the test in the area.
std::pair<int, int> columnSpan(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test) {
    int left = -1, right = -1;
    const QRect r = area.intersected(image.rect());
    for (int x = r.left(); x <= r.right(); ++x)
        for (int y = r.top(); y <= r.bottom(); ++y)
            if (test(image.pixel(x, y))) {
                if (left < 0) left = x;
                right = x;
                break;
            }
    return {left, right};
}

// The longest horizontal run of one exact colour.
int longestRun(const QImage& image, int r, int g, int b) {
    int best = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = isColour(image.pixel(x, y), r, g, b) ? run + 1 : 0;
            best = std::max(best, run);
        }
    }
    return best;
}

class OverlayScreens : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QDir().mkpath(kOut);
        s_phantom = kOut + "/phantom";
        // The tests of this suite run as separate processes side by side:
        // one of them makes the series while the others wait.
        QLockFile lock(kOut + "/phantom.lock");
        lock.setStaleLockTime(0);
        lock.lock();
        if (!QFile::exists(s_phantom + "/.complete")) {
            QDir(s_phantom).removeRecursively();
            // A whole head (156 x 190 x 140 mm) in a small series.
            s_ready = runTool(QStringLiteral(PHANTOM_TOOL), {"--out", s_phantom, "--size", "128x128x64", "--spacing",
                                                              "1.8", "--step", "3"});
            QFile mark(s_phantom + "/.complete");
            s_ready = s_ready && mark.open(QIODevice::WriteOnly);
        } else {
            s_ready = true;
        }
    }

    void SetUp() override { ASSERT_TRUE(s_ready) << "phantom series not made"; }

    static QString s_phantom;
    static bool s_ready;
};

QString OverlayScreens::s_phantom;
bool OverlayScreens::s_ready = false;

// The 3D window fills cell 1 with its view at the window's top-left; the
// mouse coordinates below are the view's.
const QString kOpen = "open %1\nseries 0 0\n";
const QString kCreateIn1 = "cell 1\nseries 0 1\nmenu &Postprocessing\\Vexel 3D\\&Create\nexpect-window 1\nwait-idle 5000\n";

TEST_F(OverlayScreens, NoticeBeforeASeriesThenTheOrientationFigureTurnsWithTheCamera) {
    const QString script = kOpen.arg(s_phantom) +
                           "cell 2\nmenu &Postprocessing\\Vexel 3D\\&Create\nexpect-window 2\n"
                           "screenshot-cell 2 " + kOut + "/notice-no-series.png\n" +
                           kCreateIn1 + "screenshot-cell 1 " + kOut + "/front.png\n"
                           // Orbit: drag up with the left button, the camera rises above the head.
                           "mouse 1 press 230 150 left\nmouse 1 move 231 150 left\nmouse 1 move 231 130 left\n"
                           "mouse 1 release 231 130 left\nwait-idle 5000\n"
                           "screenshot-cell 1 " + kOut + "/orbit-from-above.png\n";
    QString log;
    ASSERT_TRUE(runHost("orientation.script", script, {}, log)) << log.toStdString();

    const QImage notice = shot("notice-no-series.png");
    ASSERT_FALSE(notice.isNull());
    // "Drop image series to start" across the middle row band, in cyan.
    EXPECT_GT(count(notice, QRect(0, notice.height() / 2 - 30, notice.width(), 60), isCyan), 30);

    const QImage front = shot("front.png");
    const QImage above = shot("orbit-from-above.png");
    ASSERT_FALSE(front.isNull());
    ASSERT_FALSE(above.isNull());
    // The figure sits in the bottom-left corner of the view; its bold faces
    // are exact (0, 255, 255).
    const QRect corner(0, front.height() / 2, 90, front.height() / 2);
    auto bold = [](QRgb p) { return isColour(p, 0, 255, 255); };
    const auto frontRows = rowSpan(front, corner, bold);
    const auto aboveRows = rowSpan(above, corner, bold);
    ASSERT_GE(frontRows.first, 0);
    ASSERT_GE(aboveRows.first, 0);
    // Seen from above the head face turns towards the viewer and is drawn
    // bold above the anterior face: the bold part reaches higher, not lower.
    EXPECT_LT(aboveRows.first, frontRows.first - 4) << frontRows.first << " " << aboveRows.first;
    // Two faces bold now, the front one tilted away: the bold part is taller
    // by more than the tilt moves the front face's lower edge.
    EXPECT_GT(aboveRows.second - aboveRows.first, frontRows.second - frontRows.first + 8);
    // The corner texts are there in both.
    EXPECT_GT(count(front, QRect(0, 0, 120, 45), isCyan), 50);
}

TEST_F(OverlayScreens, CutLineOutlineAndDensityBoundsWhileDrawing) {
    const QString script = kOpen.arg(s_phantom) + kCreateIn1 +
                           // Bone, the density-range tool, the pointer first over empty background, then over the skull.
                           "command 1 6001\ncommand 1 32788\nwait-idle 5000\n"
                           "mouse 1 move 100 20\nmouse 1 move 101 21\n"
                           "screenshot-cell 1 " + kOut + "/density-no-probe.png\n"
                           "mouse 1 move 231 150\nmouse 1 move 232 150\nwait-idle 3000\n"
                           "screenshot-cell 1 " + kOut + "/density-over-bone.png\n"
                           // A cut line dragged with the right button from (160, 80) to (300, 230).
                           "command 1 32777\n"
                           "mouse 1 press 160 80 right\nmouse 1 move 161 80 right\nmouse 1 move 300 230 right\n"
                           "screenshot-cell 1 " + kOut + "/cut-line.png\n"
                           "mouse 1 release 300 230 right\nwait-idle 5000\n"
                           // Turning the new plane: its reference point is marked.
                           "command 1 32781\n"
                           "mouse 1 press 230 150 right\nmouse 1 move 231 150 right\nmouse 1 move 240 160 right\n"
                           "screenshot-cell 1 " + kOut + "/plane-turn.png\n"
                           "mouse 1 release 240 160 right\nwait-idle 5000\ncommand 1 32790\n"
                           // A region outline of five points.
                           "command 1 32786\n"
                           "mouse 1 press 200 100 right\nmouse 1 move 201 101 right\nmouse 1 move 260 90 right\n"
                           "mouse 1 move 300 150 right\nmouse 1 move 280 220 right\nmouse 1 move 190 210 right\n"
                           "mouse 1 move 170 150 right\n"
                           "screenshot-cell 1 " + kOut + "/region-outline.png\n"
                           "key 1 Space\nmouse 1 release 170 150 right\n"
                           // The outline tool in perspective projection.
                           "command 1 32799\ncommand 1 32786\nwait-idle 5000\n"
                           "mouse 1 press 200 100 right\nmouse 1 move 201 101 right\nmouse 1 move 260 90 right\n"
                           "screenshot-cell 1 " + kOut + "/region-perspective.png\n"
                           "key 1 Space\nmouse 1 release 260 90 right\n";
    QString log;
    ASSERT_TRUE(runHost("gestures.script", script, {}, log)) << log.toStdString();

    // Density bounds: one line in the band above the bottom of the view.
    const QImage none = shot("density-no-probe.png");
    const QImage bone = shot("density-over-bone.png");
    ASSERT_FALSE(none.isNull());
    ASSERT_FALSE(bone.isNull());
    const QRect band(80, 200, 300, 100);
    const auto noneCols = columnSpan(none, band, isCyan);
    const auto boneCols = columnSpan(bone, band, isCyan);
    ASSERT_GE(noneCols.first, 0) << "no bounds line without a probe";
    ASSERT_GE(boneCols.first, 0) << "no bounds line over bone";
    // "... < ... < ..." turns into three four-digit numbers over bone: wider.
    EXPECT_GT(boneCols.second - boneCols.first, noneCols.second - noneCols.first + 20);

    // The cut line: red through the dragged points, clipped to the image
    // square, the press star, and ticks on one side.
    const QImage cut = shot("cut-line.png");
    ASSERT_FALSE(cut.isNull());
    EXPECT_TRUE(near(cut, 230, 155, isRed));  // between the two points
    for (QPoint arm : {QPoint(9, 0), QPoint(-9, 0), QPoint(0, 9), QPoint(0, -9), QPoint(6, -6), QPoint(-6, 6)})
        EXPECT_TRUE(near(cut, 160 + arm.x(), 80 + arm.y(), isRed)) << arm.x() << "," << arm.y();
    // Nothing red in the margin left of the image square (x < 78) below the top rows.
    EXPECT_EQ(count(cut, QRect(0, 20, 76, 280), isRed), 0);
    // Ticks: along a parallel 8 pixels to the lower left, red comes and goes every 10 pixels.
    const double dx = -140.0 / std::hypot(140.0, 150.0), dy = -150.0 / std::hypot(140.0, 150.0);
    const double px = dy, py = -dx;  // the ticks' side
    int runs = 0;
    bool inRun = false;
    for (double s = 0; s < 200; s += 0.5) {
        const int x = static_cast<int>(std::lround(300 + dx * s + 8 * px));
        const int y = static_cast<int>(std::lround(230 + dy * s + 8 * py));
        const bool red = isRed(cut.pixel(x, y));
        if (red && !inRun) ++runs;
        inRun = red;
    }
    EXPECT_GE(runs, 17);
    EXPECT_LE(runs, 22);
    int otherSide = 0;
    for (double s = 40; s < 160; s += 1.0)
        otherSide += isRed(cut.pixel(static_cast<int>(std::lround(300 + dx * s - 8 * px)),
                                     static_cast<int>(std::lround(230 + dy * s - 8 * py))));
    EXPECT_EQ(otherSide, 0);

    // The region outline: red at the middle of every edge, the closing one too.
    const QImage roi = shot("region-outline.png");
    ASSERT_FALSE(roi.isNull());
    const QPoint points[] = {{260, 90}, {300, 150}, {280, 220}, {190, 210}, {170, 150}};
    for (int i = 0; i < 5; ++i) {
        const QPoint a = points[i], b = points[(i + 1) % 5];
        EXPECT_TRUE(near(roi, (a.x() + b.x()) / 2, (a.y() + b.y()) / 2, isRed)) << i;
    }
    EXPECT_EQ(count(roi, QRect(200, 140, 40, 30), isRed), 0);  // inside, away from the edges

    // The plane being turned: its point marked with a star in (0, 16, 192).
    const QImage turn = shot("plane-turn.png");
    ASSERT_FALSE(turn.isNull());
    EXPECT_GT(count(turn, turn.rect(), [](QRgb p) { return isColour(p, 0, 16, 192); }), 20);

    // In perspective the outline is not drawn; a red notice across the middle instead.
    const QImage persp = shot("region-perspective.png");
    ASSERT_FALSE(persp.isNull());
    const int mid = persp.height() / 2;
    EXPECT_GT(count(persp, QRect(0, mid - 40, persp.width(), 80), isRed), 30);
    EXPECT_EQ(count(persp, QRect(0, 0, persp.width(), mid - 40), isRed), 0);
}

TEST_F(OverlayScreens, NoticeThenProgressBarsDuringADownload) {
    // An empty 3D window shows its notice; the series dropped on it while the
    // images still arrive (64 images, 0.06 s each) shows the progress bars,
    // which are gone once everything has arrived.
    const QString script = kOpen.arg(s_phantom) +
                           "cell 2\nmenu &Postprocessing\\Vexel 3D\\&Create\nexpect-window 2\n"
                           "screenshot-cell 2 " + kOut + "/download-notice.png\n"
                           "drop 0 2\nwait 300\n"
                           "screenshot-cell 2 " + kOut + "/download-progress.png\n"
                           "wait 6000\nwait-idle 5000\n"
                           "screenshot-cell 2 " + kOut + "/download-complete.png\n";
    QString log;
    ASSERT_TRUE(runHost("download.script", script, {"--simulate-download", "0.06"}, log)) << log.toStdString();
    const QImage notice = shot("download-notice.png");
    const QImage progress = shot("download-progress.png");
    const QImage complete = shot("download-complete.png");
    ASSERT_FALSE(notice.isNull());
    ASSERT_FALSE(progress.isNull());
    ASSERT_FALSE(complete.isNull());
    EXPECT_GT(count(notice, QRect(0, notice.height() / 2 - 30, notice.width(), 60), isCyan), 30);
    EXPECT_EQ(longestRun(notice, 0, 0, 128), 0);
    // Remaining download in (0, 0, 128): a long bar early in the download.
    EXPECT_GT(longestRun(progress, 0, 0, 128), 100);
    EXPECT_EQ(longestRun(complete, 0, 0, 128), 0);
    EXPECT_EQ(longestRun(complete, 0, 0, 96), 0);
}

TEST_F(OverlayScreens, LossyNoticeOverALossySeries) {
    const QString encoder = QStandardPaths::findExecutable("dcmcjpeg");
    if (encoder.isEmpty()) GTEST_SKIP() << "dcmcjpeg not installed";
    const QString plain = kOut + "/phantom8";
    const QString lossy = kOut + "/phantom8-jpeg";
    QDir(plain).removeRecursively();
    QDir(lossy).removeRecursively();
    ASSERT_TRUE(runTool(QStringLiteral(PHANTOM_TOOL), {"--out", plain, "--size", "96x96x24", "--spacing", "2.4", "--step",
                                                        "6", "--pixel", "u8"}));
    QDir().mkpath(lossy);
    for (const QString& name : QDir(plain).entryList({"*.dcm"}, QDir::Files))
        // Baseline JPEG with one rescale for every slice (scaled over the value range).
        ASSERT_TRUE(runTool(encoder, {"+eb", "+sr", plain + "/" + name, lossy + "/" + name}));
    const QString script = "open " + lossy + "\n" + kCreateIn1 + "screenshot-cell 1 " + kOut + "/lossy-notice.png\n";
    QString log;
    ASSERT_TRUE(runHost("lossy.script", script, {}, log)) << log.toStdString();
    const QImage image = shot("lossy-notice.png");
    ASSERT_FALSE(image.isNull());
    // The amber triangle at the top centre of the view.
    auto amber = [](QRgb p) { return isColour(p, 255, 176, 0); };
    EXPECT_GT(count(image, QRect(150, 0, 150, 24), amber), 30);
    EXPECT_EQ(count(image, QRect(0, 24, image.width(), image.height() - 24), amber), 0);
}

}  // namespace
