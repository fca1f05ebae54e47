#pragma once

#include <cstddef>
#include <vector>

#include "cloud/Cloud.h"

class FloorPlane;

/// Flying pixels that the outlier filter kept. A pixel that straddles a near
/// edge and what lies behind returns a point between them along its own ray;
/// a row of such points along an edge has neighbours enough to pass the
/// filter, and the box spans them: a point far down the ray below the top
/// edge of goods stands out from the goods by the drop times the ray's slope.
/// Counted among the points kept for measuring and their neighbouring pixels: a kept
/// point lying more than FlyingPixel::kDropMm farther along the floor's normal than a kept
/// neighbouring pixel's point, off to the side of it along its own ray by more
/// than kMostShiftMm (a face seen edge-on drops under its upper pixel instead),
/// with no kept pixel across it from that neighbour: on the goods' outline,
/// not above a lower step of them.
class KeptFlyingPixels {
public:
    /// Sideways (millimetres) a kept flying pixel may stand off the goods: the
    /// few millimetres the mixed pixels of an edge add in every scan pass.
    static constexpr int kMostShiftMm = 25;

    /// kept: one flag per point of the scan. An organized scan (WIDTH x
    /// HEIGHT) finds a pixel's neighbours in its image; a scan without one
    /// over the points' rays (RayGrid), among the points more than `cut`
    /// (metres) above the floor, and none when its rays stand on no
    /// camera's lattice.
    KeptFlyingPixels(const PointCloudRGB& scan, const std::vector<bool>& kept, const FloorPlane& floor,
                     double cut);

    /// Kept points standing off by more than kMostShiftMm.
    std::size_t Count() const { return count; }
    /// The farthest any of them stands off (metres), 0 when none.
    double Widest() const { return widest; }

private:
    void OverImage(const PointCloudRGB& scan, const std::vector<bool>& kept, const FloorPlane& floor);
    void OverRays(const PointCloudRGB& scan, const std::vector<bool>& kept, const FloorPlane& floor,
                  double cut);
    /// Counts a kept point that stands off by `off` (metres).
    void Tally(double off);

    std::size_t count = 0;
    double widest = 0.0;
};
