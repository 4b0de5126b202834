#include "HeadPhantom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

struct P3 {
    double x, y, z;
};
P3 operator+(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 operator*(P3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(P3 a) { return std::sqrt(dot(a, a)); }
P3 normalised(P3 a) {
    const double l = length(a);
    return l > 1e-12 ? a * (1.0 / l) : P3{0, 0, 1};
}

// A signed distance in mm (negative inside) with the outward unit normal of
// the boundary it measures to.
struct Dist {
    double d;
    P3 n;
};

Dist offset(Dist a, double inward) { return {a.d + inward, a.n}; }
Dist intersect(Dist a, Dist b) { return a.d > b.d ? a : b; }
Dist outside(Dist a) { return {-a.d, a.n * -1.0}; }

// Union with a fillet of size k, so joined parts (head and neck) meet in a
// smooth skin instead of a crease.
Dist smoothUnion(Dist a, Dist b, double k) {
    const double h = std::clamp(0.5 + 0.5 * (b.d - a.d) / k, 0.0, 1.0);
    return {b.d + (a.d - b.d) * h - k * h * (1.0 - h), normalised(b.n * (1.0 - h) + a.n * h)};
}

// `a` with `b` carved out of it, the edge rounded by k.
Dist smoothSubtract(Dist a, Dist b, double k) {
    const double h = std::clamp(0.5 - 0.5 * (a.d + b.d) / k, 0.0, 1.0);
    return {a.d + (-b.d - a.d) * h + k * h * (1.0 - h), normalised(a.n * (1.0 - h) + b.n * -h)};
}

// First-order distance to an ellipsoid: exact on the surface, close near it.
Dist ellipsoid(P3 p, P3 centre, P3 radii) {
    const P3 q = p - centre;
    const P3 s{q.x / radii.x, q.y / radii.y, q.z / radii.z};
    const P3 g{s.x / radii.x, s.y / radii.y, s.z / radii.z};
    const double k0 = length(s), k1 = length(g);
    if (k1 < 1e-9) return {-std::min({radii.x, radii.y, radii.z}), {0, 0, 1}};
    return {k0 * (k0 - 1.0) / k1, normalised(g)};
}

// An elliptic cylinder along z, closed at `top`.
Dist neckCylinder(P3 p, double cx, double cy, double rx, double ry, double top) {
    const double sx = (p.x - cx) / rx, sy = (p.y - cy) / ry;
    const double gx = sx / rx, gy = sy / ry;
    const double k0 = std::hypot(sx, sy), k1 = std::hypot(gx, gy);
    const Dist side = k1 < 1e-9 ? Dist{-std::min(rx, ry), {1, 0, 0}} : Dist{k0 * (k0 - 1.0) / k1, normalised({gx, gy, 0})};
    return intersect(side, {p.z - top, {0, 0, 1}});
}

Dist capsule(P3 p, P3 a, P3 b, double radius) {
    const P3 ab = b - a, ap = p - a;
    const double h = std::clamp(dot(ap, ab) / std::max(dot(ab, ab), 1e-12), 0.0, 1.0);
    const P3 v = ap - ab * h;
    return {length(v) - radius, normalised(v)};
}

// Geometry (mm). The head lies supine; the back of the head clears the
// table by a few millimetres, so that the table is a separate object.
constexpr P3 kCraniumCentre{0, -4, 4};
constexpr P3 kCraniumRadii{72, 90, 70};
constexpr P3 kNoseCentre{0, -92, -22};
constexpr P3 kNoseRadii{8, 13, 17};
constexpr P3 kEarRadii{6, 13, 22};
constexpr P3 kJawCentre{0, -38, -50};
constexpr P3 kJawRadii{46, 50, 26};
constexpr P3 kEyeSocketRadii{14, 8, 9};
constexpr double kEyeSocketX = 30, kEyeSocketY = -88, kEyeSocketZ = -8;
constexpr double kEarX = 70, kEarY = 4, kEarZ = -6;
constexpr double kNeckX = 0, kNeckY = 12, kNeckRX = 46, kNeckRY = 44, kNeckTop = -30;
constexpr double kNeckFillet = 18, kNoseFillet = 6, kEarFillet = 4, kJawFillet = 14, kEyeSocketFillet = 4;

// Layers under the skin, as depths below it.
constexpr double kSkinDepth = 2.0, kFatDepth = 5.0;
// Layers under the skin of the cranium.
constexpr double kSkullDepth = 6.0, kDiploeDepth = 9.0, kInnerTableDepth = 11.5, kCsfDepth = 13.5,
                 kGreyMatterDepth = 15.0, kWhiteMatterDepth = 19.0;

constexpr double kSpineX = 0, kSpineY = 24, kSpineRadius = 11, kSpineTop = -58;
constexpr double kVertebraHeight = 16, kDiscHalfHeight = 2;

constexpr double kTableTop = 92, kTableThickness = 10, kTableShell = 2.5, kTableHalfWidth = 105,
                 kTableCurve = 0.0012;  // the top rises towards the sides: y = top - curve * x^2

// The letter "L" on the left forehead, read from the front: strokes in the
// x-z plane, standing from inside the skull's outer cortex to a little above
// the skin.
constexpr double kMarkerX = 22, kMarkerZ = 20, kMarkerHeight = 24, kMarkerFoot = 12, kMarkerHalfWidth = 2.4,
                 kMarkerAboveSkin = 2.5, kMarkerRoot = 7.0, kMarkerFrontY = -40;

// A boundary rises over twice the width a voxel spans along its normal, in
// a smooth step (10 to 90 percent over about one voxel): a ramp of exactly
// one voxel would leave trilinear interpolation and central-difference
// normals with a ripple at the voxel period.
constexpr double kBlendVoxels = 2.0;
// Blending wider than this would wash the skull's thin cortices out of
// coarse series altogether.
constexpr double kMaxBlend = 2.0;

struct Vessel {
    std::vector<P3> points;
    double radius;
    P3 low, high;  // bounding box including the radius
};

void addVessel(std::vector<Vessel>& out, std::vector<P3> points, double radius) {
    Vessel v{std::move(points), radius, {1e9, 1e9, 1e9}, {-1e9, -1e9, -1e9}};
    for (const P3& p : v.points) {
        v.low = {std::min(v.low.x, p.x), std::min(v.low.y, p.y), std::min(v.low.z, p.z)};
        v.high = {std::max(v.high.x, p.x), std::max(v.high.y, p.y), std::max(v.high.z, p.z)};
    }
    const P3 pad{radius + kMaxBlend, radius + kMaxBlend, radius + kMaxBlend};
    v.low = v.low - pad;
    v.high = v.high + pad;
    out.push_back(std::move(v));
}

// The arteries of the brain's base and the superior sagittal sinus.
std::vector<Vessel> makeVessels() {
    std::vector<Vessel> vessels;
    for (double s : {-1.0, 1.0}) {
        addVessel(vessels, {{s * 20, 2, -95}, {s * 20, 0, -50}, {s * 16, -10, -30}, {s * 18, -4, -20}, {s * 14, -10, -12}},
                  2.6);  // internal carotid
        addVessel(vessels, {{s * 14, -10, -12}, {s * 34, -12, -10}, {s * 50, -4, -2}, {s * 56, 14, 12}}, 2.0);  // middle cerebral
        addVessel(vessels, {{s * 50, -4, -2}, {s * 54, -24, 18}, {s * 40, -40, 36}}, 1.5);
        addVessel(vessels,
                  {{s * 14, -10, -12}, {s * 3, -28, -8}, {s * 3, -58, 10}, {s * 3, -56, 36}, {s * 3, -28, 54},
                   {s * 3, 12, 56}, {s * 3, 40, 44}},
                  1.5);  // anterior cerebral
        addVessel(vessels, {{s * 14, 26, -95}, {s * 14, 26, -62}, {s * 5, 14, -44}, {0, 12, -38}}, 1.8);  // vertebral
        addVessel(vessels, {{0, 8, -16}, {s * 18, 16, -14}, {s * 30, 40, -8}, {s * 26, 64, 4}}, 1.6);  // posterior cerebral
    }
    addVessel(vessels, {{0, 12, -38}, {0, 8, -16}}, 2.0);  // basilar
    // The sinus runs under the skull along the midline, from the forehead
    // over the top to the back of the head.
    std::vector<P3> sinus;
    constexpr double kPi = 3.14159265358979323846;
    for (int i = 0; i <= 12; ++i) {
        const double angle = (25.0 + i * 12.5) * kPi / 180.0;
        sinus.push_back({0, kCraniumCentre.y - 0.84 * kCraniumRadii.y * std::cos(angle),
                         kCraniumCentre.z + 0.8 * kCraniumRadii.z * std::sin(angle)});
    }
    addVessel(vessels, sinus, 3.0);
    return vessels;
}

const std::vector<Vessel>& vessels() {
    static const std::vector<Vessel> all = makeVessels();
    return all;
}

bool inBox(P3 p, P3 low, P3 high) {
    return p.x >= low.x && p.y >= low.y && p.z >= low.z && p.x <= high.x && p.y <= high.y && p.z <= high.z;
}

Dist skinOf(P3 p, Dist cranium) {
    Dist d = smoothUnion(cranium, neckCylinder(p, kNeckX, kNeckY, kNeckRX, kNeckRY, kNeckTop), kNeckFillet);
    d = smoothUnion(d, ellipsoid(p, kJawCentre, kJawRadii), kJawFillet);
    d = smoothUnion(d, ellipsoid(p, kNoseCentre, kNoseRadii), kNoseFillet);
    for (double s : {-1.0, 1.0}) {
        d = smoothUnion(d, ellipsoid(p, {s * kEarX, kEarY, kEarZ}, kEarRadii), kEarFillet);
        // Shallow: the skull stays under the skin.
        if (p.y < kEyeSocketY + kEyeSocketRadii.y + kEyeSocketFillet + kMaxBlend)
            d = smoothSubtract(d, ellipsoid(p, {s * kEyeSocketX, kEyeSocketY, kEyeSocketZ}, kEyeSocketRadii),
                               kEyeSocketFillet);
    }
    return d;
}

Dist tableOf(P3 p) {
    // Top and bottom faces of the curved board, distances scaled by the
    // gradient of the curve; the ends are flat.
    const double slope = -2.0 * kTableCurve * p.x;
    const double g = std::sqrt(1.0 + slope * slope);
    const double top = kTableTop - kTableCurve * p.x * p.x;
    const Dist above{(top - p.y) / g, normalised({slope, -1, 0})};
    const Dist below{(p.y - top - kTableThickness) / g, normalised({-slope, 1, 0})};
    return intersect(intersect(above, below), {std::fabs(p.x) - kTableHalfWidth, {p.x < 0 ? -1.0 : 1.0, 0, 0}});
}

Dist spineOf(P3 p) {
    const Dist side = capsule({p.x, p.y, 0}, {kSpineX, kSpineY, 0}, {kSpineX, kSpineY, 0}, kSpineRadius);
    return intersect({side.d, side.n}, {p.z - kSpineTop, {0, 0, 1}});
}

// The discs between the vertebrae: thin slabs repeating along z.
Dist discOf(P3 p) {
    const double local = kSpineTop - kVertebraHeight / 2 - p.z;
    const double u = local - kVertebraHeight * std::floor(local / kVertebraHeight) - kVertebraHeight / 2;
    return {std::fabs(u) - kDiscHalfHeight, {0, 0, u < 0 ? 1.0 : -1.0}};
}

// Distance in the x-z plane to the letter's two strokes.
Dist markerStrokes(P3 p) {
    const P3 flat{p.x, 0, p.z};
    const P3 corner{kMarkerX, 0, kMarkerZ};
    const Dist stem = capsule(flat, corner, {kMarkerX, 0, kMarkerZ + kMarkerHeight}, kMarkerHalfWidth);
    const Dist foot = capsule(flat, corner, {kMarkerX + kMarkerFoot, 0, kMarkerZ}, kMarkerHalfWidth);
    return stem.d < foot.d ? stem : foot;
}

}  // namespace

HeadPhantom::HeadPhantom(double spacingX, double spacingY, double spacingZ)
    : m_spacingX(spacingX), m_spacingY(spacingY), m_spacingZ(spacingZ) {}

double HeadPhantom::hu(double x, double y, double z) const {
    const P3 p{x, y, z};
    // The part of a voxel on the inside of a boundary, for the width the
    // voxel spans along the boundary's normal.
    auto inside = [this](const Dist& d) {
        const double span = std::fabs(d.n.x) * m_spacingX + std::fabs(d.n.y) * m_spacingY + std::fabs(d.n.z) * m_spacingZ;
        const double w = std::clamp(kBlendVoxels * span, 1e-3, kMaxBlend);
        const double t = std::clamp(0.5 - d.d / w, 0.0, 1.0);
        return t * t * (3.0 - 2.0 * t);
    };
    double value = kAirHU;
    auto paint = [&](const Dist& d, double material) {
        const double f = inside(d);
        if (f > 0.0) value += f * (material - value);
    };

    const Dist table = tableOf(p);
    if (table.d < kMaxBlend) {
        paint(table, kTableShellHU);
        paint(offset(table, kTableShell), kTableFoamHU);
    }

    // Most of the field is air around the head: no need to measure the body there.
    constexpr double kMargin = kMarkerAboveSkin + 2 * kMaxBlend;
    if (std::fabs(x) > kEarX + kEarRadii.x + kMargin || y < kNoseCentre.y - kNoseRadii.y - kMargin ||
        y > kCraniumCentre.y + kCraniumRadii.y + kMargin || z > kCraniumCentre.z + kCraniumRadii.z + kMargin)
        return value;
    const Dist cranium = ellipsoid(p, kCraniumCentre, kCraniumRadii);
    const Dist skin = skinOf(p, cranium);
    if (skin.d > kMarkerAboveSkin + kMaxBlend) return value;
    paint(skin, kSkinHU);
    paint(offset(skin, kSkinDepth), kFatHU);
    paint(offset(skin, kFatDepth), kSoftTissueHU);

    if (cranium.d < -kSkullDepth + kMaxBlend) {
        paint(offset(cranium, kSkullDepth), kCorticalBoneHU);
        paint(offset(cranium, kDiploeDepth), kDiploeHU);
        paint(offset(cranium, kInnerTableDepth), kCorticalBoneHU);
        paint(offset(cranium, kCsfDepth), kCsfHU);
        paint(offset(cranium, kGreyMatterDepth), kGreyMatterHU);
        paint(offset(cranium, kWhiteMatterDepth), kWhiteMatterHU);
        for (double s : {-1.0, 1.0}) paint(ellipsoid(p, {s * 10, -8, 12}, {4.5, 22, 8}), kCsfHU);  // lateral ventricles
    }

    if (p.z < kSpineTop + kMaxBlend) {
        const Dist spine = spineOf(p);
        if (spine.d < kMaxBlend) {
            paint(spine, kVertebraHU);
            paint(intersect(offset(spine, 1.0), discOf(p)), kDiscHU);
        }
    }

    if (skin.d < kMaxBlend)
        for (const Vessel& v : vessels()) {
            if (!inBox(p, v.low, v.high)) continue;
            Dist nearest{1e9, {0, 0, 1}};
            for (size_t i = 0; i + 1 < v.points.size(); ++i) {
                const Dist d = capsule(p, v.points[i], v.points[i + 1], v.radius);
                if (d.d < nearest.d) nearest = d;
            }
            paint(nearest, kContrastHU);
        }

    if (p.y < kMarkerFrontY) {
        const Dist marker = intersect(intersect(markerStrokes(p), offset(skin, -kMarkerAboveSkin)),
                                      outside(offset(cranium, kMarkerRoot)));
        paint(marker, kMarkerHU);
    }
    return value;
}
