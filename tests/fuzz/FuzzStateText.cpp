// Any bytes as a state text: applied to a view over a small volume, as a
// peer's state, a saved state and a dropped capture's blob. The view's
// invariants must hold afterwards and its state text must read back.
#include "collab/CaptureRecord.h"
#include "collab/PeerState.h"
#include "collab/SessionText.h"
#include "collab/StateText.h"
#include "FuzzView.h"
#include "render/Camera.h"
#include "view/RendererRegistry.h"
#include "view/ViewCore.h"
#include "view/ViewSegmentation.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace v3d;

namespace {

struct Actions : PeerStateActions {
    void captureForPeer(const PeerCapture& c) override {
        if (c.width < 1 || c.width > 512 || c.height < 1 || c.height > 512 || c.sopUid.size() > 120) std::abort();
    }
    void quickCapture() override {}
    void continueSegHistory(const std::string&) override {}
};

struct Scene : FuzzView {
    CaptureRecord capture;
    Actions actions;

    void reset() {
        view.applyReferenceFrame(0);
        view.deleteAllCutPlanes();
        resetViewSegmentation(view);
        series.pendingState.clear();
        capture = CaptureRecord();
    }
};

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void checkInvariants(Scene& s) {
    const ViewCore& v = s.view;
    if (v.m_iRenderMode < 0 || v.m_iRenderMode > 2) std::abort();
    const CutPlaneSet& planes = v.planes();
    if (planes.m_iNumCutPlanes < 0 || planes.m_iNumCutPlanes > kMaxCutPlanes) std::abort();
    if (planes.m_iSelectedCutPlane < -1 || planes.m_iSelectedCutPlane >= planes.m_iNumCutPlanes) std::abort();
    for (int i = 0; i < planes.m_iNumCutPlanes; ++i)
        if (!finite(planes.at(i)->point) || !finite(planes.at(i)->normal)) std::abort();
    const Camera& c = s.camera;
    if (!finite(c.position) || !finite(c.right) || !finite(c.up) || !finite(c.view)) std::abort();
    const Vec3 centre = s.volume.center();
    if (!(length(c.position - centre) < 2.5f * length(centre))) std::abort();
    if (!(c.getZoom() >= 0.0f && c.getZoom() <= 1.0f)) std::abort();
    if (!std::isfinite(v.m_fHue) || !std::isfinite(v.m_fShine)) std::abort();
    if (v.m_iToolGroup < 0 || v.m_iToolGroup > 2 || v.m_iRightTool < 0 || v.m_iRightTool > 13) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene* scene = new Scene;  // one view for the run; its state is reset per input
    Scene& s = *scene;
    s.reset();
    const std::string text(reinterpret_cast<const char*>(data), size);

    applyPeerState(s.view, s.capture, s.actions, text);
    checkInvariants(s);
    // What the view now holds reads back to itself.
    const std::string state = buildStateText(s.view, s.capture, kSavedStateMask);
    applyPeerState(s.view, s.capture, s.actions, state);
    const std::string again = buildStateText(s.view, s.capture, kSavedStateMask);
    if (again != state) {
        std::fprintf(stderr, "state text does not read back:\n%s\n---- became ----\n%s\n", state.c_str(), again.c_str());
        std::abort();
    }

    const SessionRestore restore = parseSessionText(text);
    (void)restore;
    if (std::optional<std::string> blob = stateTextOfBlob(data, size)) {
        const std::string dropped = rewriteDroppedState(*blob, "1.2.3", "7");
        (void)parseSessionText(dropped);
    }
    return 0;
}
