#pragma once

#include "cloud/Cloud.h"

#include <cstdint>
#include <vector>

/// Euclidean clusters of a cloud's footprint: the groups of points linked by
/// chains of steps shorter than the tolerance, measured in x and y only.
/// Points go into square cells small enough that each cell is one group, so
/// only neighbouring cells are compared; a dense cloud costs about one pass
/// instead of a radius search over thousands of neighbours per point.
class FootprintClusters {
public:
    /// Groups with at least minSize and at most maxSize points, largest first
    /// (equal sizes in the order of their first point), each listing its point
    /// indices in increasing order. Points with a NaN or infinite coordinate join no group.
    static std::vector<std::vector<int>> Extract(const PointCloudRGB& cloud, float tolerance,
                                                 std::uint32_t minSize, std::uint32_t maxSize);
};
