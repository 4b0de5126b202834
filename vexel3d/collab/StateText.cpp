#include "collab/StateText.h"

#include "collab/StateLineTable.h"
#include "render/Camera.h"
#include "render/CutPlane.h"
#include "view/ViewCore.h"
#include "wire/NumberText.h"

namespace v3d {

std::string cameraVectorsPayload(const Camera& c) {
    return FieldWriter().reals(c.position).reals(c.right).reals(c.up).reals(c.view).text();
}

std::string cutPlanePayload(const CutPlane& p) { return FieldWriter().reals(p.point).reals(p.normal).text(); }

std::string buildStateText(const ViewCore& view, const CaptureRecord& capture, int mask) {
    std::string text;
    if (mask <= 0 || !view.m_pCamera || !view.m_pVolume) return text;
    for (const StateLine& line : stateLines())
        if (line.write && (mask & line.groups)) line.write(text, view, capture);
    return text;
}

}  // namespace v3d
