#pragma once
// Where the rendered image is shown in the view's client area, and the
// mapping from client points to image pixels.

namespace v3d {

struct DisplayRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct ClientPoint {
    int x = 0;
    int y = 0;
};

struct DisplayGeometry {
    int halfClientWidth = 0;
    int halfClientHeight = 0;
    DisplayRect rect;

    // Recomputes the half sizes and, unless the area is too small for any
    // picture, the display square for a client area of that size.
    void resize(int clientWidth, int clientHeight);
    // The image pixel under a client point for an image of that size.
    ClientPoint clientToImage(ClientPoint point, int imageWidth, int imageHeight) const;
    bool isInsideImage(ClientPoint point) const;
};

}  // namespace v3d
