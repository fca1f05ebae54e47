#pragma once

#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "cloud/Cloud.h"
#include "config/Config.h"

/// Base of the measurement tests: the shared configuration, reset to neutral
/// settings before each test, and small cloud builders.
class MeasureTest : public ::testing::Test {
protected:
    void SetUp() override {
        Config& c = config();
        c.SetInboundCorrextionH(0.0f);
        c.SetInboundCorrextionL(0.0f);
        c.SetInboundCorrextionW(0.0f);
        c.SetRealCorrextionH(0.0f);
        c.SetRealCorrextionL(0.0f);
        c.SetRealCorrextionW(0.0f);
        c.SetOcTreeRealVolumeResolution(0.02f);
        c.SetMinColorMap(500.0f);
        c.SetMaxColorMap(3500.0f);
        c.SetColorMapType("");
    }

    /// The process's configuration, created once from the test database's bootstrap file.
    static Config& config() {
        static Config* instance = [] {
            const char* path = std::getenv("KELVO_TEST_CONFIG");
            if (path == nullptr) {
                throw std::runtime_error(
                    "KELVO_TEST_CONFIG is not set: start the test database (scripts/db-start.sh) "
                    "and source its env.sh");
            }
            Config* created = Config::GetInstance(path);
            if (created == nullptr) {
                throw std::runtime_error("no configuration from KELVO_TEST_CONFIG");
            }
            return created;
        }();
        return *instance;
    }

    static pcl::PointXYZRGB Point(float x, float y, float z) {
        pcl::PointXYZRGB p;
        p.x = x;
        p.y = y;
        p.z = z;
        p.r = 1;
        p.g = 2;
        p.b = 3;
        return p;
    }

    static PointCloudRGBPtr MakeCloud(const std::vector<pcl::PointXYZRGB>& points) {
        auto cloud = std::make_shared<PointCloudRGB>();
        for (const auto& p : points) {
            cloud->push_back(p);
        }
        return cloud;
    }

    /// A cloud holding the given points.
    static Cloud CloudOf(const std::vector<pcl::PointXYZRGB>& points) {
        Cloud c;
        c.setCloud(MakeCloud(points));
        return c;
    }
};
