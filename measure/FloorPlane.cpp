#include "measure/FloorPlane.h"

#include <cmath>

FloorPlane::FloorPlane(float a, float b, float c, float d) : a(a), b(b), c(c), d(d) {
    length = std::sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b +
                       static_cast<double>(c) * c);
    if (!(length > 0.0) || !std::isfinite(length) || !std::isfinite(d)) {
        this->a = 0.0f;
        this->b = 0.0f;
        this->c = 1.0f;
        this->d = 0.0f;
        length = 0.0;
        return;
    }
    // The camera sits at the origin: its side of the plane is the negative
    // one. A plane through the origin falls back on z growing toward the floor.
    const bool flip = d > 0.0f || (d == 0.0f && c < 0.0f);
    if (flip) {
        this->a = -a;
        this->b = -b;
        this->c = -c;
        this->d = -d;
    }
    sided = d != 0.0f;
}

double FloorPlane::Beyond(float x, float y, float z) const {
    if (!sided) {
        return 0.0;
    }
    return (static_cast<double>(a) * x + static_cast<double>(b) * y + static_cast<double>(c) * z +
            d) /
           length;
}
