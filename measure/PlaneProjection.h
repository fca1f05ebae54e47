// The orthogonal projection of a cloud's points onto a plane.
#pragma once

#include "cloud/Cloud.h"

/// Moves points onto the plane a·x + b·y + c·z + d = 0 along its normal, in
/// the arithmetic of the point-cloud library's plane model: the normal made a
/// unit vector of four floats, each point's distance a four-lane dot product
/// with (x, y, z, 1), the point moved by the normal times that distance. The
/// projected points equal the library's to the bit without loading its
/// filter and sample-consensus libraries, which cost every run a third of
/// its start.
class PlaneProjection {
public:
    PlaneProjection(float a, float b, float c, float d);

    /// Appends the projection of each point of `cloud` to it, in order and
    /// with its colour, so that every point is there twice.
    void AppendTo(PointCloudRGB& cloud) const;

private:
    float normal[4];  // the unit normal, 0 last
    float plane[4];   // the unit normal and d as given
};
