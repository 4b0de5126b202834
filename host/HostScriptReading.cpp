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
}  // namespace

ScriptOutcome runReadingCommand(HostWindow& host, const QString& command, const QString& rest, QString& why) {
    const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    auto failed = [&](const QString& text) {
        why = text;
        return ScriptOutcome::Failed;
    };
    bool cellOk = false;
    const int cellIndex = args.value(0).toInt(&cellOk);
    HostCell* cell = cellOk ? host.grid().cell(cellIndex) : nullptr;
    const bool needsCell = command == "plane" || command == "slab" || command == "turn" || command == "cursor-in" ||
                           command == "readout";
    if (needsCell && !cell) return failed("no cell " + args.value(0));
    if (command == "plane") {
        PlaneKind kind;
        if (!planeFromName(args.value(1), kind)) return failed("unknown plane " + args.value(1));
        host.grid().setActiveCell(cellIndex);
        if (!host.readingFrame().setPlane(kind)) return failed("the cell cannot show it");
    } else if (command == "slab") {
        SlabMode slab;
        if (!slabFromName(args.value(1), slab)) return failed("unknown slab " + args.value(1));
        host.grid().setActiveCell(cellIndex);
        host.readingFrame().setSlab(slab, args.value(2).toDouble());
    } else if (command == "tool") {
        for (int i = 0; i < 6; ++i)
            if (rest == kToolNames[i]) return host.reading().setTool(ReadingTool(i)), ScriptOutcome::Done;
        return failed("unknown tool " + rest);
    } else if (command == "turn") {
        ImagePanel& panel = *cell->panel();
        ShownPicture picture;
        const PanelView* v = panel.view(panel.activeView());
        if (!v || !panel.pictureOf(*v, picture)) return failed("the cell shows nothing");
        host.reading().turnPlanes(panel.groupId(), picture.plane.normal(), args.value(1).toDouble() * kPi / 180);
    } else if (command == "cursor") {
        const PatientCursor& cursor = host.reading().cursor();
        if (!cursor.visible) print("cursor hidden");
        else print(QString("cursor %1 %2 %3").arg(cursor.point[0], 0, 'f', 4).arg(cursor.point[1], 0, 'f', 4).arg(cursor.point[2], 0, 'f', 4));
    } else if (command == "cursor-in") {
        print(QString("cursor-in %1: %2").arg(cellIndex).arg(cell->panel()->cursorText()));
    } else if (command == "readout") {
        ImagePanel* panel = cell->panel();
        const QPointF at(args.value(1).toDouble(), args.value(2).toDouble());
        QMouseEvent move(QEvent::MouseMove, at, QPointF(panel->mapToGlobal(at.toPoint())), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(panel, &move);
        // The text the user reads, then the same to the last digit for checks.
        const QString text = panel->readoutAt(at.toPoint());
        double value = 0;
        Vec3d p{};
        if (!panel->valueAt(at.toPoint(), value, p)) return print(QString("readout %1: none").arg(cellIndex)), ScriptOutcome::Done;
        print(QString("readout %1: %2 | exact %3 at %4 %5 %6")
                  .arg(cellIndex)
                  .arg(text)
                  .arg(value, 0, 'g', 9)
                  .arg(p[0], 0, 'f', 6)
                  .arg(p[1], 0, 'f', 6)
                  .arg(p[2], 0, 'f', 6));
    } else if (command == "measurements") {
        for (const Measurement& m : host.reading().measurements())
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
    } else if (command == "delete-measurement") {
        QListWidget& list = host.readingFrame().list();
        for (int row = 0; row < list.count(); ++row)
            if (list.item(row)->data(Qt::UserRole).toInt() == rest.toInt()) {
                list.setCurrentRow(row);
                host.readingFrame().deleteSelected();
                return ScriptOutcome::Done;
            }
        return failed("no measurement " + rest);
    } else {
        return ScriptOutcome::NotMine;
    }
    return ScriptOutcome::Done;
}

}  // namespace quarvia
