#include "VolumeRefusal.h"

#include "SliceGeometry.h"

namespace quarvia {

namespace {
QString mm(double value) { return QString::number(value, 'g', 4) + " mm"; }
QString degrees(double value) { return QString::number(value, 'f', 1) + " degrees"; }
}  // namespace

QString describe(const VolumeRefusal& r) {
    switch (r.problem) {
    case VolumeProblem::None: return QString();
    case VolumeProblem::NoImages: return "no images were given";
    case VolumeProblem::UnknownImage: return QString("image %1 is not loaded").arg(r.image);
    case VolumeProblem::ImageListedTwice: return QString("%1 is listed twice").arg(r.image);
    case VolumeProblem::SeriesDiffer:
        return QString("the images belong to different series (%1 and %2)").arg(r.image, r.other);
    case VolumeProblem::SizesDiffer:
        return QString("images differ in size (%1 and %2)").arg(r.image, r.other);
    case VolumeProblem::ColourImage: return QString("%1 is a colour image; a volume needs grey images").arg(r.image);
    case VolumeProblem::PixelFormatsDiffer:
        return QString("images store their pixels differently (%1 and %2)").arg(r.image, r.other);
    case VolumeProblem::RescaleDiffers:
        return QString("images convert pixel values differently (rescale of %1 and %2)").arg(r.image, r.other);
    case VolumeProblem::SpacingMissing:
        return QString("%1 does not say how large its pixels are (no pixel spacing)").arg(r.image);
    case VolumeProblem::SpacingSingleValue:
        return QString("%1 gives one pixel spacing where two (rows and columns) are needed").arg(r.image);
    case VolumeProblem::SpacingNotPositive:
        return QString("%1 has a pixel spacing that is zero, negative or not a number").arg(r.image);
    case VolumeProblem::SpacingsDiffer:
        return QString("images differ in pixel spacing (%1 and %2)").arg(r.image, r.other);
    case VolumeProblem::GeometryMissing:
        return QString("%1 has no position or orientation in the patient").arg(r.image);
    case VolumeProblem::PositionNotFinite:
        return QString("%1 has an image position that is not a number").arg(r.image);
    case VolumeProblem::PositionOutOfRange:
        return QString("%1 lies more than %2 from the scanner's origin")
            .arg(r.image, mm(SliceGeometryLimits::maxPositionMm));
    case VolumeProblem::OrientationNotFinite:
        return QString("%1 has an image orientation that is not a number").arg(r.image);
    case VolumeProblem::OrientationNotUnit:
        return QString("%1 has an image orientation whose row or column is not a unit direction").arg(r.image);
    case VolumeProblem::OrientationNotPerpendicular:
        return QString("%1 has rows and columns that are not at right angles (%2 apart; at most %3 off a right "
                       "angle is accepted)")
            .arg(r.image, degrees(r.found), QString::number(SliceGeometryLimits::rightAngleToleranceDegrees) + " degrees");
    case VolumeProblem::NotParallel:
        return QString("slices are not parallel (%1 and %2)").arg(r.image, r.other);
    case VolumeProblem::SlicesShareAPosition:
        return QString("slices %1 and %2 lie at the same position").arg(r.slice).arg(r.slice + 1);
    case VolumeProblem::SlicesUneven:
        return QString("slices are not evenly spaced: gap of %1 after slice %2 where %3 was expected")
            .arg(mm(r.found))
            .arg(r.slice)
            .arg(mm(r.expected));
    case VolumeProblem::TiltTooLarge:
        return QString("slices are tilted %1 against the image plane; at most %2 of gantry tilt is accepted")
            .arg(degrees(r.found), degrees(r.expected));
    case VolumeProblem::OutOfMemory:
        return QString("not enough memory for a volume of %1 MB").arg(QString::number(r.found, 'f', 1));
    }
    return "the images do not form a volume";
}

}  // namespace quarvia
