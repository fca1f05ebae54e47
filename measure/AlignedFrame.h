// The move of a cloud's points onto the axes of its inbound rectangle.
#pragma once

#include <Eigen/Core>
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

    /// Calls `visit` with every point of `cloud` that has coordinates, in
    /// order, moved into the frame (colour kept). A point that the shift takes
    /// out of range stays where the shift left it, as the point-cloud
    /// library's transform of a cloud that is not dense leaves it.
    void ForEach(const PointCloudRGB& cloud,
                 const std::function<void(const pcl::PointXYZRGB&)>& visit) const;

    /// The moved copy of `cloud` that ForEach visits, as a cloud of its own in `out`.
    void CopyInto(const PointCloudRGB& cloud, PointCloudRGB& out) const;

private:
    bool moves = false;
    Eigen::Matrix4f shift = Eigen::Matrix4f::Identity();
    Eigen::Matrix4f turn = Eigen::Matrix4f::Identity();
};
