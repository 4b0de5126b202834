#pragma once
// What the tools need from the window that shows a view: the cursor (shape,
// visibility, screen position, warping, clipping), the client size and the
// frame's host handle. The widget implements it; tests record it.

#include "view/DisplayGeometry.h"

#include "QVHostApi.h"

namespace v3d {

enum class CursorShape { Arrow, Cross, SizeNS, SizeAll };

class ViewWindow {
public:
    virtual ~ViewWindow() = default;

    virtual void setCursorShape(CursorShape shape) = 0;
    // Visibility is absolute: showing twice still needs only one hide.
    virtual void showCursor() = 0;
    virtual void hideCursor() = 0;
    // Screen position of the cursor, and moving it there (warping drags).
    virtual ClientPoint cursorScreenPosition() const = 0;
    virtual void warpCursor(ClientPoint screen) = 0;
    virtual void releaseCursorClip() = 0;
    // Busy indication around a long operation.
    virtual void setWaitCursor(bool on) = 0;

    virtual int clientWidth() const = 0;
    virtual int clientHeight() const = 0;
    virtual QVWindowHandle frameHandle() const = 0;
};

}  // namespace v3d
