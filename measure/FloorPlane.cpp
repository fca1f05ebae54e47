#include "measure/FloorPlane.h"

#include <algorithm>
#include <cmath>

FloorPlane::FloorPlane(float a, float b, float c, float d) {
    const double length = std::sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b +
                                    static_cast<double>(c) * c);
    if (!(length > 0.0) || !std::isfinite(length) || !std::isfinite(d)) {
        return;
    }
    // The camera sits at the origin, on the negative side of the stored
    // plane once the normal points toward the floor. A plane through the
    // origin falls back on z growing toward the floor.
    const double sign = (d > 0.0f || (d == 0.0f && c < 0.0f)) ? -1.0 : 1.0;
    this->a = static_cast<float>(sign * a / length);
    this->b = static_cast<float>(sign * b / length);
    this->c = static_cast<float>(sign * c / length);
    floor = static_cast<float>(-sign * d / length);
    normal = true;
}

double FloorPlane::TiltDegrees() const {
    const double kDegreesPerRadian = 180.0 / std::acos(-1.0);
    return std::acos(std::min(1.0, std::fabs(static_cast<double>(c)))) * kDegreesPerRadian;
}
