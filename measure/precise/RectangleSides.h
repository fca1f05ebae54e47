#pragma once

#include <array>
#include <vector>

/// The four sides of an oriented rectangle fitted to the points of a face,
/// each from the many points along it rather than from its outermost one.
///
/// A side's points are cut into strips across it; a strip's outermost point
/// lies within a pixel pitch inside the true side (more at a rounded corner
/// of the goods), and the side is a high quantile of the strips' outermost
/// offsets, so a stray, a mixed pixel or a short bulge moves it by nothing
/// while the outline of a round face is still reached. Within a strip an
/// outermost point with no other near it is a stray and is passed over. The
/// median slope between the strips' outermost points tells how far the side
/// is turned from the given axes.
///
/// Sides are numbered 0: +axis0, 1: -axis0, 2: +axis1, 3: -axis1.
class RectangleSides {
public:
    using Point = std::array<float, 2>;

    struct Side {
        // Distance of the side from the origin along its outward normal.
        float offset = 0.0f;
        // Turn (radians, counterclockwise) that would lay the normal onto the
        // points' side; NaN when too few strips tell it.
        float turn = 0.0f;
        // Strips that held enough points; 0 when the side could not be fitted.
        int strips = 0;
        // The outermost of the strips' outermost offsets: the face's own
        // farthest sample along the normal, strays passed over.
        float outermost = 0.0f;
    };

    /// Fits the sides of the points around the origin with the unit axes
    /// axis0 and axis1 (perpendicular), in strips `strip` wide.
    RectangleSides(const std::vector<Point>& points, const Point& axis0, const Point& axis1,
                   float strip);

    const Side& Get(int side) const { return sides[side]; }

private:
    std::array<Side, 4> sides;
};
