// The check command: a second box measured with the settings in force, its
// largest errors against the division the station is certified to.

#include "tools/CheckCommand.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "config/Config.h"
#include "tools/BoxRun.h"
#include "tools/CommandOutput.h"

namespace po = boost::program_options;

namespace {

// The divisions a station can be certified to: parcels and pallets.
constexpr double kParcelDivisionMm = 5.0;
constexpr double kPalletDivisionMm = 10.0;

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
    const BoxRun run = PrepareBoxRun(vm, config, store, 1, "check");
    const std::vector<ScanMeasures> measures = MeasureAll(run.scans);
    const BoxCalibration check(run.truth, Pick(measures, &ScanMeasures::inbound));

    PrintHeading("Check box", run, config);
    std::printf("Settings in force: inbound corrections L %+.1f, W %+.1f, H %+.1f mm\n",
                config.GetInboundCorrextionL() * 1000.0, config.GetInboundCorrextionW() * 1000.0,
                config.GetInboundCorrextionH() * 1000.0);
    PrintErrors("Inbound box (mm; error = measured - true):", check, run.scans);

    std::printf("\n%-12s %14s %12s %12s\n", "dimension", "largest |err|", "within 5", "within 10");
    std::string outside;
    for (int dim = 0; dim < 3; ++dim) {
        double worst = 0.0;
        for (int s = 0; s < check.Scans(); ++s) {
            worst = std::max(worst, std::fabs(check.Error(s, dim)));
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
