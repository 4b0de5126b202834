#include "HostVolume.h"

#include "StudyDatabase.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quarvia {

namespace {
Vec3d sub(const Vec3d& a, const Vec3d& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const Vec3d& a, const Vec3d& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double norm(const Vec3d& a) { return std::sqrt(dot(a, a)); }
Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
bool close(const Vec3d& a, const Vec3d& b, double tolerance) { return norm(sub(a, b)) <= tolerance; }
bool closeRelative(double a, double b, double fraction) { return std::fabs(a - b) <= fraction * std::max(std::fabs(a), std::fabs(b)); }

// Every image must share the first one's grid and orientation.
bool sameGrid(const DicomImage& a, const DicomImage& b, QString& why) {
    if (a.rows() != b.rows() || a.columns() != b.columns()) return (why = "images differ in size"), false;
    if (a.samplesPerPixel() != 1 || b.samplesPerPixel() != 1) return (why = "colour images do not form a volume"), false;
    if (a.bitsAllocated() != b.bitsAllocated() || a.isSigned() != b.isSigned()) return (why = "pixel formats differ"), false;
    if (!closeRelative(a.spacingX(), b.spacingX(), SliceTolerance::spacingFraction) ||
        !closeRelative(a.spacingY(), b.spacingY(), SliceTolerance::spacingFraction))
        return (why = "pixel spacings differ"), false;
    if (!close(a.rowDir(), b.rowDir(), SliceTolerance::direction) || !close(a.colDir(), b.colDir(), SliceTolerance::direction))
        return (why = "slices are not parallel"), false;
    if (a.slope() != b.slope() || a.intercept() != b.intercept()) return (why = "rescale differs between slices"), false;
    return true;
}
}  // namespace

std::unique_ptr<HostVolume> HostVolume::build(const StudyDatabase& database, const std::vector<std::string>& imageIds,
                                              int seriesHandle, QString& why) {
    std::vector<const DicomImage*> images;
    for (const std::string& id : imageIds) {
        const DicomImage* image = database.image(id);
        if (!image) return (why = QString("unknown image %1").arg(QString::fromStdString(id))), nullptr;
        if (std::find(images.begin(), images.end(), image) != images.end()) return (why = "an image is listed twice"), nullptr;
        images.push_back(image);
    }
    if (images.empty()) return (why = "no images"), nullptr;
    const DicomImage& first = *images.front();
    for (const DicomImage* image : images)
        if (!sameGrid(first, *image, why)) return nullptr;
    if (images.size() > 1 && !std::all_of(images.begin(), images.end(), [](const DicomImage* i) { return i->hasGeometry(); }))
        return (why = "slices without position or orientation"), nullptr;

    const Vec3d normal = cross(first.rowDir(), first.colDir());
    std::stable_sort(images.begin(), images.end(), [&](const DicomImage* a, const DicomImage* b) {
        return dot(a->position(), normal) < dot(b->position(), normal);
    });

    Vec3d sliceDir = normal;
    double spacingZ = first.sliceThickness() > 0 ? first.sliceThickness() : 1.0;
    if (images.size() > 1) {
        // The mean step; each step must match it. A constant step that is not
        // along the normal (gantry tilt) is kept as the slice direction.
        const size_t n = images.size();
        const Vec3d total = sub(images.back()->position(), images.front()->position());
        const Vec3d mean{total[0] / double(n - 1), total[1] / double(n - 1), total[2] / double(n - 1)};
        const double step = norm(mean);
        if (dot(mean, normal) <= SliceTolerance::stepAbsolute) return (why = "slices share a position"), nullptr;
        const double tolerance = std::max(SliceTolerance::stepAbsolute, SliceTolerance::stepFraction * step);
        for (size_t i = 1; i < n; ++i)
            if (!close(sub(images[i]->position(), images[i - 1]->position()), mean, tolerance))
                return (why = "slices are not equidistant"), nullptr;
        spacingZ = step;
        sliceDir = {mean[0] / step, mean[1] / step, mean[2] / step};
    }

    auto volume = std::make_unique<HostVolume>();
    QVVolumeRecord& r = volume->m_record;
    r.columns = first.columns();
    r.rows = first.rows();
    r.slices = static_cast<int32_t>(images.size());
    r.spacingX = first.spacingX();
    r.spacingY = first.spacingY();
    r.spacingZ = spacingZ;
    for (int i = 0; i < 3; ++i) {
        r.origin[i] = images.front()->position()[i];
        r.rowDir[i] = first.rowDir()[i];
        r.colDir[i] = first.colDir()[i];
        r.sliceDir[i] = sliceDir[i];
    }
    r.seriesHandle = seriesHandle;
    r.slope = first.slope();
    r.intercept = first.intercept();
    // Signed data is shifted so that its smallest value is stored as 0.
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (const DicomImage* image : images) {
        const auto range = image->rawRange();
        lo = std::min(lo, range.first);
        hi = std::max(hi, range.second);
    }
    r.rawBase = first.isSigned() ? lo : 0;
    r.valueRange = static_cast<uint16_t>(std::clamp(hi - r.rawBase, 0, 65535));

    for (const DicomImage* image : images) volume->m_ids.push_back(image->sopUid());
    for (std::string& id : volume->m_ids) volume->m_idPointers.push_back(id.data());
    r.imageCount = r.slices;
    r.imageIds = volume->m_idPointers.data();
    volume->m_voxels.assign(size_t(r.columns) * size_t(r.rows) * size_t(r.slices), 0);
    r.values = volume->m_voxels.data();
    r.sliceValues = nullptr;
    volume->refresh(database);
    return volume;
}

void HostVolume::refresh(const StudyDatabase& database) {
    const size_t plane = size_t(m_record.columns) * size_t(m_record.rows);
    for (size_t s = 0; s < m_ids.size(); ++s) {
        uint16_t* out = m_voxels.data() + s * plane;
        const DicomImage* image = database.image(m_ids[s]);
        // Images that have not arrived (or were removed) read as empty.
        if (!image || !database.download().arrived(m_ids[s])) {
            std::fill(out, out + plane, uint16_t(0));
            continue;
        }
        for (size_t i = 0; i < plane; ++i)
            out[i] = static_cast<uint16_t>(std::clamp(image->raw(i) - m_record.rawBase, 0, 65535));
    }
}

}  // namespace quarvia
