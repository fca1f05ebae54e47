// The outlier filter's neighbour search: the cells' side and every point's mean distance.
#pragma once

#include <vector>

#include "measure/filter/OutlierGrid.h"

namespace outliers {

/// The side of the cells: the typical distance of a point's k-th neighbour,
/// measured on a few points of a first, roughly sized grid.
double CellSide(const Grid& rough, int k);

/// The finite points' mean neighbour distances, in the order of the grid's
/// slots, from an exact search of their k nearest neighbours on both cores;
/// `wide`: with the wide kernels (which only some processors run), the same
/// distances sooner.
void MeansOfCells(const Grid& grid, int k, std::vector<float>& means, bool wide);

}  // namespace outliers
