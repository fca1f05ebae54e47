// The outlier filter's grid: sizing its cells, sorting the points into them, and its box.
// Built with -ffp-contract=off, as the whole filter: the cell of a point is
// computed alike wherever the grid is read.
#include "measure/filter/OutlierGrid.h"

#include <tuple>

#include "measure/FloatSelection.h"

namespace outliers {

namespace {

// The grid may hold at most this many cells per point (plus a few): a cloud
// with a far-away stray point gets coarser cells rather than a huge grid.
constexpr std::size_t kCellsPerPoint = 2;
constexpr std::size_t kSpareCells = 4096;
// One point in this many may lie outside the grid's box on each side of an axis.
constexpr std::size_t kStrayShare = 1000;

/// The cell numbers of n points as Grid::Key and Grid::Id give them, kept to
/// their 32 low bits as the grid keeps them (so reckoned in 32 bits). Built
/// twice, for 512-bit vectors and for any processor: the points go side by
/// side, which the floors of the quotients do only where no floating-point
/// traps are assumed (this file is built so: the same values).
__attribute__((target_clones("avx512f", "default"))) void CellNumbers(
    const float* px, const float* py, const float* pz, std::size_t n, const double* origin,
    double h, const int* dim, std::uint32_t* cell) {
    const double x0 = origin[0], y0 = origin[1], z0 = origin[2];
    const double lastX = dim[0] - 1, lastY = dim[1] - 1, lastZ = dim[2] - 1;
    const auto nx = static_cast<std::uint32_t>(dim[0]);
    const auto ny = static_cast<std::uint32_t>(dim[1]);
    // std::clamp's choices, written without branches.
    const auto key = [](double k, double last) {
        return static_cast<std::uint32_t>(static_cast<int>(k < 0.0 ? 0.0 : last < k ? last : k));
    };
    for (std::size_t i = 0; i < n; ++i) {
        const double kx = std::floor((static_cast<double>(px[i]) - x0) / h);
        const double ky = std::floor((static_cast<double>(py[i]) - y0) / h);
        const double kz = std::floor((static_cast<double>(pz[i]) - z0) / h);
        cell[i] = key(kx, lastX) + nx * (key(ky, lastY) + ny * key(kz, lastZ));
    }
}

}  // namespace

Grid::Grid(const std::vector<float>& px, const std::vector<float>& py, const std::vector<float>& pz,
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
    CellNumbers(px.data(), py.data(), pz.data(), n, origin, h, dim, cellOf.data());
    for (std::size_t i = 0; i < n; ++i) {
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

Box CoreBox(const std::vector<float>& px, const std::vector<float>& py,
            const std::vector<float>& pz) {
    const std::size_t n = px.size();
    const std::size_t skip = n / kStrayShare;
    Box box;
    const std::vector<float>* axes[3] = {&px, &py, &pz};
    // A zero found as -0 or +0 gives the same cells and faces: the box's
    // corner is only ever subtracted from or added to other values.
    std::vector<float> values;
    for (int a = 0; a < 3; ++a) {
        values = *axes[a];
        std::tie(box.lo[a], box.hi[a]) = SelectFloats(values, skip, n - 1 - skip);
    }
    return box;
}

}  // namespace outliers
