#pragma once

#include <QString>

#include <string>

namespace quarvia {

// Why a set of images does not form a volume. The assembly answers one of
// these; describe() turns it into the words the user reads.
enum class VolumeProblem {
    None,
    NoImages,
    UnknownImage,
    ImageListedTwice,
    SeriesDiffer,
    SizesDiffer,
    ColourImage,
    PixelFormatsDiffer,
    RescaleDiffers,
    SpacingMissing,
    SpacingSingleValue,
    SpacingNotPositive,
    SpacingsDiffer,
    GeometryMissing,
    PositionNotFinite,
    PositionOutOfRange,
    OrientationNotFinite,
    OrientationNotUnit,
    OrientationNotPerpendicular,
    NotParallel,
    SlicesShareAPosition,
    SlicesUneven,
    TiltTooLarge,
    OutOfMemory,
};

struct VolumeRefusal {
    VolumeProblem problem = VolumeProblem::None;
    // The image concerned, named as the user knows it ("image 12").
    QString image;
    // The second image or series of a pair that does not match.
    QString other;
    // Slice numbers count from 1 in the order along the slice normal.
    int slice = 0;
    // A measured value and what it should have been (mm or degrees).
    double found = 0;
    double expected = 0;

    explicit operator bool() const { return problem != VolumeProblem::None; }
};

// The refusal in plain words, e.g. "slices are not evenly spaced: gap of
// 7.5 mm after slice 12 where 5 mm was expected".
QString describe(const VolumeRefusal& refusal);

}  // namespace quarvia
