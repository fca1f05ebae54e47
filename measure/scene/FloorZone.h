#pragma once

/// A station's measuring zone: the rectangle of the floor, in the scan's x
/// and y (metres), within which its camera sees the floor. Goods are seen
/// whole only when every ray that meets them would have met the floor within
/// it; the top of tall goods near the edge of the view lies inside the zone
/// while its rays leave it, so points are placed where their ray meets the
/// floor before they are tested.
class FloorZone {
public:
    /// The zone's edges, in the order of its settings.
    enum Side { kXMin, kXMax, kYMin, kYMax, kSides };

    /// Width of the band along the inside of each edge (millimetres) whose
    /// points count as at that edge: goods cut off by the camera's view fill
    /// it with several rays' points even on a thinned scan (a point every
    /// 12 mm), while the zone's own edge lies on the last rays that met the
    /// floor of the empty station.
    static constexpr int kMarginMm = 20;

    /// No zone: nothing is tested.
    FloorZone() = default;
    /// The zone of the four edges (metres); all four 0 is no zone.
    FloorZone(double xMin, double xMax, double yMin, double yMax);

    bool IsSet() const { return set; }
    double Edge(Side side) const { return edges[side]; }

    /// The edges that the floor point (x, y) lies beyond or within the margin
    /// of, a bit (1 << Side) for each; 0 inside the band the margin leaves.
    unsigned Near(double x, double y) const {
        return (x < inner[kXMin] ? 1u << kXMin : 0u) | (x > inner[kXMax] ? 1u << kXMax : 0u) |
               (y < inner[kYMin] ? 1u << kYMin : 0u) | (y > inner[kYMax] ? 1u << kYMax : 0u);
    }

private:
    double edges[kSides] = {0.0, 0.0, 0.0, 0.0};
    double inner[kSides] = {0.0, 0.0, 0.0, 0.0};  // the edges moved inward by the margin
    bool set = false;
};
