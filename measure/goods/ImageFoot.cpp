#include "measure/goods/ImageFoot.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "measure/FloorPlane.h"

namespace {

// Pairs of pixels side by side sampled for the angle between neighbouring
// rays, and how far apart along their rays they may lie to count: the
// spacing of a surface facing the camera, not of a depth edge.
constexpr std::size_t kSpacingSample = 4096;
constexpr double kSameSurface = 1.5;

double Length(const pcl::PointXYZRGB& p) {
    return std::sqrt(static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y +
                     static_cast<double>(p.z) * p.z);
}

double Distance(const pcl::PointXYZRGB& a, const pcl::PointXYZRGB& b) {
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    const double dz = static_cast<double>(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

/// The angle between the rays of pixels side by side (radians): the median
/// over a sample of pairs in the image's rows of their distance per range.
/// 0 when no pair is found.
double RaySpacing(const PointCloudRGB& scan) {
    const std::size_t width = scan.width;
    const std::size_t stride = std::max<std::size_t>(1, scan.points.size() / kSpacingSample);
    std::vector<double> spacing;
    for (std::size_t i = 0; i + 1 < scan.points.size(); i += stride) {
        if ((i + 1) % width == 0) continue;
        const pcl::PointXYZRGB& a = scan.points[i];
        const pcl::PointXYZRGB& b = scan.points[i + 1];
        if (!pcl::isFinite(a) || !pcl::isFinite(b)) continue;
        // Some cameras write a pixel without a return as the origin.
        const double range = Length(a);
        const double next = Length(b);
        if (!(range > 0.0) || !(next > 0.0) || std::fabs(next - range) > kSameSurface * Distance(a, b) + 1e-9)
            continue;
        spacing.push_back(Distance(a, b) / range);
    }
    if (spacing.empty()) return 0.0;
    const auto middle = spacing.begin() + static_cast<std::ptrdiff_t>(spacing.size() / 2);
    std::nth_element(spacing.begin(), middle, spacing.end());
    return *middle;
}

}  // namespace

ImageFoot::ImageFoot(const PointCloudRGB& scan, const FloorPlane& floor, const std::vector<bool>& kept,
                     double least) {
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    if (height < 2 || width < 2 || width * height != scan.points.size() || kept.size() != scan.points.size()) {
        return;
    }
    const double spacing = RaySpacing(scan);
    if (!(spacing > 0.0)) return;
    const auto raised = [&](const pcl::PointXYZRGB& p) {
        return static_cast<double>(floor.Floor()) - static_cast<double>(floor.Along(p.x, p.y, p.z)) > least;
    };
    // From every pixel the cut keeps, through the pixels of the foot.
    std::vector<bool> reached(kept);
    std::vector<std::uint32_t> front;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i]) front.push_back(static_cast<std::uint32_t>(i));
    }
    while (!front.empty()) {
        const std::size_t at = front.back();
        front.pop_back();
        const pcl::PointXYZRGB& p = scan.points[at];
        const double reach = kContinuityPitches * spacing * Length(p);
        const std::size_t row = at / width;
        const std::size_t column = at % width;
        for (std::size_t r = row > 0 ? row - 1 : 0; r <= std::min(height - 1, row + 1); ++r) {
            for (std::size_t c = column > 0 ? column - 1 : 0; c <= std::min(width - 1, column + 1); ++c) {
                const std::size_t next = r * width + c;
                if (reached[next]) continue;
                const pcl::PointXYZRGB& q = scan.points[next];
                if (!pcl::isFinite(q) || !raised(q) || Distance(p, q) > reach) continue;
                reached[next] = true;
                points.push_back(static_cast<std::uint32_t>(next));
                front.push_back(static_cast<std::uint32_t>(next));
            }
        }
    }
    std::sort(points.begin(), points.end());
}
