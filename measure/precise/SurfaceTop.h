#pragma once

#include <array>
#include <cstddef>
#include <vector>

/// The highest surface of goods that have no flat top (a dome, a bag's
/// bulge, a lying cylinder, a wedge): the floor's x and y cut into square
/// cells, the surface's height in each is the median of its points, so
/// range noise, strays and the flying pixels of a depth edge do not lift
/// it; the top is the highest of those heights that a neighbouring cell's
/// bears out (the lower of the two). Noise alone lifts the highest median a
/// little above a flat face: Lift() bounds that.
class SurfaceTop {
public:
    using Point = std::array<float, 3>;

    /// The cells of edge `cell` (metres) over the points (z toward the floor).
    SurfaceTop(const std::vector<Point>& points, float cell);

    /// False when no cell holds enough points for a median.
    bool Found() const { return found; }
    /// z of the highest cell's median, as far as a neighbouring cell's bears it out.
    float Top() const { return top; }
    /// z of the highest cell's median alone: whether goods rise above a face
    /// is judged on it, against Lift().
    float Highest() const { return highest; }
    /// How far above a flat face noise alone may put Top() (metres).
    float Lift() const { return lift; }
    /// The range noise of the flatter cells (one standard deviation, metres).
    float Noise() const { return noise; }

private:
    bool found = false;
    float top = 0.0f;
    float highest = 0.0f;
    float lift = 0.0f;
    float noise = 0.0f;
};
