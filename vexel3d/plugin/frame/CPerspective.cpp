#include "plugin/frame/CPerspective.h"

#include "plugin/frame/CBackground.h"
#include "volume/SeriesDefaults.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/dialogs/CPresetNameDialog.h"
#include "plugin/dialogs/CV3DSetupDialog.h"
#include "plugin/frame/CommandTexts.h"
#include "plugin/frame/MessageTexts.h"
#include "plugin/paint/OverlayPainter.h"
#include "plugin/frame/PluginIdentity.h"
#include "interact/OverlayInputsFromView.h"
#include "interact/Overlays.h"
#include "render/Camera.h"
#include "interact/ViewDrag.h"
#include "view/ViewToolCommands.h"
#include "view/ViewTools.h"
#include "collab/StateText.h"
#include "interact/ViewInput.h"
#include "volume/CVolume.h"

#include "QVPluginApi.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <functional>

namespace v3d {

namespace {
QColor colourOf(uint32_t colorref) {
    return QColor(colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
}

int flagsOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    int flags = 0;
    if (buttons & Qt::LeftButton) flags |= MOUSE_LEFT;
    if (buttons & Qt::RightButton) flags |= MOUSE_RIGHT;
    if (buttons & Qt::MiddleButton) flags |= MOUSE_MIDDLE;
    if (modifiers & Qt::ShiftModifier) flags |= MOUSE_SHIFT;
    if (modifiers & Qt::ControlModifier) flags |= MOUSE_CTRL;
    return flags;
}

ClientPoint clientPointOf(const QPointF& p) { return {static_cast<int>(p.x()), static_cast<int>(p.y())}; }

// The view's key for a Qt key; 0 for keys the view ignores.
int viewKeyOf(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // the letters share their codes
    switch (qtKey) {
    case Qt::Key_Space: return KEY_SPACE;
    case Qt::Key_PageUp: return KEY_PAGE_UP;
    case Qt::Key_PageDown: return KEY_PAGE_DOWN;
    case Qt::Key_End: return KEY_END;
    case Qt::Key_Home: return KEY_HOME;
    case Qt::Key_Left: return KEY_LEFT;
    case Qt::Key_Up: return KEY_UP;
    case Qt::Key_Right: return KEY_RIGHT;
    case Qt::Key_Down: return KEY_DOWN;
    default: return 0;
    }
}

Qt::CursorShape qtShapeOf(CursorShape shape) {
    switch (shape) {
    case CursorShape::Cross: return Qt::CrossCursor;
    case CursorShape::SizeNS: return Qt::SizeVerCursor;
    case CursorShape::SizeAll: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
    }
}
}  // namespace

CPerspective::CPerspective(CBackground* frame) : QWidget(frame), m_frame(frame) {
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // The menu opens from the right release, never from the system's request.
    setContextMenuPolicy(Qt::PreventContextMenu);
    buildContextMenu();
}

CPerspective::~CPerspective() {
    // Workers post repaints to this widget: they end while it still exists.
    stopRenderers();
}

void CPerspective::bindToFrame(const RendererFactory& makeRenderer) {
    bind(&m_frame->series, m_frame->camera.get(), m_frame->volume.get(), makeRenderer, m_frame->viewServices());
    for (int i = 0; i < m_presetTable.m_iNumOfPresets; ++i) addPresetMenuItems(i);
}

bool CPerspective::ready() const { return viewIsReady(*this); }

bool CPerspective::inputReady() const { return ready() && m_frame->series.m_bAllLoaded; }

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
    m_menu->addAction("Undo segmentation step")->setData(CMD_UNDO_SEGMENTATION);
    m_menu->addAction("Save segmentation as DICOM...")->setData(CMD_SAVE_SEGMENTATION);
    m_menu->addAction("Open segmentation from DICOM...")->setData(CMD_OPEN_SEGMENTATION);
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

namespace {

// The setup dialog's hold on one view: toggles act at once, Done saves.
class ViewSetup : public SetupTarget {
public:
    ViewSetup(CPerspective& view, std::function<void()> presetsChanged)
        : m_view(view), m_presetsChanged(std::move(presetsChanged)) {}

    // Only the setting toggled: the others may have changed since the
    // dialog opened (a peer's tumbling line, the export loop's restore).
    void settingToggled(SetupControl control, const SetupSettings& s) override {
        takeToggle(control, s);
        switch (control) {
        case SETUP_SHADOWS_PERSP:
        case SETUP_SHADOWS_PAR:
        case SETUP_OPQ_ON_SSD:
            // What the passes read: a new render takes it up.
            m_view.requestRender(true);
            break;
        case SETUP_WIREFRAME: static_cast<ViewCore&>(m_view).repaint(); break;
        case SETUP_NO_TUMBLE:
            if (s.noTumble && m_view.m_pCamera) {
                Camera& camera = m_view.changeCamera();
                camera.lookAlong(camera.getUnitView());
                m_view.requestRender(true);
            }
            break;
        default: break;
        }
    }
    int presetCount() const override { return m_view.m_presetTable.m_iNumOfPresets; }
    void deletePreset(int index) override {
        if (m_view.m_presetTable.deletePreset(index)) m_presetsChanged();
    }
    void addFactoryPresets() override {
        if (m_view.addFactoryPresets()) m_presetsChanged();
    }
    // Done: the edits; the check boxes acted when they were toggled.
    void saveSettings(const SetupSettings& s) override {
        m_view.m_prefs.mouseSpeedX = s.mouseSpeedX;
        m_view.m_prefs.mouseSpeedY = s.mouseSpeedY;
        m_view.m_prefs.segLow = s.segLow;
        m_view.m_prefs.segHigh = s.segHigh;
        m_view.m_prefs.segRad = s.segRad;
        clampSegmentationValues(m_view.m_prefs.segLow, m_view.m_prefs.segHigh, m_view.m_prefs.segRad);
        m_view.saveSettings();
        m_view.requestRender(true);
    }

private:
    void takeToggle(SetupControl control, const SetupSettings& s) {
        switch (control) {
        case SETUP_SHADOWS_PERSP: m_view.m_prefs.shadowsPersp = s.shadowsPersp; break;
        case SETUP_SHADOWS_PAR: m_view.m_prefs.shadowsPar = s.shadowsPar; break;
        case SETUP_OPQ_ON_SSD: m_view.m_prefs.opqOnSsd = s.opqOnSsd; break;
        case SETUP_INVERT_MOUSE: m_view.m_prefs.invertMouse = s.invertMouse; break;
        case SETUP_NO_TUMBLE: m_view.m_prefs.noTumble = s.noTumble; break;
        case SETUP_FLOOD_BOUND: m_view.m_prefs.floodBound = s.floodBound; break;
        case SETUP_WIREFRAME: m_view.m_prefs.wireframe = s.wireframe; break;
        default: break;
        }
    }

    CPerspective& m_view;
    std::function<void()> m_presetsChanged;
};

}  // namespace

void CPerspective::configure() {
    ViewSetup target(*this, [this] { rebuildPresetMenuItems(); });
    CV3DSetupDialog dialog(preferences(), target, this);
    dialog.exec();
}

void CPerspective::rememberCurrentPreset() {
    if (m_presetTable.m_iNumOfPresets >= PresetTable::kMaxPresets) return;
    CPresetNameDialog dialog(QString("preset_%1").arg(m_presetTable.m_iNumOfPresets), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const int n = m_presetTable.m_iNumOfPresets;
    if (addCurrentPreset(dialog.name().toStdString())) addPresetMenuItems(n);
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
    if (command >= CMD_APPLY_PRESET && command < CMD_APPLY_PRESET + PresetTable::kMaxPresets) {
        // The thresholds are CT numbers: on another modality they would show nothing meant.
        const bool hu = valuesAreHU(m_frame->series.modality);
        if (state) return answer(isReady && hu, false);
        if (!hu) return true;
        applyPreset(command - CMD_APPLY_PRESET);
        sendMask(1);
        return true;
    }
    if (command == CMD_REMEMBER_PRESET) {
        if (state) return answer(m_presetTable.m_iNumOfPresets < PresetTable::kMaxPresets, false);
        rememberCurrentPreset();
        return true;
    }
    if (command >= CMD_DELETE_PRESET && command < CMD_DELETE_PRESET + PresetTable::kMaxPresets) {
        if (state) return answer(true, false);
        if (m_presetTable.deletePreset(command - CMD_DELETE_PRESET)) rebuildPresetMenuItems();
        return true;
    }
    if (state) {
        CommandState tool;
        if (!toolCommandState(*this, command, tool)) return false;
        state->enabled = tool.enabled ? 1 : 0;
        state->checked = tool.checked ? 1 : 0;
        return true;
    }
    if (command == ID_CAPTURE) {
        // The export dialog belongs to the window; the view only ends its drag.
        runToolCommand(*this, command);
        m_frame->captureImagesCommand();
        return true;
    }
    const int mask = runToolCommand(*this, command);
    if (mask < 0) return false;
    sendMask(mask);
    return true;
}

void CPerspective::sendMask(int mask) { m_frame->sendStateToPeers(mask, true); }

bool CPerspective::mouseInputWaiting() {
    if (theApp().hostTellsWaitingMessages()) return theApp().messageWaiting();
    // Qt's event queue cannot be looked into: while a drag runs the mouse
    // reports far more often than every 25 ms, so by then a move is waiting.
    return m_iDragMode != 0 && m_renderClock.isValid() && m_renderClock.elapsed() > 25;
}

void CPerspective::invalidateFromWorker() {
    // Queued to the user-interface thread; dropped if the widget is gone.
    QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
}

void CPerspective::setCursorShape(CursorShape shape) {
    m_cursorShape = shape;
    if (!m_cursorHidden) setCursor(qtShapeOf(shape));
}

void CPerspective::showCursor() {
    m_cursorHidden = false;
    setCursor(qtShapeOf(m_cursorShape));
}

void CPerspective::hideCursor() {
    m_cursorHidden = true;
    setCursor(Qt::BlankCursor);
}

ClientPoint CPerspective::cursorScreenPosition() const {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

void CPerspective::warpCursor(ClientPoint screen) { QCursor::setPos(screen.x, screen.y); }

void CPerspective::setWaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

QVWindowHandle CPerspective::frameHandle() const { return m_frame->handle(); }

void CPerspective::notify(ViewNotice notice) {
    if (const char* text = noticeMessage(notice)) QVMessageBox(text, "Error", QV_MB_OK | QV_MB_ICONSTOP);
}

void CPerspective::activate() {
    setFocus(Qt::MouseFocusReason);
    QVActivateInGrid(viewHandle());
    theApp().setActiveWindow(m_frame);
}

// Qt grabs the mouse for the widget under a press until the last button is
// released, which is the capture these handlers need.
void CPerspective::mousePressEvent(QMouseEvent* event) {
    const ClientPoint point = clientPointOf(event->position());
    const bool control = hasControl(*this);
    showCursor();
    int mask = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        m_bPopupArmed = false;
        if (!control) break;
        activate();
        if (inputReady()) mask = leftPress(*this, point);
        break;
    case Qt::RightButton:
        m_bPopupArmed = true;
        if (!inputReady() || !control) break;
        activate();
        mask = rightPress(*this, point);
        break;
    case Qt::MiddleButton:
        m_bPopupArmed = false;
        if (inputReady() && control) mask = middlePress(*this, point);
        break;
    default:
        return QWidget::mousePressEvent(event);
    }
    sendMask(mask);
}

void CPerspective::mouseReleaseEvent(QMouseEvent* event) {
    showCursor();
    const bool active = inputReady() && hasControl(*this);
    int mask = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        m_bPopupArmed = false;
        if (active) mask = leftRelease(*this, *this);
        break;
    case Qt::RightButton:
        if (active && m_bPopupArmed)
            showContextMenu(QCursor::pos());
        else if (active)
            mask = rightRelease(*this, *this, flagsOf(event->buttons(), event->modifiers()));
        m_bPopupArmed = false;
        break;
    default:
        return QWidget::mouseReleaseEvent(event);
    }
    sendMask(mask);
}

void CPerspective::mouseMoveEvent(QMouseEvent* event) {
    m_bPopupArmed = false;
    if (!inputReady()) return;
    // The drag modes test control themselves: hovering works without it.
    sendMask(mouseMove(*this, *this, clientPointOf(event->position()), flagsOf(event->buttons(), event->modifiers())));
}

void CPerspective::mouseDoubleClickEvent(QMouseEvent* event) {
    m_bPopupArmed = false;
    if (event->button() != Qt::LeftButton || !inputReady() || !hasControl(*this)) return;
    if (m_iToolGroup != GROUP_CUT_PLANES && m_iToolGroup != GROUP_SELECTION) {
        m_bAnchorReset = true;
        // The bare marker first: the peers repaint and bring their window
        // forward before the capture's own message arrives.
        m_frame->peerSender().sendToPeersFromView(kStateMarkerLine);
        m_frame->userQuickCapture();
        return;
    }
    sendMask(doubleClickPick(*this, clientPointOf(event->position()), flagsOf(event->buttons(), event->modifiers())));
}

void CPerspective::wheelEvent(QWheelEvent* event) {
    showCursor();
    m_bPopupArmed = false;
    event->accept();
    const int delta = event->angleDelta().y();
    if (delta == 0 || !inputReady() || !hasControl(*this)) return;
    sendMask(wheel(*this, m_wheelSteps, delta));
}

void CPerspective::keyPressEvent(QKeyEvent* event) {
    showCursor();
    m_bPopupArmed = false;
    const int key = viewKeyOf(event->key());
    if (!key || !inputReady()) return QWidget::keyPressEvent(event);
    // Tune-up keys report nothing to share; navigation needs control.
    diagnosticKey(*this, key);
    if (!hasControl(*this)) return;
    const int flags = flagsOf(Qt::NoButton, event->modifiers());
    sendMask(navigationKey(*this, key, static_cast<unsigned>(std::max(1, event->count())), flags));
}

void CPerspective::resizeEvent(QResizeEvent* event) {
    resizeClient(width(), height());
    QWidget::resizeEvent(event);
}

void CPerspective::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const DisplayRect r = m_display.rect;
    const QRect target(r.left, r.top, r.width, r.height);
    if (ready() && m_frame->series.m_bAllLoaded) {
        m_renderClock.start();
        const DisplayRect region = renderFrame();
        m_renderClock.invalidate();
        // Image row 0 looks along the camera's -up side and is drawn at the
        // top (the classic bottom-up bitmap stretched with a negative height).
        const QImage image(imageBits(), kImageSize, kImageSize, kRowBytes, QImage::Format_BGR888);
        const QImage rendered = image.copy(0, 0, region.width, region.height);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(target, rendered);
    } else {
        painter.fillRect(target, Qt::black);
    }
    const QColor margin = colourOf(QVGetImagePanelBackground());
    QRegion strips(rect());
    strips -= QRegion(target);
    for (const QRect& strip : strips) painter.fillRect(strip, margin);
    // Overlays, or the notice while the view is not ready.
    OverlayPainter(painter, width(), height()).draw(buildOverlays(overlayInputsFromView(*this, width(), height())));
}

}  // namespace v3d
