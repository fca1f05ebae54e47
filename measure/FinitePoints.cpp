#include "measure/FinitePoints.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>

PointCloudRGBPtr FinitePoints::Of(const PointCloudRGBPtr& cloud) {
    const auto& points = cloud->points;
    const auto finite = [](const pcl::PointXYZRGB& p) { return pcl::isFinite(p); };
    if (std::all_of(points.begin(), points.end(), finite)) {
        return cloud;
    }
    auto kept = std::make_shared<PointCloudRGB>();
    kept->header = cloud->header;
    kept->points.reserve(points.size());
    std::copy_if(points.begin(), points.end(), std::back_inserter(kept->points), finite);
    kept->width = static_cast<std::uint32_t>(kept->points.size());
    kept->height = 1;
    kept->is_dense = true;
    return kept;
}
