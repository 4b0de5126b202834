// Capture and export: the view rendered anew at the target size becomes a
// new DICOM image of the study, carrying the window's saved state, and the
// peers are told to create the same image.
#include "plugin/frame/CBackground.h"

#include "plugin/dialogs/CExportDialog.h"
#include "plugin/dialogs/CProgress.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/MessageTexts.h"
#include "plugin/frame/PluginIdentity.h"
#include "wire/StateLines.h"
#include "collab/StateText.h"
#include "interact/CapturePixels.h"
#include "plugin/host/HostStrings.h"
#include "plugin/frame/CPerspective.h"
#include "render/Camera.h"
#include "view/RendererRegistry.h"
#include "volume/CVolume.h"

#include <QApplication>

#include <chrono>
#include <cstdio>

namespace v3d {

namespace {

class ProgressAdapter : public ProgressSink {
public:
    explicit ProgressAdapter(CProgress& progress) : m_progress(progress) {}
    void setPosition(int position) override { m_progress.setPosition(position); }
    bool isCancelled() override { return m_progress.isCancelled(); }

private:
    CProgress& m_progress;
};

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The progress window centred on the application's active 3D window.
std::unique_ptr<CProgress> progressOverActiveWindow(const char* title, CBackground& fallback) {
    QWidget* over = theApp().activeWindow() ? static_cast<QWidget*>(theApp().activeWindow()) : &fallback;
    const QPoint centre = over->mapToGlobal(over->rect().center());
    return std::make_unique<CProgress>(title, centre.x(), centre.y(), &fallback);
}

constexpr int kQuickCaptureSize = 512;

}  // namespace

std::string CBackground::createDicomImage(int width, int height, const std::string& sourceImageId,
                                          const std::string& sopUid, const std::string& seriesUid,
                                          uint32_t seriesNumber, const std::string& replacedImageId) {
    CPerspective& view = *m_view;
    const CapturedPixels pixels = takeCapturePixels(view, width, height);
    const bool rgb = pixels.type == PIXELS_RGB8;
    const void* data = rgb ? static_cast<const void*>(pixels.rgb.data()) : static_cast<const void*>(pixels.grey.data());
    QVNewFileHandle file = QVCreateNewDicomFile(kPluginId, sourceImageId.c_str(), data, pixels.type, width, height,
                                                sopUid.empty() ? nullptr : sopUid.c_str());
    if (!file) {
        QVMessageBox(captureMessage(CaptureStatus::CreateFailed), "Error", QV_MB_OK | QV_MB_ICONSTOP);
        return std::string();
    }
    if (rgb) {
        QVNewFileRemoveDatasetTag(file, 0x0028, 0x1053);
        QVNewFileRemoveDatasetTag(file, 0x0028, 0x1052);
    } else {
        const uint16_t bits = bitsStoredFor(pixels.largest);
        QVNewFileSetDatasetUint16(file, 0x0028, 0x0101, &bits, 1);
        const QVVolumeRecord* host = series.hostVolume;
        const double slope = host ? host->slope : 1.0;
        // Stored value 0 is raw value rawBase: HU = (stored + rawBase) x slope + intercept.
        const double intercept = host ? host->rawBase * host->slope + host->intercept : 0.0;
        QVNewFileSetDatasetFloat64(file, 0x0028, 0x1053, &slope, 1);
        QVNewFileSetDatasetFloat64(file, 0x0028, 0x1052, &intercept, 1);
    }
    // The next paint renders at the view's own size from scratch (the
    // display image was cleared while it was read).
    view.m_workspace->resetWide();
    view.requestRender(true);
    QVNewFileNewSeriesUID(file, seriesUid.empty() ? nullptr : seriesUid.c_str(),
                          seriesUid.empty() ? 0 : static_cast<int>(seriesNumber));

    double centre = 128, windowWidth = 256;
    if (!rgb) {
        centre = volume->windowLevelHU();
        windowWidth = volume->windowWidthHU();
    }
    QVNewFileSetDatasetFloat64(file, 0x0028, 0x1050, &centre, 1);
    QVNewFileSetDatasetFloat64(file, 0x0028, 0x1051, &windowWidth, 1);
    QVNewFileSetDatasetString(file, 0x0020, 0x0052, "");
    const uint16_t zero = 0;
    QVNewFileSetDatasetUint16(file, 0x0028, 0x0103, &zero, 1);
    QVDatasetHandle source = QVGetDicomDataSet(sourceImageId.c_str());
    const std::string sourceDescription = source ? takeHostString(QVGetDicomStringArray(source, 0x0008, 0x103E)) : std::string();
    const std::string description =
        std::string("<") + rendererOfMode(view.m_iRenderMode)->captureName + "> " + sourceDescription;
    QVNewFileSetDatasetString(file, 0x0008, 0x103E, description.c_str());
    const Camera& c = *camera;
    const double orientation[6] = {c.right.x, c.right.y, c.right.z, c.up.x, c.up.y, c.up.z};
    QVNewFileSetDatasetFloat64(file, 0x0020, 0x0037, orientation, 6);
    const double position[3] = {0, 0, 0};
    QVNewFileSetDatasetFloat64(file, 0x0020, 0x0032, position, 3);
    const double spacing[2] = {0, 0};
    QVNewFileSetDatasetFloat64(file, 0x0028, 0x0030, spacing, 2);
    const std::string state = sessionText(true);
    QVNewFileSetDatasetUint8(file, 0xF215, 0xBA94, reinterpret_cast<const uint8_t*>(state.c_str()),
                             static_cast<int>(state.size() + 1));

    // The study holds one image per instance UID: the old one leaves just
    // before its replacement, made up whole, comes in.
    if (!replacedImageId.empty()) QVDeleteImage(kPluginId, replacedImageId.c_str());
    const std::string id = takeHostString(QVNewFileAddToViewer(file));
    if (id.empty()) {
        QVDestroyNewFile(file);
        return id;
    }
    capture.captureSeriesUid = takeHostString(QVGetSeriesUID(id.c_str()));
    capture.captureSeriesNumber = seriesNumberOfImage(id).value_or(0);
    return id;
}

bool CBackground::captureAndShare(int width, int height, bool replace) {
    std::string sopUid, replaced;
    if (replace && !capture.replaceableImageId.empty() &&
        QVCanDeleteImage(kPluginId, capture.replaceableImageId.c_str())) {
        replaced = capture.replaceableImageId;
        sopUid = takeHostString(QVImageSOPInstanceUID(replaced.c_str()));
    }
    const std::string id = createDicomImage(width, height, series.firstImageId, sopUid, capture.captureSeriesUid,
                                            capture.captureSeriesNumber, replaced);
    if (id.empty()) return false;
    capture.captureSeriesUid = takeHostString(QVGetSeriesUID(id.c_str()));
    capture.captureSeriesNumber = seriesNumberOfImage(id).value_or(0);
    capture.lastCaptureSopUid = takeHostString(QVImageSOPInstanceUID(id.c_str()));
    capture.lastCaptureWidth = width;
    capture.lastCaptureHeight = height;
    sendStateToPeers(CHANGE_CAMERA_VECTORS | CHANGE_CAPTURE);
    if (replace) {
        // The new image shows in this window's cell.
        QVPlaceHandle place = QVGetPlaceOfWindow(handle());
        QVPutGroupToPlace(place, QVGetGroupOfImage(id.c_str()));
        QVPanelHandle panel = QVGetImagePanelOfPlace(place);
        const int views = panel ? QVGetViewCount(panel) : 0;
        for (int i = 0; i < views; ++i) {
            if (takeHostString(QVGetImageID(QVGetView(panel, i))) == id) {
                QVSetActiveView(panel, i);
                break;
            }
        }
        QVReleasePlace(place);
    }
    return true;
}

bool CBackground::peerCaptureAllowed() {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    switch (m_peerCaptures.take(now.count())) {
    case PeerCaptureBudget::Verdict::Allowed: return true;
    case PeerCaptureBudget::Verdict::RefusedTellUser: m_view->notify(ViewNotice::PeerCapturesLimited); return false;
    case PeerCaptureBudget::Verdict::Refused: return false;
    }
    return false;
}

void CBackground::quickCapture() {
    if (peerCaptureAllowed()) userQuickCapture();
}

void CBackground::userQuickCapture() {
    WaitCursor wait;
    {
        std::unique_ptr<CProgress> progress = progressOverActiveWindow("Exporting image", *this);
        ProgressAdapter sink(*progress);
        m_view->renderForExport(kQuickCaptureSize, kQuickCaptureSize, &sink);
        progress->closeProgress();
    }
    captureAndShare(kQuickCaptureSize, kQuickCaptureSize, true);
}

void CBackground::captureForPeer(const PeerCapture& request) {
    if (!peerCaptureAllowed()) return;
    WaitCursor wait;
    std::unique_ptr<CProgress> progress = progressOverActiveWindow("Exporting image", *this);
    ProgressAdapter sink(*progress);
    m_view->renderForExport(request.width, request.height, &sink);
    createDicomImage(request.width, request.height, request.firstImageId, request.sopUid, request.seriesUid,
                     request.seriesNumber);
    progress->closeProgress();
}

void CBackground::exportImages(const ExportOptions& options) {
    class Steps : public ExportSteps {
    public:
        Steps(CBackground& frame, CProgress& progress) : m_frame(frame), m_progress(progress), m_sink(progress) {}
        void beginImage(int index, int count) override {
            char title[64];
            if (count > 1)
                std::snprintf(title, sizeof title, "Exporting image %d/%d", index + 1, count);
            else
                std::snprintf(title, sizeof title, "Exporting image");
            m_progress.setWindowTitle(QString::fromUtf8(title));
        }
        void render(int width, int height) override { m_frame.view()->renderForExport(width, height, &m_sink); }
        void capture(int width, int height) override { m_frame.captureAndShare(width, height, false); }
        bool cancelled() override { return m_progress.isCancelled(); }

    private:
        CBackground& m_frame;
        CProgress& m_progress;
        ProgressAdapter m_sink;
    };
    std::unique_ptr<CProgress> progress = progressOverActiveWindow("", *this);
    progress->enableCancel();
    Steps steps(*this, *progress);
    runExport(*m_view, capture, options, steps);
    progress->closeProgress();
}

void CBackground::captureImagesCommand() {
    CExportDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted) exportImages(dialog.options());
    m_view->requestRender(true);
    sendStateToPeers(exportClosingMask());
}

}  // namespace v3d
