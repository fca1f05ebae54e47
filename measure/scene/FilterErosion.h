#pragma once

#include <array>
#include <cstddef>
#include <vector>

/// What the outlier filter took of the goods' outline, judged against the
/// box measured on what it kept: points of a surface (a dome's flank seen at
/// a grazing angle, the rows of a clean edge) standing beyond the box by more
/// than the division mean the box is short of the goods. Strays and mixed
/// pixels stand on no surface and do not count.
class FilterErosion {
public:
    using Point = std::array<float, 3>;
    using Vector2 = std::array<float, 2>;

    /// taken: the points the filter took; base: the box's base corners in
    /// order round the rectangle; grow01, grow12: how much the box's sides
    /// from corner 0 to 1 and from 1 to 2 were lengthened after it was fitted
    /// (the station's corrections); pitch: the scan's spacing of points on
    /// the goods (metres); division: how far beyond the box counts.
    FilterErosion(const std::vector<Point>& taken, const std::array<Vector2, 4>& base, float grow01,
                  float grow12, float pitch, float division);

    /// Points of a surface beyond the box by more than the division.
    std::size_t Count() const { return count; }
    /// The farthest of them beyond the box (metres).
    float Farthest() const { return farthest; }

private:
    std::size_t count = 0;
    float farthest = 0.0f;
};
