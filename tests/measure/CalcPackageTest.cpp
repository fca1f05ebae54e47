#include <Eigen/Geometry>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "MeasureTest.h"
#include "ReferenceHull.h"
#include "ScanCloud.h"
#include "measure/HullVolume.h"

namespace {

class CalcPackageTest : public MeasureTest {
protected:
    static std::vector<pcl::PointXYZRGB> CubeCorners(float edge) {
        std::vector<pcl::PointXYZRGB> points;
        for (int i = 0; i < 8; ++i) {
            points.push_back(Point(i & 1 ? edge : 0.0f, i & 2 ? edge : 0.0f, i & 4 ? edge : 0.0f));
        }
        return points;
    }

    static float Package(const std::vector<pcl::PointXYZRGB>& points) {
        Cloud cloud = CloudOf(points);
        cloud.CalcPackage();
        return cloud.GetVolPackage();
    }
};

TEST_F(CalcPackageTest, CubeCornersGiveTheCubeVolume) {
    EXPECT_NEAR(Package(CubeCorners(1.0f)), 1.0f, 1e-6f);
    EXPECT_NEAR(Package(CubeCorners(0.5f)), 0.125f, 1e-6f);
}

TEST_F(CalcPackageTest, SevenPointsOrNoneGiveZero) {
    std::vector<pcl::PointXYZRGB> seven = CubeCorners(1.0f);
    seven.pop_back();
    EXPECT_EQ(Package(seven), 0.0f);
    EXPECT_EQ(Package({}), 0.0f);
}

TEST_F(CalcPackageTest, MovingOrTurningTheCloudChangesNothing) {
    // A 0.6 x 0.4 x 0.3 box with points inside and on its faces.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<pcl::PointXYZRGB> box = CubeCorners(1.0f);
    for (auto& p : box) {
        p.x *= 0.6f;
        p.y *= 0.4f;
        p.z *= 0.3f;
    }
    for (int i = 0; i < 500; ++i) {
        box.push_back(Point(0.6f * unit(random), 0.4f * unit(random), 0.3f * unit(random)));
    }
    const float expected = 0.6f * 0.4f * 0.3f;
    EXPECT_NEAR(Package(box), expected, 1e-5f);

    for (float angle : {0.3f, 1.1f, 2.5f}) {
        const Eigen::Affine3f move = Eigen::Translation3f(3.0f, -2.0f, 1.5f) *
                                     Eigen::AngleAxisf(angle, Eigen::Vector3f::UnitZ()) *
                                     Eigen::AngleAxisf(angle / 2, Eigen::Vector3f::UnitX());
        std::vector<pcl::PointXYZRGB> moved;
        for (const auto& p : box) {
            const Eigen::Vector3f q = move * Eigen::Vector3f(p.x, p.y, p.z);
            moved.push_back(Point(q.x(), q.y(), q.z()));
        }
        EXPECT_NEAR(Package(moved), expected, 1e-5f) << angle;
    }
}

TEST_F(CalcPackageTest, FlatOrStraightCloudsHaveNoVolume) {
    std::vector<pcl::PointXYZRGB> plate;
    std::vector<pcl::PointXYZRGB> line;
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 10; ++j) {
            plate.push_back(Point(0.1f * i, 0.05f * j, 1.25f));
        }
        line.push_back(Point(0.1f * i, 0.2f * i, 0.3f * i));
    }
    EXPECT_EQ(Package(plate), 0.0f);
    EXPECT_EQ(Package(line), 0.0f);
    // Many copies of one point.
    EXPECT_EQ(Package(std::vector<pcl::PointXYZRGB>(20, Point(1.0f, 2.0f, 3.0f))), 0.0f);
}

TEST_F(CalcPackageTest, PointsWithoutCoordinatesAreLeftOut) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<pcl::PointXYZRGB> points = CubeCorners(1.0f);
    points.insert(points.begin() + 3, Point(nan, nan, nan));
    points.push_back(Point(0.5f, inf, 0.5f));
    EXPECT_NEAR(Package(points), 1.0f, 1e-6f);
    // Seven finite points are too few, whatever else the cloud holds.
    points.erase(points.begin());
    EXPECT_EQ(Package(points), 0.0f);
}

// The hull library prints statistics and precision complaints on standard
// error; a measurement must leave that stream to the tool's own messages.
TEST_F(CalcPackageTest, LeavesStandardErrorQuiet) {
    std::vector<pcl::PointXYZRGB> flat;
    for (int i = 0; i < 20; ++i) {
        flat.push_back(Point(0.1f * (i % 5), 0.1f * (i / 5), 1.0f));
    }
    testing::internal::CaptureStderr();
    const float box = Package(CubeCorners(1.0f));
    const float plate = Package(flat);
    std::fprintf(stderr, "after\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NEAR(box, 1.0f, 1e-6f);
    EXPECT_EQ(plate, 0.0f);
    EXPECT_EQ(err, "after\n");
}

// The volume must be the library hull's to the last bit, whatever the cloud.
TEST_F(CalcPackageTest, VolumeIsTheLibraryHullsBitForBit) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<pcl::PointXYZRGB> ball, slab, far;
    for (int i = 0; i < 3000; ++i) {
        ball.push_back(Point(unit(random), unit(random), unit(random)));
        slab.push_back(Point(unit(random), unit(random), 1e-4f * unit(random)));
        far.push_back(Point(1000.0f + 0.2f * unit(random), -500.0f + 0.3f * unit(random),
                            2.5f + 0.1f * unit(random)));
    }
    std::vector<pcl::PointXYZRGB> repeated = CubeCorners(0.3f);
    for (int i = 0; i < 5; ++i)
        repeated.insert(repeated.end(), repeated.begin(), repeated.begin() + 8);
    const auto scan = ScanCloud(ScanScene::BoxOnPallet(30.0), 50000);
    const std::vector<pcl::PointXYZRGB> clouds[] = {
        CubeCorners(1.0f), ball, slab, far, repeated, {scan->points.begin(), scan->points.end()}};
    for (const auto& points : clouds) {
        const auto cloud = MakeCloud(points);
        const double reference = ReferenceHullOf(cloud).volume;
        EXPECT_EQ(HullVolume::Of(*cloud), reference) << points.size();
        EXPECT_EQ(HullVolume::Rounded(*cloud), static_cast<float>(reference)) << points.size();
    }
}

}  // namespace
