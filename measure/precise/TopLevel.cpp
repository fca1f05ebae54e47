#include "measure/precise/TopLevel.h"

#include <algorithm>
#include <cmath>

#include "measure/FloatSelection.h"
#include "measure/Median.h"

namespace {

// Layers are found on a histogram of 2 mm bins, summed over three bins.
constexpr float kBin = 0.002f;
// Heights deeper than this below the highest point do not matter for the top.
constexpr float kSpan = 4.0f;
// A layer counts when its bins hold this share of the densest one's points
// and at least kMinLayerPoints: a stray or a handful of mixed pixels is no layer.
constexpr float kLayerShare = 0.05f;
constexpr std::size_t kMinLayerPoints = 30;
// The layer's half thickness: three robust standard deviations, never
// thinner than the histogram's resolution nor thicker than a real face's noise.
constexpr float kBandSigmas = 3.0f;
constexpr float kMinBand = 0.002f;
constexpr float kMaxBand = 0.02f;
constexpr float kStartBand = 0.01f;
constexpr int kRefinements = 3;
// Each round moves the level by no more than the band it searched, so every
// layer lies within this of the first level (a centimetre to spare).
constexpr float kLayerReach = kStartBand + kRefinements * kMaxBand + 0.01f;
// Median absolute deviation to standard deviation of a normal distribution.
constexpr float kMadToSigma = 1.4826f;

}  // namespace

TopLevel::TopLevel(const std::vector<float>& z) {
    std::vector<float> heights;
    heights.reserve(z.size());
    for (float v : z) {
        if (std::isfinite(v)) heights.push_back(v);
    }
    if (heights.empty()) return;
    const float top = FloatRange(heights.data(), heights.size()).first;
    const auto bins = static_cast<std::size_t>(kSpan / kBin) + 1;
    std::vector<std::size_t> histogram(bins, 0);
    for (float v : heights) {
        const float offset = (v - top) / kBin;
        if (offset < static_cast<float>(bins)) ++histogram[static_cast<std::size_t>(offset)];
    }
    std::vector<std::size_t> summed(bins, 0);
    for (std::size_t i = 0; i < bins; ++i) {
        summed[i] =
            histogram[i] + (i > 0 ? histogram[i - 1] : 0) + (i + 1 < bins ? histogram[i + 1] : 0);
    }
    const std::size_t densest = *std::max_element(summed.begin(), summed.end());
    const auto needed = std::max<std::size_t>(
        kMinLayerPoints,
        static_cast<std::size_t>(std::ceil(kLayerShare * static_cast<float>(densest))));
    std::size_t peak = 0;
    while (peak < bins && summed[peak] < needed) ++peak;
    if (peak == bins) {
        // Too few points for any layer: the densest bins stand for it.
        peak = static_cast<std::size_t>(std::max_element(summed.begin(), summed.end()) -
                                        summed.begin());
    }
    while (peak + 1 < bins && summed[peak + 1] >= summed[peak]) ++peak;

    level = top + (static_cast<float>(peak) + 0.5f) * kBin;
    band = kStartBand;
    // The heights the rounds can reach, read once from all of them.
    std::vector<float> reach;
    for (float v : heights) {
        if (std::fabs(v - level) <= kLayerReach) reach.push_back(v);
    }
    std::vector<float> layer;
    for (int round = 0; round < kRefinements; ++round) {
        layer.clear();
        for (float v : reach) {
            if (std::fabs(v - level) <= band) layer.push_back(v);
        }
        if (layer.empty()) break;
        level = UpperMedian(layer);
        for (float& v : layer) v = std::fabs(v - level);
        const float sigma = kMadToSigma * UpperMedian(layer);
        band = std::min(kMaxBand, std::max(kMinBand, kBandSigmas * sigma));
    }
    count = 0;
    for (float v : reach) {
        if (std::fabs(v - level) <= band) ++count;
    }
}
