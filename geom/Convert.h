#pragma once

#include <algorithm>
#include <cfenv>
#include <cstdint>

#include "geom/BSNumber.h"
#include "geom/Logger.h"

namespace geom {

template <typename UInteger>
class BSRational;

/// -1, 0 or +1 as a < b, a == b or a > b in value (not the aligned order of the integers' `<`).
template <typename UInteger>
int32_t CompareIntegers(UInteger const& a, UInteger const& b) {
    if (a.GetNumBits() != b.GetNumBits()) {
        return a.GetNumBits() < b.GetNumBits() ? -1 : 1;
    }
    uint32_t const* bits0 = a.GetBits().data();
    uint32_t const* bits1 = b.GetBits().data();
    for (int32_t i = a.GetSize() - 1; i >= 0; --i) {
        if (bits0[i] != bits1[i]) {
            return bits0[i] < bits1[i] ? -1 : 1;
        }
    }
    return 0;
}

// Sets bit `bit` of the quotient.
template <typename UInteger>
void SetQuotientBit(UInteger& quotient, int32_t bit) {
    constexpr int32_t kBlockBits = 32;
    quotient.GetBits()[bit / kBlockBits] |= 1u << (bit % kBlockBits);
}

// Long division of remainder by divisor (divisor <= remainder < 2 divisor), one quotient bit per
// round from the top bit of `quotient` down; the remainder left is scaled so that it equals the
// divisor at exactly half a unit of the last place. lastBit is the lowest quotient bit produced,
// 0 when the division came out exact before the last position.
template <typename UInteger>
void DivideBlocks(UInteger& remainder, UInteger const& divisor, UInteger& quotient,
                  int32_t& lastBit) {
    for (int32_t bit = quotient.GetNumBits() - 1; bit >= 0; --bit) {
        int32_t const order = CompareIntegers(remainder, divisor);
        if (order < 0) {
            lastBit = 0;
        } else {
            SetQuotientBit(quotient, bit);
            lastBit = 1;
            if (order == 0) {
                remainder.SetNumBits(0);
                if (bit > 0) {
                    lastBit = 0;
                }
                return;
            }
            remainder.Sub(remainder, divisor);
        }
        remainder.ShiftLeft(remainder, 1);
    }
}

// DivideBlocks on native words, for divisors short enough that twice the remainder fits.
template <typename UInteger>
void DivideWide(UInteger& remainder, UInteger const& divisor, UInteger& quotient,
                int32_t& lastBit) {
    using Wide = typename UInteger::Wide;
    Wide rest = remainder.GetWide();
    Wide const wideDivisor = divisor.GetWide();
    for (int32_t bit = quotient.GetNumBits() - 1; bit >= 0; --bit) {
        if (rest < wideDivisor) {
            lastBit = 0;
        } else {
            SetQuotientBit(quotient, bit);
            lastBit = 1;
            rest -= wideDivisor;
            if (rest == 0) {
                if (bit > 0) {
                    lastBit = 0;
                }
                break;
            }
        }
        rest <<= 1;
    }
    remainder.SetWide(rest);
}

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
    // the quotient's leading bit has power of two `exponent`. Both integers are odd, so their
    // aligned order is the order of the scaled values.
    BSNumber<UInteger> const& n = r.GetNumerator();
    BSNumber<UInteger> const& d = r.GetDenominator();
    int32_t const sign = n.GetSign() * d.GetSign();
    int32_t exponent = n.GetExponent() - d.GetExponent();
    int32_t numeratorShift = 1 - n.GetUInteger().GetNumBits();
    int32_t const denominatorShift = 1 - d.GetUInteger().GetNumBits();
    if (n.GetUInteger() < d.GetUInteger()) {
        ++numeratorShift;
        --exponent;
    }

    // Both as integers over the same power of two; only their ratio matters from here on.
    int32_t const lowest = std::min(numeratorShift, denominatorShift);
    UInteger remainder;
    remainder.ShiftLeft(n.GetUInteger(), numeratorShift - lowest);
    UInteger divisor;
    divisor.ShiftLeft(d.GetUInteger(), denominatorShift - lowest);

    BSNumber<UInteger> result;
    UInteger& quotient = result.GetUInteger();
    quotient.SetNumBits(precision);
    quotient.SetAllBitsToZero();
    int32_t lastBit = -1;
    // Doubling a remainder below twice the divisor needs two bits above the divisor's.
    if (divisor.GetNumBits() + 2 <= UInteger::kWideBits) {
        DivideWide(remainder, divisor, quotient, lastBit);
    } else {
        DivideBlocks(remainder, divisor, quotient, lastBit);
    }

    // The remainder equals the divisor exactly at half a unit in the last place.
    bool const inexact = (remainder.GetNumBits() > 0);
    bool roundUp = false;
    switch (roundingMode) {
        case FE_TONEAREST: {
            int32_t const aboveHalf = CompareIntegers(remainder, divisor);
            roundUp = (aboveHalf > 0 || (aboveHalf == 0 && lastBit == 1));
            break;
        }
        case FE_UPWARD:
            roundUp = (inexact && sign > 0);
            break;
        case FE_DOWNWARD:
            roundUp = (inexact && sign < 0);
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
