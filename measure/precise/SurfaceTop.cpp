#include "measure/precise/SurfaceTop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "measure/filter/WideKernels.h"

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
// Cells of up to this many points are sorted: the median of the deviations
// then comes from walking out from the middle, with no second selection.
constexpr std::size_t kSortedCellPoints = 64;
static_assert(kSortedCellPoints <= outliers::kWideSortMost, "a sorted cell fits the wide sort");
// Cells of up to this many points are sorted by insertion, larger ones by
// partitions, where insertion's moves grow with the square of the points.
constexpr std::size_t kInsertedCellPoints = 16;

/// The cells of points[0..n) in a grid of nx by ny cells of edge `cell`
/// from (x0, y0), row by row; a point on the far edge of the grid's box is
/// in its last cell. The quotients lie within 0..2048, so whole numbers of
/// 32 bits take them as any wider ones would. Built twice, for 512-bit
/// vectors and for any processor: the points go side by side.
__attribute__((target_clones("avx512f", "default"))) void CellIndices(
    const SurfaceTop::Point* points, std::size_t n, float x0, float y0, float cell,
    std::uint32_t nx, std::uint32_t ny, std::uint32_t* at) {
    for (std::size_t i = 0; i < n; ++i) {
        const auto ix = std::min(nx - 1, static_cast<std::uint32_t>((points[i][0] - x0) / cell));
        const auto iy = std::min(ny - 1, static_cast<std::uint32_t>((points[i][1] - y0) / cell));
        at[i] = iy * nx + ix;
    }
}

/// Median (the element at n / 2 in order) of a cell's heights and the same
/// of their distances from it, the heights sorted in place (by the wide
/// kernel's sort when `wide`, else by insertion or partitions). Both sides of
/// the middle give distances in increasing order (a rounded difference grows
/// with the height), so merging them finds the n / 2-th distance.
void CellSpread(float* z, std::size_t n, float& median, float& deviation, bool wide) {
    const std::size_t mid = n / 2;
    if (wide || n > kInsertedCellPoints) {
        float given[kSortedCellPoints];
        std::copy(z, z + n, given);
        if (wide) {
            outliers::WideSort(z, n);
        } else {
            std::sort(z, z + n);
        }
        median = z[mid];
        if (median == 0.0f) {
            // Of equal heights only the zeros differ (in sign): the median
            // is the zero that keeps its place among them in the cell's order.
            std::size_t rank = mid - static_cast<std::size_t>(std::lower_bound(z, z + n, 0.0f) - z);
            for (std::size_t i = 0; i < n; ++i) {
                if (given[i] == 0.0f && rank-- == 0) {
                    median = given[i];
                    break;
                }
            }
        }
    } else {
        for (std::size_t i = 1; i < n; ++i) {
            const float v = z[i];
            std::size_t j = i;
            for (; j > 0 && v < z[j - 1]; --j) z[j] = z[j - 1];
            z[j] = v;
        }
        median = z[mid];
    }
    std::size_t below = mid;  // next candidate on the low side: z[below - 1]
    std::size_t above = mid;  // next candidate on the high side: z[above]
    for (std::size_t taken = 0;; ++taken) {
        const bool low = below > 0 && (above == n || std::fabs(z[below - 1] - median) <
                                                         std::fabs(z[above] - median));
        const float d = low ? std::fabs(z[below - 1] - median) : std::fabs(z[above] - median);
        if (taken == mid) {
            deviation = d;
            return;
        }
        if (low) {
            --below;
        } else {
            ++above;
        }
    }
}

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
    // The heights grouped by cell: counted, then placed.
    std::vector<std::uint32_t> cellOf(points.size());
    CellIndices(points.data(), points.size(), lo[0], lo[1], cell, static_cast<std::uint32_t>(nx),
                static_cast<std::uint32_t>(ny), cellOf.data());
    std::vector<std::uint32_t> first(nx * ny + 1, 0);
    for (const std::uint32_t c : cellOf) ++first[c + 1];
    for (std::size_t c = 1; c < first.size(); ++c) first[c] += first[c - 1];
    std::vector<float> z(points.size());
    {
        std::vector<std::uint32_t> next(first.begin(), first.end() - 1);
        for (std::size_t i = 0; i < points.size(); ++i) z[next[cellOf[i]]++] = points[i][2];
    }
    // The noise from the flatter cells: on a dome's flanks a cell's spread
    // is its slope's as much as the camera's.
    std::vector<float> spread;
    std::vector<float> residual;
    std::vector<std::size_t> counts;
    // Each cell's median; +max where a cell holds too few points for one.
    std::vector<float> medians(nx * ny, std::numeric_limits<float>::max());
    const bool wide = outliers::WideKernelsRun();
    for (std::size_t c = 0; c + 1 < first.size(); ++c) {
        const std::size_t n = first[c + 1] - first[c];
        if (n < kLeastCellPoints) continue;
        float* const begin = z.data() + first[c];
        float median;
        float deviation;
        if (n <= kSortedCellPoints) {
            CellSpread(begin, n, median, deviation, wide);
        } else {
            float* const mid = begin + n / 2;
            std::nth_element(begin, mid, begin + n);
            median = *mid;
            residual.clear();
            for (const float* it = begin; it != begin + n; ++it) {
                residual.push_back(std::fabs(*it - median));
            }
            const auto half = residual.begin() + static_cast<std::ptrdiff_t>(n / 2);
            std::nth_element(residual.begin(), half, residual.end());
            deviation = *half;
        }
        medians[c] = median;
        spread.push_back(deviation);
        counts.push_back(n);
    }
    if (counts.empty()) {
        return;
    }
    found = true;
    // A cell's height counts as far as a neighbouring cell's bears it out:
    // among thousands of medians of a flat face, one stands several of its
    // standard errors high; the apex of a dome or the ridge of a cylinder
    // spans cells side by side. (Whether goods rise above their face at all
    // is judged on the highest median alone: the ridge of a small lying
    // cylinder stands barely above its densest layer, and judged on the
    // lower of two cells it passed for a flat top and was stored narrow.)
    top = std::numeric_limits<float>::max();
    highest = std::numeric_limits<float>::max();
    for (std::size_t iy = 0; iy < ny; ++iy) {
        for (std::size_t ix = 0; ix < nx; ++ix) {
            const float median = medians[iy * nx + ix];
            if (median == std::numeric_limits<float>::max()) continue;
            highest = std::min(highest, median);
            float neighbour = std::numeric_limits<float>::max();
            for (std::size_t y = iy > 0 ? iy - 1 : 0; y <= std::min(ny - 1, iy + 1); ++y) {
                for (std::size_t x = ix > 0 ? ix - 1 : 0; x <= std::min(nx - 1, ix + 1); ++x) {
                    if (x != ix || y != iy) neighbour = std::min(neighbour, medians[y * nx + x]);
                }
            }
            if (neighbour != std::numeric_limits<float>::max())
                top = std::min(top, std::max(median, neighbour));
        }
    }
    // Cells that stand apart, each alone: the highest of them.
    if (top == std::numeric_limits<float>::max()) top = highest;
    const auto quartile = spread.begin() + static_cast<std::ptrdiff_t>(spread.size() / 4);
    std::nth_element(spread.begin(), quartile, spread.end());
    const float sigma = kMadToSigma * *quartile;
    noise = sigma;
    const auto middle = counts.begin() + static_cast<std::ptrdiff_t>(counts.size() / 2);
    std::nth_element(counts.begin(), middle, counts.end());
    lift = kLiftSigmas * sigma / std::sqrt(static_cast<float>(*middle));
}
