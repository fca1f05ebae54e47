#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BruteForce.h"
#include "MpqReal.h"
#include "PointSets.h"
#include "geom/BSRational.h"
#include "geom/ConvexHull2.h"
#include "geom/UIntegerAP32.h"

namespace {

using geomtest::MpqReal;
using geomtest::Point;
using Rational = geom::BSRational<geom::UIntegerAP32>;

template <typename Hull>
std::vector<int32_t> FastHull(std::vector<Point> const& p, Hull& hull) {
    hull(static_cast<int32_t>(p.size()), p.data(), 0.0f);
    return hull.GetHull();
}

template <typename Hull>
std::vector<int32_t> ReferenceHull(std::vector<Point> const& p, Hull& hull) {
    hull.ComputeReference(static_cast<int32_t>(p.size()), p.data(), 0.0f);
    return hull.GetHull();
}

// The product's exact type and an independent GMP one.
template <typename ComputeType>
class ConvexHull2 : public ::testing::Test {
public:
    using Hull = geom::ConvexHull2<float, ComputeType>;
};
using ComputeTypes = ::testing::Types<Rational, MpqReal>;
TYPED_TEST_SUITE(ConvexHull2, ComputeTypes);

TYPED_TEST(ConvexHull2, FewerThanThreeOrEqualPointsArePointLike) {
    using Hull = typename TestFixture::Hull;
    Hull hull;
    std::vector<Point> const two = {Point{0.0f, 0.0f}, Point{1.0f, 1.0f}};
    EXPECT_FALSE(hull(2, two.data(), 0.0f));
    EXPECT_EQ(hull.GetDimension(), 0);
    EXPECT_TRUE(hull.GetHull().empty());
    EXPECT_FALSE(hull(0, nullptr, 0.0f));
    EXPECT_FALSE(hull(5, nullptr, 0.0f));

    std::vector<Point> const same(7, Point{3.5f, -2.0f});
    EXPECT_FALSE(hull(7, same.data(), 0.0f));
    EXPECT_EQ(hull.GetDimension(), 0);
    EXPECT_TRUE(hull.GetHull().empty());
}

TYPED_TEST(ConvexHull2, AxisParallelPointsAreOneDimensional) {
    using Hull = typename TestFixture::Hull;
    std::vector<Point> const p = {Point{0, 0}, Point{1, 0}, Point{2, 0}, Point{5, 0}};
    Hull hull;
    EXPECT_FALSE(hull(4, p.data(), 0.0f));
    EXPECT_EQ(hull.GetDimension(), 1);
    EXPECT_EQ(hull.GetLine().origin, (Point{0, 0}));
    EXPECT_EQ(hull.GetLine().direction, (Point{1, 0}));
    EXPECT_TRUE(hull.GetHull().empty());
}

TYPED_TEST(ConvexHull2, SquareTwiceWithCentreStartsAtUpperBridge) {
    using Hull = typename TestFixture::Hull;
    std::vector<Point> const p = {Point{0, 0}, Point{1, 0}, Point{1, 1},
                                  Point{0, 1}, Point{0, 0}, Point{1, 0},
                                  Point{1, 1}, Point{0, 1}, Point{0.5f, 0.5f}};
    std::vector<int32_t> const expected = {3, 0, 1, 2};
    Hull hull;
    EXPECT_TRUE(hull(9, p.data(), 0.0f));
    EXPECT_EQ(hull.GetDimension(), 2);
    EXPECT_EQ(hull.GetHull(), expected);
    EXPECT_EQ(hull.GetNumUniquePoints(), 5);
    EXPECT_EQ(ReferenceHull(p, hull), expected);
    EXPECT_EQ(hull.GetNumUniquePoints(), 5);
}

TYPED_TEST(ConvexHull2, PointsOnEdgesAndSignedZerosAreNotVertices) {
    using Hull = typename TestFixture::Hull;
    std::vector<Point> const p = {Point{-0.0f, 0}, Point{1, 0},     Point{0.5f, 0}, Point{1, 1},
                                  Point{0, 1},     Point{0, -0.0f}, Point{0, 0.25f}};
    Hull hull;
    std::vector<int32_t> const fast = FastHull(p, hull);
    EXPECT_EQ(hull.GetNumUniquePoints(), 6);
    EXPECT_EQ(fast.size(), 4u);
    EXPECT_EQ(fast, ReferenceHull(p, hull));
    for (int32_t index : fast) {
        EXPECT_NE(index, 2);
        EXPECT_NE(index, 5);
        EXPECT_NE(index, 6);
    }
}

TYPED_TEST(ConvexHull2, ExactlyCollinearPlanarSetHasTwoVertices) {
    using Hull = typename TestFixture::Hull;
    // Integer steps along a slanted line: the float distances from the line are not all 0, so
    // the classification calls such a set planar while its exact hull is the segment.
    std::mt19937 rng(7);
    int32_t planarSeen = 0;
    for (int32_t trial = 0; trial < 300; ++trial) {
        std::vector<Point> const p = geomtest::MakeExactlyCollinear(rng, 12);
        Hull hull;
        if (!hull(static_cast<int32_t>(p.size()), p.data(), 0.0f)) {
            continue;
        }
        ++planarSeen;
        std::vector<int32_t> const fast = hull.GetHull();
        ASSERT_EQ(fast.size(), 2u);
        auto const extremes = std::minmax_element(p.begin(), p.end());
        EXPECT_EQ(p[fast[0]], *extremes.first);
        EXPECT_EQ(p[fast[1]], *extremes.second);
        EXPECT_EQ(ReferenceHull(p, hull), fast);
    }
    EXPECT_GT(planarSeen, 10);
}

TYPED_TEST(ConvexHull2, NonFiniteCoordinatesOfPlanarSetFailConversion) {
    using Hull = typename TestFixture::Hull;
    float const nan = std::numeric_limits<float>::quiet_NaN();
    float const inf = std::numeric_limits<float>::infinity();
    std::vector<Point> p = {Point{0, 0}, Point{1, 0}, Point{0, 1}, Point{5, inf}, Point{nan, 2}};
    Hull hull;
    try {
        hull(5, p.data(), 0.0f);
        FAIL() << "no failure";
    } catch (std::runtime_error const& e) {
        EXPECT_EQ(std::string(e.what()), "BSNumber does not have a representation for infinities.");
    }
    p[3] = Point{5, 5};
    try {
        hull.ComputeReference(5, p.data(), 0.0f);
        FAIL() << "no failure";
    } catch (std::runtime_error const& e) {
        EXPECT_EQ(std::string(e.what()), "BSNumber does not have a representation for NaNs.");
    }
}

// The filtered fast construction must give exactly the list the plain divide and conquer
// gives, and both the strict hull that brute force finds.
TYPED_TEST(ConvexHull2, FastPathMatchesReferenceAndBruteForce) {
    using Hull = typename TestFixture::Hull;
    std::mt19937 rng(2024);
    for (auto const& family : geomtest::Families()) {
        for (int32_t trial = 0; trial < 40; ++trial) {
            int32_t const n = 3 + static_cast<int32_t>(rng() % 28);
            std::vector<Point> const p = family.make(rng, n);
            SCOPED_TRACE(family.name + " trial " + std::to_string(trial));
            Hull fast, reference;
            bool const planar = fast(static_cast<int32_t>(p.size()), p.data(), 0.0f);
            ASSERT_EQ(planar,
                      reference.ComputeReference(static_cast<int32_t>(p.size()), p.data(), 0.0f));
            ASSERT_EQ(fast.GetDimension(), reference.GetDimension());
            EXPECT_EQ(fast.GetLine().origin, reference.GetLine().origin);
            EXPECT_EQ(fast.GetLine().direction, reference.GetLine().direction);
            ASSERT_EQ(fast.GetHull(), reference.GetHull());
            if (!planar) {
                continue;
            }
            EXPECT_EQ(fast.GetNumUniquePoints(), reference.GetNumUniquePoints());

            // Same cycle as brute force, and the smallest index of equal points is listed.
            std::vector<geomtest::ExactPoint> const expected = geomtest::BruteForceHull(p);
            std::vector<int32_t> const& h = fast.GetHull();
            ASSERT_EQ(h.size(), expected.size());
            size_t offset = 0;
            while (offset < h.size() && !(geomtest::ToExact(p[h[offset]]) == expected[0])) {
                ++offset;
            }
            ASSERT_LT(offset, h.size());
            for (size_t k = 0; k < h.size(); ++k) {
                int32_t const index = h[(offset + k) % h.size()];
                EXPECT_TRUE(geomtest::ToExact(p[index]) == expected[k]);
                for (int32_t i = 0; i < index; ++i) {
                    EXPECT_FALSE(p[i] == p[index]);
                }
            }
            std::vector<geom::Vector<2, TypeParam>> const exact = fast.GetHullPoints();
            ASSERT_EQ(exact.size(), h.size());
            for (size_t k = 0; k < h.size(); ++k) {
                EXPECT_TRUE(exact[k][0] == TypeParam(p[h[k]][0]));
                EXPECT_TRUE(exact[k][1] == TypeParam(p[h[k]][1]));
            }
        }
    }
}

TYPED_TEST(ConvexHull2, FastPathMatchesReferenceOnLargerSets) {
    using Hull = typename TestFixture::Hull;
    std::mt19937 rng(99);
    for (auto const& family : geomtest::Families()) {
        for (int32_t trial = 0; trial < 6; ++trial) {
            int32_t const n = 200 + static_cast<int32_t>(rng() % 3000);
            std::vector<Point> p = family.make(rng, n);
            SCOPED_TRACE(family.name + " trial " + std::to_string(trial));
            // Also with the first half of the points repeated, which moves the median of the
            // distinct points away from the median of all points.
            for (int32_t copies = 1; copies <= 2; ++copies) {
                if (copies == 2) {
                    p.insert(p.end(), p.begin(), p.begin() + p.size() / 2);
                }
                Hull fast, reference;
                fast(static_cast<int32_t>(p.size()), p.data(), 0.0f);
                reference.ComputeReference(static_cast<int32_t>(p.size()), p.data(), 0.0f);
                ASSERT_EQ(fast.GetDimension(), reference.GetDimension());
                ASSERT_EQ(fast.GetHull(), reference.GetHull());
                ASSERT_EQ(fast.GetNumUniquePoints(), reference.GetNumUniquePoints());
            }
        }
    }
}

}  // namespace
