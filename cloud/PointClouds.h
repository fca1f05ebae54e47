// The point types and clouds by name only: the files that touch points
// include the point-cloud headers themselves.
#pragma once

#include <memory>

namespace pcl {
struct PointXYZ;
struct PointXYZRGB;
template <typename PointT>
class PointCloud;
}  // namespace pcl

using PointCloudRGB = pcl::PointCloud<pcl::PointXYZRGB>;
using PointCloudRGBPtr = std::shared_ptr<PointCloudRGB>;
using PointCloudXYZ = pcl::PointCloud<pcl::PointXYZ>;
using PointCloudXYZPtr = std::shared_ptr<PointCloudXYZ>;
