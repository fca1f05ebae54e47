#include <cstdlib>
#include <set>
#include <string>

#include "PngImage.h"
#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

/// Every picture under folder.
std::set<fs::path> Pictures(const fs::path& folder) {
    std::set<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() == ".png") found.insert(entry.path());
    }
    return found;
}

/// Corners A..D of the inbound box as the row stores them.
Corners RowCorners(const std::map<std::string, std::string>& row) {
    Corners corners;
    for (int i = 0; i < 4; ++i) {
        const std::string k = std::to_string(i + 1);
        corners[i] = {std::stod(row.at("ibx" + k)), std::stod(row.at("iby" + k))};
    }
    return corners;
}

/// Corners A..D of a cluster's inbound box in the data file beside its picture.
Corners JsonCorners(const fs::path& picture) {
    const Json::Value box =
        ReadJson(fs::path(picture).replace_extension(".json"))["cloud_info"]["inbound"];
    Corners corners;
    for (int i = 0; i < 4; ++i) {
        const Json::Value& p = box["P" + std::to_string(i + 1)];
        corners[i] = {p["x"].asDouble(), p["y"].asDouble()};
    }
    return corners;
}

class SnapshotRun : public RunFixture {
protected:
    /// A row of two boxes on a pallet, the pallet in its table; returns the session's folder.
    fs::path Seed(int id, bool pictures) {
        SeedRunSettings(db, cleanup);
        SeedDecode(db, cleanup, "CONFIG", "pcl.color.map.type", "4", "S");
        if (pictures) SeedDecode(db, cleanup, "CONFIG", "image.snapshot", "1", "I");
        SeedPallet(db, cleanup, id, "EPAL", ScanScene::kPalletHeight * 1000.0);
        const auto scene = ScanScene::PalletSideBySide(25.0);
        return SeedScan(db, cleanup, dir, id, "snap" + std::to_string(id), 2, scene,
                        kPalletToRemove)
            .parent_path();
    }

    RunResult CutAndSplit(int id) {
        return RunTool(dir, {"-i", std::to_string(id), "-d", std::to_string(id), "-z", "-p",
                             dir.DataFolder().string(), "-t", "50", "-m", "100", "-M", "10000000"});
    }
};

}  // namespace

TEST_F(SnapshotRun, EveryCloudFileGetsItsPictureWithTheMeasuredRectangle) {
    const fs::path session = Seed(5401, true);
    const RunResult run = CutAndSplit(5401);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Image:\n\tSnapshot: 1\n"), std::string::npos) << run.out;
    const fs::path cut = session / "P" / "S2.png";
    const fs::path a = session / "5401" / "S1.png", b = session / "5401" / "S2.png";
    ASSERT_EQ(Pictures(session), (std::set<fs::path>{a, b, cut}));
    ExpectSnapshot(ReadPng(cut), RowCorners(ReadObject(db, 5401)));
    for (const fs::path& cluster : {a, b}) {
        SCOPED_TRACE(cluster.string());
        ExpectSnapshot(ReadPng(cluster), JsonCorners(cluster));
    }
}

TEST_F(SnapshotRun, SettingOffWritesNoPictureAndPrintsNothingNew) {
    const fs::path session = Seed(5403, false);
    const RunResult run = CutAndSplit(5403);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(fs::exists(session / "5403" / "S2.json"));
    EXPECT_TRUE(Pictures(dir.Path()).empty());
    EXPECT_EQ(run.out.find("Image:"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("napshot"), std::string::npos) << run.out;
    // Nor does the tool load the drawing libraries at its start: only the
    // picture module, loaded for the first picture, needs them.
    const RunResult libraries = RunCommand(dir, {"/usr/bin/ldd", std::getenv("KELVO_TOOLS_BIN")});
    ASSERT_EQ(libraries.status, 0) << libraries.err;
    EXPECT_EQ(libraries.out.find("libcairo"), std::string::npos) << libraries.out;
    EXPECT_EQ(libraries.out.find("libfreetype"), std::string::npos) << libraries.out;
}

TEST_F(SnapshotRun, APictureThatCannotBeWrittenEndsTheRunAndLeavesNoPartialFile) {
    const fs::path pallet = Seed(5404, true) / "P";
    fs::create_directories(pallet / "S2.png");  // in the way of the picture
    const auto rowBefore = ReadObject(db, 5404);
    const RunResult run = CutAndSplit(5404);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.err, "ERROR: Unable to write file: " + (pallet / "S2.png").string() +
                           " (Is a directory)\n");
    EXPECT_EQ(run.out.find("Begin split"), std::string::npos);
    EXPECT_EQ(ReadObject(db, 5404), rowBefore);
    // Only what was renamed into place before stays: the cut cloud.
    const std::set<fs::path> left{fs::directory_iterator(pallet), fs::directory_iterator()};
    EXPECT_EQ(left, (std::set<fs::path>{pallet / "S2.pcd", pallet / "S2.png"}));
    EXPECT_TRUE(fs::is_empty(pallet / "S2.png"));
}
