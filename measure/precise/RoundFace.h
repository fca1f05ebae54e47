#pragma once

#include <array>
#include <vector>

/// Whether a face is round (a jar's lid, a drum's top, an elliptic tin): the
/// corners of the rectangle around it hold almost none of its points, where
/// a box's face fills them and a bag's rounded edges leave most of each.
/// The sides fitted along the many points of a round face lie inside it (its
/// outline reaches a side in the middle strips only), by more than the
/// division on a face 0.1 m across; its outermost samples bound it.
class RoundFace {
public:
    using Point = std::array<float, 2>;

    /// face: the points relative to the origin; axis0, axis1: the unit axes;
    /// outermost: how far the face reaches along +axis0, -axis0, +axis1 and
    /// -axis1.
    RoundFace(const std::vector<Point>& face, const Point& axis0, const Point& axis1,
              const std::array<float, 4>& outermost);

    bool Round() const { return round; }

private:
    bool round = false;
};
