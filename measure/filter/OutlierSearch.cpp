// The outlier filter's neighbour search: exact k nearest distances on the grid, on both cores.
// Built with -ffp-contract=off: a fused multiply-add would round the squared
// distances differently from the reference filter and move points across
// the threshold.
#include "measure/filter/OutlierSearch.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "cloud/BothCores.h"
#include "measure/filter/WideKernels.h"

namespace outliers {

namespace {

// Points whose neighbour radius sets the cell side; the quantile keeps most
// searches inside the 3 x 3 x 3 block around their cell.
constexpr std::size_t kSamples = 64;
constexpr double kSampleQuantile = 0.75;
// A squared distance in floats may lie this much (relative) below the true
// one; the cell bound is shrunk by it so that no point outside a block can
// be nearer than the neighbours found inside.
constexpr double kBoundMargin = 1e-5;
constexpr std::size_t kCellsPerChunk = 256;
// Cells with more points than this are checked for points repeated in place.
constexpr std::uint32_t kCrowdedCell = 512;
// Buckets of the sort of a query's nearest distances.
constexpr std::size_t kBuckets = 64;
// Squared-distance widening of the previous query's k-th neighbour.
constexpr double kHintWidening = 1.2;
// Values the wide gathering may store beyond the last distance it keeps.
constexpr std::size_t kWideSlack = 16;
// Queries whose means are summed side by side.
constexpr std::size_t kQueriesAtOnce = 4;
// Cells of at least this many points gather their queries' distances from
// one copy of their block: the copy costs about as much as a few queries'
// reading the block's rows where they lie apart in the grid.
constexpr std::uint32_t kLeastCopiedCellPoints = 4;
// Gatherings of up to this many distances are narrowed for the wide sort,
// to this share of what it takes.
constexpr std::size_t kNarrowedMost = 4 * kWideSortMost;
constexpr double kNarrowedShare = 0.9;

/// The largest float not above `limit`: a float compares with it as with `limit` itself.
float FloatAtMost(double limit) {
    float f = static_cast<float>(limit);
    if (static_cast<double>(f) > limit) {
        f = std::nextafter(f, -std::numeric_limits<float>::infinity());
    }
    return f;
}

/// The k nearest squared distances of queries, exactly, with reused buffers.
class NearestSearch {
public:
    NearestSearch(const Grid& grid, int k, bool wide) : grid(grid), k(k), wide(wide) {}

    /// Sorts the k + 1 smallest squared distances from (x, y, z), which lies
    /// in the given cell, to the front of `dist` (the query itself first, at 0).
    ///
    /// Every point outside the block of cells within `reach` of the query's
    /// cell lies farther than the nearest face of the block, so the k + 1
    /// smallest are certain once that many points of the block lie nearer
    /// than that face; only those are kept and sorted. Otherwise the block grows.
    void Search(float x, float y, float z, const int cell[3], int reach) {
        const float q[3] = {x, y, z};
        for (;;) {
            int lo[3];
            int hi[3];
            double face = std::numeric_limits<double>::infinity();
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::max(cell[a] - reach, 0);
                hi[a] = std::min(cell[a] + reach, grid.dim[a] - 1);
                // A side clipped by the grid has no points beyond it.
                if (lo[a] > 0) {
                    face = std::min(face, q[a] - (grid.origin[a] + lo[a] * grid.h));
                }
                if (hi[a] < grid.dim[a] - 1) {
                    face = std::min(face, grid.origin[a] + (hi[a] + 1) * grid.h - q[a]);
                }
            }
            const double limit = face * face * (1.0 - kBoundMargin);
            // The previous query lay close by; its k-th distance, a little
            // widened, usually keeps enough points and far fewer to select from.
            const double guess = hint * kHintWidening;
            if (guess < limit) {
                Gather(x, y, z, lo, hi, guess);
            }
            if (guess >= limit || found <= static_cast<std::size_t>(k)) {
                Gather(x, y, z, lo, hi, limit);
            }
            if (found > static_cast<std::size_t>(k)) {
                if (wide && found > kWideSortMost && found <= kNarrowedMost) {
                    Narrow();
                }
                if (wide && found <= kWideSortMost) {
                    WideSort(dist.data(), found);
                } else if (found <= kBuckets * 4 && std::isfinite(gathered) && gathered > 0) {
                    SortFound();
                } else {
                    std::nth_element(dist.begin(), dist.begin() + k, dist.begin() + found);
                    std::sort(dist.begin(), dist.begin() + k + 1);
                }
                hint = dist[k];
                return;
            }
            reach *= 2;
        }
    }

    /// Writes to roots[1..k] the square roots of the k nearest squared
    /// distances in ascending order (the query itself, first at 0, left out).
    void Roots(double* roots) const {
        if (wide) {
            WideRoots(dist.data() + 1, static_cast<std::size_t>(k), roots + 1);
        } else {
            for (int j = 1; j <= k; ++j) {
                roots[j] = std::sqrt(static_cast<double>(dist[j]));
            }
        }
    }

    /// Whether the searches that follow, all in one cell, read their block
    /// of cells from one copy of its points, in the grid's order.
    void CopyBlocks(bool copy) { copiesBlocks = copy; }

    std::vector<float> dist;  // the first `found` entries are the gathered distances

private:
    /// The points of the cells lo..hi, row after row as Gather reads them,
    /// in the block's copy (unless they are there already).
    void CopyBlock(const int lo[3], const int hi[3]) {
        if (std::equal(lo, lo + 3, copiedLo) && std::equal(hi, hi + 3, copiedHi) && copied > 0) {
            return;
        }
        std::copy(lo, lo + 3, copiedLo);
        std::copy(hi, hi + 3, copiedHi);
        copied = 0;
        for (int iz = lo[2]; iz <= hi[2]; ++iz) {
            for (int iy = lo[1]; iy <= hi[1]; ++iy) {
                copied +=
                    grid.start[grid.Id(hi[0], iy, iz) + 1] - grid.start[grid.Id(lo[0], iy, iz)];
            }
        }
        if (blockX.size() < copied) {
            blockX.resize(copied);
            blockY.resize(copied);
            blockZ.resize(copied);
        }
        std::size_t at = 0;
        for (int iz = lo[2]; iz <= hi[2]; ++iz) {
            for (int iy = lo[1]; iy <= hi[1]; ++iy) {
                const std::uint32_t from = grid.start[grid.Id(lo[0], iy, iz)];
                const std::uint32_t to = grid.start[grid.Id(hi[0], iy, iz) + 1];
                std::copy(grid.xs.begin() + from, grid.xs.begin() + to, blockX.begin() + at);
                std::copy(grid.ys.begin() + from, grid.ys.begin() + to, blockY.begin() + at);
                std::copy(grid.zs.begin() + from, grid.zs.begin() + to, blockZ.begin() + at);
                at += to - from;
            }
        }
    }

    /// The squared distances from (x, y, z) to the points from..to of the
    /// coordinates xs, ys, zs that do not exceed `limit`, appended to `out`.
    std::size_t GatherRange(const float* xs, const float* ys, const float* zs, std::uint32_t from,
                            std::uint32_t to, float x, float y, float z, double limit,
                            float* out) const {
        if (wide) {
            return WideGather(xs, ys, zs, from, to, x, y, z, FloatAtMost(limit), out);
        }
        std::size_t m = 0;
        for (std::uint32_t j = from; j < to; ++j) {
            const float dx = x - xs[j];
            const float dy = y - ys[j];
            const float dz = z - zs[j];
            const float d = dx * dx + dy * dy + dz * dz;
            out[m] = d;
            m += static_cast<double>(d) <= limit ? 1 : 0;
        }
        return m;
    }

    /// The squared distances from (x, y, z) to the points of the cells
    /// lo..hi that do not exceed `limit`, in `dist`.
    void Gather(float x, float y, float z, const int lo[3], const int hi[3], double limit) {
        if (copiesBlocks) {
            CopyBlock(lo, hi);
            // Room for the wide kernel's last whole store.
            if (dist.size() < copied + kWideSlack) {
                dist.resize(copied + kWideSlack);
            }
            found = GatherRange(blockX.data(), blockY.data(), blockZ.data(), 0,
                                static_cast<std::uint32_t>(copied), x, y, z, limit, dist.data());
            gathered = limit;
            return;
        }
        std::size_t total = 0;
        for (int iz = lo[2]; iz <= hi[2]; ++iz) {
            for (int iy = lo[1]; iy <= hi[1]; ++iy) {
                total +=
                    grid.start[grid.Id(hi[0], iy, iz) + 1] - grid.start[grid.Id(lo[0], iy, iz)];
            }
        }
        // Room for the wide kernel's last whole store.
        if (dist.size() < total + kWideSlack) {
            dist.resize(total + kWideSlack);
        }
        float* out = dist.data();
        std::size_t m = 0;
        for (int iz = lo[2]; iz <= hi[2]; ++iz) {
            for (int iy = lo[1]; iy <= hi[1]; ++iy) {
                const std::uint32_t from = grid.start[grid.Id(lo[0], iy, iz)];
                const std::uint32_t to = grid.start[grid.Id(hi[0], iy, iz) + 1];
                m += GatherRange(grid.xs.data(), grid.ys.data(), grid.zs.data(), from, to, x, y, z,
                                 limit, out + m);
            }
        }
        found = m;
        gathered = limit;
    }

    /// Fewer gathered distances for the wide sort: those within a bound that
    /// on a surface keeps about as many as it takes, when more than k remain.
    void Narrow() {
        const double bound = gathered * kNarrowedShare * static_cast<double>(kWideSortMost) /
                             static_cast<double>(found);
        spread.resize(std::max(spread.size(), found + kWideSlack));
        const std::size_t m = WideKeep(dist.data(), found, FloatAtMost(bound), spread.data());
        if (m > static_cast<std::size_t>(k) && m <= kWideSortMost) {
            std::copy(spread.begin(), spread.begin() + m, dist.begin());
            found = m;
            gathered = bound;
        }
    }

    /// Sorts the gathered distances, all within [0, gathered]: spread over
    /// buckets by value (on a surface they are about evenly spread), then an
    /// insertion sort puts the few neighbours within a bucket in order.
    void SortFound() {
        const double scale = kBuckets / gathered;
        std::fill(std::begin(bucketStart), std::end(bucketStart), 0u);
        key.resize(std::max(key.size(), found));
        for (std::size_t i = 0; i < found; ++i) {
            key[i] = static_cast<std::uint32_t>(
                std::min(static_cast<double>(dist[i]) * scale, kBuckets - 1.0));
            ++bucketStart[key[i] + 1];
        }
        for (std::size_t b = 1; b <= kBuckets; ++b) {
            bucketStart[b] += bucketStart[b - 1];
        }
        spread.resize(std::max(spread.size(), found));
        for (std::size_t i = 0; i < found; ++i) {
            spread[bucketStart[key[i]]++] = dist[i];
        }
        for (std::size_t i = 0; i < found; ++i) {
            const float v = spread[i];
            std::size_t j = i;
            while (j > 0 && dist[j - 1] > v) {
                dist[j] = dist[j - 1];
                --j;
            }
            dist[j] = v;
        }
    }

    const Grid& grid;
    int k;
    bool wide;  // the wide kernels run here
    std::size_t found = 0;
    double gathered = 0.0;  // the limit of the last gathering
    std::uint32_t bucketStart[kBuckets + 1];
    std::vector<std::uint32_t> key;
    std::vector<float> spread;
    double hint = 0.0;  // the k-th squared distance of the last query
    bool copiesBlocks = false;
    // The block last copied: its cells and their points' coordinates.
    int copiedLo[3] = {0, 0, 0};
    int copiedHi[3] = {0, 0, 0};
    std::size_t copied = 0;
    std::vector<float> blockX, blockY, blockZ;
};

/// For each slot from..to of one cell, how many points of the cell lie at
/// exactly the same place (a camera may report many returns at its origin).
std::vector<std::uint32_t> Repeats(const Grid& grid, std::uint32_t from, std::uint32_t to) {
    using Place = std::array<float, 3>;
    struct PlaceHash {
        std::size_t operator()(const Place& p) const {
            std::size_t h = 0;
            for (const float v : p) {
                std::uint32_t bits;
                std::memcpy(&bits, &v, sizeof bits);
                h = h * 0x9E3779B97F4A7C15ULL + bits;
            }
            return h;
        }
    };
    // Adding 0 makes -0 and +0 one place, as their distance is 0.
    const auto place = [&](std::uint32_t s) {
        return Place{grid.xs[s] + 0.0f, grid.ys[s] + 0.0f, grid.zs[s] + 0.0f};
    };
    std::unordered_map<Place, std::uint32_t, PlaceHash> counts;
    for (std::uint32_t s = from; s < to; ++s) {
        ++counts[place(s)];
    }
    std::vector<std::uint32_t> repeats(to - from);
    for (std::uint32_t s = from; s < to; ++s) {
        repeats[s - from] = counts[place(s)];
    }
    return repeats;
}

}  // namespace

void MeansOfCells(const Grid& grid, int k, std::vector<float>& means, bool wide) {
    const std::size_t cells = grid.start.size() - 1;
    std::atomic<std::size_t> nextChunk{0};
    auto work = [&]() {
        NearestSearch search(grid, k, wide);
        // The roots of a few queries, whose sums (each in ascending order) run
        // side by side; a query missing from a group sums zeros.
        const std::size_t rootCount = static_cast<std::size_t>(k) + 1;
        std::vector<double> roots(kQueriesAtOnce * rootCount, 0.0);
        for (;;) {
            const std::size_t first = nextChunk.fetch_add(kCellsPerChunk);
            if (first >= cells) {
                return;
            }
            const std::size_t last = std::min(first + kCellsPerChunk, cells);
            for (std::size_t c = first; c < last; ++c) {
                const std::uint32_t from = grid.start[c];
                const std::uint32_t to = grid.start[c + 1];
                if (from == to) {
                    continue;
                }
                const int cell[3] = {
                    static_cast<int>(c % grid.dim[0]),
                    static_cast<int>((c / grid.dim[0]) % grid.dim[1]),
                    static_cast<int>(c / (static_cast<std::size_t>(grid.dim[0]) * grid.dim[1]))};
                search.CopyBlocks(to - from >= kLeastCopiedCellPoints);
                const std::vector<std::uint32_t> repeats = to - from > kCrowdedCell
                                                               ? Repeats(grid, from, to)
                                                               : std::vector<std::uint32_t>();
                for (std::uint32_t s = from; s < to;) {
                    std::array<std::uint32_t, kQueriesAtOnce> slot;
                    std::size_t queries = 0;
                    for (; s < to && queries < kQueriesAtOnce; ++s) {
                        // A point repeated more than k times has only zeros among
                        // its nearest distances; searching would read the whole crowd.
                        if (!repeats.empty() && repeats[s - from] > static_cast<std::uint32_t>(k)) {
                            means[s] = 0.0f;
                            continue;
                        }
                        search.Search(grid.xs[s], grid.ys[s], grid.zs[s], cell, 1);
                        search.Roots(roots.data() + queries * rootCount);
                        slot[queries++] = s;
                    }
                    std::fill(roots.begin() + static_cast<std::ptrdiff_t>(queries * rootCount),
                              roots.end(), 0.0);
                    std::array<double, kQueriesAtOnce> sum;
                    sum.fill(0.0);
                    for (std::size_t j = 1; j < rootCount; ++j) {
                        for (std::size_t q = 0; q < kQueriesAtOnce; ++q) {
                            sum[q] += roots[q * rootCount + j];
                        }
                    }
                    for (std::size_t q = 0; q < queries; ++q) {
                        means[slot[q]] = static_cast<float>(sum[q] / k);
                    }
                }
            }
        }
    };
    // Both threads take chunks from the same queue until it is empty.
    BothCores(work, work);
}

double CellSide(const Grid& rough, int k) {
    const std::size_t n = rough.xs.size();
    const std::size_t samples = std::min(kSamples, n);
    NearestSearch search(rough, k, WideKernelsRun());
    std::vector<double> radius;
    radius.reserve(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        const std::size_t s = i * n / samples;
        const int cell[3] = {rough.Key(rough.xs[s], 0), rough.Key(rough.ys[s], 1),
                             rough.Key(rough.zs[s], 2)};
        search.Search(rough.xs[s], rough.ys[s], rough.zs[s], cell, 1);
        radius.push_back(std::sqrt(static_cast<double>(search.dist[k])));
    }
    const std::size_t q = static_cast<std::size_t>(kSampleQuantile * (samples - 1));
    std::nth_element(radius.begin(), radius.begin() + q, radius.end());
    return radius[q];
}

}  // namespace outliers
