#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "FloatOracle.h"
#include "GmpOracle.h"
#include "geom/BSRational.h"

using geomtest::Number;
using geomtest::Rational;
using geomtest::ToMpq;
using geomtest::ToMpz;

namespace {

// Positive denominator in [1, 2), sign in the numerator, zero as 0/1.
void ExpectNormalForm(Rational const& r) {
    Number const& d = r.GetDenominator();
    ASSERT_EQ(d.GetSign(), 1);
    ASSERT_EQ(d.GetExponent(), 0);
    ASSERT_TRUE(d.IsValid());
    ASSERT_TRUE(r.GetNumerator().IsValid());
    if (r.GetNumerator().GetSign() == 0) {
        ASSERT_EQ(ToMpq(d), 1);
    }
}

std::vector<Rational> SampleRationals() {
    std::mt19937_64 rng(11);
    std::vector<Rational> values = {Rational(0), Rational(1),      Rational(-1),
                                    Rational(3), Rational(0.375f), Rational(-7.5f)};
    for (int i = 0; i < 12; ++i) {
        Rational const a(geomtest::RandomFloat(rng, -20, 20));
        Rational const b(geomtest::RandomFloat(rng, -20, 20));
        Rational const c(geomtest::RandomFloat(rng, -20, 20));
        values.push_back(a);
        values.push_back(a / b);
        values.push_back(a / b + c);
        values.push_back((a - c) / (b * c));
    }
    return values;
}

}  // namespace

TEST(BSRational, Constructions) {
    ExpectNormalForm(Rational());
    EXPECT_EQ(ToMpq(Rational()), 0);
    EXPECT_EQ(ToMpq(Rational(-17)), -17);
    EXPECT_EQ(ToMpq(Rational(0.1f)), ToMpq(0.1f));
    Rational const threeEighths(Number(3), Number(8));
    ExpectNormalForm(threeEighths);
    EXPECT_EQ(ToMpz(threeEighths.GetNumerator().GetUInteger()), 3);
    EXPECT_EQ(threeEighths.GetNumerator().GetBiasedExponent(), -3);
    EXPECT_EQ(ToMpq(threeEighths.GetDenominator()), 1);
    Rational const negative(Number(5), Number(-12));
    ExpectNormalForm(negative);
    EXPECT_EQ(ToMpq(negative), mpq_class(-5, 12));
    Rational const zeroOverSix(Number(0), Number(6));
    ExpectNormalForm(zeroOverSix);
    EXPECT_EQ(zeroOverSix.GetSign(), 0);
    Rational source(Number(7), Number(3));
    Rational moved(std::move(source));
    EXPECT_EQ(ToMpq(moved), mpq_class(7, 3));
    // The source stays usable as zero.
    ExpectNormalForm(source);
    EXPECT_EQ(ToMpq(source + moved), mpq_class(7, 3));
    Rational assigned;
    assigned = std::move(moved);
    ExpectNormalForm(moved);
    EXPECT_EQ(moved.GetSign(), 0);
    EXPECT_EQ(ToMpq(assigned), mpq_class(7, 3));
}

TEST(BSRational, ThirdsAddUpToOne) {
    Rational const third = Rational(1) / Rational(3);
    EXPECT_TRUE(third + third + third == Rational(1));
    EXPECT_EQ(static_cast<float>(third), 1.0f / 3.0f);
    EXPECT_EQ(static_cast<float>(Rational(2) / Rational(3)), 2.0f / 3.0f);
}

TEST(BSRational, ArithmeticAndOrderAgreeWithExactRationals) {
    std::vector<Rational> const values = SampleRationals();
    for (Rational const& a : values) {
        mpq_class const qa = ToMpq(a);
        for (Rational const& b : values) {
            mpq_class const qb = ToMpq(b);
            Rational const sum = a + b;
            Rational const difference = a - b;
            Rational const product = a * b;
            ExpectNormalForm(sum);
            ExpectNormalForm(difference);
            ExpectNormalForm(product);
            ASSERT_EQ(ToMpq(sum), qa + qb);
            ASSERT_EQ(ToMpq(difference), qa - qb);
            ASSERT_EQ(ToMpq(product), qa * qb);
            if (qb != 0) {
                Rational const quotient = a / b;
                ExpectNormalForm(quotient);
                ASSERT_EQ(ToMpq(quotient), qa / qb);
            }
            ASSERT_EQ(a < b, qa < qb);
            ASSERT_EQ(a > b, qa > qb);
            ASSERT_EQ(a <= b, qa <= qb);
            ASSERT_EQ(a >= b, qa >= qb);
            ASSERT_EQ(a == b, qa == qb);
            ASSERT_EQ(a != b, qa != qb);
            ASSERT_EQ(ToMpq(std::max(a, b)), mpq_class(qa < qb ? qb : qa));
        }
        ASSERT_EQ(ToMpq(-a), -qa);
        ASSERT_EQ(ToMpq(std::fabs(a)), abs(qa));
        ASSERT_EQ(a.GetSign(), sgn(qa));
        ASSERT_EQ(static_cast<float>(a), geomtest::RoundToFloat(qa));
    }
}

TEST(BSRational, CompoundAssignmentMatchesTheOperators) {
    Rational x(2.5f);
    x += Rational(0.25f);
    EXPECT_EQ(ToMpq(x), mpq_class(11, 4));
    x -= Rational(3);
    EXPECT_EQ(ToMpq(x), mpq_class(-1, 4));
    x *= Rational(-6);
    EXPECT_EQ(ToMpq(x), mpq_class(3, 2));
    x /= Rational(7);
    EXPECT_EQ(ToMpq(x), mpq_class(3, 14));
    x -= x;
    ExpectNormalForm(x);
    EXPECT_EQ(x.GetSign(), 0);
}

TEST(BSRational, DivisionByZeroFails) {
    try {
        Rational(Number(1), Number(0));
        FAIL();
    } catch (std::runtime_error const& e) {
        EXPECT_STREQ(e.what(), "Division by zero.");
    }
    try {
        Rational const q = Rational(1) / Rational(0);
        FAIL();
    } catch (std::runtime_error const& e) {
        EXPECT_STREQ(e.what(), "Division by zero in BSRational::operator/.");
    }
}
