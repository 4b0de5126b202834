#pragma once

// A head-sized CT phantom in Hounsfield units: air, skin, soft tissue (brain),
// skull, ventricles and a few contrast-filled vessels. Coordinates in mm,
// centred on the head.
class HeadPhantom {
public:
    double hu(double x, double y, double z) const;
};
