#include "interact/OverlayShapes.h"

#include <algorithm>
#include <cmath>

namespace v3d {

namespace {

constexpr int kCutLineDragMode = 4;
constexpr int kPlaneTurnDragMode = 5;
constexpr int kOutlineDragMode = 14;
constexpr int kGesturePen = 2;
constexpr double kTickSpacing = 10.0;
constexpr double kTickLength = 15.0;

void addLine(OverlayList& out, double x1, double y1, double x2, double y2, int pen, OverlayColour colour) {
    out.push_back(OverlayLine{x1, y1, x2, y2, pen, colour});
}

ClientPoint roundedPoint(double x, double y) {
    return {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
}

// Walks from start in unit steps (dx, dy) while the next whole pixel is
// still inside the image; the last inside pixel. The image square is far
// smaller than the step bound, which only guards against a degenerate
// geometry.
ClientPoint walkToImageEdge(const DisplayGeometry& display, ClientPoint start, double dx, double dy) {
    double x = start.x;
    double y = start.y;
    const int bound = 4 * (std::abs(display.halfClientWidth) + std::abs(display.halfClientHeight)) + 16;
    for (int i = 0; i < bound; ++i) {
        const ClientPoint next = roundedPoint(x + dx, y + dy);
        if (!display.isInsideImage(next)) break;
        x += dx;
        y += dy;
    }
    return roundedPoint(x, y);
}

}  // namespace

bool cutLineEnds(const DisplayGeometry& display, ClientPoint press, ClientPoint current, ClientPoint& a,
                 ClientPoint& b) {
    const double lx = press.x - current.x;
    const double ly = press.y - current.y;
    const double len = std::hypot(lx, ly);
    if (len <= 0.0) return false;
    const double dx = lx / len;
    const double dy = ly / len;
    a = walkToImageEdge(display, current, -dx, -dy);
    b = walkToImageEdge(display, current, dx, dy);
    return true;
}

void addStar(OverlayList& out, ClientPoint c, OverlayColour colour) {
    addLine(out, c.x - 10, c.y, c.x + 10, c.y, kGesturePen, colour);
    addLine(out, c.x, c.y - 10, c.x, c.y + 10, kGesturePen, colour);
    addLine(out, c.x - 7, c.y - 7, c.x + 7, c.y + 7, kGesturePen, colour);
    addLine(out, c.x - 7, c.y + 7, c.x + 7, c.y - 7, kGesturePen, colour);
}

void addCutLine(OverlayList& out, const OverlayInputs& in) {
    if (in.dragMode != kCutLineDragMode) return;
    const OverlayColour red = overlay_colour::kGesture;
    ClientPoint a, b;
    if (cutLineEnds(in.display, in.cutLineStart, in.cutLineEnd, a, b)) {
        addLine(out, a.x, a.y, b.x, b.y, kGesturePen, red);
        const double lx = in.cutLineStart.x - in.cutLineEnd.x;
        const double ly = in.cutLineStart.y - in.cutLineEnd.y;
        const double len = std::hypot(lx, ly);
        const double dx = lx / len;
        const double dy = ly / len;
        const double span = std::hypot(b.x - a.x, b.y - a.y);
        if (span > kTickSpacing) {
            const double ux = (b.x - a.x) / span;
            const double uy = (b.y - a.y) / span;
            for (double s = kTickSpacing / 2; s < span - kTickSpacing / 2; s += kTickSpacing) {
                const double x = b.x - s * ux;
                const double y = b.y - s * uy;
                addLine(out, x, y, x + kTickLength * dy, y - kTickLength * dx, kGesturePen, red);
            }
        }
    }
    addStar(out, in.pressPoint, red);
}

void addFreehandOutline(OverlayList& out, const OverlayInputs& in) {
    if (in.dragMode != kOutlineDragMode) return;
    if (in.camera.perspective) {
        out.push_back(OverlayText{"Tool Disabled in Perspective Mode", {0, 0, in.clientWidth, in.clientHeight},
                                  ALIGN_HCENTRE | ALIGN_VCENTRE, true, overlay_colour::kGesture});
        return;
    }
    // No point yet: there is no first point to close back to.
    const std::vector<ClientPoint>& p = in.roiScreenPoints;
    if (p.empty()) return;
    for (size_t k = 0; k + 1 < p.size(); ++k)
        addLine(out, p[k].x, p[k].y, p[k + 1].x, p[k + 1].y, kGesturePen, overlay_colour::kGesture);
    addLine(out, p.back().x, p.back().y, p.front().x, p.front().y, kGesturePen, overlay_colour::kGesture);
}

void addRotatedPlaneMarker(OverlayList& out, const OverlayInputs& in) {
    if (in.dragMode != kPlaneTurnDragMode || !in.hasSelectedPlane) return;
    const DisplayRect& r = in.display.rect;
    int px = -1;
    int py = -1;
    in.camera.projectPoint(in.axisMatrix * in.selectedPlanePoint, r.width, r.height, px, py);
    if (px == -1 && py == -1) return;
    addStar(out, {px + r.left, py + r.top}, overlay_colour::kPlaneMarker);
}

void addProgressBars(OverlayList& out, const OverlayInputs& in) {
    const int w = in.clientWidth;
    const int h = in.clientHeight;
    // Fractions come from the host; a window narrower than the bars' margins
    // has no room for them.
    const double span = std::max(0, w - 80);
    const double downloaded = std::clamp(in.downloadedFraction, 0.0, 1.0);
    const double completed = std::clamp(in.completedFraction, 0.0, 1.0);
    const int r1 = static_cast<int>(span * (1.0 - downloaded));
    const int r2 = static_cast<int>(span * (1.0 - completed));
    if (r1 > 0) out.push_back(OverlayFill{{w - r1 - 40, h - 32, r1, 3}, overlay_colour::kDownload});
    if (r2 - r1 > 0) out.push_back(OverlayFill{{w - r2 - 40, h - 32, r2 - r1, 3}, overlay_colour::kCompletion});
}

void addOrientationFigure(OverlayList& out, const OverlayInputs& in) {
    const int w = in.clientWidth;
    const int h = in.clientHeight;
    const double g = std::min(w / 18.0, h / 18.0);
    const int inset = std::min(w / 9, h / 9);
    const Camera& camera = in.camera;
    const Vec3 view = camera.getUnitView();
    const float threshold = camera.perspective ? -0.3f : -0.1f;
    const float d = camera.perspective ? 4.0f : -1.0f;
    const Mat3 turn(camera.right, camera.up, camera.view);
    for (int pass = 0; pass < 2; ++pass) {
        const bool front = pass == 1;
        for (const WireModel& face : in.orientationGlyphs) {
            const bool facesViewer = dot(face.getFacingNormal(), view) < threshold;
            if (facesViewer != front) continue;
            for (int e = 0; e < face.edgeCount(); ++e) {
                Vec3 p, q;
                if (!face.projectEdge(e, turn, d, p, q)) continue;
                addLine(out, static_cast<int>(inset + g * p.x), static_cast<int>(h - inset + g * p.y),
                        static_cast<int>(inset + g * q.x), static_cast<int>(h - inset + g * q.y), front ? 2 : 1,
                        front ? overlay_colour::kText : overlay_colour::kDim);
            }
        }
    }
}

void addDistanceGauge(OverlayList& out, const OverlayInputs& in) {
    const int w = in.clientWidth;
    const int h = in.clientHeight;
    const double g = std::min(w / 18.0, h / 18.0);
    const int inset = std::min(w / 9, h / 9);
    const double distance = std::max(0.1f, length(in.camera.position - in.volumeCentre));
    const double radius = std::max(0.1f, length(in.volumeExtent - in.volumeCentre));
    const int y0 = 2 * inset;
    const int y1 = h - 2 * inset;
    const int x = inset / 2;
    const int t = static_cast<int>(g) / 4;
    const bool inside = radius >= distance;
    const OverlayColour frame = inside ? overlay_colour::kText : overlay_colour::kDim;
    const OverlayColour marker = inside ? overlay_colour::kDim : overlay_colour::kText;
    addLine(out, x - t, y0, x + t, y0, 1, frame);
    addLine(out, x - t, y1, x + t, y1, 1, frame);
    addLine(out, x, y0, x, y1, 1, frame);
    const double ratio = inside ? distance / radius : radius / distance;
    const int ym = y0 + static_cast<int>((h - 4 * inset) * ratio);
    addLine(out, x - t, y0, x + t, y0, 2, marker);
    addLine(out, x - t, ym, x + t, ym, 2, marker);
    addLine(out, x, y0, x, ym, 2, marker);
}

}  // namespace v3d
