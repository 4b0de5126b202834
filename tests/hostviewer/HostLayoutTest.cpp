// The Layout menu and maximising a cell, in the real host.
#include "HostRun.h"
#include "TestDicom.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

namespace {

using namespace hostviewer;

const QString kPlugins = QString(VEXEL3D_LIBRARY);

// The visible cells after each step, as the script checks them.
QString expectShown(std::initializer_list<int> shown, int made = 4) {
    QString script;
    for (int cell = 0; cell < made; ++cell)
        script += QString("expect-visible %1 %2\n").arg(cell).arg(std::find(shown.begin(), shown.end(), cell) != shown.end() ? "yes" : "no");
    return script;
}

TEST(HostLayout, MenuChoosesOneTwoOrFourCellsAndMakesThemWhenNeeded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(writeTestImage(testSeries(1)[0], dir.filePath("one.dcm")));
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             "expect-visible 0 yes\n"  // one cell made so far
                             "menu &Layout\\1x2\n" + expectShown({0, 1}, 2) +
                             "screenshot " + dir.filePath("two.png") + "\n"
                             "menu &Layout\\2x2\n" + expectShown({0, 1, 2, 3}) +
                             "open " + dir.filePath("one.dcm") + "\n"
                             "series 0 3\n"
                             "expect-cell 3 0\n"
                             "menu &Layout\\1x1\n" + expectShown({0}),
                             {"--grid", "1x1"});
    ASSERT_TRUE(ranCleanly(run));
}

TEST(HostLayout, MaximiseACellAndBackByMenuOrDoubleClickOnItsBorder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             expectShown({0, 1, 2, 3}) +
                             "cell 2\n"
                             "menu &Layout\\&Maximise Cell\n" + expectShown({2}) +
                             "menu &Layout\\&Maximise Cell\n" + expectShown({0, 1, 2, 3}) +
                             "double-click-border 1\n" + expectShown({1}) +
                             "double-click-border 1\n" + expectShown({0, 1, 2, 3}));
    ASSERT_TRUE(ranCleanly(run));
}

}  // namespace
