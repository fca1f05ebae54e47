// Whole runs on depth-camera scans that show a scene the station cannot
// measure: refused with one line, exit 1, nothing written, the row untouched.

#include "run/ScanRun.h"
#include "tools/DepthCamera.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

class SceneCheckRun : public RunFixture {
protected:
    void SetUp() override {
        SeedRunSettings(db, cleanup);
        SeedPallet(db, cleanup, 5200, "EPAL", 144.0);
    }

    /// Row id of session "scn<id>" with the camera's scan of the scene and the plane the station was calibrated with.
    fs::path Seed(int id, const ScanScene& scene, const DepthCamera::Settings& camera) {
        const std::string sid = "scn" + std::to_string(id);
        const DepthCamera scanner(scene, camera);
        float a, b, c, d;
        scanner.Plane(a, b, c, d);
        SeedSession(db, cleanup, sid, {a, b, c, d});
        SeedObject(db, cleanup, id, sid, 1, kPalletToRemove);
        const fs::path scan = dir.DataFolder() / sid / "S1.pcd";
        fs::create_directories(scan.parent_path());
        EXPECT_TRUE(ScanScene::WritePcd(scan.string(), scanner.Scan(), camera.width, camera.height));
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

TEST_F(SceneCheckRun, NoPalletOnAFloorWithStraysIsRefusedAndTheCutMeasuresIt) {
    // -e 0 measured the floor's strays as goods: L 3.3 m for a 0.6 m box.
    const ScanScene scene = ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.3f, 0.0f, 30.0, false);
    const fs::path scan = Seed(5201, scene, Camera(0.0005));
    ExpectRefused(5201, scan, {"-e", "0"}, "Scan of session scn5201 holds the floor: ");
    ASSERT_EQ(RunTool(dir, {"-i", "5201", "-e", "2", "-p", dir.DataFolder().string()}).status, 0);
    EXPECT_NEAR(std::stod(ReadObject(db, 5201).at("LPackage")), 0.6, 0.015);
}

TEST_F(SceneCheckRun, NoPalletSeeingOnlyTheTopIsRefused) {
    // The camera over the middle of a 1.2 m box sees its top face only: H was stored as a few millimetres.
    const ScanScene scene = ScanScene::SingleBox(1.2f, 0.8f, 0.4f, 0.0f, 0.0f, 0.0, false);
    DepthCamera::Settings camera = Camera(0.00025);
    camera.mixedPixels = false;
    ExpectRefused(5202, Seed(5202, scene, camera), {"-e", "0"},
                  "Goods of session scn5202 were not seen down to the floor: their lowest point lies ");
}

TEST_F(SceneCheckRun, GoodsPartlyOutOfViewAreRefused) {
    // A quarter of the top face beyond the image's right edge: L came out 140 mm short.
    const ScanScene scene = ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 1.55f, 0.0f, 0.0, false);
    ExpectRefused(5203, Seed(5203, scene, Camera(0.0005)), {"-e", "2"},
                  "Goods of session scn5203 reach beyond the camera's image: ");
}

TEST_F(SceneCheckRun, MovedCameraIsRefusedForEveryOperation) {
    // 20 mm toward the floor: with -d the pallet was stored with the box.
    const ScanScene scene = ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.0f, 0.0f, 30.0, true);
    const fs::path scan = Seed(5204, scene, Camera(0.0005, 0.02));
    for (const auto& how : std::vector<std::vector<std::string>>{{"-d", "5200"}, {"-e", "2"}, {"-e", "0"}, {"-z"}}) {
        ExpectRefused(5204, scan, how,
                      "Floor of session scn5204 seen 20 mm nearer the camera than its floor plane: ");
    }
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

TEST_F(SceneCheckRun, AQuietCameraMovedWithinTheFloorRemovalLeavesTheDeckAboveTheCut) {
    // 10 mm toward the floor: the scanner still removes the floor, but the
    // deck stands 3 mm above a 144 + 7 mm cut and the pallet was stored with the box (L +888 mm).
    db.Exec("UPDATE decode SET decvalue = '7' WHERE deckey = 'pallet.correction.height' AND id >= " +
            std::to_string(kFirstSeededDecodeId));
    const ScanScene scene = ScanScene::SingleBox(0.3f, 0.3f, 0.3f, 0.0f, 0.0f, 30.0, true);
    ExpectRefused(5206, Seed(5206, scene, Camera(0.00025, 0.01)), {"-d", "5200"},
                  "Cut of session scn5206 leaves a layer with the goods: ");
}
