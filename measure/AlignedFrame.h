// The move of a cloud's points onto the axes of its inbound rectangle.
#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <functional>

#include "cloud/PointClouds.h"

/// Where the points of a cloud lie once its inbound rectangle is turned onto
/// the axes: a shift of the rectangle's centre to the origin, then a turn
/// about z. The octree volumes read every point in this frame; computing each
/// as it is read keeps a whole moved copy of the cloud out of memory.
class AlignedFrame {
public:
    /// No move: each point stays where it is.
    AlignedFrame() = default;
    /// The shift, then the turn (both rigid 4x4 transforms).
    AlignedFrame(const Eigen::Matrix4f& shift, const Eigen::Matrix4f& turn);

    /// Most points a block that ForEachBlock visits holds.
    static constexpr std::size_t kBlockPoints = 512;

    /// Calls `visit` with the points of `cloud` that have coordinates, in
    /// order and a block of at most kBlockPoints at a time, moved into the
    /// frame (colour kept). A point that the shift takes out of range stays
    /// where the shift left it, as the point-cloud library's transform of a
    /// cloud that is not dense leaves it.
    void ForEachBlock(
        const PointCloudRGB& cloud,
        const std::function<void(const pcl::PointXYZRGB* points, std::size_t count)>& visit) const;

    /// The moved copy of `cloud` that ForEachBlock visits, as a cloud of its own in `out`.
    void CopyInto(const PointCloudRGB& cloud, PointCloudRGB& out) const;

private:
    bool moves = false;
    Eigen::Matrix4f shift = Eigen::Matrix4f::Identity();
    Eigen::Matrix4f turn = Eigen::Matrix4f::Identity();
};
