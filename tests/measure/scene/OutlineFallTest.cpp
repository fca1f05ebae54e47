#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "measure/scene/OutlineFall.h"

namespace {

using Point = OutlineFall::Point;

// Goods 0.4 m long along x, sampled from above on a 4 mm grid, their bottom
// at z = 1 (the floor toward larger z). Across y the section is given by
// height(y) (metres above the bottom), and the points end where it is no
// longer positive or beyond `seen` from the middle (where the filter stopped).
std::vector<Point> Section(double (*height)(double), double seen) {
    std::vector<Point> points;
    for (double x = -0.2; x <= 0.2 + 1e-9; x += 0.004) {
        for (double y = -seen; y <= seen + 1e-9; y += 0.004) {
            const double h = height(y);
            if (h > 0.0) points.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(1.0 - h)});
        }
    }
    return points;
}

double FlatTop(double) { return 0.3; }
// A cylinder of radius 0.1 m lying along x, its axis 0.1 m above the bottom.
double Cylinder(double y) { return std::fabs(y) < 0.1 ? 0.1 + std::sqrt(0.01 - y * y) : 0.0; }
// A bag's top: flat, rounded down over its last 20 mm.
double RoundedEdge(double y) {
    const double in = 0.1 - std::fabs(y);
    return in >= 0.02 ? 0.2 : 0.18 + std::sqrt(std::max(0.0, 0.0004 - (0.02 - in) * (0.02 - in)));
}

OutlineFall Fall(const std::vector<Point>& points) {
    float low = 1e9f, high = -1e9f;
    for (const Point& p : points) {
        low = std::min(low, p[1]);
        high = std::max(high, p[1]);
    }
    const std::array<OutlineFall::Vector2, 4> base = {
        {{-0.2f, low}, {0.2f, low}, {0.2f, high}, {-0.2f, high}}};
    return OutlineFall(base, 0.004f, 1.0f, points.size(), [&points](std::size_t i) { return points[i]; });
}

}  // namespace

TEST(OutlineFall, SlopeAndHeightWhereTheGoodsPointsEndAtTheSides) {
    struct Case {
        const char* name;
        double (*height)(double);
        double seen;
        double slopeLow, slopeHigh;  // across y (axis 1)
        double heightLow, heightHigh;
    };
    // The cylinder seen out to 93 mm from its axis: its surface there falls
    // 2.5 per 1 and stands 137 mm high (the grid ends 91 mm out on one side,
    // 142 mm high); a chord 2 to 5 pitches inward averages 1.6 to 2.5.
    const Case cases[] = {
        {"a flat top", FlatTop, 0.1, -0.01, 0.01, 0.299, 0.301},
        {"a lying cylinder, flanks taken from 93 mm out", Cylinder, 0.093, 1.4, 2.5, 0.130, 0.145},
        // The filter takes the steep rows of a rounded edge as it takes a
        // cylinder's: seen to where it falls 2 in 3.
        {"a bag's top rounded over its last 20 mm", RoundedEdge, 0.091, 0.0, 1.0, 0.18, 0.2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OutlineFall fall = Fall(Section(c.height, c.seen));
        for (const int side : {2, 3}) {
            EXPECT_GE(fall.Slope(side), c.slopeLow);
            EXPECT_LE(fall.Slope(side), c.slopeHigh);
            EXPECT_GE(fall.Height(side), c.heightLow);
            EXPECT_LE(fall.Height(side), c.heightHigh);
        }
        // Along x every section ends in a vertical cut: flat where it ends.
        EXPECT_NEAR(fall.Slope(0), 0.0, 0.01);
        EXPECT_NEAR(fall.Slope(1), 0.0, 0.01);
    }
}
