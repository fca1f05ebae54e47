#pragma once

#include <gmpxx.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace geom_test {

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

    mpq_class const& Get() const { return value; }
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
    bool operator<=(MpqReal const& o) const { return value <= o.value; }
    bool operator>=(MpqReal const& o) const { return value >= o.value; }
    bool operator==(MpqReal const& o) const { return value == o.value; }
    bool operator!=(MpqReal const& o) const { return value != o.value; }

    /// Nearest float, ties to even (finite range only).
    explicit operator float() const { return RoundToFloat(value); }

    static float RoundToFloat(mpq_class const& q) {
        float const guess = static_cast<float>(q.get_d());
        float best = guess;
        mpq_class bestError = abs(mpq_class(static_cast<double>(guess)) - q);
        for (float candidate : {std::nextafter(guess, -std::numeric_limits<float>::infinity()),
                                std::nextafter(guess, std::numeric_limits<float>::infinity())}) {
            if (!std::isfinite(candidate)) {
                continue;
            }
            mpq_class const error = abs(mpq_class(static_cast<double>(candidate)) - q);
            if (error < bestError || (error == bestError && IsEven(candidate))) {
                best = candidate;
                bestError = error;
            }
        }
        return best;
    }

private:
    static bool IsEven(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof(bits));
        return (bits & 1u) == 0;
    }

    mpq_class value;
};

}  // namespace geom_test
