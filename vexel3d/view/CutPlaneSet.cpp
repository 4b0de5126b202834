#include "view/CutPlaneSet.h"

#include "render/BoxTests.h"
#include "render/math/PlaneMath.h"
#include "render/RenderWorkspace.h"
#include "volume/CVolume.h"

#include <vector>

namespace v3d {

namespace {
struct Line {
    Vec3 point;
    Vec3 direction;
};

float det3(const Vec3& a, const Vec3& b, const Vec3& c) { return dot(a, cross(b, c)); }

// The farthest entering and the nearest leaving crossing of a ray with a set
// of planes, with the entering plane's number.
struct Crossings {
    bool haveEntry = false;
    bool haveExit = false;
    float entryT = 0.0f;
    float exitT = 0.0f;
    Vec3 entryP;
    Vec3 exitP;
    int entryId = -1;

    void add(bool entering, float t, const Vec3& hit, int id) {
        if (entering) {
            if (!haveEntry || t > entryT) {
                haveEntry = true;
                entryT = t;
                entryP = hit;
                entryId = id;
            }
        } else if (!haveExit || t < exitT) {
            haveExit = true;
            exitT = t;
            exitP = hit;
        }
    }
};

// intersectLinePlane for a face of the clip box, whose normal is +-1 along
// one axis (Positive: +1): both dot products are then that axis's term
// alone, so the distance is (face - o) / d on the axis, the same bits for a
// fraction of the work (every ray's set-up crosses all six faces). q, o and
// d are the face point's, the origin's and the direction's coordinate on
// that axis.
template <bool Positive>
inline bool crossAxisFace(float q, float o, float d, const Vec3& O, const Vec3& D, bool& entering, float& t,
                          Vec3& hit) {
    if (d == 0.0f) {
        t = 0.0f;
        hit = Vec3();
        entering = Positive ? q - o < 0.0f : q - o > 0.0f;
        return false;
    }
    entering = Positive ? d < 0.0f : d > 0.0f;
    t = (q - o) / d;
    hit = O + D * t;
    return true;
}
}  // namespace

bool CutPlaneSet::add(const CVolume& volume, const Vec3& anchor, const Vec3& point, const Vec3& normal) {
    if (m_iNumCutPlanes >= kMaxPlanes) return false;
    const int index = m_iNumCutPlanes;
    // Placed first, then recentred: the section is found with the plane
    // not yet counted among the others.
    CutPlane plane(anchor, point, normal, 0);
    Vec3 centre;
    plane.recentre(sectionCentre(volume, plane, centre) ? &centre : nullptr);
    m_cutPlanes[static_cast<size_t>(index)] = plane;
    m_iSelectedCutPlane = index;
    ++m_iNumCutPlanes;
    return true;
}

void CutPlaneSet::recentre(const CVolume& volume, int index) {
    CutPlane* plane = at(index);
    if (!plane) return;
    Vec3 centre;
    plane->recentre(sectionCentre(volume, *plane, centre) ? &centre : nullptr);
}

CutPlane* CutPlaneSet::at(int index) {
    return index >= 0 && index < m_iNumCutPlanes ? &m_cutPlanes[static_cast<size_t>(index)] : nullptr;
}

const CutPlane* CutPlaneSet::at(int index) const {
    return index >= 0 && index < m_iNumCutPlanes ? &m_cutPlanes[static_cast<size_t>(index)] : nullptr;
}

void CutPlaneSet::deleteSelectedCutPlane() {
    if (m_iSelectedCutPlane < 0 || m_iSelectedCutPlane >= m_iNumCutPlanes) return;
    const int s = m_iSelectedCutPlane;
    for (int i = s; i + 1 < m_iNumCutPlanes; ++i)
        m_cutPlanes[static_cast<size_t>(i)] = m_cutPlanes[static_cast<size_t>(i + 1)];
    m_cutPlanes[static_cast<size_t>(m_iNumCutPlanes - 1)] = CutPlane();
    --m_iNumCutPlanes;
    // The last plane gone: select the one before it; else the next one moved into place.
    if (s == m_iNumCutPlanes) m_iSelectedCutPlane = s - 1;
}

void CutPlaneSet::deleteAllCutPlanes() {
    for (auto& plane : m_cutPlanes) plane = CutPlane();
    m_iNumCutPlanes = 0;
    m_iSelectedCutPlane = -1;
}

void CutPlaneSet::resetCutPlanes() {
    m_iSelectedCutPlane = m_iNumCutPlanes - 1;
    while (m_iSelectedCutPlane != -1) deleteSelectedCutPlane();
}

bool CutPlaneSet::sectionCentre(const CVolume& volume, const CutPlane& plane, Vec3& centre) const {
    std::vector<Line> lines;
    lines.reserve(6 + kMaxPlanes);
    Line line;
    for (int k = 0; k < 6; ++k)
        if (plane.intersectWithPlane(volume.boundaryPoints[k], volume.boundaryNormals[k], line.point, line.direction))
            lines.push_back(line);
    for (int j = 0; j < m_iNumCutPlanes; ++j) {
        const CutPlane& other = m_cutPlanes[static_cast<size_t>(j)];
        if (plane.intersectWithPlane(other.point, other.normal, line.point, line.direction)) lines.push_back(line);
    }
    Vec3 sum;
    int counted = 0;
    for (size_t a = 0; a < lines.size(); ++a) {
        for (size_t b = a + 1; b < lines.size(); ++b) {
            const Vec3& p1 = lines[a].point;
            const Vec3& d1 = lines[a].direction;
            const Vec3& p2 = lines[b].point;
            const Vec3& d2 = lines[b].direction;
            const Vec3 n = cross(d1, d2);
            const float nn = dot(n, n);
            if (nn < 0.001f) continue;
            const Vec3 r = p2 - p1;
            const float t1 = det3(r, d2, n) / nn;
            const float t2 = det3(r, d1, n) / nn;
            const Vec3 A = p1 + d1 * t1;
            const Vec3 B = p2 + d2 * t2;
            const float distance = length(A - B);
            const Vec3 candidate = (A + B) * 0.5f;
            // Lines that meet exactly count too: a plane through the box must
            // keep a centre inside it.
            if (distance >= 0.0f && distance < 1.0f && insideWithMargin(volume, candidate, 2.0f)) {
                sum += candidate;
                ++counted;
            }
        }
    }
    if (counted == 0) return false;
    centre = sum / static_cast<float>(counted);
    return true;
}

void CutPlaneSet::clipRay(const CVolume& volume, RenderWorkspace& ws, bool cutPlaneMode, int x, int y, const Vec3& O,
                          const Vec3& D) const {
    const int i = RenderWorkspace::index(x, y);
    ws.entrySurface[i] = -8;

    bool entering = false;
    float t = 0.0f;
    Vec3 hit;
    const CutPlane* sel = selected();
    ws.selectedPlaneDistance[i] = -10.0f;
    if (cutPlaneMode && sel && intersectLinePlane(O, D, sel->point, sel->normal, entering, t, hit) && t > 0.0f)
        ws.selectedPlaneDistance[i] = t;

    // The volume box: only hits on the faces themselves count.
    Crossings box;
    const Vec3* q = volume.boundaryPoints;
    const ClipBounds bounds = clipBounds(volume);
    auto face = [&](bool crossed, int k) {
        if (crossed && t > 0.0f && insideFace(bounds, hit, k)) box.add(entering, t, hit, k);
    };
    face(crossAxisFace<false>(q[0].z, O.z, D.z, O, D, entering, t, hit), 0);
    face(crossAxisFace<true>(q[1].z, O.z, D.z, O, D, entering, t, hit), 1);
    face(crossAxisFace<true>(q[2].x, O.x, D.x, O, D, entering, t, hit), 2);
    face(crossAxisFace<false>(q[3].x, O.x, D.x, O, D, entering, t, hit), 3);
    face(crossAxisFace<false>(q[4].y, O.y, D.y, O, D, entering, t, hit), 4);
    face(crossAxisFace<true>(q[5].y, O.y, D.y, O, D, entering, t, hit), 5);
    auto miss = [&] {
        ws.entryPoint[i] = O;
        ws.entryDistance[i] = -1.0f;
        ws.entrySurface[i] = -8;
    };
    if (!box.haveEntry && box.haveExit && inside(volume, O)) {
        ws.entryPoint[i] = O;
        ws.entryDistance[i] = 0.0f;
    } else if (box.haveEntry && box.haveExit) {
        ws.entryPoint[i] = box.entryP;
        ws.entryDistance[i] = box.entryT;
        ws.entrySurface[i] = box.entryId - 7;
    } else {
        miss();
        return;
    }
    ws.exitPoint[i] = box.exitP;
    ws.exitDistance[i] = box.exitT;

    // Cut planes; the sign of t is judged below.
    Crossings planes;
    for (int j = 0; j < m_iNumCutPlanes; ++j) {
        const CutPlane& plane = m_cutPlanes[static_cast<size_t>(j)];
        if (intersectLinePlane(O, D, plane.point, plane.normal, entering, t, hit)) {
            planes.add(entering, t, hit, j);
        } else if (entering) {
            // Parallel, with the origin on the removed side: nothing is kept.
            miss();
            return;
        }
    }
    if (planes.haveExit) {
        if (planes.exitT <= 0.0f || planes.exitT < ws.entryDistance[i]) {
            miss();
            return;
        }
        if (planes.exitT < ws.exitDistance[i]) {
            ws.exitDistance[i] = planes.exitT;
            ws.exitPoint[i] = planes.exitP;
        }
    }
    if (planes.haveEntry && planes.entryT > 0.0f) {
        if (planes.entryT > ws.exitDistance[i]) {
            miss();
            return;
        }
        if (planes.entryT > ws.entryDistance[i]) {
            ws.entryDistance[i] = planes.entryT;
            ws.entryPoint[i] = planes.entryP;
            ws.entrySurface[i] = planes.entryId;
        }
    }
}

}  // namespace v3d
