// Flying pixels the outlier filter keeps far off the goods' edges: counted on
// the organized scan, and refused after the cut of today's mode.

#include "measure/FloorPlane.h"
#include "measure/ScanCloud.h"
#include "measure/camera/KeptFlyingPixels.h"
#include "tools/scangen/DepthCamera.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

const float kNan = std::numeric_limits<float>::quiet_NaN();

/// A 3 x 2 image: the face's edge pixel (0.5, 0, 1.5) at the top left,
/// `beside` to its right and a lower step of the goods beyond that; the face
/// again below the edge pixel. The floor 2 m down.
PointCloudRGB Image(const pcl::PointXYZRGB& beside, std::uint32_t height = 2) {
    const pcl::PointXYZRGB none = MakePoint(kNan, kNan, kNan);
    PointCloudRGB image;
    image.points = {MakePoint(0.5f, 0.0f, 1.5f), beside, MakePoint(0.53f * 1.82f / 1.5f, 0.0f, 1.82f),
                    MakePoint(0.5f, 0.01f, 1.5f), none, none};
    image.width = height == 2 ? 3 : 6;
    image.height = height;
    return image;
}

/// The point on the ray through (0.51, 0, 1.5) at depth z.
pcl::PointXYZRGB OnRay(float z) { return MakePoint(0.51f * z / 1.5f, 0.0f, z); }

}  // namespace

TEST(KeptFlyingPixels, APointFarDownItsRayBesideAKeptFaceIsCounted) {
    const FloorPlane floor(0.0f, 0.0f, 1.0f, -2.0f);
    struct Case {
        const char* what;
        pcl::PointXYZRGB beside;
        bool besideKept;
        bool faceKept;
        bool stepKept;
        std::uint32_t height;
        std::size_t count;
        double widest;
    };
    const std::vector<Case> cases = {
        {"300 mm down its ray: 112 mm off", OnRay(1.8f), true, true, false, 2, 1, 0.1124},
        {"40 mm down: 24 mm off, as edges are", OnRay(1.54f), true, true, false, 2, 0, 0.0},
        {"50 mm down: 27 mm off", OnRay(1.55f), true, true, false, 2, 1, 0.0270},
        {"straight down the face's wall", MakePoint(0.5f, 0.0f, 1.8f), true, true, false, 2, 0, 0.0},
        {"over a lower step of the goods", OnRay(1.8f), true, true, true, 2, 0, 0.0},
        {"the flying pixel itself not kept", OnRay(1.8f), false, true, false, 2, 0, 0.0},
        {"the face not kept", OnRay(1.8f), true, false, false, 2, 0, 0.0},
        {"no image, and too few rays for a lattice", OnRay(1.8f), true, true, false, 1, 0, 0.0},
    };
    for (const Case& c : cases) {
        const PointCloudRGB image = Image(c.beside, c.height);
        const std::vector<bool> kept = {c.faceKept, c.besideKept, c.stepKept, c.faceKept, false, false};
        const KeptFlyingPixels flying(image, kept, floor, 0.0);
        EXPECT_EQ(flying.Count(), c.count) << c.what;
        EXPECT_NEAR(flying.Widest(), c.widest, 5e-4) << c.what;
    }
}

TEST(KeptFlyingPixels, TodaysCutRefusesThemThePreciseModeFitsTheFaces) {
    Config* config = TestConfig();
    ASSERT_NE(config, nullptr);
    const float savedCorrection = config->GetPalletCorrectionHeight();
    const int savedPrecise = config->GetInboundPrecise();
    // A camera 1.8 m over the floor with 1.5 mm of noise at 1 m, its floor cut at 21 mm.
    DepthCamera::Settings camera;
    camera.width = 848;
    camera.height = 480;
    camera.fovXDeg = 86.0;
    camera.fovYDeg = 57.0;
    camera.sigma1 = 0.0015;
    camera.floorTolerance = 0.01;
    camera.mountHeight = 1.8;
    camera.seed = 5005;
    struct Case {
        const char* what;
        ScanScene scene;
        int precise;
        bool image;
        bool refused;
    };
    const ScanScene small = ScanScene::SingleBox(0.3f, 0.3f, 0.3f, 0.3f, 0.0f, 0.0, false);
    const std::vector<Case> cases = {
        // Stored 357 x 339 mm for a 300 mm box: the row of mixed pixels along its far edge.
        {"a small box on the floor", small, 0, true, true},
        {"the same without its image", small, 0, false, true},
        {"the same in the precise mode", small, 1, true, false},
        {"a larger box", ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.0f, 0.0f, 0.0, false), 0, true, false},
        // Mixed pixels down the upper box's edges stand over the lower box's top.
        {"a box on a larger one", ScanScene::Stacked(20.0), 0, true, false},
        {"a box on a larger one without its image", ScanScene::Stacked(20.0), 0, false, false},
    };
    for (const Case& c : cases) {
        const DepthCamera scanner(c.scene, camera);
        float a, b, cc, d;
        scanner.Plane(a, b, cc, d);
        PointCloudRGBPtr scan(new PointCloudRGB);
        const auto points = c.image ? scanner.Scan() : DepthCamera::Returns(scanner.Scan());
        for (const auto& p : points) scan->points.push_back(MakePoint(p.x, p.y, p.z));
        scan->width = static_cast<std::uint32_t>(c.image ? camera.width : static_cast<int>(points.size()));
        scan->height = static_cast<std::uint32_t>(c.image ? camera.height : 1);
        config->SetPalletHeight(2.0f);
        config->SetPalletCorrectionHeight(21.0f);
        config->SetInboundPrecise(c.precise);
        Cloud cloud(CloudInfo(1, 1, 0, 0, "S9", "S%d.pcd", "/nonexistent", a, b, cc, d));
        cloud.setCloud(scan);
        cloud.CalcDepallet();
        const std::string fault = cloud.CheckDepallet();
        if (c.refused) {
            EXPECT_EQ(fault.rfind("Goods of session S9 keep flying pixels after the filter: ", 0), 0u)
                << c.what << ": " << fault;
            EXPECT_NE(fault.find(" mm off the goods' edges along the camera's rays (at most 8 beyond 25 mm), and the "
                                 "box would span them; measure in the precise mode (inbound.precise 1), which fits "
                                 "the box to the goods' faces"),
                      std::string::npos)
                << fault;
        } else {
            EXPECT_EQ(fault, "") << c.what;
        }
    }
    config->SetPalletCorrectionHeight(savedCorrection);
    config->SetInboundPrecise(savedPrecise);
}
