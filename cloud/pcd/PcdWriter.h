#pragma once

#include <string>

namespace pcl {
struct PointXYZRGB;
template <typename PointT>
class PointCloud;
}  // namespace pcl

/// Writes coloured clouds as ASCII PCD files, byte for byte as the
/// point-cloud library's ASCII writer does (eight significant digits, "nan"
/// for missing coordinates, the colour as one unsigned integer), formatting
/// large clouds on two threads.
class PcdWriter {
public:
    /// The whole file text.
    static std::string Text(const pcl::PointCloud<pcl::PointXYZRGB>& cloud);
    /// Replaces path with the cloud's file, complete or not at all; throws
    /// std::runtime_error naming the file when it cannot be written.
    static void Write(const std::string& path, const pcl::PointCloud<pcl::PointXYZRGB>& cloud);
};
