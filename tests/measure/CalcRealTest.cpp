#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "MeasureTest.h"
#include "cloud/VRML.h"

namespace {

constexpr float kRes = 0.02f;

float Centre(int cell) { return (cell + 0.5f) * kRes; }

struct Box {
    float d1, d2, d3, x, y, z;
};

class CalcRealTest : public MeasureTest {
protected:
    /// Measures a cloud that is already aligned (no CalcInbound: the frame and
    /// the transform stay the identity).
    void Measure(const std::vector<pcl::PointXYZRGB>& points) {
        *cloud.getCloud() = *MakeCloud(points);
        cloud.CalcReal();
    }

    static std::vector<Box> Boxes(const VRML& scene) {
        std::vector<Box> boxes;
        for (int i = 0; i < scene.size(); ++i) {
            const VRMLObj o = scene.get(i);
            boxes.push_back(
                {o.GetD1(), o.GetD2(), o.GetD3(), o.GetTransX(), o.GetTransY(), o.GetTransZ()});
        }
        std::sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
        });
        return boxes;
    }

    static void ExpectBox(const Box& box, float side, float height, float x, float y, float z) {
        EXPECT_NEAR(box.d1, side, 1e-6f);
        EXPECT_NEAR(box.d2, side, 1e-6f);
        EXPECT_NEAR(box.d3, height, 1e-6f);
        EXPECT_NEAR(box.x, x, 1e-6f);
        EXPECT_NEAR(box.y, y, 1e-6f);
        EXPECT_NEAR(box.z, z, 1e-6f);
    }

    /// nx by ny columns; each has a cell at height 5, the even columns along x
    /// also one at height 1 with empty cells between, so that its head is low.
    static std::vector<pcl::PointXYZRGB> Steps(int nx, int ny) {
        std::vector<pcl::PointXYZRGB> points;
        for (int i = 0; i < nx; ++i) {
            for (int j = 0; j < ny; ++j) {
                points.push_back(Point(Centre(i), Centre(j), Centre(5)));
                if (i % 2 == 0) {
                    points.push_back(Point(Centre(i), Centre(j), Centre(1)));
                }
            }
        }
        return points;
    }

    Cloud cloud;
};

constexpr float kCellArea = kRes * kRes;
const float kFullHeight = Centre(5) - Centre(1);

TEST_F(CalcRealTest, ColumnsCountFromTheirHeadOrOverTheFullHeight) {
    Measure(Steps(10, 6));
    EXPECT_NEAR(cloud.GetVolSurface(), 60 * kCellArea * kFullHeight, 1e-7f);
    // Only the 30 columns with a low head reach down.
    EXPECT_NEAR(cloud.GetVolVShape(), 30 * kCellArea * kFullHeight, 1e-7f);

    const std::vector<Box> heads = Boxes(cloud.GetVrmlSurface());
    const std::vector<Box> fromHead = Boxes(cloud.GetVrmlVolVShape());
    const std::vector<Box> full = Boxes(cloud.GetVrmlVolSurface());
    ASSERT_EQ(heads.size(), 60u);
    ASSERT_EQ(fromHead.size(), 60u);
    ASSERT_EQ(full.size(), 60u);
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 6; ++j) {
            const int n = i * 6 + j;
            const bool low = i % 2 == 0;
            const float headZ = Centre(low ? 1 : 5);
            ExpectBox(heads[n], kRes, kRes, Centre(i), Centre(j), headZ);
            ExpectBox(fromHead[n], kRes, low ? kFullHeight : 0.0f, Centre(i), Centre(j),
                      low ? Centre(3) : Centre(5));
            ExpectBox(full[n], kRes, kFullHeight, Centre(i), Centre(j), Centre(3));
        }
    }
}

TEST_F(CalcRealTest, HeightCorrectionIsAddedToEveryColumn) {
    config().SetRealCorrextionH(0.01f);
    Measure(Steps(10, 6));
    EXPECT_NEAR(cloud.GetVolSurface(), 60 * kCellArea * (kFullHeight + 0.01f), 1e-7f);
    EXPECT_NEAR(cloud.GetVolVShape(),
                30 * kCellArea * (kFullHeight + 0.01f) + 30 * kCellArea * 0.01f, 1e-7f);
}

TEST_F(CalcRealTest, NegativeCorrectionsMakeBorderCellsAlongTheLongerSide) {
    config().SetRealCorrextionL(-0.04f);
    config().SetRealCorrextionW(-0.02f);
    // 10 x 6 columns: two columns at each end of x, one row at each side of y
    // are border cells, leaving 6 x 4 inside, half of them with a low head.
    Measure(Steps(10, 6));
    EXPECT_NEAR(cloud.GetVolSurface(), 24 * kCellArea * kFullHeight, 1e-7f);
    EXPECT_NEAR(cloud.GetVolVShape(), 12 * kCellArea * kFullHeight, 1e-7f);
    EXPECT_EQ(cloud.GetVrmlSurface().size(), 60);
    EXPECT_EQ(cloud.GetVrmlVolVShape().size(), 60);
    EXPECT_EQ(cloud.GetVrmlVolSurface().size(), 60);

    // Longer along y: the length correction now trims y. Inside: 4 x 6 columns,
    // the even ones along x (0, 2, 4 of which 2 and 4 inside) low.
    Measure(Steps(6, 10));
    EXPECT_NEAR(cloud.GetVolSurface(), 24 * kCellArea * kFullHeight, 1e-7f);
    EXPECT_NEAR(cloud.GetVolVShape(), 12 * kCellArea * kFullHeight, 1e-7f);

    // Border widths up to a millimetre make no border cells.
    config().SetRealCorrextionL(-0.0005f);
    config().SetRealCorrextionW(0.0009f);
    Measure(Steps(10, 6));
    EXPECT_NEAR(cloud.GetVolSurface(), 60 * kCellArea * kFullHeight, 1e-7f);
}

TEST_F(CalcRealTest, BorderSearchesStepOverHoles) {
    config().SetRealCorrextionL(-0.04f);
    config().SetRealCorrextionW(-0.02f);
    std::vector<pcl::PointXYZRGB> points = Steps(10, 6);
    // Remove column (5, 2), a high-headed one: its neighbours still see footprint beyond it.
    points.erase(std::remove_if(points.begin(), points.end(),
                                [](const pcl::PointXYZRGB& p) {
                                    return p.x == Centre(5) && p.y == Centre(2);
                                }),
                 points.end());
    Measure(points);
    EXPECT_NEAR(cloud.GetVolSurface(), 23 * kCellArea * kFullHeight, 1e-7f);
    EXPECT_NEAR(cloud.GetVolVShape(), 12 * kCellArea * kFullHeight, 1e-7f);
    EXPECT_EQ(cloud.GetVrmlSurface().size(), 59);
}

TEST_F(CalcRealTest, MergedCellsAreNeverColumnHeads) {
    std::vector<pcl::PointXYZRGB> block;
    for (int n = 0; n < 8; ++n) {
        block.push_back(Point(Centre(2 + (n & 1)), Centre(2 + (n >> 1 & 1)), Centre(2 + (n >> 2))));
    }
    // Eight equal cells merge into one leaf of edge 2 res; the head lookup one
    // res below its centre lands on its own lower face.
    Measure(block);
    EXPECT_EQ(cloud.GetVrmlSurface().size(), 0);
    EXPECT_EQ(cloud.GetVolSurface(), 0.0f);

    // A second hit on one cell keeps the cells apart: four columns, each with its head below.
    block.push_back(block.back());
    Measure(block);
    const std::vector<Box> heads = Boxes(cloud.GetVrmlSurface());
    ASSERT_EQ(heads.size(), 4u);
    for (const Box& head : heads) {
        EXPECT_NEAR(head.d1, kRes, 1e-7f);
        EXPECT_NEAR(head.z, Centre(2), 1e-7f);
    }
    EXPECT_NEAR(cloud.GetVolSurface(), 4 * kCellArea * kRes, 1e-8f);
    EXPECT_NEAR(cloud.GetVolVShape(), 4 * kCellArea * kRes, 1e-8f);
}

TEST_F(CalcRealTest, ResolutionBelowHalfAMillimetreFallsBackToTwoCentimetres) {
    const std::vector<pcl::PointXYZRGB> one = {Point(0.001f, 0.002f, 0.003f)};
    for (float res : {0.0004f, 0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        config().SetOcTreeRealVolumeResolution(res);
        Measure(one);
        ASSERT_EQ(cloud.GetVrmlSurface().size(), 1) << res;
        EXPECT_EQ(cloud.GetVrmlSurface().get(0).GetD1(), 0.02f) << res;
        EXPECT_EQ(cloud.GetVrmlSurface().get(0).GetTransX(), 0.01f) << res;
    }
    config().SetOcTreeRealVolumeResolution(0.0005f);
    Measure(one);
    ASSERT_EQ(cloud.GetVrmlSurface().size(), 1);
    EXPECT_EQ(cloud.GetVrmlSurface().get(0).GetD1(), 0.0005f);
    // One point: no full height, and the V-shape runs from the cell's centre up to the point.
    EXPECT_EQ(cloud.GetVolSurface(), 0.0f);
    const float centre = (std::floor(0.003f / 0.0005f) + 0.5f) * 0.0005f;
    EXPECT_NEAR(cloud.GetVolVShape(), 0.0005f * 0.0005f * std::fabs(0.003f - centre), 1e-15f);
}

TEST_F(CalcRealTest, EmptyCloudAndRepeatedCalls) {
    Measure(Steps(4, 4));
    EXPECT_EQ(cloud.GetVrmlSurface().size(), 16);
    Measure(Steps(4, 4));
    EXPECT_EQ(cloud.GetVrmlSurface().size(), 16);
    Measure({});
    EXPECT_EQ(cloud.GetVolSurface(), 0.0f);
    EXPECT_EQ(cloud.GetVolVShape(), 0.0f);
    EXPECT_EQ(cloud.GetVrmlSurface().size(), 0);
    EXPECT_EQ(cloud.GetVrmlVolSurface().size(), 0);
    EXPECT_EQ(cloud.GetVrmlVolVShape().size(), 0);
}

TEST_F(CalcRealTest, PointsWithoutCoordinatesAreLeftOut) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<pcl::PointXYZRGB> points = Steps(10, 6);
    points.insert(points.begin() + 5, Point(nan, nan, nan));
    points.push_back(Point(Centre(3), nan, Centre(9)));
    points.push_back(Point(std::numeric_limits<float>::infinity(), Centre(3), Centre(3)));
    Measure(points);
    EXPECT_NEAR(cloud.GetVolSurface(), 60 * kCellArea * kFullHeight, 1e-7f);
    EXPECT_NEAR(cloud.GetVolVShape(), 30 * kCellArea * kFullHeight, 1e-7f);
    EXPECT_EQ(cloud.GetVrmlSurface().size(), 60);
}

}  // namespace

TEST_F(CalcRealTest, GridTooFineForTheCloudIsRefusedBeforeTheWalks) {
    // 40 000 columns spread over 15 m, 10 m deep: on a half-millimetre grid
    // with borders the walks would take hours.
    std::vector<pcl::PointXYZRGB> points;
    for (int i = 0; i < 200; ++i) {
        for (int j = 0; j < 200; ++j) {
            points.push_back(
                Point(-7.5f + 0.075f * i, -7.5f + 0.075f * j, (i + j) % 2 ? 0.0f : 10.0f));
        }
    }
    config().SetRealCorrextionL(-0.02f);
    config().SetRealCorrextionW(-0.02f);
    config().SetOcTreeRealVolumeResolution(0.0005f);
    EXPECT_THROW(Measure(points), std::runtime_error);
    config().SetOcTreeRealVolumeResolution(0.02f);
    EXPECT_NO_THROW(Measure(points));
    EXPECT_GT(cloud.GetVolSurface(), 0.0f);
}
