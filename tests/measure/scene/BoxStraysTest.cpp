// Lone points that widen a box fitted on everything the filter kept: a
// floor stray beside the goods counts, the goods' own outline does not (a
// flank seen edge-on from above, mixed pixels along an edge).

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "measure/scene/BoxStrays.h"

namespace {

using Point = BoxStrays::Point;
constexpr float kPitch = 0.005f;
constexpr float kFace = 2.3f;
constexpr float kDivision = 0.005f;

/// A 0.4 x 0.3 m face round the origin.
std::vector<Point> Face() {
    std::vector<Point> points;
    for (int i = -40; i <= 40; ++i) {
        for (int j = -30; j <= 30; ++j) points.push_back({i * kPitch, j * kPitch, kFace});
    }
    return points;
}

/// The base of the box that spans the points.
std::array<BoxStrays::Vector2, 4> Spanning(const std::vector<Point>& points) {
    float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
    for (const Point& p : points) {
        x0 = std::min(x0, p[0]), x1 = std::max(x1, p[0]);
        y0 = std::min(y0, p[1]), y1 = std::max(y1, p[1]);
    }
    return {BoxStrays::Vector2{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

}  // namespace

TEST(BoxStrays, CountsLonePointsBeyondTheGoodsOutline) {
    std::vector<Point>
        flank;  // columns of a steep flank beyond the +x side, 25 mm deeper a pitch out
    for (int i = 1; i <= 3; ++i) {
        for (int j = -30; j <= 30; ++j)
            flank.push_back({0.2f + i * kPitch, j * kPitch, kFace + 0.025f * i});
    }
    std::vector<Point> mixed;  // one a row 8 mm off the +y edge, at depths down to the floor
    for (int i = -40; i <= 40; ++i)
        mixed.push_back({i * kPitch, 0.158f, kFace + 0.03f * (1 + std::abs(i) % 5)});
    struct Case {
        const char* name;
        std::vector<Point> added;
        std::size_t strays;
    };
    const std::vector<Case> cases = {
        // The filter kept one point of the floor's noise 95 mm beside a flat
        // box, and today's box was stored 100 mm wide of it.
        {"a floor stray 95 mm beside it", {{0.0f, 0.245f, 2.47f}}, 1},
        {"a flank seen edge-on", flank, 0},
        {"mixed pixels along an edge", mixed, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Point> points = Face();
        points.insert(points.end(), c.added.begin(), c.added.end());
        const BoxStrays strays(Spanning(points), kPitch, kDivision, points.size(),
                               [&points](std::size_t i) { return points[i]; });
        EXPECT_EQ(strays.Count(), c.strays);
    }
}
