#pragma once

#include <array>
#include <cstdint>

#include "geom/Logger.h"

namespace geom {

/// Index of the highest or lowest set bit of a 32-bit word by multiply and table lookup.
class BitHacks {
public:
    /// Index of the highest set bit of `value`; 0 for 0.
    static int32_t GetLeadingBit(uint32_t value) {
        // Smearing the top bit down leaves 2^(i+1) - 1, which the multiplier maps to a
        // distinct 5-bit slot for each i.
        value |= value >> 1;
        value |= value >> 2;
        value |= value >> 4;
        value |= value >> 8;
        value |= value >> 16;
        static constexpr std::array<int32_t, 32> kLeadingTable = {
            0, 9,  1,  10, 13, 21, 2,  29, 11, 14, 16, 18, 22, 25, 3, 30,
            8, 12, 20, 28, 15, 17, 24, 7,  19, 27, 23, 6,  26, 5,  4, 31};
        return kLeadingTable[static_cast<uint32_t>(value * kLeadingMultiplier) >> kSlotShift];
    }

    /// Index of the lowest set bit of `value`; fails for 0.
    static int32_t GetTrailingBit(int32_t value) {
        return GetTrailingBit(static_cast<uint32_t>(value));
    }

    /// Index of the lowest set bit of `value`; fails for 0.
    static int32_t GetTrailingBit(uint32_t value) {
        GEOM_REPORT_ASSERTION(value != 0, "Invalid input.");
        // The isolated low bit 2^i times a de Bruijn word puts a distinct 5-bit pattern on top.
        static constexpr std::array<int32_t, 32> kTrailingTable = {
            0,  1,  28, 2,  29, 14, 24, 3, 30, 22, 20, 15, 25, 17, 4,  8,
            31, 27, 13, 23, 21, 19, 16, 7, 26, 12, 18, 6,  11, 5,  10, 9};
        uint32_t const lowest = value & (0u - value);
        return kTrailingTable[static_cast<uint32_t>(lowest * kTrailingMultiplier) >> kSlotShift];
    }

private:
    static constexpr uint32_t kLeadingMultiplier = 0x07C4ACDDu;
    static constexpr uint32_t kTrailingMultiplier = 0x077CB531u;
    static constexpr int kSlotShift = 27;
};

}  // namespace geom
