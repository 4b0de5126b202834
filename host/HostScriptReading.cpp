#include "HostScriptReading.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "HostWindow.h"
#include "ImagePanel.h"
#include "ReadingFrame.h"
#include "dicom/StudyDatabase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>

#include <cmath>
#include <cstdio>

namespace quarvia {

namespace {
void print(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

constexpr const char* kToolNames[] = {"pointer", "crosshair", "distance", "angle", "ellipse", "freehand"};
constexpr double kPi = 3.14159265358979323846;

QString pointsText(const std::vector<Vec3d>& points) {
    QStringList out;
    for (const Vec3d& p : points)
        out << QString("%1,%2,%3").arg(p[0], 0, 'f', 4).arg(p[1], 0, 'f', 4).arg(p[2], 0, 'f', 4);
    return out.join(';');
}

// The cell the line's first word names; null, with the reason, when none.
HostCell* cellOrFail(ScriptLine& s) {
    HostCell* cell = s.cellArg();
    if (!cell) s.fail("no cell " + s.args.value(0));
    return cell;
}

bool plane(ScriptLine& s) {
    HostCell* cell = cellOrFail(s);
    if (!cell) return false;
    PlaneKind kind;
    if (!planeFromName(s.args.value(1), kind)) return s.fail("unknown plane " + s.args.value(1));
    s.host.grid().setActiveCell(cell->index());
    if (!s.host.readingFrame().setPlane(kind)) return s.fail("the cell cannot show it");
    return true;
}

bool slab(ScriptLine& s) {
    HostCell* cell = cellOrFail(s);
    if (!cell) return false;
    SlabMode mode;
    if (!slabFromName(s.args.value(1), mode)) return s.fail("unknown slab " + s.args.value(1));
    s.host.grid().setActiveCell(cell->index());
    s.host.readingFrame().setSlab(mode, s.args.value(2).toDouble());
    return true;
}

bool tool(ScriptLine& s) {
    for (int i = 0; i < 6; ++i)
        if (s.rest == kToolNames[i]) return s.host.reading().setTool(ReadingTool(i)), true;
    return s.fail("unknown tool " + s.rest);
}

bool turn(ScriptLine& s) {
    HostCell* cell = cellOrFail(s);
    if (!cell) return false;
    ImagePanel& panel = *cell->panel();
    ShownPicture picture;
    const PanelView* v = panel.view(panel.activeView());
    if (!v || !panel.pictureOf(*v, picture)) return s.fail("the cell shows nothing");
    s.host.reading().turnPlanes(panel.groupId(), picture.plane.normal(), s.args.value(1).toDouble() * kPi / 180);
    return true;
}

bool cursor(ScriptLine& s) {
    const PatientCursor& cursor = s.host.reading().cursor();
    if (!cursor.visible) print("cursor hidden");
    else print(QString("cursor %1 %2 %3").arg(cursor.point[0], 0, 'f', 4).arg(cursor.point[1], 0, 'f', 4).arg(cursor.point[2], 0, 'f', 4));
    return true;
}

bool cursorIn(ScriptLine& s) {
    HostCell* cell = cellOrFail(s);
    if (!cell) return false;
    print(QString("cursor-in %1: %2").arg(cell->index()).arg(cell->panel()->cursorText()));
    return true;
}

bool readout(ScriptLine& s) {
    HostCell* cell = cellOrFail(s);
    if (!cell) return false;
    ImagePanel* panel = cell->panel();
    const QPointF at(s.args.value(1).toDouble(), s.args.value(2).toDouble());
    QMouseEvent move(QEvent::MouseMove, at, QPointF(panel->mapToGlobal(at.toPoint())), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(panel, &move);
    // The text the user reads, then the same to the last digit for checks.
    const QString text = panel->readoutAt(at.toPoint());
    double value = 0;
    Vec3d p{};
    if (!panel->valueAt(at.toPoint(), value, p)) return print(QString("readout %1: none").arg(cell->index())), true;
    print(QString("readout %1: %2 | exact %3 at %4 %5 %6")
              .arg(cell->index())
              .arg(text)
              .arg(value, 0, 'g', 9)
              .arg(p[0], 0, 'f', 6)
              .arg(p[1], 0, 'f', 6)
              .arg(p[2], 0, 'f', 6));
    return true;
}

bool measurements(ScriptLine& s) {
    for (const Measurement& m : s.host.reading().measurements())
        print(QString("measurement %1 %2 value %3 unit %4 pixels %5 mean %6 sd %7 min %8 max %9 points %10")
                  .arg(m.id)
                  .arg(kindName(m.kind))
                  .arg(m.value, 0, 'f', 4)
                  .arg(m.unit.isEmpty() ? QString("-") : m.unit)
                  .arg(m.stats.pixels)
                  .arg(m.stats.mean, 0, 'f', 4)
                  .arg(m.stats.sd, 0, 'f', 4)
                  .arg(m.stats.min, 0, 'f', 4)
                  .arg(m.stats.max, 0, 'f', 4)
                  .arg(pointsText(m.points)));
    return true;
}

bool deleteMeasurement(ScriptLine& s) {
    QListWidget& list = s.host.readingFrame().list();
    for (int row = 0; row < list.count(); ++row)
        if (list.item(row)->data(Qt::UserRole).toInt() == s.rest.toInt()) {
            list.setCurrentRow(row);
            s.host.readingFrame().deleteSelected();
            return true;
        }
    return s.fail("no measurement " + s.rest);
}
}  // namespace

const ScriptTable& readingCommands() {
    static const ScriptTable table = {
        {"plane", plane, true},
        {"slab", slab, true},
        {"tool", tool, true},
        {"turn", turn, true},
        {"cursor", cursor, true},
        {"cursor-in", cursorIn, true},
        {"readout", readout, true},
        {"measurements", measurements, true},
        {"delete-measurement", deleteMeasurement, true},
    };
    return table;
}

}  // namespace quarvia
