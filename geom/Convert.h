#pragma once

#include <cfenv>
#include <cstdint>

#include "geom/BSNumber.h"
#include "geom/Logger.h"

namespace geom {

template <typename UInteger>
class BSRational;

/// Rounds the quotient `r` to a number of `precision` significant bits in `roundingMode`
/// (FE_TONEAREST with ties to even, FE_DOWNWARD, FE_UPWARD or FE_TOWARDZERO).
template <typename UInteger>
void Convert(BSRational<UInteger> const& r, int32_t precision, int32_t roundingMode,
             BSNumber<UInteger>& out) {
    constexpr int64_t kBlockBits = 32;
    GEOM_REPORT_ERROR(precision > 0, "Precision must be positive.");
    int64_t const blocksNeeded = (static_cast<int64_t>(precision) + kBlockBits - 1) / kBlockBits;
    GEOM_REPORT_ERROR(blocksNeeded < UInteger::GetMaxSize(),
                      "The maximum precision has been exceeded.");

    if (r.GetSign() == 0) {
        out = BSNumber<UInteger>();
        return;
    }

    // Scale numerator and denominator into [1, 2) and then the numerator into [d, 2d), so that
    // the quotient's leading bit has power of two `exponent`.
    BSNumber<UInteger> n = r.GetNumerator();
    BSNumber<UInteger> d = r.GetDenominator();
    int32_t const sign = n.GetSign() * d.GetSign();
    n.SetSign(1);
    d.SetSign(1);
    int32_t exponent = n.GetExponent() - d.GetExponent();
    n.SetExponent(0);
    d.SetExponent(0);
    if (n < d) {
        n.SetExponent(1);
        --exponent;
    }

    // Long division, one quotient bit per round from the top. lastBit is the lowest quotient bit
    // produced, 0 when the division came out exact before the last position.
    BSNumber<UInteger> result;
    UInteger& quotient = result.GetUInteger();
    quotient.SetNumBits(precision);
    quotient.SetAllBitsToZero();
    int32_t lastBit = -1;
    for (int32_t bit = precision - 1; bit >= 0; --bit) {
        if (n < d) {
            n.SetBiasedExponent(n.GetBiasedExponent() + 1);
            lastBit = 0;
        } else {
            n = n - d;
            quotient.GetBits()[bit / kBlockBits] |= 1u << (bit % kBlockBits);
            lastBit = 1;
            if (n.GetSign() == 0) {
                if (bit > 0) {
                    lastBit = 0;
                }
                break;
            }
            n.SetBiasedExponent(n.GetBiasedExponent() + 1);
        }
    }

    // n is now the remainder scaled so that n = d means exactly half a unit in the last place.
    bool roundUp = false;
    switch (roundingMode) {
        case FE_TONEAREST: {
            int32_t const aboveHalf = (n - d).GetSign();
            roundUp = (aboveHalf > 0 || (aboveHalf == 0 && lastBit == 1));
            break;
        }
        case FE_UPWARD:
            roundUp = (n.GetSign() > 0 && sign > 0);
            break;
        case FE_DOWNWARD:
            roundUp = (n.GetSign() > 0 && sign < 0);
            break;
        case FE_TOWARDZERO:
            break;
        default:
            GEOM_REPORT_ERROR(false, "Implementation-dependent rounding mode not supported.");
    }
    if (roundUp) {
        exponent += quotient.RoundUp();
    }
    if ((quotient.GetBits()[0] & 1u) == 0) {
        exponent += quotient.ShiftRightToOdd(quotient);
    }

    result.SetSign(sign);
    result.SetBiasedExponent(exponent - (precision - 1));
    out = std::move(result);
}

/// Rounds the quotient `r` to a float in `roundingMode`; a subnormal result is rounded to
/// nearest once more when it is narrowed.
template <typename UInteger>
void Convert(BSRational<UInteger> const& r, int32_t roundingMode, float& out) {
    constexpr int32_t kFloatPrecision = 24;
    BSNumber<UInteger> number;
    Convert(r, kFloatPrecision, roundingMode, number);
    out = static_cast<float>(number);
}

}  // namespace geom
