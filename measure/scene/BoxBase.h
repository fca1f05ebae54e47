#pragma once

#include <algorithm>
#include <array>
#include <cmath>

/// A box's base in its own axes, for judging points against its outline:
/// the centre of its corners, the unit vectors along its sides from corner 0
/// to 1 (u) and from 1 to 2 (v), and half its sides once each was lengthened
/// by the station's correction.
class BoxBase {
public:
    using Vector2 = std::array<float, 2>;

    /// base: the corners in order round the rectangle; grow01, grow12: how
    /// much the sides from corner 0 to 1 and from 1 to 2 were lengthened.
    BoxBase(const std::array<Vector2, 4>& base, float grow01, float grow12)
        : side01(std::hypot(base[1][0] - base[0][0], base[1][1] - base[0][1])),
          side12(std::hypot(base[2][0] - base[1][0], base[2][1] - base[1][1])) {
        if (!Valid()) return;
        centre = {(base[0][0] + base[2][0]) / 2, (base[0][1] + base[2][1]) / 2};
        u = {(base[1][0] - base[0][0]) / side01, (base[1][1] - base[0][1]) / side01};
        v = {(base[2][0] - base[1][0]) / side12, (base[2][1] - base[1][1]) / side12};
        half = {(side01 + grow01) / 2, (side12 + grow12) / 2};
    }

    /// False for a base without area: nothing can be judged against it.
    bool Valid() const { return side01 > 0.0f && side12 > 0.0f; }
    /// Half the lengthened side along u (0) and along v (1).
    float Half(int axis) const { return half[axis]; }

    /// The point (x, y) along u and v from the centre.
    Vector2 Local(float x, float y) const {
        const float dx = x - centre[0], dy = y - centre[1];
        return {dx * u[0] + dy * u[1], dx * v[0] + dy * v[1]};
    }
    /// How far a point at `local` stands beyond the lengthened outline
    /// (negative inside it).
    float Beyond(const Vector2& local) const {
        return std::max(std::fabs(local[0]) - half[0], std::fabs(local[1]) - half[1]);
    }

private:
    float side01;
    float side12;
    Vector2 centre{};
    Vector2 u{};
    Vector2 v{};
    std::array<float, 2> half{};
};
