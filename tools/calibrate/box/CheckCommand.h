// The check command: a second box measured against the division it must meet.
#pragma once

#include <boost/program_options/variables_map.hpp>

class CalibrationStore;
class Config;

namespace calibrate {

/// Measures the check box's scans with the settings in force; exit status 0
/// when every dimension is within the division, 1 otherwise. Throws Refused.
int CheckCommand(const boost::program_options::variables_map& vm, Config& config,
                 CalibrationStore& store);

}  // namespace calibrate
