#pragma once

#include <array>
#include <vector>

/// The upright box fitted to the goods of a scan rather than to its outermost
/// points: its top at the level of the highest face, its sides fitted to the
/// outline of that face along the many points of each side, then pushed out
/// wherever a surface of the goods (a lower part wider than the top, the
/// flank of a round load) stands more than the division beyond them; goods
/// without a flat top out to the last point on their surface. Strays and
/// mixed pixels lie on no surface and move nothing.
class PreciseBox {
public:
    using Point = std::array<float, 3>;
    using Vector2 = std::array<float, 2>;

    /// Fits the box to the points (metres, z toward the floor) starting from
    /// the rectangle axes axis0 and axis1 (unit, perpendicular) around
    /// `center`; `division` (metres) is how far the goods may stand beyond a
    /// fitted face before the face moves out to them. `filtered`, when not
    /// empty, holds what an outlier filter kept of the points: a surface
    /// beyond a face moves it only where the filter kept some of that surface
    /// (the floor's speckle above a cut stands on no surface the filter keeps).
    /// `foot`, when not empty, holds points below a cut that continue the
    /// goods' surface: goods without a flat top reach out over them.
    PreciseBox(const std::vector<Point>& points, const Vector2& center, const Vector2& axis0,
               const Vector2& axis1, float division, const std::vector<Point>& filtered = {},
               const std::vector<Point>& foot = {});

    /// False when the points hold no face to fit: the caller keeps its own box.
    bool Fitted() const { return fitted; }
    const Vector2& Center() const { return center; }
    const Vector2& Axis(int i) const { return axis[i]; }
    /// Half the side along Axis(i).
    float Extent(int i) const { return extent[i]; }
    /// z of the top face.
    float Top() const { return top; }

private:
    bool fitted = false;
    Vector2 center = {0.0f, 0.0f};
    std::array<Vector2, 2> axis = {Vector2{1.0f, 0.0f}, Vector2{0.0f, 1.0f}};
    std::array<float, 2> extent = {0.0f, 0.0f};
    float top = 0.0f;
};
