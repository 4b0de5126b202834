#include "PanelPictures.h"

#include "dicom/StudyDatabase.h"

#include <algorithm>
#include <cmath>

namespace quarvia {

double ShownPicture::value(int column, int row) const {
    if (column < 0 || row < 0 || column >= plane.columns || row >= plane.rows) return std::nan("");
    const size_t i = size_t(row) * size_t(plane.columns) + size_t(column);
    if (values) return (*values)[i];
    if (image && image->samplesPerPixel() == 1) return image->raw(i) * image->slope() + image->intercept();
    return std::nan("");
}

std::string PanelPictures::imageIdOf(int groupId, const PanelView& view) const {
    const SeriesGroup* group = m_database.groupById(groupId);
    if (!group || group->imageIds.empty()) return std::string();
    const int last = static_cast<int>(group->imageIds.size()) - 1;
    return group->imageIds[static_cast<size_t>(std::clamp(view.imageIndex, 0, last))];
}

const DicomImage* PanelPictures::shownImage(int groupId, const PanelView& view) const {
    const std::string id = imageIdOf(groupId, view);
    const DicomImage* image = m_database.image(id);
    return image && m_database.download().arrived(id) ? image : nullptr;
}

bool PanelPictures::pictureOf(int groupId, const PanelView& view, ShownPicture& picture) const {
    picture = ShownPicture();
    if (view.plane == PlaneKind::Acquired) {
        const DicomImage* image = shownImage(groupId, view);
        if (!image) return false;
        picture.image = image;
        picture.plane = planeOfImage(*image, view.imageIndex, acquiredStep(groupId));
        return true;
    }
    ReformatVolume* volume = m_reading.volumeOf(groupId);
    PlaneFrame* frame = m_reading.frameOf(groupId);
    if (!volume || !frame) return false;
    const ImagePlane plane = volume->planeThrough(frame->point, frame->axes, view.plane);
    auto& kept = view.sampled;
    const bool same = kept.volume == volume && kept.version == volume->version() && kept.slab == view.slab && kept.slabMm == view.slabMm &&
                      kept.plane.columns == plane.columns && kept.plane.rows == plane.rows &&
                      norm(sub(kept.plane.origin, plane.origin)) < 1e-9 && norm(sub(kept.plane.u, plane.u)) < 1e-12 &&
                      norm(sub(kept.plane.v, plane.v)) < 1e-12;
    if (!same) {
        volume->sample(plane, view.slab, view.slabMm, kept.values);
        kept.plane = plane;
        kept.slab = view.slab;
        kept.slabMm = view.slabMm;
        kept.volume = volume;
        kept.version = volume->version();
    }
    picture.plane = plane;
    picture.values = &kept.values;
    return true;
}

void PanelPictures::planeIndexOf(int groupId, const PanelView& view, int& index, int& count) const {
    const SeriesGroup* group = m_database.groupById(groupId);
    index = view.imageIndex;
    count = group ? static_cast<int>(group->imageIds.size()) : 0;
    ReformatVolume* volume = m_reading.volumeOf(groupId);
    PlaneFrame* frame = m_reading.frameOf(groupId);
    if (view.plane == PlaneKind::Acquired || !volume || !frame) return;
    Vec3d right, down;
    planeDirections(view.plane, frame->axes, right, down);
    const Vec3d n = cross(right, down);
    const double step = volume->stepAlong(n);
    double lo = 0, hi = 0;
    volume->depthRange(n, lo, hi);
    count = std::max(1, int(std::floor((hi - lo) / step + 1e-6)) + 1);
    index = std::clamp(int(std::lround((dot(sub(frame->point, volume->centre()), n) - lo) / step)), 0, count - 1);
}

double PanelPictures::acquiredStep(int groupId) const {
    const SeriesGroup* group = m_database.groupById(groupId);
    if (!group || group->imageIds.empty()) return 1;
    const DicomImage* first = m_database.image(group->imageIds.front());
    if (!first) return 1;
    if (group->imageIds.size() > 1)
        if (const DicomImage* second = m_database.image(group->imageIds[1]);
            second && first->hasGeometry() && second->hasGeometry()) {
            const double step = std::fabs(dot(sub(second->position(), first->position()),
                                              cross(first->rowDir(), first->colDir())));
            if (step > 1e-3) return step;
        }
    return first->sliceThickness() > 0 ? first->sliceThickness() : 1.0;
}

int PanelPictures::imageHolding(int groupId, const Vec3d& point) const {
    const SeriesGroup* group = m_database.groupById(groupId);
    if (!group) return -1;
    const double step = acquiredStep(groupId);
    int best = -1;
    double bestDistance = 0;
    for (size_t i = 0; i < group->imageIds.size(); ++i) {
        const DicomImage* image = m_database.image(group->imageIds[i]);
        if (!image || !image->hasGeometry()) continue;
        const ImagePlane plane = planeOfImage(*image, int(i), step);
        double c, r;
        plane.pixelOf(point, c, r);
        const double d = std::fabs(plane.distanceTo(point));
        if (plane.coversPixel(c, r) && d <= step / 2 + 1e-6 && (best < 0 || d < bestDistance)) best = int(i), bestDistance = d;
    }
    return best;
}

}  // namespace quarvia
