// Whole runs on scans as a camera above a station delivers them: the floor
// plane is the reference of the pallet cut, planes and scans that do not fit
// are refused, corrections land on the sides they name, the outlier filter
// takes the station's rows, and no-return pixels in every spelling are alike.

#include <algorithm>
#include <cmath>

#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

double Column(const std::map<std::string, std::string>& row, const std::string& name) {
    const auto it = row.find(name);
    return it == row.end() || it->second == "NULL" ? NAN : std::stod(it->second);
}

class FloorReferenceRun : public RunFixture {
protected:
    /// Seeds row id of session sid with the plane and writes the scan text as its S1.pcd.
    fs::path Seed(int id, const std::string& sid, const std::array<double, 4>& plane,
                  const std::string& scanText) {
        SeedSession(db, cleanup, sid, plane);
        SeedObject(db, cleanup, id, sid, 1, kPalletToRemove);
        const fs::path scan = dir.DataFolder() / sid / "S1.pcd";
        fs::create_directories(scan.parent_path());
        std::ofstream(scan.string()) << scanText;
        return scan;
    }

    RunResult Depallet(int id, const std::string& how = "-d", const std::string& value = "5100") {
        return RunTool(dir, {"-i", std::to_string(id), how, value, "-p", dir.DataFolder().string()});
    }

    /// A generated box on a pallet as PCD text.
    static std::string ScanText(const ScanScene& scene, double nanFraction = 0.0) {
        TempScan temp;
        ScanScene::WritePcd(temp.path, scene.Sample(kScanPoints, ScanScene::kDefaultNoise, nanFraction, 7));
        return ReadText(temp.path);
    }

    struct TempScan {
        std::string path = (fs::temp_directory_path() / fs::unique_path("scan-%%%%%%%%.pcd")).string();
        ~TempScan() { fs::remove(path); }
    };
};

const std::array<double, 4> kFloor = {0.0, 0.0, 1.0, -ScanScene::kFloorZ};

/// Only the rows of a PCD text whose z lies at or above the pallet's deck:
/// the camera sees the goods and the deck, nothing at the floor.
std::string WithoutFloorSide(const std::string& text) {
    std::istringstream in(text);
    std::string line, header, rows;
    std::size_t count = 0;
    const float deck = ScanScene::kFloorZ - ScanScene::kPalletHeight + 0.003f;
    while (std::getline(in, line)) {
        float x, y, z;
        if (std::sscanf(line.c_str(), "%f %f %f", &x, &y, &z) == 3) {
            if (z <= deck) rows += line + "\n", ++count;
        } else if (line.rfind("WIDTH", 0) == 0) {
            header += "WIDTH @\n";
        } else if (line.rfind("POINTS", 0) == 0) {
            header += "POINTS @\n";
        } else if (line.find("nan") == std::string::npos) {
            header += line + "\n";
        }
    }
    for (auto at = header.find('@'); at != std::string::npos; at = header.find('@')) {
        header.replace(at, 1, std::to_string(count));
    }
    return header + rows;
}

}  // namespace

TEST_F(FloorReferenceRun, GoodsKeepTheirHeightWhenTheCameraSeesNoFloor) {
    SeedRunSettings(db, cleanup);
    SeedPallet(db, cleanup, 5100, "EPAL", 144.0);
    const ScanScene scene = ScanScene::BoxOnPallet(30.0);
    Seed(5101, "flo5101", kFloor, WithoutFloorSide(ScanText(scene)));
    const RunResult run = Depallet(5101);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const auto row = ReadObject(db, 5101);
    // Measured from the deck, the cut took 134 mm out of the goods.
    EXPECT_NEAR(Column(row, "HPackage"), scene.GoodsHeight(), 0.012);
    EXPECT_NEAR(std::max(Column(row, "LPackage"), Column(row, "WPackage")), 0.6, 0.02);
}

TEST_F(FloorReferenceRun, PlanesAndScansThatDoNotFitAreRefusedLeavingEverythingAlone) {
    SeedRunSettings(db, cleanup);
    SeedPallet(db, cleanup, 5100, "EPAL", 144.0);
    const std::string box = ScanText(ScanScene::BoxOnPallet(10.0));
    std::string millimetres;
    {
        std::istringstream in(box);
        std::string line;
        while (std::getline(in, line)) {
            float x, y, z;
            char buf[96];
            if (std::sscanf(line.c_str(), "%f %f %f", &x, &y, &z) == 3) {
                std::snprintf(buf, sizeof buf, "%.3f %.3f %.3f", x * 1000, y * 1000, z * 1000);
                line = buf;
            }
            millimetres += line + "\n";
        }
    }
    struct Case {
        int id;
        std::array<double, 4> plane;
        const std::string* scan;
        std::string message;
    };
    const std::string misfit = "ERROR: Floor plane of session flo5111 does not fit the scan: ";
    const Case cases[] = {
        {5111, {0, 0, 1, 2.5}, &box,
         "100.0 % of the points lie farther from it than the camera (is the sign of d wrong?)\n"},
        {5112, {0, 0, 1, -2.2}, &box, " mm beyond it (at most 5 %)\n"},
        {5113, {0, 0, 1, 0}, &box, "it runs through the camera\n"},
        {5114, {0, 0, 1, -2500}, &millimetres,
         "m from the camera (at most 20 m; coordinates in millimetres?)\n"},
    };
    for (const Case& c : cases) {
        const std::string sid = "flo" + std::to_string(c.id);
        const fs::path scan = Seed(c.id, sid, c.plane, *c.scan);
        const auto before = ReadObject(db, c.id);
        const RunResult run = Depallet(c.id);
        EXPECT_EQ(run.status, 1) << sid << run.out;
        EXPECT_NE(run.out.find(c.message), std::string::npos) << sid << run.out;
        EXPECT_NE(run.out.find("ERROR: "), std::string::npos);
        EXPECT_NE(run.out.find("session " + sid + " "), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Begin depallet"), std::string::npos) << sid;
        EXPECT_FALSE(fs::exists(scan.parent_path() / "P")) << sid;
        EXPECT_EQ(ReadObject(db, c.id), before) << sid;
        EXPECT_EQ(ReadText(scan), *c.scan) << sid;
    }
    EXPECT_NE(misfit.find("flo5111"), std::string::npos);
}

TEST_F(FloorReferenceRun, LengthCorrectionLandsOnTheLongerSide) {
    SeedRunSettings(db, cleanup);
    SeedPallet(db, cleanup, 5100, "EPAL", 144.0);
    // The same scans measured without and with an L correction of 30 mm.
    const double angles[] = {0.0, 30.0, 60.0, 90.0, 135.0};
    std::vector<std::string> scans;
    for (const double angle : angles) scans.push_back(ScanText(ScanScene::BoxOnPallet(angle)));
    std::vector<std::pair<double, double>> plain;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const int id = 5120 + static_cast<int>(i);
        Seed(id, "flo" + std::to_string(id), kFloor, scans[i]);
        ASSERT_EQ(Depallet(id).status, 0);
        const auto row = ReadObject(db, id);
        plain.emplace_back(Column(row, "LPackage"), Column(row, "WPackage"));
    }
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.l", "0.03", "D");
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const int id = 5120 + static_cast<int>(i);
        ASSERT_EQ(Depallet(id).status, 0);
        const auto row = ReadObject(db, id);
        EXPECT_NEAR(Column(row, "LPackage"), plain[i].first + 0.03, 2e-6) << angles[i];
        EXPECT_NEAR(Column(row, "WPackage"), plain[i].second, 2e-6) << angles[i];
    }
}

TEST_F(FloorReferenceRun, OutlierFilterRowsSteerTheCutAndUnusableOnesAreRefused) {
    SeedRunSettings(db, cleanup);
    SeedPallet(db, cleanup, 5100, "EPAL", 144.0);
    const std::string scan = ScanText(ScanScene::BoxOnPallet(20.0));
    Seed(5130, "flo5130", kFloor, scan);
    ASSERT_EQ(Depallet(5130).status, 0);
    const std::string standard = ReadText(dir.DataFolder() / "flo5130" / "P" / "S1.pcd");
    {
        Cleanup rows(db);
        SeedDecode(db, rows, "CONFIG", "pcl.pallet.mean.k", "50", "I");
        SeedDecode(db, rows, "CONFIG", "pcl.pallet.stddev.mul.thresh", "0.5", "D");
        ASSERT_EQ(Depallet(5130).status, 0);
        EXPECT_EQ(ReadText(dir.DataFolder() / "flo5130" / "P" / "S1.pcd"), standard);
    }
    {
        Cleanup rows(db);
        SeedDecode(db, rows, "CONFIG", "pcl.pallet.stddev.mul.thresh", "3", "D");
        const RunResult run = Depallet(5130);
        ASSERT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("\tStdDev Mul Thresh: 3\n"), std::string::npos);
        EXPECT_GT(ReadText(dir.DataFolder() / "flo5130" / "P" / "S1.pcd").size(), standard.size());
    }
    const std::pair<const char*, const char*> unusable[] = {
        {"pcl.pallet.mean.k", "0"}, {"pcl.pallet.mean.k", "-3"},
        {"pcl.pallet.stddev.mul.thresh", "0"}, {"pcl.pallet.stddev.mul.thresh", "-0.5"},
        {"pcl.pallet.stddev.mul.thresh", "nan"},
    };
    for (const auto& [key, value] : unusable) {
        Cleanup rows(db);
        SeedDecode(db, rows, "CONFIG", key, value, std::string(key).find(".k") != std::string::npos ? "I" : "D");
        const RunResult run = Depallet(5130);
        EXPECT_EQ(run.status, 1) << key << " " << value;
        EXPECT_EQ(run.err.rfind(std::string("Invalid argument (") + key + "): ", 0), 0u) << run.err;
        EXPECT_NE(run.out.find("ERROR: Unable to initialize config object!"), std::string::npos);
    }
}

TEST_F(FloorReferenceRun, EverySpellingOfNoReturnGivesTheSameRowAndFiles) {
    SeedRunSettings(db, cleanup);
    SeedPallet(db, cleanup, 5100, "EPAL", 144.0);
    const std::string nan = ScanText(ScanScene::BoxOnPallet(25.0), 0.02);
    ASSERT_NE(nan.find("nan nan nan\n"), std::string::npos);
    const auto respelt = [&nan](const std::string& row) {
        std::string text = nan;
        for (auto at = text.find("nan nan nan\n"); at != std::string::npos; at = text.find("nan nan nan\n", at)) {
            text.replace(at, 12, row + "\n");
            at += row.size() + 1;
        }
        return text;
    };
    const std::vector<std::string> spellings = {"nan nan nan", "inf -inf nan", "-nan -NaN +nan",
                                                "INF Infinity -inf", "0 0 0", "0.0 -0 0e5"};
    std::map<std::string, std::string> firstRow;
    std::string firstCloud;
    for (std::size_t i = 0; i < spellings.size(); ++i) {
        const int id = 5140 + static_cast<int>(i);
        const std::string sid = "flo" + std::to_string(id);
        Seed(id, sid, kFloor, respelt(spellings[i]));
        const RunResult run = RunTool(dir, {"-i", std::to_string(id), "-d", "5100", "-z", "-p",
                                            dir.DataFolder().string()});
        ASSERT_EQ(run.status, 0) << spellings[i] << run.out << run.err;
        auto row = ReadObject(db, id);
        row.erase("ID"), row.erase("sid"), row.erase("AWB");
        const std::string cloud = ReadText(dir.DataFolder() / sid / "P" / "S1.pcd");
        if (i == 0) {
            firstRow = row, firstCloud = cloud;
        } else {
            EXPECT_EQ(row, firstRow) << spellings[i];
            EXPECT_EQ(cloud, firstCloud) << spellings[i];
        }
    }
}
