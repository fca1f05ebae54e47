// The highest surface of goods from the medians of its cells: a flat face
// under noise stays within the lift of its level, a dome's apex and a
// wedge's high end are reached, strays above a face move nothing.

#include "measure/precise/SurfaceTop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

struct Shape {
    const char* name;
    // z of the surface over (x, y) in a 0.4 x 0.3 m footprint; the floor is at z = 2.5.
    std::function<float(float, float)> z;
    float apex;  // its smallest z
    float sigma;
    int strays;  // points 50 mm above the apex
};

std::vector<SurfaceTop::Point> Sample(const Shape& shape, float pitch) {
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0.0f, shape.sigma);
    std::vector<SurfaceTop::Point> points;
    for (float x = -0.2f; x <= 0.2f; x += pitch) {
        for (float y = -0.15f; y <= 0.15f; y += pitch) {
            const float z = shape.z(x, y);
            if (std::isfinite(z)) points.push_back({x, y, z + noise(random)});
        }
    }
    for (int k = 0; k < shape.strays; ++k) points.push_back({0.01f * k, 0.0f, shape.apex - 0.05f});
    return points;
}

}  // namespace

TEST(SurfaceTop, ReachesTheHighestSurfaceWithoutLiftingAFlatFace) {
    const auto dome = [](float x, float y) {
        const float r = (x / 0.2f) * (x / 0.2f) + (y / 0.15f) * (y / 0.15f);
        return r > 1.0f ? NAN : 2.5f - 0.15f * std::sqrt(1.0f - r);
    };
    const std::vector<Shape> shapes = {
        {"flat face, 1 mm noise", [](float, float) { return 2.2f; }, 2.2f, 0.001f, 0},
        {"flat face, 5 mm noise", [](float, float) { return 2.2f; }, 2.2f, 0.005f, 0},
        {"flat face under strays", [](float, float) { return 2.2f; }, 2.2f, 0.001f, 12},
        // One cell's points standing high, as one median among thousands of a
        // noisy face does: taken alone for the top, a 1.2 x 0.8 m box at 1 mm
        // noise (4 mm at its range) passed for a curved top, 6 mm over.
        {"flat face with one cell 8 mm high",
         [](float x, float y) {
             const bool patch = x > 0.0405f && x < 0.0555f && y > 0.0425f && y < 0.0575f;
             return patch ? 2.192f : 2.2f;
         },
         2.2f, 0.001f, 0},
        {"dome", dome, 2.35f, 0.001f, 0},
        {"wedge", [](float x, float) { return 2.48f - 0.1f * (x + 0.2f); }, 2.44f, 0.001f, 0},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const float pitch = 0.004f;
        const SurfaceTop top(Sample(shape, pitch), 4 * pitch);
        ASSERT_TRUE(top.Found());
        // Never below the surface's apex by more than a millimetre; above it
        // by no more than the lift the noise explains.
        EXPECT_LT(top.Top(), shape.apex + 0.001f);
        EXPECT_GT(top.Top(), shape.apex - std::max(top.Lift(), 0.001f));
        // On a flat face the lift is the noise's alone.
        if (shape.name[0] == 'f') {
            EXPECT_LT(top.Lift(), 8.0f * shape.sigma / 4.0f);
        }
    }
}
