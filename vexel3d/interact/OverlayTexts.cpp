#include "interact/OverlayTexts.h"

#include <cstdarg>
#include <cstdio>

namespace v3d {

namespace {

// printf into a string; the formats are the system's own texts.
__attribute__((format(printf, 1, 2))) std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(&text[0], text.size(), fmt, args);
        text.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return text;
}

// The zoom shown as an integer: the camera keeps it as a 0..1 fraction, and
// the round trip through it lands a hair below whole values (a field of
// view of 31 degrees comes back as 30.99998). A margin far below one unit
// keeps truncation from losing a whole degree or millimetre.
int shownZoomValue(double value) { return static_cast<int>(value + 1e-3); }

OverlayBox clientBox(const OverlayInputs& in) { return {0, 0, in.clientWidth, in.clientHeight}; }

}  // namespace

std::string leftTextBlock(const OverlayInputs& in) {
    std::string text;
    text = format("%s level %d\n window %d\n", text.c_str(), in.levelHU, in.windowHU);
    text = format("%s isosurface at %d\n", text.c_str(), in.isoHU);
    if (in.rightTool == TOOL_HUE_SAT)
        text = format("%s hue=%.0f\n saturation=%1.3f\n", text.c_str(), double(in.hue), double(in.saturation));
    if (in.rightTool == TOOL_SHADE)
        text = format("%s coefficient=%1.3f\n shinyness=%.0f\n", text.c_str(), double(in.diffuse), double(in.shine));
    return text;
}

std::string rightTextBlock(const OverlayInputs& in) {
    std::string text;
    const double zoom = in.camera.getZoom();
    if (in.camera.perspective)
        text = format("%s fov %d deg\n\n", text.c_str(), shownZoomValue(zoom * 120.0 + 30.0));
    else
        text = format("%s dia %d mm\n\n", text.c_str(), shownZoomValue((zoom * 7.9 + 0.1) * in.imageWidth));
    if (in.cutPlaneMode) {
        text = format("%s\ncutplanes \n ", text.c_str());
        if (in.selectedCutPlane < 0)
            text = format("%s\n-/%d ", text.c_str(), in.numCutPlanes);
        else
            text = format("%s\n%d/%d ", text.c_str(), in.selectedCutPlane + 1, in.numCutPlanes);
    }
    return text;
}

bool densityBoundsShown(const OverlayInputs& in) { return in.toolGroup == 2 && in.rightTool != TOOL_ROI; }

std::string densityBoundsLine(const OverlayInputs& in) {
    const bool probe = in.probeHU != kNoProbeValue;
    std::string left;
    std::string right;
    switch (in.rightTool) {
    case TOOL_SELECT_OBJECT:
        left = format("%d < ", in.isoHU);
        break;
    case TOOL_SEG_RANGE:
        left = format("%d < ", in.segLow);
        right = format(" < %d", in.segHigh);
        break;
    case TOOL_DENSITY_RANGE:
        if (probe) {
            left = format("%d < ", in.probeHU - in.segRad);
            right = format(" < %d", in.probeHU + in.segRad);
        } else {
            left = "... < ";
            right = " < ...";
        }
        break;
    default:
        break;
    }
    std::string line = format("%s", left.c_str());
    line = probe ? format("%s%d", line.c_str(), in.probeHU) : format("%s...", line.c_str());
    return format("%s%s", line.c_str(), right.c_str());
}

void addReadinessNotices(OverlayList& out, const OverlayInputs& in) {
    if (!in.hasSeries) {
        out.push_back(OverlayText{"Drop image series to start", clientBox(in), ALIGN_HCENTRE | ALIGN_VCENTRE, true,
                                  overlay_colour::kText});
        out.push_back(OverlayText{"\n\n3D Volume Viewer", clientBox(in), ALIGN_HCENTRE | ALIGN_TOP, false,
                                  overlay_colour::kText});
    } else if (!in.allLoaded) {
        out.push_back(OverlayText{"Waiting for all images to load.", clientBox(in), ALIGN_HCENTRE | ALIGN_VCENTRE, true,
                                  overlay_colour::kWaiting});
    }
}

void addTextBlocks(OverlayList& out, const OverlayInputs& in) {
    out.push_back(OverlayText{leftTextBlock(in), clientBox(in), ALIGN_LEFT | ALIGN_TOP, false, overlay_colour::kText});
    out.push_back(OverlayText{rightTextBlock(in), clientBox(in), ALIGN_RIGHT | ALIGN_TOP, false, overlay_colour::kText});
    if (!densityBoundsShown(in)) return;
    // The band from 52 to 26 pixels above the bottom, across the full width.
    const OverlayBox band{0, in.clientHeight - 52, in.clientWidth, 26};
    out.push_back(OverlayText{densityBoundsLine(in), band, ALIGN_HCENTRE | ALIGN_VCENTRE, true, overlay_colour::kText});
}

void addCoarsePassMark(OverlayList& out, const OverlayInputs& in) {
    if (in.currentStep <= 1) return;
    out.push_back(OverlayText{format("%sD", ""), clientBox(in), ALIGN_LEFT | ALIGN_BOTTOM, true, overlay_colour::kText});
}

}  // namespace v3d
