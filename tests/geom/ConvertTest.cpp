#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "FloatOracle.h"
#include "GmpOracle.h"
#include "geom/BSRational.h"
#include "geom/Convert.h"

using geomtest::Number;
using geomtest::PowerOfTwo;
using geomtest::Rational;
using geomtest::RoundToFloat;
using geomtest::RoundToPrecision;
using geomtest::SameFloat;
using geomtest::ToMpq;

namespace {

constexpr int kModes[] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
constexpr int32_t kPrecisions[] = {1, 2, 3, 8, 24, 31, 32, 33, 53, 64, 100};

// num / den * 2^exponent, with numerator and denominator built directly from GMP values.
Rational MakeRational(mpz_class const& num, mpz_class const& den, int32_t exponent) {
    return Rational(geomtest::ToNumber(num, exponent), geomtest::ToNumber(den));
}

void ExpectConvertsLikeTheOracle(Rational const& r) {
    mpq_class const exact = ToMpq(r);
    for (int mode : kModes) {
        for (int32_t precision : kPrecisions) {
            Number out;
            geom::Convert(r, precision, mode, out);
            ASSERT_TRUE(out.IsValid());
            ASSERT_EQ(ToMpq(out), RoundToPrecision(exact, precision, mode))
                << exact.get_str() << " mode " << mode << " precision " << precision;
        }
        // The float form rounds to 24 bits in the mode, then to nearest into the float range.
        float result = 0.0f;
        geom::Convert(r, mode, result);
        float const expected = RoundToFloat(RoundToPrecision(exact, 24, mode));
        ASSERT_TRUE(SameFloat(result, expected))
            << exact.get_str() << " mode " << mode << " " << result << " " << expected;
    }
}

}  // namespace

TEST(Convert, RandomQuotientsAgreeWithTheOracle) {
    std::mt19937_64 rng(5);
    gmp_randclass gmpRng(gmp_randinit_default);
    gmpRng.seed(77);
    for (int i = 0; i < 150; ++i) {
        mpz_class num = gmpRng.get_z_bits(1 + rng() % 150) + 1;
        mpz_class den = gmpRng.get_z_bits(1 + rng() % 150) + 1;
        if (rng() % 2 != 0) {
            num = -num;
        }
        ExpectConvertsLikeTheOracle(MakeRational(num, den, static_cast<int32_t>(rng() % 40) - 20));
    }
}

TEST(Convert, ExactTiesAndPowersOfTwo) {
    // (2m + 1) / 2 units of the last place: exact ties at every precision m is built for.
    for (int32_t precision : {1, 2, 5, 24, 40}) {
        for (int m : {1, 2, 3, 6, 7}) {
            mpz_class const units = (mpz_class(1) << (precision - 1)) + m;
            // A long odd factor on both sides keeps the tie but forces the long division
            // onto integers wider than any native word.
            mpz_class const longFactor = (mpz_class(1) << 200) + 12345;
            for (int sign : {1, -1}) {
                mpz_class const num = sign * (2 * units + 1);
                ExpectConvertsLikeTheOracle(MakeRational(num, 1, -precision));
                ExpectConvertsLikeTheOracle(MakeRational(num * longFactor, longFactor, -precision));
            }
        }
        // Largest significand plus a half: rounding up carries into the next power of two.
        mpz_class const allOnes = (mpz_class(1) << precision) - 1;
        ExpectConvertsLikeTheOracle(MakeRational(2 * allOnes + 1, 1, -1));
    }
    // Just below and just above powers of two, and exactly on them.
    for (int32_t k : {-3, 0, 1, 30}) {
        for (int offset : {-1, 0, 1}) {
            mpz_class const big = mpz_class(1) << 80;
            ExpectConvertsLikeTheOracle(MakeRational(big + offset, big, k));
            ExpectConvertsLikeTheOracle(MakeRational(3 * big + offset, 3 * big, k));
        }
    }
    ExpectConvertsLikeTheOracle(Rational(0));
}

TEST(Convert, ToNearestEvenExamples) {
    Number out;
    geom::Convert(Rational(5) / Rational(4), 2, FE_TONEAREST, out);  // 1.01b ties to 1.0b
    EXPECT_EQ(ToMpq(out), 1);
    geom::Convert(Rational(7) / Rational(4), 2, FE_TONEAREST, out);  // 1.11b ties to 10.0b
    EXPECT_EQ(ToMpq(out), 2);
    geom::Convert(Rational(-7) / Rational(4), 2, FE_DOWNWARD, out);
    EXPECT_EQ(ToMpq(out), -2);
    geom::Convert(Rational(-7) / Rational(4), 2, FE_UPWARD, out);
    EXPECT_EQ(ToMpq(out), mpq_class(-3, 2));
    geom::Convert(Rational(-7) / Rational(4), 2, FE_TOWARDZERO, out);
    EXPECT_EQ(ToMpq(out), mpq_class(-3, 2));
    geom::Convert(Rational(1) / Rational(3), 24, FE_TONEAREST, out);
    EXPECT_EQ(static_cast<float>(out), 1.0f / 3.0f);
}

TEST(Convert, SubnormalAndOverflowingFloatResults) {
    float const smallest = std::numeric_limits<float>::denorm_min();
    float const largest = std::numeric_limits<float>::max();
    std::vector<Rational> const values = {
        Rational(smallest) / Rational(3),  // a third of the smallest: to zero
        Rational(smallest) * Rational(2) / Rational(3),
        Rational(smallest) * Rational(5) / Rational(2),  // tie between 2 and 3 units
        Rational(std::numeric_limits<float>::min()) / Rational(3),
        Rational(std::numeric_limits<float>::min()) * Rational(7) / Rational(9),
        Rational(largest) * Rational(3) / Rational(2),
        Rational(-largest) * Rational(3) / Rational(2),
        Rational(largest) / Rational(3) * Rational(3),
    };
    for (Rational const& r : values) {
        ExpectConvertsLikeTheOracle(r);
        ExpectConvertsLikeTheOracle(-r);
        EXPECT_TRUE(SameFloat(static_cast<float>(r),
                              RoundToFloat(RoundToPrecision(ToMpq(r), 24, FE_TONEAREST))));
    }
    EXPECT_EQ(static_cast<float>(Rational(largest) * Rational(2)),
              std::numeric_limits<float>::infinity());
}

TEST(Convert, InvalidArgumentsFail) {
    Number out;
    try {
        geom::Convert(Rational(1), 0, FE_TONEAREST, out);
        FAIL();
    } catch (std::runtime_error const& e) {
        EXPECT_STREQ(e.what(), "Precision must be positive.");
    }
    try {
        geom::Convert(Rational(1), 24, 0x1234, out);
        FAIL();
    } catch (std::runtime_error const& e) {
        EXPECT_STREQ(e.what(), "Implementation-dependent rounding mode not supported.");
    }
}
