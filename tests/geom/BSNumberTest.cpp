#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "FloatOracle.h"
#include "GmpOracle.h"
#include "geom/BSNumber.h"

using geomtest::Number;
using geomtest::RoundToFloat;
using geomtest::SameFloat;
using geomtest::ToMpq;
using geomtest::ToMpz;

namespace {

float FromEncoding(uint32_t encoding) {
    float f;
    std::memcpy(&f, &encoding, sizeof(f));
    return f;
}

// The unique-representation rules every number must keep.
void ExpectCanonical(Number const& x) {
    ASSERT_TRUE(x.IsValid());
    if (x.GetSign() != 0) {
        EXPECT_EQ(ToMpz(x.GetUInteger()) % 2, 1);
    }
}

// Floats over the whole range: every biased exponent with several trailing patterns, both signs.
std::vector<float> SampleFloats() {
    std::vector<float> values;
    for (uint32_t biased = 0; biased < 255; ++biased) {
        for (uint32_t trailing : {0u, 1u, 2u, 3u, 0x400000u, 0x7FFFFFu, 0x2AAAAAu, 0x155555u}) {
            for (uint32_t signBit : {0u, 1u}) {
                values.push_back(FromEncoding((signBit << 31) | (biased << 23) | trailing));
            }
        }
    }
    return values;
}

// Products and sums of floats make integers longer than a float's significand and exponents a
// float cannot hold, which is what ConvertTo has to round.
std::vector<Number> WideNumbers() {
    std::mt19937_64 rng(7);
    std::vector<Number> values;
    for (int i = 0; i < 400; ++i) {
        Number const a(geomtest::RandomFloat(rng, -100, 100));
        Number const b(geomtest::RandomFloat(rng, -100, 100));
        Number const c(geomtest::RandomFloat(rng, -30, 30));
        values.push_back(a * b);
        values.push_back(a * b + c);
        values.push_back(a * b * c);
        values.push_back(a * b * Number(geomtest::RandomFloat(rng, -100, 100)));
    }
    return values;
}

}  // namespace

TEST(IEEEBinary, FieldsOfTheEncoding) {
    using Bits = geom::IEEEBinary<float, unsigned int, 32, 24>;
    Bits const minusOneAndHalf(-1.5f);
    EXPECT_EQ(minusOneAndHalf.GetSign(), 1u);
    EXPECT_EQ(minusOneAndHalf.GetBiased(), 127u);
    EXPECT_EQ(minusOneAndHalf.GetTrailing(), 0x400000u);
    Bits built;
    built.SetEncoding(0u, 254u, 0x7FFFFFu);
    EXPECT_EQ(built.GetNumber(), std::numeric_limits<float>::max());
    built.SetEncoding(0u, 0u, 1u);
    EXPECT_EQ(built.GetNumber(), std::numeric_limits<float>::denorm_min());
    EXPECT_EQ(Bits::kExponentBias, 127);
    EXPECT_EQ(Bits::kMinExponent, -126);
    EXPECT_EQ(Bits::kMinSubnormalExponent, -149);
}

TEST(BSNumber, FromInt32) {
    Number const twelve(12);
    EXPECT_EQ(twelve.GetSign(), 1);
    EXPECT_EQ(twelve.GetBiasedExponent(), 2);
    EXPECT_EQ(ToMpz(twelve.GetUInteger()), 3);
    Number const lowest(std::numeric_limits<int32_t>::min());
    EXPECT_EQ(lowest.GetSign(), -1);
    EXPECT_EQ(lowest.GetBiasedExponent(), 31);
    EXPECT_EQ(ToMpz(lowest.GetUInteger()), 1);
    EXPECT_EQ(Number(0).GetSign(), 0);
    for (int32_t n : {1, -1, 7, -96, 2147483647, -2147483647}) {
        ExpectCanonical(Number(n));
        EXPECT_EQ(ToMpq(Number(n)), n);
    }
}

TEST(BSNumber, FromFloatExamples) {
    Number const threeQuarters(0.75f);
    EXPECT_EQ(threeQuarters.GetSign(), 1);
    EXPECT_EQ(threeQuarters.GetBiasedExponent(), -2);
    EXPECT_EQ(ToMpz(threeQuarters.GetUInteger()), 3);
    Number const negativeZero(-0.0f);
    EXPECT_EQ(negativeZero.GetSign(), 0);
    EXPECT_TRUE(negativeZero.IsValid());
    Number const smallest(std::numeric_limits<float>::denorm_min());
    EXPECT_EQ(smallest.GetBiasedExponent(), -149);
    EXPECT_EQ(ToMpz(smallest.GetUInteger()), 1);
    EXPECT_EQ(smallest.GetExponent(), -149);
}

TEST(BSNumber, EveryFloatClassRoundTripsExactly) {
    std::vector<float> values = SampleFloats();
    values.push_back(std::numeric_limits<float>::max());
    values.push_back(std::numeric_limits<float>::lowest());
    values.push_back(std::numeric_limits<float>::min());
    values.push_back(std::numeric_limits<float>::denorm_min());
    std::mt19937 rng(99);
    for (int i = 0; i < 200000; ++i) {
        float const f = FromEncoding(static_cast<uint32_t>(rng()));
        if (std::isfinite(f)) {
            values.push_back(f);
        }
    }
    for (float f : values) {
        Number const x(f);
        ExpectCanonical(x);
        ASSERT_EQ(ToMpq(x), ToMpq(f)) << f;
        float const back = static_cast<float>(x);
        // Negative zero comes back as +0; every other value bit for bit.
        ASSERT_TRUE(SameFloat(back, f == 0.0f ? 0.0f : f)) << f << " " << back;
    }
}

TEST(BSNumber, NaNAndInfinityFail) {
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
          std::numeric_limits<float>::signaling_NaN()}) {
        try {
            Number x(bad);
            FAIL();
        } catch (std::runtime_error const& e) {
            EXPECT_STREQ(e.what(), "BSNumber does not have a representation for NaNs.");
        }
    }
    for (float bad :
         {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
        try {
            Number x(bad);
            FAIL();
        } catch (std::runtime_error const& e) {
            EXPECT_STREQ(e.what(), "BSNumber does not have a representation for infinities.");
        }
    }
}

TEST(BSNumber, ArithmeticAndOrderAgreeWithExactRationals) {
    std::vector<Number> values;
    std::mt19937_64 rng(3);
    for (int i = 0; i < 60; ++i) {
        values.emplace_back(geomtest::RandomFloat(rng, -40, 40));
    }
    values.emplace_back(0);
    values.emplace_back(1.5f);
    values.emplace_back(-1.5f);
    values.emplace_back(3);
    values.push_back(values[0] * values[1] * values[2]);
    values.push_back(values[3] * values[4] + values[5]);
    // Integers longer than the native 128-bit words.
    Number const odd(2147483647);
    values.push_back(odd * odd * odd * odd * odd);
    values.push_back(-(odd * odd * odd * values[6]));
    values.push_back(values[7] * odd * odd * odd * odd);
    for (Number const& a : values) {
        mpq_class const qa = ToMpq(a);
        for (Number const& b : values) {
            mpq_class const qb = ToMpq(b);
            Number const sum = a + b;
            Number const difference = a - b;
            Number const product = a * b;
            ExpectCanonical(sum);
            ExpectCanonical(difference);
            ExpectCanonical(product);
            ASSERT_EQ(ToMpq(sum), qa + qb);
            ASSERT_EQ(ToMpq(difference), qa - qb);
            ASSERT_EQ(ToMpq(product), qa * qb);
            ASSERT_EQ(a < b, qa < qb);
            ASSERT_EQ(a == b, qa == qb);
        }
        ASSERT_EQ(ToMpq(-a), -qa);
        ASSERT_EQ(ToMpq(a - a), 0);
    }
}

TEST(BSNumber, OrderAcrossSignsAndZero) {
    EXPECT_TRUE(Number(-2) < Number(0));
    EXPECT_TRUE(Number(0) < Number(3));
    EXPECT_TRUE(Number(-2) < Number(3));
    EXPECT_FALSE(Number(3) < Number(-2));
    EXPECT_TRUE(Number(0.0f) == Number(-0.0f));
    EXPECT_TRUE(Number(-3) < Number(-2));
    EXPECT_TRUE(Number(5) < Number(6));  // same leading exponent, 101 < 110
}

TEST(BSNumber, MoveLeavesZero) {
    Number source(123.25f);
    Number target(std::move(source));
    EXPECT_EQ(ToMpq(target), mpq_class(493, 4));
    EXPECT_EQ(source.GetSign(), 0);
    EXPECT_EQ(source.GetBiasedExponent(), 0);
    EXPECT_EQ(source.GetUInteger().GetNumBits(), 0);
    EXPECT_TRUE(source.IsValid());
}

TEST(BSNumber, ToFloatRoundsToNearestEven) {
    for (Number const& x : WideNumbers()) {
        float const expected = RoundToFloat(ToMpq(x));
        float const actual = static_cast<float>(x);
        ASSERT_TRUE(SameFloat(actual, expected)) << ToMpq(x).get_str() << " " << actual;
    }
}

TEST(BSNumber, ToFloatAtTheEdgesOfTheRange) {
    Number const one(1);
    Number const half = Number(0.5f);
    Number const smallest(std::numeric_limits<float>::denorm_min());
    // Exactly half the smallest subnormal ties to zero; anything above goes to the smallest.
    EXPECT_TRUE(SameFloat(static_cast<float>(smallest * half), 0.0f));
    EXPECT_TRUE(SameFloat(static_cast<float>(-(smallest * half)), -0.0f));
    Number const aboveHalf = smallest * Number(0.75f);
    EXPECT_EQ(static_cast<float>(aboveHalf), std::numeric_limits<float>::denorm_min());
    EXPECT_TRUE(SameFloat(static_cast<float>(smallest * Number(0.25f)), 0.0f));
    // 1.5 smallest subnormals ties to 2 (even).
    EXPECT_EQ(static_cast<float>(smallest * Number(1.5f)),
              2 * std::numeric_limits<float>::denorm_min());
    // The largest subnormal plus just over half a unit rounds into the normal range.
    Number const largestSubnormal(FromEncoding(0x007FFFFFu));
    Number const carried = largestSubnormal + smallest * Number(0.75f);
    EXPECT_EQ(static_cast<float>(carried), std::numeric_limits<float>::min());
    // The largest finite value plus half a unit overflows; just under half does not.
    Number const largest(std::numeric_limits<float>::max());
    Number const unit(std::ldexp(1.0f, 104));
    EXPECT_EQ(static_cast<float>(largest + unit * half), std::numeric_limits<float>::infinity());
    EXPECT_EQ(static_cast<float>(largest + unit * Number(0.25f)),
              std::numeric_limits<float>::max());
    EXPECT_EQ(static_cast<float>(-(largest * Number(4))), -std::numeric_limits<float>::infinity());
    // Ties between normals go to the even neighbour.
    Number const ulp(std::ldexp(1.0f, -23));
    EXPECT_EQ(static_cast<float>(one + ulp * half), 1.0f);
    EXPECT_EQ(static_cast<float>(one + ulp + ulp * half), 1.0f + 2 * std::ldexp(1.0f, -23));
}
