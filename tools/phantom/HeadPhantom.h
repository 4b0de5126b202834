#pragma once

// A head CT phantom in Hounsfield units, lying supine on a curved table:
// skin, subcutaneous fat and soft tissue, a skull of two cortices around the
// diploe, CSF, grey and white matter, two lateral ventricles, a cervical
// spine, contrast-filled arteries and the superior sagittal sinus, and a
// radiopaque letter "L" standing on the skull of the patient's left forehead
// (through the skin) so that the orientation of a picture can be checked.
//
// Coordinates are patient coordinates in mm (x to the patient's left, y to
// the back, z to the head), centred near the middle of the head.
//
// Every boundary is blended over the width a voxel of the given size spans
// along the boundary's normal, as a scanner's partial-volume averaging would
// do: an iso-surface through the sampled values is smooth, with no terraces.
class HeadPhantom {
public:
    // The voxel size in mm the phantom is sampled with.
    HeadPhantom(double spacingX, double spacingY, double spacingZ);

    // The value at a voxel centre, noise-free.
    double hu(double x, double y, double z) const;

    // Material values (HU).
    static constexpr double kAirHU = -1000.0;
    static constexpr double kSkinHU = 50.0;
    static constexpr double kFatHU = -90.0;
    static constexpr double kSoftTissueHU = 40.0;
    static constexpr double kCorticalBoneHU = 1400.0;
    static constexpr double kDiploeHU = 700.0;
    static constexpr double kVertebraHU = 600.0;
    static constexpr double kDiscHU = 80.0;
    static constexpr double kCsfHU = 8.0;
    static constexpr double kGreyMatterHU = 42.0;
    static constexpr double kWhiteMatterHU = 32.0;
    // Denser than bone, so that the vessels stand out over the skull in a
    // maximum intensity projection.
    static constexpr double kContrastHU = 1800.0;
    static constexpr double kMarkerHU = 2400.0;
    static constexpr double kTableShellHU = 250.0;
    static constexpr double kTableFoamHU = -850.0;

private:
    double m_spacingX, m_spacingY, m_spacingZ;
};
