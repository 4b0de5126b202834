#include "ReadingState.h"

#include "dicom/StudyDatabase.h"
#include "dicom/VolumeRefusal.h"

#include <algorithm>
#include <cmath>

namespace quarvia {

ReadingState::ReadingState(StudyDatabase& database, QObject* parent) : QObject(parent), m_database(database) {}
ReadingState::~ReadingState() = default;

void ReadingState::setTool(ReadingTool tool) {
    if (tool == m_tool) return;
    m_tool = tool;
    emit toolChanged(tool);
}

std::string ReadingState::frameKeyOf(int groupId) const {
    const SeriesGroup* group = m_database.groupById(groupId);
    if (!group || group->imageIds.empty()) return std::string();
    const DicomImage* image = m_database.image(group->imageIds.front());
    if (image && !image->frameUid().empty()) return "frame:" + image->frameUid();
    return "series:" + group->seriesUid;
}

void ReadingState::placeCursor(int groupId, const Vec3d& point) {
    const std::string key = frameKeyOf(groupId);
    if (key.empty()) return hideCursor();
    m_cursor = PatientCursor{true, groupId, point};
    for (auto& entry : m_frames)
        if (frameKeyOf(entry.first) == key)
            if (ReformatVolume* volume = volumeOf(entry.first); volume && volume->contains(point))
                entry.second.point = point;
    emit cursorPlaced();
    emit changed();
}

void ReadingState::hideCursor() {
    if (!m_cursor.visible) return;
    m_cursor.visible = false;
    emit changed();
}

PlaneFrame* ReadingState::frameOf(int groupId) {
    auto found = m_frames.find(groupId);
    if (found != m_frames.end()) return &found->second;
    ReformatVolume* volume = volumeOf(groupId);
    if (!volume) return nullptr;
    PlaneFrame frame;
    frame.point = volume->centre();
    // A cursor placed before the first reformat is where it opens.
    if (m_cursor.visible && frameKeyOf(m_cursor.groupId) == frameKeyOf(groupId) && volume->contains(m_cursor.point))
        frame.point = m_cursor.point;
    return &m_frames.emplace(groupId, frame).first->second;
}

void ReadingState::moveCrossing(int groupId, const Vec3d& point) {
    PlaneFrame* frame = frameOf(groupId);
    ReformatVolume* volume = volumeOf(groupId);
    if (!frame || !volume || !volume->contains(point)) return;
    frame->point = point;
    emit changed();
}

const PlaneFrame* ReadingState::knownFrame(int groupId) const {
    const auto found = m_frames.find(groupId);
    return found == m_frames.end() ? nullptr : &found->second;
}

void ReadingState::restoreFrame(int groupId, const Vec3d& point, const PlaneAxes& axes) {
    PlaneFrame* frame = frameOf(groupId);
    if (!frame) return;
    // Axes must be a right-handed orthonormal set, or the planes would shear.
    const double handed = dot(cross(axes[0], axes[1]), axes[2]);
    bool unit = true;
    for (const Vec3d& a : axes) unit = unit && std::fabs(norm(a) - 1) < 1e-3;
    if (unit && std::fabs(handed - 1) < 1e-3 && std::fabs(dot(axes[0], axes[1])) < 1e-3 && std::fabs(dot(axes[1], axes[2])) < 1e-3 &&
        std::fabs(dot(axes[0], axes[2])) < 1e-3)
        frame->axes = axes;
    moveCrossing(groupId, point);
}

void ReadingState::turnPlanes(int groupId, const Vec3d& axis, double radians) {
    PlaneFrame* frame = frameOf(groupId);
    if (!frame || !std::isfinite(radians) || norm(axis) < 0.5) return;
    for (Vec3d& a : frame->axes) {
        a = rotated(a, axis, radians);
        const double length = norm(a);
        for (double& c : a) c /= length;
    }
    emit changed();
}

void ReadingState::resetPlanes(int groupId) {
    if (PlaneFrame* frame = frameOf(groupId)) {
        frame->axes = kPatientAxes;
        emit changed();
    }
}

ReformatVolume* ReadingState::volumeOf(int groupId, QString* why) {
    auto found = m_volumes.find(groupId);
    if (found != m_volumes.end()) return found->second.volume.get();
    if (auto refused = m_refusals.find(groupId); refused != m_refusals.end()) {
        if (why) *why = refused->second;
        return nullptr;
    }
    const SeriesGroup* group = m_database.groupById(groupId);
    if (!group) return nullptr;
    VolumeRefusal refusal;
    std::unique_ptr<ReformatVolume> volume = ReformatVolume::build(m_database, *group, refusal);
    if (!volume) {
        const QString reason = refusal ? describe(refusal) : QString("the images form no volume");
        m_refusals[groupId] = reason;
        if (why) *why = reason;
        return nullptr;
    }
    KeptVolume& kept = m_volumes[groupId];
    kept.imageIds = group->imageIds;
    kept.arrived = arrivedOf(group->imageIds);
    kept.volume = std::move(volume);
    return kept.volume.get();
}

int ReadingState::arrivedOf(const std::vector<std::string>& imageIds) const {
    int arrived = 0;
    for (const std::string& id : imageIds) arrived += m_database.download().arrived(id) ? 1 : 0;
    return arrived;
}

void ReadingState::imagesChanged() {
    for (auto it = m_volumes.begin(); it != m_volumes.end();) {
        const SeriesGroup* group = m_database.groupById(it->first);
        if (!group || group->imageIds != it->second.imageIds) {
            it = m_volumes.erase(it);
            continue;
        }
        const int arrived = arrivedOf(group->imageIds);
        if (arrived != it->second.arrived) {
            it->second.volume->refresh(m_database);
            it->second.arrived = arrived;
        }
        ++it;
    }
    m_refusals.clear();
    for (auto it = m_frames.begin(); it != m_frames.end();)
        it = m_database.groupById(it->first) ? std::next(it) : m_frames.erase(it);
    if (m_cursor.visible && !m_database.groupById(m_cursor.groupId)) m_cursor.visible = false;
    emit changed();
}

void ReadingState::publishPlane(QObject* owner, const PublishedPlane& plane) {
    auto found = m_planes.find(owner);
    if (found == m_planes.end())
        connect(owner, &QObject::destroyed, this, [this](QObject* gone) { m_planes.erase(gone); });
    const bool same = found != m_planes.end() && found->second.groupId == plane.groupId &&
                      found->second.kind == plane.kind && norm(sub(found->second.plane.origin, plane.plane.origin)) < 1e-6 &&
                      norm(sub(found->second.plane.normal(), plane.plane.normal())) < 1e-9;
    m_planes[owner] = plane;
    if (!same) emit changed();
}

void ReadingState::withdrawPlane(const void* owner) {
    if (m_planes.erase(owner)) emit changed();
}

std::vector<PublishedPlane> ReadingState::planesBesides(const void* owner) const {
    std::vector<PublishedPlane> out;
    for (const auto& entry : m_planes)
        if (entry.first != owner) out.push_back(entry.second);
    return out;
}

int ReadingState::addMeasurement(Measurement m) {
    m.id = m_nextMeasurement++;
    m_measurements.push_back(std::move(m));
    emit measurementsChanged();
    emit changed();
    return m_measurements.back().id;
}

bool ReadingState::removeMeasurement(int id) {
    const auto it = std::find_if(m_measurements.begin(), m_measurements.end(), [id](const Measurement& m) { return m.id == id; });
    if (it == m_measurements.end()) return false;
    m_measurements.erase(it);
    emit measurementsChanged();
    emit changed();
    return true;
}

void ReadingState::clearMeasurements() {
    m_measurements.clear();
    emit measurementsChanged();
    emit changed();
}

}  // namespace quarvia
