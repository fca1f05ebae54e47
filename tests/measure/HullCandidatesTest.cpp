// The hull's candidate points and the package volume from them, against the
// hull library on every point (flat, repeated and exact-faced clouds are in
// the package volume's table).
#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ReferenceHull.h"
#include "ScanCloud.h"
#include "measure/HullCandidates.h"
#include "measure/HullVolume.h"

namespace {

using Place = std::array<float, 3>;

Place PlaceOf(const pcl::PointXYZRGB& p) { return {p.x, p.y, p.z}; }

/// The vertices of the library's hull of every point.
std::set<Place> HullVertices(const PointCloudRGBPtr& cloud) {
    std::set<Place> places;
    for (const auto& p : ReferenceHullOf(cloud).vertices.points) places.insert(PlaceOf(p));
    return places;
}

/// Points on the faces of an a x b x c box turned about z by `turn`, each
/// moved by normal noise of `noise` along every axis.
std::vector<pcl::PointXYZRGB> BoxFaces(std::size_t n, float a, float b, float c, float turn,
                                       float noise, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::normal_distribution<float> jitter(0.0f, noise > 0 ? noise : 1.0f);
    std::vector<pcl::PointXYZRGB> points;
    for (std::size_t i = 0; i < n; ++i) {
        float p[3] = {a * unit(random), b * unit(random), c * unit(random)};
        const float size[3] = {a, b, c};
        const int axis = static_cast<int>(i % 3);
        p[axis] = (i / 3) % 2 ? size[axis] : 0.0f;
        const float x = std::cos(turn) * p[0] - std::sin(turn) * p[1];
        const float y = std::sin(turn) * p[0] + std::cos(turn) * p[1];
        const float z = p[2];
        const auto shake = [&] { return noise > 0 ? jitter(random) : 0.0f; };
        points.push_back(MakePoint(x + shake(), y + shake(), z + shake()));
    }
    return points;
}

/// A box's faces sampled on a grid of `steps` per edge: many points share a
/// face, an edge or a plane of the grid exactly.
std::vector<pcl::PointXYZRGB> GridBox(int steps, float edge) {
    std::vector<pcl::PointXYZRGB> points;
    for (int i = 0; i <= steps; ++i) {
        for (int j = 0; j <= steps; ++j) {
            for (int k = 0; k <= steps; ++k) {
                if (i == 0 || j == 0 || k == 0 || i == steps || j == steps || k == steps) {
                    points.push_back(
                        MakePoint(edge * i / steps, edge * j / steps, 0.5f * edge * k / steps));
                }
            }
        }
    }
    return points;
}

struct HullCase {
    std::string name;
    std::vector<pcl::PointXYZRGB> points;
    bool generic;  // no four points of the hull on one plane: its vertices are certain
    bool fewer;    // most points lie inside, and the candidates are far fewer
};

std::vector<HullCase> Cases() {
    std::vector<HullCase> cases;
    cases.push_back(
        {"noisy turned box", BoxFaces(60000, 0.6f, 0.4f, 0.3f, 0.4f, 0.002f, 1), true, true});
    cases.push_back({"grid box", GridBox(40, 1.0f), false, true});

    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<pcl::PointXYZRGB> ball, sphere, far;
    for (int i = 0; i < 20000; ++i) {
        const float x = unit(random), y = unit(random), z = unit(random);
        ball.push_back(MakePoint(x, y, z));
        const float r = std::sqrt(x * x + y * y + z * z);
        if (r > 0.1f) sphere.push_back(MakePoint(x / r, y / r, z / r));
        far.push_back(MakePoint(1000.0f + 0.2f * x, -500.0f + 0.3f * y, 2.5f + 0.1f * z));
    }
    cases.push_back({"solid ball of a cube", ball, true, true});
    cases.push_back({"points on a sphere", sphere, true, false});
    cases.push_back({"far from the origin", far, true, true});

    // Goods doubled by their projection onto the pallet's plane, as the cut leaves them.
    std::vector<pcl::PointXYZRGB> doubled = BoxFaces(20000, 0.5f, 0.3f, 0.4f, 0.7f, 0.001f, 4);
    const std::size_t half = doubled.size();
    for (std::size_t i = 0; i < half; ++i) {
        doubled.push_back(MakePoint(doubled[i].x, doubled[i].y, 0.45f));
    }
    cases.push_back({"goods and their projection", doubled, false, true});

    // An axis-parallel box: its corners, its only vertices, lie where no
    // sampled face point reaches, between the points the coarse rounds read.
    std::vector<pcl::PointXYZRGB> cornered = BoxFaces(40000, 0.5f, 0.4f, 0.3f, 0.0f, 0.0f, 9);
    for (int i = 0; i < 8; ++i) {
        cornered[1001 + 4099 * static_cast<std::size_t>(i)] =
            MakePoint(i & 1 ? 0.5f : 0.0f, i & 2 ? 0.4f : 0.0f, i & 4 ? 0.3f : 0.0f);
    }
    cases.push_back({"axis-parallel box and its corners", cornered, true, true});

    const auto scan = ScanCloud(ScanScene::BoxOnPallet(30.0), 60000);
    cases.push_back({"box on a pallet", {scan->points.begin(), scan->points.end()}, true, true});
    return cases;
}

TEST(HullCandidatesTest, KeepEveryVertexAndTheVolume) {
    for (const HullCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const PointCloudRGBPtr cloud = MakeCloud(c.points);
        const std::vector<std::uint32_t> kept = HullCandidates::Of(*cloud);
        ASSERT_FALSE(kept.empty());
        for (std::size_t i = 1; i < kept.size(); ++i) ASSERT_LT(kept[i - 1], kept[i]);
        ASSERT_LT(kept.back(), c.points.size());
        if (c.fewer) {
            EXPECT_LT(kept.size(), c.points.size() / 4) << kept.size();
        }

        std::vector<pcl::PointXYZRGB> candidates;
        std::set<Place> candidatePlaces;
        for (const std::uint32_t i : kept) {
            candidates.push_back(c.points[i]);
            candidatePlaces.insert(PlaceOf(c.points[i]));
        }
        if (c.generic) {
            for (const Place& v : HullVertices(cloud)) {
                EXPECT_EQ(candidatePlaces.count(v), 1u) << v[0] << " " << v[1] << " " << v[2];
            }
        }
        // Same solid: the volumes differ only in the rounding of the library's sums.
        const double all = HullVolume::Of(*cloud);
        const double some = HullVolume::Of(*MakeCloud(candidates));
        EXPECT_NEAR(some, all, 1e-12 * std::fabs(all) + 1e-18);
        EXPECT_EQ(HullVolume::Rounded(*cloud), static_cast<float>(all));
    }
    EXPECT_TRUE(HullCandidates::Of(PointCloudRGB()).empty());
}

}  // namespace
