#include <pcl/Vertices.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <pcl/surface/convex_hull.h>

#include <cmath>
#include <vector>

#include "cloud/Cloud.h"
#include "measure/FinitePoints.h"
#include "measure/QuietStderr.h"

namespace {

// Fewer points than the corners of a box are not worth a hull.
constexpr std::size_t kMinHullPoints = 8;

}  // namespace

void Cloud::CalcPackage() {
    volPackage = 0.0f;
    const PointCloudRGBPtr points = FinitePoints::Of(cloud);
    if (points->size() < kMinHullPoints) {
        return;
    }

    pcl::ConvexHull<pcl::PointXYZRGB> hull;
    hull.setInputCloud(points);
    hull.setComputeAreaVolume(true);
    hull.setDimension(3);
    PointCloudRGB hullPoints;
    std::vector<pcl::Vertices> polygons;
    {
        const QuietStderr quiet;
        hull.reconstruct(hullPoints, polygons);
    }

    // A flat or straight cloud has no 3D hull; the library then yields no
    // polygons, and the volume stays 0.
    const double volume = hull.getTotalVolume();
    if (!polygons.empty() && std::isfinite(volume)) {
        volPackage = static_cast<float>(volume);
    }
}
