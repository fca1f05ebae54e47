// What the outlier filter took beyond a box: a surface's rows beyond it by
// more than the division count, strays and mixed pixels there do not, nor
// does anything the station's corrections already cover.

#include "measure/scene/FilterErosion.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

constexpr float kPitch = 0.005f;
// A 0.4 x 0.3 m base round the origin, corners going round it.
const std::array<FilterErosion::Vector2, 4> kBase = {
    FilterErosion::Vector2{-0.2f, -0.15f}, {0.2f, -0.15f}, {0.2f, 0.15f}, {-0.2f, 0.15f}};

/// Rows of a surface along the box's +x side from `from` to `to` beyond it (metres).
std::vector<FilterErosion::Point> Flank(float from, float to) {
    std::vector<FilterErosion::Point> points;
    for (float e = from; e <= to; e += kPitch) {
        for (float y = -0.15f; y <= 0.15f; y += kPitch) points.push_back({0.2f + e, y, 2.3f + e});
    }
    return points;
}

}  // namespace

TEST(FilterErosion, CountsTheSurfacesBeyondTheDivisionOnly) {
    std::vector<FilterErosion::Point> strays;
    for (int k = 0; k < 40; ++k) strays.push_back({0.23f, -0.14f + 0.007f * k, 2.5f - 0.02f * (k % 5)});
    struct Case {
        const char* name;
        std::vector<FilterErosion::Point> taken;
        float grow;  // the station's correction of the side along x
        bool counted;
    } cases[] = {
        {"a flank 6 to 30 mm beyond", Flank(0.006f, 0.03f), 0.0f, true},
        {"a flank within the division", Flank(0.0f, 0.004f), 0.0f, false},
        {"a flank the correction covers", Flank(0.006f, 0.03f), 0.08f, false},
        {"scattered strays", strays, 0.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FilterErosion erosion(c.taken, kBase, c.grow, 0.0f, kPitch, 0.005f);
        EXPECT_EQ(erosion.Count() > 0, c.counted) << erosion.Count();
        if (c.counted) EXPECT_NEAR(erosion.Farthest(), 0.03f, kPitch);
    }
}
