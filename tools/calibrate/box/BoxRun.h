// What the box and check commands share: the box's size, scans and support
// read from the command line, every scan measured, and the tables of errors.
#pragma once

#include <boost/program_options/variables_map.hpp>
#include <string>
#include <vector>

#include "tools/calibrate/box/BoxCalibration.h"
#include "tools/calibrate/box/ScanMeasurement.h"

class CalibrationStore;
class Config;

namespace calibrate {

/// What the box and check commands measure, and on what.
struct BoxRun {
    BoxSize truth;
    /// The second box of a pair standing side by side (check only): every
    /// scan then holds both, split as the tool splits them.
    bool pair = false;
    BoxSize second;
    std::vector<ScanSource> scans;
    std::string support;  ///< "on the floor" or "on pallet 1 (EPAL, 144 mm)"
};

/// Size, scans and pallet of a box or check command; minScans is what the
/// command needs, pairs whether it takes two sizes for a pair side by side.
BoxRun PrepareBoxRun(const boost::program_options::variables_map& vm, Config& config,
                     CalibrationStore& store, int minScans, const char* what, bool pairs = false);

/// Measures every scan with the settings as they stand; a failed scan refuses the whole run.
std::vector<ScanMeasures> MeasureAll(const std::vector<ScanSource>& scans);

/// One of the sizes measured on every scan.
std::vector<BoxSize> Pick(const std::vector<ScanMeasures>& measures, BoxSize ScanMeasures::*which);

/// The box, its scans and its support, then the mode the sizes are measured in.
void PrintHeading(const char* title, const BoxRun& run, const Config& config);

/// The mode the sizes are measured in, one line.
void PrintMode(const Config& config);

/// The measured sizes and errors of every scan, then their mean error and spread.
void PrintErrors(const char* title, const BoxCalibration& cal,
                 const std::vector<ScanSource>& scans);

}  // namespace calibrate
