#pragma once

#include <cstdint>

#include "geom/Vector.h"

namespace geom {

/// A line through `origin` along `direction` (unit length when made by this library).
template <int32_t N, typename Real>
class Line {
public:
    /// Origin and direction both zero.
    Line() = default;

    /// The line through `origin` along `direction`.
    Line(Vector<N, Real> const& origin, Vector<N, Real> const& direction)
        : origin(origin), direction(direction) {}

    Vector<N, Real> origin;
    Vector<N, Real> direction;
};

}  // namespace geom
