#include "measure/AlignedFrame.h"

#include <pcl/common/point_tests.h>
#include <pcl/common/transforms.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <vector>

AlignedFrame::AlignedFrame(const Eigen::Matrix4f& shift, const Eigen::Matrix4f& turn)
    : moves(true), shift(shift), turn(turn) {}

void AlignedFrame::ForEachBlock(
    const PointCloudRGB& cloud,
    const std::function<void(const pcl::PointXYZRGB* points, std::size_t count)>& visit) const {
    const std::size_t n = cloud.points.size();
    if (!moves) {
        // The cloud's own runs of points with coordinates.
        for (std::size_t i = 0; i < n;) {
            if (!pcl::isFinite(cloud.points[i])) {
                ++i;
                continue;
            }
            std::size_t end = i + 1;
            while (end < n && end - i < kBlockPoints && pcl::isFinite(cloud.points[end])) ++end;
            visit(&cloud.points[i], end - i);
            i = end;
        }
        return;
    }
    // The library's own point transform, twice, in one pass.
    const pcl::detail::Transformer<float> first(shift);
    const pcl::detail::Transformer<float> second(turn);
    const auto finite = [](const float* v) {
        return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
    };
    std::vector<pcl::PointXYZRGB, Eigen::aligned_allocator<pcl::PointXYZRGB>> block(kBlockPoints);
    std::size_t count = 0;
    for (const pcl::PointXYZRGB& p : cloud.points) {
        if (!pcl::isFinite(p)) {
            continue;
        }
        pcl::PointXYZRGB& q = block[count++];
        q = p;
        alignas(16) float shifted[4];
        first.se3(p.data, shifted);
        if (!cloud.is_dense && !finite(shifted)) {
            std::copy(std::begin(shifted), std::end(shifted), q.data);
        } else {
            second.se3(shifted, q.data);
        }
        if (count == kBlockPoints) {
            visit(block.data(), count);
            count = 0;
        }
    }
    if (count > 0) {
        visit(block.data(), count);
    }
}

void AlignedFrame::CopyInto(const PointCloudRGB& cloud, PointCloudRGB& out) const {
    out.header = cloud.header;
    out.sensor_orientation_ = cloud.sensor_orientation_;
    out.sensor_origin_ = cloud.sensor_origin_;
    out.points.clear();
    out.points.reserve(cloud.size());
    ForEachBlock(cloud, [&out](const pcl::PointXYZRGB* points, std::size_t count) {
        out.points.insert(out.points.end(), points, points + count);
    });
    out.width = static_cast<std::uint32_t>(out.points.size());
    out.height = 1;
    out.is_dense = cloud.is_dense;
}
