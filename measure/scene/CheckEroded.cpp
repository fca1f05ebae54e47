#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <vector>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "config/Config.h"
#include "measure/ConfigAccess.h"
#include "measure/scene/BoxStrays.h"
#include "measure/scene/FilterErosion.h"
#include "measure/scene/OutlineFall.h"
#include "measure/scene/OutlineReach.h"
#include "measure/scene/SceneChecks.h"

namespace {

OutlineReach::Point AsPoint(const pcl::PointXYZRGB& p) { return {p.x, p.y, p.z}; }

}  // namespace

std::string Cloud::CheckEroded() const {
    const Config& config = ConfigAccess::Get();
    if (goodsFiltered == 0) {
        return std::string();
    }
    std::array<FilterErosion::Vector2, 4> base;
    for (int i = 0; i < 4; ++i) {
        base[i] = {inboundCorners[0][i], inboundCorners[1][i]};
    }
    // L is measured from A to B and W from B to C before the corrections are
    // added; the spacing of the points is the base's area per point kept.
    const float side01 = std::hypot(base[1][0] - base[0][0], base[1][1] - base[0][1]);
    const float side12 = std::hypot(base[2][0] - base[1][0], base[2][1] - base[1][1]);
    const float pitch = std::sqrt(side01 * side12 / static_cast<float>(goodsFiltered));
    if (config.GetInboundPrecise() == 1) {
        return CheckFootInBox(base, pitch);
    }
    const float division = static_cast<float>(SceneChecks::kErodedBeyondMm / kMillimetresPerMetre);
    const std::size_t kept = std::min(goodsFiltered, cloud->points.size());
    const auto keptAt = [this](std::size_t i) { return AsPoint(cloud->points[i]); };
    if (std::string fault = SceneChecks::KeptStrays(
            BoxStrays(base, pitch, division, kept, keptAt).Count(), cloudInfo.GetSid());
        !fault.empty()) {
        return fault;
    }
    const FilterErosion erosion(filterTaken, base, config.GetInboundCorrextionL(),
                                config.GetInboundCorrextionW(), pitch, division);
    const double rows = pitch > 0.0f ? 2.0 * (side01 + side12) / pitch : 0.0;
    if (std::string fault =
            SceneChecks::Eroded(erosion.Count(), erosion.Farthest(), rows, cloudInfo.GetSid());
        !fault.empty()) {
        return fault;
    }
    // The rows the filter took along a low face stand on no surface of their
    // own, nor does the foot the cut left of goods on the floor: they are
    // judged together with what the filter kept.
    std::vector<OutlineReach::Point> beyond(filterTaken);
    if (goodsFoot) {
        for (const pcl::PointXYZRGB& p : goodsFoot->points) beyond.push_back(AsPoint(p));
    }
    OutlineReach reach(base, config.GetInboundCorrextionL(), config.GetInboundCorrextionW(), pitch,
                       beyond);
    reach.Judge(kept, keptAt);
    if (std::string fault = SceneChecks::ShortOfOutline(
            std::max(reach.Short01(), reach.Short12()), cloudInfo.GetSid());
        !fault.empty()) {
        return fault;
    }
    // The box's bottom lies at the largest z of its corners.
    const float bottom = *std::max_element(std::begin(inboundCorners[2]), std::end(inboundCorners[2]));
    const OutlineFall fall(base, pitch, bottom, kept, keptAt);
    for (int axis = 0; axis < 2; ++axis) {
        const int s = 2 * axis;
        if (std::string fault = SceneChecks::FallsAtSides({fall.Slope(s), fall.Slope(s + 1)},
                                                          {fall.Height(s), fall.Height(s + 1)},
                                                          cloudInfo.GetSid());
            !fault.empty()) {
            return fault;
        }
    }
    return std::string();
}

std::string Cloud::CheckFootInBox(const std::array<std::array<float, 2>, 4>& base, float pitch) const {
    if (!goodsFoot || goodsFoot->empty()) {
        return std::string();
    }
    // The box of the precise mode is fitted to the goods as cut, and reaches
    // below the cut where their top is rounded; a foot that runs on beyond it
    // (a wedge's thin end) is goods the box leaves out. What the filter kept
    // within the box bounds the sides and lends the foot its support; kept
    // points beyond it (mixed pixels, strays) are no outline of the goods.
    const Config& config = ConfigAccess::Get();
    std::vector<OutlineReach::Point> foot;
    foot.reserve(goodsFoot->points.size());
    for (const pcl::PointXYZRGB& p : goodsFoot->points) foot.push_back(AsPoint(p));
    OutlineReach reach(base, config.GetInboundCorrextionL(), config.GetInboundCorrextionW(), pitch,
                       foot);
    const BoxBase& box = reach.Box();
    std::vector<std::size_t> inside;
    for (std::size_t i = 0; i < std::min(goodsFiltered, cloud->points.size()); ++i) {
        const pcl::PointXYZRGB& p = cloud->points[i];
        if (box.Beyond(box.Local(p.x, p.y)) <= 0.0f) inside.push_back(i);
    }
    reach.Judge(inside.size(), [this, &inside](std::size_t i) { return AsPoint(cloud->points[inside[i]]); });
    return SceneChecks::FootBeyondBox(std::max(reach.Short01(), reach.Short12()), cloudInfo.GetSid());
}
