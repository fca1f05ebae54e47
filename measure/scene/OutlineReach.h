#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "measure/scene/BoxBase.h"

/// How far the outline of the goods' surface reaches beyond the sides of a
/// box fitted on what the outlier filter kept. Along each side the outermost
/// point of a surface (kept, or taken by the filter, or below the cut) is
/// found in bins of two pitches, and the side's reach is the median of those
/// bins: a filter that ate the outermost rows of a low face, or a foot the
/// cut left, shows as every bin reaching beyond the side; a stray or a patch
/// of mixed pixels as a few.
class OutlineReach {
public:
    using Point = std::array<float, 3>;
    using Vector2 = std::array<float, 2>;

    /// base: the box's base corners in order round the rectangle; grow01,
    /// grow12: how much the sides from corner 0 to 1 and from 1 to 2 were
    /// lengthened after the box was fitted; pitch: the spacing of the points
    /// on the goods (metres); beyond: the points the box was not fitted on
    /// (what the filter took, the foot below the cut), each counted only on
    /// a surface (SurfaceSupport) with what lies round it.
    OutlineReach(const std::array<Vector2, 4>& base, float grow01, float grow12, float pitch,
                 const std::vector<Point>& beyond);

    /// Measures the reach of every side over the points the box was fitted
    /// on (`count` of them, point i from keptAt(i)): each bounds its bin,
    /// and lends support to the points beyond near it.
    void Judge(std::size_t count, const std::function<Point(std::size_t)>& keptAt);

    /// How much longer the surface's outline is than the box from corner 0
    /// to 1 and from 1 to 2 (metres; negative where the box is the longer).
    float Short01() const { return short01; }
    float Short12() const { return short12; }
    /// The box judged against, its sides lengthened.
    const BoxBase& Box() const { return box; }

private:
    /// The point in the box's axes, and how far beyond the outline it lies.
    Vector2 Local(const Point& p, float& beyond) const;
    /// Raises the outermost of a's bin on each side it lies beyond or near;
    /// with `test` only tells whether it would.
    bool Bound(const Vector2& a, bool test = false);
    /// The flag cell of a point in the box's axes, or -1 outside the grid.
    long Cell(const Vector2& a) const;

    BoxBase box;
    bool valid = false;
    float pitch = 0.0f;
    float radius = 0.0f;
    // Per side (axis, sign): the outermost point of each bin along it.
    std::array<std::vector<float>, 4> outermost;
    // Cells of the search radius over the box and the farthest outline.
    std::array<long, 2> cells{};
    std::vector<Point> beyondPoints;
    std::vector<Vector2> beyondLocal;
    float short01 = 0.0f;
    float short12 = 0.0f;
};
