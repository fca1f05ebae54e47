#pragma once

#include "cloud/Cloud.h"
#include "config/Config.h"
#include "tools/scangen/ScanScene.h"

#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstdlib>
#include <vector>

/// The test database's configuration; fails the test when the variables of
/// the throwaway database are missing.
inline Config* TestConfig() {
    const char* path = std::getenv("KELVO_TEST_CONFIG");
    if (path == nullptr) {
        ADD_FAILURE() << "KELVO_TEST_CONFIG is not set: start scripts/db-start.sh and source .db/env.sh";
        return nullptr;
    }
    Config* config = Config::GetInstance(path);
    if (config == nullptr) ADD_FAILURE() << "no configuration from " << path;
    return config;
}

/// A point of a hand-made cloud, with a colour that identifies it.
inline pcl::PointXYZRGB MakePoint(float x, float y, float z, std::uint8_t tag = 0) {
    pcl::PointXYZRGB p;
    p.x = x;
    p.y = y;
    p.z = z;
    p.r = tag;
    p.g = static_cast<std::uint8_t>(255 - tag);
    p.b = 7;
    return p;
}

/// An unorganised cloud of the given points.
inline PointCloudRGBPtr MakeCloud(const std::vector<pcl::PointXYZRGB>& points) {
    PointCloudRGBPtr cloud(new PointCloudRGB);
    cloud->points = {points.begin(), points.end()};
    cloud->width = static_cast<std::uint32_t>(points.size());
    cloud->height = 1;
    cloud->is_dense = false;
    return cloud;
}

/// A generated scan as a cloud; point i carries the colour (i mod 256, ...).
inline PointCloudRGBPtr ScanCloud(const ScanScene& scene, std::size_t points, double nanFraction = 0.0) {
    std::vector<pcl::PointXYZRGB> cloud;
    const auto scan = scene.Sample(points, ScanScene::kDefaultNoise, nanFraction, 1);
    cloud.reserve(scan.size());
    for (std::size_t i = 0; i < scan.size(); ++i) {
        cloud.push_back(MakePoint(scan[i].x, scan[i].y, scan[i].z, static_cast<std::uint8_t>(i % 256)));
    }
    return MakeCloud(cloud);
}
