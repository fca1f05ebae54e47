#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "measure/FaceGrid.h"
#include "measure/precise/TopLevel.h"

namespace {

struct TopCase {
    std::string name;
    float sigma;      // noise of the top face
    int facePoints;   // points of the top face, level 0.5
    int strays;       // single points 30 to 80 mm above it
    int lowerPoints;  // a wider layer (a ledge, the pallet's deck) 200 mm lower
    int wallPoints;   // side walls: uniform between the face and the lower layer
    float tolerance;  // on the level
};

std::vector<float> Heights(const TopCase& c) {
    std::mt19937 rng(11);
    std::normal_distribution<float> noise(0.0f, c.sigma);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    std::vector<float> z;
    for (int i = 0; i < c.facePoints; ++i) z.push_back(0.5f + noise(rng));
    for (int i = 0; i < c.strays; ++i) z.push_back(0.5f - 0.03f - 0.05f * u(rng));
    for (int i = 0; i < c.lowerPoints; ++i) z.push_back(0.7f + noise(rng));
    for (int i = 0; i < c.wallPoints; ++i) z.push_back(0.5f + 0.2f * u(rng));
    return z;
}

}  // namespace

TEST(TopLevel, LevelIsTheFaceNotItsHighestPoint) {
    const std::vector<TopCase> cases = {
        {"noise-free face", 0.0f, 2000, 0, 0, 0, 1e-6f},
        {"0.5 mm noise", 0.0005f, 5000, 0, 0, 0, 0.0002f},
        {"2 mm noise, walls, lower layer", 0.002f, 5000, 0, 20000, 3000, 0.0003f},
        {"5 mm noise", 0.005f, 20000, 0, 0, 0, 0.0005f},
        {"strays above the face", 0.001f, 5000, 25, 0, 0, 0.0002f},
        {"small top over a ledge ten times larger", 0.001f, 1500, 0, 15000, 500, 0.0003f},
    };
    for (const TopCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<float> z = Heights(c);
        const TopLevel top(z);
        ASSERT_TRUE(top.Found());
        EXPECT_NEAR(top.Level(), 0.5f, c.tolerance);
        // The band holds the face's noise, three standard deviations, and no
        // more than a real face's noise.
        EXPECT_GE(top.Band(), std::min(0.02f, std::max(0.002f, 2.5f * c.sigma)));
        EXPECT_LE(top.Band(), 0.02f);
        EXPECT_GE(top.Count(), static_cast<std::size_t>(0.95 * c.facePoints));
    }
}

TEST(TopLevel, NothingFiniteFindsNothing) {
    EXPECT_FALSE(TopLevel({}).Found());
    EXPECT_FALSE(TopLevel({NAN, INFINITY}).Found());
    const TopLevel one({NAN, 1.25f});
    ASSERT_TRUE(one.Found());
    EXPECT_EQ(one.Level(), 1.25f);
}
