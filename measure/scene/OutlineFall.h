#pragma once

#include <array>
#include <cstddef>
#include <functional>

#include "measure/scene/BoxBase.h"

/// How the goods' surface meets the sides of a box fitted on it. Along each
/// side, in bins of two pitches, it takes the outermost point, the lowest
/// point within a pitch and a half of it, and the slope of the surface from
/// two to five pitches inward down to the outermost point; a side's slope
/// and height are the medians over its bins. A box ends in a flat top edge,
/// or in a side face seen down to the cut; a lying cylinder or a dome whose
/// grazing flank the filter took still falls steeply where the points end,
/// high above the cut, and runs on beyond what the scan shows of it.
class OutlineFall {
public:
    using Point = std::array<float, 3>;
    using Vector2 = std::array<float, 2>;

    /// base: the box's base corners in order round the rectangle; pitch: the
    /// spacing of the points on the goods (metres); bottom: the z of the
    /// box's bottom (the floor lies toward larger z); `count` points, point
    /// i from at(i).
    OutlineFall(const std::array<Vector2, 4>& base, float pitch, float bottom, std::size_t count,
                const std::function<Point(std::size_t)>& at);

    /// Side s = 2 * axis + (0 or 1): the two sides across axis 0 run from
    /// corner 1 to 2 and from 3 to 0, those across axis 1 from 0 to 1 and
    /// from 2 to 3. Its slope (height lost per length outward; 0 where the
    /// side has no bins) and its height above the bottom (metres).
    float Slope(int side) const { return slope[side]; }
    float Height(int side) const { return height[side]; }

private:
    std::array<float, 4> slope{};
    std::array<float, 4> height{};
};
