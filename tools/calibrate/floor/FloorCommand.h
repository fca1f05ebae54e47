// The floor command: the floor plane of a scan of the empty station.
#pragma once

#include <boost/program_options/variables_map.hpp>

class CalibrationStore;

namespace calibrate {

/// Fits the floor plane of one raw scan, prints it with the pallet correction
/// height and the floor noise band (and a session's stored plane against it),
/// and writes them when asked. Returns the exit status; throws Refused.
int FloorCommand(const boost::program_options::variables_map& vm, CalibrationStore& store);

}  // namespace calibrate
