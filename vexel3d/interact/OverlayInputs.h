#pragma once
// Everything the overlays read, copied from the view, its frame, camera and
// volume at paint time, so that what is drawn follows from these values
// alone.

#include "render/Camera.h"
#include "render/math/Mat3.h"
#include "render/math/Vec3.h"
#include "render/WireModel.h"
#include "view/DisplayGeometry.h"
#include "view/OrientationGlyphs.h"
#include "view/ViewTypes.h"

#include <array>
#include <vector>

namespace v3d {

struct OverlayInputs {
    int clientWidth = 0;
    int clientHeight = 0;

    // Frame: series, completeness and download state.
    bool hasSeries = false;
    bool allLoaded = false;
    bool allLossless = true;
    double completedFraction = 1.0;
    double downloadedFraction = 1.0;

    // Volume, in HU where the user reads them.
    int levelHU = 0;
    int windowHU = 0;
    int isoHU = 0;
    Vec3 volumeCentre;
    Vec3 volumeExtent;
    Mat3 axisMatrix = Mat3::identity();

    Camera camera{75.0f};

    // View state.
    int rightTool = TOOL_ISOVALUE;
    int toolGroup = 0;
    int dragMode = 0;
    bool cutPlaneMode = false;
    int selectedCutPlane = -1;
    int numCutPlanes = 0;
    bool hasSelectedPlane = false;
    Vec3 selectedPlanePoint;  // index space
    float hue = 220.0f;
    float saturation = 0.5f;
    float diffuse = 0.4f;
    float shine = 30.0f;
    int imageWidth = 256;
    int segLow = -1000;
    int segHigh = 3000;
    int segRad = 100;
    int probeHU = kNoProbeValue;
    ClientPoint pressPoint;
    ClientPoint cutLineStart{-1, -1};
    ClientPoint cutLineEnd{-1, -1};
    std::vector<ClientPoint> roiScreenPoints;  // only the points in use
    DisplayGeometry display;
    std::array<WireModel, 6> orientationGlyphs = makeOrientationGlyphs();
    int currentStep = 1;  // the current renderer's refinement step
};

}  // namespace v3d
