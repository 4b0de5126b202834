#include "view/CPerspective.h"

#include "plugin/CBackground.h"
#include "plugin/CommandTexts.h"
#include "plugin/HostSymbols.h"
#include "plugin/PluginIdentity.h"
#include "render/Camera.h"
#include "volume/CVolume.h"

#include "QVPluginApi.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QPainter>

namespace v3d {

namespace {
constexpr int CMD_ANTERIOR = 5016;
constexpr int CMD_CAUDAL = 5099;
constexpr int CMD_REMEMBER_PRESET = 5019;
constexpr int CMD_APPLY_PRESET = 6000;
constexpr int CMD_DELETE_PRESET = 7000;

QColor colourOf(uint32_t colorref) {
    return QColor(colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
}
}  // namespace

CPerspective::CPerspective(CBackground* frame) : QWidget(frame), m_frame(frame) {
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    buildContextMenu();
}

CPerspective::~CPerspective() {
    // Workers post repaints to this widget: they end while it still exists.
    stopRenderers();
}

void CPerspective::bindToFrame(const RendererFactory& makeRenderer) {
    bind(m_frame, m_frame->camera.get(), m_frame->volume.get(), makeRenderer);
    for (int i = 0; i < m_presetTable.m_iNumOfPresets; ++i) addPresetMenuItems(i);
}

bool CPerspective::ready() const { return m_frame->m_bHasSeries != 0; }

void CPerspective::buildContextMenu() {
    m_menu = std::make_unique<QMenu>();
    QMenu* reference = m_menu->addMenu("Reference frame");
    reference->addAction("Caudal")->setData(CMD_CAUDAL);
    reference->addAction("Anterior")->setData(CMD_ANTERIOR);
    m_quickMenu = m_menu->addMenu("Quick thresholds");
    m_deleteMenu = m_quickMenu->addMenu("Delete");
    m_deleteMenu->addAction(QString())->setEnabled(false);  // the fixed placeholder
    m_quickMenu->addAction("Remember current...")->setData(CMD_REMEMBER_PRESET);
    m_quickMenu->addSeparator();
    QMenu* toolbars = m_menu->addMenu("Toolbars");
    for (int command : {ID_TOOLBAR_MAIN, ID_TOOLBAR_RESET, ID_TOOLBAR_CAMERA, ID_TOOLBAR_CUTPLANE, ID_TOOLBAR_SEGMENTATION}) {
        QAction* action = toolbars->addAction(commandCaption(command));
        action->setData(command);
        action->setCheckable(true);
    }
    m_menu->addAction("Delete")->setData(CMD_DELETE);
    m_menu->addAction("Configure")->setData(CMD_CONFIGURE);
    m_menu->addAction("Refresh")->setData(CMD_REFRESH);
    // Every item goes through the frame's routing, which asks the view too.
    connect(m_menu.get(), &QMenu::triggered, this, [this](QAction* action) {
        bool ok = false;
        const int command = action->data().toInt(&ok);
        if (ok && command) m_frame->dispatchCommand(command);
    });
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        std::function<void(QMenu*)> refresh = [&](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                if (action->menu()) {
                    refresh(action->menu());
                    continue;
                }
                bool ok = false;
                const int command = action->data().toInt(&ok);
                if (!ok || !command) continue;
                QVCommandState state{1, 0};
                if (m_frame->onCommand(command, QV_CN_UPDATE_COMMAND_UI, &state, nullptr)) {
                    action->setEnabled(state.enabled != 0);
                    action->setCheckable(state.checked != 0 || action->isCheckable());
                    action->setChecked(state.checked != 0);
                }
            }
        };
        refresh(m_menu.get());
    });
}

void CPerspective::addPresetMenuItems(int index) {
    const Preset* preset = m_presetTable.at(index);
    if (!preset) return;
    m_deleteMenu->addAction(QString::fromUtf8(preset->name))->setData(CMD_DELETE_PRESET + index);
    m_quickMenu->addAction(QString::fromUtf8(preset->name))->setData(CMD_APPLY_PRESET + index);
}

void CPerspective::rebuildPresetMenuItems() {
    // Item i of both submenus belongs to preset i: rebuild them in order.
    const QList<QAction*> quick = m_quickMenu->actions();
    for (int i = 3; i < quick.size(); ++i) m_quickMenu->removeAction(quick[i]), delete quick[i];
    const QList<QAction*> del = m_deleteMenu->actions();
    for (int i = 1; i < del.size(); ++i) m_deleteMenu->removeAction(del[i]), delete del[i];
    for (int i = 0; i < m_presetTable.m_iNumOfPresets; ++i) addPresetMenuItems(i);
}

void CPerspective::showContextMenu(const QPoint& globalPos) { m_menu->popup(globalPos); }

void CPerspective::contextMenuEvent(QContextMenuEvent* event) {
    if (ready() && m_frame->m_bAllLoaded) showContextMenu(event->globalPos());
}

bool CPerspective::onCommand(int command, int code, void* extra) {
    QVCommandState* state = code == QV_CN_UPDATE_COMMAND_UI ? static_cast<QVCommandState*>(extra) : nullptr;
    if (code == QV_CN_UPDATE_COMMAND_UI && !state) return false;
    const bool isReady = ready();
    auto answer = [&](bool enabled, bool checked) {
        state->enabled = enabled ? 1 : 0;
        state->checked = enabled && checked ? 1 : 0;
        return true;
    };
    const bool perspective = m_pCamera && m_pCamera->perspective;
    switch (command) {
    case ID_RENDER_SSD:
    case ID_RENDER_MIP:
    case ID_RENDER_OPQ: {
        const int mode = command == ID_RENDER_SSD ? RENDER_SSD : command == ID_RENDER_MIP ? RENDER_MIP : RENDER_OPQ;
        if (state) return answer(isReady, m_iRenderMode == mode);
        m_iDragMode = 0;
        setRenderMode(mode);
        return true;
    }
    case ID_PARALLEL:
    case ID_PERSPECTIVE:
        if (state) return answer(isReady, (command == ID_PERSPECTIVE) == perspective);
        if (m_pCamera) {
            m_pCamera->perspective = command == ID_PERSPECTIVE;
            m_pCamera->updateCornerRays();
        }
        m_iDragMode = 0;
        requestRender(true);
        return true;
    case CMD_ANTERIOR:
    case CMD_CAUDAL:
        if (state) return answer(isReady, m_iReferenceFrame == (command == CMD_CAUDAL ? 1 : 0));
        applyReferenceFrame(command == CMD_CAUDAL ? 1 : 0);
        requestRender(true);
        return true;
    case ID_RESET_VIEW:
        if (state) return answer(isReady, false);
        applyReferenceFrame(m_iReferenceFrame);
        m_iDragMode = 0;
        requestRender(true);
        return true;
    default:
        break;
    }
    if (command >= CMD_APPLY_PRESET && command < CMD_APPLY_PRESET + PresetTable::kMaxPresets) {
        if (state) return answer(isReady, false);
        applyPreset(command - CMD_APPLY_PRESET);
        return true;
    }
    if (command >= CMD_DELETE_PRESET && command < CMD_DELETE_PRESET + PresetTable::kMaxPresets) {
        if (state) return answer(true, false);
        if (m_presetTable.deletePreset(command - CMD_DELETE_PRESET)) rebuildPresetMenuItems();
        return true;
    }
    return false;
}

bool CPerspective::mouseInputWaiting() {
    if (auto probe = lookupHostFunction<QVIsMessageWaitingFn>("QVIsMessageWaiting")) return probe() != 0;
    // The event queue cannot be looked into: while a drag runs the mouse
    // reports far more often than every 25 ms, so by then a move is waiting.
    return m_iDragMode != 0 && m_renderClock.isValid() && m_renderClock.elapsed() > 25;
}

void CPerspective::invalidateFromWorker() {
    // Queued to the user-interface thread; dropped if the widget is gone.
    QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
}

void CPerspective::resizeEvent(QResizeEvent* event) {
    resizeClient(width(), height());
    QWidget::resizeEvent(event);
}

void CPerspective::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const DisplayRect r = m_display.rect;
    const QRect target(r.left, r.top, r.width, r.height);
    if (ready() && m_frame->m_bAllLoaded) {
        m_renderClock.start();
        const DisplayRect region = renderFrame();
        m_renderClock.invalidate();
        // Image row 0 looks along the camera's -up side and is drawn at the
        // top (the classic bottom-up bitmap stretched with a negative height).
        const QImage image(imageBits(), kImageSize, kImageSize, kRowBytes, QImage::Format_BGR888);
        const QImage part = image.copy(0, 0, region.width, region.height);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(target, part);
    } else {
        painter.fillRect(target, Qt::black);
    }
    const QColor margin = colourOf(QVGetImagePanelBackground());
    QRegion strips(rect());
    strips -= QRegion(target);
    for (const QRect& strip : strips) painter.fillRect(strip, margin);
    if (!ready()) {
        painter.setPen(Qt::white);
        painter.drawText(target, Qt::AlignCenter, "Drop image series to start");
    } else if (!m_frame->m_bAllLoaded) {
        painter.setPen(Qt::white);
        painter.drawText(target, Qt::AlignCenter, "Waiting for all images to load.");
    }
}

}  // namespace v3d
