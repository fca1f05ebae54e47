// The points of a scan without an image found again by their rays: which
// clouds stand on a camera's lattice, which points are neighbours, and the
// flying pixels counted over the rays against those of the image.

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "measure/FloorPlane.h"
#include "measure/ScanCloud.h"
#include "measure/camera/RayGrid.h"
#include "measure/scene/SceneChecks.h"
#include "measure/scene/SceneTally.h"
#include "tools/scangen/DepthCamera.h"

namespace {

constexpr double kBand = 0.025;
const FloorPlane kFloor(0.0f, 0.0f, 1.0f, -2.5f);

/// A camera's organized scan of the scene, NaN where a pixel has no return.
PointCloudRGBPtr Camera(const ScanScene& scene, int width, double sigma1, bool mixed) {
    DepthCamera::Settings s;
    s.width = width;
    s.height = width * 3 / 4;
    s.sigma1 = sigma1;
    s.mixedPixels = mixed;
    s.seed = 7;
    PointCloudRGBPtr cloud(new PointCloudRGB);
    for (const auto& p : DepthCamera(scene, s).Scan())
        cloud->points.push_back(MakePoint(p.x, p.y, p.z));
    cloud->width = static_cast<std::uint32_t>(s.width);
    cloud->height = static_cast<std::uint32_t>(s.height);
    return cloud;
}

/// The returns of a scan as one row, each repeated a number of times.
PointCloudRGBPtr Returns(const PointCloudRGBPtr& scan, int copies = 1) {
    std::vector<pcl::PointXYZRGB> points;
    for (const auto& p : scan->points) {
        for (int k = 0; k < copies && std::isfinite(p.x); ++k) points.push_back(p);
    }
    return MakeCloud(points);
}

ScanScene Box(float cx, double angleDeg) {
    return ScanScene::SingleBox(0.4f, 0.3f, 0.3f, cx, 0.2f, angleDeg, false);
}

}  // namespace

TEST(RayGrid, OnlyRaysOnACamerasLatticeHaveNeighbours) {
    // The default camera's rays: 70 x 55 degrees over W x 3/4 W pixels; the
    // rows lie nearer than the columns, tan(27.5 degrees) / (3/8 W) apart.
    const double rows = std::tan(27.5 * ScanScene::kDegree) / 120.0;
    const auto scan = Camera(Box(0.6f, 30.0), 320, 0.0005, true);
    const auto returns = Returns(scan);
    std::vector<pcl::PointXYZRGB> few(returns->points.begin(), returns->points.begin() + 63);
    struct Case {
        const char* what;
        PointCloudRGBPtr cloud;
        double spacing;  // 0: not on a lattice
    };
    const std::vector<Case> cases = {
        {"a camera's returns", returns, rows},
        {"a finer camera's, the floor's strays left",
         Returns(Camera(Box(0.0f, 0.0), 640, 0.001, true)), rows / 2},
        {"two returns on every ray", Returns(scan, 2), 0.0},
        {"a cloud sampled on the surfaces", ScanCloud(Box(0.0f, 30.0), 20000), 0.0},
        {"too few points", MakeCloud(few), 0.0},
        {"only the floor", Returns(Camera(ScanScene(), 320, 0.0005, true)), 0.0},
    };
    for (const Case& c : cases) {
        const RayGrid grid(*c.cloud, kFloor, kBand);
        EXPECT_EQ(grid.OnLattice(), c.spacing > 0.0) << c.what;
        EXPECT_NEAR(grid.Spacing(), c.spacing, c.spacing * 0.01) << c.what;
    }
}

TEST(RayGrid, APointsNeighboursAreTheFourRaysBesideIt) {
    // Rays through a square lattice of 1/500, at depths that do not matter;
    // one ray left out.
    const double pitch = 0.002;
    std::vector<pcl::PointXYZRGB> points;
    for (int j = 0; j < 20; ++j) {
        for (int i = 0; i < 20; ++i) {
            if (i == 12 && j == 5) continue;
            const float depth = 2.0f + 0.1f * static_cast<float>((i * 7 + j * 3) % 5);
            points.push_back(MakePoint(static_cast<float>(pitch * i) * depth,
                                       static_cast<float>(pitch * j) * depth, depth));
        }
    }
    const auto cloud = MakeCloud(points);
    const RayGrid grid(*cloud, kFloor, kBand);
    ASSERT_TRUE(grid.OnLattice());
    EXPECT_NEAR(grid.Spacing(), pitch, 1e-6);
    const auto at = [](int i, int j) {
        return static_cast<std::size_t>(j * 20 + i - (j > 5 || (j == 5 && i > 12)));
    };
    struct Case {
        int i, j;
        std::set<std::size_t> neighbours;
    };
    const std::vector<Case> cases = {
        {7, 9, {at(6, 9), at(8, 9), at(7, 8), at(7, 10)}},
        {0, 0, {at(1, 0), at(0, 1)}},
        {19, 4, {at(18, 4), at(19, 3), at(19, 5)}},
        {12, 4, {at(11, 4), at(13, 4), at(12, 3)}},  // the ray below it left out
    };
    for (const Case& c : cases) {
        std::set<std::size_t> found;
        grid.Neighbours(at(c.i, c.j), [&found](std::size_t i, const double(&)[3]) {
            return found.insert(i).second;
        });
        EXPECT_EQ(found, c.neighbours) << c.i << ", " << c.j;
    }
}

TEST(RayGrid, FlyingPixelsCountedOverTheRaysLeaveFacesSeenAtAGrazingAngle) {
    // The scene families' boxes on the floor, seen by the default camera.
    // With mixed pixels the rays show flying pixels wherever the image does;
    // without them the image shows some where a box's face lies nearly
    // along the camera's rays (a face 0.05 or 0.2 m beside the camera's
    // vertical drops several centimetres from one pixel to the next, along
    // itself), and the rays none.
    struct Case {
        float l, w, h, cx, cy;
        double angle;
        std::size_t image;  // flying pixels of the image without mixed pixels
    };
    const std::vector<Case> cases = {
        {0.3f, 0.3f, 0.3f, 0.3f, 0.0f, 0.0, 0},   {0.3f, 0.3f, 0.3f, 0.3f, 0.2f, 0.0, 72},
        {0.3f, 0.3f, 0.3f, 0.3f, 0.0f, 30.0, 20}, {0.6f, 0.4f, 0.5f, 0.6f, 0.4f, 0.0, 798},
        {0.6f, 0.4f, 0.5f, 0.3f, 0.2f, 30.0, 49}, {1.2f, 0.8f, 0.4f, 0.6f, 0.4f, 30.0, 190},
    };
    for (const Case& c : cases) {
        const ScanScene scene = ScanScene::SingleBox(c.l, c.w, c.h, c.cx, c.cy, c.angle, false);
        const auto clean = Camera(scene, 640, 0.00025, false);
        EXPECT_EQ(SceneTally(*clean, kFloor, -1.0, kBand).Flying(), c.image)
            << c.l << " at " << c.cx << ", " << c.cy;
        EXPECT_LE(SceneTally(*Returns(clean), kFloor, -1.0, kBand).Flying(),
                  SceneChecks::kMostFlyingPixels)
            << c.l << " at " << c.cx << ", " << c.cy;
        EXPECT_GT(
            SceneTally(*Returns(Camera(scene, 640, 0.00025, true)), kFloor, -1.0, kBand).Flying(),
            SceneChecks::kMostFlyingPixels)
            << c.l << " at " << c.cx << ", " << c.cy;
    }
}
