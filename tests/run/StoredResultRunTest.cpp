// Whole runs whose row or files could end up wrong: repeated runs, updates
// the database refuses, connections lost mid-run.

#include <random>

#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

class StoredResultRun : public kelvo_test::RunFixture {};

/// Every file under the pallet folder with its content.
std::map<std::string, std::string> PalletFiles(const fs::path& scan) {
    std::map<std::string, std::string> files;
    for (fs::directory_iterator it(scan.parent_path() / "P"), end; it != end; ++it) {
        files[it->path().filename().string()] = ReadText(it->path());
    }
    return files;
}

}  // namespace

TEST_F(StoredResultRun, RepeatedCutsStartFromTheDeliveredScan) {
    SeedRunSettings(db, cleanup);
    SeedPallet(db, cleanup, 5101, "EPAL", ScanScene::kPalletHeight * 1000.0);
    const ScanScene scene = ScanScene::BoxOnPallet(10.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5101, "keep5101", 2, scene, kPalletToRemove);
    const std::string delivered = ReadText(scan);
    const std::string data = dir.DataFolder().string();

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-i", "5101", "-d", "5101", "-p", data},
          std::vector<std::string>{"-i", "5101", "-e", "144", "-p", data}}) {
        const RunResult first = RunTool(dir, args);
        ASSERT_EQ(first.status, 0) << first.out << first.err;
        const auto row = ReadObject(db, 5101);
        const auto files = PalletFiles(scan);
        for (int again = 0; again < 2; ++again) {
            const RunResult next = RunTool(dir, args);
            ASSERT_EQ(next.status, 0) << next.out << next.err;
            EXPECT_NE(next.out.find("file: \"" + data + "/keep5101/S2.pcd\""), std::string::npos);
            EXPECT_EQ(ReadObject(db, 5101), row);
            EXPECT_EQ(PalletFiles(scan), files);
        }
        EXPECT_EQ(ReadObject(db, 5101).at("pallet_op"), "3");
        EXPECT_NEAR(std::stod(row.at("HPackage")), scene.GoodsHeight(), 0.015);
    }
    EXPECT_EQ(ReadText(scan), delivered);

    // Without the delivered scan there is nothing to cut from, whatever the pallet folder holds.
    fs::remove(scan);
    const RunResult missing = RunTool(dir, {"-i", "5101", "-e", "144", "-p", data});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("Not found:\n"), std::string::npos) << missing.out;
    EXPECT_EQ(missing.out.find("Found!:"), std::string::npos);
    // A run that cuts nothing reads the row's own file.
    const RunResult uncut = RunTool(dir, {"-i", "5101", "-e", "0", "-p", data});
    EXPECT_EQ(uncut.status, 0) << uncut.out << uncut.err;
    EXPECT_NE(uncut.out.find("file: \"" + data + "/keep5101/P/S2.pcd\""), std::string::npos);
}

TEST_F(StoredResultRun, RefusedUpdateEndsWithStatusOneAfterTheSplit) {
    SeedRunSettings(db, cleanup);
    const ScanScene scene = ScanScene::BoxOnPallet(0.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5102, "keep5102", 1, scene, kPalletToRemove);
    cleanup.Add("DROP TRIGGER IF EXISTS refuse5102");
    db.Exec("CREATE TRIGGER refuse5102 BEFORE UPDATE ON awbexport FOR EACH ROW "
            "IF NEW.ID = 5102 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF");

    const RunResult run =
        RunTool(dir, {"-i", "5102", "-e", "144", "-z", "-p", dir.DataFolder().string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("# ERR: SQLException in \n(ExecSQL) on line 742\n# ERR: refused"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Occurrences(run.out, "UPDATE awbexport"), 3);
    EXPECT_NE(run.out.find("Begin split\n"), std::string::npos);
    const auto row = ReadObject(db, 5102);
    EXPECT_EQ(row.at("HPackage"), "NULL");
    EXPECT_EQ(row.at("pallet_op"), std::to_string(kPalletToRemove));
}

TEST_F(StoredResultRun, ValuesNoRowCanHoldAreRefusedBeforeAnythingIsWritten) {
    SeedRunSettings(db, cleanup);
    SeedPallet(db, cleanup, 5103, "BELOW", -144.0);
    const fs::path scan = SeedScan(db, cleanup, dir, 5103, "keep5103", 1,
                                   ScanScene::BoxOnPallet(0.0), kPalletToRemove);
    const std::string data = dir.DataFolder().string();
    struct Case {
        std::string option;
        std::string message;
    };
    const Case cases[] = {
        {"--depallet_by_h=nan", "ERROR: Invalid pallet height: nan\n"},
        {"--depallet_by_h=inf", "ERROR: Invalid pallet height: inf\n"},
        {"--depallet_by_h=-5", "ERROR: Invalid pallet height: -5\n"},
        {"--depallet_by_h=-0.5", "ERROR: Invalid pallet height: -0.5\n"},
        {"--depallet_by_id=5103", "ERROR: Invalid pallet height: -144\n"},
        {"--depallet_by_h=1e30", "ERROR: Nothing left of the cloud after removing the pallet!\n"},
    };
    for (const Case& c : cases) {
        const RunResult run = RunTool(dir, {"-i", "5103", c.option, "-p", data});
        EXPECT_EQ(run.status, 1) << c.option;
        EXPECT_NE(run.out.find(c.message), std::string::npos) << c.option << "\n" << run.out;
    }

    // Coordinates at the edge of the float range would make the box
    // infinite: no camera delivers them, and the scan is refused before.
    SeedSession(db, cleanup, "keep5104", {0.0, 0.0, 1.0, -2.5});
    SeedObject(db, cleanup, 5104, "keep5104", 1, kPalletToRemove);
    std::vector<std::array<float, 3>> points;
    std::mt19937 random(1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < 3000; ++i) {
        points.push_back({unit(random), 0.8f * unit(random), i % 2 ? 2.0f : 2.5f});
    }
    points.push_back({3e38f, 0.1f, 2.0f});
    points.push_back({-3e38f, 0.1f, 2.0f});
    WriteScan(dir.DataFolder() / "keep5104" / "S1.pcd", points);
    const RunResult huge = RunTool(dir, {"-i", "5104", "-e", "100", "-p", data});
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.out.find("ERROR: Scan of session keep5104 is not plausible: a point lies 3e+38 m "
                            "from the camera (at most 20 m; coordinates in millimetres?)\n"),
              std::string::npos)
        << huge.out;

    for (const auto& [id, folder] : {std::pair{5103, "keep5103"}, std::pair{5104, "keep5104"}}) {
        EXPECT_FALSE(fs::exists(dir.DataFolder() / folder / "P"));
        const auto row = ReadObject(db, id);
        EXPECT_EQ(row.at("HPackage"), "NULL");
        EXPECT_EQ(row.at("pallet_op"), std::to_string(kPalletToRemove));
    }
    // A pallet of no height is no error: nothing is cut.
    EXPECT_EQ(RunTool(dir, {"-i", "5103", "-e", "0", "-p", data}).status, 0);
}
