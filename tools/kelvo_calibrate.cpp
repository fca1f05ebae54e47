// kelvo_calibrate: sets a station up as dimensioners are on site. Fits the
// floor plane of a scan of the empty station, derives the corrections from
// scans of a reference box of known size, and checks a second box against
// the settings in force. It measures with the tool's own code, on the same
// bootstrap file and decode table.

#include <algorithm>
#include <array>
#include <boost/program_options.hpp>
#include <cmath>
#include <cstdio>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cloud/CloudInfo.h"
#include "cloud/Units.h"
#include "config/Config.h"
#include "tools/BoxCalibration.h"
#include "tools/CalibrationStore.h"
#include "tools/FloorFit.h"
#include "tools/ScanMeasurement.h"
#include "tools/Version.h"

namespace po = boost::program_options;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
// The divisions a station can be certified to: parcels and pallets.
constexpr double kParcelDivisionMm = 5.0;
constexpr double kPalletDivisionMm = 10.0;
// The pallet height (mm) of a box on the floor: the lowest that cuts, as
// floor stations run the tool (-e 2).
constexpr float kFloorCutMm = 2.0f;
// Decode values in metres are written to a tenth of a millimetre.
constexpr const char* kMetresFormat = "%.4f";

const char* const kUsage =
    "usage: kelvo_calibrate box   --size LxWxH (-i ID -i ID -i ID ... | -s SID SCAN SCAN SCAN ...)\n"
    "                             [-d PALLET | -e MM] [--write]\n"
    "       kelvo_calibrate check --size LxWxH (-i ID ... | -s SID SCAN ...) [-d PALLET | -e MM]\n"
    "                             [--division 5|10]\n"
    "       kelvo_calibrate floor SCAN [-s SID] [--write]\n"
    "       kelvo_calibrate --help | --version\n"
    "Common options: -c FILE (bootstrap file, default ./kelvo_tools.json), -p FOLDER (base data\n"
    "folder, for -i). Sizes in millimetres. The scans are cut as kelvo_tools cuts them with\n"
    "-d PALLET or -e MM; without either, as a box on the floor (-e 2).\n";

/// A refusal: one line on standard output, exit status 1, nothing written.
class Refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

po::options_description BuildOptions() {
    po::options_description options("Options");
    // clang-format off
    options.add_options()
        ("help,h", "this listing")
        ("version", "the version")
        ("command", po::value<std::string>(), "box, check or floor")
        ("scan", po::value<std::vector<std::string>>(), "scan files")
        ("config,c", po::value<std::string>(), "bootstrap file")
        ("cloud_path,p", po::value<std::string>(), "base data folder")
        ("index,i", po::value<std::vector<int>>()->composing(), "shipment row of a scan")
        ("session_id,s", po::value<std::string>(), "session")
        ("depallet_by_id,d", po::value<int>(), "pallet the box stands on")
        ("depallet_by_h,e", po::value<float>(), "height of the pallet the box stands on, mm")
        ("size", po::value<std::string>(), "true size LxWxH, mm")
        ("division", po::value<double>(), "division to check against, mm")
        ("write", "store the results");
    // clang-format on
    return options;
}

/// What the box and check commands measure, and on what.
struct BoxRun {
    BoxSize truth;
    std::vector<ScanSource> scans;
    std::string support;  ///< "on the floor" or "on pallet 1 (EPAL, 144 mm)"
};

/// The scans named on the command line: shipment rows, or files sharing a session's plane.
std::vector<ScanSource> Scans(const po::variables_map& vm, const Config& config,
                              CalibrationStore& store) {
    std::vector<ScanSource> scans;
    const bool rows = vm.count("index") > 0;
    const bool files = vm.count("scan") > 0;
    if (rows && files) {
        throw Refused("Give the scans either as rows (-i) or as files with a session (-s), not both");
    }
    if (rows) {
        if (config.GetBaseDataFolder().empty()) {
            throw Refused("No base data folder: give --cloud_path or set base.data.folder");
        }
        for (const int id : vm["index"].as<std::vector<int>>()) {
            const std::string label = "row " + std::to_string(id);
            const CloudInfo info = id > 0 ? config.GetCloudInfo(id) : CloudInfo();
            if (info.GetId() <= 0) {
                throw Refused("Scan " + label + ": no such shipment row");
            }
            if (!CloudInfo::IsValidSid(info.GetSid())) {
                throw Refused("Scan " + label + ": invalid session id");
            }
            scans.push_back({label, info.Delivered(), std::string()});
        }
    } else if (files) {
        if (!vm.count("session_id")) {
            throw Refused("Give the session (-s) whose floor plane the scan files share");
        }
        const std::string sid = vm["session_id"].as<std::string>();
        std::array<double, 4> plane;
        if (!store.SessionPlane(sid, plane)) {
            throw Refused("Session not found: " + sid);
        }
        int n = 0;
        for (const std::string& file : vm["scan"].as<std::vector<std::string>>()) {
            const CloudInfo info(0, ++n, 0, 0, sid, config.GetFileModel(), config.GetBaseDataFolder(),
                                 static_cast<float>(plane[0]), static_cast<float>(plane[1]),
                                 static_cast<float>(plane[2]), static_cast<float>(plane[3]));
            scans.push_back({file, info, file});
        }
    }
    return scans;
}

/// Size, scans and pallet of a box or check command; minScans is what the command needs.
BoxRun PrepareBoxRun(const po::variables_map& vm, Config& config, CalibrationStore& store,
                     int minScans, const char* what) {
    BoxRun run;
    if (!vm.count("size")) {
        throw Refused(std::string("Give the ") + what + " box's size as --size LxWxH in millimetres");
    }
    const std::string size = vm["size"].as<std::string>();
    if (!BoxCalibration::ParseSize(size, run.truth)) {
        throw Refused("Invalid size: " + size + " (give LxWxH in millimetres, e.g. 600x400x500)");
    }
    if (const std::string refusal = BoxCalibration::CheckPlausible(run.truth); !refusal.empty()) {
        throw Refused(refusal);
    }
    if (vm.count("cloud_path")) {
        config.SetBaseDataFolder(vm["cloud_path"].as<std::string>());
    }
    run.scans = Scans(vm, config, store);
    if (static_cast<int>(run.scans.size()) < minScans) {
        throw Refused(std::string("Need at least ") + std::to_string(minScans) + " scan" +
                      (minScans > 1 ? "s" : "") + " of the " + what + " box, got " +
                      std::to_string(run.scans.size()));
    }
    if (vm.count("depallet_by_id") && vm.count("depallet_by_h")) {
        throw Refused("Give the pallet either by id (-d) or by height (-e), not both");
    }
    if (vm.count("depallet_by_id")) {
        const int pallet = vm["depallet_by_id"].as<int>();
        config.SetPalletId(pallet);
        if (!config.IsPalletKnown()) {
            throw Refused("Pallet not found: " + std::to_string(pallet));
        }
        run.support = "on pallet " + std::to_string(pallet) + " (" + config.GetPalletName() + ", " +
                      Printf("%g", config.GetPalletHeight()) + " mm)";
    } else if (vm.count("depallet_by_h")) {
        config.SetPalletHeight(vm["depallet_by_h"].as<float>());
        run.support = "on a pallet of " + Printf("%g", config.GetPalletHeight()) + " mm";
    } else {
        // A floor station runs the tool with the lowest height that cuts: the
        // floor layer of the correction height goes, with any floor speckle
        // its scanner left, and the bottom is closed on the floor.
        config.SetPalletHeight(kFloorCutMm);
        run.support = "on the floor";
    }
    // As the tool: 0 is no pallet, below 2 mm is a height typed in metres.
    const float height = config.GetPalletHeight();
    if (!(std::isfinite(height) && (height == 0.0f || Cloud::CutsPallet(height)))) {
        throw Refused("Invalid pallet height: " + Printf("%g", height) +
                      (height > 0.0f && std::isfinite(height) ? " (millimetres: 0 for no pallet, else at least 2)"
                                                              : ""));
    }
    return run;
}

/// Measures every scan with the settings as they stand; a failed scan refuses the whole run.
std::vector<ScanMeasures> MeasureAll(const std::vector<ScanSource>& scans) {
    std::vector<ScanMeasures> measures;
    for (const ScanSource& scan : scans) {
        try {
            measures.push_back(ScanMeasurement::Measure(scan));
        } catch (const ScanFailure& e) {
            throw Refused("Scan " + scan.label + ": " + e.what());
        }
    }
    return measures;
}

std::vector<BoxSize> Pick(const std::vector<ScanMeasures>& measures, BoxSize ScanMeasures::*which) {
    std::vector<BoxSize> sizes;
    for (const ScanMeasures& m : measures) {
        sizes.push_back(m.*which);
    }
    return sizes;
}

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

void PrintHeading(const char* title, const BoxRun& run, const Config& config) {
    std::printf("%s %g x %g x %g mm (L x W x H), %zu scan%s %s\n", title, run.truth.l, run.truth.w,
                run.truth.h, run.scans.size(), run.scans.size() == 1 ? "" : "s", run.support.c_str());
    // Corrections belong to the mode they were measured in: each mode has biases of its own.
    std::printf("Measuring mode: %s\n", config.GetInboundPrecise() == 1
                                            ? "precise (inbound.precise = 1: box fitted to the goods' faces)"
                                            : "extreme points (inbound.precise = 0)");
}

/// The measured sizes and errors of every scan, then their mean error and spread.
void PrintErrors(const char* title, const BoxCalibration& cal, const std::vector<ScanSource>& scans) {
    std::printf("\n%s\n", title);
    std::printf("%-28s %9s %9s %9s %8s %8s %8s\n", "scan", "L", "W", "H", "err L", "err W", "err H");
    for (int s = 0; s < cal.Scans(); ++s) {
        const BoxSize& m = cal.Measured(s);
        std::printf("%-28s %9.1f %9.1f %9.1f %+8.1f %+8.1f %+8.1f\n", scans[s].label.c_str(), m.l, m.w,
                    m.h, cal.Error(s, 0), cal.Error(s, 1), cal.Error(s, 2));
    }
    std::printf("%-28s %9s %9s %9s %+8.1f %+8.1f %+8.1f\n", "mean", "", "", "", cal.MeanError(0),
                cal.MeanError(1), cal.MeanError(2));
    std::printf("%-28s %9s %9s %9s %8.1f %8.1f %8.1f\n", "spread (sd)", "", "", "", cal.Spread(0),
                cal.Spread(1), cal.Spread(2));
}

/// The SQL text of the statements, as one transaction.
void PrintSql(const std::vector<std::string>& statements) {
    std::printf("\nSQL:\nSTART TRANSACTION;\n");
    for (const std::string& s : statements) {
        std::printf("%s;\n", s.c_str());
    }
    std::printf("COMMIT;\n");
}

void WriteIfAsked(const po::variables_map& vm, CalibrationStore& store,
                  const std::vector<std::string>& statements, const std::string& what) {
    if (!vm.count("write")) {
        std::printf("\nNot written (give --write to store it).\n");
        return;
    }
    try {
        store.Write(statements);
    } catch (const std::runtime_error& e) {
        throw Refused(std::string("Write failed, ") + e.what());
    }
    std::printf("\nWritten: %s, in one transaction.\n", what.c_str());
}

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
    PrintErrors("Inbound box, corrections zeroed (mm; error = measured - true):", inbound, run.scans);
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
            const std::vector<std::string> row =
                CalibrationStore::DecodeRow("FINE TUNE", keys[dim], Printf(kMetresFormat, values[dim]));
            statements.insert(statements.end(), row.begin(), row.end());
        }
    }
    PrintSql(statements);
    WriteIfAsked(vm, store, statements, "6 decode rows");
    return kExitOk;
}

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
                    worst <= kParcelDivisionMm ? "yes" : "no", worst <= kPalletDivisionMm ? "yes" : "no");
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

    std::vector<std::string> statements;
    if (!sid.empty()) {
        std::printf("stored plane of session %s: %.6f %.6f %.6f %.6f\n", sid.c_str(), stored[0],
                    stored[1], stored[2], stored[3]);
        std::printf("stored against fitted: angle %.2f degrees, distance %.1f mm\n",
                    fit.AngleTo(stored[0], stored[1], stored[2]),
                    fit.DistanceTo(stored[0], stored[1], stored[2], stored[3]) * 1000.0);
        statements.push_back(CalibrationStore::SessionPlaneUpdate(sid, plane));
    }
    const std::vector<std::string> row =
        CalibrationStore::DecodeRow("CONFIG", "pallet.correction.height", std::to_string(correction));
    statements.insert(statements.end(), row.begin(), row.end());
    const std::vector<std::string> band =
        CalibrationStore::DecodeRow("CONFIG", "floor.noise.band", std::to_string(fit.FloorNoiseBandMm()));
    statements.insert(statements.end(), band.begin(), band.end());
    PrintSql(statements);
    WriteIfAsked(vm, store, statements,
                 sid.empty() ? "the pallet correction height and the floor noise band"
                             : "the plane of session " + sid +
                                   ", the pallet correction height and the floor noise band");
    return kExitOk;
}

int Run(int argc, char** argv) {
    const po::options_description options = BuildOptions();
    po::positional_options_description positional;
    positional.add("command", 1).add("scan", -1);
    po::variables_map vm;
    po::store(po::command_line_parser(argc, argv).options(options).positional(positional).run(), vm);
    po::notify(vm);

    if (vm.count("help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (vm.count("version")) {
        std::puts("kelvo_calibrate " KELVO_VERSION);
        return kExitOk;
    }
    const std::string command = vm.count("command") ? vm["command"].as<std::string>() : "";
    if (command != "box" && command != "check" && command != "floor") {
        std::fputs(kUsage, stderr);
        return kExitRefused;
    }

    Config* config =
        Config::GetInstance(vm.count("config") ? vm["config"].as<std::string>() : std::string());
    if (config == nullptr) {
        std::cout << "ERROR: Unable to initialize config object!" << std::endl;
        return kExitRefused;
    }
    CalibrationStore store(*config);
    try {
        if (command == "box") {
            return BoxCommand(vm, *config, store);
        }
        if (command == "check") {
            return CheckCommand(vm, *config, store);
        }
        return FloorCommand(vm, store);
    } catch (const Refused& e) {
        std::fflush(stdout);
        std::cout << "ERROR: " << e.what() << std::endl;
        return kExitRefused;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A rejected command line, an unreadable bootstrap file or an unreachable
    // database ends the run with one line on standard error, as the tool's do.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "ERROR: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "ERROR: unexpected failure" << std::endl;
    }
    return kExitRefused;
}
