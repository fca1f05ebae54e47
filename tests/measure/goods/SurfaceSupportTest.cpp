#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "measure/FaceGrid.h"
#include "measure/goods/SurfaceSupport.h"

namespace {

constexpr float kPitch = 0.004f;
constexpr float kRadius = 3 * kPitch;
constexpr int kNeeded = 10;

}  // namespace

TEST(SurfaceSupport, FacesCarryTheirPointsMixedRowsAndStraysDoNot) {
    // A face of 0.2 x 0.2 m on the pixel grid, 2 mm noise; a row of mixed
    // pixels beyond its edge x = 0.1; strays.
    std::vector<face_grid::Point> points =
        face_grid::Rectangle(0.1f, 0.1f, 0.0f, 0.0f, 0.0f, 1.0f, kPitch, 0.002f, 5);
    const std::size_t face = points.size();
    face_grid::Append(points, face_grid::MixedRow(0.13f, 0.1f, 0.06f, 1.0f, 1.5f, kPitch, 6));
    const std::size_t mixed = points.size();
    points.push_back({0.5f, 0.5f, 1.0f});
    points.push_back({0.5f, 0.5f + kPitch, 1.0f});
    const SurfaceSupport support(points, kRadius, 0.2f);

    struct Probe {
        std::string name;
        face_grid::Point near;  // the point of the set nearest to this
        bool supported;
    };
    const std::vector<Probe> probes = {
        {"inside the face", {0.0f, 0.0f, 1.0f}, true},
        {"on its outline", {0.1f, 0.0f, 1.0f}, true},
        {"two pitches in from its corner", {0.1f - 2 * kPitch, 0.1f - 2 * kPitch, 1.0f}, true},
        {"a stray with one neighbour", {0.5f, 0.5f, 1.0f}, false},
    };
    for (const Probe& probe : probes) {
        SCOPED_TRACE(probe.name);
        std::size_t nearest = 0;
        float best = 1e9f;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const float d = std::hypot(points[i][0] - probe.near[0], points[i][1] - probe.near[1]) +
                            std::fabs(points[i][2] - probe.near[2]);
            if (d < best) {
                best = d;
                nearest = i;
            }
        }
        EXPECT_EQ(support.Supported(nearest, kNeeded), probe.supported);
    }
    int supportedMixed = 0;
    for (std::size_t i = face; i < mixed; ++i) supportedMixed += support.Supported(i, kNeeded);
    EXPECT_EQ(supportedMixed, 0);
    // Counting stops at the limit; a point is not its own neighbour.
    EXPECT_EQ(support.Neighbours(face / 2, 3), 3);
    EXPECT_EQ(support.Neighbours(points.size() - 1, 50), 1);
}

TEST(SurfaceSupport, FarCoordinatesAndEmptySets) {
    const std::vector<face_grid::Point> none;
    const SurfaceSupport empty(none, kRadius, 0.2f);
    const std::vector<face_grid::Point> far = {
        {-900.0f, 900.0f, 5.0f}, {-900.0f, 900.0f + kPitch, 5.0f}, {900.0f, -900.0f, 5.0f}};
    const SurfaceSupport support(far, kRadius, 0.2f);
    EXPECT_EQ(support.Neighbours(0, 10), 1);
    EXPECT_EQ(support.Neighbours(2, 10), 0);
}

TEST(SurfaceSupport, CountsAgreeWithComparingEveryPair) {
    // Cells counted into place (a compact cloud) and sorted (one point far
    // off makes the box too large to count into): the same neighbours.
    std::mt19937 random(11);
    std::uniform_real_distribution<float> across(-0.05f, 0.05f);
    std::uniform_real_distribution<float> depth(0.0f, 0.05f);
    std::vector<face_grid::Point> compact(600);
    for (auto& p : compact) p = {across(random), across(random), 1.0f + depth(random)};
    std::vector<face_grid::Point> spread = compact;
    spread.push_back({5000.0f, -5000.0f, 1.0f});
    const float depthReach = 0.02f;
    for (const auto* points : {&compact, &spread}) {
        const SurfaceSupport support(*points, kRadius, depthReach);
        for (std::size_t i = 0; i < points->size(); ++i) {
            int expected = 0;
            for (std::size_t j = 0; j < points->size(); ++j) {
                const auto& p = (*points)[i];
                const auto& q = (*points)[j];
                const float ex = q[0] - p[0], ey = q[1] - p[1];
                expected += j != i && ex * ex + ey * ey <= kRadius * kRadius &&
                            std::fabs(q[2] - p[2]) <= depthReach;
            }
            ASSERT_EQ(support.Neighbours(i, 1000), expected) << "point " << i;
            ASSERT_EQ(support.Neighbours(i, 3), std::min(expected, 3)) << "point " << i;
            ASSERT_EQ(SurfaceSupport::NeighboursAmong(*points, i, kRadius, depthReach, 1000),
                      expected);
            ASSERT_EQ(SurfaceSupport::NeighboursAmong(*points, i, kRadius, depthReach, 3),
                      std::min(expected, 3));
        }
        // Places anywhere: on the edges of the points' box, beyond it, far off.
        const std::vector<face_grid::Point> probes = {
            {-0.05f, -0.05f, 1.01f},        {0.05f, 0.05f, 1.04f},
            {0.05f + kRadius, 0.0f, 1.02f}, {0.0f, -0.05f - kRadius / 2, 1.0f},
            {-0.06f, 0.06f, 1.03f},         {40.0f, -40.0f, 1.0f}};
        for (const auto& p : probes) {
            int expected = 0;
            for (const auto& q : *points) {
                const float ex = q[0] - p[0], ey = q[1] - p[1];
                expected +=
                    ex * ex + ey * ey <= kRadius * kRadius && std::fabs(q[2] - p[2]) <= depthReach;
            }
            EXPECT_EQ(support.Near(p, 1000), expected) << p[0] << ", " << p[1];
        }
    }
}
