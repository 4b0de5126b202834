#pragma once
// What a cut plane asks of the view that holds it.

#include "render/Vec3.h"

class CutPlane;

class CutPlaneOwner {
public:
    // Centre of the plane's section through the volume; false when the view
    // finds none (the plane then falls back to its own geometry).
    virtual bool sectionCentre(const CutPlane& plane, Vec3& centre) = 0;
    virtual ~CutPlaneOwner() = default;
};
