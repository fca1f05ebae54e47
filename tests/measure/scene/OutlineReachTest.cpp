// How far the goods' surface reaches beyond a box fitted on what the filter
// kept: rows of a face it took, or a foot below the cut, all along a side
// make the box short; strays and a line of mixed pixels do not.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "measure/scene/OutlineReach.h"

namespace {

using Point = OutlineReach::Point;
constexpr float kPitch = 0.005f;
constexpr float kFace = 2.3f;

/// A 0.4 x 0.3 m face round the origin grown by `rows` pitches each way; the
/// points of the outer `rows` go to `outer`, the rest to `inner`.
void Face(int rows, std::vector<Point>& inner, std::vector<Point>& outer) {
    for (int i = -40 - rows; i <= 40 + rows; ++i) {
        for (int j = -30 - rows; j <= 30 + rows; ++j) {
            const Point p = {i * kPitch, j * kPitch, kFace};
            (std::abs(i) > 40 || std::abs(j) > 30 ? outer : inner).push_back(p);
        }
    }
}

const std::array<OutlineReach::Vector2, 4> kBase = {
    OutlineReach::Vector2{-0.2f, -0.15f}, {0.2f, -0.15f}, {0.2f, 0.15f}, {-0.2f, 0.15f}};

}  // namespace

TEST(OutlineReach, ShortWhereASurfaceRunsOnBeyondTheBoxAlongItsSides) {
    std::vector<Point> kept, outer;
    Face(0, kept, outer);
    std::vector<Point> strays, mixed;
    for (int k = 0; k < 30; ++k)
        strays.push_back({0.23f, -0.14f + 0.009f * k, kFace + 0.01f * (k % 3)});
    // One mixed pixel per row of the image below the +x edge, at depths between the face and the
    // floor.
    for (int j = -30; j <= 30; ++j)
        mixed.push_back({0.204f + 0.002f * (j % 4), j * kPitch, kFace + 0.03f * (1 + j % 5)});
    std::vector<Point> eroded, erodedOuter;
    Face(2, eroded, erodedOuter);
    struct Case {
        const char* name;
        std::vector<Point> beyond;
        float grow;  // the station's correction of both sides
        float short01, short12;
    } cases[] = {
        {"nothing beyond", {}, 0.0f, 0.0f, 0.0f},
        {"two rows taken all round", erodedOuter, 0.0f, 4 * kPitch, 4 * kPitch},
        {"two rows taken, the correction covers one", erodedOuter, 2 * kPitch, 2 * kPitch,
         2 * kPitch},
        {"strays beyond a side", strays, 0.0f, 0.0f, 0.0f},
        {"a line of mixed pixels below an edge", mixed, 0.0f, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OutlineReach reach(kBase, c.grow, c.grow, kPitch, c.beyond);
        reach.Judge(kept.size(), [&kept](std::size_t i) { return kept[i]; });
        EXPECT_NEAR(reach.Short01(), c.short01, kPitch / 2);
        EXPECT_NEAR(reach.Short12(), c.short12, kPitch / 2);
    }
}
