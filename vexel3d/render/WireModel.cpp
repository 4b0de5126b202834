#include "render/WireModel.h"

namespace v3d {

WireModel::WireModel(std::vector<Vec3> vertices, std::vector<std::pair<int, int>> edges,
                     const Vec3& facingNormal)
    : vertices_(std::move(vertices)), edges_(std::move(edges)), facingNormal_(facingNormal)
{
}

namespace {

Vec3 inPerspective(const Vec3& v, float d)
{
    return {d * v.x / (d + v.z), d * v.y / (d + v.z), v.z};
}

} // namespace

bool WireModel::projectEdge(int edge, const Mat3& M, float d, Vec3& a, Vec3& b) const
{
    if (edge < 0 || edge >= edgeCount())
        return false;
    const auto [first, second] = edges_[size_t(edge)];
    const int count = int(vertices_.size());
    if (first < 0 || first >= count || second < 0 || second >= count)
        return false;
    a = M * vertices_[size_t(first)];
    b = M * vertices_[size_t(second)];
    if (d > 0.0f) {
        a = inPerspective(a, d);
        b = inPerspective(b, d);
    }
    return true;
}

}  // namespace v3d
