#include "ReformatVolume.h"

#include "dicom/HostVolume.h"
#include "dicom/StudyDatabase.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace quarvia {

namespace {
constexpr float kOutside = std::numeric_limits<float>::quiet_NaN();
// A plane is sampled at most this many pixels a side (a 0.3 mm series of
// a whole body would otherwise ask for millions).
constexpr int kMaxPlanePixels = 2048;
// Below this many samples a plane is sampled on the calling thread alone.
constexpr size_t kSamplesForThreads = 1u << 20;
constexpr const char* kPlaneNames[] = {"Acquired", "Axial", "Coronal", "Sagittal"};
constexpr const char* kSlabNames[] = {"Off", "MIP", "MinIP"};
}  // namespace

const char* planeName(PlaneKind kind) { return kPlaneNames[int(kind)]; }
bool planeFromName(const QString& name, PlaneKind& kind) {
    for (int i = 0; i < 4; ++i)
        if (name.compare(kPlaneNames[i], Qt::CaseInsensitive) == 0) return (kind = PlaneKind(i)), true;
    return false;
}
const char* slabName(SlabMode slab) { return kSlabNames[int(slab)]; }
bool slabFromName(const QString& name, SlabMode& slab) {
    for (int i = 0; i < 3; ++i)
        if (name.compare(kSlabNames[i], Qt::CaseInsensitive) == 0) return (slab = SlabMode(i)), true;
    return false;
}

ReformatVolume::~ReformatVolume() = default;

std::unique_ptr<ReformatVolume> ReformatVolume::build(const StudyDatabase& database, const SeriesGroup& group,
                                                      VolumeRefusal& refusal) {
    std::unique_ptr<HostVolume> volume = HostVolume::build(database, group.imageIds, group.id, refusal);
    if (!volume) return nullptr;
    std::unique_ptr<ReformatVolume> out(new ReformatVolume);
    const QVVolumeRecord& r = volume->record();
    out->m_size[0] = r.columns;
    out->m_size[1] = r.rows;
    out->m_size[2] = r.slices;
    out->m_spacing[0] = r.spacingX;
    out->m_spacing[1] = r.spacingY;
    out->m_spacing[2] = r.spacingZ;
    out->m_origin = {r.origin[0], r.origin[1], r.origin[2]};
    out->m_slope = r.slope;
    out->m_offset = r.rawBase * r.slope + r.intercept;
    // Columns of the voxel-to-patient matrix, inverted once.
    double m[3][3];
    for (int i = 0; i < 3; ++i) {
        m[i][0] = r.rowDir[i] * r.spacingX;
        m[i][1] = r.colDir[i] * r.spacingY;
        m[i][2] = r.sliceDir[i] * r.spacingZ;
    }
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!(std::fabs(det) > 1e-12)) return nullptr;  // the volume checks rule this out
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
            out->m_toIndex[i][j] = (m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1]) / det;
        }
    out->m_volume = std::move(volume);
    return out;
}

void ReformatVolume::refresh(const StudyDatabase& database) {
    m_volume->refresh(database);
    ++m_version;
}

Vec3d ReformatVolume::indexStep(const Vec3d& d) const {
    Vec3d out;
    for (int i = 0; i < 3; ++i)
        out[size_t(i)] = m_toIndex[i][0] * d[0] + m_toIndex[i][1] * d[1] + m_toIndex[i][2] * d[2];
    return out;
}

Vec3d ReformatVolume::indexOf(const Vec3d& point) const { return indexStep(sub(point, m_origin)); }

bool ReformatVolume::contains(const Vec3d& point) const {
    const Vec3d i = indexOf(point);
    for (int a = 0; a < 3; ++a)
        if (!(i[size_t(a)] >= -0.5 && i[size_t(a)] <= m_size[a] - 0.5)) return false;
    return true;
}

Vec3d ReformatVolume::centre() const {
    const QVVolumeRecord& r = m_volume->record();
    Vec3d c = m_origin;
    for (int i = 0; i < 3; ++i)
        c[size_t(i)] += (r.columns - 1) / 2.0 * r.spacingX * r.rowDir[i] + (r.rows - 1) / 2.0 * r.spacingY * r.colDir[i] +
                        (r.slices - 1) / 2.0 * r.spacingZ * r.sliceDir[i];
    return c;
}

double ReformatVolume::stepAlong(const Vec3d& normal) const {
    const Vec3d i = indexStep(normal);
    const double most = std::max({std::fabs(i[0]), std::fabs(i[1]), std::fabs(i[2])});
    return most > 1e-12 ? 1.0 / most : 1.0;
}

void ReformatVolume::depthRange(const Vec3d& normal, double& lo, double& hi) const {
    const QVVolumeRecord& r = m_volume->record();
    const Vec3d c = centre();
    lo = hi = 0;
    for (int corner = 0; corner < 8; ++corner) {
        Vec3d p = m_origin;
        const double fx = (corner & 1) ? r.columns - 1 : 0, fy = (corner & 2) ? r.rows - 1 : 0,
                     fz = (corner & 4) ? r.slices - 1 : 0;
        for (int i = 0; i < 3; ++i)
            p[size_t(i)] += fx * r.spacingX * r.rowDir[i] + fy * r.spacingY * r.colDir[i] + fz * r.spacingZ * r.sliceDir[i];
        const double depth = dot(sub(p, c), normal);
        lo = std::min(lo, depth), hi = std::max(hi, depth);
    }
}

void planeDirections(PlaneKind kind, const PlaneAxes& axes, Vec3d& right, Vec3d& down) {
    // The plane's normal turns with the axes; its picture stays upright: down
    // is the patient's back (axial) or feet (coronal, sagittal) as far as the
    // plane allows, so that the view being turned in keeps its picture.
    Vec3d normal = axes[2], preferred{0, 1, 0};
    if (kind == PlaneKind::Coronal) normal = axes[1], preferred = {0, 0, -1};
    if (kind == PlaneKind::Sagittal) normal = {-axes[0][0], -axes[0][1], -axes[0][2]}, preferred = {0, 0, -1};
    const double along = dot(preferred, normal);
    down = {preferred[0] - along * normal[0], preferred[1] - along * normal[1], preferred[2] - along * normal[2]};
    if (norm(down) < 0.1) {
        // Turned edge-on to the preferred direction: the axes' own.
        down = kind == PlaneKind::Axial ? axes[1] : Vec3d{-axes[2][0], -axes[2][1], -axes[2][2]};
        const double a = dot(down, normal);
        down = {down[0] - a * normal[0], down[1] - a * normal[1], down[2] - a * normal[2]};
    }
    const double length = norm(down);
    for (double& c : down) c /= length;
    right = cross(down, normal);  // right x down = normal
}

ImagePlane ReformatVolume::planeThrough(const Vec3d& point, const PlaneAxes& axes, PlaneKind kind) const {
    ImagePlane plane;
    planeDirections(kind, axes, plane.u, plane.v);
    const double pixel = std::min({m_spacing[0], m_spacing[1], m_spacing[2]});
    // The picture covers the volume's corners; centred on the volume, not on
    // the point, so that paging does not shift it.
    const Vec3d c = centre();
    double lo_u = 0, hi_u = 0, lo_v = 0, hi_v = 0;
    const QVVolumeRecord& r = m_volume->record();
    for (int corner = 0; corner < 8; ++corner) {
        Vec3d p = m_origin;
        const double fx = (corner & 1) ? r.columns - 0.5 : -0.5, fy = (corner & 2) ? r.rows - 0.5 : -0.5,
                     fz = (corner & 4) ? r.slices - 0.5 : -0.5;
        for (int i = 0; i < 3; ++i)
            p[size_t(i)] += fx * r.spacingX * r.rowDir[i] + fy * r.spacingY * r.colDir[i] + fz * r.spacingZ * r.sliceDir[i];
        const Vec3d d = sub(p, c);
        lo_u = std::min(lo_u, dot(d, plane.u)), hi_u = std::max(hi_u, dot(d, plane.u));
        lo_v = std::min(lo_v, dot(d, plane.v)), hi_v = std::max(hi_v, dot(d, plane.v));
    }
    const double largest = std::max(hi_u - lo_u, hi_v - lo_v);
    plane.du = plane.dv = std::max(pixel, largest / kMaxPlanePixels);
    plane.columns = std::max(1, int(std::floor((hi_u - lo_u) / plane.du)));
    plane.rows = std::max(1, int(std::floor((hi_v - lo_v) / plane.dv)));
    const Vec3d n = plane.normal();
    const double depth = dot(sub(point, c), n);
    for (size_t i = 0; i < 3; ++i)
        plane.origin[i] = c[i] + depth * n[i] - (plane.columns - 1) / 2.0 * plane.du * plane.u[i] -
                          (plane.rows - 1) / 2.0 * plane.dv * plane.v[i];
    plane.step = stepAlong(n);
    return plane;
}

float ReformatVolume::atIndex(double x, double y, double z) const {
    if (!(x >= -0.5 && y >= -0.5 && z >= -0.5 && x <= m_size[0] - 0.5 && y <= m_size[1] - 0.5 && z <= m_size[2] - 0.5))
        return kOutside;
    // The outer half voxel repeats the edge.
    x = std::clamp(x, 0.0, double(m_size[0] - 1));
    y = std::clamp(y, 0.0, double(m_size[1] - 1));
    z = std::clamp(z, 0.0, double(m_size[2] - 1));
    const int x0 = std::min(int(x), m_size[0] - 1), y0 = std::min(int(y), m_size[1] - 1),
              z0 = std::min(int(z), m_size[2] - 1);
    const int x1 = std::min(x0 + 1, m_size[0] - 1), y1 = std::min(y0 + 1, m_size[1] - 1),
              z1 = std::min(z0 + 1, m_size[2] - 1);
    const double fx = x - x0, fy = y - y0, fz = z - z0;
    const uint16_t* v = m_volume->record().values;
    const size_t sx = 1, sy = size_t(m_size[0]), sz = sy * size_t(m_size[1]);
    auto at = [&](int i, int j, int k) { return double(v[size_t(i) * sx + size_t(j) * sy + size_t(k) * sz]); };
    const double c00 = at(x0, y0, z0) + (at(x1, y0, z0) - at(x0, y0, z0)) * fx;
    const double c10 = at(x0, y1, z0) + (at(x1, y1, z0) - at(x0, y1, z0)) * fx;
    const double c01 = at(x0, y0, z1) + (at(x1, y0, z1) - at(x0, y0, z1)) * fx;
    const double c11 = at(x0, y1, z1) + (at(x1, y1, z1) - at(x0, y1, z1)) * fx;
    const double c0 = c00 + (c10 - c00) * fy, c1 = c01 + (c11 - c01) * fy;
    return float((c0 + (c1 - c0) * fz) * m_slope + m_offset);
}

double ReformatVolume::valueAt(const Vec3d& point) const {
    const Vec3d i = indexOf(point);
    return atIndex(i[0], i[1], i[2]);
}

void ReformatVolume::sample(const ImagePlane& plane, SlabMode slab, double thickness, std::vector<float>& out) const {
    out.assign(size_t(plane.columns) * size_t(plane.rows), kOutside);
    const Vec3d n = plane.normal();
    int layers = 1;
    double layerStep = 0;
    if (slab != SlabMode::Off && thickness > 0) {
        layerStep = std::min(stepAlong(n), std::min({m_spacing[0], m_spacing[1], m_spacing[2]}));
        layers = std::max(1, int(std::lround(thickness / layerStep)) + 1);
        layerStep = layers > 1 ? thickness / (layers - 1) : 0;
    }
    const Vec3d along = indexStep({plane.u[0] * plane.du, plane.u[1] * plane.du, plane.u[2] * plane.du});
    const Vec3d downStep = indexStep({plane.v[0] * plane.dv, plane.v[1] * plane.dv, plane.v[2] * plane.dv});
    const Vec3d deeper = indexStep({n[0] * layerStep, n[1] * layerStep, n[2] * layerStep});
    const Vec3d start = indexOf(plane.origin);
    auto sampleRows = [&](int firstRow, int endRow) {
        for (int layer = 0; layer < layers; ++layer) {
            const double offset = layer - (layers - 1) / 2.0;
            for (int r = firstRow; r < endRow; ++r) {
                float* line = out.data() + size_t(r) * size_t(plane.columns);
                double x = start[0] + r * downStep[0] + offset * deeper[0];
                double y = start[1] + r * downStep[1] + offset * deeper[1];
                double z = start[2] + r * downStep[2] + offset * deeper[2];
                for (int c = 0; c < plane.columns; ++c, x += along[0], y += along[1], z += along[2]) {
                    const float value = atIndex(x, y, z);
                    if (std::isnan(value)) continue;
                    float& kept = line[c];
                    if (std::isnan(kept)) kept = value;
                    else if (slab == SlabMode::Mip) kept = std::max(kept, value);
                    else kept = std::min(kept, value);
                }
            }
        }
    };
    // Thick slabs read many samples a pixel: their rows are shared among the cores.
    const size_t samples = size_t(plane.columns) * size_t(plane.rows) * size_t(layers);
    const int threads = samples < kSamplesForThreads ? 1 : int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    std::vector<std::thread> helpers;
    const int band = (plane.rows + threads - 1) / threads;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(sampleRows, std::min(plane.rows, t * band), std::min(plane.rows, (t + 1) * band));
    sampleRows(0, std::min(plane.rows, band));
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace quarvia
