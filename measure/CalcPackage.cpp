#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <limits>

#include "cloud/Cloud.h"
#include "measure/FinitePoints.h"
#include "measure/HullVolume.h"

namespace {

// Fewer points than the corners of a box are not worth a hull.
constexpr std::size_t kMinHullPoints = 8;
// No scan reaches 100 km from its camera, and the hull library crashes on some clouds with
// coordinates far beyond that; such a cloud has no package volume.
constexpr float kMaxHullCoordinate = 1e5f;

bool WithinHullRange(const PointCloudRGB& points) {
    for (const pcl::PointXYZRGB& p : points.points) {
        if (std::fabs(p.x) > kMaxHullCoordinate || std::fabs(p.y) > kMaxHullCoordinate ||
            std::fabs(p.z) > kMaxHullCoordinate) {
            return false;
        }
    }
    return true;
}

}  // namespace

void Cloud::CalcPackage() {
    volPackage = 0.0f;
    const PointCloudRGBPtr points = FinitePoints::Of(cloud);
    if (points->size() < kMinHullPoints) {
        return;
    }
    if (!WithinHullRange(*points)) {
        // Not a number, so that the run refuses to store it.
        volPackage = std::numeric_limits<float>::quiet_NaN();
        return;
    }
    // A flat or straight cloud has no 3D hull, and the volume stays 0.
    const float volume = HullVolume::Rounded(*points);
    if (std::isfinite(volume)) {
        volPackage = volume;
    }
}
