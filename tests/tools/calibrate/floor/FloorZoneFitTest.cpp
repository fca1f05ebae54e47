// The measuring zone fitted to the empty station's floor, on depth-camera
// scans delivered without their image, against the camera's own geometry.

#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/calibrate/floor/FloorZoneFit.h"
#include "tools/scangen/DepthCamera.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

/// The camera's returns in the frame whose z is the vertical (the camera's
/// frame turned by its tilt, as a scanner levels its scans), without the
/// pixels that returned nothing, plus the strays given (already levelled).
PointCloudRGB Unorganized(const ScanScene& scene, double tiltDeg, double missing,
                          const std::vector<ScanScene::Point>& strays = {}) {
    DepthCamera::Settings s;
    s.width = kWidth;
    s.height = kHeight;
    s.tiltDeg = tiltDeg;
    s.missing = missing;
    s.removeFloor = false;
    s.seed = 3;
    const double t = tiltDeg * ScanScene::kDegree;
    PointCloudRGB cloud;
    for (const auto& p : DepthCamera::Returns(DepthCamera(scene, s).Scan())) {
        pcl::PointXYZRGB q;
        q.x = p.x;
        q.y = static_cast<float>(std::cos(t) * p.y - std::sin(t) * p.z);
        q.z = static_cast<float>(std::sin(t) * p.y + std::cos(t) * p.z);
        cloud.push_back(q);
    }
    for (const auto& p : strays) {
        pcl::PointXYZRGB q;
        q.x = p.x;
        q.y = p.y;
        q.z = p.z;
        cloud.push_back(q);
    }
    return cloud;
}

/// The view on the floor of a camera tilted about its x axis: each row of
/// pixels meets the floor along a line of constant y, the outermost pixels'
/// centres ± halfWidth from x = 0.
struct ViewRow {
    double y, halfWidth;
};

std::vector<ViewRow> View(double tiltDeg) {
    const double fx = kWidth / 2.0 / std::tan(35.0 * ScanScene::kDegree);
    const double fy = kHeight / 2.0 / std::tan(27.5 * ScanScene::kDegree);
    const double t = tiltDeg * ScanScene::kDegree;
    const double edge = (kWidth / 2.0 - 0.5) / fx;
    std::vector<ViewRow> rows;
    for (int v = 0; v < kHeight; ++v) {
        const double y = (v + 0.5 - kHeight / 2.0) / fy;
        const double down = std::sin(t) * y + std::cos(t);
        rows.push_back({ScanScene::kFloorZ * (std::cos(t) * y - std::sin(t)) / down, ScanScene::kFloorZ * edge / down});
    }
    return rows;
}

/// The largest rectangle, axes along x and y, within the view's rows: by brute force over runs of rows.
double LargestArea(const std::vector<ViewRow>& rows) {
    double best = 0.0;
    for (std::size_t first = 0; first < rows.size(); ++first) {
        double half = rows[first].halfWidth;
        for (std::size_t last = first; last < rows.size(); ++last) {
            half = std::min(half, rows[last].halfWidth);
            best = std::max(best, 2.0 * half * std::fabs(rows[last].y - rows[first].y));
        }
    }
    return best;
}

}  // namespace

TEST(FloorZoneFit, TheZoneIsTheLargestRectangleOfTheFloorTheCameraSees) {
    const ScanScene empty;
    // A box on the floor, its shadow and its faces kept out of the floor's points.
    const ScanScene box = ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.4f, -0.2f, 30.0, false);
    const float floorZ = ScanScene::kFloorZ;
    // Strays on the floor's plane beyond the view: lone, and a pair.
    const std::vector<ScanScene::Point> strays = {
        {2.4f, 0.3f, floorZ}, {0.2f, -1.9f, floorZ}, {-2.2f, -1.6f, floorZ}, {1.0f, 1.8f, floorZ}, {1.006f, 1.8f, floorZ}};
    const struct {
        const char* name;
        PointCloudRGB scan;
        double tiltDeg;
    } cases[] = {
        {"level, 1 % of the pixels without a return", Unorganized(empty, 0.0, 0.01), 0.0},
        {"level, 40 % without a return", Unorganized(empty, 0.0, 0.4), 0.0},
        {"level, strays beyond the view", Unorganized(empty, 0.0, 0.01, strays), 0.0},
        {"level, a box's shadow", Unorganized(box, 0.0, 0.01), 0.0},
        {"tilted 20 degrees: a trapezoid", Unorganized(empty, 20.0, 0.01), 20.0},
        {"tilted 20 degrees with a box", Unorganized(box, 20.0, 0.01), 20.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FloorZoneFit zone(c.scan, 0.0, 0.0, 1.0, -floorZ);
        ASSERT_TRUE(zone.Ok());
        const std::vector<ViewRow> view = View(c.tiltDeg);
        // Every corner lies within the view, but for the run of its slanted
        // sides along a cell: the floor's rows are taken a cell at a time.
        const double slope = std::fabs(view.back().halfWidth - view.front().halfWidth) /
                             std::fabs(view.back().y - view.front().y);
        const auto halfAt = [&view](double y) {
            for (std::size_t v = 0; v + 1 < view.size(); ++v) {
                if (y >= view[v].y - 1e-6 && y <= view[v + 1].y + 1e-6) {
                    const double f = (y - view[v].y) / (view[v + 1].y - view[v].y);
                    return view[v].halfWidth + f * (view[v + 1].halfWidth - view[v].halfWidth);
                }
            }
            return -1.0;
        };
        for (const double y : {zone.YMin(), zone.YMax()}) {
            EXPECT_LE(std::max(std::fabs(zone.XMin()), std::fabs(zone.XMax())), halfAt(y) + slope * zone.Cell() + 1e-6)
                << y;
        }
        // And it covers the largest such rectangle but for a cell's width along each edge.
        const double area = (zone.XMax() - zone.XMin()) * (zone.YMax() - zone.YMin());
        const double largest = LargestArea(view);
        const double perimeter = 2.0 * (zone.XMax() - zone.XMin() + zone.YMax() - zone.YMin());
        EXPECT_GT(area, largest - zone.Cell() * perimeter) << area << " of " << largest;
        EXPECT_LT(zone.Cell(), 0.03);
    }
}
