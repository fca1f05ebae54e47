// The statistical outlier filter: the points that lie far from their nearest neighbours.
#pragma once

#include <cstddef>
#include <vector>

#include "cloud/Cloud.h"

/// Statistical outlier removal: a point whose mean distance to its meanK
/// nearest neighbours lies more than stddevMul standard deviations above the
/// mean of all those mean distances is an outlier.
///
/// The distances are formed exactly as the point-cloud library's filter of
/// the same name forms them (squared distances as float sums in x, y, z
/// order, square roots and sums in double, in ascending order), so both keep
/// the same points. The nearest neighbours come from an exact search on a
/// uniform grid, with the points shared out over two threads.
class StatisticalOutliers {
public:
    StatisticalOutliers(int meanK, double stddevMul) : meanK(meanK), stddevMul(stddevMul) {}

    /// Indices of the points kept, in increasing order. Points without finite
    /// coordinates count with a mean distance of 0 and are kept unless the
    /// threshold is NaN. With fewer than meanK + 1 finite points every point is kept.
    std::vector<int> Inliers(const PointCloudRGB& cloud) const;

    /// The mean distance of every point to its meanK nearest neighbours (0
    /// for a point without finite coordinates); empty when fewer than meanK + 1
    /// points are finite.
    std::vector<float> MeanDistances(const PointCloudRGB& cloud) const;

private:
    int meanK;
    double stddevMul;
};
