#include "measure/goods/GoodsFoot.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "measure/FloorPlane.h"
#include "measure/goods/FootprintGrid.h"

namespace {

// A cell is the goods' when at least this many of its points below the cut
// stand above the least height, and at least half of them: the
// floor's noise leaves a stray or two in a cell of floor.
constexpr std::size_t kLeastRaised = 2;
// Cells along the longer side at most; a scene wider than that (no camera's)
// is taken in coarser cells.
constexpr double kMostCellsPerSide = 4096.0;

struct Cell {
    std::uint32_t low = 0;     // points below the cut
    std::uint32_t raised = 0;  // of them, above the least height
    bool goods = false;        // holds points the cut keeps
    bool reached = false;

    /// Most of the cell below the cut stands above the least height.
    bool Raised() const { return raised >= kLeastRaised && 2 * raised >= low; }
};

}  // namespace

GoodsFoot::GoodsFoot(const PointCloudRGB& scan, const FloorPlane& floor, const std::vector<bool>& kept,
                     double least) {
    const auto height = [&floor](const pcl::PointXYZRGB& p) {
        return static_cast<double>(floor.Floor()) - static_cast<double>(floor.Along(p.x, p.y, p.z));
    };
    double lo[2] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    double hi[2] = {-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
    std::vector<FootprintGrid::Point> goods;
    for (std::size_t i = 0; i < scan.points.size(); ++i) {
        const pcl::PointXYZRGB& p = scan.points[i];
        if (!pcl::isFinite(p) || !(kept[i] || height(p) > least)) {
            continue;
        }
        lo[0] = std::min(lo[0], static_cast<double>(p.x));
        lo[1] = std::min(lo[1], static_cast<double>(p.y));
        hi[0] = std::max(hi[0], static_cast<double>(p.x));
        hi[1] = std::max(hi[1], static_cast<double>(p.y));
        if (kept[i]) {
            goods.push_back({p.x, p.y});
        }
    }
    if (goods.empty()) {
        return;
    }
    double cell = kCell;
    const double extent = std::max(hi[0] - lo[0], hi[1] - lo[1]);
    if (extent / cell > kMostCellsPerSide - 3) {
        cell = extent / (kMostCellsPerSide - 3);
    }
    // One cell of margin on every side, so that every cell has eight neighbours.
    const auto nx = static_cast<std::size_t>((hi[0] - lo[0]) / cell) + 3;
    const auto ny = static_cast<std::size_t>((hi[1] - lo[1]) / cell) + 3;
    const auto cellOf = [&](const pcl::PointXYZRGB& p, std::size_t& at) {
        const double fx = std::floor((p.x - lo[0]) / cell) + 1.0;
        const double fy = std::floor((p.y - lo[1]) / cell) + 1.0;
        if (!(fx >= 1.0 && fy >= 1.0 && fx < static_cast<double>(nx - 1) && fy < static_cast<double>(ny - 1))) {
            return false;
        }
        at = static_cast<std::size_t>(fy) * nx + static_cast<std::size_t>(fx);
        return true;
    };
    std::vector<Cell> cells(nx * ny);
    for (std::size_t i = 0; i < scan.points.size(); ++i) {
        const pcl::PointXYZRGB& p = scan.points[i];
        std::size_t at = 0;
        if (!pcl::isFinite(p) || !cellOf(p, at)) {
            continue;
        }
        if (kept[i]) {
            cells[at].goods = true;
        } else {
            ++cells[at].low;
            cells[at].raised += height(p) > least;
        }
    }
    // From the goods' cells through the cells of their foot.
    std::vector<std::size_t> front;
    for (std::size_t at = 0; at < cells.size(); ++at) {
        if (cells[at].goods) {
            cells[at].reached = true;
            front.push_back(at);
        }
    }
    const long step[8] = {-1, 1, -static_cast<long>(nx), static_cast<long>(nx),
                          -static_cast<long>(nx) - 1, -static_cast<long>(nx) + 1,
                          static_cast<long>(nx) - 1, static_cast<long>(nx) + 1};
    while (!front.empty()) {
        const std::size_t at = front.back();
        front.pop_back();
        for (const long s : step) {
            const auto next = static_cast<std::size_t>(static_cast<long>(at) + s);
            Cell& c = cells[next];
            if (!c.reached && c.Raised()) {
                c.reached = true;
                front.push_back(next);
            }
        }
    }
    const FootprintGrid footprint(goods, cell, 1);
    for (std::size_t i = 0; i < scan.points.size(); ++i) {
        const pcl::PointXYZRGB& p = scan.points[i];
        std::size_t at = 0;
        if (kept[i] || !pcl::isFinite(p) || !(height(p) > least) || !cellOf(p, at) || !cells[at].reached ||
            !cells[at].Raised()) {
            continue;
        }
        points.push_back(static_cast<std::uint32_t>(i));
        beyond += !footprint.Covers(p.x, p.y);
    }
}
