#pragma once

#include <array>
#include <vector>

/// How far the outline of the goods' surface reaches beyond the sides of a
/// box fitted on what the outlier filter kept. Along each side the outermost
/// point of a surface (kept or taken by the filter, or below the cut) is
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
    /// on the goods (metres).
    OutlineReach(const std::array<Vector2, 4>& base, float grow01, float grow12, float pitch);

    /// A point of the goods; only those near the box's outline or beyond it are held.
    void Add(const Point& p);
    /// Measures the reach of every side over the points added.
    void Judge();

    /// How much longer the surface's outline is than the box from corner 0
    /// to 1 and from 1 to 2 (metres; negative where the box is the longer).
    float Short01() const { return short01; }
    float Short12() const { return short12; }

private:
    bool valid = false;
    Vector2 centre{};
    Vector2 u{};
    Vector2 v{};
    std::array<float, 2> half{};
    float pitch = 0.0f;
    float radius = 0.0f;
    std::vector<Point> near;
    std::vector<Vector2> local;
    float short01 = 0.0f;
    float short12 = 0.0f;
};
