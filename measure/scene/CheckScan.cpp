#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstddef>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "config/Config.h"
#include "measure/ConfigAccess.h"
#include "measure/FloorPlane.h"
#include "measure/scene/FloorZone.h"
#include "measure/scene/SceneChecks.h"
#include "measure/scene/SceneTally.h"

namespace {

// A depth camera over a station returns nothing farther than this (metres):
// a point beyond it is a scan in another unit (millimetres give thousands)
// or garbage, and every size measured from it would be stored as absurd.
constexpr double kFarthestReturn = 20.0;
// When more of the finite points than this (per cent) lie beyond the floor's
// noise band, or farther from the floor than the camera itself, the plane is
// not this station's floor: the pallet, or the goods' lower part, or the
// whole scene would be measured against the wrong reference.
constexpr double kMostOffPlanePercent = 5.0;
// Floor noise is symmetric about the floor: for every stray beyond it by a
// given distance, about as many stand above it by the same distance. When
// more strays than this (per cent of the points the cut keeps) lie beyond
// the floor by more than the cut's height, as many stand above the cut among
// the goods, too many for the outlier filter, and they widen the footprint.
constexpr double kMostStraysAboveCutPercent = 1.0;
// A few strays the filter takes whatever the goods' size: a jar 0.1 m across
// keeps a few hundred points, and 6 to 8 strays were 1.8 to 2.4 % of them.
constexpr std::size_t kMostStraysAboveCut = 8;

std::string Fixed(double value, int decimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

/// A distance in metres for a message: one decimal, or three digits when
/// it is so far off that decimals say nothing.
std::string Metres(double value) {
    if (value < 1e6) {
        return Fixed(value, 1);
    }
    std::ostringstream text;
    text << std::setprecision(3) << value;
    return text.str();
}

/// The station's measuring zone from its settings; none when they are all 0.
FloorZone StationZone(const Config& config) {
    return FloorZone(config.GetFloorZoneXMin(), config.GetFloorZoneXMax(),
                     config.GetFloorZoneYMin(), config.GetFloorZoneYMax());
}

}  // namespace

std::string Cloud::CheckScan(bool cutsPallet, bool storesWhole) const {
    const std::string session = "session " + cloudInfo.GetSid();
    const FloorPlane floor(cloudInfo.GetCoeffA(), cloudInfo.GetCoeffB(), cloudInfo.GetCoeffC(),
                           cloudInfo.GetCoeffD());
    // A stray beyond the floor by no more than the band is floor noise: the
    // station's floor calibration measures how far its camera's noise reaches.
    const Config& config = ConfigAccess::Get();
    const double band = static_cast<double>(config.GetFloorNoiseBand() / kMillimetresPerMetre);
    // The pallet's top and the cut's height above the floor, as the pallet cut forms them.
    const double pallet = static_cast<double>(config.GetPalletHeight() / kMillimetresPerMetre);
    const double cut =
        pallet + static_cast<double>(config.GetPalletCorrectionHeight() / kMillimetresPerMetre);
    // A cut on a plane the checks below let pass is checked on the tally of
    // the scene, and the farthest range is taken in the same pass over the
    // scan; otherwise in a pass of its own.
    const FloorZone zone = StationZone(config);
    const bool tallies = cutsPallet && floor.HasNormal() &&
                         !(floor.TiltDegrees() > FloorPlane::kMostTiltDegrees) &&
                         floor.Floor() != 0.0f && !(floor.Floor() > kFarthestReturn);
    std::optional<SceneTally> tally;
    if (tallies) tally.emplace(*cloud, floor, cut, band, zone);
    const std::pair<std::size_t, double> ranges =
        tally ? std::make_pair(tally->Finite(), tally->FarthestSquared())
              : SceneTally::Ranges(*cloud);
    const std::size_t finite = ranges.first;
    const double farthest = std::sqrt(ranges.second);
    if (farthest > kFarthestReturn) {
        return "Scan of " + session + " is not plausible: a point lies " + Metres(farthest) +
               " m from the camera (at most " + Fixed(kFarthestReturn, 0) +
               " m; coordinates in millimetres?)";
    }

    if (!floor.HasNormal()) {
        return std::string();
    }
    if (floor.TiltDegrees() > FloorPlane::kMostTiltDegrees) {
        return "Scan of " + session + " is not level: its floor plane is tilted " +
               Fixed(floor.TiltDegrees(), 2) + " degrees from the z axis (at most " +
               Fixed(FloorPlane::kMostTiltDegrees, 1) +
               "; the boxes are measured upright along z, so z must be the vertical)";
    }
    if (!cutsPallet) {
        return CheckUncut(floor, band, storesWhole);
    }
    const std::string misfit = "Floor plane of " + session + " does not fit the scan: ";
    if (floor.Floor() == 0.0f) {
        return misfit + "it runs through the camera";
    }
    if (floor.Floor() > kFarthestReturn) {
        return misfit + "the camera would stand " + Metres(floor.Floor()) + " m from it (at most " +
               Fixed(kFarthestReturn, 0) + " m)";
    }
    if (finite == 0) {
        return std::string();
    }
    // The plane passed every check above: the tally was taken.
    const std::size_t beyond = tally->PastBand();
    const std::size_t strays = tally->StraysPastCut();  // within the band
    const std::size_t kept = tally->OverCut();
    const double farthestStray = tally->FarthestStray();
    const auto percent = [finite](std::size_t count) {
        return 100.0 * static_cast<double>(count) / static_cast<double>(finite);
    };
    if (percent(tally->BehindCamera()) > kMostOffPlanePercent) {
        return misfit + Fixed(percent(tally->BehindCamera()), 1) +
               " % of the points lie farther from it than the camera (is the sign of d wrong?)";
    }
    if (const std::string moved = SceneChecks::MovedFloor(*tally, cloudInfo.GetSid()); !moved.empty()) {
        return moved;
    }
    if (percent(beyond) > kMostOffPlanePercent) {
        return misfit + Fixed(percent(beyond), 1) + " % of the points lie more than " +
               Fixed(band * kMillimetresPerMetre, 0) + " mm beyond it (at most " +
               Fixed(kMostOffPlanePercent, 0) + " %)";
    }
    if (kept > 0 && strays > kMostStraysAboveCut &&
        100.0 * static_cast<double>(strays) / static_cast<double>(kept) > kMostStraysAboveCutPercent) {
        return "Floor noise of " + session + " reaches above the cut: " + std::to_string(strays) +
               " points lie " + Fixed(cut * kMillimetresPerMetre, 0) + " to " +
               Fixed(farthestStray * kMillimetresPerMetre, 0) +
               " mm beyond the floor, so as many floor strays stand above the cut among the " +
               std::to_string(kept) + " points kept (at most " +
               Fixed(kMostStraysAboveCutPercent, 0) +
               " %); raise pallet.correction.height to clear the floor's noise";
    }
    const bool onFloor = pallet <= band;
    if (const std::string left = SceneChecks::LayerAboveCut(*tally, cloudInfo.GetSid(), onFloor);
        !left.empty()) {
        return left;
    }
    if (const std::string low = SceneChecks::SupportBelowPallet(*tally, cloudInfo.GetSid(), pallet, band);
        !low.empty()) {
        return low;
    }
    // Goods too low to tell from what they stand on, once no layer the cut
    // missed explains a low cloud better.
    if (const std::string low = SceneChecks::TooLow(*tally, cloudInfo.GetSid(), cut * kMillimetresPerMetre,
                                                    pallet * kMillimetresPerMetre, onFloor);
        !low.empty()) {
        return low;
    }
    if (const std::string under =
            SceneChecks::BelowLowestReturn(*tally, cloudInfo.GetSid(), onFloor);
        !under.empty()) {
        return under;
    }
    if (const std::string border = SceneChecks::ImageBorder(*tally, cloudInfo.GetSid()); !border.empty()) {
        return border;
    }
    return SceneChecks::ZoneEdge(*tally, cloudInfo.GetSid(), zone);
}

std::string Cloud::CheckUncut(const FloorPlane& floor, double band, bool storesWhole) const {
    // A cloud read from an earlier cut already stands on the pallet's top,
    // its bottom closed there; a plane the cut could not use is left alone,
    // as a run without a cut always has.
    if (cloudInfo.GetPath() != cloudInfo.Delivered().GetPath() || floor.Floor() <= 0.0f ||
        floor.Floor() > kFarthestReturn) {
        return std::string();
    }
    const FloorZone zone = StationZone(ConfigAccess::Get());
    const SceneTally tally(*cloud, floor, -1.0, band, zone);
    if (100.0 * static_cast<double>(tally.BehindCamera()) > kMostOffPlanePercent * static_cast<double>(tally.Finite())) {
        return std::string();
    }
    // A split alone measures clusters, and drops the small ones the floor's
    // strays make: the floor and the goods' foot are the whole cloud's matter.
    for (const std::string& fault :
         {SceneChecks::MovedFloor(tally, cloudInfo.GetSid()),
          storesWhole ? SceneChecks::NoCut(tally, cloudInfo.GetSid(), band) : std::string(),
          SceneChecks::ImageBorder(tally, cloudInfo.GetSid()),
          SceneChecks::ZoneEdge(tally, cloudInfo.GetSid(), zone)}) {
        if (!fault.empty()) {
            return fault;
        }
    }
    return std::string();
}

std::string Cloud::CheckDepallet() const {
    return SceneChecks::KeptFlying(keptFlying, keptFlyingWidest, cloudInfo.GetSid());
}
