#pragma once

#include "reading/ReadingState.h"

#include <QPointF>

#include <string>
#include <vector>

namespace quarvia {

class DicomImage;
class StudyDatabase;

// One view of a panel: which image of the group it shows, with what window,
// how far zoomed and panned.
struct PanelView {
    int imageIndex = 0;
    double center = 0;
    double width = 0;   // 0: the image's own window
    double zoom = 1;    // 1: the image fits the view
    QPointF pan;        // screen pixels from the view's centre
    PlaneKind plane = PlaneKind::Acquired;
    SlabMode slab = SlabMode::Off;
    double slabMm = 10;
    // The last plane sampled for it (reformats), kept while it stays put.
    mutable struct Sampled {
        ImagePlane plane;
        SlabMode slab = SlabMode::Off;
        double slabMm = 0;
        const ReformatVolume* volume = nullptr;
        int version = -1;
        std::vector<float> values;
    } sampled;
};

// What a view shows and where it lies: an acquired image, or a resampled plane.
struct ShownPicture {
    ImagePlane plane;
    const DicomImage* image = nullptr;         // acquired
    const std::vector<float>* values = nullptr;  // reformatted
    double value(int column, int row) const;
};

// What the views of a series show: the acquired image at their index, or
// the plane of their kind through the series' crossing (sampled once and
// kept while it stays put), and where in its stack each picture lies.
class PanelPictures {
public:
    PanelPictures(StudyDatabase& database, ReadingState& reading) : m_database(database), m_reading(reading) {}

    // The image a view shows; empty when none.
    std::string imageIdOf(int groupId, const PanelView& view) const;
    // The image when it has arrived; null otherwise.
    const DicomImage* shownImage(int groupId, const PanelView& view) const;
    bool pictureOf(int groupId, const PanelView& view, ShownPicture& picture) const;
    // A view's place in its stack of images or planes (0-based) and their count.
    void planeIndexOf(int groupId, const PanelView& view, int& index, int& count) const;
    // The distance between the acquired images (mm).
    double acquiredStep(int groupId) const;
    // The image whose plane holds the point (within half a step, inside its
    // pixels), nearest first; -1 when none does.
    int imageHolding(int groupId, const Vec3d& point) const;

private:
    StudyDatabase& m_database;
    ReadingState& m_reading;
};

}  // namespace quarvia
