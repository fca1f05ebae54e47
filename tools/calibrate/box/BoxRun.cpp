// What the box and check commands share: the box's size, scans and support
// read from the command line, every scan measured, and the tables of errors.

#include "tools/calibrate/box/BoxRun.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "cloud/Cloud.h"
#include "cloud/CloudInfo.h"
#include "config/Config.h"
#include "tools/calibrate/CalibrationStore.h"
#include "tools/calibrate/CommandOutput.h"

namespace po = boost::program_options;

namespace {

// The pallet height (mm) of a box on the floor: the lowest that cuts, as
// floor stations run the tool (-e 2).
constexpr float kFloorCutMm = 2.0f;

using calibrate::Refused;

/// One --size: three plausible sides in millimetres.
BoxSize ParsePlausibleSize(const std::string& text) {
    BoxSize size;
    if (!BoxCalibration::ParseSize(text, size)) {
        throw Refused("Invalid size: " + text + " (give LxWxH in millimetres, e.g. 600x400x500)");
    }
    if (const std::string refusal = BoxCalibration::CheckPlausible(size); !refusal.empty()) {
        throw Refused(refusal);
    }
    return size;
}

/// The scans named on the command line: shipment rows, or files sharing a session's plane.
std::vector<ScanSource> Scans(const po::variables_map& vm, const Config& config,
                              CalibrationStore& store) {
    std::vector<ScanSource> scans;
    const bool rows = vm.count("index") > 0;
    const bool files = vm.count("scan") > 0;
    if (rows && files) {
        throw Refused(
            "Give the scans either as rows (-i) or as files with a session (-s), not both");
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
            const CloudInfo info(0, ++n, 0, 0, sid, config.GetFileModel(),
                                 config.GetBaseDataFolder(), static_cast<float>(plane[0]),
                                 static_cast<float>(plane[1]), static_cast<float>(plane[2]),
                                 static_cast<float>(plane[3]));
            scans.push_back({file, info, file});
        }
    }
    return scans;
}

}  // namespace

namespace calibrate {

BoxRun PrepareBoxRun(const po::variables_map& vm, Config& config, CalibrationStore& store,
                     int minScans, const char* what, bool pairs) {
    BoxRun run;
    if (!vm.count("size")) {
        throw Refused(std::string("Give the ") + what +
                      " box's size as --size LxWxH in millimetres");
    }
    const std::vector<std::string> sizes = vm["size"].as<std::vector<std::string>>();
    if (sizes.size() > (pairs ? 2u : 1u)) {
        throw Refused(pairs ? "Give one --size, or two for a pair of boxes side by side"
                            : std::string("Give one --size: the ") + what + " box is one box");
    }
    run.truth = ParsePlausibleSize(sizes.front());
    if (sizes.size() == 2) {
        run.pair = true;
        run.second = ParsePlausibleSize(sizes.back());
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
                      (height > 0.0f && std::isfinite(height)
                           ? " (millimetres: 0 for no pallet, else at least 2)"
                           : ""));
    }
    return run;
}

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

void PrintHeading(const char* title, const BoxRun& run, const Config& config) {
    std::printf("%s %g x %g x %g mm (L x W x H), %zu scan%s %s\n", title, run.truth.l, run.truth.w,
                run.truth.h, run.scans.size(), run.scans.size() == 1 ? "" : "s",
                run.support.c_str());
    PrintMode(config);
}

void PrintMode(const Config& config) {
    // Corrections belong to the mode they were measured in: each mode has biases of its own.
    std::printf("Measuring mode: %s\n",
                config.GetInboundPrecise() == 1
                    ? "precise (inbound.precise = 1: box fitted to the goods' faces)"
                    : "extreme points (inbound.precise = 0)");
}

void PrintErrors(const char* title, const BoxCalibration& cal,
                 const std::vector<ScanSource>& scans) {
    std::printf("\n%s\n", title);
    std::printf("%-28s %9s %9s %9s %8s %8s %8s\n", "scan", "L", "W", "H", "err L", "err W",
                "err H");
    for (int s = 0; s < cal.Scans(); ++s) {
        const BoxSize& m = cal.Measured(s);
        std::printf("%-28s %9.1f %9.1f %9.1f %+8.1f %+8.1f %+8.1f\n", scans[s].label.c_str(), m.l,
                    m.w, m.h, cal.Error(s, 0), cal.Error(s, 1), cal.Error(s, 2));
    }
    std::printf("%-28s %9s %9s %9s %+8.1f %+8.1f %+8.1f\n", "mean", "", "", "", cal.MeanError(0),
                cal.MeanError(1), cal.MeanError(2));
    std::printf("%-28s %9s %9s %9s %8.1f %8.1f %8.1f\n", "spread (sd)", "", "", "", cal.Spread(0),
                cal.Spread(1), cal.Spread(2));
}

}  // namespace calibrate
