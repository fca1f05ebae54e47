#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "cloud/Cloud.h"
#include "cloud/CloudInfo.h"
#include "tools/calibrate/box/BoxCalibration.h"

/// Where one scan of a calibration box comes from and how the output names it.
struct ScanSource {
    std::string label;  ///< "row 5", or the file's name
    CloudInfo info;     ///< the row's identity, or a session's floor plane for a file
    std::string file;   ///< the file to read; empty for the row's scan as delivered
};

/// What a depallet run measures on one scan.
struct ScanMeasures {
    BoxSize inbound;            ///< inbound box L, W, H, mm
    BoxSize octree;             ///< extent of the octree columns along L and W, their height, mm
    double octreeCellMm = 0.0;  ///< edge of the octree's finest cells, mm
    double volSurface = 0.0;    ///< surface volume, m³
};

/// A scan that cannot be measured; what() is the reason, without the scan's name.
class ScanFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Measures one scan exactly as a depallet run of the tool does (load,
/// measure, cut the pallet, measure again), with the settings in force.
class ScanMeasurement {
public:
    /// The scan's points with its identity; throws ScanFailure when the file
    /// is missing, unreadable or holds no points.
    static Cloud Load(const ScanSource& source);
    /// Throws ScanFailure when the scan is missing or unreadable, nothing is
    /// left after the pallet cut, or the results are not numbers.
    static ScanMeasures Measure(const ScanSource& source);
    /// Measures each object of the scan as a depallet run followed by a split
    /// does: the goods without the pallet split as the tool splits them, then
    /// every cluster measured. The clusters come largest first; throws
    /// ScanFailure as Measure does.
    static std::vector<ScanMeasures> MeasureClusters(const ScanSource& source);
};
