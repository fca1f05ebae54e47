#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud/Cloud.h"

class FloorPlane;

/// The part of goods that a cut at one height leaves below it: the flanks of
/// a rounded item, the thin end of a wedge, the rim of a plate lying on the
/// floor. Seen from above, goods cover their footprint wholly down to the
/// floor, while the floor's noise between its own level and the cut is a
/// scatter of single points. So the points between the least height and the
/// cut belong to the goods where they fill most of a cell of the floor's
/// grid and the cells join, side by side or corner to corner, the cells of
/// the goods kept above the cut.
class GoodsFoot {
public:
    /// Edge of the grid's cells (metres): a few pixels of a camera 1 to 2.5 m
    /// away, so that a cell of goods holds several points and one stray of
    /// the floor is a small share of a cell of floor.
    static constexpr double kCell = 0.01;

    /// kept: per point of the scan, whether the cut keeps it; least: the
    /// height above the floor (metres) below which a point is the floor's
    /// (or the pallet's) own noise.
    GoodsFoot(const PointCloudRGB& scan, const FloorPlane& floor, const std::vector<bool>& kept,
              double least);

    /// Indices (in the scan) of the points below the cut that belong to the goods, ascending.
    const std::vector<std::uint32_t>& Points() const { return points; }
    /// How many of them lie off the footprint of the goods kept by the cut
    /// (widened by a cell): the cut took part of the goods' outline.
    std::size_t Beyond() const { return beyond; }

private:
    std::vector<std::uint32_t> points;
    std::size_t beyond = 0;
};
