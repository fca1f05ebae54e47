#pragma once

#include <array>
#include <cstddef>
#include <functional>

/// Whether lone points widen a box fitted on every point the outlier filter
/// kept. The filter judges each point against the spread of all the points'
/// neighbour distances, and floor strays far off the goods inflate that
/// spread: a stray a few centimetres beside the goods then passes, and the
/// box of today's mode reaches out to it. Along each side the outermost
/// point that stands among others (some neighbours within a few pitches
/// across, at any depth: a flank seen edge-on stacks its points in columns)
/// bounds the goods; the points beyond it by more than the division are
/// strays.
class BoxStrays {
public:
    using Point = std::array<float, 3>;
    using Vector2 = std::array<float, 2>;

    /// base: the box's base corners in order round the rectangle, fitted on
    /// the `points` points (point i from at(i)) and not yet lengthened by the
    /// station's corrections; pitch: the spacing of the points on the goods;
    /// division: how far beyond the goods the box may reach (metres).
    BoxStrays(const std::array<Vector2, 4>& base, float pitch, float division, std::size_t points,
              const std::function<Point(std::size_t)>& at);

    /// Points beyond the goods' outline by more than the division.
    std::size_t Count() const { return count; }

private:
    std::size_t count = 0;
};
