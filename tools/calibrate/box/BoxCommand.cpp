// The box command: the corrections that null a reference box's mean errors,
// checked on the same scans, printed and written as decode rows when asked.

#include "tools/calibrate/box/BoxCommand.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cloud/Units.h"
#include "config/Config.h"
#include "tools/calibrate/CalibrationStore.h"
#include "tools/calibrate/CommandOutput.h"
#include "tools/calibrate/box/BoxRun.h"

namespace po = boost::program_options;

namespace {

using calibrate::Printf;

// Decode values in metres are written to a tenth of a millimetre.
constexpr const char* kMetresFormat = "%.4f";

/// The six corrections, in metres, in the order of the decode keys below.
struct Corrections {
    double inbound[3] = {0.0, 0.0, 0.0};
    double real[3] = {0.0, 0.0, 0.0};
};

const char* const kInboundKeys[3] = {"inbound.correction.l", "inbound.correction.w",
                                     "inbound.correction.h"};
const char* const kRealKeys[3] = {"real.correction.l", "real.correction.w", "real.correction.h"};

void Apply(Config& config, const Corrections& c) {
    config.SetInboundCorrextionL(static_cast<float>(c.inbound[0]));
    config.SetInboundCorrextionW(static_cast<float>(c.inbound[1]));
    config.SetInboundCorrextionH(static_cast<float>(c.inbound[2]));
    config.SetRealCorrextionL(static_cast<float>(c.real[0]));
    config.SetRealCorrextionW(static_cast<float>(c.real[1]));
    config.SetRealCorrextionH(static_cast<float>(c.real[2]));
}

/// A value as the decode row stores it, and back: what is written is what a run will use.
double AsStored(double metres) {
    // Adding zero turns a negative zero into a plain one, so no "-0.0000" is stored.
    return std::stod(Printf(kMetresFormat, metres)) + 0.0;
}

/// The corrections that null the mean raw errors. The inbound ones are added
/// to the sizes; the real H one to every column's height. The real L and W
/// ones are minus the border trimmed at each end of the octree's columns,
/// which goes in whole cells: the number of cells per end nearest to half
/// the excess of the columns' extent (ties to fewer, none when the columns
/// fall short), given as whole cells so that the trimming's lookups land on
/// cell centres, never on a cell's face.
Corrections Nulling(const BoxCalibration& inbound, const BoxCalibration& octree, double cellMm) {
    Corrections c;
    for (int dim = 0; dim < 3; ++dim) {
        c.inbound[dim] = AsStored(-inbound.MeanError(dim) / kMillimetresPerMetre);
    }
    for (int dim = 0; dim < 2; ++dim) {
        const double cells = std::max(0.0, std::ceil(octree.MeanError(dim) / (2.0 * cellMm) - 0.5));
        c.real[dim] = AsStored(-cells * cellMm / kMillimetresPerMetre);
    }
    c.real[2] = AsStored(-octree.MeanError(2) / kMillimetresPerMetre);
    return c;
}

double TrueVolume(const BoxSize& t) {
    return t.l * t.w * t.h / (kMillimetresPerMetre * kMillimetresPerMetre * kMillimetresPerMetre);
}

double PercentOff(double volume, const BoxSize& truth) {
    return 100.0 * (volume / TrueVolume(truth) - 1.0);
}

}  // namespace

namespace calibrate {

int BoxCommand(const po::variables_map& vm, Config& config, CalibrationStore& store) {
    const BoxRun run = PrepareBoxRun(vm, config, store, BoxCalibration::kMinScans, "reference");

    // Raw errors: the corrections in force would hide what is to be corrected.
    Apply(config, Corrections());
    const std::vector<ScanMeasures> raw = MeasureAll(run.scans);
    const BoxCalibration inbound(run.truth, Pick(raw, &ScanMeasures::inbound));
    const BoxCalibration octree(run.truth, Pick(raw, &ScanMeasures::octree));
    if (const std::string refusal = inbound.CheckUsable("reference"); !refusal.empty()) {
        throw Refused(refusal);
    }
    const Corrections corrections = Nulling(inbound, octree, raw.front().octreeCellMm);
    Apply(config, corrections);
    const std::vector<ScanMeasures> corrected = MeasureAll(run.scans);
    const BoxCalibration residual(run.truth, Pick(corrected, &ScanMeasures::inbound));
    std::vector<std::string> labels;
    for (const ScanSource& scan : run.scans) {
        labels.push_back(scan.label);
    }
    if (const std::string refusal = residual.CheckResidual(labels); !refusal.empty()) {
        throw Refused(refusal);
    }

    PrintHeading("Reference box", run, config);
    PrintErrors("Inbound box, corrections zeroed (mm; error = measured - true):", inbound,
                run.scans);
    PrintErrors("Octree columns, corrections zeroed (extent along L and W, column height; mm):",
                octree, run.scans);

    std::printf("\nCorrections (mm):\n%-28s %9s %9s %9s\n", "", "L", "W", "H");
    std::printf("%-28s %+9.1f %+9.1f %+9.1f\n", "inbound", corrections.inbound[0] * 1000.0,
                corrections.inbound[1] * 1000.0, corrections.inbound[2] * 1000.0);
    std::printf("%-28s %+9.1f %+9.1f %+9.1f\n", "real", corrections.real[0] * 1000.0,
                corrections.real[1] * 1000.0, corrections.real[2] * 1000.0);

    std::printf("\nWith the corrections applied (mm; surface volume against L x W x H):\n");
    std::printf("%-28s %8s %8s %8s %11s %11s\n", "scan", "err L", "err W", "err H", "vol raw",
                "vol now");
    for (int s = 0; s < residual.Scans(); ++s) {
        std::printf("%-28s %+8.1f %+8.1f %+8.1f %+10.1f%% %+10.1f%%\n", run.scans[s].label.c_str(),
                    residual.Error(s, 0), residual.Error(s, 1), residual.Error(s, 2),
                    PercentOff(raw[s].volSurface, run.truth),
                    PercentOff(corrected[s].volSurface, run.truth));
    }

    std::vector<std::string> statements;
    for (const auto& [keys, values] : {std::make_pair(kInboundKeys, corrections.inbound),
                                       std::make_pair(kRealKeys, corrections.real)}) {
        for (int dim = 0; dim < 3; ++dim) {
            const std::vector<std::string> row = CalibrationStore::DecodeRow(
                "FINE TUNE", keys[dim], Printf(kMetresFormat, values[dim]));
            statements.insert(statements.end(), row.begin(), row.end());
        }
    }
    PrintSql(statements);
    WriteIfAsked(vm, store, statements, "6 decode rows");
    return kExitOk;
}

}  // namespace calibrate
