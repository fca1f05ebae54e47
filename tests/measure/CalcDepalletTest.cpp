#include "ScanCloud.h"

#include <cmath>
#include <cstring>

namespace {

const CloudInfo kFlatFloor(1, 1, 0, 0, "S", "S%d.pcd", "/nonexistent", 0.0f, 0.0f, 1.0f, -1.5f);

class CalcDepallet : public testing::Test {
protected:
    void SetUp() override {
        config = TestConfig();
        ASSERT_NE(config, nullptr);
        savedCorrection = config->GetPalletCorrectionHeight();
    }
    void TearDown() override {
        if (config) config->SetPalletCorrectionHeight(savedCorrection);
    }

    /// Runs the cut on the points with a pallet height and correction in millimetres.
    PointCloudRGBPtr Depallet(const std::vector<pcl::PointXYZRGB>& points, float palletMm, float correctionMm,
                              const CloudInfo& info = kFlatFloor) {
        config->SetPalletHeight(palletMm);
        config->SetPalletCorrectionHeight(correctionMm);
        Cloud c(info);
        c.setCloud(MakeCloud(points));
        c.CalcDepallet();
        return c.getCloud();
    }

    Config* config = nullptr;
    float savedCorrection = 0.0f;
};

// The floor point, and two points either side of a whole-millimetre limit.
std::vector<pcl::PointXYZRGB> AroundLimit(float kept, float dropped) {
    return {MakePoint(0, 0, 1.5f, 1), MakePoint(0.1f, 0.2f, kept, 2), MakePoint(0.3f, 0.4f, dropped, 3)};
}

}  // namespace

TEST_F(CalcDepallet, BelowTwoMillimetresLeavesTheCloudAlone) {
    const auto points = AroundLimit(1.0f, 1.49f);
    const auto out = Depallet(points, 1.9f, 0.0f);
    ASSERT_EQ(out->size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(out->points[i].z, points[i].z);
    }
    // 2.0 mm is a pallet: the floor point goes, the others come back doubled.
    EXPECT_EQ(Depallet(points, 2.0f, 0.0f)->size(), 4u);
}

TEST_F(CalcDepallet, CutsInWholeMillimetresAndKeepsThePointAtTheLimit) {
    // zMax 1.5, pallet 125, correction 5: the limit is 1370 mm.
    const auto out = Depallet(AroundLimit(1.3705f, 1.3712f), 125.0f, 5.0f);
    ASSERT_EQ(out->size(), 2u);
    EXPECT_EQ(out->points[0].r, 2);
    EXPECT_FLOAT_EQ(out->points[0].z, 1.3705f);
    // Its double lies on the pallet's top face, same place and colour.
    EXPECT_EQ(out->points[1].r, 2);
    EXPECT_FLOAT_EQ(out->points[1].x, 0.1f);
    EXPECT_FLOAT_EQ(out->points[1].y, 0.2f);
    EXPECT_FLOAT_EQ(out->points[1].z, 1.5f - 0.125f);
}

TEST_F(CalcDepallet, LimitIsFormedInSinglePrecision) {
    // 1.5 - 0.144 - 0.010 is 1.34599996 in floats: the limit is 1345, so a
    // point at 1346.2 mm goes although exact arithmetic would keep it.
    const auto out = Depallet(AroundLimit(1.3459f, 1.3462f), 144.0f, 10.0f);
    ASSERT_EQ(out->size(), 2u);
    EXPECT_EQ(out->points[0].r, 2);
    // A point exactly at the float limit stays.
    const float limit = (1.5f - 0.144f) - 0.01f;
    EXPECT_EQ(Depallet(AroundLimit(limit, 1.3462f), 144.0f, 10.0f)->size(), 2u);
}

TEST_F(CalcDepallet, NegativeCorrectionKeepsPointsInsideThePalletLayer) {
    // Pallet top at 1.375; a correction of -5 mm keeps down to 1.380.
    const auto out = Depallet(AroundLimit(1.379f, 1.381f), 125.0f, -5.0f);
    ASSERT_EQ(out->size(), 2u);
    EXPECT_FLOAT_EQ(out->points[0].z, 1.379f);
}

TEST_F(CalcDepallet, CloudInsideThePalletLayerEndsEmpty) {
    EXPECT_EQ(Depallet({MakePoint(0, 0, 1.5f), MakePoint(1, 1, 1.45f), MakePoint(2, 2, 1.41f)}, 144.0f, 0.0f)->size(),
              0u);
    EXPECT_EQ(Depallet({}, 144.0f, 0.0f)->size(), 0u);
}

TEST_F(CalcDepallet, MissingPointsGoWithThePallet) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto points = AroundLimit(1.2f, 1.45f);
    points.push_back(MakePoint(nan, nan, nan, 9));
    points.push_back(MakePoint(0.5f, 0.5f, nan, 10));
    // Half-missing points must not move the floor side the pallet is measured from.
    const float inf = std::numeric_limits<float>::infinity();
    points.push_back(MakePoint(nan, 0.5f, 1.9f, 11));
    points.push_back(MakePoint(0.5f, 0.5f, inf, 12));
    points.push_back(MakePoint(0.5f, 0.5f, -inf, 13));
    const auto out = Depallet(points, 125.0f, 0.0f);
    ASSERT_EQ(out->size(), 2u);
    for (const auto& p : out->points) {
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    }
}

TEST_F(CalcDepallet, ScanOfABoxOnAPalletKeepsTheGoodsAndClosesTheirBottom) {
    const ScanScene scene = ScanScene::BoxOnPallet(30.0);
    const auto scan = ScanCloud(scene, 20000);
    // The cut is measured from the floor plane, not from the farthest point.
    const float top = ScanScene::kFloorZ - ScanScene::kPalletHeight;

    CloudInfo info(1, 1, 0, 0, "S", "", "/nonexistent", 0.0f, 0.0f, 1.0f, -ScanScene::kFloorZ);
    const auto out = Depallet({scan->points.begin(), scan->points.end()}, 144.0f, 10.0f, info);

    // Every survivor twice: the first half as it was, the second on the top face.
    ASSERT_GT(out->size(), 1000u);
    ASSERT_EQ(out->size() % 2, 0u);
    const std::size_t half = out->size() / 2;
    float zLargest = -100.0f;
    for (std::size_t i = 0; i < half; ++i) {
        const auto& p = out->points[i];
        const auto& q = out->points[half + i];
        EXPECT_LE(p.z, top - 0.0099f);
        EXPECT_FLOAT_EQ(q.x, p.x);
        EXPECT_FLOAT_EQ(q.y, p.y);
        EXPECT_FLOAT_EQ(q.z, top);
        EXPECT_EQ(q.rgba, p.rgba);
        zLargest = std::max({zLargest, p.z, q.z});
    }
    EXPECT_FLOAT_EQ(zLargest, top);
    // Nothing of the pallet is left: the footprint is the box's.
    const ScanScene::Box box = scene.Goods().front();
    for (std::size_t i = 0; i < half; ++i) {
        EXPECT_TRUE(box.covers(out->points[i].x, out->points[i].y, 0.01f));
    }
    // The filter dropped some points but kept most of the goods.
    std::size_t goods = 0;
    for (const auto& p : scan->points) goods += p.z <= top - 0.01f ? 1 : 0;
    EXPECT_LT(half, goods);
    EXPECT_GT(half, goods / 2);
}

namespace {

CloudInfo WithPlane(float a, float b, float c, float d) {
    return CloudInfo(1, 1, 0, 0, "S", "", "/nonexistent", a, b, c, d);
}

/// Every coordinate and colour of two clouds, bit for bit.
void ExpectSameCloud(const PointCloudRGB& got, const PointCloudRGB& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(std::memcmp(&got.points[i].x, &want.points[i].x, 3 * sizeof(float)), 0) << i;
        ASSERT_EQ(got.points[i].rgba, want.points[i].rgba) << i;
    }
}

float LargestZ(const PointCloudRGB& cloud) {
    float z = -100.0f;
    for (const auto& p : cloud.points) z = std::max(z, p.z);
    return z;
}

}  // namespace

TEST_F(CalcDepallet, StraysBeyondTheFloorGoWithTheCut) {
    const auto scan = ScanCloud(ScanScene::BoxOnPallet(20.0), 20000);
    std::vector<pcl::PointXYZRGB> points(scan->points.begin(), scan->points.end());
    const CloudInfo floor = WithPlane(0.0f, 0.0f, 1.0f, -ScanScene::kFloorZ);
    const auto clean = Depallet(points, 144.0f, 10.0f, floor);

    // One stray, or a noisy floor's worth of them.
    for (const std::size_t count : {std::size_t{1}, points.size() / 50}) {
        for (const float under : {0.05f, 0.20f}) {
            auto stray = points;
            for (std::size_t i = 0; i < count; ++i) {
                stray.insert(stray.begin() + 100, MakePoint(0.001f * i, 0.1f, ScanScene::kFloorZ + under, 9));
            }
            testing::internal::CaptureStderr();
            ExpectSameCloud(*Depallet(stray, 144.0f, 10.0f, floor), *clean);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        }
    }
    // Without a plane the farthest point rules, strays included.
    auto one = points;
    one.push_back(MakePoint(0.1f, 0.1f, ScanScene::kFloorZ + 0.2f, 9));
    const auto unplaned = Depallet(one, 144.0f, 10.0f, WithPlane(0, 0, 0, 0));
    EXPECT_LE(LargestZ(*unplaned), ScanScene::kFloorZ + 0.2f - 0.144f + 1e-5f);
}

TEST_F(CalcDepallet, PlaneSignLengthAndTiltDoNotChangeTheResult) {
    const auto scan = ScanCloud(ScanScene::BoxOnPallet(20.0), 20000);
    const std::vector<pcl::PointXYZRGB> points(scan->points.begin(), scan->points.end());
    const auto up = Depallet(points, 144.0f, 10.0f, WithPlane(0.0f, 0.0f, 1.0f, -2.5f));
    // Sign and length as a plane fit may store them: bit for bit the same.
    for (const CloudInfo& info : {WithPlane(0.0f, 0.0f, -1.0f, 2.5f), WithPlane(0.0f, 0.0f, 2.0f, -5.0f),
                                  WithPlane(0.0f, 0.0f, -3.0f, 7.5f), WithPlane(0.0f, 0.0f, 0.25f, -0.625f)}) {
        ExpectSameCloud(*Depallet(points, 144.0f, 10.0f, info), *up);
    }
    // The camera tilted about x or y: the scene turns with it, the plane too
    // (stored with either sign and any length), and the result turns alike.
    struct Tilt {
        double degrees;
        bool aboutX;
        float scale;
    };
    for (const Tilt tilt : {Tilt{5.0, true, 1.0f}, Tilt{12.0, false, -2.0f}, Tilt{25.0, true, 0.5f}}) {
        const double r = tilt.degrees * 3.14159265358979323846 / 180.0;
        const auto turn = [&](float x, float y, float z, float& ox, float& oy, float& oz) {
            const double c = std::cos(r), s = std::sin(r);
            if (tilt.aboutX) {
                ox = x, oy = static_cast<float>(c * y - s * z), oz = static_cast<float>(s * y + c * z);
            } else {
                ox = static_cast<float>(c * x + s * z), oy = y, oz = static_cast<float>(-s * x + c * z);
            }
        };
        std::vector<pcl::PointXYZRGB> tilted = points;
        for (auto& p : tilted) turn(p.x, p.y, p.z, p.x, p.y, p.z);
        float a, b, c;
        turn(0.0f, 0.0f, 1.0f, a, b, c);
        const auto got = Depallet(tilted, 144.0f, 10.0f,
                                  WithPlane(tilt.scale * a, tilt.scale * b, tilt.scale * c, -tilt.scale * 2.5f));
        ASSERT_NEAR(static_cast<double>(got->size()), static_cast<double>(up->size()), up->size() * 0.002)
            << tilt.degrees;
        // Every point lies on the goods' side of the pallet's top plane, and
        // the projected half lies on it.
        const std::size_t half = got->size() / 2;
        for (std::size_t i = 0; i < got->size(); ++i) {
            const auto& p = got->points[i];
            const float height = 2.5f - (a * p.x + b * p.y + c * p.z);
            if (i < half) {
                ASSERT_GE(height, 0.144f + 0.0099f) << tilt.degrees << " " << i;
            } else {
                ASSERT_NEAR(height, 0.144f, 2e-5f) << tilt.degrees << " " << i;
            }
        }
    }
}
