#include "interact/OverlayInputsFromView.h"

#include "view/ViewCore.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <algorithm>
#include <cstddef>

namespace v3d {

OverlayInputs overlayInputsFromView(const ViewCore& view, int clientWidth, int clientHeight) {
    OverlayInputs in;
    in.clientWidth = clientWidth;
    in.clientHeight = clientHeight;
    if (const SeriesState* frame = view.m_pFrame) {
        in.hasSeries = frame->m_bHasSeries != 0;
        in.allLoaded = frame->m_bAllLoaded;
        in.allLossless = frame->allLossless;
        in.completedFraction = frame->completedFraction;
        in.downloadedFraction = frame->downloadedFraction;
    }
    // Without a camera or volume there is no picture to annotate.
    if (!view.m_pCamera || !view.m_pVolume) in.hasSeries = false;
    if (const CVolume* volume = view.m_pVolume) {
        in.levelHU = volume->windowLevelHU();
        in.windowHU = volume->windowWidthHU();
        in.isoHU = volume->storedToHU(volume->isoStored);
        in.volumeCentre = volume->center();
        in.volumeExtent = volume->getExtent();
        in.axisMatrix = volume->axisMatrix;
    }
    if (view.m_pCamera) in.camera = *view.m_pCamera;

    in.rightTool = view.m_iRightTool;
    in.toolGroup = view.m_iToolGroup;
    in.dragMode = view.m_iDragMode;
    in.cutPlaneMode = view.m_bCutPlaneMode;
    const CutPlaneSet& planes = view.planes();
    in.selectedCutPlane = planes.m_iSelectedCutPlane;
    in.numCutPlanes = planes.m_iNumCutPlanes;
    if (const CutPlane* plane = planes.at(in.selectedCutPlane)) {
        in.hasSelectedPlane = true;
        in.selectedPlanePoint = plane->point;
    }
    in.hue = view.m_fHue;
    in.saturation = view.m_fSaturation;
    in.diffuse = view.m_fDiffuse;
    in.shine = view.m_fShine;
    in.imageWidth = view.m_iImageWidth;
    in.segLow = view.m_prefs.segLow;
    in.segHigh = view.m_prefs.segHigh;
    in.segRad = view.m_prefs.segRad;
    in.probeHU = view.m_iProbeHU;
    in.pressPoint = view.m_pressPoint;
    in.cutLineStart = view.m_cutLineStart;
    in.cutLineEnd = view.m_cutLineEnd;
    const size_t used = std::min(view.m_roiScreenPoints.size(), static_cast<size_t>(std::max(0, view.m_iNumRoiPoints)));
    in.roiScreenPoints.assign(view.m_roiScreenPoints.begin(), view.m_roiScreenPoints.begin() + static_cast<std::ptrdiff_t>(used));
    in.display = view.m_display;
    in.orientationGlyphs = view.m_orientationGlyphs;
    if (const CRaycaster* renderer = view.currentRenderer()) in.currentStep = renderer->currentStep.load();
    return in;
}

}  // namespace v3d
