#include <pcl/common/point_tests.h>

#include <Eigen/Geometry>
#include <cmath>
#include <limits>

#include "MeasureTest.h"

namespace {

constexpr float kTol = 2e-5f;

class CalcInboundTest : public MeasureTest {
protected:
    /// A box of footprint 0.8 x 0.6 and height 0.5 (z from 1.0 to 1.5),
    /// sampled on a grid, turned by `angle` about z and moved by (dx, dy).
    static std::vector<pcl::PointXYZRGB> Box(float angle, float dx, float dy) {
        const Eigen::Affine3f move =
            Eigen::Translation3f(dx, dy, 0.0f) * Eigen::AngleAxisf(angle, Eigen::Vector3f::UnitZ());
        std::vector<pcl::PointXYZRGB> points;
        for (int i = 0; i <= 8; ++i) {
            for (int j = 0; j <= 6; ++j) {
                for (int k = 0; k <= 2; ++k) {
                    const Eigen::Vector3f q =
                        move * Eigen::Vector3f(0.1f * i, 0.1f * j, 1.0f + 0.25f * k);
                    points.push_back(Point(q.x(), q.y(), q.z()));
                }
            }
        }
        return points;
    }

    static Eigen::Vector3f Corner(const Cloud& c, int k) {
        return {c.GetInboundCorner(0, k), c.GetInboundCorner(1, k), c.GetInboundCorner(2, k)};
    }

    /// Corners go round a rectangle A..D at the lowest z, E..H above them at the highest.
    static void ExpectUprightBox(const Cloud& c, float zMin, float zMax) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(Corner(c, k).z(), zMin);
            EXPECT_EQ(Corner(c, k + 4).z(), zMax);
            EXPECT_EQ(Corner(c, k).head<2>(), Corner(c, k + 4).head<2>());
        }
        const Eigen::Vector2f a = Corner(c, 0).head<2>(), b = Corner(c, 1).head<2>();
        const Eigen::Vector2f cc = Corner(c, 2).head<2>(), d = Corner(c, 3).head<2>();
        EXPECT_NEAR((b - a).dot(cc - b), 0.0f, kTol);
        EXPECT_NEAR((cc - d).norm(), (b - a).norm(), kTol);
        EXPECT_NEAR((d - a).norm(), (cc - b).norm(), kTol);
    }

    /// The aligned copy holds every point with coordinates, in order, and the
    /// transform carries it back.
    static void ExpectAlignedCopy(const Cloud& c) {
        const auto& scan = c.getCloud()->points;
        const PointCloudRGBPtr copy = c.getAlignedCloud();
        const auto& aligned = copy->points;
        std::size_t j = 0;
        for (std::size_t i = 0; i < scan.size(); ++i) {
            if (!pcl::isFinite(scan[i])) {
                continue;
            }
            ASSERT_LT(j, aligned.size());
            const Eigen::Vector3f back = c.GetInboundTransform() * aligned[j].getVector3fMap();
            EXPECT_NEAR(back.x(), scan[i].x, kTol);
            EXPECT_NEAR(back.y(), scan[i].y, kTol);
            EXPECT_EQ(back.z(), scan[i].z);
            EXPECT_EQ(aligned[j].rgba, scan[i].rgba);
            ++j;
        }
        EXPECT_EQ(aligned.size(), j);
    }

    /// Extent of the aligned footprint along x and y.
    static Eigen::Vector2f AlignedExtent(const Cloud& c) {
        Eigen::Vector2f lo(1e9f, 1e9f), hi(-1e9f, -1e9f);
        const PointCloudRGBPtr aligned = c.getAlignedCloud();
        for (const auto& p : aligned->points) {
            if (std::isfinite(p.x)) {
                lo = lo.cwiseMin(Eigen::Vector2f(p.x, p.y));
                hi = hi.cwiseMax(Eigen::Vector2f(p.x, p.y));
            }
        }
        return hi - lo;
    }
};

TEST_F(CalcInboundTest, BoxInAnyTurnGivesTheSameSizesOnTheAxes) {
    for (float angle : {0.0f, 0.1f, 0.5f, 0.7853982f, 1.2f, 2.0f, -0.7f, 3.1f}) {
        SCOPED_TRACE(angle);
        Cloud c = CloudOf(Box(angle, 2.5f, -1.25f));
        c.CalcInbound();
        EXPECT_NEAR(c.GetH(), 0.5f, kTol);
        EXPECT_NEAR(c.GetL(), 0.8f, kTol);
        EXPECT_NEAR(c.GetW(), 0.6f, kTol);
        EXPECT_NEAR(c.GetVolInbound(), 0.24f, kTol);
        ExpectUprightBox(c, 1.0f, 1.5f);

        // Every corner of the turned box is a corner of the result.
        const Eigen::Affine3f move = Eigen::Translation3f(2.5f, -1.25f, 0.0f) *
                                     Eigen::AngleAxisf(angle, Eigen::Vector3f::UnitZ());
        for (Eigen::Vector3f expected :
             {Eigen::Vector3f(0, 0, 1), Eigen::Vector3f(0.8f, 0, 1), Eigen::Vector3f(0.8f, 0.6f, 1),
              Eigen::Vector3f(0, 0.6f, 1)}) {
            expected = move * expected;
            float nearest = 1e9f;
            for (int k = 0; k < 4; ++k) {
                nearest = std::min(nearest, (Corner(c, k) - expected).norm());
            }
            EXPECT_LT(nearest, kTol);
        }

        ExpectAlignedCopy(c);
        const Eigen::Vector2f extent = AlignedExtent(c);
        EXPECT_NEAR(extent.x() * extent.y(), 0.48f, 1e-4f);
        EXPECT_NEAR(std::max(extent.x(), extent.y()), 0.8f, kTol);
        EXPECT_GE(c.GetInboundAngle(), 0.0f);
        EXPECT_LE(c.GetInboundAngle(), 1.5707964f);
    }
}

TEST_F(CalcInboundTest, AxisParallelBoxIsNotTurned) {
    // Whichever corner the rectangle starts from, a box on the axes is copied as it is.
    for (float angle : {0.0f, 1.5707964f, 3.1415927f, -1.5707964f}) {
        SCOPED_TRACE(angle);
        Cloud c = CloudOf(Box(angle, 0.5f, 0.5f));
        c.CalcInbound();
        EXPECT_TRUE(c.GetInboundTransform().matrix().isIdentity());
        const PointCloudRGBPtr aligned = c.getAlignedCloud();
        ASSERT_EQ(aligned->size(), c.getCloud()->size());
        for (std::size_t i = 0; i < c.getCloud()->size(); ++i) {
            EXPECT_EQ(aligned->points[i].getVector3fMap(),
                      c.getCloud()->points[i].getVector3fMap());
        }
    }
}

TEST_F(CalcInboundTest, EachCorrectionLandsOnTheSideItNames) {
    // Box 0.8 x 0.6 x 0.5: the length correction goes to the 0.8 side and the
    // width correction to the 0.6 side, whichever of them runs from A to B.
    config().SetInboundCorrextionH(0.01f);
    config().SetInboundCorrextionL(0.02f);
    config().SetInboundCorrextionW(-0.03f);
    bool abWasShorter = false;
    bool abWasLonger = false;
    for (const float angle : {0.0f, 0.4f, 0.9f, 1.3f, 1.6f, 2.2f, 2.9f, -0.7f}) {
        Cloud c = CloudOf(Box(angle, 0.3f, -0.2f));
        c.CalcInbound();
        const float ab = (Corner(c, 1) - Corner(c, 0)).norm();
        const float bc = (Corner(c, 2) - Corner(c, 1)).norm();
        (ab < bc ? abWasShorter : abWasLonger) = true;
        EXPECT_NEAR(c.GetH(), 0.51f, kTol) << angle;
        EXPECT_NEAR(c.GetL(), 0.82f, kTol) << angle;
        EXPECT_NEAR(c.GetW(), 0.57f, kTol) << angle;
        EXPECT_NEAR(c.GetVolInbound(), 0.51f * 0.82f * 0.57f, 1e-4f) << angle;
    }
    EXPECT_TRUE(abWasShorter && abWasLonger);

    // Equal corrections give what adding them to A-B and B-C gives.
    config().SetInboundCorrextionL(0.7f);
    config().SetInboundCorrextionW(0.7f);
    Cloud c = CloudOf(Box(0.4f, 0.0f, 0.0f));
    c.CalcInbound();
    const float first = (Corner(c, 1) - Corner(c, 0)).norm() + 0.7f;
    const float second = (Corner(c, 2) - Corner(c, 1)).norm() + 0.7f;
    EXPECT_EQ(c.GetL(), std::max(first, second));
    EXPECT_EQ(c.GetW(), std::min(first, second));
    EXPECT_EQ(c.GetVolInbound(), (0.51f * first) * second);

    // Negative corrections may shrink the volume below zero; nothing clamps it.
    config().SetInboundCorrextionL(-1.0f);
    config().SetInboundCorrextionW(0.0f);
    c.CalcInbound();
    EXPECT_LT(c.GetVolInbound(), 0.0f);
}

TEST_F(CalcInboundTest, FlatPlateHasOnlyTheHeightCorrection) {
    config().SetInboundCorrextionH(0.05f);
    std::vector<pcl::PointXYZRGB> plate;
    for (const auto& p : Box(0.3f, 1.0f, 1.0f)) {
        plate.push_back(Point(p.x, p.y, 0.9f));
    }
    Cloud c = CloudOf(plate);
    c.CalcInbound();
    EXPECT_NEAR(c.GetH(), 0.05f, 1e-7f);
    EXPECT_NEAR(c.GetL(), 0.8f, kTol);
    EXPECT_NEAR(c.GetW(), 0.6f, kTol);
    ExpectUprightBox(c, 0.9f, 0.9f);
    ExpectAlignedCopy(c);
}

TEST_F(CalcInboundTest, OnePointGivesOnlyTheCorrections) {
    config().SetInboundCorrextionL(0.03f);
    config().SetInboundCorrextionW(0.02f);
    Cloud c = CloudOf({Point(0.4f, -0.2f, 1.1f)});
    c.CalcInbound();
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(Corner(c, k), Eigen::Vector3f(0.4f, -0.2f, 1.1f));
    }
    EXPECT_EQ(c.GetH(), 0.0f);
    EXPECT_NEAR(c.GetL(), 0.03f, 1e-7f);
    EXPECT_NEAR(c.GetW(), 0.02f, 1e-7f);
    EXPECT_TRUE(c.GetInboundTransform().matrix().isIdentity());
    ExpectAlignedCopy(c);
}

TEST_F(CalcInboundTest, PointsOnALineAreLaidOnAnAxis) {
    std::vector<pcl::PointXYZRGB> line;
    for (int i = 0; i <= 10; ++i) {
        line.push_back(Point(0.1f * i, 0.05f * i + 0.3f, 1.0f + 0.01f * i));
    }
    Cloud c = CloudOf(line);
    c.CalcInbound();
    EXPECT_NEAR(c.GetL(), std::hypot(1.0f, 0.5f), kTol);
    EXPECT_NEAR(c.GetW(), 0.0f, kTol);
    EXPECT_NEAR(c.GetH(), 0.1f, kTol);
    EXPECT_NEAR(c.GetVolInbound(), 0.0f, kTol);
    ExpectAlignedCopy(c);
    const Eigen::Vector2f extent = AlignedExtent(c);
    EXPECT_NEAR(std::min(extent.x(), extent.y()), 0.0f, kTol);

    // A sliver less than a tenth of a millimetre wide is turned onto the axes as well.
    for (int i = 0; i <= 10; ++i) {
        line.push_back(Point(0.1f * i - 0.00004f, 0.05f * i + 0.3f + 0.00008f, 1.0f));
    }
    c.setCloud(MakeCloud(line));
    c.CalcInbound();
    EXPECT_GT(c.GetInboundAngle(), 0.1f);
    const Eigen::Vector2f sliver = AlignedExtent(c);
    EXPECT_NEAR(std::max(sliver.x(), sliver.y()), std::hypot(1.0f, 0.5f), 1e-4f);
    EXPECT_LT(std::min(sliver.x(), sliver.y()), 1e-4f);
}

TEST_F(CalcInboundTest, EmptyCloudGivesZerosAndIdentity) {
    Cloud c = CloudOf(Box(0.5f, 1.0f, 1.0f));
    c.CalcInbound();
    c.getCloud()->clear();
    c.CalcInbound();
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(Corner(c, k), Eigen::Vector3f::Zero());
    }
    EXPECT_EQ(c.GetH(), 0.0f);
    EXPECT_EQ(c.GetL(), 0.0f);
    EXPECT_EQ(c.GetW(), 0.0f);
    EXPECT_EQ(c.GetVolInbound(), 0.0f);
    EXPECT_EQ(c.GetInboundAngle(), 0.0f);
    EXPECT_TRUE(c.GetInboundTransform().matrix().isIdentity());
    EXPECT_TRUE(c.getAlignedCloud()->empty());
}

TEST_F(CalcInboundTest, PointsWithoutCoordinatesChangeNothing) {
    Cloud clean = CloudOf(Box(0.6f, 0.2f, 0.3f));
    clean.CalcInbound();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<pcl::PointXYZRGB> points = Box(0.6f, 0.2f, 0.3f);
    points.insert(points.begin(), Point(nan, nan, nan));
    points.insert(points.begin() + 40, Point(0.0f, nan, 5.0f));
    points.push_back(Point(std::numeric_limits<float>::infinity(), 0.0f, -5.0f));
    Cloud c = CloudOf(points);
    c.CalcInbound();
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(Corner(c, k), Corner(clean, k));
    }
    EXPECT_EQ(c.GetVolInbound(), clean.GetVolInbound());
    EXPECT_TRUE(c.GetInboundTransform().isApprox(clean.GetInboundTransform()));
    ExpectAlignedCopy(c);
    // The copy is the clean cloud's, point for point, so the real volume is too.
    const PointCloudRGBPtr aligned = c.getAlignedCloud();
    const PointCloudRGBPtr cleanAligned = clean.getAlignedCloud();
    ASSERT_EQ(aligned->size(), cleanAligned->size());
    for (std::size_t i = 0; i < cleanAligned->size(); ++i) {
        EXPECT_EQ(aligned->points[i].getVector4fMap(), cleanAligned->points[i].getVector4fMap());
    }
    c.CalcReal();
    clean.CalcReal();
    EXPECT_EQ(c.GetVolSurface(), clean.GetVolSurface());
    EXPECT_EQ(c.GetVolVShape(), clean.GetVolVShape());
}

TEST_F(CalcInboundTest, RealVolumeOfATurnedBoxIsPlacedInTheScanFrame) {
    // The aligned copy of a turned plate is measured on the grid, and the
    // boxes come back to the plate's place in the scan.
    std::vector<pcl::PointXYZRGB> plate;
    for (const auto& p : Box(0.5f, 1.0f, 2.0f)) {
        plate.push_back(Point(p.x, p.y, 1.01f));
    }
    Cloud c = CloudOf(plate);
    c.CalcInbound();
    c.CalcReal();
    ASSERT_GT(c.GetVrmlSurface().size(), 0);
    for (int i = 0; i < c.GetVrmlSurface().size(); ++i) {
        const VRMLObj box = c.GetVrmlSurface().get(i);
        const Eigen::Vector3f centre(box.GetTransX(), box.GetTransY(), box.GetTransZ());
        // Back in the box's own frame the centre lies over its footprint.
        const Eigen::Vector3f own = Eigen::AngleAxisf(-0.5f, Eigen::Vector3f::UnitZ()) *
                                    (centre - Eigen::Vector3f(1.0f, 2.0f, 0.0f));
        EXPECT_GT(own.x(), -0.03f);
        EXPECT_LT(own.x(), 0.83f);
        EXPECT_GT(own.y(), -0.03f);
        EXPECT_LT(own.y(), 0.63f);
        EXPECT_NEAR(own.z(), 1.01f, 0.011f);
    }
}

}  // namespace

TEST_F(CalcInboundTest, FootprintRepeatedPointByPointGivesTheSameBox) {
    // Goods closed by their projection onto a level pallet's top: each point's
    // x and y twice, the second time in the same order (taken once) or in
    // another order (taken whole); the box must not tell them apart.
    std::vector<pcl::PointXYZRGB> goods;
    for (int i = 0; i < 1500; ++i) {
        const float u = 0.37f * static_cast<float>(i % 41), v = 0.11f * static_cast<float>(i / 41);
        goods.push_back(Point(0.3f * std::sin(u) + 0.05f * v, 0.2f * std::cos(u) - 0.07f * v,
                              1.0f + 0.001f * static_cast<float>(i % 7)));
    }
    std::vector<pcl::PointXYZRGB> inOrder = goods, reordered = goods;
    for (std::size_t i = 0; i < goods.size(); ++i) {
        inOrder.push_back(Point(goods[i].x, goods[i].y, 1.5f));
        const pcl::PointXYZRGB& back = goods[goods.size() - 1 - i];
        reordered.push_back(Point(back.x, back.y, 1.5f));
    }
    Cloud once = CloudOf(inOrder), whole = CloudOf(reordered);
    once.CalcInbound();
    whole.CalcInbound();
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(Corner(once, k), Corner(whole, k));
    }
    EXPECT_EQ(once.GetVolInbound(), whole.GetVolInbound());
}
