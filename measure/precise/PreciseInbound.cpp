#include "measure/precise/PreciseInbound.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <vector>

#include "measure/precise/PreciseBox.h"

namespace {

// The division of parcel dimensioners: goods standing farther than this
// beyond a fitted face move the face out to them.
constexpr float kDivision = 0.005f;
// Going round the base: vertex numbers by the signs along axis 0 and 1
// (0: --, 1: +-, 2: -+, 3: ++), as for the exact box.
constexpr std::array<int, 4> kCornerOrder = {0, 1, 3, 2};

/// The coordinates of the first `count` points of `cloud` that have them.
std::vector<PreciseBox::Point> Coordinates(const PointCloudRGB& cloud, std::size_t count) {
    std::vector<PreciseBox::Point> points;
    points.reserve(std::min(count, cloud.size()));
    for (std::size_t i = 0; i < count && i < cloud.size(); ++i) {
        const pcl::PointXYZRGB& p = cloud.points[i];
        if (pcl::isFinite(p)) points.push_back({p.x, p.y, p.z});
    }
    return points;
}

}  // namespace

bool PreciseCorners(const PointCloudRGB& goods, const geom::OrientedBox<2, float>& rectangle,
                    float zMax, float corners[3][8], const PointCloudRGB& kept, std::size_t filtered,
                    const PointCloudRGB& foot) {
    const std::vector<PreciseBox::Point> points = Coordinates(goods, goods.size());
    const std::vector<PreciseBox::Point> survivors = Coordinates(kept, filtered);
    const std::vector<PreciseBox::Point> below = Coordinates(foot, foot.size());
    const PreciseBox box(points, {rectangle.center[0], rectangle.center[1]},
                         {rectangle.axis[0][0], rectangle.axis[0][1]},
                         {rectangle.axis[1][0], rectangle.axis[1][1]}, kDivision, survivors, below);
    if (!box.Fitted()) return false;
    const float top = std::min(box.Top(), zMax);
    for (int i = 0; i < 4; ++i) {
        const int vertex = kCornerOrder[i];
        const float s0 = (vertex & 1) != 0 ? 1.0f : -1.0f;
        const float s1 = (vertex & 2) != 0 ? 1.0f : -1.0f;
        const float x = box.Center()[0] + s0 * box.Extent(0) * box.Axis(0)[0] +
                        s1 * box.Extent(1) * box.Axis(1)[0];
        const float y = box.Center()[1] + s0 * box.Extent(0) * box.Axis(0)[1] +
                        s1 * box.Extent(1) * box.Axis(1)[1];
        corners[0][i] = corners[0][i + 4] = x;
        corners[1][i] = corners[1][i + 4] = y;
        corners[2][i] = top;
        corners[2][i + 4] = zMax;
    }
    return true;
}
