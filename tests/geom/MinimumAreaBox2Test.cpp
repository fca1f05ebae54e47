#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "BruteForce.h"
#include "MpqReal.h"
#include "PointSets.h"
#include "geom/BSRational.h"
#include "geom/MinimumAreaBox2.h"
#include "geom/UIntegerAP32.h"

namespace {

using geomtest::MpqReal;
using geomtest::Point;
using Rational = geom::BSRational<geom::UIntegerAP32>;
using Box = geom::OrientedBox<2, float>;

template <typename BoxFinder>
Box FindBox(BoxFinder& finder, std::vector<Point> const& p, bool calipers = true) {
    return finder(static_cast<int32_t>(p.size()), p.data(), calipers);
}

void ExpectAxesTurnedExactly(Box const& box) {
    EXPECT_EQ(box.axis[1][0], -box.axis[0][1]);
    EXPECT_EQ(box.axis[1][1], box.axis[0][0]);
}

// Every point within the rectangle, allowing for the rounding of centre, axes and extents.
void ExpectContainsAll(Box const& box, std::vector<Point> const& p) {
    double scale = 0.0;
    for (auto const& q : p) {
        scale = std::max({scale, std::fabs(double(q[0])), std::fabs(double(q[1]))});
    }
    double const tolerance = 1e-5 * scale;
    for (auto const& q : p) {
        for (int32_t d = 0; d < 2; ++d) {
            double const t = (double(q[0]) - box.center[0]) * box.axis[d][0] +
                             (double(q[1]) - box.center[1]) * box.axis[d][1];
            EXPECT_LE(std::fabs(t), box.extent[d] + tolerance);
        }
    }
}

// The product's exact type and an independent GMP one.
template <typename ComputeType>
class MinimumAreaBox2 : public ::testing::Test {
public:
    using BoxFinder = geom::MinimumAreaBox2<float, ComputeType>;
};
using ComputeTypes = ::testing::Types<Rational, MpqReal>;
TYPED_TEST_SUITE(MinimumAreaBox2, ComputeTypes);

TYPED_TEST(MinimumAreaBox2, OnePointOrEqualPointsGiveZeroBoxAtFirstPoint) {
    using BoxFinder = typename TestFixture::BoxFinder;
    BoxFinder finder;
    for (int32_t n : {1, 2, 9}) {
        std::vector<Point> const p(n, Point{1.5f, -2.25f});
        Box const box = FindBox(finder, p);
        EXPECT_EQ(box.center, (Point{1.5f, -2.25f}));
        EXPECT_EQ(box.extent, (Point{0, 0}));
        EXPECT_EQ(box.axis[0], (Point{1, 0}));
        EXPECT_EQ(box.axis[1], (Point{0, 1}));
        EXPECT_EQ(finder.GetHull(), std::vector<int32_t>{0});
    }
}

TYPED_TEST(MinimumAreaBox2, TwoDistinctPointsGiveTheirSegment) {
    using BoxFinder = typename TestFixture::BoxFinder;
    BoxFinder finder;
    std::vector<Point> const p = {Point{3, 4}, Point{-1, 7}};
    Box const box = FindBox(finder, p);
    EXPECT_NEAR(box.center[0], 1.0f, 1e-6f);
    EXPECT_NEAR(box.center[1], 5.5f, 1e-6f);
    EXPECT_NEAR(box.extent[0], 2.5f, 1e-6f);
    EXPECT_EQ(box.extent[1], 0.0f);
    EXPECT_NEAR(box.axis[0][0], 0.8f, 1e-6f);
    EXPECT_NEAR(box.axis[0][1], -0.6f, 1e-6f);
}

TYPED_TEST(MinimumAreaBox2, NoPointsGiveZeroBoxAtOrigin) {
    using BoxFinder = typename TestFixture::BoxFinder;
    BoxFinder finder;
    Box const box = finder(0, nullptr, true);
    EXPECT_EQ(box.center, (Point{0, 0}));
    EXPECT_EQ(box.extent, (Point{0, 0}));
    EXPECT_EQ(box.axis[0], (Point{1, 0}));
    EXPECT_EQ(box.axis[1], (Point{0, 1}));
    EXPECT_TRUE(finder.GetHull().empty());
    Point const one{2, 2};
    EXPECT_EQ(finder(-3, &one, true).extent, (Point{0, 0}));
}

TYPED_TEST(MinimumAreaBox2, AxisParallelLineGivesSegment) {
    using BoxFinder = typename TestFixture::BoxFinder;
    BoxFinder finder;
    std::vector<Point> const p = {Point{0, 0}, Point{4, 0}, Point{1, 0}};
    Box const box = FindBox(finder, p);
    EXPECT_EQ(box.axis[0], (Point{1, 0}));
    EXPECT_EQ(box.axis[1], (Point{0, 1}));
    EXPECT_EQ(box.extent, (Point{2, 0}));
    EXPECT_EQ(box.center, (Point{2, 0}));
    EXPECT_EQ(finder.GetHull(), (std::vector<int32_t>{0, 1}));
}

TYPED_TEST(MinimumAreaBox2, ExactlyCollinearPlanarSetGivesSegment) {
    using BoxFinder = typename TestFixture::BoxFinder;
    // Float classification finds these planar; their exact hull is a segment.
    std::mt19937 rng(7);
    int32_t seen = 0;
    for (int32_t trial = 0; trial < 300 && seen < 20; ++trial) {
        std::vector<Point> const p = geomtest::MakeExactlyCollinear(rng, 12);
        geom::ConvexHull2<float, TypeParam> hull;
        if (!hull(static_cast<int32_t>(p.size()), p.data(), 0.0f)) {
            continue;
        }
        ++seen;
        BoxFinder finder;
        Box const box = FindBox(finder, p);
        EXPECT_EQ(box.extent[1], 0.0f);
        ExpectAxesTurnedExactly(box);
        ASSERT_EQ(finder.GetHull().size(), 2u);
        auto const extremes = std::minmax_element(p.begin(), p.end());
        float const length = std::hypot((*extremes.second)[0] - (*extremes.first)[0],
                                        (*extremes.second)[1] - (*extremes.first)[1]);
        EXPECT_NEAR(2.0f * box.extent[0], length, 1e-5f * length);
        ExpectContainsAll(box, p);
    }
    EXPECT_GT(seen, 10);
}

TYPED_TEST(MinimumAreaBox2, FourByTwoRectangleWithInteriorEdgeAndRepeatedPoints) {
    using BoxFinder = typename TestFixture::BoxFinder;
    std::vector<Point> p = {Point{0, 0}, Point{4, 0}, Point{4, 2},
                            Point{0, 2}, Point{1, 1}, Point{3, 0.5f}};
    BoxFinder finder;
    Box const box = FindBox(finder, p);
    std::array<float, 2> extents{box.extent[0], box.extent[1]};
    std::sort(extents.begin(), extents.end());
    EXPECT_EQ(extents[0], 1.0f);
    EXPECT_EQ(extents[1], 2.0f);
    EXPECT_EQ(finder.GetArea(), 8.0f);
    EXPECT_EQ(box.center, (Point{2, 1}));
    std::array<Point, 4> corners;
    box.GetVertices(corners);
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_NE(std::find(p.begin(), p.begin() + 4, corners[i]), p.begin() + 4) << i;
    }
    // 0, 1, 3, 2 goes round counterclockwise.
    std::array<int32_t, 4> const round = {0, 1, 3, 2};
    for (int32_t k = 0; k < 4; ++k) {
        Point const& a = corners[round[k]];
        Point const& b = corners[round[(k + 1) % 4]];
        Point const& c = corners[round[(k + 2) % 4]];
        EXPECT_GT(geom::DotPerp(b - a, c - b), 0.0f);
    }

    // Points on the edges and repeats change nothing.
    p.insert(p.end(), {Point{2, 0}, Point{4, 1}, Point{0, 0}, Point{4, 2}, Point{1, 2}});
    Box const again = FindBox(finder, p);
    EXPECT_EQ(again.center, box.center);
    EXPECT_EQ(again.extent, box.extent);
    EXPECT_EQ(again.axis[0], box.axis[0]);
    EXPECT_EQ(finder.GetArea(), 8.0f);
}

// An octagon with four exactly equal least rectangles: the calipers keep the first one met
// when walking the hull edges counterclockwise from the edge that ends at hull vertex 0.
TYPED_TEST(MinimumAreaBox2, EqualRectanglesKeepTheFirstMet) {
    using BoxFinder = typename TestFixture::BoxFinder;
    std::vector<Point> const p = {Point{2, -1},  Point{2, 1},  Point{1, 2},
                                  Point{-1, 2},  Point{-2, 1}, Point{-2, -1},
                                  Point{-1, -2}, Point{1, -2}, Point{0, 0}};
    for (bool calipers : {true, false}) {
        BoxFinder finder;
        Box const box = FindBox(finder, p, calipers);
        EXPECT_EQ(finder.GetArea(), 16.0f);
        std::vector<int32_t> const& hull = finder.GetHull();
        ASSERT_EQ(hull.size(), 8u);
        size_t k = 0;
        Point edge;
        do {
            edge = p[hull[k]] - p[hull[(k + hull.size() - 1) % hull.size()]];
            ++k;
        } while (edge[0] != 0.0f && edge[1] != 0.0f);
        geom::Normalize(edge);
        EXPECT_EQ(box.axis[0], edge) << "calipers " << calipers;
        ExpectAxesTurnedExactly(box);
    }
}

// Against brute force over all hull edges, with exact rationals; and both searches agree.
TYPED_TEST(MinimumAreaBox2, LeastAreaOverHullEdgesContainingAllPoints) {
    using BoxFinder = typename TestFixture::BoxFinder;
    std::mt19937 rng(31);
    for (auto const& family : geomtest::Families()) {
        for (int32_t trial = 0; trial < 25; ++trial) {
            int32_t const n = 3 + static_cast<int32_t>(rng() % 25);
            std::vector<Point> const p = family.make(rng, n);
            SCOPED_TRACE(family.name + " trial " + std::to_string(trial));
            geom::ConvexHull2<float, TypeParam> hull;
            if (!hull(static_cast<int32_t>(p.size()), p.data(), 0.0f) ||
                hull.GetHull().size() < 3) {
                continue;
            }
            BoxFinder calipers, exhaustive;
            Box const box = FindBox(calipers, p, true);
            Box const other = FindBox(exhaustive, p, false);
            mpq_class const least = geomtest::BruteForceMinArea(geomtest::BruteForceHull(p));
            EXPECT_EQ(calipers.GetArea(), geomtest::RoundToFloat(least));
            EXPECT_EQ(exhaustive.GetArea(), calipers.GetArea());
            EXPECT_EQ(calipers.GetHull(), hull.GetHull());
            ExpectAxesTurnedExactly(box);
            ExpectAxesTurnedExactly(other);
            EXPECT_NEAR(std::hypot(box.axis[0][0], box.axis[0][1]), 1.0f, 1e-6f);
            EXPECT_GE(box.extent[0], 0.0f);
            EXPECT_GE(box.extent[1], 0.0f);
            ExpectContainsAll(box, p);
        }
    }
}

// Two independent exact types must give bit-identical rectangles.
TEST(MinimumAreaBox2Exact, RationalAndGmpGiveIdenticalRectangles) {
    std::mt19937 rng(77);
    for (auto const& family : geomtest::Families()) {
        for (int32_t trial = 0; trial < 20; ++trial) {
            std::vector<Point> const p = family.make(rng, 3 + static_cast<int32_t>(rng() % 200));
            SCOPED_TRACE(family.name + " trial " + std::to_string(trial));
            geom::MinimumAreaBox2<float, Rational> product;
            geom::MinimumAreaBox2<float, MpqReal> oracle;
            Box const a = FindBox(product, p);
            Box const b = FindBox(oracle, p);
            EXPECT_EQ(a.center, b.center);
            EXPECT_EQ(a.axis[0], b.axis[0]);
            EXPECT_EQ(a.axis[1], b.axis[1]);
            EXPECT_EQ(a.extent, b.extent);
            EXPECT_EQ(product.GetHull(), oracle.GetHull());
            EXPECT_EQ(product.GetSupport(), oracle.GetSupport());
            EXPECT_EQ(product.GetArea(), oracle.GetArea());
        }
    }
}

}  // namespace
