#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#include "geom/BitHacks.h"
#include "geom/IEEEBinary.h"
#include "geom/Logger.h"

namespace geom {

/// Exact binary scientific number: sign * odd unsigned integer * 2^biasedExponent.
///
/// Every finite float converts without loss; sums, differences and products are exact. Each
/// value has exactly one representation: zero is sign 0, exponent 0 and an empty integer.
template <typename UInteger>
class BSNumber {
public:
    using FloatBits = IEEEBinary<float, uint32_t, 32, 24>;

    /// Zero.
    BSNumber() : sign(0), biasedExponent(0) {
        GEOM_REPORT_ASSERTION(IsValid(), "Invalid BSNumber.");
    }

    /// The integer `number`, exactly.
    BSNumber(int32_t number)
        : sign(number < 0 ? -1 : (number > 0 ? 1 : 0)),
          biasedExponent(number != 0 ? BitHacks::GetTrailingBit(Magnitude(number)) : 0),
          uinteger(Magnitude(number)) {
        GEOM_REPORT_ASSERTION(IsValid(), "Invalid BSNumber.");
    }

    /// The float `number`, exactly; NaN and infinities fail.
    BSNumber(float number) : sign(0), biasedExponent(0) {
        ConvertFrom(number);
        GEOM_REPORT_ASSERTION(IsValid(), "Invalid BSNumber.");
    }

    /// Deep copy.
    BSNumber(BSNumber const& other) = default;

    /// Takes over the integer; the source becomes zero.
    BSNumber(BSNumber&& other) noexcept
        : sign(std::exchange(other.sign, 0)),
          biasedExponent(std::exchange(other.biasedExponent, 0)),
          uinteger(std::move(other.uinteger)) {}

    /// Deep copy.
    BSNumber& operator=(BSNumber const& other) = default;

    /// Takes over the integer; the source becomes zero.
    BSNumber& operator=(BSNumber&& other) noexcept {
        if (this != &other) {
            sign = std::exchange(other.sign, 0);
            biasedExponent = std::exchange(other.biasedExponent, 0);
            uinteger = std::move(other.uinteger);
        }
        return *this;
    }

    /// Nearest float, ties to even; subnormal results and overflow to infinity included.
    explicit operator float() const { return ConvertTo(); }

    /// Whether the fields form the unique representation of a value.
    bool IsValid() const {
        if (sign == 0) {
            return biasedExponent == 0 && uinteger.GetNumBits() == 0 && uinteger.GetSize() == 0;
        }
        return (sign == 1 || sign == -1) && uinteger.GetNumBits() > 0 && uinteger.GetSize() > 0 &&
               (uinteger.GetBits()[0] & 1u) != 0;
    }

    /// -1, 0 or +1.
    int32_t GetSign() const { return sign; }
    /// Sets the sign without touching the magnitude.
    void SetSign(int32_t value) { sign = value; }
    /// Power of two of the leading bit.
    int32_t GetExponent() const { return biasedExponent + uinteger.GetNumBits() - 1; }
    /// Moves the number so that its leading bit has power of two `exponent`.
    void SetExponent(int32_t exponent) { biasedExponent = exponent - uinteger.GetNumBits() + 1; }
    /// Power of two of the lowest bit of the integer.
    int32_t GetBiasedExponent() const { return biasedExponent; }
    /// Sets the power of two of the lowest bit of the integer.
    void SetBiasedExponent(int32_t exponent) { biasedExponent = exponent; }
    /// The odd integer part of the magnitude.
    UInteger const& GetUInteger() const { return uinteger; }
    /// The odd integer part of the magnitude.
    UInteger& GetUInteger() { return uinteger; }

    /// Sets the number to the float `number` exactly; NaN and infinities fail.
    void ConvertFrom(float number) {
        FloatBits const encoding(number);
        uint32_t const signBit = encoding.GetSign();
        uint32_t const biased = encoding.GetBiased();
        uint32_t const trailing = encoding.GetTrailing();
        int32_t const signedOne = (signBit != 0 ? -1 : 1);

        if (biased == 0) {
            if (trailing == 0) {
                *this = BSNumber();
                return;
            }
            // Subnormal: trailing * 2^(smallest subnormal exponent).
            int32_t const lowest = BitHacks::GetTrailingBit(trailing);
            sign = signedOne;
            biasedExponent = FloatBits::kMinSubnormalExponent + lowest;
            uinteger = UInteger(trailing);
            return;
        }
        if (biased < static_cast<uint32_t>(FloatBits::kMaxBiasedExponent)) {
            int32_t const exponent = static_cast<int32_t>(biased) - FloatBits::kExponentBias;
            sign = signedOne;
            if (trailing == 0) {
                biasedExponent = exponent;
                uinteger = UInteger(1u);
            } else {
                int32_t const lowest = BitHacks::GetTrailingBit(trailing);
                biasedExponent = exponent - (FloatBits::kNumTrailingBits - lowest);
                uinteger = UInteger(trailing | kImplicitBit);
            }
            return;
        }
        GEOM_REPORT_ERROR(trailing == 0, "BSNumber does not have a representation for NaNs.");
        GEOM_REPORT_ERROR(false, "BSNumber does not have a representation for infinities.");
    }

    /// Nearest float, ties to even; subnormal results and overflow to infinity included.
    float ConvertTo() const {
        if (sign == 0) {
            return 0.0f;
        }
        uint32_t const signBit = (sign < 0 ? 1u : 0u);
        int32_t const exponent = GetExponent();
        // Half the smallest subnormal: a tie between zero and the smallest subnormal.
        int32_t constexpr kHalfSubnormalExponent = FloatBits::kMinSubnormalExponent - 1;
        uint32_t biased = 0;
        uint32_t trailing = 0;
        if (exponent < kHalfSubnormalExponent ||
            (exponent == kHalfSubnormalExponent && uinteger.GetNumBits() == 1)) {
            // Rounds to a signed zero.
        } else if (exponent == kHalfSubnormalExponent) {
            trailing = 1;
        } else if (exponent < FloatBits::kMinExponent) {
            trailing = GetTrailing(0, FloatBits::kMinExponent - 1 - exponent);
            if ((trailing & kImplicitBit) != 0) {
                biased = 1;
                trailing = 0;
            }
        } else if (exponent > FloatBits::kMaxExponent) {
            biased = FloatBits::kMaxBiasedExponent;
        } else {
            biased = static_cast<uint32_t>(exponent + FloatBits::kExponentBias);
            trailing = GetTrailing(1, 0);
            if ((trailing & (kImplicitBit << 1)) != 0) {
                ++biased;
                trailing >>= 1;
            }
            trailing &= ~kImplicitBit;
        }
        FloatBits result;
        result.SetEncoding(signBit, biased, trailing);
        return result.GetNumber();
    }

    /// The number with its sign reversed.
    BSNumber operator-() const {
        BSNumber result(*this);
        result.sign = -sign;
        return result;
    }

    /// Exact sum.
    friend BSNumber operator+(BSNumber const& a, BSNumber const& b) {
        if (b.sign == 0) {
            return a;
        }
        if (a.sign == 0) {
            return b;
        }
        if (a.sign == b.sign) {
            return AddIgnoreSign(a, b, a.sign);
        }
        if (EqualIgnoreSign(a, b)) {
            return BSNumber();
        }
        if (LessThanIgnoreSign(b, a)) {
            return SubIgnoreSign(a, b, a.sign);
        }
        return SubIgnoreSign(b, a, b.sign);
    }

    /// Exact difference.
    friend BSNumber operator-(BSNumber const& a, BSNumber const& b) {
        if (a.sign == 0) {
            return -b;
        }
        if (b.sign == 0) {
            return a;
        }
        if (a.sign != b.sign) {
            return AddIgnoreSign(a, b, a.sign);
        }
        if (EqualIgnoreSign(a, b)) {
            return BSNumber();
        }
        if (LessThanIgnoreSign(b, a)) {
            return SubIgnoreSign(a, b, a.sign);
        }
        return SubIgnoreSign(b, a, -a.sign);
    }

    /// Exact product.
    friend BSNumber operator*(BSNumber const& a, BSNumber const& b) {
        BSNumber result;
        int32_t const productSign = a.sign * b.sign;
        if (productSign != 0) {
            result.sign = productSign;
            result.biasedExponent = a.biasedExponent + b.biasedExponent;
            // Products of odd integers are odd; a factor 1 (a power of two) needs no multiply.
            int32_t const numBits = a.uinteger.GetNumBits() + b.uinteger.GetNumBits();
            if (a.uinteger.GetNumBits() == 1) {
                result.uinteger = b.uinteger;
            } else if (b.uinteger.GetNumBits() == 1) {
                result.uinteger = a.uinteger;
            } else if (numBits <= UInteger::kWideBits) {
                result.uinteger.SetWide(a.uinteger.GetWide() * b.uinteger.GetWide());
            } else {
                result.uinteger.Mul(a.uinteger, b.uinteger);
            }
        }
        GEOM_REPORT_ASSERTION(result.IsValid(), "Invalid BSNumber.");
        return result;
    }

    /// Numeric order.
    friend bool operator<(BSNumber const& a, BSNumber const& b) {
        if (a.sign > 0) {
            return b.sign > 0 && LessThanIgnoreSign(a, b);
        }
        if (a.sign < 0) {
            return b.sign >= 0 || LessThanIgnoreSign(b, a);
        }
        return b.sign > 0;
    }

    /// Numeric equality.
    friend bool operator==(BSNumber const& a, BSNumber const& b) {
        return a.sign == b.sign && EqualIgnoreSign(a, b);
    }

    /// Numeric inequality.
    friend bool operator!=(BSNumber const& a, BSNumber const& b) { return !(a == b); }
    /// Numeric order.
    friend bool operator>(BSNumber const& a, BSNumber const& b) { return b < a; }
    /// Numeric order.
    friend bool operator<=(BSNumber const& a, BSNumber const& b) { return !(b < a); }
    /// Numeric order.
    friend bool operator>=(BSNumber const& a, BSNumber const& b) { return !(a < b); }

    /// |x| + |y| with the sign `resultSign`; both are nonzero.
    static BSNumber AddIgnoreSign(BSNumber const& x, BSNumber const& y, int32_t resultSign) {
        BSNumber result;
        CombineMagnitudes<false>(x, y, result);
        result.sign = resultSign;
        GEOM_REPORT_ASSERTION(result.IsValid(), "Invalid BSNumber.");
        return result;
    }

    /// |x| - |y| with the sign `resultSign`; |x| > |y| > 0.
    static BSNumber SubIgnoreSign(BSNumber const& x, BSNumber const& y, int32_t resultSign) {
        BSNumber result;
        CombineMagnitudes<true>(x, y, result);
        result.sign = resultSign;
        GEOM_REPORT_ASSERTION(result.IsValid(), "Invalid BSNumber.");
        return result;
    }

    /// |x| < |y| for nonzero x and y.
    static bool LessThanIgnoreSign(BSNumber const& x, BSNumber const& y) {
        int32_t const exponent0 = x.GetExponent();
        int32_t const exponent1 = y.GetExponent();
        if (exponent0 != exponent1) {
            return exponent0 < exponent1;
        }
        return x.uinteger < y.uinteger;
    }

    /// |x| == |y|.
    static bool EqualIgnoreSign(BSNumber const& x, BSNumber const& y) {
        return x.biasedExponent == y.biasedExponent && x.uinteger == y.uinteger;
    }

    /// The leading bits of the integer rounded to nearest, ties to even: 24 bits for a normal
    /// float (`normal` 1, `sigma` 0), 23 - sigma bits for a subnormal one (`normal` 0).
    uint32_t GetTrailing(int32_t normal, int32_t sigma) const {
        int32_t const numRequested = FloatBits::kNumSignificandBits + normal;
        uint64_t const prefix = uinteger.GetPrefix(numRequested);
        int32_t const numKept = numRequested - 1 - sigma;
        uint32_t trailing = static_cast<uint32_t>(prefix >> (kPrefixBits - numKept));
        bool const roundBit = ((prefix >> (kPrefixBits - 1 - numKept)) & 1u) != 0;
        if (roundBit) {
            bool const exactTie = (uinteger.GetNumBits() == numRequested - sigma);
            if (!exactTie || (trailing & 1u) != 0) {
                ++trailing;
            }
        }
        return trailing;
    }

private:
    // Negating in unsigned arithmetic keeps the most negative value: it becomes 2^31.
    static uint32_t Magnitude(int32_t number) {
        return number < 0 ? 0u - static_cast<uint32_t>(number) : static_cast<uint32_t>(number);
    }

    // result's integer and exponent = |x| + |y| or |x| - |y|, aligned at the smaller exponent.
    template <bool kSubtract>
    static void CombineMagnitudes(BSNumber const& x, BSNumber const& y, BSNumber& result) {
        UInteger& sum = result.uinteger;
        int32_t const diff = x.biasedExponent - y.biasedExponent;
        int32_t const shift0 = std::max(diff, 0);
        int32_t const shift1 = std::max(-diff, 0);
        // One bit of room for the carry of a sum.
        if (std::max(x.uinteger.GetNumBits() + shift0, y.uinteger.GetNumBits() + shift1) <
            UInteger::kWideBits) {
            using Wide = typename UInteger::Wide;
            Wide const a = x.uinteger.GetWide() << shift0;
            Wide const b = y.uinteger.GetWide() << shift1;
            Wide combined = (kSubtract ? a - b : a + b);
            // Equal magnitudes take the general path, which reports them.
            if (combined != 0) {
                int32_t exponent = std::min(x.biasedExponent, y.biasedExponent);
                if (diff == 0) {
                    int32_t const zeros = UInteger::CountTrailingZeros(combined);
                    combined >>= zeros;
                    exponent += zeros;
                }
                sum.SetWide(combined);
                result.biasedExponent = exponent;
                return;
            }
        }
        if (diff == 0) {
            // Sums and differences of two odd integers are even.
            Apply<kSubtract>(sum, x.uinteger, y.uinteger);
            result.biasedExponent = x.biasedExponent + sum.ShiftRightToOdd(sum);
        } else if (diff > 0) {
            UInteger shifted;
            shifted.ShiftLeft(x.uinteger, diff);
            Apply<kSubtract>(sum, shifted, y.uinteger);
            result.biasedExponent = y.biasedExponent;
        } else {
            UInteger shifted;
            shifted.ShiftLeft(y.uinteger, -diff);
            Apply<kSubtract>(sum, x.uinteger, shifted);
            result.biasedExponent = x.biasedExponent;
        }
    }

    template <bool kSubtract>
    static void Apply(UInteger& result, UInteger const& a, UInteger const& b) {
        if (kSubtract) {
            result.Sub(a, b);
        } else {
            result.Add(a, b);
        }
    }

    static constexpr uint32_t kImplicitBit = 1u << FloatBits::kNumTrailingBits;
    static constexpr int32_t kPrefixBits = 64;

    int32_t sign;
    int32_t biasedExponent;
    UInteger uinteger;
};

}  // namespace geom
