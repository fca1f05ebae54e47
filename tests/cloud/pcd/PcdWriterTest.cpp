// Saving against the point-cloud library's own ASCII writer: the same bytes
// for every cloud, and files that appear complete or not at all.
#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "cloud/AtomicFile.h"
#include "cloud/CloudTestAccess.h"
#include "cloud/pcd/PcdWriter.h"

namespace fs = boost::filesystem;

namespace {

float FromBits(std::uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

/// Clouds that cover the float formats: random bits, round and negative
/// zeros, values at the ends of float's range, missing coordinates, colours.
std::vector<std::pair<std::string, PointCloudRGB>> Clouds() {
    std::mt19937 rng(17);
    std::vector<std::pair<std::string, PointCloudRGB>> clouds;
    PointCloudRGB empty;
    clouds.emplace_back("empty", empty);

    PointCloudRGB special;
    const float values[] = {0.0f,
                            -0.0f,
                            1.0f,
                            -1.5f,
                            0.1f,
                            1e-45f,
                            -1.17549435e-38f,
                            3.4028235e38f,
                            1e8f,
                            12345678.0f,
                            123456789.0f,
                            1e-5f,
                            0.0001f,
                            99999999.0f,
                            std::numeric_limits<float>::quiet_NaN(),
                            INFINITY,
                            -INFINITY};
    for (float x : values) {
        for (float y : values) {
            pcl::PointXYZRGB p(static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                               static_cast<std::uint8_t>(rng()));
            p.x = x, p.y = y, p.z = -x;
            p.a = static_cast<std::uint8_t>(rng());
            special.push_back(p);
        }
    }
    clouds.emplace_back("special values", special);

    PointCloudRGB random;
    std::uniform_real_distribution<float> metres(-3.0f, 3.0f);
    for (int i = 0; i < 60000; ++i) {
        pcl::PointXYZRGB p;
        p.x = i % 3 ? metres(rng) : FromBits(rng());
        p.y = i % 101 ? metres(rng) : std::numeric_limits<float>::quiet_NaN();
        p.z = metres(rng);
        p.rgba = rng();
        random.push_back(p);
    }
    random.width = 300, random.height = 200;
    random.sensor_origin_ = Eigen::Vector4f(0.125f, -2.0f, 1e-7f, 0.0f);
    random.sensor_orientation_ = Eigen::Quaternionf(0.7071068f, 0.0f, -0.7071068f, 1e10f);
    clouds.emplace_back("random organised", random);
    return clouds;
}

}  // namespace

TEST(PcdWriter, WritesTheBytesOfTheLibrarysAsciiWriter) {
    TempFolder tmp;
    const fs::path ours = tmp.path() / "ours.pcd";
    const fs::path theirs = tmp.path() / "theirs.pcd";
    for (const auto& [name, cloud] : Clouds()) {
        pcl::PCDWriter().write(theirs.string(), cloud, false);
        PcdWriter::Write(ours.string(), cloud);
        const std::string expected = ReadFile(theirs);
        EXPECT_TRUE(ReadFile(ours) == expected) << name;
        EXPECT_TRUE(PcdWriter::Text(cloud) == expected) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 2);
}

TEST(PcdWriter, InconsistentShapeIsRefusedWithoutTouchingTheFile) {
    TempFolder tmp;
    const fs::path file = tmp.path() / "S1.pcd";
    WriteFile(file, "old");
    PointCloudRGB cloud;
    cloud.push_back(pcl::PointXYZRGB(1.0f, 2.0f, 3.0f));
    cloud.width = 2;
    try {
        PcdWriter::Write(file.string(), cloud);
        ADD_FAILURE() << "written";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(
            std::string(e.what()).rfind("Unable to write point cloud file: " + file.string(), 0),
            0u);
    }
    EXPECT_EQ(ReadFile(file), "old");
}

TEST(AtomicFile, ReplacesOnlyWhenCommitted) {
    TempFolder tmp;
    const fs::path file = tmp.path() / "S1.wrl";
    WriteFile(file, "old");
    {
        AtomicFile abandoned(file.string(), "Unable to write file: ");
        abandoned.Write("half");
    }
    EXPECT_EQ(ReadFile(file), "old");
    AtomicFile done(file.string(), "Unable to write file: ");
    done.Write("new");
    EXPECT_EQ(ReadFile(file), "old");
    done.Commit();
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);

    const std::string lost = (tmp.path() / "missing" / "S1.wrl").string();
    try {
        AtomicFile nowhere(lost, "Unable to write file: ");
        ADD_FAILURE() << "opened";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to write file: " + lost + " (No such file or directory)");
    }
}
