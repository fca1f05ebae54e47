#pragma once

#include "cloud/Cloud.h"

/// The points of a cloud that have finite coordinates (organised camera
/// clouds mark missing returns with NaN).
class FinitePoints {
public:
    /// The cloud itself when every point is finite, else a new cloud of its finite points in order.
    static PointCloudRGBPtr Of(const PointCloudRGBPtr& cloud);
};
