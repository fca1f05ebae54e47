#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "geom/BitHacks.h"
#include "geom/Logger.h"
#include "geom/UIntegerALU32.h"

namespace geom {

/// Unsigned integer of any length in 32-bit blocks, least significant block first.
class UIntegerAP32 : public UIntegerALU32<UIntegerAP32> {
public:
    /// Block vector that keeps short integers inside the object and moves to the heap only when
    /// an integer outgrows the inline room; exact arithmetic creates many short-lived numbers.
    class Blocks {
    public:
        /// Room for integers of up to 512 bits without a heap allocation.
        static constexpr int32_t kInlineCapacity = 16;

        /// An empty vector.
        Blocks() = default;

        /// Deep copy.
        Blocks(Blocks const& other) { CopyFrom(other); }

        /// Takes over the blocks of `other`, which is left empty.
        Blocks(Blocks&& other) noexcept { StealFrom(other); }

        /// Deep copy.
        Blocks& operator=(Blocks const& other) {
            if (this != &other) {
                count = 0;
                CopyFrom(other);
            }
            return *this;
        }

        /// Takes over the blocks of `other`, which is left empty.
        Blocks& operator=(Blocks&& other) noexcept {
            if (this != &other) {
                Release();
                StealFrom(other);
            }
            return *this;
        }

        ~Blocks() { Release(); }

        /// Number of blocks.
        int32_t size() const { return count; }
        /// True when there are no blocks.
        bool empty() const { return count == 0; }
        /// First block.
        uint32_t* data() { return storage; }
        /// First block.
        uint32_t const* data() const { return storage; }
        /// Block i.
        uint32_t& operator[](int32_t i) { return storage[i]; }
        /// Block i.
        uint32_t operator[](int32_t i) const { return storage[i]; }
        /// First block.
        uint32_t* begin() { return storage; }
        /// Past the last block.
        uint32_t* end() { return storage + count; }
        /// First block.
        uint32_t const* begin() const { return storage; }
        /// Past the last block.
        uint32_t const* end() const { return storage + count; }
        /// Top block.
        uint32_t& back() { return storage[count - 1]; }
        /// Top block.
        uint32_t back() const { return storage[count - 1]; }

        /// Sets the block count; blocks kept keep their values, new blocks are 0.
        void resize(int32_t newCount) {
            Reserve(newCount);
            for (int32_t i = count; i < newCount; ++i) {
                storage[i] = 0;
            }
            count = newCount;
        }

        /// Sets the block count; new blocks hold garbage until the caller writes them.
        void resizeForOverwrite(int32_t newCount) {
            Reserve(newCount);
            count = newCount;
        }

        /// Removes every block.
        void clear() { count = 0; }

        /// Equal counts and equal blocks.
        bool operator==(Blocks const& other) const {
            return count == other.count && std::equal(storage, storage + count, other.storage);
        }

    private:
        bool OnHeap() const { return storage != local; }

        void Reserve(int32_t wanted) {
            if (wanted > capacity) {
                Grow(wanted);
            }
        }

        // Rare: only integers longer than the inline room get here.
        __attribute__((noinline)) void Grow(int32_t wanted) {
            int32_t const grown = std::max(wanted, 2 * capacity);
            uint32_t* fresh = new uint32_t[static_cast<size_t>(grown)];
            std::memcpy(fresh, storage, sizeof(uint32_t) * static_cast<size_t>(count));
            Release();
            storage = fresh;
            capacity = grown;
        }

        void Release() {
            if (OnHeap()) {
                delete[] storage;
                storage = local;
                capacity = kInlineCapacity;
            }
        }

        // Expects this vector empty.
        void CopyFrom(Blocks const& other) {
            if (other.count <= kInlineCapacity && !OnHeap()) {
                // As in StealFrom: the whole inline room in one fixed-size copy.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
                std::memcpy(local, other.storage, sizeof(local));
#pragma GCC diagnostic pop
            } else {
                Reserve(other.count);
                std::memcpy(storage, other.storage,
                            sizeof(uint32_t) * static_cast<size_t>(other.count));
            }
            count = other.count;
        }

        // Expects this vector empty and inline.
        void StealFrom(Blocks& other) {
            if (other.OnHeap()) {
                storage = other.storage;
                capacity = other.capacity;
                other.storage = other.local;
                other.capacity = kInlineCapacity;
            } else {
                // The whole inline room, blocks past the count included: their values do not
                // matter, and a fixed-size copy is a few vector moves instead of a call.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
                std::memcpy(local, other.local, sizeof(local));
#pragma GCC diagnostic pop
            }
            count = other.count;
            other.count = 0;
        }

        uint32_t* storage = local;
        int32_t count = 0;
        int32_t capacity = kInlineCapacity;
        uint32_t local[kInlineCapacity];
    };

    /// Zero: no bits, no blocks.
    UIntegerAP32() = default;

    /// The odd part of `number`: its trailing zero bits are dropped and the caller accounts for
    /// them. 0 gives zero.
    explicit UIntegerAP32(uint32_t number) {
        if (number > 0) {
            int32_t const first = BitHacks::GetTrailingBit(number);
            numBits = BitHacks::GetLeadingBit(number) - first + 1;
            bits.resizeForOverwrite(1);
            bits[0] = number >> first;
        }
    }

    /// Deep copy.
    UIntegerAP32(UIntegerAP32 const& other) = default;

    /// Takes over the blocks; the source becomes zero.
    UIntegerAP32(UIntegerAP32&& other) noexcept
        : numBits(std::exchange(other.numBits, 0)), bits(std::move(other.bits)) {}

    /// Deep copy.
    UIntegerAP32& operator=(UIntegerAP32 const& other) = default;

    /// Takes over the blocks; the source becomes zero.
    UIntegerAP32& operator=(UIntegerAP32&& other) noexcept {
        if (this != &other) {
            numBits = std::exchange(other.numBits, 0);
            bits = std::move(other.bits);
        }
        return *this;
    }

    /// Sets the bit length and sizes the blocks to match; kept blocks keep their values.
    void SetNumBits(int32_t number) {
        GEOM_REPORT_ERROR(number >= 0, "The number of bits must be nonnegative.");
        numBits = number;
        bits.resize(number > 0 ? (number - 1) / kBlockBits + 1 : 0);
    }

    /// SetNumBits for a caller that writes every block itself: new blocks are not cleared.
    void SetNumBitsForOverwrite(int32_t number) {
        GEOM_REPORT_ERROR(number >= 0, "The number of bits must be nonnegative.");
        numBits = number;
        bits.resizeForOverwrite(number > 0 ? (number - 1) / kBlockBits + 1 : 0);
    }

    /// Index of the leading 1 plus one; 0 for zero.
    int32_t GetNumBits() const { return numBits; }

    /// The blocks, least significant first.
    Blocks const& GetBits() const { return bits; }

    /// The blocks, least significant first.
    Blocks& GetBits() { return bits; }

    /// Number of blocks.
    int32_t GetSize() const { return bits.size(); }

    /// Sets the top block.
    void SetBack(uint32_t value) { bits.back() = value; }

    /// The top block.
    uint32_t GetBack() const { return bits.back(); }

    /// The largest allowed block count.
    static int32_t GetMaxSize() { return std::numeric_limits<int32_t>::max(); }

    /// Clears every block, keeping the bit length.
    void SetAllBitsToZero() { std::fill(bits.begin(), bits.end(), 0u); }

private:
    static constexpr int32_t kBlockBits = 32;

    int32_t numBits = 0;
    Blocks bits;
};

}  // namespace geom
