#pragma once

#include <array>
#include <cstddef>
#include <vector>

/// Where goods stand, seen from above: the square cells of the floor's x and
/// y that hold at least one of the given points, widened by a margin of
/// cells on every side. A point beside the goods by more than the margin
/// lies off it: the floor around them, a pallet's deck, a layer spreading
/// beyond them.
class FootprintGrid {
public:
    /// A point's x and y as the scan holds them: half the memory of doubles,
    /// and the same cells, as every float is a double exactly.
    using Point = std::array<float, 2>;

    /// The cells of edge `cell` (metres) of the points, widened by `margin`
    /// cells; a scene too wide for the grid (no camera's) is taken in coarser cells.
    FootprintGrid(const std::vector<Point>& points, double cell, int margin);

    /// True when (x, y) lies in a covered cell; never for an empty footprint.
    bool Covers(double x, double y) const;

private:
    /// The cell of (x, y) as an index of the grid; false beyond it.
    bool CellOf(double x, double y, std::size_t& at) const;

    double lo[2] = {0.0, 0.0};
    double cell = 0.0;
    double shift = 0.0;  // the margin's cells before the lowest point's
    std::size_t nx = 0;
    std::size_t ny = 0;
    std::vector<unsigned char> covered;
};
