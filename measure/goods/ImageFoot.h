#pragma once

#include <cstdint>
#include <vector>

#include "cloud/Cloud.h"

class FloorPlane;

/// The part of goods that a cut leaves below it, followed in a camera's
/// image: a surface of the goods runs on from pixel to pixel, each point a
/// few pixel pitches from the one beside it however steep the surface, down
/// toward the floor. A gently sloping base (a mouse's, a pillow's) that
/// fills no cell of a coarse grid is still a band of pixels joined to the
/// goods, while the floor's noise between its own level and the cut touches
/// the goods only where a stray stands beside them, and a pixel straddling a
/// depth edge lies far from the pixels it borders.
class ImageFoot {
public:
    /// How far a pixel of the foot lies from the pixel beside it that
    /// reached it, in pixel pitches at its range: a flank up to some 70
    /// degrees.
    static constexpr double kContinuityPitches = 3.0;

    /// kept: per point of the scan, whether the cut keeps it; least: the
    /// height above the floor (metres) below which a point is the floor's own
    /// noise. Finds nothing in a scan without an image (one row).
    ImageFoot(const PointCloudRGB& scan, const FloorPlane& floor, const std::vector<bool>& kept, double least);
    /// No foot.
    ImageFoot() = default;

    /// Indices (in the scan) of the pixels below the cut that continue the
    /// goods, ascending.
    const std::vector<std::uint32_t>& Points() const { return points; }

private:
    std::vector<std::uint32_t> points;
};
