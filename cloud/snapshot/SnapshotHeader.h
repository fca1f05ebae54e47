// The picture's header: the AWB, the run's time, the row, and the measured sizes and volumes.
#pragma once

#include <ctime>
#include <string>

#include "cloud/Cloud.h"
#include "cloud/snapshot/SnapshotText.h"

namespace snapshot {

/// A volume as the header writes it: litres below a cubic metre, where three
/// decimals of a cubic metre would show a parcel as nothing.
std::string VolumeText(float cubicMetres);

/// The header band across the picture's top, on the page colour.
void DrawHeader(Painter& painter, const Cloud& cloud, std::time_t runTime);

}  // namespace snapshot
