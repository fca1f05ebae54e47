#include "measure/HullCandidates.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <utility>

#include "measure/QhullRun.h"

namespace {

// Below this many points the whole cloud goes to the hull.
constexpr std::size_t kLeastPoints = 4096;
// The rounds of inner hulls, each over the points the one before left: the
// directions whose farthest points span it, every (i, j, k) with whole
// components in -steps..steps on the surface of that cube (26, 98, 218
// directions), and the stride of the points searched for them (any points of
// the cloud will do; the next round makes up for what a coarse one misses).
struct Round {
    int steps;
    std::size_t stride;
};
constexpr Round kRounds[] = {{1, 8}, {2, 2}, {3, 1}};
// Points weighed against the inner hull's planes at a time: their
// coordinates stay in the first-level cache while every plane passes.
constexpr std::size_t kBlockPoints = 256;
// The planes' scale for the first, single-precision look at a block: a
// float evaluation of a plane's distance lies within five float roundings
// (3e-7) of the sum of its terms' sizes, well inside this share of it.
constexpr double kRoughShare = 1e-6;
// Floats from one point of the cloud to the next.
constexpr std::size_t kCloudStep = 8;

using Planes = std::vector<QhullRun::Plane>;

/// Directions (i, j, k) with whole components in -steps..steps, on the surface of that cube.
std::vector<float> Directions(int steps) {
    std::vector<float> directions;
    for (int i = -steps; i <= steps; ++i) {
        for (int j = -steps; j <= steps; ++j) {
            for (int k = -steps; k <= steps; ++k) {
                if (std::max({std::abs(i), std::abs(j), std::abs(k)}) == steps) {
                    directions.insert(
                        directions.end(),
                        {static_cast<float>(i), static_cast<float>(j), static_cast<float>(k)});
                }
            }
        }
    }
    return directions;
}

/// The points a round looks at: `count` points whose x, y and z start every
/// `step` floats from `xyz` (the cloud itself, or a compact copy of the points
/// a round kept), and their indices in the cloud (none: the same as their
/// place).
struct View {
    const float* xyz;
    std::size_t step;
    std::size_t count;
    const std::vector<std::uint32_t>* index;

    const float* At(std::size_t s) const { return xyz + s * step; }
    std::uint32_t Index(std::size_t s) const {
        return index ? (*index)[s] : static_cast<std::uint32_t>(s);
    }
};

/// The points that a round kept, their coordinates side by side.
struct Kept {
    std::vector<float> xyz;
    std::vector<std::uint32_t> index;

    View Points() const { return View{xyz.data(), 3, index.size(), &index}; }
};

/// Of every stride-th point of `among`, the places of those farthest along
/// each direction, without repeats. Built twice, for 512-bit vectors and for
/// any processor: the directions go side by side.
__attribute__((target_clones("avx512f", "default"))) std::vector<std::uint32_t> Extremes(
    const View& among, int steps, std::size_t stride) {
    const std::vector<float> directions = Directions(steps);
    const std::size_t m = directions.size() / 3;
    std::vector<float> dx(m), dy(m), dz(m);
    for (std::size_t d = 0; d < m; ++d) {
        dx[d] = directions[3 * d];
        dy[d] = directions[3 * d + 1];
        dz[d] = directions[3 * d + 2];
    }
    std::vector<float> best(m, -INFINITY);
    std::vector<std::uint32_t> at(m, 0);
    for (std::size_t s = 0; s < among.count; s += stride) {
        const auto i = static_cast<std::uint32_t>(s);
        const float* p = among.At(s);
        // Written without branches, so that the directions can go side by side.
        for (std::size_t d = 0; d < m; ++d) {
            const float v = dx[d] * p[0] + dy[d] * p[1] + dz[d] * p[2];
            const float b = best[d];
            const std::uint32_t further = 0u - static_cast<std::uint32_t>(v > b);
            best[d] = v > b ? v : b;
            at[d] = (i & further) | (at[d] & ~further);
        }
    }
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
    return at;
}

/// The inner hull's planes, each coefficient side by side with the same one
/// of the other planes, so that the points of a block fill the vector lanes.
template <typename T>
struct PlaneRows {
    std::vector<T> nx, ny, nz, offset;
};

PlaneRows<double> Rows(const Planes& planes) {
    PlaneRows<double> rows;
    for (const QhullRun::Plane& plane : planes) {
        rows.nx.push_back(plane.normal[0]);
        rows.ny.push_back(plane.normal[1]);
        rows.nz.push_back(plane.normal[2]);
        rows.offset.push_back(plane.offset);
    }
    return rows;
}

/// The planes in single precision, each divided by kRoughShare of the largest
/// sum of its terms' sizes over the box lo..hi: a point of the box is beyond
/// a plane for certain where this plane's distance exceeds 1, and within it
/// where the distance is below -1. False when some plane has no such scale.
bool RoughRows(const Planes& planes, const double lo[3], const double hi[3],
               PlaneRows<float>& rows) {
    double most[3];
    for (int a = 0; a < 3; ++a) {
        most[a] = std::max(std::fabs(lo[a]), std::fabs(hi[a]));
    }
    for (const QhullRun::Plane& plane : planes) {
        const double scale =
            kRoughShare *
            (std::fabs(plane.normal[0]) * most[0] + std::fabs(plane.normal[1]) * most[1] +
             std::fabs(plane.normal[2]) * most[2] + std::fabs(plane.offset));
        if (!(scale > 0.0) || !std::isfinite(scale)) {
            return false;
        }
        const float row[4] = {static_cast<float>(plane.normal[0] / scale),
                              static_cast<float>(plane.normal[1] / scale),
                              static_cast<float>(plane.normal[2] / scale),
                              static_cast<float>(plane.offset / scale)};
        for (const float v : row) {
            if (!std::isfinite(v)) {
                return false;
            }
        }
        rows.nx.push_back(row[0]);
        rows.ny.push_back(row[1]);
        rows.nz.push_back(row[2]);
        rows.offset.push_back(row[3]);
    }
    return true;
}

/// A block of points, their coordinates side by side.
template <typename T>
struct Block {
    T x[kBlockPoints];
    T y[kBlockPoints];
    T z[kBlockPoints];
    /// The farthest any point lies above a plane; above 0 outside the hull.
    T above[kBlockPoints];
};

/// Fills `above` for the first `count` points of `block`: beyond the box
/// `lo`..`hi` of the inner hull's points is beyond the hull, else the most any
/// plane's distance reaches.
template <typename T>
__attribute__((always_inline)) inline void WeighBlock(Block<T>& block, std::size_t count,
                                                      const PlaneRows<T>& planes, const T lo[3],
                                                      const T hi[3]) {
    const T far = std::numeric_limits<T>::infinity();
    for (std::size_t j = 0; j < count; ++j) {
        const bool within = block.x[j] >= lo[0] && block.x[j] <= hi[0] && block.y[j] >= lo[1] &&
                            block.y[j] <= hi[1] && block.z[j] >= lo[2] && block.z[j] <= hi[2];
        block.above[j] = within ? -far : far;
    }
    for (std::size_t f = 0; f < planes.offset.size(); ++f) {
        const T nx = planes.nx[f];
        const T ny = planes.ny[f];
        const T nz = planes.nz[f];
        const T offset = planes.offset[f];
        for (std::size_t j = 0; j < count; ++j) {
            const T v = nx * block.x[j] + ny * block.y[j] + nz * block.z[j] + offset;
            block.above[j] = v > block.above[j] ? v : block.above[j];
        }
    }
}

// Both built twice, for 512-bit vectors and for any processor: the points go
// side by side, sixteen floats or eight doubles to a vector.
__attribute__((target_clones("avx512f", "default"))) void Weigh(Block<double>& block,
                                                                std::size_t count,
                                                                const PlaneRows<double>& planes,
                                                                const double lo[3],
                                                                const double hi[3]) {
    WeighBlock(block, count, planes, lo, hi);
}
__attribute__((target_clones("avx512f", "default"))) void Weigh(Block<float>& block,
                                                                std::size_t count,
                                                                const PlaneRows<float>& planes,
                                                                const float lo[3],
                                                                const float hi[3]) {
    WeighBlock(block, count, planes, lo, hi);
}

std::vector<std::uint32_t> All(std::size_t n) {
    std::vector<std::uint32_t> all(n);
    for (std::size_t i = 0; i < n; ++i) {
        all[i] = static_cast<std::uint32_t>(i);
    }
    return all;
}

/// Of the points `among`, into `outer`, those not inside the hull of the
/// points at the places `extremes` (which are kept themselves); false when
/// that hull cannot be built.
bool Outside(const View& among, const std::vector<std::uint32_t>& extremes, Kept& outer) {
    auto* coords = static_cast<double*>(std::malloc(extremes.size() * 3 * sizeof(double)));
    if (coords == nullptr) {
        return false;
    }
    double lo[3] = {INFINITY, INFINITY, INFINITY};
    double hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (std::size_t i = 0; i < extremes.size(); ++i) {
        const float* p = among.At(extremes[i]);
        for (int a = 0; a < 3; ++a) {
            coords[3 * i + a] = p[a];
            lo[a] = std::min(lo[a], coords[3 * i + a]);
            hi[a] = std::max(hi[a], coords[3 * i + a]);
        }
    }
    const QhullRun inner(coords, extremes.size(), true);
    if (!inner.Built() || inner.Planes().empty()) {
        return false;
    }
    const PlaneRows<double> planes = Rows(inner.Planes());
    // Each block in floats first; only the points that lie too near a plane
    // for the floats to tell go through the doubles.
    PlaneRows<float> rough;
    const bool roughly = RoughRows(inner.Planes(), lo, hi, rough);
    const float roughLo[3] = {static_cast<float>(lo[0]), static_cast<float>(lo[1]),
                              static_cast<float>(lo[2])};
    const float roughHi[3] = {static_cast<float>(hi[0]), static_cast<float>(hi[1]),
                              static_cast<float>(hi[2])};
    std::vector<std::uint32_t> places;
    Block<float> first;
    Block<double> exact;
    std::uint32_t near[kBlockPoints];
    for (std::size_t from = 0; from < among.count; from += kBlockPoints) {
        const std::size_t count = std::min(kBlockPoints, among.count - from);
        std::size_t nearCount = 0;
        if (roughly) {
            for (std::size_t j = 0; j < count; ++j) {
                const float* p = among.At(from + j);
                first.x[j] = p[0];
                first.y[j] = p[1];
                first.z[j] = p[2];
            }
            Weigh(first, count, rough, roughLo, roughHi);
            for (std::size_t j = 0; j < count; ++j) {
                if (!(first.above[j] > 1.0f) && !(first.above[j] < -1.0f)) {
                    near[nearCount++] = static_cast<std::uint32_t>(j);
                }
            }
        } else {
            for (std::size_t j = 0; j < count; ++j)
                near[nearCount++] = static_cast<std::uint32_t>(j);
        }
        for (std::size_t k = 0; k < nearCount; ++k) {
            const float* p = among.At(from + near[k]);
            exact.x[k] = p[0];
            exact.y[k] = p[1];
            exact.z[k] = p[2];
        }
        Weigh(exact, nearCount, planes, lo, hi);
        std::size_t k = 0;
        for (std::size_t j = 0; j < count; ++j) {
            const bool decided = k == nearCount || near[k] != j;
            const bool out = decided ? first.above[j] > 1.0f : exact.above[k++] > 0;
            if (out) {
                places.push_back(static_cast<std::uint32_t>(from + j));
            }
        }
    }
    // The extremes merged in after, so that the points inside need not be
    // looked up among them one by one.
    const auto inside = static_cast<std::ptrdiff_t>(places.size());
    places.insert(places.end(), extremes.begin(), extremes.end());
    std::inplace_merge(places.begin(), places.begin() + inside, places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    // Copied side by side: the next round reads them often.
    outer.xyz.resize(3 * places.size());
    outer.index.resize(places.size());
    for (std::size_t k = 0; k < places.size(); ++k) {
        const float* p = among.At(places[k]);
        std::copy(p, p + 3, outer.xyz.begin() + static_cast<std::ptrdiff_t>(3 * k));
        outer.index[k] = among.Index(places[k]);
    }
    return true;
}

}  // namespace

std::vector<std::uint32_t> HullCandidates::Of(const PointCloudRGB& cloud) {
    const std::size_t n = cloud.points.size();
    // x, y and z lead each point of the cloud, a point every kCloudStep floats.
    static_assert(offsetof(pcl::PointXYZRGB, x) == 0 && offsetof(pcl::PointXYZRGB, y) == 4 &&
                      offsetof(pcl::PointXYZRGB, z) == 8 &&
                      sizeof(pcl::PointXYZRGB) == kCloudStep * sizeof(float),
                  "the point layout read below");
    Kept kept;
    bool every = true;  // no round has left out a point yet
    // A coarse inner hull leaves out most points cheaply; finer ones, from
    // and over what is left, most of the rest.
    for (const Round& round : kRounds) {
        if (n < kLeastPoints) {
            break;
        }
        const View among = every ? View{&cloud.points[0].x, kCloudStep, n, nullptr} : kept.Points();
        const std::vector<std::uint32_t> extremes = Extremes(among, round.steps, round.stride);
        Kept outer;
        if (!Outside(among, extremes, outer)) {
            break;
        }
        kept = std::move(outer);
        every = false;
    }
    return every ? All(n) : kept.index;
}
