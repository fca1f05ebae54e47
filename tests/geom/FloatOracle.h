#pragma once

#include <gmpxx.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "GmpOracle.h"

// Rounding of exact rationals written directly on GMP integers, independent of the long division
// and prefix logic under test.
namespace geomtest {

/// floor(log2 |q|) for q != 0.
inline int32_t LeadingExponent(mpq_class const& q) {
    mpz_class const num = abs(q.get_num());
    mpz_class const den = q.get_den();
    int32_t e = static_cast<int32_t>(mpz_sizeinbase(num.get_mpz_t(), 2)) -
                static_cast<int32_t>(mpz_sizeinbase(den.get_mpz_t(), 2));
    if (abs(q) < PowerOfTwo(e)) {
        --e;
    }
    return e;
}

/// |q| rounded to a multiple of 2^ulpExponent in `mode`, with the sign of q.
inline mpq_class RoundToUlp(mpq_class const& q, int32_t ulpExponent, int mode) {
    mpq_class const scaled = abs(q) / PowerOfTwo(ulpExponent);
    mpz_class whole = scaled.get_num() / scaled.get_den();
    mpq_class const remainder = scaled - mpq_class(whole);
    bool const negative = q < 0;
    bool up = false;
    if (mode == FE_TONEAREST) {
        up = remainder > mpq_class(1, 2) || (remainder == mpq_class(1, 2) && whole % 2 == 1);
    } else if (mode == FE_UPWARD) {
        up = remainder > 0 && !negative;
    } else if (mode == FE_DOWNWARD) {
        up = remainder > 0 && negative;
    }
    if (up) {
        ++whole;
    }
    mpq_class result = mpq_class(whole) * PowerOfTwo(ulpExponent);
    return negative ? mpq_class(-result) : result;
}

/// q rounded to `precision` significant bits.
inline mpq_class RoundToPrecision(mpq_class const& q, int32_t precision, int mode) {
    if (q == 0) {
        return 0;
    }
    return RoundToUlp(q, LeadingExponent(q) - (precision - 1), mode);
}

/// q rounded to the nearest float, ties to even, with subnormals and overflow to infinity.
inline float RoundToFloat(mpq_class const& q) {
    if (q == 0) {
        return 0.0f;
    }
    constexpr int32_t kMinNormalExponent = -126;
    constexpr int32_t kTrailingBits = 23;
    int32_t const exponent = std::max(LeadingExponent(q), kMinNormalExponent);
    mpq_class const rounded = RoundToUlp(q, exponent - kTrailingBits, FE_TONEAREST);
    mpq_class const largest(static_cast<double>(std::numeric_limits<float>::max()));
    if (abs(rounded) > largest) {
        return q < 0 ? -std::numeric_limits<float>::infinity()
                     : std::numeric_limits<float>::infinity();
    }
    if (rounded == 0) {
        return q < 0 ? -0.0f : 0.0f;
    }
    return static_cast<float>(rounded.get_d());
}

/// Same float, bit for bit (distinguishes the zeros).
inline bool SameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof(float)) == 0; }

}  // namespace geomtest
