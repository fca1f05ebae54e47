// The scale bar in a view's lower left corner.
#pragma once

#include "cloud/snapshot/SnapshotLayout.h"
#include "cloud/snapshot/SnapshotText.h"

namespace snapshot {

/// A bar of a round length in metres at the panel's lower left, for scale pixels a metre.
void ScaleBar(Painter& painter, const Panel& panel, double scale);

}  // namespace snapshot
