#include "measure/FloatSelection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Below this many values the partition of nth_element is as quick.
constexpr std::size_t kLeastValues = 16384;
// Buckets of the counting pass: few enough that their counters stay in the
// fastest cache.
constexpr int kBucketBits = 12;
constexpr std::uint32_t kSignBit = 0x80000000u;
// Running extremes kept side by side: independent comparisons the processor
// overlaps or does at once.
constexpr std::size_t kLanes = 8;

/// A key whose unsigned order is the order of the float; both zeros alike.
std::uint32_t OrderedKey(float value) {
    if (value == 0.0f) return kSignBit;
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return (bits & kSignBit) != 0 ? ~bits : (bits | kSignBit);
}

}  // namespace

std::pair<float, float> FloatRange(const float* values, std::size_t count) {
    float low[kLanes];
    float high[kLanes];
    std::fill(low, low + kLanes, values[0]);
    std::fill(high, high + kLanes, values[0]);
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        for (std::size_t k = 0; k < kLanes; ++k) {
            low[k] = values[i + k] < low[k] ? values[i + k] : low[k];
            high[k] = high[k] < values[i + k] ? values[i + k] : high[k];
        }
    }
    for (; i < count; ++i) {
        low[0] = values[i] < low[0] ? values[i] : low[0];
        high[0] = high[0] < values[i] ? values[i] : high[0];
    }
    for (std::size_t k = 1; k < kLanes; ++k) {
        low[0] = low[k] < low[0] ? low[k] : low[0];
        high[0] = high[0] < high[k] ? high[k] : high[0];
    }
    return {low[0], high[0]};
}

float SelectFloat(std::vector<float>& values, std::size_t rank) {
    const auto nth = values.begin() + static_cast<std::ptrdiff_t>(rank);
    if (values.size() < kLeastValues) {
        std::nth_element(values.begin(), nth, values.end());
        return *nth;
    }
    const auto [lowest, highest] = FloatRange(values.data(), values.size());
    const std::uint32_t low = OrderedKey(lowest);
    const std::uint32_t span = OrderedKey(highest) - low;
    int shift = 0;
    while ((span >> shift) >= (1u << kBucketBits)) ++shift;

    std::vector<std::uint32_t> count(1u << kBucketBits, 0);
    for (const float v : values) ++count[(OrderedKey(v) - low) >> shift];
    std::uint32_t bucket = 0;
    std::size_t below = 0;
    while (below + count[bucket] <= rank) below += count[bucket++];

    // The bucket's values to the front, then the rank among them.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (((OrderedKey(values[i]) - low) >> shift) == bucket)
            std::swap(values[kept++], values[i]);
    }
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(rank - below);
    std::nth_element(values.begin(), at, values.begin() + static_cast<std::ptrdiff_t>(kept));
    return *at;
}
