#include <cmath>

#include "cloud/Cloud.h"
#include "measure/FinitePoints.h"
#include "measure/HullVolume.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

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
    // A flat or straight cloud has no 3D hull, and the volume stays 0.
    const double volume = HullVolume::Of(*points);
    if (std::isfinite(volume)) {
        volPackage = static_cast<float>(volume);
    }
}
