#include "measure/scene/SceneChecks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "cloud/Units.h"
#include "config/StringFormat.h"
#include "measure/camera/FlyingPixel.h"
#include "measure/camera/KeptFlyingPixels.h"
#include "measure/scene/FloorZone.h"
#include "measure/scene/SceneTally.h"

namespace {

// The end of a refusal of today's box as short of the goods, cut and below the cut.
const char* const kMeasurePrecise =
    "measure in the precise mode (inbound.precise 1), which fits the box to the goods as cut and "
    "below the cut";

double Percent(std::size_t count, std::size_t of) {
    return of == 0 ? 0.0 : 100.0 * static_cast<double>(count) / static_cast<double>(of);
}

const char* const kCutRemedy =
    "; measure goods on the floor with -e 2 (the floor band is cut and the bottom closed on the "
    "floor), goods on a pallet with -d PALLET";

/// Whether the points kept for measuring reach an edge of the camera's
/// image, or of the measuring zone of a scan without one.
bool ReachesEdge(const SceneTally& tally) {
    for (int side = 0; side < SceneTally::kSides; ++side) {
        if (tally.Organized() &&
            tally.AtBorder(static_cast<SceneTally::Side>(side)) > SceneChecks::kMostBorderPoints) {
            return true;
        }
    }
    for (int side = 0; side < FloorZone::kSides; ++side) {
        if (tally.AtZoneEdge(static_cast<FloorZone::Side>(side)) > SceneChecks::kMostBorderPoints) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string SceneChecks::NoCut(const SceneTally& tally, const std::string& sid, double band) {
    if (tally.Finite() == 0) {
        return std::string();
    }
    const std::string bandMm = string_format("%.0f", band * kMillimetresPerMetre);
    if (tally.OnFloor() > kMostFloorPoints) {
        return "Scan of session " + sid + " holds the floor: " + std::to_string(tally.OnFloor()) +
               " points (" + string_format("%.1f", Percent(tally.OnFloor(), tally.Finite())) +
               " %) lie within " + bandMm +
               " mm of its floor plane or beyond it, off the goods' footprint (at most " +
               std::to_string(kMostFloorPoints) + "), and a run without a cut measures them as goods" +
               kCutRemedy;
    }
    if (tally.Flying() > kMostFlyingPixels) {
        return "Goods of session " + sid + " show flying pixels: " + std::to_string(tally.Flying()) +
               " points stand off their edges along the camera's rays, more than " +
               std::to_string(FlyingPixel::kDropMm) +
               " mm behind a neighbouring pixel (at most " + std::to_string(kMostFlyingPixels) +
               "), and a run without a cut measures them as goods" + kCutRemedy;
    }
    if (tally.LowestAbove() > band) {
        return "Goods of session " + sid +
               " were not seen down to the floor: their lowest point lies " +
               string_format("%.0f", tally.LowestAbove() * kMillimetresPerMetre) +
               " mm above its floor plane (at most " + bandMm +
               " mm), and a run without a cut measures only what the camera saw of them" + kCutRemedy;
    }
    return std::string();
}

std::string SceneChecks::ImageBorder(const SceneTally& tally, const std::string& sid) {
    if (!tally.Organized()) {
        return std::string();
    }
    static const char* const kNames[SceneTally::kSides] = {"top row", "bottom row", "left column",
                                                           "right column"};
    for (int side = 0; side < SceneTally::kSides; ++side) {
        const std::size_t count = tally.AtBorder(static_cast<SceneTally::Side>(side));
        const std::size_t run = tally.BorderRun(static_cast<SceneTally::Side>(side));
        if (count > kMostBorderPoints && run < kLeastGoodsRun) {
            return "Floor of session " + sid + " stands above the cut at the camera's image edge: " +
                   std::to_string(count) + " points kept for measuring lie in its " + kNames[side] +
                   " (at most " + std::to_string(kMostBorderPoints) + "), scattered (at most " +
                   std::to_string(run) + " side by side, goods cut off by the edge run on " +
                   std::to_string(kLeastGoodsRun) +
                   " and more): the floor's strays, of a floor nearer the camera than its plane or "
                   "of noise reaching above the cut: if the camera has moved fit the floor again "
                   "with kelvo_calibrate floor -s " +
                   sid + ", else raise pallet.correction.height to clear the floor's noise";
        }
        if (count > kMostBorderPoints) {
            return "Goods of session " + sid + " reach beyond the camera's image: " +
                   std::to_string(count) + " points kept for measuring lie in its " +
                   kNames[side] + " (at most " + std::to_string(kMostBorderPoints) +
                   "); place the goods wholly within the measuring zone";
        }
    }
    return std::string();
}

std::string SceneChecks::ZoneEdge(const SceneTally& tally, const std::string& sid,
                                  const FloorZone& zone) {
    if (tally.Organized() || !zone.IsSet()) {
        return std::string();
    }
    // Named by the setting that holds the edge, which is what the station's
    // operator finds in its printout and in the floor calibration's.
    static const char* const kAxes[FloorZone::kSides] = {"x", "x", "y", "y"};
    static const char* const kKeys[FloorZone::kSides] = {"floor.zone.x.min", "floor.zone.x.max",
                                                         "floor.zone.y.min", "floor.zone.y.max"};
    for (int side = 0; side < FloorZone::kSides; ++side) {
        const std::size_t count = tally.AtZoneEdge(static_cast<FloorZone::Side>(side));
        if (count > kMostBorderPoints) {
            return "Goods of session " + sid + " reach beyond the measuring zone: the camera's rays to " +
                   std::to_string(count) + " points kept for measuring meet the floor beyond its edge at " +
                   kAxes[side] + " = " + string_format("%.3f", zone.Edge(static_cast<FloorZone::Side>(side))) +
                   " m (" + kKeys[side] + ") or within " + std::to_string(FloorZone::kMarginMm) +
                   " mm inside it (at most " + std::to_string(kMostBorderPoints) +
                   "); place the goods wholly within the measuring zone";
        }
    }
    return std::string();
}

std::string SceneChecks::TooLow(const SceneTally& tally, const std::string& sid, double cutMm,
                                double palletMm, bool onFloor) {
    // Nothing at all above the cut is the empty cloud's own refusal; a
    // cloud sparse all over (no camera's) has no surface to tell strays by.
    // A camera's image is judged by its pixels: a scanner that drops the
    // floor's returns may leave no more than the strays of low goods, and
    // without an image those few strays are the whole scan.
    const bool scattered = tally.KeptOnSurface() < kLeastGoodsPoints &&
                           (Percent(tally.Kept(), tally.Reference()) < kMostStraysKeptPercent ||
                            tally.Kept() < kLeastGoodsPoints);
    const double leastMm = LeastGoodsHeightMm(cutMm, cutMm - palletMm);
    const double medianMm = tally.KeptMedianHeight() * kMillimetresPerMetre;
    const bool low = tally.Kept() >= kLeastGoodsPoints && cutMm > palletMm && medianMm < leastMm;
    if (tally.Kept() == 0 || !(scattered || low)) {
        return std::string();
    }
    const std::string kept = "Nothing of session " + sid + " stands clear of the cut " +
                             string_format("%.0f", cutMm) + " mm over the floor: " +
                             std::to_string(tally.Kept()) + " points kept, " +
                             std::to_string(tally.KeptOnSurface()) +
                             " of them side by side (goods show as " + std::to_string(kLeastGoodsPoints) +
                             " and more), their median " + string_format("%.0f", medianMm) +
                             " mm over the floor (goods stand half the correction above the cut); ";
    if (onFloor) {
        return kept + "goods lower than " + string_format("%.0f", leastMm) +
               " mm cannot be told from the floor of session " + sid;
    }
    return kept + "goods lower than " + string_format("%.0f", leastMm - palletMm) +
           " mm cannot be told from the pallet's top of session " + sid + "; check the pallet's height";
}

std::string SceneChecks::BelowLowestReturn(const SceneTally& tally, const std::string& sid,
                                           bool onFloor) {
    if (!onFloor || tally.AtLowestReturn() <= kMostAtLowestReturn) {
        return std::string();
    }
    const double lowestMm = tally.LowestReturn() * kMillimetresPerMetre;
    return "Goods of session " + sid + " run on below the scanner's lowest return, " +
           string_format("%.0f", lowestMm) +
           " mm over the floor: " + std::to_string(tally.AtLowestReturn()) +
           " pixels of a surface of theirs lie within " +
           string_format("%g", SceneTally::kLowestReturnMm) + " mm above it (at most " +
           std::to_string(kMostAtLowestReturn) +
           "), and the part the scanner dropped with the floor is missing; goods lower than " +
           string_format("%.0f", lowestMm + SceneTally::kLowestReturnMm) +
           " mm cannot be told from the floor of session " + sid;
}

std::string SceneChecks::LayerAboveCut(const SceneTally& tally, const std::string& sid, bool onFloor) {
    if (Percent(tally.JustAboveCut(), tally.Kept()) <= kMostJustAboveCutPercent ||
        static_cast<double>(tally.JustBelowCut()) >
            kMostBelowPerAboveCut * static_cast<double>(tally.JustAboveCut())) {
        return std::string();
    }
    // A layer spreads beyond the goods standing in it: the sides of goods
    // and the noise of a low top lie within their footprint. Goods no taller
    // than the slab are the layer themselves, and only a floor reaches the
    // edges of the camera's image or of the measuring zone.
    double share = Percent(tally.JustAboveCutOff(), tally.Kept());
    if (Percent(tally.AboveSlab(), tally.Kept()) < kMostJustAboveCutPercent) {
        share = ReachesEdge(tally) ? Percent(tally.JustAboveCut(), tally.Kept()) : 0.0;
    }
    if (share <= kMostJustAboveCutPercent) {
        return std::string();
    }
    const std::string layer = "Cut of session " + sid + " leaves a layer with the goods: " +
                              string_format("%.1f", share) + " % of the points it keeps lie within " +
                              std::to_string(SceneTally::kAboveCutMm) + " mm above it (at most " +
                              string_format("%g", kMostJustAboveCutPercent) + " %), ";
    if (onFloor) {
        return layer +
               "a floor nearer the camera than the floor plane puts it, or the floor's own noise "
               "reaching above the cut: if the camera has moved fit the floor again with "
               "kelvo_calibrate floor -s " +
               sid + ", else raise pallet.correction.height to clear the floor's noise";
    }
    return layer +
           "a pallet's deck or a floor nearer the camera than the floor plane puts it: check "
           "the pallet's height, and if the camera has moved fit the floor again with "
           "kelvo_calibrate floor -s " +
           sid;
}

std::string SceneChecks::SupportBelowPallet(const SceneTally& tally, const std::string& sid,
                                            double palletHeight, double band) {
    const double share = Percent(tally.SupportPoints(), tally.Reference());
    const double dropMm = (palletHeight - tally.SupportHeight()) * kMillimetresPerMetre;
    if (palletHeight <= band || share < kLeastSupportLayerPercent || dropMm <= kMostSupportDropMm) {
        return std::string();
    }
    return "Pallet of session " + sid + " seen " + string_format("%.0f", dropMm) +
           " mm below its height: " + string_format("%.1f", share) + " % of the " +
           (tally.Organized() ? "pixels" : "points") + " lie in one layer parallel to the floor " +
           string_format("%.0f", tally.SupportHeight() * kMillimetresPerMetre) + " mm above it, where " +
           string_format("%.0f", palletHeight * kMillimetresPerMetre) +
           " mm put the pallet's top (a layer from " + string_format("%g", kLeastSupportLayerPercent) +
           " %, at most " + string_format("%g", kMostSupportDropMm) +
           " mm lower), and the cut would take that much of the goods: check the pallet's height, "
           "and if the camera has moved fit the floor again with kelvo_calibrate floor -s " +
           sid;
}

std::string SceneChecks::KeptFlying(std::size_t count, double widest, const std::string& sid) {
    if (count <= kMostKeptFlyingPixels) {
        return std::string();
    }
    return "Goods of session " + sid + " keep flying pixels after the filter: " + std::to_string(count) +
           " points kept for measuring stand up to " + string_format("%.0f", widest * kMillimetresPerMetre) +
           " mm off the goods' edges along the camera's rays (at most " +
           std::to_string(kMostKeptFlyingPixels) + " beyond " +
           std::to_string(KeptFlyingPixels::kMostShiftMm) +
           " mm), and the box would span them; measure in the precise mode (inbound.precise 1), "
           "which fits the box to the goods' faces";
}

std::string SceneChecks::KeptStrays(std::size_t count, const std::string& sid) {
    if (count == 0) {
        return std::string();
    }
    return "Goods of session " + sid +
           " keep strays beside them after the filter: " + std::to_string(count) +
           (count == 1 ? " point kept for measuring stands" : " points kept for measuring stand") +
           " alone more than " + string_format("%g", kErodedBeyondMm) +
           " mm beyond the goods' outline, and the box would span them; raise "
           "pallet.correction.height to clear the floor's noise, or measure in the precise mode "
           "(inbound.precise 1), which fits the box to the goods' faces";
}

std::string SceneChecks::Eroded(std::size_t count, double farthest, double rows, const std::string& sid) {
    const auto most = std::max(kMostErodedPoints, static_cast<std::size_t>(kMostErodedPerRow * rows));
    if (count <= most) {
        return std::string();
    }
    return "Goods of session " + sid + " lose their outline to the outlier filter: " +
           std::to_string(count) + " points of their surfaces stand up to " +
           string_format("%.0f", farthest * kMillimetresPerMetre) +
           " mm beyond the box measured on what it kept (at most " + std::to_string(most) +
           " beyond " + string_format("%g", kErodedBeyondMm) +
           " mm), and the box would be short of the goods; measure in the precise mode "
           "(inbound.precise 1), which fits the box to the goods as cut";
}

std::string SceneChecks::ShortOfOutline(double shortBy, const std::string& sid) {
    const double mm = shortBy * kMillimetresPerMetre;
    if (!(mm > kErodedBeyondMm)) {
        return std::string();
    }
    return "Goods of session " + sid +
           " reach beyond the box measured on what the cut and the outlier filter " +
           "kept of them: the outline of their surfaces is " + string_format("%.0f", mm) +
           " mm longer than the box (at most " + string_format("%g", kErodedBeyondMm) +
           " mm), and the box would be short of the goods; " + kMeasurePrecise;
}

std::string SceneChecks::FallsAtSides(const std::array<double, 2>& slopes,
                                      const std::array<double, 2>& heights, const std::string& sid) {
    for (int s = 0; s < 2; ++s) {
        if (!(slopes[s] > kSteepFall && slopes[s] <= kWallSlope &&
              heights[s] * kMillimetresPerMetre > kSteepFallAboveMm)) {
            return std::string();
        }
    }
    const double slope = std::min(slopes[0], slopes[1]);
    const double mm = std::min(heights[0], heights[1]) * kMillimetresPerMetre;
    return "Goods of session " + sid + " fall steeply where the points kept of them end: " +
           "at two opposite sides of the box their surface drops " + string_format("%.1f", slope) +
           " mm per mm outward, " + string_format("%.0f", mm) + " mm above its bottom (at most " +
           string_format("%g", kSteepFall) + " mm per mm higher than " +
           string_format("%g", kSteepFallAboveMm) +
           " mm), and runs on beyond the box, which would be short of the goods; " +
           kMeasurePrecise;
}

std::string SceneChecks::FootBeyondBox(double shortBy, const std::string& sid) {
    const double mm = shortBy * kMillimetresPerMetre;
    if (!(mm > kErodedBeyondMm)) {
        return std::string();
    }
    return "Goods of session " + sid + " run on below the cut beyond the box fitted to them: " +
           "the outline of their surface below the cut is " + string_format("%.0f", mm) +
           " mm longer than the box (at most " + string_format("%g", kErodedBeyondMm) +
           " mm), and the box would be short of the goods";
}

std::string SceneChecks::MovedFloor(const SceneTally& tally, const std::string& sid) {
    const double share = Percent(tally.LayerPoints(), tally.Reference());
    const double offsetMm = tally.LayerOffset() * kMillimetresPerMetre;
    if (share < kLeastFloorLayerPercent || std::fabs(offsetMm) <= kMostFloorOffsetMm ||
        static_cast<double>(tally.LayerPoints()) <=
            kLeastLayerPerMirror * static_cast<double>(tally.MirrorPoints())) {
        return std::string();
    }
    // The floor seen again spreads beyond the goods, to the image's edges;
    // the sides of goods sampled in rows of one height and flat goods do not,
    // nor is the top of low goods in a cloud no camera took a floor.
    if (Percent(tally.LayerPointsOff(), tally.Reference()) < kLeastFloorLayerPercent ||
        ((tally.Organized() || tally.Zoned()) && tally.LayerOffAtBorder() <= kMostBorderPoints) ||
        tally.LayerTopsSampledCloud()) {
        return std::string();
    }
    return "Floor of session " + sid + " seen " + string_format("%.0f", std::fabs(offsetMm)) + " mm " +
           (offsetMm < 0.0 ? "nearer the camera" : "farther from the camera") +
           " than its floor plane: " + string_format("%.1f", share) + " % of the " +
           (tally.Organized() ? "pixels" : "points") +
           " lie in one layer parallel to it (a floor from " +
           string_format("%g", kLeastFloorLayerPercent) + " %, off the plane beyond " +
           string_format("%g", kMostFloorOffsetMm) +
           " mm); the camera has moved since the station was calibrated: fit the floor again "
           "with kelvo_calibrate floor -s " +
           sid + " on a scan of the empty station";
}
