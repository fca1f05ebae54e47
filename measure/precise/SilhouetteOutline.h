#pragma once

#include <array>
#include <vector>

/// Where the outline of goods without a flat top lies beyond a side, judged
/// along the camera's rays (the camera at the origin, z toward the floor).
///
/// A pixel that straddles the silhouette of the goods returns a depth between
/// the goods and what lies behind them: its point lies on its own ray
/// anywhere from the silhouette down to the support. One row of such pixels
/// makes a sheet of points that contains the rays, wide and steep enough to
/// pass for a flank, and it reaches as far out as the rays do at the
/// support. The points of one ray bundle are told by where their rays meet
/// the support (which does not depend on the depth), and the sheet's highest
/// point is the silhouette. Below an edge (a box's, a bag's, the end of a
/// lying cylinder) the goods go straight down from there; below a flank that
/// rises toward the goods about as steeply as the rays (a dome's base) they
/// go on outward, hidden under the sheet, by about half its width (a sphere's
/// base lies half-way between its silhouette and the rays' reach). The base
/// is taken three quarters of the way out, because the highest point seen on
/// the outermost rays may stand well above the true silhouette.
class SilhouetteOutline {
public:
    using Point = std::array<float, 3>;
    using Vector2 = std::array<float, 2>;

    /// The points (kept by reference: they must outlive the object), at the
    /// given pixel pitch (metres); the support is at the largest z.
    SilhouetteOutline(const std::vector<Point>& points, float pitch);

    /// How far beyond `offset` (metres along the unit outward `normal`,
    /// measured from `origin`) the goods' outline lies, when a silhouette
    /// seen along at least a few pixels lies beyond it by more than `least`;
    /// 0 otherwise.
    float Beyond(const Vector2& origin, const Vector2& normal, float offset, float least) const;

private:
    const std::vector<Point>& points;
    float pitch;
    float support;
    // From the support to the highest point.
    float height;
};
