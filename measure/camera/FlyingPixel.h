#pragma once

#include <cmath>

#include "cloud/Units.h"
#include "measure/FloorPlane.h"

/// The test of one point of the goods against the point of a pixel beside
/// its own: a pixel that straddles a near edge and what lies behind it
/// returns a point between the two, along its own ray, well behind the edge
/// and off to the side of it. A face seen edge-on drops under its upper
/// pixel instead, with little sideways shift. Points are any type with
/// float members x, y and z.
class FlyingPixel {
public:
    /// Drop along the floor's normal (millimetres) beyond which a point may
    /// stand off its neighbour, and the least sideways shift it must show.
    static constexpr int kDropMm = 30;
    static constexpr int kShiftMm = 10;

    /// band: the floor's noise band (metres); what lies within it is the
    /// floor, not the goods, and is only ever a neighbour.
    FlyingPixel(const FloorPlane& floor, double band)
        : n{floor.A(), floor.B(), floor.C()}, floor(floor.Floor()), band(band) {}

    /// Takes p as the point under test: false when the test does not apply
    /// to it, a point within the floor's band or not in front of the camera.
    template <class Point>
    bool Take(const Point& p) {
        const double along = n[0] * p.x + n[1] * p.y + n[2] * p.z;
        if (-(along - floor) <= band || !(along > 0.0)) {
            return false;
        }
        x = p.x;
        y = p.y;
        z = p.z;
        // How far off the vertical the point's ray runs: a point along it
        // moves this much sideways per metre it drops.
        const double side[3] = {p.x - along * n[0], p.y - along * n[1], p.z - along * n[2]};
        slope = std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]) / along;
        for (int i = 0; i < 3; ++i) {
            sideways[i] = side[i] / along;
        }
        return true;
    }

    /// Whether the point taken stands off q, a neighbouring pixel's point,
    /// as a flying pixel does.
    template <class Point>
    bool StandsOff(const Point& q) const {
        return OffBy(q) > 0.0;
    }

    /// How far (metres) the point taken stands off q to the side when it
    /// stands off it as a flying pixel does; 0 when it does not.
    template <class Point>
    double OffBy(const Point& q) const {
        const double d[3] = {x - q.x, y - q.y, z - q.z};
        const double dropped = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
        if (dropped <= drop) {
            return 0.0;
        }
        const double across[3] = {d[0] - dropped * n[0], d[1] - dropped * n[1],
                                  d[2] - dropped * n[2]};
        const double shift =
            std::sqrt(across[0] * across[0] + across[1] * across[1] + across[2] * across[2]);
        return shift > least && shift > 0.5 * dropped * slope ? shift : 0.0;
    }

    /// The same, with the sideways shift and the ray's slope taken only
    /// along toward: the unit direction, across the floor's normal, from q's
    /// ray to the taken point's. A flying pixel moves that way along its own
    /// ray, off the edge; a face seen at a grazing angle drops under its
    /// upper pixel along the face, which the rays' fan alone moves sideways.
    template <class Point>
    bool StandsOffToward(const Point& q, const double (&toward)[3]) const {
        const double d[3] = {x - q.x, y - q.y, z - q.z};
        const double dropped = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
        if (dropped <= drop) {
            return false;
        }
        const double shift = d[0] * toward[0] + d[1] * toward[1] + d[2] * toward[2];
        const double outward =
            sideways[0] * toward[0] + sideways[1] * toward[1] + sideways[2] * toward[2];
        return shift > least && shift > 0.5 * dropped * outward;
    }

private:
    const double n[3];
    const double floor;
    const double band;
    const double drop = kDropMm / kMillimetresPerMetre;
    const double least = kShiftMm / kMillimetresPerMetre;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    double slope = 0.0;
    double sideways[3] = {0.0, 0.0, 0.0};  // the ray's sideways part per unit along the normal
};
