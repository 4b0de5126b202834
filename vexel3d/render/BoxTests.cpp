#include "render/BoxTests.h"

#include "volume/CVolume.h"

namespace v3d {

namespace {

struct Box {
    float xmin, xmax, ymin, ymax, zmin, zmax;
};

Box clipBox(const CVolume& volume, float margin)
{
    const Vec3* b = volume.boundaryPoints;
    return {b[3].x - margin, b[2].x + margin, b[4].y - margin,
            b[5].y + margin, b[0].z - margin, b[1].z + margin};
}

bool within(float v, float lo, float hi) { return lo <= v && v <= hi; }

} // namespace

bool inside(const CVolume& volume, const Vec3& p)
{
    return insideWithMargin(volume, p, 0.0f);
}

bool insideWithMargin(const CVolume& volume, const Vec3& p, float margin)
{
    const Box b = clipBox(volume, margin);
    return within(p.x, b.xmin, b.xmax) && within(p.z, b.zmin, b.zmax)
        && within(p.y, b.ymin, b.ymax);
}

bool insideFace(const CVolume& volume, const Vec3& p, int face)
{
    const Box b = clipBox(volume, 0.0f);
    switch (face) {
    case 0:
    case 1:
        return within(p.x, b.xmin, b.xmax) && within(p.y, b.ymin, b.ymax);
    case 2:
    case 3:
        return within(p.z, b.zmin, b.zmax) && within(p.y, b.ymin, b.ymax);
    case 4:
    case 5:
        return within(p.x, b.xmin, b.xmax) && within(p.z, b.zmin, b.zmax);
    default:
        return false;
    }
}

Vec3 toVolumeSpace(const CVolume& volume, const Vec3& v)
{
    return volume.axisMatrix * v;
}

Vec3 toIndexSpace(const CVolume& volume, const Vec3& v)
{
    return volume.inverseAxisMatrix * v;
}

}  // namespace v3d
