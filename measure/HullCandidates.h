// HullCandidates: the points of a cloud that may be vertices of its convex hull.
#pragma once

#include <cstdint>
#include <vector>

#include "cloud/PointClouds.h"

/// Leaves out the points that lie inside the hull of a few of the cloud's
/// own points, the farthest ones in a fixed set of directions: none of them
/// is a vertex of the cloud's hull, so the hull of the rest is the same
/// solid. Points on the inner hull's faces count as inside too; a point
/// within the rounding of a distance outside them may be left out as well,
/// which moves the hull's faces by no more than that.
class HullCandidates {
public:
    /// Indices of the points kept, in increasing order: all of them when the
    /// inner hull is flat or cannot be built, or when the cloud is small.
    static std::vector<std::uint32_t> Of(const PointCloudRGB& cloud);
};
