#pragma once

#include <gmpxx.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "FloatOracle.h"

namespace geomtest {

/// GMP rational with the number interface the geometry templates compute with; an
/// independent exact type for checking them.
class MpqReal {
public:
    MpqReal() : value(0) {}
    MpqReal(int32_t v) : value(v) {}
    MpqReal(float v) : value(0) {
        if (std::isnan(v)) {
            throw std::runtime_error("BSNumber does not have a representation for NaNs.");
        }
        if (std::isinf(v)) {
            throw std::runtime_error("BSNumber does not have a representation for infinities.");
        }
        value = mpq_class(static_cast<double>(v));
    }
    explicit MpqReal(mpq_class const& v) : value(v) {}

    int32_t GetSign() const { return sgn(value); }

    MpqReal operator-() const { return MpqReal(mpq_class(-value)); }
    MpqReal operator+(MpqReal const& o) const { return MpqReal(mpq_class(value + o.value)); }
    MpqReal operator-(MpqReal const& o) const { return MpqReal(mpq_class(value - o.value)); }
    MpqReal operator*(MpqReal const& o) const { return MpqReal(mpq_class(value * o.value)); }
    MpqReal operator/(MpqReal const& o) const {
        if (sgn(o.value) == 0) {
            throw std::runtime_error("Division by zero in BSRational::operator/.");
        }
        return MpqReal(mpq_class(value / o.value));
    }
    MpqReal& operator+=(MpqReal const& o) {
        value += o.value;
        return *this;
    }
    MpqReal& operator-=(MpqReal const& o) {
        value -= o.value;
        return *this;
    }
    MpqReal& operator*=(MpqReal const& o) {
        value *= o.value;
        return *this;
    }
    MpqReal& operator/=(MpqReal const& o) { return *this = *this / o; }

    bool operator<(MpqReal const& o) const { return value < o.value; }
    bool operator>(MpqReal const& o) const { return value > o.value; }
    bool operator==(MpqReal const& o) const { return value == o.value; }
    bool operator!=(MpqReal const& o) const { return value != o.value; }

    /// Nearest float, ties to even.
    explicit operator float() const { return geomtest::RoundToFloat(value); }

private:
    mpq_class value;
};

}  // namespace geomtest
