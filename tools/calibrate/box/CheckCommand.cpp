// The check command: a second box (or a pair of boxes side by side, as a
// split sees them) measured with the settings in force, its largest errors
// against the division the station is certified to.

#include "tools/calibrate/box/CheckCommand.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "config/Config.h"
#include "tools/calibrate/CommandOutput.h"
#include "tools/calibrate/box/BoxRun.h"

namespace po = boost::program_options;

namespace {

using namespace calibrate;

// The divisions a station can be certified to: parcels and pallets.
constexpr double kParcelDivisionMm = 5.0;
constexpr double kPalletDivisionMm = 10.0;
// A pair splits into its two boxes, or the check says nothing of either.
constexpr std::size_t kPairBoxes = 2;

double Footprint(const BoxSize& s) { return s.l * s.w; }

/// Each scan of a pair split and measured; the clusters matched to the two
/// sizes by footprint, the larger to the larger. One list of sizes per box.
std::array<std::vector<BoxSize>, 2> MeasurePairs(const BoxRun& run) {
    std::array<std::vector<BoxSize>, 2> boxes;
    const bool firstLarger = Footprint(run.truth) >= Footprint(run.second);
    for (const ScanSource& scan : run.scans) {
        std::vector<ScanMeasures> clusters;
        try {
            clusters = ScanMeasurement::MeasureClusters(scan);
        } catch (const ScanFailure& e) {
            throw Refused("Scan " + scan.label + ": " + e.what());
        }
        if (clusters.size() != kPairBoxes) {
            throw Refused("Scan " + scan.label + ": split into " + std::to_string(clusters.size()) +
                          " objects, not the pair's 2 (the split's settings: "
                          "pcl.cluster.tollerance, pcl.min.cluster.size, pcl.max.cluster.size)");
        }
        const bool clusterOneLarger =
            Footprint(clusters[0].inbound) >= Footprint(clusters[1].inbound);
        const int larger = clusterOneLarger ? 0 : 1;
        boxes[firstLarger ? 0 : 1].push_back(clusters[larger].inbound);
        boxes[firstLarger ? 1 : 0].push_back(clusters[1 - larger].inbound);
    }
    return boxes;
}

}  // namespace

namespace calibrate {

int CheckCommand(const po::variables_map& vm, Config& config, CalibrationStore& store) {
    double division = kParcelDivisionMm;
    if (vm.count("division")) {
        division = vm["division"].as<double>();
        if (division != kParcelDivisionMm && division != kPalletDivisionMm) {
            throw Refused("Invalid division: " + Printf("%g", division) + " (5 or 10 mm)");
        }
    }
    const BoxRun run = PrepareBoxRun(vm, config, store, 1, "check", true);
    std::vector<BoxCalibration> checks;
    if (run.pair) {
        const std::array<std::vector<BoxSize>, 2> boxes = MeasurePairs(run);
        checks.emplace_back(run.truth, boxes[0]);
        checks.emplace_back(run.second, boxes[1]);
    } else {
        checks.emplace_back(run.truth, Pick(MeasureAll(run.scans), &ScanMeasures::inbound));
    }

    if (run.pair) {
        std::printf(
            "Check pair side by side: box 1 %g x %g x %g mm, box 2 %g x %g x %g mm "
            "(L x W x H), %zu scan%s %s\n",
            run.truth.l, run.truth.w, run.truth.h, run.second.l, run.second.w, run.second.h,
            run.scans.size(), run.scans.size() == 1 ? "" : "s", run.support.c_str());
        PrintMode(config);
    } else {
        PrintHeading("Check box", run, config);
    }
    std::printf("Settings in force: inbound corrections L %+.1f, W %+.1f, H %+.1f mm\n",
                config.GetInboundCorrextionL() * 1000.0, config.GetInboundCorrextionW() * 1000.0,
                config.GetInboundCorrextionH() * 1000.0);
    if (run.pair) {
        for (std::size_t b = 0; b < checks.size(); ++b) {
            const std::string title = "Box " + std::to_string(b + 1) +
                                      ", the inbound box of its cluster (mm; error = measured - "
                                      "true):";
            PrintErrors(title.c_str(), checks[b], run.scans);
        }
    } else {
        PrintErrors("Inbound box (mm; error = measured - true):", checks[0], run.scans);
    }

    std::printf("\n%-12s %14s %12s %12s\n", "dimension", "largest |err|", "within 5", "within 10");
    std::string outside;
    for (int dim = 0; dim < 3; ++dim) {
        double worst = 0.0;
        for (const BoxCalibration& check : checks) {
            for (int s = 0; s < check.Scans(); ++s) {
                worst = std::max(worst, std::fabs(check.Error(s, dim)));
            }
        }
        std::printf("%-12s %14.1f %12s %12s\n", BoxCalibration::Names()[dim], worst,
                    worst <= kParcelDivisionMm ? "yes" : "no",
                    worst <= kPalletDivisionMm ? "yes" : "no");
        if (worst > division) {
            outside += std::string(outside.empty() ? "" : " ") + BoxCalibration::Names()[dim];
        }
    }
    if (outside.empty()) {
        std::printf("\nRESULT: within +-%g mm\n", division);
        return kExitOk;
    }
    std::printf("\nRESULT: outside +-%g mm in %s\n", division, outside.c_str());
    return kExitRefused;
}

}  // namespace calibrate
