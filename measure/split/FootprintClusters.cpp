#include "measure/split/FootprintClusters.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace {

// Cell side as a share of the tolerance: the diagonal stays clearly below the
// tolerance, so any two points of one cell are linked.
constexpr double kCellShare = 0.7;
// Cells whose points can be closer than the tolerance lie at most this many cells apart.
constexpr int kReach = 2;

struct Cell {
    std::vector<int> points;
    float minX, maxX, minY, maxY;
};

class DisjointSets {
public:
    explicit DisjointSets(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int i) {
        while (parent[i] != i) {
            parent[i] = parent[parent[i]];
            i = parent[i];
        }
        return i;
    }
    void join(int a, int b) { parent[find(a)] = find(b); }

private:
    std::vector<int> parent;
};

using CellKey = std::pair<std::int64_t, std::int64_t>;

struct CellKeyHash {
    std::size_t operator()(const CellKey& k) const {
        return std::hash<std::int64_t>()(k.first * 0x9E3779B97F4A7C15LL ^ k.second);
    }
};

// Cell numbers beyond this come only from absurd coordinates or tolerances;
// they are held here rather than overflow.
constexpr double kLargestCell = 4e18;

std::int64_t CellNumber(float coordinate, double side) {
    return static_cast<std::int64_t>(
        std::clamp(std::floor(coordinate / side), -kLargestCell, kLargestCell));
}

}  // namespace

std::vector<std::vector<int>> FootprintClusters::Extract(const PointCloudRGB& cloud,
                                                         float tolerance, std::uint32_t minSize,
                                                         std::uint32_t maxSize) {
    const auto& pts = cloud.points;
    // A squared distance in floats against the squared tolerance, strictly below.
    const float limit = tolerance * tolerance;
    auto linked = [&](int a, int b) {
        const float dx = pts[a].x - pts[b].x;
        const float dy = pts[a].y - pts[b].y;
        return dx * dx + dy * dy < limit;
    };

    std::vector<Cell> cells;
    std::vector<std::int64_t> cellX, cellY;
    std::vector<int> cellOf(pts.size(), -1);
    std::unordered_map<CellKey, int, CellKeyHash> index;
    // Neighbours are found by squared distance, so a negative tolerance links
    // like its magnitude; zero or NaN links nothing.
    const double side = std::fabs(tolerance) > 0 ? std::fabs(tolerance) * kCellShare : 0.0;
    for (int i = 0; i < static_cast<int>(pts.size()); ++i) {
        const auto& p = pts[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
        std::int64_t ix = i, iy = 0;  // without a tolerance every point is alone
        if (side > 0) {
            ix = CellNumber(p.x, side);
            iy = CellNumber(p.y, side);
        }
        auto [it, added] = index.emplace(CellKey(ix, iy), static_cast<int>(cells.size()));
        if (added) {
            cells.push_back({{}, p.x, p.x, p.y, p.y});
            cellX.push_back(ix);
            cellY.push_back(iy);
        }
        Cell& c = cells[it->second];
        c.points.push_back(i);
        c.minX = std::min(c.minX, p.x);
        c.maxX = std::max(c.maxX, p.x);
        c.minY = std::min(c.minY, p.y);
        c.maxY = std::max(c.maxY, p.y);
        cellOf[i] = it->second;
    }

    DisjointSets groups(cells.size());
    if (side > 0) {
        for (int a = 0; a < static_cast<int>(cells.size()); ++a) {
            for (int dx = -kReach; dx <= kReach; ++dx) {
                for (int dy = -kReach; dy <= kReach; ++dy) {
                    const auto it = index.find(CellKey(cellX[a] + dx, cellY[a] + dy));
                    if (it == index.end() || it->second <= a ||
                        groups.find(a) == groups.find(it->second))
                        continue;
                    const Cell& A = cells[a];
                    const Cell& B = cells[it->second];
                    // Only the points near the other cell's box can link the two.
                    auto near = [&](const Cell& from, const Cell& to) {
                        std::vector<int> out;
                        for (int i : from.points) {
                            const float ex =
                                std::max({to.minX - pts[i].x, pts[i].x - to.maxX, 0.0f});
                            const float ey =
                                std::max({to.minY - pts[i].y, pts[i].y - to.maxY, 0.0f});
                            if (ex * ex + ey * ey < limit) out.push_back(i);
                        }
                        return out;
                    };
                    const auto nearA = near(A, B);
                    if (nearA.empty()) continue;
                    const auto nearB = near(B, A);
                    bool found = false;
                    for (int i : nearA) {
                        for (int j : nearB) {
                            if (linked(i, j)) {
                                found = true;
                                break;
                            }
                        }
                        if (found) break;
                    }
                    if (found) groups.join(a, it->second);
                }
            }
        }
    }

    // Points in index order, so every group's list comes out sorted.
    std::unordered_map<int, std::size_t> slot;
    std::vector<std::vector<int>> clusters;
    for (int i = 0; i < static_cast<int>(pts.size()); ++i) {
        if (cellOf[i] < 0) continue;
        const auto [it, added] = slot.emplace(groups.find(cellOf[i]), clusters.size());
        if (added) clusters.emplace_back();
        clusters[it->second].push_back(i);
    }
    clusters.erase(std::remove_if(clusters.begin(), clusters.end(),
                                  [&](const std::vector<int>& c) {
                                      return c.size() < minSize || c.size() > maxSize;
                                  }),
                   clusters.end());
    std::stable_sort(
        clusters.begin(), clusters.end(),
        [](const std::vector<int>& a, const std::vector<int>& b) { return a.size() > b.size(); });
    return clusters;
}
