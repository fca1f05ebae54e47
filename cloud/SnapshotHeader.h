// The picture's header: the AWB, the run's time, the row, and the measured sizes and volumes.
#pragma once

#include <ctime>

#include "cloud/Cloud.h"
#include "cloud/SnapshotText.h"

namespace snapshot {

/// The header band across the picture's top, on the page colour.
void DrawHeader(Painter& painter, const Cloud& cloud, std::time_t runTime);

}  // namespace snapshot
