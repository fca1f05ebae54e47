#pragma once

#include <array>
#include <cstdint>

#include "geom/Vector.h"

namespace geom {

/// A box with unit axes, centre and half-lengths along the axes.
///
/// In 2D the corners from GetVertices are numbered by the signs of the axis offsets:
///
///        2 ---------- 3
///        |            |      axis[1]
///        |   center   |        ^
///        |            |        |
///        0 ---------- 1        +--> axis[0]
///
/// so 0, 1, 3, 2 goes round the rectangle counterclockwise when axis[1] is axis[0] turned
/// counterclockwise.
template <int32_t N, typename Real>
class OrientedBox {
public:
    /// The unit box: centre at the origin, the coordinate axes, half-lengths one.
    OrientedBox() {
        center.MakeZero();
        for (int32_t d = 0; d < N; ++d) {
            axis[d].MakeUnit(d);
            extent[d] = Real(1);
        }
    }

    /// The 2^N corners; corner i adds +extent[d]*axis[d] when bit d of i is set and subtracts
    /// it otherwise.
    void GetVertices(std::array<Vector<N, Real>, (1 << N)>& vertex) const {
        std::array<Vector<N, Real>, N> product;
        for (int32_t d = 0; d < N; ++d) {
            product[d] = extent[d] * axis[d];
        }
        for (int32_t i = 0; i < (1 << N); ++i) {
            vertex[i] = center;
            for (int32_t d = 0; d < N; ++d) {
                if (i & (1 << d)) {
                    vertex[i] += product[d];
                } else {
                    vertex[i] -= product[d];
                }
            }
        }
    }

    Vector<N, Real> center;
    std::array<Vector<N, Real>, N> axis;
    Vector<N, Real> extent;
};

}  // namespace geom
