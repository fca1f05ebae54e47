// The orthogonal projection of a cloud's points onto a plane.
#include "measure/PlaneProjection.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <Eigen/Core>

PlaneProjection::PlaneProjection(float a, float b, float c, float d) {
    // Eigen's four-float forms are kept on purpose: its sums run over the
    // lanes as (0 + 2) + (1 + 3), and another order would round differently.
    Eigen::Vector4f unit(a, b, c, 0.0f);
    unit.normalize();
    for (int i = 0; i < 4; ++i) {
        normal[i] = unit[i];
        plane[i] = i < 3 ? unit[i] : d;
    }
}

void PlaneProjection::AppendTo(PointCloudRGB& cloud) const {
    const Eigen::Map<const Eigen::Vector4f> unit(normal);
    const Eigen::Map<const Eigen::Vector4f> coefficients(plane);
    const std::size_t count = cloud.points.size();
    cloud.points.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        pcl::PointXYZRGB moved = cloud.points[i];
        const Eigen::Vector4f p(moved.x, moved.y, moved.z, 1.0f);
        const float distance = coefficients.dot(p);
        moved.getVector4fMap() = p - unit * distance;
        cloud.points.push_back(moved);
    }
    cloud.width = static_cast<std::uint32_t>(cloud.points.size());
    cloud.height = 1;
}
