// Built with -ffp-contract=off: a fused multiply-add would round the squared
// distances differently from the reference filter and move points across
// the threshold.
#include "measure/StatisticalOutliers.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "cloud/BothCores.h"

namespace {

// The grid may hold at most this many cells per point (plus a few): a cloud
// with a far-away stray point gets coarser cells rather than a huge grid.
constexpr std::size_t kCellsPerPoint = 2;
constexpr std::size_t kSpareCells = 4096;
// Points whose neighbour radius sets the cell side; the quantile keeps most
// searches inside the 3 x 3 x 3 block around their cell.
constexpr std::size_t kSamples = 64;
constexpr double kSampleQuantile = 0.75;
constexpr double kRebuildRatio = 1.25;
// A squared distance in floats may lie this much (relative) below the true
// one; the cell bound is shrunk by it so that no point outside a block can
// be nearer than the neighbours found inside.
constexpr double kBoundMargin = 1e-5;
constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kCellsPerChunk = 256;
// One point in this many may lie outside the grid's box on each side of an axis.
constexpr std::size_t kStrayShare = 1000;
// Cells with more points than this are checked for points repeated in place.
constexpr std::uint32_t kCrowdedCell = 512;
// Buckets of the sort of a query's nearest distances.
constexpr std::size_t kBuckets = 64;
// Squared-distance widening of the previous query's k-th neighbour.
constexpr double kHintWidening = 1.2;

struct Box {
    float lo[3];
    float hi[3];
};

/// The finite points sorted into a uniform grid of cubic cells; the points
/// of the cells of one x row lie next to each other, so a block of cells is
/// read as one range per (y, z) row.
class Grid {
public:
    Grid(const std::vector<float>& px, const std::vector<float>& py, const std::vector<float>& pz,
         const Box& box, double side)
        : origin{box.lo[0], box.lo[1], box.lo[2]} {
        const std::size_t n = px.size();
        const std::size_t cap = kCellsPerPoint * n + kSpareCells;
        double extent[3];
        for (int a = 0; a < 3; ++a) {
            extent[a] = static_cast<double>(box.hi[a]) - static_cast<double>(box.lo[a]);
        }
        h = side > 0 && std::isfinite(side) ? side : 1.0;
        for (;;) {
            double cells = 1.0;
            for (int a = 0; a < 3; ++a) {
                cells *= std::floor(extent[a] / h) + 1.0;
            }
            if (cells <= static_cast<double>(cap)) {
                break;
            }
            h *= std::cbrt(cells / static_cast<double>(cap)) * 1.01;
        }
        for (int a = 0; a < 3; ++a) {
            dim[a] = static_cast<int>(std::floor(extent[a] / h)) + 1;
        }

        std::vector<std::uint32_t> cellOf(n);
        start.assign(static_cast<std::size_t>(dim[0]) * dim[1] * dim[2] + 1, 0);
        for (std::size_t i = 0; i < n; ++i) {
            cellOf[i] = static_cast<std::uint32_t>(
                Id(Key(px[i], 0), Key(py[i], 1), Key(pz[i], 2)));
            ++start[cellOf[i] + 1];
        }
        for (std::size_t c = 1; c < start.size(); ++c) {
            start[c] += start[c - 1];
        }
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        xs.resize(n);
        ys.resize(n);
        zs.resize(n);
        slotOf.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t s = next[cellOf[i]]++;
            xs[s] = px[i];
            ys[s] = py[i];
            zs[s] = pz[i];
            slotOf[s] = static_cast<std::uint32_t>(i);
        }
    }

    /// The cell number of a coordinate along one axis.
    int Key(float v, int axis) const {
        const double k = std::floor((static_cast<double>(v) - origin[axis]) / h);
        return static_cast<int>(std::clamp(k, 0.0, static_cast<double>(dim[axis] - 1)));
    }
    std::size_t Id(int ix, int iy, int iz) const {
        return static_cast<std::size_t>(ix) +
               static_cast<std::size_t>(dim[0]) *
                   (static_cast<std::size_t>(iy) + static_cast<std::size_t>(dim[1]) * iz);
    }

    double h = 1.0;
    double origin[3];
    int dim[3] = {1, 1, 1};
    std::vector<std::uint32_t> start;  // first slot of each cell, one past the end last
    std::vector<float> xs, ys, zs;     // the points in cell order
    std::vector<std::uint32_t> slotOf;  // index among the finite points of each slot
};

/// The k nearest squared distances of queries, exactly, with reused buffers.
class NearestSearch {
public:
    NearestSearch(const Grid& grid, int k) : grid(grid), k(k) {}

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
                if (found <= kBuckets * 4 && std::isfinite(gathered) && gathered > 0) {
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

    /// The mean of the square roots of the k nearest squared distances
    /// (the query itself, first at 0, left out), summed in ascending order.
    float Mean() const {
        double sum = 0.0;
        for (int j = 1; j <= k; ++j) {
            sum += std::sqrt(static_cast<double>(dist[j]));
        }
        return static_cast<float>(sum / k);
    }

    std::vector<float> dist;  // the first `found` entries are the gathered distances

private:
    /// The squared distances from (x, y, z) to the points of the cells
    /// lo..hi that do not exceed `limit`, in `dist`.
    void Gather(float x, float y, float z, const int lo[3], const int hi[3], double limit) {
        std::size_t total = 0;
        for (int iz = lo[2]; iz <= hi[2]; ++iz) {
            for (int iy = lo[1]; iy <= hi[1]; ++iy) {
                total += grid.start[grid.Id(hi[0], iy, iz) + 1] - grid.start[grid.Id(lo[0], iy, iz)];
            }
        }
        if (dist.size() < total) {
            dist.resize(total);
        }
        float* out = dist.data();
        std::size_t m = 0;
        const float* gx = grid.xs.data();
        const float* gy = grid.ys.data();
        const float* gz = grid.zs.data();
        for (int iz = lo[2]; iz <= hi[2]; ++iz) {
            for (int iy = lo[1]; iy <= hi[1]; ++iy) {
                const std::uint32_t from = grid.start[grid.Id(lo[0], iy, iz)];
                const std::uint32_t to = grid.start[grid.Id(hi[0], iy, iz) + 1];
                for (std::uint32_t j = from; j < to; ++j) {
                    const float dx = x - gx[j];
                    const float dy = y - gy[j];
                    const float dz = z - gz[j];
                    const float d = dx * dx + dy * dy + dz * dz;
                    out[m] = d;
                    m += static_cast<double>(d) <= limit ? 1 : 0;
                }
            }
        }
        found = m;
        gathered = limit;
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
    std::size_t found = 0;
    double gathered = 0.0;  // the limit of the last gathering
    std::uint32_t bucketStart[kBuckets + 1];
    std::vector<std::uint32_t> key;
    std::vector<float> spread;
    double hint = 0.0;  // the k-th squared distance of the last query
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

/// The box of all points but the few farthest out on each axis. A stray
/// point metres away would otherwise stretch the grid and coarsen its cells
/// for everyone; outside the box, points join the outermost cells, which
/// keeps the cells' order along every axis and so the search exact.
Box CoreBox(const std::vector<float>& px, const std::vector<float>& py, const std::vector<float>& pz) {
    const std::size_t n = px.size();
    const std::size_t skip = n / kStrayShare;
    Box box;
    const std::vector<float>* axes[3] = {&px, &py, &pz};
    std::vector<float> values;
    for (int a = 0; a < 3; ++a) {
        values = *axes[a];
        std::nth_element(values.begin(), values.begin() + skip, values.end());
        box.lo[a] = values[skip];
        std::nth_element(values.begin(), values.end() - 1 - skip, values.end());
        box.hi[a] = values[n - 1 - skip];
    }
    return box;
}

/// The finite points' mean neighbour distances, in the order of the grid's slots.
void MeansOfCells(const Grid& grid, int k, std::vector<float>& means) {
    const std::size_t cells = grid.start.size() - 1;
    std::atomic<std::size_t> nextChunk{0};
    auto work = [&]() {
        NearestSearch search(grid, k);
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
                const int cell[3] = {static_cast<int>(c % grid.dim[0]),
                                     static_cast<int>((c / grid.dim[0]) % grid.dim[1]),
                                     static_cast<int>(c / (static_cast<std::size_t>(grid.dim[0]) * grid.dim[1]))};
                const std::vector<std::uint32_t> repeats =
                    to - from > kCrowdedCell ? Repeats(grid, from, to) : std::vector<std::uint32_t>();
                for (std::uint32_t s = from; s < to; ++s) {
                    // A point repeated more than k times has only zeros among
                    // its nearest distances; searching would read the whole crowd.
                    if (!repeats.empty() && repeats[s - from] > static_cast<std::uint32_t>(k)) {
                        means[s] = 0.0f;
                        continue;
                    }
                    search.Search(grid.xs[s], grid.ys[s], grid.zs[s], cell, 1);
                    means[s] = search.Mean();
                }
            }
        }
    };
    // Both threads take chunks from the same queue until it is empty.
    BothCores(work, work);
}

/// The side of the cells: the typical distance of a point's k-th neighbour,
/// measured on a few points of a first, roughly sized grid.
double CellSide(const Grid& rough, int k) {
    const std::size_t n = rough.xs.size();
    const std::size_t samples = std::min(kSamples, n);
    NearestSearch search(rough, k);
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

}  // namespace

std::vector<float> StatisticalOutliers::MeanDistances(const PointCloudRGB& cloud) const {
    const auto& points = cloud.points;
    std::vector<float> px, py, pz;
    std::vector<std::size_t> finiteIndex;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& p = points[i];
        if (!pcl::isFinite(p)) {
            continue;
        }
        px.push_back(p.x);
        py.push_back(p.y);
        pz.push_back(p.z);
        finiteIndex.push_back(i);
    }
    const std::size_t n = px.size();
    if (meanK < 1 || n < static_cast<std::size_t>(meanK) + 1) {
        return {};
    }
    const Box box = CoreBox(px, py, pz);

    // First guess: the points spread over the faces of their bounding box.
    double e[3];
    for (int a = 0; a < 3; ++a) {
        e[a] = static_cast<double>(box.hi[a]) - static_cast<double>(box.lo[a]);
    }
    const double area = 2.0 * (e[0] * e[1] + e[1] * e[2] + e[2] * e[0]);
    const double longest = std::max({e[0], e[1], e[2]});
    double side = area > 0 ? std::sqrt(area * meanK / (kPi * static_cast<double>(n)))
                           : longest * meanK / static_cast<double>(n);
    const Grid rough(px, py, pz, box, side);
    const double measured = CellSide(rough, meanK);
    const bool resize =
        measured > 0 && (measured > rough.h * kRebuildRatio || measured * kRebuildRatio < rough.h);
    std::optional<Grid> resized;
    if (resize) {
        resized.emplace(px, py, pz, box, measured);
    }
    const Grid& grid = resized ? *resized : rough;

    std::vector<float> slotMeans(n);
    MeansOfCells(grid, meanK, slotMeans);
    std::vector<float> means(points.size(), 0.0f);
    for (std::size_t s = 0; s < n; ++s) {
        means[finiteIndex[grid.slotOf[s]]] = slotMeans[s];
    }
    return means;
}

std::vector<int> StatisticalOutliers::Inliers(const PointCloudRGB& cloud) const {
    const std::vector<float> distances = MeanDistances(cloud);
    std::vector<int> kept;
    if (distances.empty()) {
        kept.resize(cloud.points.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            kept[i] = static_cast<int>(i);
        }
        return kept;
    }

    // The statistics run in the reference's order and precision: every
    // point's distance in index order, the square taken in float.
    const auto valid = std::count_if(cloud.points.begin(), cloud.points.end(),
                                     [](const pcl::PointXYZRGB& p) { return pcl::isFinite(p); });
    double sum = 0.0;
    double squares = 0.0;
    for (const float d : distances) {
        sum += d;
        squares += d * d;
    }
    const double count = static_cast<double>(valid);
    const double mean = sum / count;
    const double variance = (squares - sum * sum / count) / (count - 1.0);
    const double threshold = mean + stddevMul * std::sqrt(variance);

    kept.reserve(distances.size());
    for (std::size_t i = 0; i < distances.size(); ++i) {
        if (!(distances[i] > threshold)) {
            kept.push_back(static_cast<int>(i));
        }
    }
    return kept;
}
