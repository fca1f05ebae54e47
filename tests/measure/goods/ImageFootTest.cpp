// The foot of goods below a cut, followed in the camera's image: a gently
// sloping base is found pixel by pixel down to the least height; the mixed
// pixels of a box's top edge and a scan without an image add nothing.

#include "measure/goods/ImageFoot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "measure/FloorPlane.h"
#include "measure/goods/TopDownImage.h"

namespace {

constexpr float kFloorZ = 1.1f;
constexpr int kSide = 160;
// Radians between neighbouring rays: 1.9 mm pixels on the floor.
constexpr float kSpacing = 0.0017f;
constexpr double kCut = 0.012;
constexpr double kLeast = 0.007;

PointCloudRGBPtr Image(const std::function<float(float, float)>& height) {
    return TopDownImage(height, kSide, kFloorZ, kSpacing);
}

}  // namespace

TEST(ImageFoot, FollowsTheGoodsSurfaceBelowTheCutOnly) {
    // A mouse: 40 mm at its middle, its flank sloping to the table 50 mm out.
    const auto mouse = [](float x, float y) {
        return std::max(0.0f, 0.04f * (1.0f - std::hypot(x, y) / 0.05f));
    };
    const auto box = [](float x, float y) { return std::fabs(x) < 0.06f && std::fabs(y) < 0.04f ? 0.1f : 0.0f; };
    // The box's edge x = 0.06 returns depths between its top and the floor,
    // 8 to 11 mm over the floor, in the column of pixels that straddles it.
    const auto boxWithMixedPixels = [&](float x, float y) {
        const float h = box(x, y);
        return h == 0.0f && x >= 0.06f && x < 0.06f + 0.0019f ? 0.008f + 0.003f * std::fabs(std::sin(y * 997.0f)) : h;
    };
    struct Case {
        const char* name;
        std::function<float(float, float)> height;
        bool organized;
        // The foot reaches out to this radius from the middle (0: no foot).
        double reach;
    } cases[] = {
        {"a mouse's sloping base", mouse, true, 0.05 * (1.0 - kLeast / 0.04)},
        {"a box's mixed pixels", boxWithMixedPixels, true, 0.0},
        {"a mouse in a scan without an image", mouse, false, 0.0},
    };
    const FloorPlane floor(0.0f, 0.0f, 1.0f, -kFloorZ);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PointCloudRGBPtr scan = Image(c.height);
        std::vector<bool> kept(scan->size());
        for (std::size_t i = 0; i < scan->size(); ++i) kept[i] = kFloorZ - scan->points[i].z >= kCut;
        if (!c.organized) {
            scan->width = static_cast<std::uint32_t>(scan->size());
            scan->height = 1;
        }
        const ImageFoot foot(*scan, floor, kept, kLeast);
        double farthest = 0.0;
        for (const std::uint32_t i : foot.Points()) {
            const pcl::PointXYZRGB& p = scan->points[i];
            EXPECT_FALSE(kept[i]);
            EXPECT_GT(kFloorZ - p.z, kLeast);
            farthest = std::max(farthest, std::hypot(static_cast<double>(p.x), static_cast<double>(p.y)));
        }
        if (c.reach > 0.0) {
            EXPECT_NEAR(farthest, c.reach, 0.002);
        } else {
            EXPECT_TRUE(foot.Points().empty()) << foot.Points().size() << " points, out to " << farthest;
        }
    }
}
