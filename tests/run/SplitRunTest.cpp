#include "run/ScanRun.h"

#include <algorithm>

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

// Cluster settings of these runs, as given on the command line.
const std::vector<std::string> kClusterOptions = {"-t", "50", "-m", "100", "-M", "10000000"};

std::vector<std::string> Args(std::vector<std::string> args, const RunDir& dir,
                              const std::vector<std::string>& cluster = kClusterOptions) {
    args.insert(args.end(), cluster.begin(), cluster.end());
    args.push_back("-p");
    args.push_back(dir.DataFolder().string());
    return args;
}

/// Checks cluster k's five files in folder and returns its JSON data.
Json::Value ExpectCluster(const fs::path& folder, int k, int parentId) {
    const std::string s = "S" + std::to_string(k);
    EXPECT_FALSE(ReadPcd(folder / (s + ".pcd")).empty()) << s;
    for (const char* suffix : {"_0.wrl", "_1.wrl", "_2.wrl"}) {
        EXPECT_EQ(ReadText(folder / (s + suffix)).rfind(kSceneHeader, 0), 0u) << s << suffix;
    }
    Json::Value data = ReadJson(folder / (s + ".json"));
    EXPECT_EQ(data["id"].asInt(), 0);
    EXPECT_EQ(data["n"].asInt(), k);
    EXPECT_EQ(data["parent_id"].asInt(), parentId);
    EXPECT_EQ(data["pallet_op"].asInt(), 0);
    EXPECT_EQ(data["pallet_id"].asInt(), 0);
    EXPECT_EQ(data["pallet_h"].asInt(), 0);
    EXPECT_TRUE(data["cloud_info"]["inbound"].isMember("P8"));
    return data;
}

/// Height, the longer and the shorter side of a cluster's inbound box.
void ExpectBox(const Json::Value& data, const ScanScene::Box& box, float height, const char* what) {
    const Json::Value& info = data["cloud_info"];
    const double l = info["L"].asDouble(), w = info["W"].asDouble();
    EXPECT_NEAR(info["H"].asDouble(), height, 0.015) << what;
    EXPECT_NEAR(std::max(l, w), box.length, 0.02) << what;
    EXPECT_NEAR(std::min(l, w), box.width, 0.02) << what;
    EXPECT_NEAR(info["vol_inbound"].asDouble(), info["H"].asDouble() * l * w, 1e-4) << what;
}

class SplitRun : public kelvo_test::RunFixture {};

}  // namespace

TEST_F(SplitRun, TwoBoxesSideBySideBecomeTwoMeasuredClusters) {
    SeedRunSettings(db, cleanup);
    const ScanScene scene = ScanScene::SideBySide(30.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5101, "spl5101", 5, scene);
    const std::string before = ReadText(scan);

    const RunResult run = RunTool(dir, Args({"-i", "5101", "-z"}, dir));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Begin split\nSplit: 2\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Begin depallet"), std::string::npos);
    EXPECT_EQ(run.out.find("UPDATE awbexport"), std::string::npos);

    const fs::path folder = scan.parent_path() / "5101";
    const auto goods = scene.Goods();
    const Json::Value first = ExpectCluster(folder, 1, 5101);
    const Json::Value second = ExpectCluster(folder, 2, 5101);
    ExpectBox(first, goods[0], goods[0].height, "cluster 1");
    ExpectBox(second, goods[1], goods[1].height, "cluster 2");
    EXPECT_GT(ReadPcd(folder / "S1.pcd").size(), ReadPcd(folder / "S2.pcd").size());
    EXPECT_FALSE(fs::exists(folder / "S3.pcd"));

    // A split writes files only: the row and the scan stay as they were.
    EXPECT_EQ(ReadObject(db, 5101).at("pallet_op"), "0");
    EXPECT_EQ(ReadObject(db, 5101).at("HPackage"), "NULL");
    EXPECT_EQ(ReadText(scan), before);
}

TEST_F(SplitRun, StackedBoxesHaveNothingToSplit) {
    SeedRunSettings(db, cleanup);
    const fs::path scan = SeedScan(db, cleanup, dir, 5102, "spl5102", 1, ScanScene::Stacked(10.0));
    const RunResult run = RunTool(dir, Args({"-i", "5102", "-z"}, dir));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Begin split\nNothing to split\nSplit: 1\n"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(scan.parent_path() / "5102"));
}

TEST_F(SplitRun, SplitAfterDepalletCutsTheGoodsWithoutThePallet) {
    SeedRunSettings(db, cleanup);
    const ScanScene scene = ScanScene::PalletSideBySide(45.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5103, "spl5103", 2, scene, kPalletToRemove);

    const RunResult run = RunTool(dir, Args({"-i", "5103", "-e", "144", "-z"}, dir));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    ASSERT_NE(run.out.find("Begin depallet"), std::string::npos);
    EXPECT_LT(run.out.find("Begin depallet"), run.out.find("Begin split\nSplit: 2\n")) << run.out;
    EXPECT_EQ(ReadObject(db, 5103).at("pallet_op"), "3");
    EXPECT_TRUE(fs::exists(scan.parent_path() / "P" / "S2.pcd"));

    // Measured over the pallet's top face, not the floor.
    const fs::path folder = scan.parent_path() / "5103";
    const auto goods = scene.Goods();
    ExpectBox(ExpectCluster(folder, 1, 5103), goods[0], goods[0].height, "cluster 1");
    ExpectBox(ExpectCluster(folder, 2, 5103), goods[1], goods[1].height, "cluster 2");
}

// In the precise mode goods on the floor stand on the floor itself, not on
// the 2 mm band the cut takes, and so do the parts a split makes of them:
// they came out 2 mm low.
TEST_F(SplitRun, PreciseSplitOnTheFloorMeasuresFromTheFloor) {
    SeedRunSettings(db, cleanup);
    SeedDecode(db, cleanup, "CONFIG", "inbound.precise", "1", "I");
    const ScanScene scene = ScanScene::SideBySide(30.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5106, "spl5106", 1, scene, kPalletToRemove);

    const RunResult run = RunTool(dir, Args({"-i", "5106", "-e", "2", "-z"}, dir));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const fs::path folder = scan.parent_path() / "5106";
    const auto goods = scene.Goods();
    for (int k = 1; k <= 2; ++k) {
        const Json::Value part = ExpectCluster(folder, k, 5106);
        EXPECT_NEAR(part["cloud_info"]["H"].asDouble(), goods[k - 1].height, 0.001) << k;
    }
}

TEST_F(SplitRun, SmallClustersAreDroppedWithoutGapsInTheNumbering) {
    SeedRunSettings(db, cleanup);
    const fs::path scan = SeedScan(db, cleanup, dir, 5104, "spl5104", 1, ScanScene::SideBySideWithSpecks(0.0));
    // Specks of 5, 8 and 11 points pass the extraction but are too small to keep.
    const RunResult run = RunTool(dir, Args({"-i", "5104", "-z"}, dir, {"-t", "50", "-m", "5", "-M", "10000000"}));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Split: 2\n"), std::string::npos) << run.out;
    const fs::path folder = scan.parent_path() / "5104";
    ExpectCluster(folder, 1, 5104);
    ExpectCluster(folder, 2, 5104);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 10);
}

TEST_F(SplitRun, MissingPointsJoinNoCluster) {
    SeedRunSettings(db, cleanup);
    const fs::path scan = SeedScan(db, cleanup, dir, 5105, "spl5105", 1, ScanScene::SideBySide(60.0), 0, 0.05);
    const RunResult run = RunTool(dir, Args({"-i", "5105", "-z"}, dir));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Split: 2\n"), std::string::npos) << run.out;
    const fs::path folder = scan.parent_path() / "5105";
    for (int k = 1; k <= 2; ++k) {
        const std::string text = ReadText(folder / ("S" + std::to_string(k) + ".pcd"));
        EXPECT_EQ(text.find("nan"), std::string::npos) << k;
    }
}

TEST_F(SplitRun, ClusterWhoseResultsOverflowWritesNothing) {
    SeedRunSettings(db, cleanup);
    const ScanScene scene = ScanScene::SideBySide(30.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5106, "spl5106", 1, scene);
    // Two readings near the float limit on one box would make its height,
    // and every volume with it, no number a data file can carry: no camera
    // delivers them, and the scan is refused before it is split.
    auto points = scene.Sample(kScanPoints, ScanScene::kDefaultNoise, 0.0, 7);
    points[0].z = 3e38f;
    points[1] = {points[0].x, points[0].y, -3e38f};
    ASSERT_TRUE(ScanScene::WritePcd(scan.string(), points));

    const RunResult run = RunTool(dir, Args({"-i", "5106", "-z"}, dir));
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.out.find("Begin split"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("ERROR: Scan of session spl5106 is not plausible: a point lies 3e+38 m"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists(scan.parent_path() / "5106"));
}
