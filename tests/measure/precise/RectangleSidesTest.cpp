#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "measure/FaceGrid.h"
#include "measure/precise/RectangleSides.h"

namespace {

constexpr float kPitch = 0.004f;
constexpr float kStrip = 0.01f;

std::vector<RectangleSides::Point> Flat(const std::vector<face_grid::Point>& points) {
    std::vector<RectangleSides::Point> flat;
    for (const auto& p : points) flat.push_back({p[0], p[1]});
    return flat;
}

struct SidesCase {
    std::string name;
    float a, b;   // half sides of the face
    float angle;  // of the face against the axes given
    int strays;   // single points 50 mm beyond side 0, spread along it
    bool disc;    // a disc of radius a instead
};

}  // namespace

TEST(RectangleSides, EachSideFromThePointsAlongIt) {
    const std::vector<SidesCase> cases = {
        {"on the axes", 0.3f, 0.2f, 0.0f, 0, false},
        {"turned 0.5 degrees", 0.6f, 0.4f, 0.0087f, 0, false},
        {"turned -2 degrees", 0.3f, 0.15f, -0.035f, 0, false},
        {"five strays beyond a side", 0.3f, 0.2f, 0.0f, 5, false},
        {"a disc", 0.15f, 0.15f, 0.0f, 0, true},
    };
    for (const SidesCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto points =
            c.disc ? face_grid::Disc(c.a, 0.0f, 0.0f, 1.0f, kPitch)
                   : face_grid::Rectangle(c.a, c.b, 0.0f, 0.0f, c.angle, 1.0f, kPitch, 0.0f, 3);
        for (int i = 0; i < c.strays; ++i)
            points.push_back({c.a + 0.05f, -c.b + 0.1f * (i + 1) * c.b, 1.0f});
        const RectangleSides sides(Flat(points), {1.0f, 0.0f}, {0.0f, 1.0f}, kStrip);
        // The median strip lies at the middle of a side: a turned face's
        // side is met there at its half side times the cosine; a disc's at
        // the chord of the middle strips, some 0.87 radii out.
        const float k = std::cos(c.angle);
        const float truth[4] = {c.a * k, c.a * k, c.b * k, c.b * k};
        for (int side = 0; side < 4; ++side) {
            SCOPED_TRACE(side);
            ASSERT_GT(sides.Get(side).strips, 5);
            if (c.disc) {
                EXPECT_GT(sides.Get(side).offset, 0.8f * c.a);
                EXPECT_LT(sides.Get(side).offset, 0.9f * c.a);
                continue;
            }
            // Within a pitch inside the outline; no stray moves it out.
            EXPECT_LE(sides.Get(side).offset, truth[side] + 1e-4f);
            EXPECT_GE(sides.Get(side).offset, truth[side] - kPitch);
            if (c.angle == 0.0f) {
                EXPECT_NEAR(sides.Get(side).turn, 0.0f, 1e-3f);
            }
        }
        if (!c.disc && c.angle != 0.0f) {
            // Lines through the strips' outermost points tell the turn of every side.
            for (int side = 0; side < 4; ++side)
                EXPECT_NEAR(sides.Get(side).turn, c.angle, 0.002f) << side;
        }
    }
}

TEST(RectangleSides, TooFewPointsFitNoSide) {
    const RectangleSides none({}, {1.0f, 0.0f}, {0.0f, 1.0f}, kStrip);
    const RectangleSides two({{0.0f, 0.0f}, {0.001f, 0.0f}}, {1.0f, 0.0f}, {0.0f, 1.0f}, kStrip);
    for (int side = 0; side < 4; ++side) {
        EXPECT_EQ(none.Get(side).strips, 0);
        EXPECT_EQ(two.Get(side).strips, 0);
    }
}
