// The point-cloud library's own convex hull: the reference of the package volume.
#pragma once

#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <pcl/surface/convex_hull.h>

#include <vector>

#include "cloud/PointClouds.h"

/// The library's hull of a cloud: its vertices and its volume.
struct ReferenceHull {
    PointCloudRGB vertices;
    double volume = 0.0;
};

/// The hull with area and volume, as the point-cloud library builds it; its
/// complaints about flat clouds are swallowed.
inline ReferenceHull ReferenceHullOf(const PointCloudRGBPtr& cloud) {
    pcl::ConvexHull<pcl::PointXYZRGB> hull;
    hull.setInputCloud(cloud);
    hull.setComputeAreaVolume(true);
    hull.setDimension(3);
    ReferenceHull reference;
    std::vector<pcl::Vertices> polygons;
    testing::internal::CaptureStderr();
    hull.reconstruct(reference.vertices, polygons);
    testing::internal::GetCapturedStderr();
    reference.volume = hull.getTotalVolume();
    return reference;
}
