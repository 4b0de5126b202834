#include "view/OrientationGlyphs.h"

#include <utility>
#include <vector>

namespace v3d {

namespace {
using Edges = std::vector<std::pair<int, int>>;

// Corners 0..3 joined around the face, then the letter's own vertices and edges.
WireModel glyph(const Vec3& normal, std::vector<Vec3> corners, const std::vector<Vec3>& letter, const Edges& strokes) {
    Edges edges = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
    edges.insert(edges.end(), strokes.begin(), strokes.end());
    corners.insert(corners.end(), letter.begin(), letter.end());
    return WireModel(std::move(corners), std::move(edges), normal);
}
}  // namespace

std::array<WireModel, 6> makeOrientationGlyphs() {
    return {
        glyph({0, -1, 0}, {{-1, -1, 1}, {1, -1, 1}, {1, -1, -1}, {-1, -1, -1}},
              {{0, -1, 0.5f}, {0.5f, -1, -0.5f}, {-0.5f, -1, -0.5f}, {0.25f, -1, 0}, {-0.25f, -1, 0}},
              {{4, 5}, {4, 6}, {7, 8}}),
        glyph({-1, 0, 0}, {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
              {{-1, 0.5f, 0}, {-1, 0.5f, 0.5f}, {-1, -0.5f, 0.5f}, {-1, -0.5f, 0}, {-1, 0.5f, -0.5f}, {-1, 0, 0},
               {-1, -0.5f, -0.5f}},
              {{4, 5}, {5, 6}, {6, 7}, {7, 4}, {8, 4}, {9, 10}}),
        glyph({1, 0, 0}, {{1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1}},
              {{1, -0.5f, 0.5f}, {1, -0.5f, -0.5f}, {1, 0.5f, -0.5f}}, {{4, 5}, {5, 6}}),
        glyph({0, 1, 0}, {{-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}},
              {{0.5f, 1, 0.5f}, {-0.5f, 1, 0.5f}, {-0.5f, 1, 0}, {0.5f, 1, 0}, {0.5f, 1, -0.5f}},
              {{4, 5}, {5, 6}, {6, 7}, {7, 4}, {7, 8}}),
        glyph({0, 0, -1}, {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}},
              {{-0.5f, -0.5f, -1}, {-0.5f, 0.5f, -1}, {-0.5f, 0, -1}, {0.5f, 0, -1}, {0.5f, -0.5f, -1}},
              {{4, 5}, {6, 7}, {4, 8}}),
        glyph({0, 0, 1}, {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
              {{-0.5f, -0.5f, 1}, {-0.5f, 0.5f, 1}, {-0.5f, 0, 1}, {0.5f, 0, 1}, {0.5f, -0.5f, 1}, {0.5f, 0.5f, 1}},
              {{4, 5}, {8, 9}, {6, 7}}),
    };
}

}  // namespace v3d
