#include "ReadingFrame.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "HostWindow.h"
#include "ImagePanel.h"
#include "ViewerFrame.h"
#include "dicom/StudyDatabase.h"

#include "QVHostApi.h"

#include <QAction>
#include <QActionGroup>
#include <QDockWidget>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace quarvia {

namespace {
struct ToolChoice {
    ReadingTool tool;
    const char* text;
};
constexpr ToolChoice kTools[] = {{ReadingTool::Pointer, "&Pointer"},       {ReadingTool::Crosshair, "&Crosshair"},
                                 {ReadingTool::Distance, "&Distance"},     {ReadingTool::Angle, "&Angle"},
                                 {ReadingTool::Ellipse, "&Ellipse Region"}, {ReadingTool::Freehand, "&Freehand Region"}};
constexpr double kSlabThicknesses[] = {5, 10, 20, 40};
}  // namespace

ReadingFrame::ReadingFrame(HostWindow& host) : QObject(&host), m_host(host), m_tools(nullptr) {
    ReadingState& reading = host.reading();
    QMenu* menu = host.menuBar()->addMenu("&Reading");
    m_tools = new QActionGroup(menu);
    for (const ToolChoice& choice : kTools) {
        QAction* action = menu->addAction(choice.text, this, [&reading, choice] { reading.setTool(choice.tool); });
        action->setCheckable(true);
        action->setChecked(choice.tool == reading.tool());
        action->setData(int(choice.tool));
        m_tools->addAction(action);
    }
    connect(&reading, &ReadingState::toolChanged, this, [this](ReadingTool tool) {
        for (QAction* action : m_tools->actions()) action->setChecked(action->data().toInt() == int(tool));
    });
    menu->addSeparator();
    QMenu* planes = menu->addMenu("P&lane");
    for (PlaneKind kind : {PlaneKind::Acquired, PlaneKind::Axial, PlaneKind::Coronal, PlaneKind::Sagittal})
        planes->addAction(planeName(kind), this, [this, kind] { setPlane(kind); });
    QMenu* slab = menu->addMenu("&Slab");
    for (SlabMode mode : {SlabMode::Off, SlabMode::Mip, SlabMode::MinIp})
        slab->addAction(slabName(mode), this, [this, mode] { setSlab(mode, 0); });
    slab->addSeparator();
    for (double mm : kSlabThicknesses)
        slab->addAction(QString("%1 mm").arg(mm), this, [this, mm] {
            if (PanelView* v = m_host.grid().activeCell()->panel()->view(m_host.grid().activeCell()->panel()->activeView()))
                setSlab(v->slab == SlabMode::Off ? SlabMode::Mip : v->slab, mm);
        });
    menu->addAction("&Reset Plane Angles", this, [this] {
        m_host.reading().resetPlanes(m_host.grid().activeCell()->panel()->groupId());
    });
    menu->addAction("&Hide 3D Cursor", this, [this] { m_host.reading().hideCursor(); });
    menu->addSeparator();
    menu->addAction("Reading La&yout", this, [this] {
        QString why;
        if (!readingLayout(why)) m_host.messageBox(why, "Reading Layout", QV_MB_OK | QV_MB_ICONSTOP);
    });

    m_dock = new QDockWidget("Measurements", &host);
    m_dock->setObjectName("measurementsDock");
    auto* inside = new QWidget(m_dock);
    auto* layout = new QVBoxLayout(inside);
    layout->setContentsMargins(2, 2, 2, 2);
    m_list = new QListWidget(inside);
    m_list->setObjectName("measurementList");
    auto* remove = new QPushButton("&Delete", inside);
    layout->addWidget(m_list);
    layout->addWidget(remove);
    m_dock->setWidget(inside);
    host.addDockWidget(Qt::RightDockWidgetArea, m_dock);
    m_dock->hide();  // opens with the first measurement
    connect(remove, &QPushButton::clicked, this, &ReadingFrame::deleteSelected);
    auto* del = new QShortcut(QKeySequence::Delete, m_list);
    del->setContext(Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, &ReadingFrame::deleteSelected);
    connect(&reading, &ReadingState::measurementsChanged, this, &ReadingFrame::fillList);
    for (QAction* action : host.menuBar()->actions())
        if (action->menu() && action->text() == "&View") action->menu()->addAction(m_dock->toggleViewAction());
}

bool ReadingFrame::setPlane(PlaneKind kind) {
    QString why;
    if (m_host.grid().activeCell()->panel()->setPlane(kind, why)) return true;
    m_host.notice(QString("No %1 plane: %2").arg(QString(planeName(kind)).toLower()).arg(why));
    return false;
}

void ReadingFrame::setSlab(SlabMode slab, double thicknessMm) {
    m_host.grid().activeCell()->panel()->setSlab(slab, thicknessMm);
}

bool ReadingFrame::readingLayout(QString& why) {
    CellGrid& grid = m_host.grid();
    const int group = grid.activeCell()->panel()->groupId();
    if (!m_host.database().groupById(group)) return (why = "Show a series in the active cell first."), false;
    if (!m_host.reading().volumeOf(group, &why)) return (why = "The series forms no volume: " + why), false;
    m_host.viewer().setLayout("2x2");
    const PlaneKind kinds[] = {PlaneKind::Axial, PlaneKind::Coronal, PlaneKind::Sagittal};
    for (int cell = 0; cell < 3; ++cell) {
        if (grid.cell(cell)->pluginWindow()) continue;  // a 3D window stays where it is
        grid.putGroupInCell(group, cell);
        grid.cell(cell)->panel()->setPlane(kinds[cell], why);
    }
    return true;
}

void ReadingFrame::deleteSelected() {
    QListWidgetItem* item = m_list->currentItem();
    if (item) m_host.reading().removeMeasurement(item->data(Qt::UserRole).toInt());
}

void ReadingFrame::fillList() {
    m_list->clear();
    for (const Measurement& m : m_host.reading().measurements()) {
        auto* item = new QListWidgetItem(QString("%1: %2").arg(m.id).arg(describe(m)), m_list);
        item->setData(Qt::UserRole, m.id);
    }
    if (!m_host.reading().measurements().empty() && m_host.options().docks) m_dock->show();
}

}  // namespace quarvia
