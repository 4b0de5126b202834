#include "HostScriptViewer.h"

#include "HostScriptTable.h"

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

bool messages(ScriptLine& s) {
    for (const QString& text : s.host.messages().texts()) print("message: " + text);
    return true;
}

bool expectMessage(ScriptLine& s) {
    if (s.rest.isEmpty()) return s.fail("text missing");
    bool found = false;
    for (const QString& text : s.host.messages().texts()) found = found || text.contains(s.rest);
    if (found != (s.command == "expect-message"))
        return s.fail(found ? "the message list holds it"
                            : "no such message in: " + s.host.messages().texts().join(" / "));
    return true;
}

bool browserLines(ScriptLine& s) {
    for (const QString& line : s.host.viewer().browser().lines()) print("browser: " + line);
    return true;
}

bool browserActivate(ScriptLine& s) {
    StudyBrowser& browser = s.host.viewer().browser();
    bool ok = false;
    QTreeWidgetItem* item = browser.seriesItem(s.args.value(0).toInt(&ok));
    if (!ok || !item) return s.fail("no such series in the browser");
    QTreeWidget* tree = browser.tree();
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    if (!tree->viewport()->rect().contains(at)) return s.fail("the series is not visible in the browser");
    // A double-click as the mouse gives it: press, release, double, release.
    click(tree->viewport(), at, QEvent::MouseButtonPress);
    click(tree->viewport(), at, QEvent::MouseButtonRelease);
    click(tree->viewport(), at, QEvent::MouseButtonDblClick);
    click(tree->viewport(), at, QEvent::MouseButtonRelease);
    return true;
}

// "browser-drag SERIES CELL", or "browser-drag object N CELL" for a segmentation.
bool browserDrag(ScriptLine& s) {
    StudyBrowser& browser = s.host.viewer().browser();
    QStringList args = s.args;
    const bool object = args.value(0) == "object";
    if (object) args.removeFirst();
    bool ok = false;
    const int index = args.value(0).toInt(&ok);
    QTreeWidgetItem* item = object ? browser.objectItem(index) : browser.seriesItem(index);
    HostCell* cell = s.cellArg(object ? 2 : 1);
    if (!ok || !item || !cell) return s.fail("usage: browser-drag [object] INDEX CELL");
    // What the browser hands to a drag of its current item.
    QTreeWidget* tree = browser.tree();
    tree->setCurrentItem(item);
    std::unique_ptr<QMimeData> mime(tree->model()->mimeData({tree->currentIndex()}));
    if (!mime) return s.fail("the browser does not drag this item");
    // How long until the cell shows something of it: the drop, then its first paint.
    PaintWatch watch(*cell);
    QElapsedTimer clock;
    clock.start();
    if (!deliverDrop(*cell, std::move(mime), s.why)) return false;
    while (!watch.painted() && clock.elapsed() < kFirstPaintWaitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    print(QString("browser-drag %1: first paint after %2 ms").arg(s.rest).arg(clock.elapsed()));
    return true;
}

bool dropFiles(ScriptLine& s) {
    HostCell* cell = s.cellArg();
    const QString path = s.rest.section(' ', 1).trimmed();
    if (!cell || path.isEmpty()) return s.fail("usage: drop-files CELL PATH");
    auto mime = std::make_unique<QMimeData>();
    mime->setUrls({QUrl::fromLocalFile(path)});
    return deliverDrop(*cell, std::move(mime), s.why);
}

bool closeStudy(ScriptLine& s) {
    if (!s.host.viewer().closeStudy()) return s.fail("no study to close");
    return true;
}

bool expectCell(ScriptLine& s) {
    HostCell* cell = s.cellArg();
    bool ok = false;
    const bool none = s.args.value(1) == "none";
    const int series = none ? -1 : s.args.value(1).toInt(&ok);
    const std::vector<const SeriesGroup*> groups = s.host.database().groups();
    if (!cell || !(ok || none)) return s.fail("usage: expect-cell CELL SERIES|none");
    const int shown = cell->panel()->groupId();
    int wanted = none ? 0 : -1;
    if (series >= 0 && series < static_cast<int>(groups.size())) wanted = groups[size_t(series)]->id;
    if (shown != wanted) return s.fail(QString("the cell shows group %1, not %2").arg(shown).arg(wanted));
    return true;
}

bool panel(ScriptLine& s) {
    HostCell* cell = s.cellArg();
    if (!cell) return s.fail("no such cell");
    print(QString("panel %1: %2").arg(cell->index()).arg(cell->panel()->stateText()));
    return true;
}

bool panelTexts(ScriptLine& s) {
    HostCell* cell = s.cellArg();
    const PanelView* view = cell ? cell->panel()->view(cell->panel()->activeView()) : nullptr;
    if (!view) return s.fail("no image in the cell");
    const PanelTexts t = cell->panel()->textsOf(*view);
    auto one = [](QString text) { return text.replace('\n', " | "); };
    print("texts top-left: " + one(t.topLeft));
    print("texts top-right: " + one(t.topRight));
    print("texts bottom-left: " + one(t.bottomLeft));
    print("texts bottom-right: " + one(t.bottomRight));
    print(QString("texts edges: left %1 right %2 top %3 bottom %4").arg(t.left, t.right, t.top, t.bottom));
    return true;
}

bool layout(ScriptLine& s) {
    if (!s.host.viewer().setLayout(s.rest)) return s.fail("layouts are 1x1, 1x2 and 2x2");
    return true;
}

bool doubleClickBorder(ScriptLine& s) {
    HostCell* cell = s.cellArg();
    if (!cell) return s.fail("no such cell");
    const QPoint corner(1, 1);  // on the frame, outside the panel
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(corner), QPointF(cell->mapToGlobal(corner)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QWidget* target = cell->childAt(corner) ? cell->childAt(corner) : cell;
    QApplication::sendEvent(target, &event);
    return true;
}

bool expectVisible(ScriptLine& s) {
    HostCell* cell = s.cellArg();
    const QString want = s.args.value(1);
    if (!cell || (want != "yes" && want != "no")) return s.fail("usage: expect-visible CELL yes|no");
    if (cell->isVisible() != (want == "yes"))
        return s.fail("the cell is " + QString(cell->isVisible() ? "shown" : "hidden"));
    return true;
}
}  // namespace

const ScriptTable& viewerCommands() {
    static const ScriptTable table = {
        {"messages", messages, true},
        {"expect-message", expectMessage, true},
        {"expect-no-message", expectMessage, true},
        {"browser", browserLines, true},
        {"browser-activate", browserActivate, true},
        {"browser-drag", browserDrag, true},
        {"drop-files", dropFiles, true},
        {"close-study", closeStudy, true},
        {"expect-cell", expectCell, true},
        {"panel", panel, true},
        {"panel-texts", panelTexts, true},
        {"layout", layout, true},
        {"double-click-border", doubleClickBorder, true},
        {"expect-visible", expectVisible, true},
    };
    return table;
}

}  // namespace quarvia
