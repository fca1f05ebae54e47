#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "measure/precise/RoundFace.h"

namespace {

using Point = RoundFace::Point;

// A face sampled on a grid of `pitch`, turned by `turn` radians against the
// axes it is judged on; inside(x, y) in its own frame.
template <typename Inside>
bool Judge(Inside inside, double half, double pitch, double turn) {
    std::vector<Point> face;
    const double c = std::cos(turn), s = std::sin(turn);
    for (double x = -half; x <= half; x += pitch) {
        for (double y = -half; y <= half; y += pitch) {
            if (inside(x, y)) face.push_back({static_cast<float>(c * x - s * y), static_cast<float>(s * x + c * y)});
        }
    }
    std::array<float, 4> outermost = {-1e9f, -1e9f, -1e9f, -1e9f};
    for (const Point& p : face) {
        outermost[0] = std::max(outermost[0], p[0]);
        outermost[1] = std::max(outermost[1], -p[0]);
        outermost[2] = std::max(outermost[2], p[1]);
        outermost[3] = std::max(outermost[3], -p[1]);
    }
    return RoundFace(face, {1.0f, 0.0f}, {0.0f, 1.0f}, outermost).Round();
}

}  // namespace

TEST(RoundFace, DiscsAndEllipsesAreRoundBoxesAndBagsAreNot) {
    struct Case {
        const char* name;
        bool (*inside)(double, double);
        double pitch;
        bool round;
    };
    const Case cases[] = {
        {"a jar's lid, 100 mm, 5 mm pitch", [](double x, double y) { return x * x + y * y <= 0.05 * 0.05; }, 0.005,
         true},
        {"an elliptic tin, 200 x 120 mm", [](double x, double y) { return x * x / 0.01 + y * y / 0.0036 <= 1; }, 0.004,
         true},
        {"a 200 x 120 mm box", [](double x, double y) { return std::fabs(x) <= 0.1 && std::fabs(y) <= 0.06; }, 0.004,
         false},
        // Edges rounded by a fifth of the smaller side.
        {"a 200 x 120 mm bag",
         [](double x, double y) {
             const double r = 0.024, cx = std::max(std::fabs(x) - (0.1 - r), 0.0),
                          cy = std::max(std::fabs(y) - (0.06 - r), 0.0);
             return std::fabs(x) <= 0.1 && std::fabs(y) <= 0.06 && cx * cx + cy * cy <= r * r;
         },
         0.004, false},
        {"a box with one corner cut off",
         [](double x, double y) { return std::fabs(x) <= 0.1 && std::fabs(y) <= 0.06 && x + y <= 0.12; }, 0.004,
         false},
        // Too few points to tell.
        {"a lid 30 mm across", [](double x, double y) { return x * x + y * y <= 0.015 * 0.015; }, 0.005, false},
    };
    for (const Case& c : cases) {
        for (const double turn : {0.0, 0.03}) {
            EXPECT_EQ(Judge(c.inside, 0.11, c.pitch, turn), c.round) << c.name << ", turned " << turn;
        }
    }
}
