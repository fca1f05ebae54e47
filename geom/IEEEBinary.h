#pragma once

#include <cstdint>
#include <cstring>

namespace geom {

/// A binary floating-point value seen both as a number and as its encoding's fields.
template <typename Float, typename UInt, int32_t NumBits, int32_t Precision>
class IEEEBinary {
    static_assert(sizeof(Float) == sizeof(UInt), "number and encoding must have the same size");
    static_assert(sizeof(UInt) * 8 == NumBits, "the encoding must fill the word");

public:
    static constexpr int32_t kNumEncodingBits = NumBits;
    static constexpr int32_t kNumSignificandBits = Precision;
    static constexpr int32_t kNumTrailingBits = Precision - 1;
    static constexpr int32_t kNumExponentBits = NumBits - Precision;
    static constexpr int32_t kMaxBiasedExponent = (1 << kNumExponentBits) - 1;
    static constexpr int32_t kExponentBias = (1 << (kNumExponentBits - 1)) - 1;
    /// Exponent of the smallest normal number.
    static constexpr int32_t kMinExponent = 1 - kExponentBias;
    /// Exponent of the largest finite number.
    static constexpr int32_t kMaxExponent = kExponentBias;
    /// Exponent of the smallest subnormal number.
    static constexpr int32_t kMinSubnormalExponent = kMinExponent - kNumTrailingBits;
    static constexpr UInt kSignShift = NumBits - 1;
    static constexpr UInt kTrailingMask = (UInt(1) << kNumTrailingBits) - 1;
    static constexpr UInt kBiasedMask = UInt(kMaxBiasedExponent);

    /// The encoding of +0.
    IEEEBinary() = default;

    /// The value `number`.
    explicit IEEEBinary(Float number) { std::memcpy(&encoding, &number, sizeof(encoding)); }

    /// The number as a floating-point value.
    Float GetNumber() const {
        Float number;
        std::memcpy(&number, &encoding, sizeof(number));
        return number;
    }

    /// The number as a floating-point value.
    explicit operator Float() const { return GetNumber(); }

    /// The raw encoding.
    UInt GetEncoding() const { return encoding; }

    /// Sets the raw encoding.
    void SetEncoding(UInt value) { encoding = value; }

    /// Sets the encoding from its three fields.
    void SetEncoding(UInt sign, UInt biased, UInt trailing) {
        encoding =
            static_cast<UInt>((sign << kSignShift) | (biased << kNumTrailingBits) | trailing);
    }

    /// The sign bit.
    UInt GetSign() const { return encoding >> kSignShift; }

    /// The biased exponent field.
    UInt GetBiased() const { return (encoding >> kNumTrailingBits) & kBiasedMask; }

    /// The trailing significand field.
    UInt GetTrailing() const { return encoding & kTrailingMask; }

private:
    UInt encoding = 0;
};

}  // namespace geom
