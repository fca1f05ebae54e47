#pragma once

#include <algorithm>
#include <cstdint>

#include "geom/BitHacks.h"
#include "geom/Logger.h"

namespace geom {

/// Arithmetic on unsigned integers stored in 32-bit blocks, least significant first.
///
/// `UInteger` derives from this class and supplies GetNumBits, SetNumBits, SetNumBitsForOverwrite,
/// GetSize, GetBits, GetBack, SetBack and SetAllBitsToZero; every operation writes its result into
/// the object it is called on. The result may be one of the operands.
template <typename UInteger>
class UIntegerALU32 {
public:
    /// Native word for integers of up to kWideBits bits, the common short case.
    __extension__ typedef unsigned __int128 Wide;
    static constexpr int32_t kWideBits = 128;

    /// The value as a native word; requires at most kWideBits bits.
    Wide GetWide() const {
        UInteger const& self = Self();
        uint32_t const* bits = self.GetBits().data();
        Wide value = 0;
        for (int32_t i = self.GetSize() - 1; i >= 0; --i) {
            value = (value << kBlockBits) | bits[i];
        }
        return value;
    }

    /// This = value, with the bit length of value.
    void SetWide(Wide value) {
        UInteger& self = Self();
        if (value == 0) {
            self.SetNumBits(0);
            return;
        }
        uint64_t const high = static_cast<uint64_t>(value >> kWordBits);
        uint64_t const low = static_cast<uint64_t>(value);
        // A native word has its own leading-zero count; the table lookup is for 32-bit blocks.
        int32_t const numBits =
            (high != 0 ? 2 * kWordBits - __builtin_clzll(high) : kWordBits - __builtin_clzll(low));
        self.SetNumBitsForOverwrite(numBits);
        uint32_t* bits = self.GetBits().data();
        for (int32_t i = 0; i < self.GetSize(); ++i) {
            bits[i] = static_cast<uint32_t>(value >> (kBlockBits * i));
        }
    }

    /// Number of trailing zero bits of a nonzero native word.
    static int32_t CountTrailingZeros(Wide value) {
        uint64_t const low = static_cast<uint64_t>(value);
        return low != 0 ? __builtin_ctzll(low)
                        : kWordBits + __builtin_ctzll(static_cast<uint64_t>(value >> kWordBits));
    }

    /// This = a + b.
    void Add(UInteger const& a, UInteger const& b) {
        int32_t const numBits0 = a.GetNumBits();
        int32_t const numBits1 = b.GetNumBits();
        int32_t const size0 = a.GetSize();
        int32_t const size1 = b.GetSize();
        int32_t const maxBits = std::max(numBits0, numBits1);
        int32_t const maxSize = std::max(size0, size1);

        UInteger& result = Self();
        result.SetNumBitsForOverwrite(maxBits + 1);
        uint32_t const* bits0 = a.GetBits().data();
        uint32_t const* bits1 = b.GetBits().data();
        uint32_t* bits = result.GetBits().data();

        uint64_t carry = 0;
        int32_t const minSize = std::min(size0, size1);
        int32_t i = 0;
        for (; i < minSize; ++i) {
            uint64_t const sum = static_cast<uint64_t>(bits0[i]) + bits1[i] + carry;
            bits[i] = static_cast<uint32_t>(sum);
            carry = sum >> kBlockBits;
        }
        uint32_t const* longer = (size0 > size1 ? bits0 : bits1);
        for (; i < maxSize; ++i) {
            uint64_t const sum = static_cast<uint64_t>(longer[i]) + carry;
            bits[i] = static_cast<uint32_t>(sum);
            carry = sum >> kBlockBits;
        }
        if (i < result.GetSize()) {
            bits[i] = static_cast<uint32_t>(carry);
        }
        TrimTopBit();
    }

    /// This = a - b; the caller guarantees a > b. Equal operands yield zero with a warning.
    void Sub(UInteger const& a, UInteger const& b) {
        int32_t const numBits0 = a.GetNumBits();
        int32_t const size0 = a.GetSize();
        int32_t const size1 = b.GetSize();

        UInteger& result = Self();
        result.SetNumBitsForOverwrite(numBits0);
        uint32_t const* bits0 = a.GetBits().data();
        uint32_t const* bits1 = b.GetBits().data();
        uint32_t* bits = result.GetBits().data();

        // Blocks of b above its size read as zero; the borrow is 0 or 1.
        uint64_t borrow = 0;
        int32_t const common = std::min(size0, size1);
        int32_t i = 0;
        for (; i < common; ++i) {
            uint64_t const diff = static_cast<uint64_t>(bits0[i]) - bits1[i] - borrow;
            bits[i] = static_cast<uint32_t>(diff);
            borrow = (diff >> kBlockBits) & 1u;
        }
        for (; i < size0; ++i) {
            uint64_t const diff = static_cast<uint64_t>(bits0[i]) - borrow;
            bits[i] = static_cast<uint32_t>(diff);
            borrow = (diff >> kBlockBits) & 1u;
        }

        int32_t top = size0 - 1;
        while (top >= 0 && bits[top] == 0) {
            --top;
        }
        bool const nonzero = (top >= 0);
        GEOM_REPORT_WARNING(
            nonzero,
            "The difference of the number is zero, which violates the precondition n0 > n1.");
        result.SetNumBits(nonzero ? kBlockBits * top + BitHacks::GetLeadingBit(bits[top]) + 1 : 0);
    }

    /// This = a * b.
    void Mul(UInteger const& a, UInteger const& b) {
        if (&a == &Self() || &b == &Self()) {
            UInteger product;
            product.Mul(a, b);
            Self() = std::move(product);
            return;
        }
        int32_t const size0 = a.GetSize();
        int32_t const size1 = b.GetSize();
        UInteger& result = Self();
        if (size0 == 0 || size1 == 0) {
            result.SetNumBits(0);
            return;
        }
        result.SetNumBitsForOverwrite(a.GetNumBits() + b.GetNumBits());
        result.SetAllBitsToZero();
        int32_t const size = result.GetSize();
        uint32_t const* bits0 = a.GetBits().data();
        uint32_t const* bits1 = b.GetBits().data();
        uint32_t* bits = result.GetBits().data();

        for (int32_t i0 = 0; i0 < size0; ++i0) {
            uint64_t const factor = bits0[i0];
            uint64_t carry = 0;
            uint32_t* row = bits + i0;
            // (2^32 - 1)^2 + 2 (2^32 - 1) = 2^64 - 1, so the sum never overflows.
            for (int32_t i1 = 0; i1 < size1; ++i1) {
                uint64_t const term = factor * bits1[i1] + row[i1] + carry;
                row[i1] = static_cast<uint32_t>(term);
                carry = term >> kBlockBits;
            }
            if (i0 + size1 < size) {
                row[size1] = static_cast<uint32_t>(carry);
            }
        }
        TrimTopBit();
    }

    /// This = a * 2^shift.
    void ShiftLeft(UInteger const& a, int32_t shift) {
        int32_t const numBits0 = a.GetNumBits();
        if (numBits0 == 0) {
            Self().SetNumBits(0);
            return;
        }
        int32_t const size0 = a.GetSize();
        UInteger& result = Self();
        result.SetNumBitsForOverwrite(numBits0 + shift);
        int32_t const size = result.GetSize();
        uint32_t const* bits0 = a.GetBits().data();
        uint32_t* bits = result.GetBits().data();

        int32_t const blockShift = shift / kBlockBits;
        int32_t const bitShift = shift % kBlockBits;
        // Top down, so that shifting in place never reads a block already overwritten.
        if (bitShift == 0) {
            for (int32_t k = size0 - 1; k >= 0; --k) {
                bits[k + blockShift] = bits0[k];
            }
        } else {
            int32_t const rightShift = kBlockBits - bitShift;
            for (int32_t k = size - 1; k >= blockShift; --k) {
                int32_t const source = k - blockShift;
                uint32_t const high = (source < size0 ? bits0[source] << bitShift : 0u);
                uint32_t const low = (source >= 1 ? bits0[source - 1] >> rightShift : 0u);
                bits[k] = high | low;
            }
        }
        std::fill(bits, bits + blockShift, 0u);
    }

    /// This = a with its trailing zero bits removed; returns their number. Zero stays zero.
    int32_t ShiftRightToOdd(UInteger const& a) {
        int32_t const size0 = a.GetSize();
        if (size0 == 0) {
            // Only a broken precondition gets here (an equal subtraction); the caller's
            // validity check reports it.
            Self().SetNumBits(0);
            return 0;
        }
        uint32_t const* bits0 = a.GetBits().data();
        int32_t lowBlock = 0;
        while (bits0[lowBlock] == 0) {
            ++lowBlock;
        }
        int32_t const shift = kBlockBits * lowBlock + BitHacks::GetTrailingBit(bits0[lowBlock]);
        int32_t const leading =
            kBlockBits * (size0 - 1) + BitHacks::GetLeadingBit(bits0[size0 - 1]);
        int32_t const numBits = leading - shift + 1;
        if (shift == 0) {
            if (&a != &Self()) {
                Self() = a;
            }
            return 0;
        }

        UInteger& result = Self();
        bool const inPlace = (&a == &result);
        if (!inPlace) {
            result.SetNumBitsForOverwrite(numBits);
        }
        int32_t const size = (numBits - 1) / kBlockBits + 1;
        uint32_t* bits = result.GetBits().data();
        bits0 = a.GetBits().data();
        int32_t const blockShift = shift / kBlockBits;
        int32_t const bitShift = shift % kBlockBits;
        // Bottom up, so that shifting in place never reads a block already overwritten.
        if (bitShift == 0) {
            for (int32_t i = 0; i < size; ++i) {
                bits[i] = bits0[i + blockShift];
            }
        } else {
            int32_t const leftShift = kBlockBits - bitShift;
            for (int32_t i = 0; i < size; ++i) {
                int32_t const source = i + blockShift;
                uint32_t const low = bits0[source] >> bitShift;
                uint32_t const high = (source + 1 < size0 ? bits0[source + 1] << leftShift : 0u);
                bits[i] = low | high;
            }
        }
        if (inPlace) {
            result.SetNumBits(numBits);
        }
        return shift;
    }

    /// Adds 1 and removes the trailing zero bits of the sum; returns their number.
    int32_t RoundUp() {
        UInteger& self = Self();
        int32_t const size = self.GetSize();
        uint32_t* bits = self.GetBits().data();
        int32_t i = 0;
        while (i < size && ++bits[i] == 0) {
            ++i;
        }
        if (i == size) {
            // Every block overflowed: the sum is 2^numBits.
            self.SetNumBits(kBlockBits * size + 1);
            self.SetBack(1u);
        } else {
            self.SetNumBits(kBlockBits * (size - 1) + BitHacks::GetLeadingBit(self.GetBack()) + 1);
        }
        return ShiftRightToOdd(self);
    }

    /// The leading bits, left-aligned in a 64-bit word, enough for `numRequested` of them.
    uint64_t GetPrefix(int32_t numRequested) const {
        UInteger const& self = Self();
        int32_t const size = self.GetSize();
        if (size == 0) {
            return 0;
        }
        uint32_t const* bits = self.GetBits().data();
        int32_t const leading = BitHacks::GetLeadingBit(bits[size - 1]);
        int32_t shift = kPrefixTopBit - leading;
        uint64_t prefix = static_cast<uint64_t>(bits[size - 1]) << shift;
        int32_t numLoaded = leading + 1;
        if (numRequested > numLoaded && size > 1) {
            shift -= kBlockBits;
            prefix |= static_cast<uint64_t>(bits[size - 2]) << shift;
            numLoaded += kBlockBits;
            if (numRequested > numLoaded && size > 2 && shift > 0) {
                prefix |= static_cast<uint64_t>(bits[size - 3] >> (kBlockBits - shift));
            }
        }
        return prefix;
    }

    /// Equal bit counts and equal blocks.
    bool operator==(UInteger const& other) const {
        UInteger const& self = Self();
        if (self.GetNumBits() != other.GetNumBits()) {
            return false;
        }
        uint32_t const* bits0 = self.GetBits().data();
        uint32_t const* bits1 = other.GetBits().data();
        for (int32_t i = self.GetSize() - 1; i >= 0; --i) {
            if (bits0[i] != bits1[i]) {
                return false;
            }
        }
        return true;
    }

    /// Negation of ==.
    bool operator!=(UInteger const& other) const { return !operator==(other); }

    /// Compares the bit strings aligned at their leading 1, as binary fractions 0.1...; a proper
    /// beginning of the other string is the smaller. For odd integers whose leading bits carry
    /// the same power of two this is the numeric order.
    bool operator<(UInteger const& other) const {
        UInteger const& self = Self();
        int32_t const numBits0 = self.GetNumBits();
        int32_t const numBits1 = other.GetNumBits();
        int32_t const windows = (std::max(numBits0, numBits1) + kBlockBits - 1) / kBlockBits;
        for (int32_t k = 0; k < windows; ++k) {
            uint32_t const window0 = Window(self, k);
            uint32_t const window1 = Window(other, k);
            if (window0 != window1) {
                return window0 < window1;
            }
        }
        return numBits0 < numBits1;
    }

private:
    static constexpr int32_t kBlockBits = 32;
    static constexpr int32_t kWordBits = 64;
    static constexpr int32_t kPrefixTopBit = 63;

    UInteger& Self() { return static_cast<UInteger&>(*this); }
    UInteger const& Self() const { return static_cast<UInteger const&>(*this); }

    // Drops the top bit when the operation's size estimate was one too large.
    void TrimTopBit() {
        UInteger& self = Self();
        int32_t const numBits = self.GetNumBits();
        if (numBits > 0 && (self.GetBack() & (1u << ((numBits - 1) % kBlockBits))) == 0) {
            self.SetNumBits(numBits - 1);
        }
    }

    // The k-th 32-bit window below the leading bit of x; bits past the end read as 0.
    static uint32_t Window(UInteger const& x, int32_t k) {
        int32_t const high = x.GetNumBits() - 1 - kBlockBits * k;
        if (high < 0) {
            return 0;
        }
        uint32_t const* bits = x.GetBits().data();
        int32_t const low = high - (kBlockBits - 1);
        if (low < 0) {
            return bits[0] << (-low);
        }
        int32_t const block = low / kBlockBits;
        int32_t const offset = low % kBlockBits;
        if (offset == 0) {
            return bits[block];
        }
        uint32_t const upper =
            (block + 1 < x.GetSize() ? bits[block + 1] << (kBlockBits - offset) : 0u);
        return (bits[block] >> offset) | upper;
    }
};

}  // namespace geom
