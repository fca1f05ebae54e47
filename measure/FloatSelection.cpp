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

namespace {

/// The values' buckets of bit patterns, counted: bucket b holds the values
/// whose key less the lowest key, shifted right by `shift`, is b.
class KeyBuckets {
public:
    explicit KeyBuckets(const std::vector<float>& values) {
        const auto [lowest, highest] = FloatRange(values.data(), values.size());
        low = OrderedKey(lowest);
        const std::uint32_t span = OrderedKey(highest) - low;
        while ((span >> shift) >= (1u << kBucketBits)) ++shift;
        count.assign(1u << kBucketBits, 0);
        for (const float v : values) ++count[Of(v)];
    }

    std::uint32_t Of(float v) const { return (OrderedKey(v) - low) >> shift; }

    /// The bucket holding `rank`, and how many values lie in the buckets before it.
    std::pair<std::uint32_t, std::size_t> Holding(std::size_t rank) const {
        std::uint32_t bucket = 0;
        std::size_t below = 0;
        while (below + count[bucket] <= rank) below += count[bucket++];
        return {bucket, below};
    }

private:
    std::uint32_t low = 0;
    int shift = 0;
    std::vector<std::uint32_t> count;
};

/// Moves the values of `bucket` from `from` on to the front of that part;
/// returns where they end.
std::size_t Gather(std::vector<float>& values, std::size_t from, const KeyBuckets& buckets,
                   std::uint32_t bucket) {
    std::size_t kept = from;
    for (std::size_t i = from; i < values.size(); ++i) {
        if (buckets.Of(values[i]) == bucket) std::swap(values[kept++], values[i]);
    }
    return kept;
}

/// The value at `rank` among values[from, to), by a partition.
float NthOf(std::vector<float>& values, std::size_t from, std::size_t to, std::size_t rank) {
    const auto begin = values.begin() + static_cast<std::ptrdiff_t>(from);
    const auto at = begin + static_cast<std::ptrdiff_t>(rank);
    std::nth_element(begin, at, values.begin() + static_cast<std::ptrdiff_t>(to));
    return *at;
}

}  // namespace

float SelectFloat(std::vector<float>& values, std::size_t rank) {
    return SelectFloats(values, rank, rank).first;
}

std::pair<float, float> SelectFloats(std::vector<float>& values, std::size_t low,
                                     std::size_t high) {
    if (values.size() < kLeastValues) {
        const float first = NthOf(values, 0, values.size(), low);
        // Everything after `low` is at least its value: `high` is among them.
        return {first, high == low ? first : NthOf(values, low + 1, values.size(), high - low - 1)};
    }
    const KeyBuckets buckets(values);
    const auto [lowBucket, lowBelow] = buckets.Holding(low);
    const auto [highBucket, highBelow] = buckets.Holding(high);
    // The bucket's values to the front, then the rank among them.
    const std::size_t lowEnd = Gather(values, 0, buckets, lowBucket);
    const float first = NthOf(values, 0, lowEnd, low - lowBelow);
    if (highBucket == lowBucket) {
        return {first, NthOf(values, 0, lowEnd, high - highBelow)};
    }
    // The second bucket's values right after the first's.
    const std::size_t highEnd = Gather(values, lowEnd, buckets, highBucket);
    return {first, NthOf(values, lowEnd, highEnd, high - highBelow)};
}
