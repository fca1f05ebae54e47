// The side view: the points seen along the longer side, the box's outline, its ground and H.
#pragma once

#include "cloud/Cloud.h"
#include "cloud/snapshot/Snapshot.h"
#include "cloud/snapshot/SnapshotLayout.h"
#include "cloud/snapshot/SnapshotPoints.h"
#include "cloud/snapshot/SnapshotScene.h"
#include "cloud/snapshot/SnapshotText.h"

namespace snapshot {

/// The side view: t along the longer side from the box's centre, z down.
struct SideView {
    double half = 0.0;  // half the longer side
    // The base line's z under the box's two ends.
    double groundLeft = 0.0, groundRight = 0.0;
    Fit fit;

    SideView(const Cloud& cloud, const Scene& s, Snapshot::Ground ground)
        : half(s.length / 2.0),
          groundLeft(s.zBottom),
          groundRight(s.zBottom),
          fit(Place(cloud, s, ground)) {}

    /// The base line's point at the picture's column px.
    P2 GroundAt(double px) const {
        const double slope = half > 0.0 ? (groundRight - groundLeft) / (2.0 * half) : 0.0;
        const double t = (px - fit.middle.x) / fit.scale + fit.centre.x;
        return fit({t, groundLeft + (t + half) * slope});
    }

private:
    // After a cut the goods stood on the pallet's top, the box's floor side;
    // else on the session's floor, taken under the box's two ends.
    Fit Place(const Cloud& cloud, const Scene& s, Snapshot::Ground ground);
};

/// The cloud's points into the side view's panel, the nearest to the viewer in front.
void PutSidePoints(Pixels& pixels, const Cloud& cloud, const Scene& s, const SideView& view,
                   const Shade& shade);

/// The ground line, the box's outline, H with its arrow, the title and the scale bar over the
/// points.
void DrawSideOverlay(Painter& painter, const Cloud& cloud, const Scene& s, const SideView& view,
                     Snapshot::Ground ground);

}  // namespace snapshot
