#include "measure/goods/FootprintGrid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Cells along the longer side at most: 16M bytes of grid.
constexpr double kMostCellsPerSide = 4096.0;
// Points whose cells are found at a time, before they are marked.
constexpr std::size_t kBlockPoints = 512;

/// The index of the cell of (x, y) in the grid of nx by ny cells of edge
/// `cell` from (x0, y0) moved by `shift` cells; nx * ny beyond it. Without
/// branches, so that a block of points can go side by side.
inline std::uint32_t CellIndex(double x, double y, double x0, double y0, double cell, double shift,
                               std::uint32_t nx, std::uint32_t ny) {
    const double fx = std::floor((x - x0) / cell) + shift;
    const double fy = std::floor((y - y0) / cell) + shift;
    const bool inside =
        (fx >= 0.0) & (fy >= 0.0) & (fx < static_cast<double>(nx)) & (fy < static_cast<double>(ny));
    const auto ix = static_cast<std::uint32_t>(inside ? fx : 0.0);
    const auto iy = static_cast<std::uint32_t>(inside ? fy : 0.0);
    return inside ? iy * nx + ix : nx * ny;
}

/// CellIndex of points[0..n). Built twice, for 512-bit vectors and for any
/// processor: the points go side by side.
__attribute__((target_clones("avx512f", "default"))) void CellIndices(
    const FootprintGrid::Point* points, std::size_t n, double x0, double y0, double cell,
    double shift, std::uint32_t nx, std::uint32_t ny, std::uint32_t* at) {
    for (std::size_t i = 0; i < n; ++i) {
        at[i] = CellIndex(points[i][0], points[i][1], x0, y0, cell, shift, nx, ny);
    }
}

}  // namespace

FootprintGrid::FootprintGrid(const std::vector<Point>& points, double edge, int margin) {
    if (points.empty()) {
        return;
    }
    double hi[2] = {-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
    lo[0] = lo[1] = std::numeric_limits<double>::max();
    for (const Point& p : points) {
        for (int k = 0; k < 2; ++k) {
            lo[k] = std::min(lo[k], static_cast<double>(p[k]));
            hi[k] = std::max(hi[k], static_cast<double>(p[k]));
        }
    }
    cell = edge;
    const double extent = std::max(hi[0] - lo[0], hi[1] - lo[1]);
    if (extent / cell > kMostCellsPerSide - 2 * margin - 1) {
        cell = extent / (kMostCellsPerSide - 2 * margin - 1);
    }
    shift = margin;
    nx = static_cast<std::size_t>((hi[0] - lo[0]) / cell) + 1 + 2 * static_cast<std::size_t>(margin);
    ny = static_cast<std::size_t>((hi[1] - lo[1]) / cell) + 1 + 2 * static_cast<std::size_t>(margin);
    std::vector<unsigned char> seen(nx * ny, 0);
    std::array<std::uint32_t, kBlockPoints> at;
    for (std::size_t first = 0; first < points.size(); first += kBlockPoints) {
        const std::size_t n = std::min(kBlockPoints, points.size() - first);
        CellIndices(points.data() + first, n, lo[0], lo[1], cell, shift,
                    static_cast<std::uint32_t>(nx), static_cast<std::uint32_t>(ny), at.data());
        for (std::size_t k = 0; k < n; ++k) {
            if (at[k] < nx * ny) seen[at[k]] = 1;
        }
    }
    // Widened along x, then along y.
    for (int pass = 0; pass < 2; ++pass) {
        covered.assign(seen.size(), 0);
        for (std::size_t iy = 0; iy < ny; ++iy) {
            for (std::size_t ix = 0; ix < nx; ++ix) {
                if (!seen[iy * nx + ix]) {
                    continue;
                }
                for (int k = -margin; k <= margin; ++k) {
                    const long jx = static_cast<long>(ix) + (pass == 0 ? k : 0);
                    const long jy = static_cast<long>(iy) + (pass == 1 ? k : 0);
                    if (jx >= 0 && jy >= 0 && jx < static_cast<long>(nx) && jy < static_cast<long>(ny)) {
                        covered[static_cast<std::size_t>(jy) * nx + static_cast<std::size_t>(jx)] = 1;
                    }
                }
            }
        }
        seen.swap(covered);
    }
    covered.swap(seen);
}

bool FootprintGrid::CellOf(double x, double y, std::size_t& at) const {
    at = CellIndex(x, y, lo[0], lo[1], cell, shift, static_cast<std::uint32_t>(nx),
                   static_cast<std::uint32_t>(ny));
    return at < nx * ny;
}

bool FootprintGrid::Covers(double x, double y) const {
    std::size_t at = 0;
    return !covered.empty() && CellOf(x, y, at) && covered[at] != 0;
}
