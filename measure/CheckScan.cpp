#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstddef>
#include <iomanip>
#include <sstream>
#include <string>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "measure/FloorPlane.h"

namespace {

// A depth camera over a station returns nothing farther than this (metres):
// a point beyond it is a scan in another unit (millimetres give thousands)
// or garbage, and every size measured from it would be stored as absurd.
constexpr double kFarthestReturn = 20.0;
// A stray beyond the floor by no more than this (metres) is floor noise; a
// camera's depth noise at the floor stays well inside it.
constexpr double kFloorNoiseBand = 0.025;
// When more of the finite points than this (per cent) lie beyond the floor's
// noise band, or farther from the floor than the camera itself, the plane is
// not this station's floor: the pallet, or the goods' lower part, or the
// whole scene would be measured against the wrong reference.
constexpr double kMostOffPlanePercent = 5.0;

std::string Fixed(double value, int decimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

/// A distance in metres for a message: one decimal, or three digits when
/// it is so far off that decimals say nothing.
std::string Metres(double value) {
    if (value < 1e6) {
        return Fixed(value, 1);
    }
    std::ostringstream text;
    text << std::setprecision(3) << value;
    return text.str();
}

}  // namespace

std::string Cloud::CheckScan(bool cutsPallet) const {
    const std::string session = "session " + cloudInfo.GetSid();
    std::size_t finite = 0;
    double farthest = 0.0;
    for (const pcl::PointXYZRGB& p : cloud->points) {
        if (!pcl::isFinite(p)) {
            continue;
        }
        ++finite;
        const double range = std::sqrt(static_cast<double>(p.x) * p.x +
                                       static_cast<double>(p.y) * p.y +
                                       static_cast<double>(p.z) * p.z);
        if (range > farthest) {
            farthest = range;
        }
    }
    if (farthest > kFarthestReturn) {
        return "Scan of " + session + " is not plausible: a point lies " + Metres(farthest) +
               " m from the camera (at most " + Fixed(kFarthestReturn, 0) +
               " m; coordinates in millimetres?)";
    }

    const FloorPlane floor(cloudInfo.GetCoeffA(), cloudInfo.GetCoeffB(), cloudInfo.GetCoeffC(),
                           cloudInfo.GetCoeffD());
    if (!cutsPallet || !floor.HasNormal()) {
        return std::string();
    }
    const std::string misfit = "Floor plane of " + session + " does not fit the scan: ";
    if (floor.Floor() == 0.0f) {
        return misfit + "it runs through the camera";
    }
    if (floor.Floor() > kFarthestReturn) {
        return misfit + "the camera would stand " + Metres(floor.Floor()) + " m from it (at most " +
               Fixed(kFarthestReturn, 0) + " m)";
    }
    if (finite == 0) {
        return std::string();
    }
    std::size_t beyond = 0;
    std::size_t behindCamera = 0;
    for (const pcl::PointXYZRGB& p : cloud->points) {
        if (!pcl::isFinite(p)) {
            continue;
        }
        const double along = floor.Along(p.x, p.y, p.z);
        if (along - floor.Floor() > kFloorNoiseBand) {
            ++beyond;
        } else if (along < 0.0) {
            ++behindCamera;
        }
    }
    const auto percent = [finite](std::size_t count) {
        return 100.0 * static_cast<double>(count) / static_cast<double>(finite);
    };
    if (percent(behindCamera) > kMostOffPlanePercent) {
        return misfit + Fixed(percent(behindCamera), 1) +
               " % of the points lie farther from it than the camera (is the sign of d wrong?)";
    }
    if (percent(beyond) > kMostOffPlanePercent) {
        return misfit + Fixed(percent(beyond), 1) + " % of the points lie more than " +
               Fixed(kFloorNoiseBand * kMillimetresPerMetre, 0) + " mm beyond it (at most " +
               Fixed(kMostOffPlanePercent, 0) + " %)";
    }
    return std::string();
}
