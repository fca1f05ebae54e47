#pragma once

#include <cstddef>

#include "cloud/Cloud.h"
#include "geom/OrientedBox.h"

/// The corners A..H of the precise inbound box of the goods (see PreciseBox),
/// started from the exact minimum-area rectangle of the cloud and closed at
/// the bottom by zMax, in the order and layout of the exact box. False, with
/// the corners untouched, when the goods hold no face to fit. The first
/// `filtered` points of `kept` are what an outlier filter kept of the goods
/// (none: no filter ran). `foot` holds the points below the cut that
/// continue the goods' surface (may be empty).
bool PreciseCorners(const PointCloudRGB& goods, const geom::OrientedBox<2, float>& rectangle,
                    float zMax, float corners[3][8], const PointCloudRGB& kept, std::size_t filtered,
                    const PointCloudRGB& foot);
