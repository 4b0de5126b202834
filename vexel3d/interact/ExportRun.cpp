#include "interact/ExportRun.h"

#include "collab/CaptureRecord.h"
#include "render/Camera.h"
#include "view/ViewCore.h"
#include "volume/CVolume.h"

#include <string>

namespace v3d {

namespace {
constexpr int kFullTurn = 360;

int stepsOf(const ExportOptions& options) {
    const int step = options.step == 0 ? 1 : options.step;
    int n = options.rotation / step;
    if (options.rotation == kFullTurn) n -= 1;
    return n < 0 ? 0 : n;
}
}  // namespace

int exportImageCount(const ExportOptions& options) { return stepsOf(options) + 1; }

int runExport(ViewCore& view, CaptureRecord& capture, const ExportOptions& options, ExportSteps& steps) {
    if (!view.m_pCamera || !view.m_pVolume) return 0;
    const Camera saved = *view.m_pCamera;
    const bool noTumble = view.m_prefs.noTumble;
    const int n = stepsOf(options);
    const int degrees = (options.step == 0 ? 1 : options.step) * options.sign;
    std::string seriesUid;
    uint32_t seriesNumber = 0;
    if (n > 0) {
        // A rotation series goes into a new series of its own.
        seriesUid = capture.captureSeriesUid;
        seriesNumber = capture.captureSeriesNumber;
        capture.captureSeriesUid.clear();
        capture.captureSeriesNumber = 0;
    }
    int written = 0;
    for (int i = 0; i <= n; ++i) {
        steps.beginImage(i, n + 1);
        steps.render(options.width, options.height);
        steps.capture(options.width, options.height);
        ++written;
        if (i < n) {
            view.changeCamera().orbit(options.axis, static_cast<float>(degrees), view.m_pVolume->center(), view.m_prefs.noTumble);
            view.requestRender(true);
        }
        if (steps.cancelled()) break;
    }
    view.m_prefs.noTumble = noTumble;
    if (n > 0) {
        capture.captureSeriesUid = seriesUid;
        capture.captureSeriesNumber = seriesNumber;
    }
    Camera& camera = view.changeCamera();
    camera.setAxes(saved.right, saved.up, saved.view);
    camera.setPosition(saved.position);
    view.requestRender(true);
    return written;
}

}  // namespace v3d
