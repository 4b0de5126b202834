#pragma once
// The export loop: one image, or a rotation series that orbits the camera
// in fixed steps between images and goes into a series of its own. The
// camera, tumbling and the capture series are as before when it ends,
// also when cancelled.

#include "view/ViewTypes.h"

namespace v3d {

class ViewCore;
struct CaptureRecord;

struct ExportOptions {
    int width = 384;
    int height = 384;
    int rotation = 0;  // degrees; 0: one image
    int axis = 1;      // 1: about the home up axis; 2: about the camera's right axis
    int step = 9;      // degrees between images
    int sign = 1;
};

// What the loop asks of the window for each image.
class ExportSteps {
public:
    virtual ~ExportSteps() = default;
    // "Exporting image i/n" (or without numbers for a single image).
    virtual void beginImage(int index, int count) = 0;
    virtual void render(int width, int height) = 0;
    // Creates the image and tells the peers.
    virtual void capture(int width, int height) = 0;
    virtual bool cancelled() = 0;
};

// How many images the options make: rotation / step + 1, one fewer for a
// full turn (its last view would repeat the first).
int exportImageCount(const ExportOptions& options);

// What the window sends when the export dialog closes, confirmed or not:
// the last image's capture line again, and the camera the loop put back
// (a rotation series leaves every peer at its last image's pose otherwise).
inline int exportClosingMask() { return CHANGE_CAMERA_VECTORS | CHANGE_CAPTURE; }

// Runs the loop; answers the number of images rendered and captured.
int runExport(ViewCore& view, CaptureRecord& capture, const ExportOptions& options, ExportSteps& steps);

}  // namespace v3d
