#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <limits>
#include <random>

#include "tools/calibrate/floor/FloorFit.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kFloorZ = 2.5f;

/// A floor tilted by tiltDeg about the y axis through (0, 0, kFloorZ), with
/// Gaussian noise along z, clutter points 0.3 to 1 m above it (a share of all
/// points) and some points without a return.
PointCloudRGB Floor(double tiltDeg, double noise, double clutterShare, int count) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> x(-1.5f, 1.5f), y(-1.0f, 1.0f), up(0.3f, 1.0f);
    std::normal_distribution<float> depth(0.0f, static_cast<float>(noise));
    std::bernoulli_distribution clutter(clutterShare);
    const float slope = static_cast<float>(std::tan(tiltDeg * kPi / 180.0));
    PointCloudRGB cloud;
    for (int i = 0; i < count; ++i) {
        pcl::PointXYZRGB p;
        p.x = x(rng);
        p.y = y(rng);
        p.z = kFloorZ + slope * p.x + (noise > 0 ? depth(rng) : 0.0f);
        if (clutter(rng)) {
            p.z -= up(rng);
        }
        cloud.push_back(p);
    }
    pcl::PointXYZRGB missing;
    missing.x = missing.y = missing.z = std::numeric_limits<float>::quiet_NaN();
    for (int i = 0; i < count / 20; ++i) {
        cloud.push_back(missing);
    }
    return cloud;
}

TEST(FloorFit, GeneratingPlaneNoiseFiguresAndTheCorrectionThatClearsThem) {
    const struct {
        double tiltDeg, noise, clutter;
        int correctionMm;
    } cases[] = {{0.0, 0.0, 0.0, 1},     {0.0, 0.0005, 0.1, 3}, {0.4, 0.001, 0.1, 5},
                 {3.0, 0.002, 0.3, 8},   {-4.5, 0.001, 0.2, 5}, {2.0, 0.0005, 0.45, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tiltDeg << " " << c.noise << " " << c.clutter);
        const FloorFit fit(Floor(c.tiltDeg, c.noise, c.clutter, 50000));
        // Fitted all the same; beyond half a degree the tool would not measure on it.
        EXPECT_EQ(fit.Why(), std::fabs(c.tiltDeg) > 0.5 ? FloorFit::Refusal::Tilted : FloorFit::Refusal::None);
        const double t = c.tiltDeg * kPi / 180.0;
        // z = kFloorZ + tan(t) x: unit normal (-sin t, 0, cos t), d = -kFloorZ cos t.
        EXPECT_NEAR(fit.A(), -std::sin(t), 2e-4);
        EXPECT_NEAR(fit.B(), 0.0, 2e-4);
        EXPECT_NEAR(fit.C(), std::cos(t), 2e-4);
        EXPECT_NEAR(fit.D(), -kFloorZ * std::cos(t), 5e-4);
        EXPECT_NEAR(fit.TiltDegrees(), std::fabs(c.tiltDeg), 0.02);
        EXPECT_EQ(fit.FinitePoints(), 50000u);
        EXPECT_NEAR(fit.InlierShare(), 1.0 - c.clutter, 0.02);
        EXPECT_NEAR(fit.Rms(), c.noise, 0.05 * c.noise + 1e-6);
        // The 99.9th percentile of |N(0, s)| is 3.29 s.
        EXPECT_NEAR(fit.P999(), 3.29 * c.noise, 0.1 * c.noise + 1e-6);
        EXPECT_EQ(fit.PalletCorrectionHeightMm(), c.correctionMm);
        EXPECT_EQ(fit.FloorNoiseBandMm(), 25);
    }
    // A far, noisy camera's floor: the scan checks' band follows its noise past the start value.
    const FloorFit noisy(Floor(0.0, 0.009, 0.0, 50000));
    EXPECT_GT(noisy.FloorNoiseBandMm(), 25);
    EXPECT_EQ(noisy.FloorNoiseBandMm(), noisy.PalletCorrectionHeightMm());
}

TEST(FloorFit, RefusesTooFewPointsNoDominantPlaneAndATiltedFloor) {
    const struct {
        const char* name;
        PointCloudRGB scan;
        FloorFit::Refusal why;
    } cases[] = {
        {"99 points", Floor(0.0, 0.001, 0.0, 99), FloorFit::Refusal::TooFewPoints},
        {"100 points", Floor(0.0, 0.001, 0.0, 100), FloorFit::Refusal::None},
        {"mostly clutter", Floor(0.0, 0.001, 0.6, 20000), FloorFit::Refusal::NoDominantPlane},
        {"tilted 0.45 degrees", Floor(0.45, 0.001, 0.0, 20000), FloorFit::Refusal::None},
        {"tilted 0.55 degrees", Floor(-0.55, 0.001, 0.0, 20000), FloorFit::Refusal::Tilted},
    };
    for (const auto& c : cases) {
        const FloorFit fit(c.scan);
        EXPECT_EQ(fit.Why(), c.why) << c.name;
        EXPECT_EQ(fit.Ok(), c.why == FloorFit::Refusal::None) << c.name;
    }
}

TEST(FloorFit, StoredPlaneOfEitherSignOrNone) {
    const FloorFit fit(Floor(0.0, 0.0, 0.0, 5000));
    ASSERT_TRUE(fit.Ok());
    // The inliers' centre is near (0, 0, 2.5); a plane at z = 2.51, flipped and scaled.
    EXPECT_NEAR(fit.AngleTo(0, 0, -2), 0.0, 1e-3);
    EXPECT_NEAR(fit.AngleTo(std::sin(0.1), 0, std::cos(0.1)), 0.1 * 180.0 / kPi, 1e-3);
    EXPECT_NEAR(fit.DistanceTo(0, 0, -4, 4 * 2.51), 0.01, 1e-4);
    EXPECT_EQ(fit.AngleTo(0, 0, 0), 90.0);
    EXPECT_TRUE(std::isinf(fit.DistanceTo(0, 0, 0, 1)));
}

}  // namespace
