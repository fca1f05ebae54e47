#include <gtest/gtest.h>
#include <pcl/common/point_tests.h>
#include <pcl/common/transforms.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <Eigen/Geometry>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "measure/AlignedFrame.h"

namespace {

pcl::PointXYZRGB At(float x, float y, float z, std::uint32_t rgba) {
    pcl::PointXYZRGB p;
    p.x = x;
    p.y = y;
    p.z = z;
    p.rgba = rgba;
    return p;
}

/// The library's transform of the whole cloud, shift then turn, without the
/// points that had no coordinates to begin with.
PointCloudRGB LibraryCopy(const PointCloudRGB& in, const Eigen::Matrix4f& shift,
                          const Eigen::Matrix4f& turn) {
    PointCloudRGB shifted, turned, out;
    pcl::transformPointCloud(in, shifted, shift, true);
    pcl::transformPointCloud(shifted, turned, turn, true);
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (pcl::isFinite(in.points[i])) out.points.push_back(turned.points[i]);
    }
    return out;
}

// The frame moves each point as the library moves the whole cloud, to the
// bit, and passes over the points without coordinates: a dense cloud, one
// with missing returns, and one whose far point the shift takes out of range.
TEST(AlignedFrameTest, MovesEachPointAsTheLibraryMovesTheCloud) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float huge = std::numeric_limits<float>::max();
    struct Case {
        const char* name;
        std::vector<pcl::PointXYZRGB> extra;
        float shiftX;  // a shift that overflows only the far point leaves the others near the origin
    };
    const std::vector<Case> cases = {
        {"dense", {}, 0.75f},
        {"missing returns", {At(nan, nan, nan, 7), At(0.5f, nan, 1.0f, 8)}, 0.75f},
        {"out of range after the shift", {At(-huge, 1.0f, 1.0f, 9)}, -huge},
    };
    const Eigen::Affine3f turn(Eigen::AngleAxisf(0.37f, Eigen::Vector3f::UnitZ()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(5);
        std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
        PointCloudRGB cloud;
        for (std::uint32_t i = 0; i < 200; ++i) {
            cloud.points.push_back(
                At(coordinate(random), coordinate(random), coordinate(random), i));
            if (i % 50 == 0 && !c.extra.empty()) {
                cloud.points.push_back(c.extra[(i / 50) % c.extra.size()]);
            }
        }
        cloud.width = static_cast<std::uint32_t>(cloud.size());
        cloud.height = 1;
        cloud.is_dense = c.extra.empty();
        Eigen::Matrix4f move = Eigen::Matrix4f::Identity();
        move(0, 3) = c.shiftX;
        move(1, 3) = 0.25f;

        const PointCloudRGB expected = LibraryCopy(cloud, move, turn.matrix());
        PointCloudRGB aligned;
        AlignedFrame(move, turn.matrix()).CopyInto(cloud, aligned);
        ASSERT_EQ(aligned.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(
                std::memcmp(aligned.points[i].data, expected.points[i].data, 3 * sizeof(float)), 0)
                << i;
            EXPECT_EQ(aligned.points[i].rgba, expected.points[i].rgba) << i;
        }
    }
}

}  // namespace
