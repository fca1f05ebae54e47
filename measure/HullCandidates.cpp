#include "measure/HullCandidates.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

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
constexpr int kCells = 16;
// Cells per axis of the blocks that sort the planes first.
constexpr int kBlockCells = 4;
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

/// The points a round looks at: every point of the cloud, or those listed.
class Among {
public:
    explicit Among(std::size_t count) : count(count) {}
    explicit Among(const std::vector<std::uint32_t>& list) : list(&list), count(list.size()) {}
    std::size_t size() const { return count; }
    std::uint32_t operator[](std::size_t s) const {
        return list ? (*list)[s] : static_cast<std::uint32_t>(s);
    }

private:
    const std::vector<std::uint32_t>* list = nullptr;
    std::size_t count;
};

/// Of every stride-th point of `among`, those farthest along each direction,
/// without repeats. Built twice, for 512-bit vectors and for any processor:
/// the directions go side by side.
__attribute__((target_clones("avx512f", "default"))) std::vector<std::uint32_t> Extremes(
    const PointCloudRGB& cloud, const Among& among, int steps, std::size_t stride) {
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
    for (std::size_t s = 0; s < among.size(); s += stride) {
        const std::uint32_t i = among[s];
        const pcl::PointXYZRGB& p = cloud.points[i];
        // Written without branches, so that the directions can go side by side.
        for (std::size_t d = 0; d < m; ++d) {
            const float v = dx[d] * p.x + dy[d] * p.y + dz[d] * p.z;
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

/// Of the points `among`, into `outer`, those not inside the hull of
/// `extremes` (which are kept themselves); false when that hull cannot be built.
bool Outside(const PointCloudRGB& cloud, const Among& among,
             const std::vector<std::uint32_t>& extremes, std::vector<std::uint32_t>& outer) {
    const auto& points = cloud.points;
    auto* coords = static_cast<double*>(std::malloc(extremes.size() * 3 * sizeof(double)));
    if (coords == nullptr) {
        return false;
    }
    double lo[3] = {INFINITY, INFINITY, INFINITY};
    double hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (std::size_t i = 0; i < extremes.size(); ++i) {
        const pcl::PointXYZRGB& p = points[extremes[i]];
        const double xyz[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            coords[3 * i + a] = xyz[a];
            lo[a] = std::min(lo[a], xyz[a]);
            hi[a] = std::max(hi[a], xyz[a]);
        }
    }
    const QhullRun inner(coords, extremes.size(), true);
    if (!inner.Built() || inner.Planes().empty()) {
        return false;
    }
    const PlaneGrid grid(inner.Planes(), lo, hi);
    for (std::size_t s = 0; s < among.size(); ++s) {
        const std::uint32_t i = among[s];
        const pcl::PointXYZRGB& p = points[i];
        if (!grid.Inside(inner.Planes(), p.x, p.y, p.z) ||
            std::binary_search(extremes.begin(), extremes.end(), i)) {
            outer.push_back(i);
        }
    }
    return true;
}

}  // namespace

std::vector<std::uint32_t> HullCandidates::Of(const PointCloudRGB& cloud) {
    const std::size_t n = cloud.points.size();
    std::vector<std::uint32_t> kept;
    bool every = true;  // no round has left out a point yet
    // A coarse inner hull leaves out most points cheaply; finer ones, from
    // and over what is left, most of the rest.
    for (const Round& round : kRounds) {
        if (n < kLeastPoints) {
            break;
        }
        const Among among = every ? Among(n) : Among(kept);
        const std::vector<std::uint32_t> extremes =
            Extremes(cloud, among, round.steps, round.stride);
        std::vector<std::uint32_t> outer;
        if (!Outside(cloud, among, extremes, outer)) {
            break;
        }
        kept.swap(outer);
        every = false;
    }
    return every ? All(n) : kept;
}
