// The scene checks on depth-camera scans: runs without a cut, goods beyond
// the image or the measuring zone, the floor seen again after the camera
// moved, and the floor's noise band from the settings.

#include "measure/ScanCloud.h"
#include "tools/scangen/DepthCamera.h"

#include <array>
#include <cmath>
#include <limits>
#include <cmath>
#include <string>
#include <vector>

namespace {

struct Steps {
    bool cuts = true;
    bool storesWhole = true;
    float palletMm = 2.0f;
    float bandMm = 25.0f;
    std::array<float, 4> zone{};  // x min, x max, y min, y max; all 0: none
};

/// The fault CheckScan finds in the cloud under the floor 2.5 m below the camera.
std::string Fault(const PointCloudRGBPtr& points, const Steps& run, float d = -2.5f, float c = 1.0f) {
    Config* config = TestConfig();
    if (config == nullptr) return "no configuration";
    const float savedCorrection = config->GetPalletCorrectionHeight();
    const float savedBand = config->GetFloorNoiseBand();
    config->SetPalletHeight(run.palletMm);
    config->SetPalletCorrectionHeight(10.0f);
    config->SetFloorNoiseBand(run.bandMm);
    config->SetFloorZone(run.zone[0], run.zone[1], run.zone[2], run.zone[3]);
    Cloud cloud(CloudInfo(1, 1, 0, 0, "S9", "S%d.pcd", "/nonexistent", 0, 0, c, d));
    cloud.setCloud(points);
    const std::string fault = cloud.CheckScan(run.cuts, run.storesWhole);
    config->SetPalletCorrectionHeight(savedCorrection);
    config->SetFloorNoiseBand(savedBand);
    config->SetFloorZone(0.0f, 0.0f, 0.0f, 0.0f);
    return fault;
}

/// A camera's organized scan of the scene, NaN where a pixel has no return.
PointCloudRGBPtr Camera(const ScanScene& scene, const DepthCamera::Settings& s) {
    const auto scan = DepthCamera(scene, s).Scan();
    PointCloudRGBPtr cloud(new PointCloudRGB);
    for (const auto& p : scan) cloud->points.push_back(MakePoint(p.x, p.y, p.z));
    cloud->width = static_cast<std::uint32_t>(s.width);
    cloud->height = static_cast<std::uint32_t>(s.height);
    cloud->is_dense = false;
    return cloud;
}

/// The same from a 320 x 240 camera.
PointCloudRGBPtr Camera(const ScanScene& scene, double sigma1, bool mixed = true, double moved = 0.0,
                        bool keepFloor = false) {
    DepthCamera::Settings s;
    s.width = 320;
    s.height = 240;
    s.sigma1 = sigma1;
    s.mixedPixels = mixed;
    s.moved = moved;
    s.removeFloor = !keepFloor;
    s.seed = 5;
    return Camera(scene, s);
}

/// The scan as a scanner that drops the pixels without a return delivers it: one row.
PointCloudRGBPtr Unorganized(const PointCloudRGBPtr& scan) {
    std::vector<pcl::PointXYZRGB> returns;
    for (const auto& p : scan->points) {
        if (std::isfinite(p.x)) returns.push_back(p);
    }
    return MakeCloud(returns);
}

ScanScene OnFloor(float size, float cx, float cy = 0.0f) {
    return ScanScene::SingleBox(size, size, size, cx, cy, 0.0, false);
}

bool Starts(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

TEST(SceneChecks, RunsWithoutACutNeedTheFloorOutAndTheGoodsSeenDownToIt) {
    const std::string floorIn = "Scan of session S9 holds the floor: ";
    const std::string notDown = "Goods of session S9 were not seen down to the floor: their lowest point lies ";
    const std::string remedy =
        "; measure goods on the floor with -e 2 (the floor band is cut and the bottom closed on the floor), "
        "goods on a pallet with -d PALLET";
    const Steps noCut{false, true};
    const Steps split{false, false};
    struct Case {
        const char* what;
        PointCloudRGBPtr scan;
        Steps run;
        float d;
        std::string fault;  // the message's start; empty: the scan passes
    };
    const auto quietOff = Camera(OnFloor(0.3f, 1.1f), 0.00025, false);
    const auto strays = Camera(OnFloor(0.3f, 0.4f), 0.001);
    const auto raw = Camera(OnFloor(0.3f, 0.4f), 0.00025, true, 0.0, true);
    const auto topOnly = Camera(ScanScene::SingleBox(1.2f, 0.8f, 0.4f, 0.0f, 0.0f, 0.0, false), 0.00025, false);
    const std::vector<Case> cases = {
        {"goods seen down to the floor, floor removed", quietOff, noCut, -2.5f, ""},
        {"floor strays of a noisy camera", strays, noCut, -2.5f, floorIn},
        {"flying pixels along the edges", Camera(OnFloor(0.3f, 1.1f), 0.00025), noCut, -2.5f,
         "Goods of session S9 show flying pixels: "},
        // Without an image the pixels beside a point's are found by their rays.
        {"flying pixels, no image, off-centre", Unorganized(Camera(OnFloor(0.3f, 1.1f), 0.00025)), noCut, -2.5f,
         "Goods of session S9 show flying pixels: "},
        {"flying pixels, no image, centred", Unorganized(Camera(OnFloor(0.3f, 0.0f), 0.00025)), noCut, -2.5f,
         "Goods of session S9 show flying pixels: "},
        {"no image, no mixed pixels, off-centre", Unorganized(quietOff), noCut, -2.5f, ""},
        // Straight below the camera only the top is seen, and no pixel flies.
        {"no image, no mixed pixels, centred", Unorganized(Camera(OnFloor(0.3f, 0.0f), 0.00025, false)), noCut,
         -2.5f, notDown + "297 mm above its floor plane"},
        {"the raw scan, floor kept", raw, noCut, -2.5f, floorIn},
        {"only the top face seen", topOnly, noCut, -2.5f, notDown + "396 mm above its floor plane (at most 25 mm)"},
        {"a band wide enough for the top face", topOnly, Steps{false, true, 2.0f, 400.0f}, -2.5f, ""},
        {"no plane known", strays, noCut, 0.0f, ""},
        {"a split alone keeps its own filter", strays, split, -2.5f, ""},
        {"a cut takes the floor band", quietOff, Steps{}, -2.5f, ""},
    };
    for (const Case& c : cases) {
        const std::string fault = Fault(c.scan, c.run, c.d, c.d == 0.0f ? 0.0f : 1.0f);
        if (c.fault.empty()) {
            EXPECT_EQ(fault, "") << c.what;
            continue;
        }
        EXPECT_TRUE(Starts(fault, c.fault)) << c.what << ": " << fault;
        EXPECT_EQ(fault.size() - fault.rfind(remedy), remedy.size()) << c.what << ": " << fault;
    }
}

TEST(SceneChecks, GoodsReachingAnEdgeOfTheImageAreRefusedNamingIt) {
    const std::string beyond = "Goods of session S9 reach beyond the camera's image: ";
    // At the top of a 0.4 m box, 2.1 m from the camera, the image spans 1.47 m
    // either side across and 1.09 m along.
    const auto inView = Camera(OnFloor(0.4f, 0.6f), 0.0005);
    struct Case {
        const char* what;
        PointCloudRGBPtr scan;
        Steps run;
        std::string fault;
    };
    const std::vector<Case> cases = {
        {"in view", inView, Steps{}, ""},
        {"a quarter beyond the right edge", Camera(OnFloor(0.4f, 1.57f), 0.0005), Steps{}, "right column (at most 8)"},
        {"beyond the top edge", Camera(OnFloor(0.4f, 0.0f, -1.19f), 0.0005), Steps{}, "top row (at most 8)"},
        {"beyond the bottom edge, nothing cut", Camera(OnFloor(0.4f, 0.0f, 1.19f), 0.00025, false),
         Steps{false, false}, "bottom row (at most 8)"},
    };
    for (const Case& c : cases) {
        const std::string fault = Fault(c.scan, c.run);
        if (c.fault.empty()) {
            EXPECT_EQ(fault, "") << c.what;
        } else {
            EXPECT_TRUE(Starts(fault, beyond)) << c.what << ": " << fault;
            EXPECT_NE(fault.find(" points kept for measuring lie in its " + c.fault +
                                 "; place the goods wholly within the measuring zone"),
                      std::string::npos)
                << c.what << ": " << fault;
        }
    }
    // The bound: 8 kept points in the last column pass, 9 do not; the same
    // points in an unorganized scan are not placed in any image.
    auto edge = Camera(OnFloor(0.4f, 0.6f), 0.0005);
    for (std::uint32_t row = 0; row < 9; ++row) {
        edge->points[row * edge->width + edge->width - 1] = MakePoint(1.2f, 0.0f, 2.0f);
        EXPECT_EQ(Fault(edge, Steps{}).empty(), row < 8) << row;
    }
    edge->width = static_cast<std::uint32_t>(edge->points.size());
    edge->height = 1;
    EXPECT_EQ(Fault(edge, Steps{}), "");
}

TEST(SceneChecks, GoodsWhoseRaysLeaveTheMeasuringZoneAreRefusedNamingItsEdge) {
    // The zone: 3 x 2 m of the floor 2.5 m below the camera.
    Steps zoned;
    zoned.zone = {-1.5f, 1.5f, -1.0f, 1.0f};
    // A box's top 0.5 m above the floor under the camera, and count points
    // up a ray that meets the floor at (fx, fy), from height h upward: a face
    // seen edge-on, whose points the zone's test places where the ray ends.
    const auto scene = [](float fx, float fy, float h, int count) {
        std::vector<pcl::PointXYZRGB> points;
        for (int i = 0; i < 10; ++i) {
            for (int j = 0; j < 10; ++j) points.push_back(MakePoint(0.02f * i - 0.1f, 0.02f * j - 0.1f, 2.0f));
        }
        for (int k = 0; k < count; ++k) {
            const float z = 2.5f - h - 0.001f * static_cast<float>(k);
            points.push_back(MakePoint(fx * z / 2.5f, fy * z / 2.5f, z));
        }
        return MakeCloud(points);
    };
    struct Case {
        const char* what;
        float fx, fy, h;
        int count;
        Steps run;
        std::string edge;  // the edge named; empty: the scan passes
    };
    const Steps uncut{false, false, 2.0f, 25.0f, zoned.zone};
    const std::vector<Case> cases = {
        {"well inside", 0.6f, 0.4f, 0.5f, 20, zoned, ""},
        {"22 mm inside the x max edge", 1.478f, 0.0f, 0.5f, 20, zoned, ""},
        {"18 mm inside it, within the margin", 1.482f, 0.0f, 0.5f, 20, zoned, "x = 1.500 m (floor.zone.x.max)"},
        {"beyond the x min edge", -1.6f, 0.3f, 0.5f, 20, zoned, "x = -1.500 m (floor.zone.x.min)"},
        {"within the margin of y min", 0.0f, -0.99f, 0.3f, 20, zoned, "y = -1.000 m (floor.zone.y.min)"},
        {"beyond the y max edge", 0.2f, 1.2f, 0.8f, 20, zoned, "y = 1.000 m (floor.zone.y.max)"},
        {"beyond a corner: the x edge first", 1.6f, 1.1f, 0.5f, 20, zoned, "x = 1.500 m (floor.zone.x.max)"},
        // The top of a tall box stands over x = 1.30, inside the zone, but
        // the camera sees past it to x = 2.71 on the floor.
        {"a tall box's top over the zone", 2.71f, 0.0f, 1.3f, 20, zoned, "x = 1.500 m (floor.zone.x.max)"},
        {"eight at the edge", 1.49f, 0.0f, 0.5f, 8, zoned, ""},
        {"nine at the edge", 1.49f, 0.0f, 0.5f, 9, zoned, "x = 1.500 m (floor.zone.x.max)"},
        {"beyond it with nothing cut", 1.6f, 0.0f, 0.5f, 20, uncut, "x = 1.500 m (floor.zone.x.max)"},
        {"beyond it, below the cut", 1.6f, 0.0f, 0.005f, 5, zoned, ""},
        {"beyond it, no zone set", 1.6f, 0.0f, 0.5f, 20, Steps{}, ""},
    };
    for (const Case& c : cases) {
        const std::string fault = Fault(scene(c.fx, c.fy, c.h, c.count), c.run);
        if (c.edge.empty()) {
            EXPECT_EQ(fault, "") << c.what;
            continue;
        }
        EXPECT_EQ(fault, "Goods of session S9 reach beyond the measuring zone: the camera's rays to " +
                             std::to_string(c.count) + " points kept for measuring meet the floor beyond its edge at " +
                             c.edge + " or within 20 mm inside it (at most 8); place the goods wholly within the "
                                      "measuring zone")
            << c.what;
    }
    // An organized scan is checked by its image's border: the zone does not apply.
    auto organized = scene(1.6f, 0.0f, 0.5f, 20);
    const std::size_t row = organized->points.size();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto none = MakePoint(nan, nan, nan);
    organized->points.insert(organized->points.begin(), row, none);
    organized->points.insert(organized->points.end(), row, none);
    organized->width = static_cast<std::uint32_t>(row);
    organized->height = 3;
    EXPECT_EQ(Fault(organized, zoned), "");
}

TEST(SceneChecks, TheFloorSeenAgainOrALayerLeftAboveTheCutAreRefused) {
    const std::string recalibrate =
        "the camera has moved since the station was calibrated: fit the floor again with kelvo_calibrate floor "
        "-s S9 on a scan of the empty station";
    const ScanScene pallet = ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.0f, 0.0f, 30.0, true);
    struct Case {
        double moved;
        double sigma1;
        Steps run;
        std::string fault;
    };
    const Steps palletCut{true, true, 144.0f};
    const std::vector<Case> cases = {
        {0.0, 0.0005, palletCut, ""},
        {0.02, 0.0005, palletCut, "Floor of session S9 seen 20 mm nearer the camera than its floor plane: "},
        {0.04, 0.001, Steps{}, "Floor of session S9 seen 40 mm nearer the camera than its floor plane: "},
        {-0.02, 0.00025, palletCut, "Floor of session S9 seen 20 mm farther from the camera than its floor plane: "},
        {0.02, 0.0005, Steps{false, false}, "Floor of session S9 seen 20 mm nearer the camera"},
        // Within the scanner's floor removal (15 mm) a quiet camera shows no
        // floor, but the pallet's deck stands 10 mm nearer, within the slab above the cut.
        {0.01, 0.00025, palletCut, "Cut of session S9 leaves a layer with the goods: "},
        // A noisy deck's tail above the cut, most of the deck below it, is the filter's.
        {0.0, 0.001, palletCut, ""},
        // A pallet's height given 14 mm short leaves the deck above the cut.
        {0.0, 0.0005, Steps{true, true, 130.0f}, "Cut of session S9 leaves a layer with the goods: "},
    };
    for (const Case& c : cases) {
        const std::string fault = Fault(Camera(pallet, c.sigma1, true, c.moved), c.run);
        if (c.fault.empty()) {
            EXPECT_EQ(fault, "") << c.moved;
        } else {
            EXPECT_TRUE(Starts(fault, c.fault)) << c.moved << ": " << fault;
            if (Starts(fault, "Floor of")) {
                EXPECT_NE(fault.find(recalibrate), std::string::npos) << fault;
            } else {
                EXPECT_NE(fault.find(" % of the points it keeps lie within 10 mm above it (at most 5 %), a pallet's "
                                     "deck or a floor nearer the camera than the floor plane puts it: check the "
                                     "pallet's height, and if the camera has moved fit the floor again with "
                                     "kelvo_calibrate floor -s S9"),
                          std::string::npos)
                    << fault;
            }
        }
    }
    // The floor left in a raw scan lies on the plane: no move.
    EXPECT_EQ(Fault(Camera(pallet, 0.0005, true, 0.0, true), Steps{true, true, 144.0f}), "");
}

TEST(SceneChecks, ANoisyFloorsTailsInAScanWithoutAnImageAreNoFloorSeenAgain) {
    // Without an image the scanner's removed floor leaves no pixels to take the
    // share of: the noise it leaves either side of the plane is a large share
    // of the points, but a floor seen again stands on one side of it only.
    const ScanScene pallet = ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.0f, 0.0f, 30.0, true);
    const auto unorganized = [](PointCloudRGBPtr scan) {
        PointCloudRGBPtr returns(new PointCloudRGB);
        for (const auto& p : scan->points) {
            if (std::isfinite(p.z)) returns->points.push_back(p);
        }
        returns->width = static_cast<std::uint32_t>(returns->points.size());
        returns->height = 1;
        return returns;
    };
    struct Case {
        double moved;
        std::string fault;
    };
    const std::vector<Case> cases = {
        {0.0, ""},
        {0.02, "Floor of session S9 seen 2"},
        {-0.02, "Floor of session S9 seen 2"},
        {0.04, "Floor of session S9 seen 4"},
    };
    for (const Case& c : cases) {
        const std::string fault = Fault(unorganized(Camera(pallet, 0.001, true, c.moved)), Steps{true, true, 144.0f});
        if (c.fault.empty()) {
            EXPECT_EQ(fault, "") << c.moved;
        } else {
            EXPECT_TRUE(Starts(fault, c.fault)) << c.moved << ": " << fault;
        }
    }
}

TEST(SceneChecks, ALayerAboveTheCutOfGoodsOnTheFloorNamesTheFloorsNoiseToo) {
    // A 100 x 100 image 2.5 m over the floor: a box top 0.5 m up (2000
    // pixels) and a patch of the floor's noise 15 mm up (300 pixels, 3 %),
    // just above the cut of -e 2 (12 mm); the other pixels return nothing.
    PointCloudRGBPtr scan(new PointCloudRGB);
    scan->width = 100;
    scan->height = 100;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int v = 0; v < 100; ++v) {
        for (int u = 0; u < 100; ++u) {
            const float x = 0.01f * static_cast<float>(u - 50), y = 0.01f * static_cast<float>(v - 50);
            if (u >= 10 && u < 50 && v >= 10 && v < 60) {
                scan->points.push_back(MakePoint(x, y, 2.0f));
            } else if (u >= 60 && u < 90 && v >= 20 && v < 30) {
                scan->points.push_back(MakePoint(x, y, 2.485f));
            } else {
                scan->points.push_back(MakePoint(nan, nan, nan));
            }
        }
    }
    const std::string fault = Fault(scan, Steps{});
    EXPECT_EQ(fault,
              "Cut of session S9 leaves a layer with the goods: 13.0 % of the points it keeps lie within 10 mm "
              "above it (at most 5 %), a floor nearer the camera than the floor plane puts it, or the floor's own "
              "noise reaching above the cut: if the camera has moved fit the floor again with kelvo_calibrate "
              "floor -s S9, else raise pallet.correction.height to clear the floor's noise");
}

TEST(SceneChecks, TheFloorsStraysAtTheImageEdgeAreNamedAsTheFloor) {
    // The session's plane 20 mm beyond the floor the scanner removed: the cut
    // of -e 2 lies under the floor, and the strays its removal leaves stand
    // above the cut all over the image, its edges included.
    const std::string fault = Fault(Camera(OnFloor(0.4f, 0.0f), 0.001), Steps{}, -2.52f);
    EXPECT_TRUE(Starts(fault, "Floor of session S9 stands above the cut at the camera's image edge: ")) << fault;
    EXPECT_NE(fault.find(" side by side, goods cut off by the edge run on 4 and more): the floor's strays, of a floor "
                         "nearer the camera than its plane or of noise reaching above the cut: if the camera has moved "
                         "fit the floor again with kelvo_calibrate floor -s S9, else raise pallet.correction.height "
                         "to clear the floor's noise"),
              std::string::npos)
        << fault;
}

TEST(SceneChecks, APalletDeckSeenBelowItsHeightIsRefused) {
    // The deck of the 144 mm pallet beside the goods, against the height the run was given.
    const ScanScene box = ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.0f, 0.0f, 30.0, true);
    const ScanScene covering = ScanScene::SingleBox(1.2f, 0.8f, 0.4f, 0.0f, 0.0f, 0.0, true);
    struct Case {
        const char* name;
        const ScanScene& scene;
        float palletMm;
        double sigma1;
        std::string fault;
    };
    const std::vector<Case> cases = {
        {"the pallet's own height", box, 144.0f, 0.0005, ""},
        {"a noisy deck", box, 144.0f, 0.001, ""},
        {"within the drop allowed", box, 150.0f, 0.0005, ""},
        {"16 mm too high", box, 160.0f, 0.00025, "Pallet of session S9 seen 16 mm below its height: "},
        {"60 mm too high", box, 204.0f, 0.0005, "Pallet of session S9 seen 60 mm below its height: "},
        {"a deck the goods cover", covering, 170.0f, 0.0005, ""},
        {"the floor's band, -e 2", box, 2.0f, 0.0005, ""},
    };
    for (const Case& c : cases) {
        const std::string fault = Fault(Camera(c.scene, c.sigma1), Steps{true, true, c.palletMm});
        if (c.fault.empty()) {
            EXPECT_EQ(fault, "") << c.name;
        } else {
            EXPECT_TRUE(Starts(fault, c.fault)) << c.name << ": " << fault;
            EXPECT_NE(fault.find(" mm above it, where " + std::to_string(static_cast<int>(c.palletMm)) +
                                 " mm put the pallet's top (a layer from 1 %, at most 8 mm lower), and the cut "
                                 "would take that much of the goods: check the pallet's height, and if the "
                                 "camera has moved fit the floor again with kelvo_calibrate floor -s S9"),
                      std::string::npos)
                << fault;
        }
    }
}

TEST(SceneChecks, TheFloorNoiseBandFollowsTheSetting) {
    // A far camera's floor noise: 6 % of the points spread from 30 to 74 mm beyond the plane.
    auto points = ScanCloud(ScanScene::BoxOnPallet(30.0), 20000);
    const std::size_t strays = points->points.size() * 6 / 100;
    for (std::size_t i = 0; i < strays; ++i) {
        points->points.push_back(MakePoint(0.001f * (i % 1000), 0.7f, 2.53f + 0.044f * (i % 44) / 44.0f));
    }
    points->width = static_cast<std::uint32_t>(points->points.size());
    const Steps pallet{true, true, 144.0f, 25.0f};
    EXPECT_NE(Fault(points, pallet).find("% of the points lie more than 25 mm beyond it (at most 5 %)"),
              std::string::npos);
    EXPECT_EQ(Fault(points, Steps{true, true, 144.0f, 40.0f}), "");
    EXPECT_NE(Fault(points, Steps{true, true, 144.0f, 35.0f}).find("lie more than 35 mm beyond it"),
              std::string::npos);
}

TEST(SceneChecks, FlatGoodsAndSampledSidesAreNoLayerOfTheFloor) {
    // Goods lower than the slab above the cut, or the slab of their own
    // sides, lie within their footprint: a layer of the floor spreads beyond it.
    const auto flat = [](float height) { return ScanScene::SingleBox(0.35f, 0.25f, height, 0.0f, 0.0f, 20.0, false); };
    struct Case {
        const char* name;
        PointCloudRGBPtr scan;
        Steps run;
    };
    const Case cases[] = {
        {"a mailer 25 mm high", Camera(flat(0.025f), 0.0005), Steps{}},
        {"a mailer 20 mm high, floor kept", Camera(flat(0.02f), 0.00025, true, 0.0, true), Steps{}},
        {"a tray 40 mm high", Camera(flat(0.04f), 0.0005), Steps{}},
        {"a sheet 1.2 x 0.8 m, 30 mm high",
         Camera(ScanScene::SingleBox(1.2f, 0.8f, 0.03f, 0.0f, 0.0f, 0.0, false), 0.0005), Steps{}},
        {"two sampled boxes side by side, split alone", ScanCloud(ScanScene::SideBySide(30.0), 200000),
         Steps{false, false}},
        {"two sampled boxes on a pallet, cut", ScanCloud(ScanScene::PalletSideBySide(30.0), 200000),
         Steps{true, true, 144.0f}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Fault(c.scan, c.run), "") << c.name;
    }
}

TEST(SceneChecks, GoodsRunningOnBelowTheScannersLowestReturnAreRefused) {
    // The scanner drops every return within 15 mm of the floor: a wedge
    // whose thin end is 8 mm high loses it with the floor, and its top runs
    // into the lowest return as a surface, not as the one row of mixed
    // pixels along the foot of other goods.
    using Shape = ScanScene::Shape;
    const auto goods = [](Shape shape, float l, float w, float h, float low = 0.0f) {
        return ScanScene::SingleGoods(shape, l, w, h, 0.0f, 0.0f, 20.0, false, false, h / 4, low);
    };
    struct Case {
        const char* name;
        ScanScene scene;
        bool refused;
        bool mixed = true;
    };
    const Case cases[] = {
        {"a wedge 40 mm high at one end, 8 at the other",
         goods(Shape::kWedge, 0.3f, 0.12f, 0.04f, 0.008f), true},
        {"a wedge 40 mm high at one end, 20 at the other",
         goods(Shape::kWedge, 0.3f, 0.12f, 0.04f, 0.02f), false},
        {"a mailer 25 mm high", goods(Shape::kBlock, 0.35f, 0.25f, 0.025f), false},
        // Its top alone shows, 0.5 m over the floor, no return below it.
        {"a box 0.5 m high without mixed pixels", goods(Shape::kBlock, 0.6f, 0.4f, 0.5f), false,
         false},
        {"a box 0.3 m high", goods(Shape::kBlock, 0.3f, 0.3f, 0.3f), false},
        {"a dome", goods(Shape::kDome, 0.3f, 0.2f, 0.15f), false},
        {"a bag", goods(Shape::kBag, 0.4f, 0.3f, 0.15f), false},
        {"a cylinder lying down", goods(Shape::kLyingCylinder, 0.5f, 0.12f, 0.12f), false},
    };
    for (const Case& c : cases) {
        DepthCamera::Settings camera;  // 640 x 480: the thin end spans a few pixels
        camera.sigma1 = 0.00025;
        camera.seed = 5;
        camera.mixedPixels = c.mixed;
        const std::string fault = Fault(Camera(c.scene, camera), Steps{});
        if (c.refused) {
            EXPECT_TRUE(Starts(
                fault,
                "Goods of session S9 run on below the scanner's lowest return, 15 mm over the "
                "floor: "))
                << c.name << ": " << fault;
            EXPECT_NE(
                fault.find("goods lower than 18 mm cannot be told from the floor of session S9"),
                std::string::npos)
                << fault;
        } else {
            EXPECT_EQ(fault, "") << c.name;
        }
    }
}
