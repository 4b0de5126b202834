#pragma once
// A wire model for the orientation overlay: vertices, edges between them and
// the direction the model faces (back-facing models are drawn first).

#include "render/math/Mat3.h"
#include "render/math/Vec3.h"

#include <utility>
#include <vector>

namespace v3d {

class WireModel {
public:
    WireModel() = default;
    WireModel(std::vector<Vec3> vertices, std::vector<std::pair<int, int>> edges,
              const Vec3& facingNormal);

    int edgeCount() const { return int(edges_.size()); }
    const Vec3& getFacingNormal() const { return facingNormal_; }
    const std::vector<Vec3>& vertices() const { return vertices_; }
    const std::vector<std::pair<int, int>>& edges() const { return edges_; }

    // End points of the edge turned by M; with d > 0 also put in perspective
    // at viewing distance d. False for an edge index or vertex out of range.
    bool projectEdge(int edge, const Mat3& M, float d, Vec3& a, Vec3& b) const;

private:
    std::vector<Vec3> vertices_;
    std::vector<std::pair<int, int>> edges_;
    Vec3 facingNormal_;
};

}  // namespace v3d
