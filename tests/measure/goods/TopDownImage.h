#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "measure/ScanCloud.h"

/// A camera `floorZ` metres straight above the floor looking down on goods of
/// height(x, y) (metres over the floor; 0 is floor), side x side pixels,
/// `spacing` radians between neighbouring rays. The floor's heights carry a
/// normal noise of `sigma` (metres), drawn from a fixed seed.
inline PointCloudRGBPtr TopDownImage(const std::function<float(float, float)>& height, int side,
                                     float floorZ, float spacing, float sigma = 0.0f) {
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, sigma > 0.0f ? sigma : 1.0f);
    std::vector<pcl::PointXYZRGB> points;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            const float dx = (static_cast<float>(column) - side / 2.0f) * spacing;
            const float dy = (static_cast<float>(row) - side / 2.0f) * spacing;
            const float h = height(dx * floorZ, dy * floorZ);
            const float z = floorZ - (h > 0.0f || sigma == 0.0f ? h : noise(random));
            points.push_back(MakePoint(dx * z, dy * z, z));
        }
    }
    PointCloudRGBPtr cloud = MakeCloud(points);
    cloud->width = static_cast<std::uint32_t>(side);
    cloud->height = static_cast<std::uint32_t>(side);
    return cloud;
}

