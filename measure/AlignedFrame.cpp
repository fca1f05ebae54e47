#include "measure/AlignedFrame.h"

#include <pcl/common/point_tests.h>
#include <pcl/common/transforms.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

AlignedFrame::AlignedFrame(const Eigen::Matrix4f& shift, const Eigen::Matrix4f& turn)
    : moves(true), shift(shift), turn(turn) {}

void AlignedFrame::ForEach(const PointCloudRGB& cloud,
                           const std::function<void(const pcl::PointXYZRGB&)>& visit) const {
    if (!moves) {
        for (const pcl::PointXYZRGB& p : cloud.points) {
            if (pcl::isFinite(p)) {
                visit(p);
            }
        }
        return;
    }
    // The library's own point transform, twice, in one pass.
    const pcl::detail::Transformer<float> first(shift);
    const pcl::detail::Transformer<float> second(turn);
    const auto finite = [](const float* v) {
        return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
    };
    for (const pcl::PointXYZRGB& p : cloud.points) {
        if (!pcl::isFinite(p)) {
            continue;
        }
        pcl::PointXYZRGB q = p;
        alignas(16) float shifted[4];
        first.se3(p.data, shifted);
        if (!cloud.is_dense && !finite(shifted)) {
            std::copy(std::begin(shifted), std::end(shifted), q.data);
        } else {
            second.se3(shifted, q.data);
        }
        visit(q);
    }
}

void AlignedFrame::CopyInto(const PointCloudRGB& cloud, PointCloudRGB& out) const {
    out.header = cloud.header;
    out.sensor_orientation_ = cloud.sensor_orientation_;
    out.sensor_origin_ = cloud.sensor_origin_;
    out.points.clear();
    out.points.reserve(cloud.size());
    ForEach(cloud, [&out](const pcl::PointXYZRGB& q) { out.points.push_back(q); });
    out.width = static_cast<std::uint32_t>(out.points.size());
    out.height = 1;
    out.is_dense = cloud.is_dense;
}
