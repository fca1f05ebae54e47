#include <algorithm>
#include <cmath>

#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

double Column(const std::map<std::string, std::string>& row, const std::string& name) {
    const auto it = row.find(name);
    if (it == row.end() || it->second == "NULL") {
        ADD_FAILURE() << name << " is not set";
        return NAN;
    }
    return std::stod(it->second);
}

/// What every depallet run leaves: the pallet folder's four files, the update
/// applied three times over on standard output, the scan as it was.
void ExpectDepalletResults(const RunResult& run, const fs::path& scan,
                           const std::string& scanBefore, int n) {
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Found!:\n"), std::string::npos);
    EXPECT_NE(run.out.find("Begin depallet\n"), std::string::npos);
    EXPECT_EQ(run.out.find("Begin split"), std::string::npos);
    EXPECT_EQ(Occurrences(run.out, "UPDATE awbexport"), 3);
    const fs::path pallet = scan.parent_path() / "P";
    const std::string s = "S" + std::to_string(n);
    EXPECT_TRUE(fs::exists(pallet / (s + ".pcd")));
    for (const char* suffix : {"_0.wrl", "_1.wrl", "_2.wrl"}) {
        const std::string scene = ReadText(pallet / (s + suffix));
        EXPECT_EQ(scene.rfind(kSceneHeader, 0), 0u) << s << suffix;
        EXPECT_NE(scene.find("Transform {"), std::string::npos) << s << suffix;
    }
    EXPECT_EQ(ReadText(scan), scanBefore);
}

class DepalletRun : public kelvo_test::RunFixture {};

}  // namespace

TEST_F(DepalletRun, ByPalletIdMeasuresTheGoodsAndUpdatesTheRow) {
    SeedRunSettings(db, cleanup);
    SeedPallet(db, cleanup, 5001, "EPAL", ScanScene::kPalletHeight * 1000.0);
    const ScanScene scene = ScanScene::BoxOnPallet(30.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5001, "dep5001", 4, scene, kPalletToRemove);
    const std::string before = ReadText(scan);

    const RunResult run =
        RunTool(dir, {"-i", "5001", "-d", "5001", "-p", dir.DataFolder().string()});
    ExpectDepalletResults(run, scan, before, 4);

    const auto row = ReadObject(db, 5001);
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row.at("pallet_op"), "3");
    const double h = Column(row, "HPackage"), l = Column(row, "LPackage"),
                 w = Column(row, "WPackage");
    const ScanScene::Box box = scene.Goods().front();
    EXPECT_NEAR(h, scene.GoodsHeight(), 0.015);
    EXPECT_NEAR(std::max(l, w), box.length, 0.02);
    EXPECT_NEAR(std::min(l, w), box.width, 0.02);
    EXPECT_NEAR(Column(row, "Inbound"), h * l * w, 1e-4);
    EXPECT_GT(Column(row, "RealVolume"), 0.9 * h * l * w);
    EXPECT_LE(Column(row, "RealVolume"), h * l * w * 1.001);

    // The saved cloud: the goods and their doubles on the pallet's top face.
    const auto points = ReadPcd(scan.parent_path() / "P" / "S4.pcd");
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.size() % 2, 0u);
    float zMax = -100.0f;
    for (const auto& p : points) zMax = std::max(zMax, p[2]);
    EXPECT_NEAR(zMax, scene.PalletTopZ(), 0.006);
}

TEST_F(DepalletRun, ByHeightFindsTheObjectThroughItsSession) {
    SeedRunSettings(db, cleanup);
    const ScanScene scene = ScanScene::BoxOnPallet(-20.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5002, "dep5002", 2, scene, 1);
    const std::string before = ReadText(scan);

    const RunResult run =
        RunTool(dir, {"-s", "dep5002", "-n", "2", "-e", "144", "-p", dir.DataFolder().string()});
    ExpectDepalletResults(run, scan, before, 2);
    const auto row = ReadObject(db, 5002);
    EXPECT_EQ(row.at("pallet_op"), "3");
    EXPECT_NEAR(Column(row, "HPackage"), scene.GoodsHeight(), 0.015);
}

// A height above 0 and below 2 mm is refused (SetupMistakeRunTest); 0 is no pallet.
TEST_F(DepalletRun, PalletOfNoHeightCutsNothing) {
    SeedRunSettings(db, cleanup);
    const ScanScene scene = ScanScene::BoxOnPallet(0.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5003, "dep5003", 1, scene);
    const std::string before = ReadText(scan);

    const RunResult run = RunTool(dir, {"-i", "5003", "-e", "0", "-p", dir.DataFolder().string()});
    ExpectDepalletResults(run, scan, before, 1);
    EXPECT_EQ(ReadPcd(scan.parent_path() / "P" / "S1.pcd").size(), ReadPcd(scan).size());
    // Measured with the pallet: goods and pallet together. A row that asked
    // for no pallet operation keeps code 0.
    const auto row = ReadObject(db, 5003);
    EXPECT_NEAR(Column(row, "HPackage"), scene.GoodsHeight() + ScanScene::kPalletHeight, 0.015);
    EXPECT_EQ(row.at("pallet_op"), "0");
}

TEST_F(DepalletRun, CutFollowsWholeMillimetres) {
    // Floor at 1.5 m, pallet 125 mm, correction 5 mm: the limit is 1370 mm.
    SeedDecode(db, cleanup, "CONFIG", "pallet.correction.height", "5", "D");
    SeedDecode(db, cleanup, "CONFIG", "octree.real.volume.resolution", "0.02", "D");
    SeedSession(db, cleanup, "dep5004", {0.0, 0.0, 1.0, -1.5});
    SeedObject(db, cleanup, 5004, "dep5004", 1);
    std::vector<std::array<float, 3>> points;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            points.push_back({0.1f * i, 0.1f * j, 1.3705f});          // 1370: kept
            points.push_back({0.1f * i + 0.05f, 0.1f * j, 1.3712f});  // 1371: cut
        }
    }
    points.push_back({-0.1f, -0.1f, 1.5f});
    points.push_back({0.4f, 0.4f, 1.5f});
    const fs::path scan = dir.DataFolder() / "dep5004" / "S1.pcd";
    WriteScan(scan, points);

    const RunResult run =
        RunTool(dir, {"-i", "5004", "-e", "125", "-p", dir.DataFolder().string()});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const auto kept = ReadPcd(scan.parent_path() / "P" / "S1.pcd");
    ASSERT_EQ(kept.size(), 32u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_NEAR(kept[i][2], 1.3705f, 1e-6);
        EXPECT_NEAR(kept[16 + i][2], 1.375f, 1e-6);
        EXPECT_EQ(kept[16 + i][0], kept[i][0]);
    }
    EXPECT_NEAR(Column(ReadObject(db, 5004), "HPackage"), 0.0045, 1e-4);
}

TEST_F(DepalletRun, ScanWithMissingPointsIsMeasured) {
    SeedRunSettings(db, cleanup);
    const ScanScene scene = ScanScene::BoxOnPallet(15.0);
    const fs::path scan =
        SeedScan(db, cleanup, dir, 5005, "dep5005", 3, scene, kPalletToRemove, 0.05);
    const std::string before = ReadText(scan);

    const RunResult run =
        RunTool(dir, {"-i", "5005", "-e", "144", "-p", dir.DataFolder().string()});
    ExpectDepalletResults(run, scan, before, 3);
    for (const auto& p : ReadPcd(scan.parent_path() / "P" / "S3.pcd")) {
        ASSERT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
    }
    EXPECT_NEAR(Column(ReadObject(db, 5005), "HPackage"), scene.GoodsHeight(), 0.015);
}

TEST_F(DepalletRun, PalletTallerThanTheScanLeavesRowAndFoldersAlone) {
    SeedRunSettings(db, cleanup);
    const fs::path scan = SeedScan(db, cleanup, dir, 5006, "dep5006", 1,
                                   ScanScene::BoxOnPallet(0.0), kPalletToRemove);

    const RunResult run =
        RunTool(dir, {"-i", "5006", "-e", "2000", "-p", dir.DataFolder().string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("ERROR: Nothing left of the cloud after removing the pallet!\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("UPDATE awbexport"), std::string::npos);
    EXPECT_FALSE(fs::exists(scan.parent_path() / "P"));
    const auto row = ReadObject(db, 5006);
    EXPECT_EQ(row.at("HPackage"), "NULL");
    EXPECT_EQ(row.at("pallet_op"), std::to_string(kPalletToRemove));
}

TEST_F(DepalletRun, UnknownPalletIdIsRefusedBeforeAnythingIsWritten) {
    SeedRunSettings(db, cleanup);
    const fs::path scan = SeedScan(db, cleanup, dir, 5007, "dep5007", 1,
                                   ScanScene::BoxOnPallet(0.0), kPalletToRemove);

    const RunResult run =
        RunTool(dir, {"-i", "5007", "-d", "5999", "-p", dir.DataFolder().string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("ERROR: Pallet not found: 5999\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Found!:"), std::string::npos);
    EXPECT_FALSE(fs::exists(scan.parent_path() / "P"));
    const auto row = ReadObject(db, 5007);
    EXPECT_EQ(row.at("HPackage"), "NULL");
    EXPECT_EQ(row.at("pallet_op"), std::to_string(kPalletToRemove));
}

TEST_F(DepalletRun, OutputBeyondTheFileSizeLimitLeavesNoPartialFile) {
    SeedRunSettings(db, cleanup);
    const ScanScene scene = ScanScene::BoxOnPallet(0.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5010, "dep5010", 3, scene, kPalletToRemove);
    const std::string before = ReadText(scan);
    const fs::path pallet = scan.parent_path() / "P";
    fs::create_directory(pallet);
    const fs::path output = pallet / "S3.pcd";
    const std::string previous = "previous output\n";
    std::ofstream(output.string()) << previous;
    const auto rowBefore = ReadObject(db, 5010);

    RunLimits limits;
    limits.maxFileBytes = 64 * 1024;  // far below the saved cloud, far above the printout
    const RunResult run =
        RunTool(dir, {"-i", "5010", "-e", "144", "-p", dir.DataFolder().string()}, limits);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    // The colour map's own notice may come first; the failure is the one error line.
    const std::string error =
        "ERROR: Unable to write point cloud file: " + output.string() + " (File too large)\n";
    EXPECT_EQ(Occurrences(run.err, "ERROR"), 1) << run.err;
    EXPECT_EQ(run.err.substr(run.err.size() - std::min(run.err.size(), error.size())), error);
    EXPECT_EQ(ReadText(output), previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(pallet), fs::directory_iterator()), 1);
    EXPECT_EQ(ReadText(scan), before);
    EXPECT_EQ(ReadObject(db, 5010), rowBefore);
}
