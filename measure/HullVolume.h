#pragma once

#include "cloud/Cloud.h"

/// Volume of the three-dimensional convex hull of a cloud's points, from the
/// hull library called directly: the same points, in the same order and
/// precision, and the same options as the point-cloud library's convex hull
/// with area and volume, so the volume is the same to the last bit.
class HullVolume {
public:
    /// The hull's volume; 0 when the library builds no hull (flat, straight
    /// or too few points). The library's messages go nowhere.
    static double Of(const PointCloudRGB& cloud);

    /// Of(cloud) rounded to a float, from the hull of only the points that
    /// may be its vertices (HullCandidates) where that gives the same float
    /// beyond doubt, else from every point.
    static float Rounded(const PointCloudRGB& cloud);
};
