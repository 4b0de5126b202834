#include "HostVolume.h"

#include "StudyDatabase.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quarvia {

namespace {
bool close(const Vec3d& a, const Vec3d& b, double tolerance) { return norm(sub(a, b)) <= tolerance; }
bool closeRelative(double a, double b, double fraction) { return std::fabs(a - b) <= fraction * std::max(std::fabs(a), std::fabs(b)); }

QString nameOf(const DicomImage& image) {
    return image.instanceNumber() > 0 ? QString("image %1").arg(image.instanceNumber())
                                      : QString("image %1").arg(QString::fromStdString(image.sopUid()));
}
QString seriesOf(const DicomImage& image) {
    return QString("series %1").arg(image.seriesNumber() > 0 ? QString::number(image.seriesNumber())
                                                              : QString::fromStdString(image.seriesUid()));
}

VolumeRefusal refuse(VolumeProblem problem, const DicomImage* image = nullptr, const DicomImage* other = nullptr) {
    VolumeRefusal r;
    r.problem = problem;
    if (image) r.image = nameOf(*image);
    if (other) r.other = nameOf(*other);
    return r;
}

// What every image must bring to a volume: grey pixels of a known size
// and, for more than one slice, a sound place in the patient.
VolumeRefusal checkImage(const DicomImage& image, bool needPlace) {
    if (image.samplesPerPixel() != 1) return refuse(VolumeProblem::ColourImage, &image);
    switch (image.spacingState()) {
    case SpacingState::Given: break;
    case SpacingState::Missing: return refuse(VolumeProblem::SpacingMissing, &image);
    case SpacingState::SingleValue: return refuse(VolumeProblem::SpacingSingleValue, &image);
    case SpacingState::NotPositive: return refuse(VolumeProblem::SpacingNotPositive, &image);
    }
    switch (image.geometryState()) {
    case GeometryState::Present: break;
    case GeometryState::Absent:
        if (needPlace) return refuse(VolumeProblem::GeometryMissing, &image);
        break;
    case GeometryState::PositionNotFinite: return refuse(VolumeProblem::PositionNotFinite, &image);
    case GeometryState::PositionOutOfRange: return refuse(VolumeProblem::PositionOutOfRange, &image);
    case GeometryState::OrientationNotFinite: return refuse(VolumeProblem::OrientationNotFinite, &image);
    case GeometryState::OrientationNotUnit: return refuse(VolumeProblem::OrientationNotUnit, &image);
    case GeometryState::OrientationNotPerpendicular: {
        VolumeRefusal r = refuse(VolumeProblem::OrientationNotPerpendicular, &image);
        r.found = image.orientationAngle();
        r.expected = 90.0;
        return r;
    }
    }
    return VolumeRefusal{};
}

// Every image must share the first one's series, grid and orientation.
VolumeRefusal checkPair(const DicomImage& a, const DicomImage& b) {
    if (a.seriesUid() != b.seriesUid()) {
        VolumeRefusal r = refuse(VolumeProblem::SeriesDiffer);
        r.image = seriesOf(a);
        r.other = seriesOf(b);
        if (r.image == r.other) {  // same number, different series: name them fully
            r.image = QString::fromStdString(a.seriesUid());
            r.other = QString::fromStdString(b.seriesUid());
        }
        return r;
    }
    if (a.rows() != b.rows() || a.columns() != b.columns()) return refuse(VolumeProblem::SizesDiffer, &a, &b);
    if (a.bitsAllocated() != b.bitsAllocated() || a.isSigned() != b.isSigned())
        return refuse(VolumeProblem::PixelFormatsDiffer, &a, &b);
    if (!closeRelative(a.spacingX(), b.spacingX(), SliceTolerance::spacingFraction) ||
        !closeRelative(a.spacingY(), b.spacingY(), SliceTolerance::spacingFraction))
        return refuse(VolumeProblem::SpacingsDiffer, &a, &b);
    if (!close(a.rowDir(), b.rowDir(), SliceTolerance::direction) || !close(a.colDir(), b.colDir(), SliceTolerance::direction))
        return refuse(VolumeProblem::NotParallel, &a, &b);
    if (a.slope() != b.slope() || a.intercept() != b.intercept()) return refuse(VolumeProblem::RescaleDiffers, &a, &b);
    return VolumeRefusal{};
}

// The slices, sorted along the normal, must step evenly, and the step may
// lean against the normal only as far as a gantry tilts. The gap of median
// length is the expected one, so that a missing slice is named where it is.
VolumeRefusal checkSteps(const std::vector<const DicomImage*>& images, const Vec3d& normal, Vec3d& mean) {
    const size_t n = images.size();
    std::vector<Vec3d> gaps;
    for (size_t i = 1; i < n; ++i) gaps.push_back(sub(images[i]->position(), images[i - 1]->position()));
    for (size_t i = 0; i < gaps.size(); ++i)
        if (norm(gaps[i]) <= SliceTolerance::stepAbsolute) {
            VolumeRefusal r;
            r.problem = VolumeProblem::SlicesShareAPosition;
            r.slice = static_cast<int>(i + 1);
            return r;
        }
    std::vector<Vec3d> byLength = gaps;
    std::nth_element(byLength.begin(), byLength.begin() + long(byLength.size() / 2), byLength.end(),
                     [](const Vec3d& a, const Vec3d& b) { return norm(a) < norm(b); });
    const Vec3d expected = byLength[byLength.size() / 2];
    const double step = norm(expected);
    const double tolerance = std::max(SliceTolerance::stepAbsolute, SliceTolerance::stepFraction * step);
    for (size_t i = 0; i < gaps.size(); ++i)
        if (!close(gaps[i], expected, tolerance)) {
            VolumeRefusal r;
            r.problem = VolumeProblem::SlicesUneven;
            r.slice = static_cast<int>(i + 1);
            r.found = norm(gaps[i]);
            r.expected = step;
            return r;
        }
    const Vec3d total = sub(images.back()->position(), images.front()->position());
    mean = {total[0] / double(n - 1), total[1] / double(n - 1), total[2] / double(n - 1)};
    const double tilt = angleDegrees(mean, normal);
    if (tilt > SliceGeometryLimits::maxTiltDegrees) {
        VolumeRefusal r;
        r.problem = VolumeProblem::TiltTooLarge;
        r.found = tilt;
        r.expected = SliceGeometryLimits::maxTiltDegrees;
        return r;
    }
    return VolumeRefusal{};
}
}  // namespace

std::unique_ptr<HostVolume> HostVolume::build(const StudyDatabase& database, const std::vector<std::string>& imageIds,
                                              int seriesHandle, VolumeRefusal& refusal) {
    refusal = VolumeRefusal{};
    std::vector<const DicomImage*> images;
    for (const std::string& id : imageIds) {
        const DicomImage* image = database.image(id);
        if (!image) {
            refusal = refuse(VolumeProblem::UnknownImage);
            refusal.image = QString::fromStdString(id);
            return nullptr;
        }
        if (std::find(images.begin(), images.end(), image) != images.end())
            return (refusal = refuse(VolumeProblem::ImageListedTwice, image)), nullptr;
        images.push_back(image);
    }
    if (images.empty()) return (refusal = refuse(VolumeProblem::NoImages)), nullptr;
    const DicomImage& first = *images.front();
    for (const DicomImage* image : images) {
        if ((refusal = checkImage(*image, images.size() > 1))) return nullptr;
        if ((refusal = checkPair(first, *image))) return nullptr;
    }

    const Vec3d normal = cross(first.rowDir(), first.colDir());
    std::stable_sort(images.begin(), images.end(), [&](const DicomImage* a, const DicomImage* b) {
        return dot(a->position(), normal) < dot(b->position(), normal);
    });

    Vec3d sliceDir = normal;
    double spacingZ = first.sliceThickness() > 0 ? first.sliceThickness() : 1.0;
    if (images.size() > 1) {
        // A constant step that leans a little against the normal (gantry
        // tilt) is kept as the slice direction.
        Vec3d mean{};
        if ((refusal = checkSteps(images, normal, mean))) return nullptr;
        spacingZ = norm(mean);
        sliceDir = {mean[0] / spacingZ, mean[1] / spacingZ, mean[2] / spacingZ};
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
    const size_t voxels = size_t(r.columns) * size_t(r.rows) * size_t(r.slices);
    try {
        volume->m_voxels.assign(voxels, 0);
    } catch (const std::exception&) {  // bad_alloc, or more than a vector can hold
        refusal = refuse(VolumeProblem::OutOfMemory);
        refusal.found = double(voxels) * sizeof(uint16_t) / (1024.0 * 1024.0);
        return nullptr;
    }
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
        // Images that have not arrived (or were removed, or replaced by one
        // of another size under the same name) read as empty.
        if (!image || !database.download().arrived(m_ids[s]) || image->rows() != m_record.rows ||
            image->columns() != m_record.columns || image->samplesPerPixel() != 1) {
            std::fill(out, out + plane, uint16_t(0));
            continue;
        }
        for (size_t i = 0; i < plane; ++i)
            out[i] = static_cast<uint16_t>(std::clamp(image->raw(i) - m_record.rawBase, 0, 65535));
    }
}

}  // namespace quarvia
