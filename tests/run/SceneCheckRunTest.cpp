// Whole runs on depth-camera scans that show a scene the station cannot
// measure: refused with one line, exit 1, nothing written, the row untouched.

#include <cstring>
#include <utility>

#include "run/ScanRun.h"
#include "tools/scangen/DepthCamera.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

class SceneCheckRun : public RunFixture {
protected:
    void SetUp() override {
        SeedRunSettings(db, cleanup);
        SeedPallet(db, cleanup, 5200, "EPAL", 144.0);
        SeedPallet(db, cleanup, 5207, "EPAL, its height mistyped", 170.0);
    }

    /// Row id of session "scn<id>" with the camera's scan of the scene and the plane the station was
    /// calibrated with; unorganized: only the pixels with a return, as one row.
    fs::path Seed(int id, const ScanScene& scene, const DepthCamera::Settings& camera, bool unorganized = false) {
        const std::string sid = "scn" + std::to_string(id);
        const DepthCamera scanner(scene, camera);
        float a, b, c, d;
        scanner.Plane(a, b, c, d);
        SeedSession(db, cleanup, sid, {a, b, c, d});
        SeedObject(db, cleanup, id, sid, 1, kPalletToRemove);
        const fs::path scan = dir.DataFolder() / sid / "S1.pcd";
        fs::create_directories(scan.parent_path());
        EXPECT_TRUE(unorganized ? ScanScene::WritePcd(scan.string(), DepthCamera::Returns(scanner.Scan()))
                                : ScanScene::WritePcd(scan.string(), scanner.Scan(), camera.width, camera.height));
        return scan;
    }

    /// Runs the tool on the row and checks the refusal: its line, nothing written, the row as before.
    void ExpectRefused(int id, const fs::path& scan, const std::vector<std::string>& how,
                       const std::string& message) {
        const auto before = ReadObject(db, id);
        std::vector<std::string> args = {"-i", std::to_string(id), "-p", dir.DataFolder().string()};
        args.insert(args.end(), how.begin(), how.end());
        const RunResult run = RunTool(dir, args);
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find("ERROR: " + message), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Begin depallet"), std::string::npos);
        EXPECT_FALSE(fs::exists(scan.parent_path() / "P"));
        EXPECT_FALSE(fs::exists(scan.parent_path() / std::to_string(id)));
        EXPECT_EQ(ReadObject(db, id), before);
    }
};

DepthCamera::Settings Camera(double sigma1, double moved = 0.0) {
    DepthCamera::Settings s;
    s.sigma1 = sigma1;
    s.moved = moved;
    s.seed = 11;
    return s;
}

}  // namespace

TEST_F(SceneCheckRun, ScenesTheStationCannotMeasureAreRefusedLeavingEverythingAlone) {
    using Args = std::vector<std::string>;
    DepthCamera::Settings quiet = Camera(0.00025);
    quiet.mixedPixels = false;
    struct Case {
        int id;
        ScanScene scene;
        DepthCamera::Settings camera;
        std::vector<Args> runs;
        std::string message;  // after "ERROR: ", with <sid> for the session
        bool unorganized = false;
    };
    const Case cases[] = {
        // -e 0 measured the floor's strays as goods: L 3.3 m for a 0.6 m box.
        {5201, ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.3f, 0.0f, 30.0, false), Camera(0.0005), {{"-e", "0"}},
         "Scan of session <sid> holds the floor: "},
        // Over the middle of a 1.2 m box the camera sees its top only: H was a few millimetres.
        {5202, ScanScene::SingleBox(1.2f, 0.8f, 0.4f, 0.0f, 0.0f, 0.0, false), quiet, {{"-e", "0"}},
         "Goods of session <sid> were not seen down to the floor: their lowest point lies "},
        // A quarter of the top beyond the image's right edge: L came out 140 mm short.
        {5203, ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 1.55f, 0.0f, 0.0, false), Camera(0.0005), {{"-e", "2"}},
         "Goods of session <sid> reach beyond the camera's image: "},
        // The camera 20 mm nearer the floor: with -d the pallet was stored with the box.
        {5204, ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.0f, 0.0f, 30.0, true), Camera(0.0005, 0.02),
         {{"-d", "5200"}, {"-e", "2"}, {"-e", "0"}, {"-z"}},
         "Floor of session <sid> seen 20 mm nearer the camera than its floor plane: "},
        // 10 mm nearer, the floor still removed, the deck at the cut: L +888 mm.
        {5206, ScanScene::SingleBox(0.3f, 0.3f, 0.3f, 0.0f, 0.0f, 30.0, true), Camera(0.00025, 0.01),
         {{"-d", "5200"}}, "Cut of session <sid> leaves a layer with the goods: "},
        // A 144 mm pallet run as 170 mm: the cut took 26 mm of the box, H stored 26 mm short.
        {5207, ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.0f, 0.0f, 30.0, true), Camera(0.0005),
         {{"-d", "5207"}, {"-e", "170"}}, "Pallet of session <sid> seen 26 mm below its height: "},
        // A scanner that drops the image: -e 0 measured the pixels flying off
        // the box's edges as goods, L 425 mm for a 300 mm box.
        {5221, ScanScene::SingleBox(0.3f, 0.3f, 0.3f, 1.1f, 0.0f, 0.0, false), Camera(0.00025), {{"-e", "0"}},
         "Goods of session <sid> show flying pixels: ", true},
        // A scanner that drops the image, 20 mm nearer: the floor seen again
        // round a mailer that stands no higher than its noise above it.
        {5223, ScanScene::SingleBox(0.35f, 0.25f, 0.025f, 0.0f, 0.0f, 30.0, false), Camera(0.0005, 0.02),
         {{"-e", "2"}}, "Floor of session <sid> seen 20 mm nearer the camera than its floor plane: ", true},
    };
    for (const Case& c : cases) {
        const fs::path scan = Seed(c.id, c.scene, c.camera, c.unorganized);
        std::string message = c.message;
        message.replace(message.find("<sid>"), 5, "scn" + std::to_string(c.id));
        for (const Args& how : c.runs) {
            ExpectRefused(c.id, scan, how, message);
        }
    }
    // Cut, the floor scan measures.
    ASSERT_EQ(RunTool(dir, {"-i", "5201", "-e", "2", "-p", dir.DataFolder().string()}).status, 0);
    EXPECT_NEAR(std::stod(ReadObject(db, 5201).at("LPackage")), 0.6, 0.015);
    // Without mixed pixels the same box measures without a cut.
    Seed(5222, ScanScene::SingleBox(0.3f, 0.3f, 0.3f, 1.1f, 0.0f, 0.0, false), quiet, true);
    const RunResult run = RunTool(dir, {"-i", "5222", "-e", "0", "-p", dir.DataFolder().string()});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NEAR(std::stod(ReadObject(db, 5222).at("LPackage")), 0.3, 0.01);
}

TEST_F(SceneCheckRun, TheStationsOwnNoiseBandLetsItsGoodScansThrough) {
    // A far camera's floor noise: 6 % of the points spread 30 to 74 mm beyond the plane.
    const std::string sid = "scn5205";
    SeedSession(db, cleanup, sid, {0.0, 0.0, 1.0, -ScanScene::kFloorZ});
    SeedObject(db, cleanup, 5205, sid, 1, kPalletToRemove);
    const fs::path scan = dir.DataFolder() / sid / "S1.pcd";
    fs::create_directories(scan.parent_path());
    auto points = ScanScene::BoxOnPallet(30.0).Sample(kScanPoints, ScanScene::kDefaultNoise, 0.0, 7);
    const std::size_t strays = points.size() * 6 / 100;
    for (std::size_t i = 0; i < strays; ++i) {
        points.push_back({-0.6f + 0.0012f * static_cast<float>(i % 1000), 0.7f,
                          ScanScene::kFloorZ + 0.03f + 0.044f * static_cast<float>(i % 44) / 44.0f});
    }
    ASSERT_TRUE(ScanScene::WritePcd(scan.string(), points));
    ExpectRefused(5205, scan, {"-d", "5200"}, "Floor plane of session scn5205 does not fit the scan: 5.7 % of the points lie more than 25 mm beyond it");
    SeedDecode(db, cleanup, "CONFIG", "floor.noise.band", "41", "D");
    const RunResult run = RunTool(dir, {"-i", "5205", "-d", "5200", "-p", dir.DataFolder().string()});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Scan checks:\n\tFloor Noise Band: 41\n"), std::string::npos);
    EXPECT_NEAR(std::stod(ReadObject(db, 5205).at("HPackage")), 0.5, 0.012);
}

// A cloud sampled on the goods' surfaces is no camera's image: the top of a
// low box is the densest layer near the floor with nothing above it, and was
// refused as the floor seen again by a moved camera.
TEST_F(SceneCheckRun, LowGoodsInACloudNoCameraTookAreMeasured) {
    const std::string sid = "scn5224";
    SeedSession(db, cleanup, sid, {0.0, 0.0, 1.0, -ScanScene::kFloorZ});
    SeedObject(db, cleanup, 5224, sid, 1, kPalletToRemove);
    const fs::path scan = dir.DataFolder() / sid / "S1.pcd";
    fs::create_directories(scan.parent_path());
    const auto points = ScanScene::SingleBox(0.35f, 0.25f, 0.04f, 0.0f, 0.0f, 20.0, false)
                            .Sample(kScanPoints, ScanScene::kDefaultNoise, 0.0, 7);
    ASSERT_TRUE(ScanScene::WritePcd(scan.string(), points));
    const RunResult run = RunTool(dir, {"-i", "5224", "-e", "2", "-p", dir.DataFolder().string()});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NEAR(std::stod(ReadObject(db, 5224).at("LPackage")), 0.35, 0.01);
    EXPECT_NEAR(std::stod(ReadObject(db, 5224).at("HPackage")), 0.038, 0.005);
    // A camera's scan without an image of a 10 mm sheet: what its scanner
    // left is scattered noise, no surface, and is not measured as goods.
    const fs::path sheet = Seed(5225, ScanScene::SingleBox(0.35f, 0.25f, 0.01f, 0.0f, 0.0f, 30.0, false),
                                Camera(0.00025), true);
    ExpectRefused(5225, sheet, {"-e", "2"}, "");
}

// A station whose scanner drops the image: the floor calibration of its empty
// station measures the zone its camera sees, and goods the view cuts off are
// refused; goods within it measure as they did before the zone was set.
TEST_F(SceneCheckRun, AStationWithoutImagesRefusesGoodsBeyondItsMeasuringZone) {
    cleanup.Add("DELETE FROM decode WHERE deckey LIKE 'floor.%' OR deckey = 'pallet.correction.height'");
    DepthCamera::Settings camera = Camera(0.0005);
    camera.removeFloor = false;
    const fs::path empty = dir.Path() / "empty.pcd";
    ASSERT_TRUE(ScanScene::WritePcd(empty.string(), DepthCamera::Returns(DepthCamera(ScanScene(), camera).Scan())));
    const RunResult floor = RunCommand(dir, {KELVO_CALIBRATE_BIN, "floor", empty.string(), "--write"});
    ASSERT_EQ(floor.status, 0) << floor.out << floor.err;
    // The outermost pixels' rays meet the floor 1.748 m and 1.299 m from below the camera.
    const std::pair<const char*, double> edges[] = {
        {"floor.zone.x.min", -1.748}, {"floor.zone.x.max", 1.748}, {"floor.zone.y.min", -1.299}, {"floor.zone.y.max", 1.299}};
    for (const auto& [key, edge] : edges) {
        const std::size_t at = floor.out.find(std::string("\n") + key + ": ");
        ASSERT_NE(at, std::string::npos) << key << "\n" << floor.out;
        EXPECT_NEAR(std::stod(floor.out.substr(at + std::strlen(key) + 3)), edge, 0.006) << key;
    }
    EXPECT_NE(floor.out.find("Written: the pallet correction height, the floor noise band and the measuring zone, in "
                             "one transaction."),
              std::string::npos);

    camera.removeFloor = true;
    // A quarter of the box's top beyond the view's right edge: L came out 150 mm short.
    const fs::path cut = Seed(5207, ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 1.55f, 0.0f, 0.0, false), camera, true);
    ExpectRefused(5207, cut, {"-e", "2"}, "Goods of session scn5207 reach beyond the measuring zone: the camera's rays to ");
    // Wholly in view, turned, near the edge.
    Seed(5208, ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.8f, 0.2f, 30.0, false), camera, true);
    const std::vector<std::string> measure = {"-i", "5208", "-e", "2", "-p", dir.DataFolder().string()};
    RunResult run = RunTool(dir, measure);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\tFloor Zone X Max: 1.74"), std::string::npos) << run.out;
    const auto measured = ReadObject(db, 5208);
    EXPECT_NEAR(std::stod(measured.at("LPackage")), 0.6, 0.015);
    EXPECT_NEAR(std::stod(measured.at("WPackage")), 0.4, 0.015);
    // A 40 mm tray is the densest layer near the floor, and no floor: it
    // reaches no edge of the zone. Was refused as a camera moved 38 mm.
    Seed(5209, ScanScene::SingleBox(0.4f, 0.3f, 0.04f, 0.0f, 0.0f, 30.0, false), camera, true);
    run = RunTool(dir, {"-i", "5209", "-e", "2", "-p", dir.DataFolder().string()});
    EXPECT_EQ(run.out.find("Floor of session scn5209 seen"), std::string::npos) << run.out;
    // The floor seen again, the camera 20 mm nearer, reaches them all.
    DepthCamera::Settings moved = camera;
    moved.moved = 0.02;
    const fs::path tray = Seed(5210, ScanScene::SingleBox(0.4f, 0.3f, 0.04f, 0.0f, 0.0f, 30.0, false), moved, true);
    ExpectRefused(5210, tray, {"-e", "2"}, "Floor of session scn5210 seen 20 mm nearer the camera than its floor plane: ");
    // Of a 10 mm sheet the scanner leaves a few strays: the whole scan, and
    // no goods. With the zone's edges clear of them they were measured.
    DepthCamera::Settings quiet = camera;
    quiet.sigma1 = 0.00025;
    const fs::path sheet = Seed(5211, ScanScene::SingleBox(0.35f, 0.25f, 0.01f, 0.0f, 0.0f, 30.0, false), quiet, true);
    ExpectRefused(5211, sheet, {"-e", "2"}, "Nothing of session scn5211 stands clear of the cut ");

    // Without the zone the same row is stored, and the goods the view cuts off go unchecked.
    db.Exec("UPDATE decode SET decactive = 0 WHERE deckey LIKE 'floor.zone.%'");
    run = RunTool(dir, measure);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find("Floor Zone"), std::string::npos);
    EXPECT_EQ(ReadObject(db, 5208), measured);
    run = RunTool(dir, {"-i", "5207", "-e", "2", "-p", dir.DataFolder().string()});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_LT(std::stod(ReadObject(db, 5207).at("LPackage")), 0.5);
}

// A camera of 1.5 mm at 1 m: the row of mixed pixels along a small box's far
// edge passes the filter of today's mode, which stored the 300 mm box 57 mm
// long. Refused after the cut, before anything is written; the precise mode
// fits the faces and measures it.
TEST_F(SceneCheckRun, FlyingPixelsTheFilterKeepsAreRefusedInTodaysMode) {
    DepthCamera::Settings camera = Camera(0.0015);
    camera.width = 848;
    camera.fovXDeg = 86.0;
    camera.fovYDeg = 57.0;
    camera.floorTolerance = 0.01;
    camera.mountHeight = 1.8;
    camera.seed = 5005;
    const fs::path scan = Seed(5208, ScanScene::SingleBox(0.3f, 0.3f, 0.3f, 0.3f, 0.0f, 0.0, false), camera);
    SeedDecode(db, cleanup, "CONFIG", "pallet.correction.height", "21", "D");
    const auto before = ReadObject(db, 5208);
    const std::vector<std::string> args = {"-i", "5208", "-e", "2", "-p", dir.DataFolder().string()};
    const RunResult run = RunTool(dir, args);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("ERROR: Goods of session scn5208 keep flying pixels after the filter: "),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists(scan.parent_path() / "P"));
    EXPECT_EQ(ReadObject(db, 5208), before);

    SeedDecode(db, cleanup, "CONFIG", "inbound.precise", "1", "I");
    ASSERT_EQ(RunTool(dir, args).status, 0);
    const auto row = ReadObject(db, 5208);
    EXPECT_NEAR(std::stod(row.at("LPackage")), 0.3, 0.005);
    EXPECT_NEAR(std::stod(row.at("WPackage")), 0.3, 0.005);
}
