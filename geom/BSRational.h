#pragma once

#include <cfenv>
#include <cstdint>
#include <utility>

#include "geom/BSNumber.h"
#include "geom/Convert.h"
#include "geom/Logger.h"

namespace geom {

/// Exact quotient of two binary scientific numbers.
///
/// The denominator is kept positive and in [1, 2): its power of two lives in the numerator,
/// and so does the sign. Common odd factors are never cancelled. Zero is 0/1.
template <typename UInteger>
class BSRational {
public:
    using Number = BSNumber<UInteger>;

    /// 0/1.
    BSRational() : denominator(1) {}

    /// number/1.
    BSRational(int32_t number) : numerator(number), denominator(1) {}

    /// number/1, exactly; NaN and infinities fail.
    BSRational(float number) : numerator(number), denominator(1) {}

    /// n/d brought to the normal form; d = 0 fails.
    BSRational(Number n, Number d) : numerator(std::move(n)), denominator(std::move(d)) {
        GEOM_REPORT_ASSERTION(denominator.GetSign() != 0, "Division by zero.");
        Normalize();
    }

    /// Deep copy.
    BSRational(BSRational const& other) = default;

    /// Takes over the numbers; the source is left as 0/1, still a valid value.
    BSRational(BSRational&& other) noexcept
        : numerator(std::move(other.numerator)), denominator(std::move(other.denominator)) {
        other.denominator = Number(1);
    }

    /// Deep copy.
    BSRational& operator=(BSRational const& other) = default;

    /// Takes over the numbers; the source is left as 0/1, still a valid value.
    BSRational& operator=(BSRational&& other) noexcept {
        if (this != &other) {
            numerator = std::move(other.numerator);
            denominator = std::move(other.denominator);
            other.denominator = Number(1);
        }
        return *this;
    }

    /// The numerator, carrying the sign.
    Number const& GetNumerator() const { return numerator; }
    /// The numerator, carrying the sign.
    Number& GetNumerator() { return numerator; }
    /// The denominator, in [1, 2).
    Number const& GetDenominator() const { return denominator; }
    /// The denominator, in [1, 2).
    Number& GetDenominator() { return denominator; }

    /// -1, 0 or +1.
    int32_t GetSign() const { return numerator.GetSign() * denominator.GetSign(); }

    /// Nearest float, ties to even.
    explicit operator float() const {
        float result;
        Convert(*this, FE_TONEAREST, result);
        return result;
    }

    /// The value with its sign reversed.
    BSRational operator-() const { return BSRational(-numerator, denominator); }

    /// Exact sum.
    friend BSRational operator+(BSRational const& a, BSRational const& b) {
        if (IsOne(a.denominator) && IsOne(b.denominator)) {
            return BSRational(OverOne(), [&] { return a.numerator + b.numerator; });
        }
        return BSRational(
            FromParts(), [&] { return a.numerator * b.denominator + a.denominator * b.numerator; },
            [&] { return a.denominator * b.denominator; });
    }

    /// Exact difference.
    friend BSRational operator-(BSRational const& a, BSRational const& b) {
        if (IsOne(a.denominator) && IsOne(b.denominator)) {
            return BSRational(OverOne(), [&] { return a.numerator - b.numerator; });
        }
        return BSRational(
            FromParts(), [&] { return a.numerator * b.denominator - a.denominator * b.numerator; },
            [&] { return a.denominator * b.denominator; });
    }

    /// Exact product.
    friend BSRational operator*(BSRational const& a, BSRational const& b) {
        if (IsOne(a.denominator) && IsOne(b.denominator)) {
            return BSRational(OverOne(), [&] { return a.numerator * b.numerator; });
        }
        return BSRational(
            FromParts(), [&] { return a.numerator * b.numerator; },
            [&] { return a.denominator * b.denominator; });
    }

    /// Exact quotient; b = 0 fails.
    friend BSRational operator/(BSRational const& a, BSRational const& b) {
        GEOM_REPORT_ASSERTION(b.numerator.GetSign() != 0,
                              "Division by zero in BSRational::operator/.");
        // A negative denominator has its sign moved into the numerator by the normal form.
        return BSRational(
            FromParts(), [&] { return a.numerator * b.denominator; },
            [&] { return a.denominator * b.numerator; });
    }

    /// Adds b.
    BSRational& operator+=(BSRational const& b) { return *this = *this + b; }
    /// Subtracts b.
    BSRational& operator-=(BSRational const& b) { return *this = *this - b; }
    /// Multiplies by b.
    BSRational& operator*=(BSRational const& b) { return *this = *this * b; }
    /// Divides by b; b = 0 fails.
    BSRational& operator/=(BSRational const& b) { return *this = *this / b; }

    /// Numeric order.
    friend bool operator<(BSRational const& a, BSRational const& b) {
        int32_t const sign0 = a.numerator.GetSign();
        int32_t const sign1 = b.numerator.GetSign();
        if (sign0 > 0) {
            if (sign1 <= 0) {
                return false;
            }
        } else if (sign0 == 0) {
            return sign1 > 0;
        } else if (sign1 >= 0) {
            return true;
        }
        if (IsOne(a.denominator) && IsOne(b.denominator)) {
            return a.numerator < b.numerator;
        }
        return a.numerator * b.denominator < a.denominator * b.numerator;
    }

    /// Numeric equality.
    friend bool operator==(BSRational const& a, BSRational const& b) {
        int32_t const sign0 = a.numerator.GetSign();
        if (sign0 != b.numerator.GetSign()) {
            return false;
        }
        if (sign0 == 0) {
            return true;
        }
        if (IsOne(a.denominator) && IsOne(b.denominator)) {
            return a.numerator == b.numerator;
        }
        return a.numerator * b.denominator == a.denominator * b.numerator;
    }

    /// Numeric order.
    friend bool operator>(BSRational const& a, BSRational const& b) { return b < a; }
    /// Numeric order.
    friend bool operator<=(BSRational const& a, BSRational const& b) { return !(b < a); }
    /// Numeric order.
    friend bool operator>=(BSRational const& a, BSRational const& b) { return !(a < b); }
    /// Numeric inequality.
    friend bool operator!=(BSRational const& a, BSRational const& b) { return !(a == b); }

private:
    // Denominators are odd integers in [1, 2), so the only one with a single bit is 1.
    static bool IsOne(Number const& d) { return d.GetUInteger().GetNumBits() == 1; }

    struct OverOne {};
    struct FromParts {};

    // The results of arithmetic are built in place, straight from the expressions that compute
    // their parts: moving a freshly written number costs more than the short sums themselves.

    // makeNumerator()/1, for operands over 1 whose result needs no normal form.
    template <typename MakeNumerator>
    BSRational(OverOne, MakeNumerator&& makeNumerator)
        : numerator(makeNumerator()), denominator(1) {}

    // makeNumerator()/makeDenominator() in normal form; the denominator, never zero here, is
    // only computed for a nonzero numerator since zero is always 0/1.
    template <typename MakeNumerator, typename MakeDenominator>
    BSRational(FromParts, MakeNumerator&& makeNumerator, MakeDenominator&& makeDenominator)
        : numerator(makeNumerator()),
          denominator(numerator.GetSign() != 0 ? makeDenominator() : Number(1)) {
        Normalize();
    }

    // Moves the denominator's sign and power of two into the numerator.
    void Normalize() {
        if (numerator.GetSign() == 0) {
            // A zero numerator would not survive the exponent shift below; zero is 0/1.
            denominator = Number(1);
            return;
        }
        if (denominator.GetSign() < 0) {
            numerator.SetSign(-numerator.GetSign());
            denominator.SetSign(1);
        }
        int32_t const exponent = denominator.GetExponent();
        numerator.SetBiasedExponent(numerator.GetBiasedExponent() - exponent);
        denominator.SetExponent(0);
    }

    Number numerator;
    Number denominator;
};

}  // namespace geom

namespace std {

/// |r|.
template <typename UInteger>
geom::BSRational<UInteger> fabs(geom::BSRational<UInteger> const& r) {
    return r.GetSign() < 0 ? -r : r;
}

}  // namespace std
