#pragma once

#include "DicomImage.h"
#include "VolumeRefusal.h"

#include "QVHostApi.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quarvia {

class StudyDatabase;

// A volume handed to a plug-in: the record it reads, the one copy of the
// voxels, and the image identifiers the record points at.
class HostVolume {
public:
    HostVolume() = default;
    HostVolume(const HostVolume&) = delete;
    HostVolume& operator=(const HostVolume&) = delete;

    QVVolumeRecord& record() { return m_record; }
    const std::vector<std::string>& imageIds() const { return m_ids; }

    // Assembles the images, in any order, into a volume; null with the reason
    // when they do not form one (a volume without the memory for it included).
    static std::unique_ptr<HostVolume> build(const StudyDatabase& database, const std::vector<std::string>& imageIds,
                                             int seriesHandle, VolumeRefusal& refusal);
    // Re-reads the voxels of the images that have arrived; the block stays put.
    void refresh(const StudyDatabase& database);

private:
    QVVolumeRecord m_record{};
    std::vector<uint16_t> m_voxels;
    std::vector<std::string> m_ids;
    std::vector<char*> m_idPointers;
};

// Tolerances of the slice check, in the units of the images (mm).
struct SliceTolerance {
    // Largest difference between unit direction vectors of two slices
    // (about 0.06 degrees).
    static constexpr double direction = 1e-3;
    // Largest deviation of one slice step from the common step: 1 % of the
    // step, at least 0.01 mm (positions are printed with a few decimals).
    static constexpr double stepFraction = 0.01;
    static constexpr double stepAbsolute = 0.01;
    // Pixel spacings that differ by more than this fraction are not one grid.
    static constexpr double spacingFraction = 1e-3;
};

}  // namespace quarvia
