#pragma once
// What the mouse buttons, the wheel and the keys do to a view. Each
// operation returns the change mask of what it changed; the window side
// sends it on.

#include "render/math/Vec3.h"
#include "view/DisplayGeometry.h"

namespace v3d {

class ViewCore;
class ViewWindow;
class WheelSteps;

// Mouse-key flags of an event.
enum MouseFlag : int {
    MOUSE_LEFT = 1,
    MOUSE_RIGHT = 2,
    MOUSE_SHIFT = 4,
    MOUSE_CTRL = 8,
    MOUSE_MIDDLE = 16,
};

// Keys the view knows, by their virtual-key numbers.
enum ViewKey : int {
    KEY_SPACE = 0x20,
    KEY_PAGE_UP = 0x21,
    KEY_PAGE_DOWN = 0x22,
    KEY_END = 0x23,
    KEY_HOME = 0x24,
    KEY_LEFT = 0x25,
    KEY_UP = 0x26,
    KEY_RIGHT = 0x27,
    KEY_DOWN = 0x28,
    KEY_S = 'S',
    KEY_T = 'T',
    KEY_W = 'W',
    KEY_X = 'X',
    KEY_Y = 'Y',
    KEY_Z = 'Z',
};

int leftPress(ViewCore& view, ClientPoint point);
int leftRelease(ViewCore& view, ViewWindow& window);
int rightPress(ViewCore& view, ClientPoint point);
// Ends a right drag that opened no context menu.
int rightRelease(ViewCore& view, ViewWindow& window, int flags);
// Cycles the right tool within its group.
int middlePress(ViewCore& view, ClientPoint point);
// Parallel zoom, cut-plane push and density radius move by whole notches
// (steps adds the deltas up); the perspective move follows the delta.
int wheel(ViewCore& view, WheelSteps& steps, int delta);
// Double-click pick of the selection and cut-plane groups; the capture of
// the image-adjustment group is the window's.
int doubleClickPick(ViewCore& view, ClientPoint point, int flags);

// Keys that tune rendering; handled whenever the view is ready. Answers
// whether the key was one of them.
bool diagnosticKey(ViewCore& view, int key);
// Camera and cut-plane keys (with control); repeat = the key's repeat count.
int navigationKey(ViewCore& view, int key, unsigned repeat, int flags);

}  // namespace v3d
