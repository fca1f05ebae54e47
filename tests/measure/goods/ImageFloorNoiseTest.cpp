// The noise of the floor seen in a camera's image around the goods: its
// 99.9th percentile, measured on the floor alone, however far the goods'
// foot runs on below the cut, with the floor's strays above the cut counted.

#include "measure/goods/ImageFloorNoise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "measure/FloorPlane.h"
#include "measure/goods/TopDownImage.h"

namespace {

constexpr float kFloorZ = 1.1f;
constexpr int kSide = 200;
// Radians between neighbouring rays: 1.9 mm pixels on the floor.
constexpr float kSpacing = 0.0017f;
constexpr double kCut = 0.012;
constexpr double kLeast = 0.007;

PointCloudRGBPtr Image(const std::function<float(float, float)>& height, float sigma) {
    return TopDownImage(height, kSide, kFloorZ, kSpacing, sigma);
}

}  // namespace

TEST(ImageFloorNoise, TopOfTheFloorAloneAroundTheGoods) {
    // A remote control: 170 x 45 mm, 23 mm at one end and 5 mm at the
    // other, so that most of it lies below the 12 mm cut.
    const auto wedge = [](float x, float y) {
        return std::fabs(x) < 0.085f && std::fabs(y) < 0.0225f ? 0.014f + 0.009f * x / 0.085f : 0.0f;
    };
    const auto none = [](float, float) { return 0.0f; };
    const auto filling = [](float, float) { return 0.05f; };
    struct Case {
        const char* name;
        std::function<float(float, float)> height;
        float sigma;
        bool organized;
        // The 99.9th percentile expected (mm), within 0.5 mm; below 0: none found.
        double top;
    } cases[] = {
        {"a quiet floor around a wedge mostly below the cut", wedge, 0.001f, true, 3.09},
        {"a floor whose strays stand above the cut", wedge, 0.004f, true, 12.36},
        {"an empty floor", none, 0.001f, true, 3.09},
        {"a scan without an image", wedge, 0.001f, false, -1.0},
        {"goods filling the image", filling, 0.001f, true, -1.0},
    };
    const FloorPlane floor(0.0f, 0.0f, 1.0f, -kFloorZ);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PointCloudRGBPtr scan = Image(c.height, c.sigma);
        std::vector<bool> kept(scan->size());
        for (std::size_t i = 0; i < scan->size(); ++i) kept[i] = kFloorZ - scan->points[i].z > kCut;
        if (!c.organized) {
            scan->width = static_cast<std::uint32_t>(scan->size());
            scan->height = 1;
        }
        const ImageFloorNoise noise(*scan, floor, kept, kLeast);
        ASSERT_EQ(noise.Found(), c.top >= 0.0) << noise.FloorPixels() << " floor pixels";
        if (c.top >= 0.0) {
            EXPECT_NEAR(noise.Top() * 1000.0, c.top, 0.5);
        }
    }
}
