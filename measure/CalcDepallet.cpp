#include <pcl/common/io.h>
#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "config/Config.h"
#include "measure/FloorPlane.h"
#include "measure/PlaneProjection.h"
#include "measure/camera/KeptFlyingPixels.h"
#include "measure/filter/StatisticalOutliers.h"
#include "measure/goods/GoodsFoot.h"
#include "measure/goods/ImageFloorNoise.h"
#include "measure/goods/ImageFoot.h"
#include "measure/scene/SceneChecks.h"

namespace {

// Below this pallet height (whole millimetres) there is nothing to cut.
constexpr int kMinPalletHeightMm = 2;
// Start of the search for the floor side when no floor plane is known;
// every real scan lies above it.
constexpr float kLowestZ = -100.0f;
// The cut took part of the goods' outline when more of their foot than this
// lies off the footprint of what it kept, and more than one in this many of
// the points it kept: a few mixed pixels along the goods' foot do not count.
constexpr std::size_t kLeastFootBeyond = 20;
constexpr std::size_t kFootBeyondPerKept = 100;

/// A length in metres as whole millimetres, truncated toward zero. Kept in a
/// double so that a NaN or an absurd coordinate compares false instead of
/// overflowing the integer conversion.
double WholeMillimetres(float metres) {
    return std::trunc(static_cast<double>(metres) * kMillimetresPerMetre);
}

}  // namespace

bool Cloud::CutsPallet(float palletHeightMm) {
    // Written so that a NaN height also means "no pallet".
    return std::trunc(palletHeightMm) >= kMinPalletHeightMm;
}

void Cloud::CalcDepallet() {
    Config* config = Config::GetInstance("");
    const float palletHeightMm = config->GetPalletHeight();
    if (!CutsPallet(palletHeightMm)) {
        return;
    }
    const float palletHeight = palletHeightMm / kMillimetresPerMetre;
    const float correction = config->GetPalletCorrectionHeight() / kMillimetresPerMetre;

    // The floor is the reference of the cut: a camera above the goods rarely
    // sees the floor itself, so the farthest point is often the pallet's deck
    // or a stray. Only a cloud without a known plane falls back on its
    // farthest point along the frame's vertical.
    const FloorPlane floor(cloudInfo.GetCoeffA(), cloudInfo.GetCoeffB(), cloudInfo.GetCoeffC(),
                           cloudInfo.GetCoeffD());
    const auto along = [&floor](const pcl::PointXYZRGB& p) { return floor.Along(p.x, p.y, p.z); };
    float reference = floor.Floor();
    if (!floor.HasNormal()) {
        reference = kLowestZ;
        for (const pcl::PointXYZRGB& p : cloud->points) {
            if (pcl::isFinite(p) && p.z > reference) {
                reference = p.z;
            }
        }
    }
    const float top = reference - palletHeight;
    const double limitMm = WholeMillimetres(top - correction);

    // Points without coordinates cannot be placed above or below the cut and
    // are dropped with the pallet, and so are strays beyond the floor.
    PointCloudRGBPtr kept(new PointCloudRGB);
    // The box of today's mode spans every point the filter keeps: flying
    // pixels it kept far down an edge widen the goods. They are found among
    // their neighbours in the scan's image or over its rays, so each kept
    // point's index in the scan is noted.
    const bool checksFlying = config->GetInboundPrecise() != 1 && floor.HasNormal();
    const auto cuts = [&](const pcl::PointXYZRGB& p) {
        return pcl::isFinite(p) && WholeMillimetres(along(p)) <= limitMm;
    };
    // Goods on the floor lower at their outline than the cut (a rounded item,
    // a wedge, a plate) lose that part to it: the whole of them is measured
    // instead of what stands above the cut. Not on a pallet: its deck is no
    // flat floor, and its boards' noise would pass for a foot.
    const bool onFloor = floor.HasNormal() && correction > 0.0f &&
                         GoodsOnFloor(palletHeightMm, config->GetFloorNoiseBand());
    // What the cut keeps, noted point by point only where a foot may join
    // it; elsewhere the cut's test is taken again when the points are copied.
    std::vector<bool> cutKeeps(onFloor ? cloud->points.size() : 0, false);
    std::size_t cut = 0;
    for (std::size_t i = 0; i < cloud->points.size(); ++i) {
        const bool keeps = cuts(cloud->points[i]);
        if (onFloor) cutKeeps[i] = keeps;
        cut += keeps ? 1 : 0;
    }
    const double least = static_cast<double>(palletHeight) + static_cast<double>(correction) / 2;
    if (onFloor) {
        const GoodsFoot foot(*cloud, floor, cutKeeps, least);
        if (foot.Beyond() > std::max(kLeastFootBeyond, cut / kFootBeyondPerKept)) {
            for (const std::uint32_t i : foot.Points()) cutKeeps[i] = true;
        }
    }
    // The precise box follows the goods' surface on below the cut, pixel by
    // pixel, to a base too gently sloping to fill the cells above; today's
    // box is judged against it.
    goodsFoot.reset();
    // Where the image shows a floor flatter than the correction allows for,
    // the foot runs on down to that floor's own noise.
    if (onFloor) {
        const ImageFloorNoise noise(*cloud, floor, cutKeeps, least);
        const double quiet =
            noise.Found() ? SceneChecks::CorrectionForNoiseMm(noise.Top()) / kMillimetresPerMetre
                          : correction;
        const double footLeast = static_cast<double>(palletHeight) + quiet / 2;
        const ImageFoot lower =
            footLeast < least ? ImageFoot(*cloud, floor, cutKeeps, footLeast) : ImageFoot();
        const ImageFoot& foot = footLeast < least ? lower : noise.Foot();
        goodsFoot.reset(new PointCloudRGB);
        goodsFoot->points.reserve(foot.Points().size());
        for (const std::uint32_t i : foot.Points()) goodsFoot->points.push_back(cloud->points[i]);
        goodsFoot->width = static_cast<std::uint32_t>(goodsFoot->points.size());
        goodsFoot->height = 1;
    }
    // Room for what the cut keeps and no more: in the precise mode it stays
    // beside the cloud through the measurements after the cut.
    const auto keeps =
        onFloor ? static_cast<std::size_t>(std::count(cutKeeps.begin(), cutKeeps.end(), true))
                : cut;
    kept->points.reserve(keeps);
    std::vector<std::uint32_t> pixel;
    if (checksFlying) pixel.reserve(keeps);
    for (std::size_t i = 0; i < cloud->points.size(); ++i) {
        if (onFloor ? cutKeeps[i] : cuts(cloud->points[i])) {
            kept->points.push_back(cloud->points[i]);
            if (checksFlying) pixel.push_back(static_cast<std::uint32_t>(i));
        }
    }
    kept->width = static_cast<std::uint32_t>(kept->points.size());
    kept->height = 1;
    kept->is_dense = false;

    // A remnant of no more than mean K points is kept whole by the filter.
    const std::vector<int> inliers =
        StatisticalOutliers(config->GetPalletMeanK(), config->GetPalletStdDevMulThresh())
            .Inliers(*kept);
    keptFlying = 0;
    keptFlyingWidest = 0.0;
    filterTaken.clear();
    if (config->GetInboundPrecise() != 1) {
        std::vector<bool> inlier(kept->points.size(), false);
        for (const int k : inliers) inlier[static_cast<std::size_t>(k)] = true;
        for (std::size_t k = 0; k < inlier.size(); ++k) {
            const pcl::PointXYZRGB& p = kept->points[k];
            if (!inlier[k]) filterTaken.push_back({p.x, p.y, p.z});
        }
    }
    if (checksFlying) {
        std::vector<bool> survivors(cloud->points.size(), false);
        for (const int k : inliers) {
            survivors[pixel[static_cast<std::size_t>(k)]] = true;
        }
        const KeptFlyingPixels flying(*cloud, survivors, floor, palletHeight + correction);
        keptFlying = flying.Count();
        keptFlyingWidest = flying.Widest();
    }
    // The scan is read no more: its storage, resident already, takes the
    // filtered points and their projection appended below wherever it has
    // room for both, instead of fresh pages that would be zeroed first.
    PointCloudRGB filtered;
    if (2 * inliers.size() <= cloud->points.capacity()) {
        filtered.points.swap(cloud->points);
    } else {
        filtered.points.reserve(2 * inliers.size());
    }
    pcl::copyPointCloud(*kept, inliers, filtered);
    // The precise inbound box rejects strays by itself and needs the outline
    // the filter erodes: it keeps the goods as cut.
    goodsAsCut.reset();
    if (config->GetInboundPrecise() == 1) {
        goodsAsCut = kept;
        kept.reset(new PointCloudRGB);
    }
    kept->swap(filtered);
    goodsFiltered = kept->points.size();

    // Close the bottom of the goods: every point again, on the pallet's top face.
    // The pallet's top: parallel to the floor, the pallet height toward the camera.
    if (!kept->points.empty()) {
        PlaneProjection(floor.A(), floor.B(), floor.C(), -top).AppendTo(*kept);
    }
    bottomAboveFloor = std::trunc(palletHeightMm) == kMinPalletHeightMm && floor.C() > 0.0f
                           ? palletHeight / floor.C()
                           : 0.0f;

    cloud->swap(*kept);
}
