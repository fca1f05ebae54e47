// The outlier filter's neighbour search: a point's k nearest distances, and every point's mean.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "measure/OutlierGrid.h"

namespace outliers {

/// The k nearest squared distances of queries, exactly, with reused buffers.
class NearestSearch {
public:
    NearestSearch(const Grid& grid, int k) : grid(grid), k(k) {}

    /// Sorts the k + 1 smallest squared distances from (x, y, z), which lies
    /// in the given cell, to the front of `dist` (the query itself first, at 0).
    ///
    /// Every point outside the block of cells within `reach` of the query's
    /// cell lies farther than the nearest face of the block, so the k + 1
    /// smallest are certain once that many points of the block lie nearer
    /// than that face; only those are kept and sorted. Otherwise the block grows.
    void Search(float x, float y, float z, const int cell[3], int reach);

    /// The mean of the square roots of the k nearest squared distances
    /// (the query itself, first at 0, left out), summed in ascending order.
    float Mean() const;

    std::vector<float> dist;  // the first `found` entries are the gathered distances

private:
    // Buckets of the sort of a query's nearest distances.
    static constexpr std::size_t kBuckets = 64;

    /// The squared distances from (x, y, z) to the points of the cells
    /// lo..hi that do not exceed `limit`, in `dist`.
    void Gather(float x, float y, float z, const int lo[3], const int hi[3], double limit);

    /// Sorts the gathered distances, all within [0, gathered]: spread over
    /// buckets by value (on a surface they are about evenly spread), then an
    /// insertion sort puts the few neighbours within a bucket in order.
    void SortFound();

    const Grid& grid;
    int k;
    std::size_t found = 0;
    double gathered = 0.0;  // the limit of the last gathering
    std::uint32_t bucketStart[kBuckets + 1];
    std::vector<std::uint32_t> key;
    std::vector<float> spread;
    double hint = 0.0;  // the k-th squared distance of the last query
};

/// The finite points' mean neighbour distances, in the order of the grid's slots.
void MeansOfCells(const Grid& grid, int k, std::vector<float>& means);

}  // namespace outliers
