#include "measure/PlaneProjection.h"

#include <pcl/ModelCoefficients.h>
#include <pcl/filters/project_inliers.h>

#include <cstring>
#include <random>

#include "ScanCloud.h"

namespace {

using Points = std::vector<pcl::PointXYZRGB>;

/// Points spread over a box around the plane's neighbourhood, with colours.
Points Spread(std::size_t n, float half, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-half, half);
    Points p;
    for (std::size_t i = 0; i < n; ++i)
        p.push_back(MakePoint(u(rng), u(rng), 2.0f + u(rng), static_cast<std::uint8_t>(i)));
    return p;
}

/// The library's projection of every point, as the depallet step used it.
Points ReferenceProjection(const Points& points, const float plane[4]) {
    pcl::ModelCoefficients::Ptr coefficients(new pcl::ModelCoefficients);
    coefficients->values = {plane[0], plane[1], plane[2], plane[3]};
    pcl::ProjectInliers<pcl::PointXYZRGB> projection;
    projection.setModelType(pcl::SACMODEL_PLANE);
    projection.setInputCloud(MakeCloud(points));
    projection.setModelCoefficients(coefficients);
    PointCloudRGB projected;
    projection.filter(projected);
    return {projected.points.begin(), projected.points.end()};
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(PlaneProjection, AppendsTheLibrarysProjectionToTheBit) {
    struct Case {
        const char* name;
        float plane[4];
        Points points;
    };
    const Case cases[] = {
        {"floor normal", {0.0f, 0.0f, 1.0f, -2.356f}, Spread(2000, 1.0f, 1)},
        {"unit normal, tilted", {0.0871557f, -0.0435779f, 0.9952465f, -2.1f}, Spread(2000, 1.0f, 2)},
        {"normal not of unit length", {0.3f, -0.2f, 2.5f, -5.0f}, Spread(2000, 0.5f, 3)},
        {"sign turned", {-0.0171f, 0.0342f, -0.99927f, 1.844f}, Spread(2000, 1.5f, 4)},
        {"steep plane", {0.70710678f, 0.0f, 0.70710678f, -1.2f}, Spread(500, 2.0f, 5)},
        {"no points", {0.0f, 0.0f, 1.0f, -2.0f}, Points{}},
        {"points on the plane", {0.0f, 0.0f, 1.0f, -2.0f}, Points{MakePoint(0.1f, 0.2f, 2.0f), MakePoint(-3.0f, 4.0f, 2.0f)}},
        {"scan", {0.0f, 0.0f, 1.0f, -2.212f}, [] {
             const auto c = ScanCloud(ScanScene::BoxOnPallet(30.0), 20000);
             return Points(c->points.begin(), c->points.end());
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Points expected = ReferenceProjection(c.points, c.plane);
        PointCloudRGB cloud;
        cloud.points.assign(c.points.begin(), c.points.end());
        PlaneProjection(c.plane[0], c.plane[1], c.plane[2], c.plane[3]).AppendTo(cloud);
        ASSERT_EQ(cloud.points.size(), 2 * c.points.size());
        EXPECT_EQ(cloud.width, cloud.points.size());
        EXPECT_EQ(cloud.height, 1u);
        for (std::size_t i = 0; i < c.points.size(); ++i) {
            const pcl::PointXYZRGB& kept = cloud.points[i];
            const pcl::PointXYZRGB& moved = cloud.points[c.points.size() + i];
            ASSERT_TRUE(SameBits(kept.x, c.points[i].x) && SameBits(kept.z, c.points[i].z)) << "point " << i;
            for (int a = 0; a < 4; ++a)
                ASSERT_TRUE(SameBits(moved.data[a], expected[i].data[a])) << "point " << i << " axis " << a;
            ASSERT_EQ(moved.rgba, expected[i].rgba) << "point " << i;
        }
    }
}
