#pragma once
// A window for the view's input handlers that keeps nothing: a 400 x 400
// client with the cursor at the origin.

#include "interact/ViewWindow.h"

struct QuietWindow : v3d::ViewWindow {
    static constexpr int kClient = 400;
    void setCursorShape(v3d::CursorShape) override {}
    void showCursor() override {}
    void hideCursor() override {}
    v3d::ClientPoint cursorScreenPosition() const override { return {0, 0}; }
    void warpCursor(v3d::ClientPoint) override {}
    void releaseCursorClip() override {}
    void setWaitCursor(bool) override {}
    int clientWidth() const override { return kClient; }
    int clientHeight() const override { return kClient; }
    QVWindowHandle frameHandle() const override { return nullptr; }
};
