// The floor command: the floor plane fitted to a scan of the empty station,
// the pallet correction height and floor noise band it gives (and the
// measuring zone, for a scan without an image), and the stored plane of a
// session against it.

#include "tools/calibrate/floor/FloorCommand.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cloud/Cloud.h"
#include "cloud/CloudInfo.h"
#include "measure/scene/SceneChecks.h"
#include "tools/calibrate/CalibrationStore.h"
#include "tools/calibrate/CommandOutput.h"
#include "tools/calibrate/box/ScanMeasurement.h"
#include "tools/calibrate/floor/FloorFit.h"
#include "tools/calibrate/floor/FloorZoneFit.h"

namespace po = boost::program_options;

namespace calibrate {

namespace {

// The pallet height of a run that measures goods on the floor (-e 2): the
// lowest that cuts at all.
constexpr int kFloorRunPalletMm = 2;

/// The zone's decode rows, in metres to the millimetre, and their printout.
std::vector<std::string> ZoneRows(const FloorZoneFit& zone) {
    const std::pair<const char*, double> edges[] = {{"floor.zone.x.min", zone.XMin()},
                                                    {"floor.zone.x.max", zone.XMax()},
                                                    {"floor.zone.y.min", zone.YMin()},
                                                    {"floor.zone.y.max", zone.YMax()}};
    std::vector<std::string> statements;
    for (const auto& [key, edge] : edges) {
        const std::string value = Printf("%.3f", edge);
        std::printf("%s: %s m\n", key, value.c_str());
        const std::vector<std::string> row = CalibrationStore::DecodeRow("CONFIG", key, value);
        statements.insert(statements.end(), row.begin(), row.end());
    }
    return statements;
}

}  // namespace

int FloorCommand(const po::variables_map& vm, CalibrationStore& store) {
    const std::vector<std::string> files =
        vm.count("scan") ? vm["scan"].as<std::vector<std::string>>() : std::vector<std::string>();
    if (files.size() != 1 || vm.count("index")) {
        throw Refused("Give one raw scan of the empty station: kelvo_calibrate floor SCAN");
    }
    const std::string file = files.front();
    std::array<double, 4> stored = {0.0, 0.0, 0.0, 0.0};
    const std::string sid = vm.count("session_id") ? vm["session_id"].as<std::string>() : "";
    if (!sid.empty() && !store.SessionPlane(sid, stored)) {
        throw Refused("Session not found: " + sid);
    }
    Cloud scan;
    try {
        scan = ScanMeasurement::Load({file, CloudInfo(), file});
    } catch (const ScanFailure& e) {
        throw Refused("Scan " + file + ": " + e.what());
    }
    const FloorFit fit(*scan.getCloud());
    switch (fit.Why()) {
        case FloorFit::Refusal::TooFewPoints:
            throw Refused("Too few points for a floor: " + std::to_string(fit.FinitePoints()) +
                          " finite (need " + std::to_string(FloorFit::kMinPoints) + ")");
        case FloorFit::Refusal::NoDominantPlane:
            throw Refused("No dominant plane: " + Printf("%.1f", 100.0 * fit.InlierShare()) +
                          " % of the points lie within " +
                          Printf("%g", FloorFit::kInlierDistance * 1000.0) +
                          " mm of the best plane (need " +
                          Printf("%g", FloorFit::kMinInlierShare * 100.0) + " %)");
        case FloorFit::Refusal::Tilted:
            throw Refused("Floor tilted " + Printf("%.2f", fit.TiltDegrees()) +
                          " degrees from the scan's z axis (limit " +
                          Printf("%g", FloorFit::kMaxTiltDegrees) +
                          " degrees; level the scanner's frame so that z is the vertical)");
        case FloorFit::Refusal::None:
            break;
    }

    const std::array<double, 4> plane = {fit.A(), fit.B(), fit.C(), fit.D()};
    std::optional<FloorZoneFit> zone;
    if (FloorZoneFit::Needed(*scan.getCloud())) {
        zone.emplace(*scan.getCloud(), plane[0], plane[1], plane[2], plane[3]);
        if (!zone->Ok()) {
            throw Refused("No measuring zone: the floor's " + std::to_string(zone->FloorPoints()) +
                          " points cover no rectangle (need " +
                          std::to_string(FloorZoneFit::kMinPoints) + " on a floor without gaps)");
        }
    }
    const int correction = fit.PalletCorrectionHeightMm();
    std::printf("Floor of %s: %zu finite points, %zu on the plane (%.1f %%, within %g mm)\n",
                file.c_str(), fit.FinitePoints(), fit.Inliers(), 100.0 * fit.InlierShare(),
                FloorFit::kInlierDistance * 1000.0);
    std::printf("plane a b c d: %.6f %.6f %.6f %.6f\n", plane[0], plane[1], plane[2], plane[3]);
    std::printf("tilt: %.2f degrees\n", fit.TiltDegrees());
    std::printf("noise: RMS %.2f mm, 99.9th percentile %.2f mm\n", fit.Rms() * 1000.0,
                fit.P999() * 1000.0);
    std::printf("pallet.correction.height: %d mm\n", correction);
    std::printf("floor.noise.band: %d mm\n", fit.FloorNoiseBandMm());
    // Goods on the floor are measured with -e 2: the cut stands that much
    // plus the correction above the floor, and goods lower than half the
    // correction above it cannot be told from the floor's noise.
    std::printf("least goods height: %.0f mm (on the floor, -e %d)\n",
                std::ceil(SceneChecks::LeastGoodsHeightMm(kFloorRunPalletMm + correction, correction)),
                kFloorRunPalletMm);
    const std::vector<std::string> zoneRows = zone ? ZoneRows(*zone) : std::vector<std::string>();

    std::vector<std::string> statements;
    if (!sid.empty()) {
        std::printf("stored plane of session %s: %.6f %.6f %.6f %.6f\n", sid.c_str(), stored[0],
                    stored[1], stored[2], stored[3]);
        std::printf("stored against fitted: angle %.2f degrees, distance %.1f mm\n",
                    fit.AngleTo(stored[0], stored[1], stored[2]),
                    fit.DistanceTo(stored[0], stored[1], stored[2], stored[3]) * 1000.0);
        statements.push_back(CalibrationStore::SessionPlaneUpdate(sid, plane));
    }
    const std::vector<std::string> row = CalibrationStore::DecodeRow(
        "CONFIG", "pallet.correction.height", std::to_string(correction));
    statements.insert(statements.end(), row.begin(), row.end());
    const std::vector<std::string> band = CalibrationStore::DecodeRow(
        "CONFIG", "floor.noise.band", std::to_string(fit.FloorNoiseBandMm()));
    statements.insert(statements.end(), band.begin(), band.end());
    statements.insert(statements.end(), zoneRows.begin(), zoneRows.end());
    PrintSql(statements);
    const std::string settings = zoneRows.empty()
                                     ? "the pallet correction height and the floor noise band"
                                     : "the pallet correction height, the floor noise band and the "
                                       "measuring zone";
    WriteIfAsked(vm, store, statements,
                 sid.empty() ? settings : "the plane of session " + sid + ", " + settings);
    return kExitOk;
}

}  // namespace calibrate
