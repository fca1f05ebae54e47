#include "measure/HullCandidates.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
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
// Cells per axis of the grid that sorts the inner hull's planes by place.
constexpr int kCells = 32;
// Cells per axis of the blocks that sort the planes first.
constexpr int kBlockCells = 4;
// Floats from one point of the cloud to the next.
constexpr std::size_t kCloudStep = 8;
// A cell is widened by this share of its side, so that a point that the
// rounding of its cell number puts beside its cell still lies within it.
constexpr double kCellWidening = 1e-6;

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

/// The largest value of a plane's distance over a box.
double MostAbove(const QhullRun::Plane& plane, const double lo[3], const double hi[3]) {
    double v = plane.offset;
    for (int a = 0; a < 3; ++a) {
        v += plane.normal[a] * (plane.normal[a] > 0 ? hi[a] : lo[a]);
    }
    return v;
}

/// The inner hull's planes that cut each cell of a grid over the box of the
/// hull's points: a point of a cell lies inside the hull when it lies inside those.
class PlaneGrid {
public:
    PlaneGrid(const Planes& planes, const double lo[3], const double hi[3]) {
        for (int a = 0; a < 3; ++a) {
            origin[a] = lo[a];
            end[a] = hi[a];
            side[a] = (hi[a] - lo[a]) / kCells;
            scale[a] = side[a] > 0 ? 1.0 / side[a] : 0.0;
        }
        // The blocks of cells first, against every plane; then each cell of
        // a block against the planes that cut the block.
        std::vector<std::uint32_t> every(planes.size());
        for (std::size_t f = 0; f < planes.size(); ++f) {
            every[f] = static_cast<std::uint32_t>(f);
        }
        constexpr int kBlocks = kCells / kBlockCells;
        std::vector<std::vector<std::uint32_t>> blockCutting(kBlocks * kBlocks * kBlocks);
        std::vector<bool> blockOutside(blockCutting.size(), false);
        for (int b = 0; b < kBlocks * kBlocks * kBlocks; ++b) {
            const int at[3] = {kBlockCells * (b % kBlocks), kBlockCells * ((b / kBlocks) % kBlocks),
                               kBlockCells * (b / (kBlocks * kBlocks))};
            blockOutside[b] = Classify(planes, every, at, kBlockCells, blockCutting[b]);
        }
        first.assign(kCells * kCells * kCells + 1, 0);
        outside.assign(kCells * kCells * kCells, false);
        for (int c = 0; c < kCells * kCells * kCells; ++c) {
            const int at[3] = {c % kCells, (c / kCells) % kCells, c / (kCells * kCells)};
            const int b = at[0] / kBlockCells +
                          kBlocks * (at[1] / kBlockCells + kBlocks * (at[2] / kBlockCells));
            outside[c] = blockOutside[b] || Classify(planes, blockCutting[b], at, 1, cutting);
            first[c + 1] = static_cast<std::uint32_t>(cutting.size());
        }
    }

    /// True when (x, y, z) lies inside or on every plane of its cell.
    bool Inside(const Planes& planes, float x, float y, float z) const {
        const double p[3] = {x, y, z};
        int c = 0;
        int stride = 1;
        for (int a = 0; a < 3; ++a) {
            // Beyond the box of the inner hull's points is beyond the hull;
            // within it, the cell number is never negative.
            if (!(p[a] >= origin[a] && p[a] <= end[a])) {
                return false;
            }
            const int k = static_cast<int>((p[a] - origin[a]) * scale[a]);
            c += stride * std::min(k, kCells - 1);
            stride *= kCells;
        }
        if (outside[c]) {
            return false;
        }
        for (std::uint32_t i = first[c]; i < first[c + 1]; ++i) {
            const QhullRun::Plane& plane = planes[cutting[i]];
            if (plane.normal[0] * p[0] + plane.normal[1] * p[1] + plane.normal[2] * p[2] +
                    plane.offset >
                0) {
                return false;
            }
        }
        return true;
    }

private:
    /// Whether the box of `cells` cells from cell `at` lies beyond one of
    /// the `candidates` planes; if not, appends those that cut it to `cut`.
    bool Classify(const Planes& planes, const std::vector<std::uint32_t>& candidates,
                  const int at[3], int cells, std::vector<std::uint32_t>& cut) const {
        double boxLo[3];
        double boxHi[3];
        for (int a = 0; a < 3; ++a) {
            const double widen = kCellWidening * side[a];
            boxLo[a] = origin[a] + at[a] * side[a] - widen;
            boxHi[a] = origin[a] + (at[a] + cells) * side[a] + widen;
        }
        const std::size_t from = cut.size();
        for (const std::uint32_t f : candidates) {
            const QhullRun::Plane& plane = planes[f];
            // The box's lowest point on the plane's normal: above the
            // plane, the whole box lies outside the hull.
            const QhullRun::Plane flipped = {{-plane.normal[0], -plane.normal[1], -plane.normal[2]},
                                             -plane.offset};
            if (-MostAbove(flipped, boxLo, boxHi) > 0) {
                cut.resize(from);
                return true;
            }
            if (MostAbove(plane, boxLo, boxHi) >= 0) {
                cut.push_back(f);
            }
        }
        return false;
    }

    double origin[3];
    double end[3];
    double side[3];
    double scale[3];
    std::vector<std::uint32_t> first;
    std::vector<bool> outside;
    std::vector<std::uint32_t> cutting;
};

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
    const PlaneGrid grid(inner.Planes(), lo, hi);
    std::vector<std::uint32_t> places;
    for (std::size_t s = 0; s < among.count; ++s) {
        const float* p = among.At(s);
        if (!grid.Inside(inner.Planes(), p[0], p[1], p[2])) {
            places.push_back(static_cast<std::uint32_t>(s));
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
