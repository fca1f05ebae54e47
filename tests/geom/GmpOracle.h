#pragma once

#include <gmpxx.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "geom/BSNumber.h"
#include "geom/BSRational.h"
#include "geom/UIntegerAP32.h"

// Conversions between the exact geometry number types and GMP values, which the tests use as an
// independent oracle.
namespace geomtest {

using Integer = geom::UIntegerAP32;
using Number = geom::BSNumber<geom::UIntegerAP32>;
using Rational = geom::BSRational<geom::UIntegerAP32>;

/// The value of an integer's blocks.
inline mpz_class ToMpz(Integer const& x) {
    mpz_class z;
    mpz_import(z.get_mpz_t(), static_cast<size_t>(x.GetSize()), -1, sizeof(uint32_t), 0, 0,
               x.GetBits().data());
    return z;
}

/// An integer holding `z` exactly, trailing zero bits included.
inline Integer FromMpz(mpz_class const& z) {
    Integer x;
    int32_t const numBits = (z == 0 ? 0 : static_cast<int32_t>(mpz_sizeinbase(z.get_mpz_t(), 2)));
    x.SetNumBits(numBits);
    if (numBits > 0) {
        size_t count = 0;
        mpz_export(x.GetBits().data(), &count, -1, sizeof(uint32_t), 0, 0, z.get_mpz_t());
    }
    return x;
}

/// 2^e as an exact rational.
inline mpq_class PowerOfTwo(int32_t e) {
    mpq_class q(1);
    if (e >= 0) {
        mpq_mul_2exp(q.get_mpq_t(), q.get_mpq_t(), static_cast<mp_bitcnt_t>(e));
    } else {
        mpq_div_2exp(q.get_mpq_t(), q.get_mpq_t(), static_cast<mp_bitcnt_t>(-e));
    }
    return q;
}

/// The exact value of a binary scientific number.
inline mpq_class ToMpq(Number const& x) {
    mpq_class q(ToMpz(x.GetUInteger()));
    q *= PowerOfTwo(x.GetBiasedExponent());
    return x.GetSign() < 0 ? mpq_class(-q) : q;
}

/// The exact value of a rational.
inline mpq_class ToMpq(Rational const& r) {
    mpq_class q = ToMpq(r.GetNumerator()) / ToMpq(r.GetDenominator());
    q.canonicalize();
    return q;
}

/// Exact value of a finite float.
inline mpq_class ToMpq(float f) { return mpq_class(static_cast<double>(f)); }

/// z * 2^exponent as a binary scientific number, built field by field.
inline Number ToNumber(mpz_class const& z, int32_t exponent = 0) {
    Number x;
    if (z != 0) {
        geom::UIntegerAP32& integer = x.GetUInteger();
        integer = FromMpz(abs(z));
        int32_t const shift = integer.ShiftRightToOdd(integer);
        x.SetBiasedExponent(exponent + shift);
        x.SetSign(z < 0 ? -1 : 1);
    }
    return x;
}

/// A random finite float with its exponent in [minExponent, maxExponent] and a random sign.
inline float RandomFloat(std::mt19937_64& rng, int minExponent, int maxExponent) {
    std::uniform_int_distribution<int> exponent(minExponent, maxExponent);
    std::uniform_int_distribution<uint32_t> trailing(0, (1u << 23) - 1);
    std::uniform_int_distribution<int> coin(0, 1);
    float const mantissa = 1.0f + static_cast<float>(trailing(rng)) / static_cast<float>(1u << 23);
    float const magnitude = std::ldexp(mantissa, exponent(rng));
    return coin(rng) != 0 ? -magnitude : magnitude;
}

}  // namespace geomtest
