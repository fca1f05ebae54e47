#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "GmpOracle.h"
#include "geom/BitHacks.h"
#include "geom/UIntegerAP32.h"

using geom::BitHacks;
using geomtest::FromMpz;
using geomtest::Integer;
using geomtest::ToMpz;

namespace {

size_t BitLength(mpz_class const& z) { return z == 0 ? 0 : mpz_sizeinbase(z.get_mpz_t(), 2); }

// Holds the representation rules: the bit count matches the value, the block count matches the
// bit count, and nothing is set above the leading bit.
void ExpectWellFormed(Integer const& x, mpz_class const& expected) {
    ASSERT_EQ(static_cast<size_t>(x.GetNumBits()), BitLength(expected));
    int32_t const blocks = x.GetNumBits() > 0 ? (x.GetNumBits() - 1) / 32 + 1 : 0;
    ASSERT_EQ(x.GetSize(), blocks);
    ASSERT_EQ(ToMpz(x), expected);
}

// Operands the block arithmetic finds hard: all-ones blocks (carries through everything), single
// high bits, block-boundary lengths, and random blocks of 1 to 100 blocks.
std::vector<mpz_class> Operands() {
    std::vector<mpz_class> values;
    for (int bits : {1, 2, 31, 32, 33, 63, 64, 65, 96, 97, 3200}) {
        mpz_class ones = (mpz_class(1) << bits) - 1;
        values.push_back(ones);
        values.push_back(mpz_class(1) << (bits - 1));
        values.push_back((mpz_class(1) << (bits - 1)) + 1);
    }
    std::mt19937_64 rng(20261208);
    gmp_randclass gmpRng(gmp_randinit_default);
    gmpRng.seed(12345);
    for (int blocks : {1, 2, 3, 5, 16, 17, 40, 100}) {
        for (int i = 0; i < 3; ++i) {
            values.push_back(gmpRng.get_z_bits(32 * blocks) | 1);
            // Runs of ones and zeros make long carry and borrow chains.
            mpz_class mixed = (mpz_class(1) << (32 * blocks - 1)) - (mpz_class(1) << (rng() % 32));
            values.push_back(mixed);
        }
    }
    return values;
}

// The aligned comparison, stated independently: pad both bit strings with zeros to the same
// length, compare, and let the shorter win a tie.
bool AlignedLess(mpz_class const& a, mpz_class const& b) {
    size_t const lengthA = BitLength(a);
    size_t const lengthB = BitLength(b);
    size_t const length = std::max(lengthA, lengthB);
    mpz_class const paddedA = a << static_cast<mp_bitcnt_t>(length - lengthA);
    mpz_class const paddedB = b << static_cast<mp_bitcnt_t>(length - lengthB);
    if (paddedA != paddedB) {
        return paddedA < paddedB;
    }
    return lengthA < lengthB;
}

}  // namespace

TEST(BitHacks, LeadingAndTrailingBitOfEveryPowerAndNeighbours) {
    EXPECT_EQ(BitHacks::GetLeadingBit(0u), 0);
    for (int i = 0; i < 32; ++i) {
        uint32_t const power = 1u << i;
        EXPECT_EQ(BitHacks::GetLeadingBit(power), i);
        EXPECT_EQ(BitHacks::GetLeadingBit(power | (power - 1)), i);
        EXPECT_EQ(BitHacks::GetTrailingBit(power), i);
        EXPECT_EQ(BitHacks::GetTrailingBit(power | ~(power | (power - 1))), i);
        EXPECT_EQ(BitHacks::GetTrailingBit(static_cast<int32_t>(power)), i);
    }
    EXPECT_THROW(BitHacks::GetTrailingBit(0u), std::runtime_error);
}

TEST(UIntegerAP32, ConstructionKeepsTheOddPart) {
    Integer const twelve(12u);
    EXPECT_EQ(twelve.GetNumBits(), 2);
    ASSERT_EQ(twelve.GetSize(), 1);
    EXPECT_EQ(twelve.GetBits()[0], 3u);
    Integer const zero(0u);
    EXPECT_EQ(zero.GetNumBits(), 0);
    EXPECT_EQ(zero.GetSize(), 0);
    Integer const top(0x80000000u);
    EXPECT_EQ(top.GetNumBits(), 1);
    EXPECT_EQ(top.GetBits()[0], 1u);
}

TEST(UIntegerAP32, CopyIsDeepAndMoveEmptiesTheSource) {
    for (int bits : {20, 2000}) {  // inline and heap storage
        mpz_class const value = (mpz_class(1) << bits) - 3;
        Integer source = FromMpz(value);
        Integer copy(source);
        copy.GetBits()[0] = 0;
        EXPECT_EQ(ToMpz(source), value);
        Integer moved(std::move(source));
        EXPECT_EQ(ToMpz(moved), value);
        EXPECT_EQ(source.GetNumBits(), 0);
        EXPECT_EQ(source.GetSize(), 0);
        Integer assigned;
        assigned = std::move(moved);
        EXPECT_EQ(ToMpz(assigned), value);
        EXPECT_EQ(moved.GetNumBits(), 0);
        EXPECT_EQ(moved.GetSize(), 0);
        assigned = copy;
        EXPECT_EQ(ToMpz(assigned), ToMpz(copy));
    }
}

TEST(UIntegerAP32, SetNumBitsKeepsBlocksAndZeroFillsNewOnes) {
    Integer x(5u);
    x.SetNumBits(70);
    ASSERT_EQ(x.GetSize(), 3);
    EXPECT_EQ(x.GetBits()[0], 5u);
    EXPECT_EQ(x.GetBits()[1], 0u);
    EXPECT_EQ(x.GetBits()[2], 0u);
    x.SetBack(7u);
    EXPECT_EQ(x.GetBack(), 7u);
    x.SetAllBitsToZero();
    EXPECT_EQ(x.GetNumBits(), 70);
    EXPECT_EQ(ToMpz(x), 0);
    x.SetNumBits(0);
    EXPECT_EQ(x.GetSize(), 0);
    EXPECT_THROW(x.SetNumBits(-1), std::runtime_error);
    EXPECT_EQ(Integer::GetMaxSize(), 2147483647);
}

TEST(UIntegerAP32, BlockBoundaryExamples) {
    Integer sum;
    sum.Add(Integer(0xFFFFFFFFu), Integer(1u));
    ExpectWellFormed(sum, mpz_class(1) << 32);
    EXPECT_EQ(sum.GetBits()[0], 0u);
    EXPECT_EQ(sum.GetBits()[1], 1u);

    Integer difference;
    difference.Sub(FromMpz(mpz_class(1) << 32), Integer(1u));
    EXPECT_EQ(difference.GetNumBits(), 32);
    ASSERT_EQ(difference.GetSize(), 1);
    EXPECT_EQ(difference.GetBits()[0], 0xFFFFFFFFu);

    Integer square;
    square.Mul(Integer(0xFFFFFFFFu), Integer(0xFFFFFFFFu));
    EXPECT_EQ(square.GetNumBits(), 64);
    EXPECT_EQ(square.GetBits()[0], 0x00000001u);
    EXPECT_EQ(square.GetBits()[1], 0xFFFFFFFEu);

    Integer odd;
    EXPECT_EQ(odd.ShiftRightToOdd(FromMpz(40)), 3);
    ExpectWellFormed(odd, 5);

    EXPECT_TRUE(Integer(5u) < Integer(3u));  // 0.101 < 0.11
    EXPECT_FALSE(Integer(3u) < Integer(5u));
}

TEST(UIntegerAP32, SubtractingEqualValuesGivesZeroWithoutThrowing) {
    Integer const value = FromMpz((mpz_class(1) << 100) + 7);
    Integer difference(9u);
    EXPECT_NO_THROW(difference.Sub(value, value));
    EXPECT_EQ(difference.GetNumBits(), 0);
    EXPECT_EQ(difference.GetSize(), 0);
}

TEST(UIntegerAP32, AddSubMulAgreeWithGmp) {
    std::vector<mpz_class> const values = Operands();
    for (mpz_class const& a : values) {
        for (mpz_class const& b : values) {
            Integer const x = FromMpz(a);
            Integer const y = FromMpz(b);
            Integer sum;
            sum.Add(x, y);
            ExpectWellFormed(sum, a + b);
            Integer product;
            product.Mul(x, y);
            ExpectWellFormed(product, a * b);
            if (a > b) {
                Integer difference;
                difference.Sub(x, y);
                ExpectWellFormed(difference, a - b);
            }
        }
    }
}

TEST(UIntegerAP32, ResultMayBeAnOperand) {
    mpz_class const a = (mpz_class(1) << 600) - 1;
    mpz_class const b = (mpz_class(1) << 300) + 12345;
    Integer x = FromMpz(a);
    x.Add(x, FromMpz(b));
    ExpectWellFormed(x, a + b);
    x.Sub(x, FromMpz(b));
    ExpectWellFormed(x, a);
    x.Mul(x, x);
    ExpectWellFormed(x, a * a);
    Integer y = FromMpz(b);
    y.ShiftLeft(y, 77);
    ExpectWellFormed(y, b << 77);
    EXPECT_EQ(y.ShiftRightToOdd(y), 77);
    ExpectWellFormed(y, b);
}

TEST(UIntegerAP32, ShiftsAgreeWithGmp) {
    for (mpz_class const& a : Operands()) {
        for (int shift : {0, 1, 5, 31, 32, 33, 63, 64, 65, 100, 1000}) {
            Integer shifted;
            shifted.ShiftLeft(FromMpz(a), shift);
            ExpectWellFormed(shifted, a << shift);
            if (a % 2 == 1) {
                Integer odd;
                EXPECT_EQ(odd.ShiftRightToOdd(shifted), shift);
                ExpectWellFormed(odd, a);
            }
        }
    }
    Integer blocks = FromMpz(mpz_class("0x123456789abcdef0fedcba9", 0));
    Integer moved;
    moved.ShiftLeft(blocks, 32);
    EXPECT_EQ(moved.GetBits()[0], 0u);
    EXPECT_EQ(moved.GetBits()[1], blocks.GetBits()[0]);
    EXPECT_EQ(moved.GetBits()[3], blocks.GetBits()[2]);
}

TEST(UIntegerAP32, RoundUpAddsOneAndReturnsTheShift) {
    for (mpz_class const& a : Operands()) {
        if (a % 2 == 0) {
            continue;
        }
        Integer x = FromMpz(a);
        mpz_class sum = a + 1;
        int32_t shift = 0;
        while (sum % 2 == 0) {
            sum >>= 1;
            ++shift;
        }
        EXPECT_EQ(x.RoundUp(), shift);
        ExpectWellFormed(x, sum);
    }
}

TEST(UIntegerAP32, PrefixHoldsTheLeadingBitsLeftAligned) {
    for (mpz_class const& a : Operands()) {
        Integer const x = FromMpz(a);
        for (int requested : {1, 24, 25, 33, 64}) {
            uint64_t const prefix = x.GetPrefix(requested);
            size_t const length = BitLength(a);
            size_t const checked = std::min<size_t>(length, static_cast<size_t>(requested));
            mpz_class const expected = a >> static_cast<mp_bitcnt_t>(length - checked);
            EXPECT_EQ(prefix >> 63, 1u);
            EXPECT_EQ(mpz_class(static_cast<unsigned long>(prefix >> (64 - checked))), expected);
        }
    }
}

TEST(UIntegerAP32, ComparisonsAgreeWithTheAlignedOracle) {
    std::vector<mpz_class> values = Operands();
    values.push_back(0);
    values.push_back(1);
    values.push_back(2);  // "1" is a proper beginning of "10"
    for (mpz_class const& a : values) {
        for (mpz_class const& b : values) {
            Integer const x = FromMpz(a);
            Integer const y = FromMpz(b);
            EXPECT_EQ(x == y, a == b);
            EXPECT_EQ(x < y, AlignedLess(a, b)) << a.get_str(16) << " " << b.get_str(16);
        }
    }
}
