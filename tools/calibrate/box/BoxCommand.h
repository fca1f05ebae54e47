// The box command: the corrections that null a reference box's mean errors.
#pragma once

#include <boost/program_options/variables_map.hpp>

class CalibrationStore;
class Config;

namespace calibrate {

/// Measures the reference box's scans with the corrections zeroed, derives
/// the six corrections that null the mean errors, checks them on the same
/// scans, prints it all with the decode rows' SQL and writes them when asked.
/// Returns the exit status; throws Refused.
int BoxCommand(const boost::program_options::variables_map& vm, Config& config,
               CalibrationStore& store);

}  // namespace calibrate
