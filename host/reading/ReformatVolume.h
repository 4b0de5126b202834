#pragma once

#include "ImagePlane.h"

#include <QString>

#include <memory>
#include <vector>

namespace quarvia {

class HostVolume;
class StudyDatabase;
struct SeriesGroup;
struct VolumeRefusal;

// What a view shows of its series: the acquired images, or a plane
// resampled from the series' volume.
enum class PlaneKind { Acquired, Axial, Coronal, Sagittal };
// Thick slabs: the brightest or the darkest value along the normal.
enum class SlabMode { Off, Mip, MinIp };

// The three directions of the reformatted planes (the normals of the
// sagittal, coronal and axial plane); patient axes until the user turns them.
using PlaneAxes = std::array<Vec3d, 3>;
constexpr PlaneAxes kPatientAxes{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// A series' voxels for reformatting: planes through any point, at any
// orientation, sampled trilinearly in the series' real units (HU for CT).
class ReformatVolume {
public:
    ~ReformatVolume();
    static std::unique_ptr<ReformatVolume> build(const StudyDatabase& database, const SeriesGroup& group,
                                                 VolumeRefusal& refusal);
    // Re-reads the images that have arrived since.
    void refresh(const StudyDatabase& database);
    // Counts the refreshes: a plane sampled before one is sampled again.
    int version() const { return m_version; }

    // The point lies inside the voxels (their edges included).
    bool contains(const Vec3d& point) const;
    Vec3d centre() const;
    // The distance between planes along a normal that steps one voxel.
    double stepAlong(const Vec3d& normal) const;
    // The depths (along a unit normal, from the centre) of the outermost voxel centres.
    void depthRange(const Vec3d& normal, double& lo, double& hi) const;
    // The plane of a kind through a point, covering the whole volume at the
    // size of its smallest voxel edge. Not for Acquired.
    ImagePlane planeThrough(const Vec3d& point, const PlaneAxes& axes, PlaneKind kind) const;
    // The plane's pixels, row after row; NaN outside the volume. A slab
    // combines samples `thickness` mm deep around the plane.
    void sample(const ImagePlane& plane, SlabMode slab, double thickness, std::vector<float>& out) const;
    double valueAt(const Vec3d& point) const;

private:
    ReformatVolume() = default;
    // Voxel index coordinates of a patient point.
    Vec3d indexOf(const Vec3d& point) const;
    Vec3d indexStep(const Vec3d& direction) const;
    // Trilinear in index coordinates; NaN outside.
    float atIndex(double x, double y, double z) const;

    std::unique_ptr<HostVolume> m_volume;
    int m_size[3] = {0, 0, 0};
    double m_spacing[3] = {1, 1, 1};
    Vec3d m_origin{};
    double m_toIndex[3][3] = {};  // patient offset -> index
    double m_slope = 1, m_offset = 0;  // stored value -> real value
    int m_version = 0;
};

// "Acquired", "Axial", "Coronal", "Sagittal"; the same names, any case, read back.
const char* planeName(PlaneKind kind);
bool planeFromName(const QString& name, PlaneKind& kind);
const char* slabName(SlabMode slab);  // "Off", "MIP", "MinIP"
bool slabFromName(const QString& name, SlabMode& slab);

// The in-plane directions of a reformatted plane: right and down on screen.
void planeDirections(PlaneKind kind, const PlaneAxes& axes, Vec3d& right, Vec3d& down);

}  // namespace quarvia
