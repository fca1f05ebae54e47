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

    BSRational(BSRational const& other) = default;
    BSRational(BSRational&& other) noexcept = default;
    BSRational& operator=(BSRational const& other) = default;
    BSRational& operator=(BSRational&& other) noexcept = default;

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
            return FromIntegral(a.numerator + b.numerator);
        }
        Number n = a.numerator * b.denominator + a.denominator * b.numerator;
        if (n.GetSign() == 0) {
            return BSRational();
        }
        return BSRational(std::move(n), a.denominator * b.denominator);
    }

    /// Exact difference.
    friend BSRational operator-(BSRational const& a, BSRational const& b) {
        if (IsOne(a.denominator) && IsOne(b.denominator)) {
            return FromIntegral(a.numerator - b.numerator);
        }
        Number n = a.numerator * b.denominator - a.denominator * b.numerator;
        if (n.GetSign() == 0) {
            return BSRational();
        }
        return BSRational(std::move(n), a.denominator * b.denominator);
    }

    /// Exact product.
    friend BSRational operator*(BSRational const& a, BSRational const& b) {
        Number n = a.numerator * b.numerator;
        if (n.GetSign() == 0) {
            return BSRational();
        }
        if (IsOne(a.denominator) && IsOne(b.denominator)) {
            return FromIntegral(std::move(n));
        }
        return BSRational(std::move(n), a.denominator * b.denominator);
    }

    /// Exact quotient; b = 0 fails.
    friend BSRational operator/(BSRational const& a, BSRational const& b) {
        GEOM_REPORT_ASSERTION(b.numerator.GetSign() != 0,
                              "Division by zero in BSRational::operator/.");
        Number n = a.numerator * b.denominator;
        if (n.GetSign() == 0) {
            return BSRational();
        }
        Number d = a.denominator * b.numerator;
        if (d.GetSign() < 0) {
            n.SetSign(-n.GetSign());
            d.SetSign(1);
        }
        return BSRational(std::move(n), std::move(d));
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

    // n/1: a numerator from a product or sum of numbers over 1 needs no normalizing.
    BSRational(Number&& n, OverOne) : numerator(std::move(n)), denominator(1) {}

    static BSRational FromIntegral(Number&& n) { return BSRational(std::move(n), OverOne()); }

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
