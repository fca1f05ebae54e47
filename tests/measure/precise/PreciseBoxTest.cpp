#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "measure/FaceGrid.h"
#include "measure/precise/PreciseBox.h"
#include "measure/precise/CameraGoods.h"

namespace {

constexpr float kPitch = 0.004f;
constexpr float kDivision = 0.005f;
constexpr float kTop = 1.5f;
constexpr float kFloor = 2.0f;

using face_grid::Point;

/// A box of half sides a, b (along x, y), top at kTop, standing on kFloor:
/// its top face on the pixel grid with noise, the wall x = +a seen from the camera.
std::vector<Point> Box(float a, float b, float sigma, unsigned seed) {
    std::vector<Point> points =
        face_grid::Rectangle(a, b, 0.0f, 0.0f, 0.0f, kTop, kPitch, sigma, seed);
    for (float y = -b; y <= b; y += kPitch) {
        for (float z = kTop + kPitch; z < kFloor; z += kPitch) points.push_back({a, y, z});
    }
    return points;
}

struct BoxCase {
    std::string name;
    std::vector<Point> points;
    // Truth: half sides along x and y, centre x, top.
    float a, b, cx, top;
    // Largest error allowed on a side (inward or outward) and on the top.
    float sideTolerance, topTolerance;
};

std::vector<BoxCase> Cases() {
    std::vector<BoxCase> cases;
    cases.push_back({"clean box", Box(0.3f, 0.2f, 0.0f, 1), 0.3f, 0.2f, 0.0f, kTop, 0.003f, 1e-4f});
    {
        // 2 mm range noise, mixed pixels 0 to 60 mm beyond two edges, strays all around.
        auto points = Box(0.3f, 0.2f, 0.002f, 2);
        face_grid::Append(points, face_grid::MixedRow(0.3f, 0.2f, 0.06f, kTop, kFloor, kPitch, 3));
        auto left = face_grid::MixedRow(0.3f, 0.2f, 0.04f, kTop, kFloor, kPitch, 4);
        for (auto& p : left) p[0] = -p[0];
        face_grid::Append(points, left);
        std::mt19937 rng(5);
        std::uniform_real_distribution<float> u(-0.5f, 0.5f);
        for (int i = 0; i < 40; ++i)
            points.push_back({u(rng), u(rng), kTop + 0.4f * (u(rng) + 0.5f)});
        points.push_back({0.0f, 0.0f, kTop - 0.08f});
        cases.push_back(
            {"noise, mixed pixels and strays", points, 0.3f, 0.2f, 0.0f, kTop, 0.004f, 0.0003f});
    }
    {
        // A box of 0.4 x 0.3 on one of 0.6 x 0.5, 0.3 m lower: the sides fitted
        // on the top would cut the lower box by 100 mm.
        auto points = face_grid::Rectangle(0.2f, 0.15f, 0.0f, 0.0f, 0.0f, kTop, kPitch, 0.001f, 6);
        auto lower =
            face_grid::Rectangle(0.3f, 0.25f, 0.0f, 0.0f, 0.0f, kTop + 0.3f, kPitch, 0.001f, 7);
        for (const Point& p : lower) {
            if (std::fabs(p[0]) > 0.2f || std::fabs(p[1]) > 0.15f) points.push_back(p);
        }
        cases.push_back({"stack of two boxes", points, 0.3f, 0.25f, 0.0f, kTop, 0.004f, 0.0003f});
    }
    {
        // A cylinder of radius 0.15 m lying along x, 0.8 m long: its ridge is
        // the top, its flanks reach out to +-0.15 in y.
        cases.push_back({"lying cylinder", face_grid::LyingCylinder(0.4f, 0.15f, kTop, kPitch),
                         0.4f, 0.15f, 0.0f, kTop, 0.004f, kDivision});
    }
    // A thin cylinder. At a noisy station the top's band takes in the flanks
    // down to where they are still inside the widest outline, and the flanks
    // beyond are too sparse to stand as a surface alone; at a quiet one its
    // ridge rises less than the division above the densest layer, and H
    // still reaches the ridge.
    for (const auto& [name, sigma, topTolerance] : {std::tuple{"thin lying cylinder, 4 mm noise", 0.004f, kDivision},
                                                    std::tuple{"thin lying cylinder, 1.5 mm noise", 0.0015f, 0.002f}}) {
        auto points = face_grid::LyingCylinder(0.25f, 0.06f, kTop, kPitch);
        std::mt19937 rng(8);
        std::normal_distribution<float> noise(0.0f, sigma);
        for (Point& p : points) p[2] += noise(rng);
        cases.push_back({name, points, 0.25f, 0.06f, 0.0f, kTop, 0.005f, topTolerance});
    }
    {
        // A bag: its top bulges 30 mm, seen with 6 mm of range noise. Enough
        // of the noise stands 15 mm above the bulge to pass for a surface.
        auto points = face_grid::Rectangle(0.2f, 0.15f, 0.0f, 0.0f, 0.0f, kTop, kPitch, 0.0f, 9);
        std::mt19937 rng(10);
        std::normal_distribution<float> noise(0.0f, 0.006f);
        for (Point& p : points) {
            const float u = p[0] / 0.2f, v = p[1] / 0.15f;
            p[2] += 0.03f * (u * u + v * v - u * u * v * v) + noise(rng);
        }
        cases.push_back({"bag's bulge, 6 mm noise", points, 0.2f, 0.15f, 0.0f, kTop, 0.01f, kDivision});
    }
    {
        // An upright cylinder (a disc from above), off the rectangle's centre.
        cases.push_back({"upright cylinder", face_grid::Disc(0.2f, 0.1f, 0.0f, kTop, kPitch), 0.2f,
                         0.2f, 0.1f, kTop, 0.004f, 1e-4f});
    }
    return cases;
}

}  // namespace

TEST(PreciseBox, FitsTheGoodsNotTheirOutermostPoints) {
    for (const BoxCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        // Started from axes 1 degree off and a centre 20 mm off, as an
        // extreme rectangle widened by strays leaves them.
        const float turn = 0.0175f;
        const PreciseBox box(c.points, {0.02f, -0.01f}, {std::cos(turn), std::sin(turn)},
                             {-std::sin(turn), std::cos(turn)}, kDivision);
        ASSERT_TRUE(box.Fitted());
        // Along x: the axis nearest to x.
        const int ax = std::fabs(box.Axis(0)[0]) > std::fabs(box.Axis(1)[0]) ? 0 : 1;
        if (c.name.find("upright") == std::string::npos) {
            EXPECT_NEAR(std::fabs(box.Axis(ax)[0]), 1.0f, 2e-4f)
                << "the fit turns the axes back onto the goods";
        }
        EXPECT_NEAR(box.Extent(ax), c.a, c.sideTolerance);
        EXPECT_NEAR(box.Extent(1 - ax), c.b, c.sideTolerance);
        EXPECT_NEAR(box.Center()[0], c.cx, c.sideTolerance);
        EXPECT_NEAR(box.Center()[1], 0.0f, c.sideTolerance);
        EXPECT_NEAR(box.Top(), c.top, c.topTolerance);
        // Never inside the goods by more than the division.
        EXPECT_GE(box.Extent(ax), c.a - kDivision);
        EXPECT_GE(box.Extent(1 - ax), c.b - kDivision);
        EXPECT_LE(box.Top(), c.top + kDivision);
    }
}

TEST(PreciseBox, NoPointsNoBox) {
    const PreciseBox box({}, {0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, kDivision);
    EXPECT_FALSE(box.Fitted());
}

// A patch of the floor's speckle above the cut stands 130 to 170 mm beyond
// the box's +x side, dense enough to be a surface: a face moves out to it
// only where the outlier filter kept some of it, as it keeps the lower part
// of goods and takes speckle away.
TEST(PreciseBox, SurfacesBeyondAFaceMoveItOnlyWhereTheFilterKeptThem) {
    const std::vector<Point> box = Box(0.3f, 0.2f, 0.0f, 1);
    std::vector<Point> patch;
    for (float x = 0.43f; x <= 0.47f; x += kPitch / 2) {
        for (float y = -0.02f; y <= 0.02f; y += kPitch / 2) patch.push_back({x, y, kFloor - 0.04f});
    }
    std::vector<Point> points = box;
    face_grid::Append(points, patch);
    std::vector<Point> patchInside;
    for (const Point& p : patch) {
        if (std::fabs(p[0] - 0.45f) < 0.01f && std::fabs(p[1]) < 0.01f) patchInside.push_back(p);
    }
    std::vector<Point> boxAndPatchInside = box;
    face_grid::Append(boxAndPatchInside, patchInside);
    struct Case {
        const char* name;
        std::vector<Point> filtered;
        float farSide;  // where the +x face ends up
    };
    const std::vector<Case> cases = {
        {"no filter ran", {}, 0.47f},
        {"the filter took the patch", box, 0.3f},
        {"the filter kept the patch's middle", boxAndPatchInside, 0.47f},
    };
    for (const Case& c : cases) {
        const PreciseBox fitted(points, {0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, kDivision, c.filtered);
        ASSERT_TRUE(fitted.Fitted()) << c.name;
        EXPECT_NEAR(fitted.Center()[0] + fitted.Extent(0), c.farSide, 0.004f) << c.name;
        EXPECT_NEAR(fitted.Center()[0] - fitted.Extent(0), -0.3f, 0.004f) << c.name;
    }
}

// Goods scanned by the camera model and cut 13 mm over their support: the
// box holds them, the sheet of mixed pixels below a bag's rounded edge,
// several to a column, does not widen it, and a low box's edge is not short
// of its mixed pixels.
TEST(PreciseBox, EnclosesGoodsSeenByACamera) {
    using Shape = ScanScene::Shape;
    struct Case {
        const char* what;
        Shape shape;
        float length, width, height;
        bool onPallet;
        double sigma1;
        float shortBy;       // how far short of the goods a side may end
        double angle = 30.0;  // turned about the camera's vertical
        float overBy = kDivision;  // how far beyond the goods a side may end
        float cx = 0.0f, cy = 0.0f;  // the goods' centre
        bool wide = false;           // seen by camera_goods::WideStation()
    };
    // The mixed pixels below the edge of goods 60 mm high lie within a pitch
    // of it, and a box's side is no further off than half the division.
    const std::vector<Case> cases = {
        {"bag on a pallet", Shape::kBag, 0.5f, 0.35f, 0.2f, true, 0.0005, kDivision},
        {"bag on the floor", Shape::kBag, 0.4f, 0.3f, 0.15f, false, 0.0005, kDivision},
        {"dome on a pallet", Shape::kDome, 0.6f, 0.45f, 0.3f, true, 0.0005, kDivision},
        {"flat box on the floor", Shape::kBlock, 0.35f, 0.25f, 0.06f, false, 0.00025, kDivision / 2},
        // Along the pixel rows the last row of its flank lay up to a pitch
        // inside it, and the box was stored 9 to 10 mm narrow. Its ends, flat
        // discs, take the sampling deficit of an outline too.
        {"small cylinder lying along the pixel rows", Shape::kLyingCylinder, 0.5f, 0.12f, 0.12f, false, 0.0005,
         kDivision, 0.0, 2 * kDivision},
        // Off the camera's axis its ridge is the densest layer, a band of
        // 30 mm of it passed for a flat face, and its flanks' last rows for
        // mixed pixels beyond it: it was stored 22 mm narrow.
        {"small cylinder lying along the pixel rows off the axis", Shape::kLyingCylinder, 0.5f, 0.12f, 0.12f, false,
         0.00025, kDivision, 0.0, 2 * kDivision, 0.3f},
        // Seen edge-on from straight above, the flank at its near end is a
        // few columns of points, each tens of millimetres deeper than the
        // last: no surface, and the box was 7 to 15 mm short.
        {"dome on a pallet, its near end under the camera", Shape::kDome, 0.6f, 0.45f, 0.3f, true, 0.00025,
         kDivision, 0.0, 2 * kDivision, 0.3f},
        // Its side, seen 14 degrees off vertical, passed for a dome's flank
        // and was stored 29 mm wide of it.
        {"cylinder on a pallet beside the wide camera", Shape::kLyingCylinder, 0.8f, 0.2f, 0.2f, true, 0.00025,
         2 * kDivision, 0.0, 3 * kDivision, 0.0f, 0.3f, true},
        // Seen 17 degrees off vertical, its far flank runs along the rays up
        // to over half its height, passed for an edge, and the box was
        // stored 25 mm narrow.
        {"small dome turned 60 degrees beside the wide camera", Shape::kDome, 0.3f, 0.2f, 0.15f, false, 0.00025,
         kDivision, 60.0, 2 * kDivision, 0.5f, 0.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Turned as the bench's goods are, 30 degrees, unless the case says otherwise.
        const std::vector<Point> goods =
            camera_goods::Cut(c.shape, c.length, c.width, c.height, c.cx, c.cy, c.angle, c.onPallet, c.sigma1,
                              0.013f, c.wide ? camera_goods::WideStation() : DepthCamera::Settings{})
                .points;
        const float turn = static_cast<float>(c.angle) * 3.14159265f / 180.0f;
        const PreciseBox box(goods, {c.cx, c.cy}, {std::cos(turn), std::sin(turn)},
                             {-std::sin(turn), std::cos(turn)}, kDivision);
        ASSERT_TRUE(box.Fitted());
        const int along = std::fabs(box.Axis(0)[0] * std::cos(turn) + box.Axis(0)[1] * std::sin(turn)) > 0.7f ? 0 : 1;
        // Within the division either way.
        EXPECT_GE(2 * box.Extent(along), c.length - c.shortBy);
        EXPECT_LE(2 * box.Extent(along), c.length + c.overBy);
        EXPECT_GE(2 * box.Extent(1 - along), c.width - c.shortBy);
        EXPECT_LE(2 * box.Extent(1 - along), c.width + c.overBy);
    }
}
