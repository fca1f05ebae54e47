// The outlier filter's grid: the finite points sorted into uniform cubic cells, and its box.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace outliers {

struct Box {
    float lo[3];
    float hi[3];
};

/// The box of all points but the few farthest out on each axis. A stray
/// point metres away would otherwise stretch the grid and coarsen its cells
/// for everyone; outside the box, points join the outermost cells, which
/// keeps the cells' order along every axis and so the search exact.
Box CoreBox(const std::vector<float>& px, const std::vector<float>& py,
            const std::vector<float>& pz);

/// The finite points sorted into a uniform grid of cubic cells; the points
/// of the cells of one x row lie next to each other, so a block of cells is
/// read as one range per (y, z) row.
class Grid {
public:
    /// Cells of side `side` (1 when it is not a positive number) over `box`,
    /// made coarser until there are at most two per point and a few more.
    Grid(const std::vector<float>& px, const std::vector<float>& py, const std::vector<float>& pz,
         const Box& box, double side);

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
    std::vector<std::uint32_t> start;   // first slot of each cell, one past the end last
    std::vector<float> xs, ys, zs;      // the points in cell order
    std::vector<std::uint32_t> slotOf;  // index among the finite points of each slot
};

}  // namespace outliers
