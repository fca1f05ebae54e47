#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "PngImage.h"
#include "SnapshotLayout.h"
#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;
using namespace kelvo_test::snapshot_layout;

namespace {

const std::vector<std::string> kClusterOptions = {"-t", "50", "-m", "100", "-M", "10000000"};

/// Every picture under folder, by path.
std::vector<std::string> Pictures(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() == ".png") {
            found.push_back(entry.path().string());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

/// A picture's size, its background and the amber rectangle where the corners A..D project.
void ExpectPicture(const fs::path& file, const std::array<std::array<double, 2>, 4>& corners) {
    SCOPED_TRACE(file.string());
    const PngImage image = ReadPng(file);
    ASSERT_EQ(image.width, 1200);
    ASSERT_EQ(image.height, 800);
    const ViewFit top = TopFit(corners);
    for (int i = 0; i < 4; ++i) {
        const auto at = top.Pixel(corners[i][0], corners[i][1]);
        const Colour got = image.At(at.first, at.second);
        EXPECT_TRUE(Near(got, kBox, kStrokeTolerance))
            << "corner " << static_cast<char>('A' + i) << " at " << at.first << "," << at.second
            << ": " << Describe(got);
    }
    for (const auto& empty : kEmptyPixels) {
        EXPECT_EQ(image.At(empty.first, empty.second), kViewBackground)
            << empty.first << "," << empty.second;
    }
}

/// Corners A..D of the row's inbound box as the update stored them.
std::array<std::array<double, 2>, 4> RowCorners(const std::map<std::string, std::string>& row) {
    std::array<std::array<double, 2>, 4> corners;
    for (int i = 0; i < 4; ++i) {
        const std::string k = std::to_string(i + 1);
        corners[i] = {std::stod(row.at("ibx" + k)), std::stod(row.at("iby" + k))};
    }
    return corners;
}

/// Corners A..D of a cluster's inbound box from its data file.
std::array<std::array<double, 2>, 4> JsonCorners(const fs::path& file) {
    const Json::Value data = ReadJson(file);
    std::array<std::array<double, 2>, 4> corners;
    for (int i = 0; i < 4; ++i) {
        const Json::Value& p = data["cloud_info"]["inbound"]["P" + std::to_string(i + 1)];
        corners[i] = {p["x"].asDouble(), p["y"].asDouble()};
    }
    return corners;
}

class SnapshotRun : public kelvo_test::RunFixture {
protected:
    /// A row of two boxes on a pallet, with the pallet in the table; returns the scan.
    fs::path Seed(int id, const std::string& sid, bool pictures) {
        SeedRunSettings(db, cleanup);
        SeedDecode(db, cleanup, "CONFIG", "pcl.color.map.type", "4", "S");
        if (pictures) {
            SeedDecode(db, cleanup, "CONFIG", "image.snapshot", "1", "I");
        }
        SeedPallet(db, cleanup, id, "EPAL", ScanScene::kPalletHeight * 1000.0);
        return SeedScan(db, cleanup, dir, id, sid, 2, ScanScene::PalletSideBySide(25.0),
                        kPalletToRemove);
    }

    RunResult CutAndSplit(int id) {
        std::vector<std::string> args = {"-i", std::to_string(id), "-d", std::to_string(id), "-z",
                                         "-p", dir.DataFolder().string()};
        args.insert(args.end(), kClusterOptions.begin(), kClusterOptions.end());
        return RunTool(dir, args);
    }
};

}  // namespace

TEST_F(SnapshotRun, EveryCloudFileGetsItsPictureWithTheMeasuredRectangle) {
    const fs::path scan = Seed(5401, "snap5401", true);
    const RunResult run = CutAndSplit(5401);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Split: 2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Image:\n\tSnapshot: 1\n"), std::string::npos);

    const fs::path session = scan.parent_path();
    EXPECT_EQ(Pictures(session),
              (std::vector<std::string>{(session / "5401" / "S1.png").string(),
                                        (session / "5401" / "S2.png").string(),
                                        (session / "P" / "S2.png").string()}));
    ExpectPicture(session / "P" / "S2.png", RowCorners(ReadObject(db, 5401)));
    for (const char* k : {"1", "2"}) {
        ExpectPicture(session / "5401" / (std::string("S") + k + ".png"),
                      JsonCorners(session / "5401" / (std::string("S") + k + ".json")));
    }
}

TEST_F(SnapshotRun, SplitWithoutCutDrawsTheClustersOnTheFloor) {
    SeedRunSettings(db, cleanup);
    SeedDecode(db, cleanup, "CONFIG", "image.snapshot", "1", "I");
    const fs::path scan = SeedScan(db, cleanup, dir, 5402, "snap5402", 3, ScanScene::SideBySide(40.0));
    std::vector<std::string> args = {"-i", "5402", "-z", "-p", dir.DataFolder().string()};
    args.insert(args.end(), kClusterOptions.begin(), kClusterOptions.end());
    const RunResult run = RunTool(dir, args);
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    const fs::path folder = scan.parent_path() / "5402";
    EXPECT_EQ(Pictures(scan.parent_path()),
              (std::vector<std::string>{(folder / "S1.png").string(), (folder / "S2.png").string()}));
    for (const char* k : {"1", "2"}) {
        ExpectPicture(folder / (std::string("S") + k + ".png"),
                      JsonCorners(folder / (std::string("S") + k + ".json")));
    }
}

TEST_F(SnapshotRun, SettingOffWritesNoPictureAndPrintsNothingNew) {
    const fs::path scan = Seed(5403, "snap5403", false);
    const RunResult run = CutAndSplit(5403);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Split: 2\n"), std::string::npos);
    EXPECT_TRUE(Pictures(dir.Path()).empty());
    EXPECT_EQ(run.out.find("Image:"), std::string::npos);
    EXPECT_EQ(run.out.find("napshot"), std::string::npos);
    EXPECT_TRUE(fs::exists(scan.parent_path() / "5403" / "S2.json"));
    // Nor does the tool load the drawing libraries at its start: only the
    // picture module, loaded for the first picture, needs them.
    const RunResult libraries = RunCommand(dir, {"/usr/bin/ldd", std::getenv("KELVO_TOOLS_BIN")});
    ASSERT_EQ(libraries.status, 0) << libraries.err;
    EXPECT_EQ(libraries.out.find("libcairo"), std::string::npos) << libraries.out;
    EXPECT_EQ(libraries.out.find("libfreetype"), std::string::npos) << libraries.out;
}

TEST_F(SnapshotRun, APictureThatCannotBeWrittenEndsTheRunAndLeavesNoPartialFile) {
    const fs::path scan = Seed(5404, "snap5404", true);
    const fs::path pallet = scan.parent_path() / "P";
    fs::create_directories(pallet / "S2.png");  // in the way of the picture
    const auto rowBefore = ReadObject(db, 5404);

    const RunResult run = CutAndSplit(5404);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const std::string error =
        "ERROR: Unable to write file: " + (pallet / "S2.png").string() + " (Is a directory)\n";
    EXPECT_EQ(run.err, error);
    // Only what was renamed into place before stays: the cut cloud.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(pallet)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"S2.pcd", "S2.png"}));
    EXPECT_TRUE(fs::is_directory(pallet / "S2.png"));
    EXPECT_TRUE(fs::is_empty(pallet / "S2.png"));
    EXPECT_EQ(ReadObject(db, 5404), rowBefore);
    EXPECT_EQ(run.out.find("Begin split"), std::string::npos);
}
