// The part of goods a cut leaves below it: a wedge's thin end and a low
// item's rim are found and joined to what the cut kept, the sides of an
// upright box add nothing beyond its footprint, and the floor's noise
// around goods is no foot of theirs.

#include "measure/goods/GoodsFoot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "measure/FloorPlane.h"
#include "measure/ScanCloud.h"

namespace {

constexpr float kFloorZ = 2.5f;
constexpr float kPitch = 0.004f;

/// The floor under 4 mm of pixels with goods of height(x, y) metres standing on it.
PointCloudRGBPtr Scene(const std::function<float(float, float)>& height, float sigma) {
    std::mt19937 random(11);
    std::normal_distribution<float> noise(0.0f, sigma);
    std::vector<pcl::PointXYZRGB> points;
    for (float x = -0.3f; x <= 0.3f; x += kPitch) {
        for (float y = -0.2f; y <= 0.2f; y += kPitch) {
            points.push_back(MakePoint(x, y, kFloorZ - height(x, y) + noise(random)));
        }
    }
    return MakeCloud(points);
}

}  // namespace

TEST(GoodsFoot, FindsWhatTheCutTookOfTheGoodsOutlineOnly) {
    const auto inside = [](float x, float y, float l, float w) { return std::fabs(x) <= l / 2 && std::fabs(y) <= w / 2; };
    struct Case {
        const char* name;
        std::function<float(float, float)> height;
        float sigma;
        bool widens;
    } cases[] = {
        {"a wedge 30 mm to 5 mm", [&](float x, float y) { return inside(x, y, 0.2f, 0.06f) ? 0.0175f - 0.125f * x : 0.0f; },
         0.0005f, true},
        {"a plate's rim at 9 mm", [&](float x, float y) {
             const float r = std::hypot(x, y);
             return r < 0.06f ? 0.03f : r < 0.09f ? 0.009f : 0.0f;
         },
         0.0005f, true},
        {"an upright box", [&](float x, float y) { return inside(x, y, 0.2f, 0.1f) ? 0.05f : 0.0f; }, 0.0005f, false},
        {"an upright box on a noisy floor", [&](float x, float y) { return inside(x, y, 0.2f, 0.1f) ? 0.05f : 0.0f; },
         0.003f, false},
    };
    const FloorPlane floor(0.0f, 0.0f, 1.0f, -kFloorZ);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PointCloudRGBPtr scan = Scene(c.height, c.sigma);
        std::vector<bool> kept(scan->size());
        for (std::size_t i = 0; i < scan->size(); ++i) kept[i] = kFloorZ - scan->points[i].z > 0.012f;
        const GoodsFoot foot(*scan, floor, kept, 0.007);
        EXPECT_EQ(foot.Beyond() > 20, c.widens) << foot.Beyond();
        for (const std::uint32_t i : foot.Points()) {
            const float h = kFloorZ - scan->points[i].z;
            EXPECT_TRUE(!kept[i] && h > 0.007f && h <= 0.0125f) << h;
            EXPECT_GT(c.height(scan->points[i].x, scan->points[i].y), 0.0f) << "floor taken for goods";
        }
    }
}
