#include "measure/precise/SurfaceTop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// A cell's median needs this many points; fewer is the edge of the goods.
constexpr std::size_t kLeastCellPoints = 8;
// Noise lifts the highest of some thousand medians of n points up to about
// 4 standard errors of a median (1.25 sigma / sqrt(n)): kLiftSigmas of
// them bound it with room to spare.
constexpr float kLiftSigmas = 6.0f;
// Median absolute deviation to standard deviation of a normal distribution.
constexpr float kMadToSigma = 1.4826f;
// Cells along the longer side at most.
constexpr float kMostCellsPerSide = 2048.0f;

}  // namespace

SurfaceTop::SurfaceTop(const std::vector<Point>& points, float cell) {
    if (points.empty() || !(cell > 0.0f)) {
        return;
    }
    float lo[2] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
    float hi[2] = {-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};
    for (const Point& p : points) {
        for (int k = 0; k < 2; ++k) {
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
    cell = std::max(cell, std::max(hi[0] - lo[0], hi[1] - lo[1]) / (kMostCellsPerSide - 1.0f));
    const auto nx = static_cast<std::size_t>((hi[0] - lo[0]) / cell) + 1;
    const auto ny = static_cast<std::size_t>((hi[1] - lo[1]) / cell) + 1;
    const auto cellOf = [&](const Point& p) {
        const auto ix = std::min(nx - 1, static_cast<std::size_t>((p[0] - lo[0]) / cell));
        const auto iy = std::min(ny - 1, static_cast<std::size_t>((p[1] - lo[1]) / cell));
        return iy * nx + ix;
    };
    // The heights grouped by cell: counted, then placed.
    std::vector<std::uint32_t> first(nx * ny + 1, 0);
    for (const Point& p : points) ++first[cellOf(p) + 1];
    for (std::size_t c = 1; c < first.size(); ++c) first[c] += first[c - 1];
    std::vector<float> z(points.size());
    {
        std::vector<std::uint32_t> next(first.begin(), first.end() - 1);
        for (const Point& p : points) z[next[cellOf(p)]++] = p[2];
    }
    // The noise from the flatter cells: on a dome's flanks a cell's spread
    // is its slope's as much as the camera's.
    std::vector<float> spread;
    std::vector<float> residual;
    std::vector<std::size_t> counts;
    top = std::numeric_limits<float>::max();
    for (std::size_t c = 0; c + 1 < first.size(); ++c) {
        const std::size_t n = first[c + 1] - first[c];
        if (n < kLeastCellPoints) continue;
        const auto begin = z.begin() + first[c];
        const auto mid = begin + static_cast<std::ptrdiff_t>(n / 2);
        std::nth_element(begin, mid, begin + static_cast<std::ptrdiff_t>(n));
        const float median = *mid;
        top = std::min(top, median);
        residual.clear();
        for (auto it = begin; it != begin + static_cast<std::ptrdiff_t>(n); ++it) {
            residual.push_back(std::fabs(*it - median));
        }
        const auto half = residual.begin() + static_cast<std::ptrdiff_t>(n / 2);
        std::nth_element(residual.begin(), half, residual.end());
        spread.push_back(*half);
        counts.push_back(n);
    }
    if (counts.empty()) {
        return;
    }
    found = true;
    const auto quartile = spread.begin() + static_cast<std::ptrdiff_t>(spread.size() / 4);
    std::nth_element(spread.begin(), quartile, spread.end());
    const float sigma = kMadToSigma * *quartile;
    noise = sigma;
    const auto middle = counts.begin() + static_cast<std::ptrdiff_t>(counts.size() / 2);
    std::nth_element(counts.begin(), middle, counts.end());
    lift = kLiftSigmas * sigma / std::sqrt(static_cast<float>(*middle));
}
