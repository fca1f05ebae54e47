#include "tools/calibrate/floor/FloorZoneFit.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Cells about two points' spacing wide hold a few points each, so that the
// floor's grid has no holes where a camera returns all its pixels; a grid of
// a scene too wide for it (no station's) is taken in coarser cells.
constexpr double kPointsPerCellSide = 2.0;
constexpr double kMostCellsPerSide = 4096.0;

/// The extent of some points along one axis; empty until a point is added.
struct Span {
    double lo = std::numeric_limits<double>::max();
    double hi = -std::numeric_limits<double>::max();

    bool Empty() const { return lo > hi; }
    void Add(double low, double high) {
        lo = std::min(lo, low);
        hi = std::max(hi, high);
    }
    void Clip(const Span& other) {
        lo = std::max(lo, other.lo);
        hi = std::min(hi, other.hi);
    }
};

/// One cell of the floor's grid: its points and their extent along x and y.
struct GridCell {
    std::size_t count = 0;
    Span x, y;
};

}  // namespace

bool FloorZoneFit::Needed(const PointCloudRGB& scan) {
    return !(scan.height > 1 && scan.width > 1 &&
             scan.points.size() == static_cast<std::size_t>(scan.width) * scan.height);
}

FloorZoneFit::FloorZoneFit(const PointCloudRGB& scan, double a, double b, double c, double d) {
    const double floor = -d;
    std::vector<std::array<double, 2>> met;  // where the floor points' rays meet the plane
    Span all[2];
    for (const pcl::PointXYZRGB& p : scan.points) {
        if (!pcl::isFinite(p)) {
            continue;
        }
        const double along = a * p.x + b * p.y + c * p.z;
        if (std::fabs(along - floor) > kFloorBand || !(along > 0.0)) {
            continue;
        }
        const double scale = floor / along;
        met.push_back({p.x * scale, p.y * scale});
        all[0].Add(met.back()[0], met.back()[0]);
        all[1].Add(met.back()[1], met.back()[1]);
    }
    points = met.size();
    if (points < kMinPoints) {
        return;
    }
    const double width = all[0].hi - all[0].lo;
    const double depth = all[1].hi - all[1].lo;
    cell = std::max(kPointsPerCellSide * std::sqrt(width * depth / static_cast<double>(points)),
                    std::max(width, depth) / (kMostCellsPerSide - 1.0));
    if (!(cell > 0.0)) {
        return;
    }
    const std::size_t nx = static_cast<std::size_t>(width / cell) + 1;
    const std::size_t ny = static_cast<std::size_t>(depth / cell) + 1;
    std::vector<GridCell> grid(nx * ny);
    for (const auto& q : met) {
        const std::size_t ix =
            std::min(nx - 1, static_cast<std::size_t>((q[0] - all[0].lo) / cell));
        const std::size_t iy =
            std::min(ny - 1, static_cast<std::size_t>((q[1] - all[1].lo) / cell));
        GridCell& at = grid[iy * nx + ix];
        ++at.count;
        at.x.Add(q[0], q[0]);
        at.y.Add(q[1], q[1]);
    }

    // The floor's extent along each row and each column of cells, of the
    // cells that belong to it; holes within (a shadow, pixels without a
    // return) do not narrow it.
    std::vector<Span> rows(ny), columns(nx);
    for (std::size_t iy = 0; iy < ny; ++iy) {
        for (std::size_t ix = 0; ix < nx; ++ix) {
            const GridCell& at = grid[iy * nx + ix];
            if (at.count == 0) {
                continue;
            }
            int neighbours = 0;
            for (std::size_t jy = iy == 0 ? 0 : iy - 1; jy <= std::min(ny - 1, iy + 1); ++jy) {
                for (std::size_t jx = ix == 0 ? 0 : ix - 1; jx <= std::min(nx - 1, ix + 1); ++jx) {
                    neighbours += (jx != ix || jy != iy) && grid[jy * nx + jx].count > 0;
                }
            }
            if (neighbours >= kLeastNeighbours) {
                rows[iy].Add(at.x.lo, at.x.hi);
                columns[ix].Add(at.y.lo, at.y.hi);
            }
        }
    }

    // The run of rows whose common extent spans the largest area; a view seen
    // at a slant covers a trapezoid, whose longer rows do not count whole.
    double best = 0.0;
    std::size_t first = 0, last = 0;
    Span across;
    for (std::size_t j0 = 0; j0 < ny; ++j0) {
        Span common = rows[j0];
        for (std::size_t j1 = j0; j1 < ny && !rows[j1].Empty(); ++j1) {
            common.Clip(rows[j1]);
            if (common.Empty()) {
                break;
            }
            const double area = (common.hi - common.lo) * static_cast<double>(j1 - j0 + 1) * cell;
            if (area > best) {
                best = area;
                first = j0;
                last = j1;
                across = common;
            }
        }
    }
    if (!(best > 0.0)) {
        return;
    }
    // Along y the run ends at its cells' edges, or nearer where the columns it
    // spans end: at the view's edge, which crosses the outermost cells.
    Span along;
    along.lo = all[1].lo + static_cast<double>(first) * cell;
    along.hi = all[1].lo + static_cast<double>(last + 1) * cell;
    const std::size_t from =
        std::min(nx - 1, static_cast<std::size_t>((across.lo - all[0].lo) / cell));
    const std::size_t to =
        std::min(nx - 1, static_cast<std::size_t>((across.hi - all[0].lo) / cell));
    for (std::size_t ix = from; ix <= to; ++ix) {
        if (!columns[ix].Empty()) {
            along.Clip(columns[ix]);
        }
    }
    xMin = across.lo;
    xMax = across.hi;
    yMin = along.lo;
    yMax = along.hi;
    ok = xMin < xMax && yMin < yMax;
}
