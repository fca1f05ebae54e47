#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "measure/OcTreeHits.h"

namespace {

using Leaf = std::tuple<double, double, double, double, float>;

std::vector<Leaf> Leaves(const octomap::OcTree& tree) {
    std::vector<Leaf> leaves;
    for (auto it = tree.begin(), end = tree.end(); it != end; ++it) {
        leaves.emplace_back(it.getX(), it.getY(), it.getZ(), it.getSize(), it->getLogOdds());
    }
    std::sort(leaves.begin(), leaves.end());
    return leaves;
}

int MergedLeaves(const std::vector<Leaf>& leaves, double res) {
    return static_cast<int>(std::count_if(
        leaves.begin(), leaves.end(), [res](const Leaf& l) { return std::get<3>(l) > 1.5 * res; }));
}

// Inserting point by point, as the tree is meant to be filled, and batching
// the hits per cell must give the same leaves: same cells, sizes and values.
// The hits sort one way when their cells' box holds fewer cells than hits
// and another way when it is wider.
TEST(OcTreeHitsTest, BatchedHitsBuildTheSameTreeAsSingleHits) {
    struct Case {
        unsigned seed;
        int yCells;  // cells along y the points spread over
    };
    for (const Case& c : {Case{1u, 8}, Case{2u, 8}, Case{3u, 8}, Case{4u, 3000}, Case{5u, 30000}}) {
        const unsigned seed = c.seed;
        std::mt19937 random(seed);
        // A small block so that cells get many hits, reach the clamp and merge,
        // with some cells hit only a few times so that merges also fail.
        std::uniform_int_distribution<int> dense(0, 3);
        std::uniform_int_distribution<int> sparse(4, 7);
        std::uniform_int_distribution<int> cell(0, 7);
        std::uniform_int_distribution<int> row(0, c.yCells - 1);
        std::uniform_real_distribution<float> within(0.05f, 0.95f);
        const float res = 0.02f;
        std::vector<std::array<float, 3>> points;
        for (int i = 0; i < 4000; ++i) {
            const int x = i % 10 == 0 ? sparse(random) : dense(random);
            points.push_back({(x + within(random)) * res - 0.08f,
                              (row(random) + within(random)) * res,
                              (cell(random) / 2 + within(random)) * res + 1.0f});
        }

        octomap::OcTree single(res);
        octomap::OcTree singleFlat(res);
        for (const auto& p : points) {
            single.updateNode(octomap::point3d(p[0], p[1], p[2]), true, false);
            singleFlat.updateNode(octomap::point3d(p[0], p[1], 0.0f), true, false);
        }
        octomap::OcTree batched(res);
        octomap::OcTree batchedFlat(res);
        OcTreeHits hits(batched);
        for (const auto& p : points) {
            ASSERT_TRUE(hits.add(p[0], p[1], p[2]));
        }
        hits.applyTo(batched);
        // The same hits, each at z = 0: the footprint of the points.
        hits.applyFlatTo(batchedFlat);

        const std::vector<Leaf> expected = Leaves(single);
        if (c.yCells == 8) {
            EXPECT_GT(MergedLeaves(expected, res), 0) << "the data should exercise merging";
            EXPECT_LT(MergedLeaves(expected, res), static_cast<int>(expected.size()));
        }
        EXPECT_EQ(Leaves(batched), expected) << seed;
        EXPECT_EQ(Leaves(batchedFlat), Leaves(singleFlat)) << seed;
    }
}

TEST(OcTreeHitsTest, PointsBeyondTheTreeAreRefused) {
    octomap::OcTree tree(0.01);
    OcTreeHits hits(tree);
    EXPECT_TRUE(hits.add(327.0f, -327.0f, 0.0f));
    EXPECT_FALSE(hits.add(328.0f, 0.0f, 0.0f));
    EXPECT_FALSE(hits.add(0.0f, -1e30f, 0.0f));
    hits.applyTo(tree);
    EXPECT_EQ(tree.getNumLeafNodes(), 1u);
}

// Points given side by side are recorded, or refused, as one by one: the
// same cells and values in the tree.
TEST(OcTreeHitsTest, PointsSideBySideAsOneByOne) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Point {
        float x, y, z;
    };
    std::vector<Point> points = {{327.0f, -327.0f, 0.0f}, {328.0f, 0.0f, 0.0f},
                                 {0.0f, -1e30f, 0.0f},    {nan, 0.0f, 0.0f},
                                 {0.0f, 0.0f, inf},       {-327.68f, 0.0f, 327.67f},
                                 {-0.0f, 0.005f, -0.005f}};
    // A run longer than the batch's own, over the cells of a small block.
    for (int i = 0; i < 600; ++i) {
        points.push_back({0.001f * static_cast<float>(i % 37), 0.002f * static_cast<float>(i % 11),
                          -0.003f * static_cast<float>(i % 7)});
    }
    std::vector<float> x, y, z;
    for (const Point& p : points) {
        x.push_back(p.x);
        y.push_back(p.y);
        z.push_back(p.z);
    }
    octomap::OcTree single(0.01);
    octomap::OcTree batched(0.01);
    OcTreeHits one(single);
    OcTreeHits all(batched);
    std::vector<char> expected;
    for (const Point& p : points) expected.push_back(one.add(p.x, p.y, p.z));
    std::unique_ptr<bool[]> recorded(new bool[points.size()]);
    all.add(x.data(), y.data(), z.data(), points.size(), recorded.get());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(recorded[i], expected[i] != 0) << "point " << i;
    }
    one.applyTo(single);
    all.applyTo(batched);
    EXPECT_EQ(Leaves(batched), Leaves(single));
}

}  // namespace
