// The top view: the points seen from the camera, the rectangle A..D, its letters and L and W.
#pragma once

#include "cloud/Cloud.h"
#include "cloud/snapshot/SnapshotLayout.h"
#include "cloud/snapshot/SnapshotPoints.h"
#include "cloud/snapshot/SnapshotScene.h"
#include "cloud/snapshot/SnapshotText.h"

namespace snapshot {

/// Where the top view puts the scene: the rectangle A..D fitted into its panel.
Fit TopFit(const Scene& s);

/// The cloud's points into the top view's panel.
void PutTopPoints(Pixels& pixels, const Cloud& cloud, const Scene& s, const Fit& fit,
                  const Shade& shade);

/// The rectangle, its corners' letters, L and W, the title and the scale bar over the points.
void DrawTopOverlay(Painter& painter, const Cloud& cloud, const Scene& s, const Fit& fit);

}  // namespace snapshot
