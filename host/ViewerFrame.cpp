#include "ViewerFrame.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "HostWindow.h"
#include "LayoutStore.h"
#include "ImagePanel.h"
#include "MessageList.h"
#include "StudyBrowser.h"
#include "dicom/StudyDatabase.h"

#include "QVHostApi.h"

#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <set>

namespace quarvia {

namespace {
constexpr int kMaxRecent = 8;
const char* const kHostSection = "Quarvia";
constexpr int kBrowserWidth = 360;

struct GridLayoutChoice {
    const char* name;
    int rows;
    int columns;
};
constexpr GridLayoutChoice kLayouts[] = {{"1x1", 1, 1}, {"1x2", 1, 2}, {"2x2", 2, 2}};
}  // namespace

ViewerFrame::ViewerFrame(HostWindow& host, QMenu& fileMenu, QAction* before)
    : QObject(&host), m_host(host), m_browser(new StudyBrowser(host.database(), &host)), m_recentMenu(nullptr) {
    host.addDockWidget(Qt::LeftDockWidgetArea, m_browser);
    host.resizeDocks({&host.messages()}, {110}, Qt::Vertical);
    // Room for the series' names beside their thumbnails; a small window
    // narrows it (HostWindow::resizeEvent).
    host.resizeDocks({m_browser}, {kBrowserWidth}, Qt::Horizontal);
    // The message list opens with the first message.
    if (host.messages().texts().isEmpty()) host.messages().hide();
    if (!host.options().docks) {
        m_browser->hide();
        host.messages().hide();
        host.messages().setOpensOnMessage(false);
    }
    connect(m_browser, &StudyBrowser::seriesActivated, this,
            [this](int group) { m_host.showSeries(group, m_host.grid().activeCell()->index()); });
    connect(&host, &HostWindow::pathsOpened, this, &ViewerFrame::opened);
    connect(&host, &HostWindow::imagesChanged, m_browser, &StudyBrowser::refresh);
    connect(&host.grid(), &CellGrid::seriesDropped, this, [this](int group, int cell) { m_host.showSeries(group, cell); });
    connect(&host.grid(), &CellGrid::filesDropped, this, [this](const QStringList& paths, int cell) {
        m_host.grid().setActiveCell(cell);
        // A 3D window takes what it reads itself (a segmentation of its series).
        const QStringList left = m_host.offerFilesToWindow(paths, cell);
        if (!left.isEmpty()) m_host.openPaths(left, cell);
    });

    m_recentMenu = new QMenu("Open &Recent", &fileMenu);
    fileMenu.insertMenu(before, m_recentMenu);
    fillRecentMenu();
    auto* close = new QAction("&Close Study", &fileMenu);
    connect(close, &QAction::triggered, this, [this] { closeStudy(); });
    fileMenu.insertAction(before, close);
    fileMenu.insertSeparator(before);
    // The same files the script's save-layout and load-layout write and read.
    auto* saveLayout = new QAction("Save &Layout...", &fileMenu);
    connect(saveLayout, &QAction::triggered, this, [this] { layoutFromMenu(true); });
    fileMenu.insertAction(before, saveLayout);
    auto* openLayout = new QAction("Open La&yout...", &fileMenu);
    connect(openLayout, &QAction::triggered, this, [this] { layoutFromMenu(false); });
    fileMenu.insertAction(before, openLayout);
    fileMenu.insertSeparator(before);

    QMenu* layout = host.menuBar()->addMenu("&Layout");
    auto* choices = new QActionGroup(layout);
    for (const GridLayoutChoice& choice : kLayouts) {
        QAction* action = layout->addAction(choice.name, this, [this, choice] { setLayout(choice.name); });
        action->setCheckable(true);
        action->setChecked(choice.rows == host.grid().rows() && choice.columns == host.grid().columns());
        choices->addAction(action);
    }
    layout->addSeparator();
    QAction* maximise = layout->addAction("&Maximise Cell", this,
                                          [this] { m_host.grid().toggleMaximised(m_host.grid().activeCell()->index()); });
    maximise->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_M), QKeySequence(Qt::Key_F11)});
    maximise->setShortcutContext(Qt::ApplicationShortcut);
    QMenu* view = host.menuBar()->addMenu("&View");
    view->addAction(m_browser->toggleViewAction());
    view->addAction(host.messages().toggleViewAction());
}

bool ViewerFrame::setLayout(const QString& name) {
    for (const GridLayoutChoice& choice : kLayouts)
        if (name == choice.name) {
            m_host.grid().setGridLayout(choice.rows, choice.columns);
            for (QAction* action : m_host.menuBar()->actions())
                if (action->menu() && action->text() == "&Layout")
                    for (QAction* item : action->menu()->actions())
                        if (item->isCheckable()) item->setChecked(item->text() == name);
            return true;
        }
    return false;
}

void ViewerFrame::layoutFromMenu(bool save) {
    const QString filter = "Layouts (*.layout);;All files (*)";
    const QString file = save ? QFileDialog::getSaveFileName(&m_host, "Save Layout", QString(), filter)
                              : QFileDialog::getOpenFileName(&m_host, "Open Layout", QString(), filter);
    if (file.isEmpty()) return;
    QString why;
    const bool done = save ? m_host.layouts().save(file, why) : m_host.layouts().load(file, why);
    if (!done)
        m_host.messageBox(why, save ? "Save Layout" : "Open Layout", QV_MB_OK | QV_MB_ICONSTOP);
    else
        m_host.news((save ? "Saved the layout as " : "Opened the layout ") + file);
}

void ViewerFrame::opened(const QStringList& paths) {
    QStringList recent = recentPaths();
    for (const QString& path : paths) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (!QFileInfo::exists(absolute)) continue;
        recent.removeAll(absolute);
        recent.prepend(absolute);
    }
    while (recent.size() > kMaxRecent) recent.removeLast();
    ProfileStore& profile = m_host.profile();
    for (int i = 0; i < kMaxRecent; ++i) {
        const QByteArray key = "Recent" + QByteArray::number(i + 1);
        profile.write(kHostSection, 0, "Recent", key.constData(), recent.value(i));
    }
    profile.sync();
    fillRecentMenu();
}

QStringList ViewerFrame::recentPaths() const {
    QStringList recent;
    for (int i = 0; i < kMaxRecent; ++i) {
        const QByteArray key = "Recent" + QByteArray::number(i + 1);
        const QString path = m_host.profile().readString(kHostSection, 0, "Recent", key.constData(), QString());
        if (!path.isEmpty()) recent << path;
    }
    return recent;
}

void ViewerFrame::fillRecentMenu() {
    m_recentMenu->clear();
    const QStringList recent = recentPaths();
    for (const QString& path : recent)
        m_recentMenu->addAction(path, this, [this, path] { m_host.openPaths({path}); });
    m_recentMenu->setEnabled(!recent.isEmpty());
}

bool ViewerFrame::closeStudy() {
    StudyDatabase& database = m_host.database();
    std::string study;
    if (const SeriesGroup* group = database.groupById(m_host.grid().activeCell()->panel()->groupId()))
        study = group->studyUid;
    if (study.empty()) study = m_browser->selectedStudy();
    if (study.empty()) return false;
    // Panels of the study go empty first: they read the images while they show them.
    std::set<std::string> images;
    for (int g = 0; g < database.groupCount(study); ++g)
        if (const SeriesGroup* group = database.group(study, g)) {
            images.insert(group->imageIds.begin(), group->imageIds.end());
            for (int c = 0; c < m_host.grid().cellCount(); ++c)
                if (m_host.grid().cell(c)->panel()->groupId() == group->id) m_host.grid().cell(c)->panel()->clear();
        }
    for (const std::string& id : images) database.removeImage(id);
    m_host.databaseChanged();
    return true;
}

}  // namespace quarvia
