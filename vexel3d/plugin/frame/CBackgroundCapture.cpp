// Capture and export: the view rendered anew at the target size becomes a
// new DICOM image of the study, carrying the window's saved state, and the
// peers are told to create the same image.
#include "plugin/frame/CBackground.h"

#include "plugin/dialogs/CExportDialog.h"
#include "plugin/dialogs/CProgress.h"
#include "plugin/dialogs/WaitCursor.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/MessageTexts.h"
#include "plugin/frame/PluginIdentity.h"
#include "wire/StateLines.h"
#include "collab/StateText.h"
#include "interact/CapturePixels.h"
#include "plugin/frame/CPerspective.h"
#include "render/Camera.h"
#include "view/RendererRegistry.h"
#include "volume/CVolume.h"


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
    CaptureFile file;
    file.pixels = &pixels;
    file.width = width;
    file.height = height;
    file.sourceImageId = sourceImageId;
    file.sopUid = sopUid;
    file.seriesUid = seriesUid;
    file.seriesNumber = seriesNumber;
    if (pixels.type == PIXELS_GREY16) {
        file.bitsStored = bitsStoredFor(pixels.largest);
        const QVVolumeRecord* host = series.hostVolume;
        file.slope = host ? host->slope : 1.0;
        // Stored value 0 is raw value rawBase: HU = (stored + rawBase) x slope + intercept.
        file.intercept = host ? host->rawBase * host->slope + host->intercept : 0.0;
        file.windowCentre = volume->windowLevelHU();
        file.windowWidth = volume->windowWidthHU();
    }
    file.descriptionPrefix = std::string("<") + rendererOfMode(view.m_iRenderMode)->captureName + "> ";
    const Camera& c = *camera;
    file.orientation = {c.right.x, c.right.y, c.right.z, c.up.x, c.up.y, c.up.z};
    file.savedState = sessionText(true);
    file.replacedImageId = replacedImageId;
    std::string id;
    const CaptureFileStatus status = m_study.addCaptureFile(file, id);
    if (status == CaptureFileStatus::CreateFailed) {
        QVMessageBox(captureMessage(CaptureStatus::CreateFailed), "Error", QV_MB_OK | QV_MB_ICONSTOP);
        return std::string();
    }
    // The next paint renders at the view's own size from scratch (the
    // display image was cleared while it was read).
    view.m_workspace->resetWide();
    view.requestRender(true);
    if (status != CaptureFileStatus::Added) return std::string();
    capture.captureSeriesUid = m_study.seriesUid(id);
    capture.captureSeriesNumber = m_study.seriesNumber(id).value_or(0);
    return id;
}

bool CBackground::captureAndShare(int width, int height, bool replace) {
    std::string sopUid, replaced;
    if (replace && !capture.replaceableImageId.empty() && m_study.canDelete(capture.replaceableImageId)) {
        replaced = capture.replaceableImageId;
        sopUid = m_study.sopInstanceUid(replaced);
    }
    const std::string id = createDicomImage(width, height, series.firstImageId, sopUid, capture.captureSeriesUid,
                                            capture.captureSeriesNumber, replaced);
    if (id.empty()) return false;
    capture.captureSeriesUid = m_study.seriesUid(id);
    capture.captureSeriesNumber = m_study.seriesNumber(id).value_or(0);
    capture.lastCaptureSopUid = m_study.sopInstanceUid(id);
    capture.lastCaptureWidth = width;
    capture.lastCaptureHeight = height;
    sendStateToPeers(CHANGE_CAMERA_VECTORS | CHANGE_CAPTURE);
    // The new image shows in this window's cell.
    if (replace) m_study.showInOwnCell(id);
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
