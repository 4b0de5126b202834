#include "HostScriptViewer.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "HostWindow.h"
#include "ImagePanel.h"
#include "MessageList.h"
#include "StudyBrowser.h"
#include "ViewerFrame.h"
#include "dicom/StudyDatabase.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QUrl>

#include <cstdio>
#include <memory>

namespace quarvia {

namespace {
void print(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// A drop as the window system delivers it: to the widget under the cell's
// centre that accepts drops (a plug-in window, else the cell).
bool deliverDrop(HostCell& cell, std::unique_ptr<QMimeData> mime, QString& why) {
    const QPoint centre = cell.rect().center();
    QWidget* target = cell.childAt(centre);
    QPoint at = centre;
    if (target) at = target->mapFrom(&cell, centre);
    else target = &cell;
    while (target != &cell && !target->acceptDrops()) {
        at = target->mapToParent(at);
        target = target->parentWidget();
    }
    QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return (why = "the cell refuses the drop"), false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    if (!drop.isAccepted()) return (why = "the drop was not taken"), false;
    return true;
}

void click(QWidget* viewport, const QPoint& at, QEvent::Type type) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(viewport->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// Sees the first paint of a widget or any widget inside it.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget& root) {
        root.installEventFilter(this);
        for (QWidget* child : root.findChildren<QWidget*>()) child->installEventFilter(this);
    }
    bool painted() const { return m_painted; }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) m_painted = true;
        return false;
    }

private:
    bool m_painted = false;
};
constexpr int kFirstPaintWaitMs = 10000;

HostCell* cellArg(HostWindow& host, const QString& text) {
    bool ok = false;
    const int index = text.toInt(&ok);
    return ok ? host.grid().cell(index) : nullptr;
}
}  // namespace

ScriptOutcome runViewerCommand(HostWindow& host, const QString& command, const QString& rest, QString& why) {
    QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    auto failed = [&](const QString& text) {
        why = text;
        return ScriptOutcome::Failed;
    };
    StudyBrowser& browser = host.viewer().browser();
    if (command == "messages") {
        for (const QString& text : host.messages().texts()) print("message: " + text);
    } else if (command == "expect-message" || command == "expect-no-message") {
        if (rest.isEmpty()) return failed("text missing");
        bool found = false;
        for (const QString& text : host.messages().texts()) found = found || text.contains(rest);
        if (found != (command == "expect-message"))
            return failed(found ? "the message list holds it" : "no such message in: " + host.messages().texts().join(" / "));
    } else if (command == "browser") {
        for (const QString& line : browser.lines()) print("browser: " + line);
    } else if (command == "browser-activate") {
        bool ok = false;
        QTreeWidgetItem* item = browser.seriesItem(args.value(0).toInt(&ok));
        if (!ok || !item) return failed("no such series in the browser");
        QTreeWidget* tree = browser.tree();
        tree->scrollToItem(item);
        const QPoint at = tree->visualItemRect(item).center();
        if (!tree->viewport()->rect().contains(at)) return failed("the series is not visible in the browser");
        // A double-click as the mouse gives it: press, release, double, release.
        click(tree->viewport(), at, QEvent::MouseButtonPress);
        click(tree->viewport(), at, QEvent::MouseButtonRelease);
        click(tree->viewport(), at, QEvent::MouseButtonDblClick);
        click(tree->viewport(), at, QEvent::MouseButtonRelease);
    } else if (command == "browser-drag") {
        // "browser-drag SERIES CELL", or "browser-drag object N CELL" for a segmentation.
        const bool object = args.value(0) == "object";
        if (object) args.removeFirst();
        bool ok = false;
        const int index = args.value(0).toInt(&ok);
        QTreeWidgetItem* item = object ? browser.objectItem(index) : browser.seriesItem(index);
        HostCell* cell = cellArg(host, args.value(1));
        if (!ok || !item || !cell) return failed("usage: browser-drag [object] INDEX CELL");
        // What the browser hands to a drag of its current item.
        QTreeWidget* tree = browser.tree();
        tree->setCurrentItem(item);
        std::unique_ptr<QMimeData> mime(tree->model()->mimeData({tree->currentIndex()}));
        if (!mime) return failed("the browser does not drag this item");
        // How long until the cell shows something of it: the drop, then its first paint.
        PaintWatch watch(*cell);
        QElapsedTimer clock;
        clock.start();
        if (!deliverDrop(*cell, std::move(mime), why)) return ScriptOutcome::Failed;
        while (!watch.painted() && clock.elapsed() < kFirstPaintWaitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        print(QString("browser-drag %1: first paint after %2 ms").arg(rest).arg(clock.elapsed()));
    } else if (command == "drop-files") {
        HostCell* cell = cellArg(host, args.value(0));
        const QString path = rest.section(' ', 1).trimmed();
        if (!cell || path.isEmpty()) return failed("usage: drop-files CELL PATH");
        auto mime = std::make_unique<QMimeData>();
        mime->setUrls({QUrl::fromLocalFile(path)});
        if (!deliverDrop(*cell, std::move(mime), why)) return ScriptOutcome::Failed;
    } else if (command == "close-study") {
        if (!host.viewer().closeStudy()) return failed("no study to close");
    } else if (command == "expect-cell") {
        HostCell* cell = cellArg(host, args.value(0));
        bool ok = false;
        const bool none = args.value(1) == "none";
        const int series = none ? -1 : args.value(1).toInt(&ok);
        const std::vector<const SeriesGroup*> groups = host.database().groups();
        if (!cell || !(ok || none)) return failed("usage: expect-cell CELL SERIES|none");
        const int shown = cell->panel()->groupId();
        int wanted = none ? 0 : -1;
        if (series >= 0 && series < static_cast<int>(groups.size())) wanted = groups[size_t(series)]->id;
        if (shown != wanted) return failed(QString("the cell shows group %1, not %2").arg(shown).arg(wanted));
    } else if (command == "panel") {
        HostCell* cell = cellArg(host, args.value(0));
        if (!cell) return failed("no such cell");
        print(QString("panel %1: %2").arg(cell->index()).arg(cell->panel()->stateText()));
    } else if (command == "panel-texts") {
        HostCell* cell = cellArg(host, args.value(0));
        const PanelView* view = cell ? cell->panel()->view(cell->panel()->activeView()) : nullptr;
        if (!view) return failed("no image in the cell");
        const PanelTexts t = cell->panel()->textsOf(*view);
        auto one = [](QString text) { return text.replace('\n', " | "); };
        print("texts top-left: " + one(t.topLeft));
        print("texts top-right: " + one(t.topRight));
        print("texts bottom-left: " + one(t.bottomLeft));
        print("texts bottom-right: " + one(t.bottomRight));
        print(QString("texts edges: left %1 right %2 top %3 bottom %4").arg(t.left, t.right, t.top, t.bottom));
    } else if (command == "layout") {
        if (!host.viewer().setLayout(rest)) return failed("layouts are 1x1, 1x2 and 2x2");
    } else if (command == "double-click-border") {
        HostCell* cell = cellArg(host, args.value(0));
        if (!cell) return failed("no such cell");
        const QPoint corner(1, 1);  // on the frame, outside the panel
        QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(corner), QPointF(cell->mapToGlobal(corner)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QWidget* target = cell->childAt(corner) ? cell->childAt(corner) : cell;
        QApplication::sendEvent(target, &event);
    } else if (command == "expect-visible") {
        HostCell* cell = cellArg(host, args.value(0));
        if (!cell || (args.value(1) != "yes" && args.value(1) != "no")) return failed("usage: expect-visible CELL yes|no");
        if (cell->isVisible() != (args.value(1) == "yes")) return failed("the cell is " + QString(cell->isVisible() ? "shown" : "hidden"));
    } else {
        return ScriptOutcome::NotMine;
    }
    return ScriptOutcome::Done;
}

}  // namespace quarvia
