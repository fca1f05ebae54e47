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
    for (std::size_t i = 0; i < n; ++i) {
        cellOf[i] = static_cast<std::uint32_t>(Id(Key(px[i], 0), Key(py[i], 1), Key(pz[i], 2)));
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
