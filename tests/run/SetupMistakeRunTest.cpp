// Mistakes a new integrator makes when setting the tool up: each either ends
// the run with one line and status 1 before anything is written, or is told on
// standard error while standard output stays as it is without the mistake.

#include <boost/filesystem.hpp>
#include <string>
#include <vector>

#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

/// A run of row 3101 with a mistake in its options or in one decode row.
struct Case {
    Case(std::vector<std::string> a, std::array<const char*, 4> r, std::string o, std::string e)
        : args(std::move(a)), row(r), out(std::move(o)), err(std::move(e)) {}
    std::vector<std::string> args;
    std::array<const char*, 4> row;  ///< class, key, value, type; none when empty
    std::string out;  ///< refusals: how standard output ends; warnings: a text it holds
    std::string err;  ///< all of standard error
};

const std::vector<std::string> kMeasure = {"-i", "3101", "-f"};

class SetupMistakeRun : public RunFixture {
protected:
    void SetUp() override {
        SeedSession(db, cleanup, "mistake3101", {0.0, 0.0, 1.0, -1.4});
        SeedObject(db, cleanup, 3101, "mistake3101", 1, kPalletToRemove);
        SeedObject(db, cleanup, 3102, "mistake3101", 2);  // S2.pcd is never written
        SeedPallet(db, cleanup, 3101, "IN METRES", 0.144);
        std::vector<std::array<float, 3>> box;  // the corners of a 0.5 x 0.3 x 0.4 m box
        for (const float z : {1.0f, 1.4f}) {
            box.insert(box.end(),
                       {{0.0f, 0.0f, z}, {0.5f, 0.0f, z}, {0.5f, 0.3f, z}, {0.0f, 0.3f, z}});
        }
        WriteScan(scan, box);
    }

    RunResult Run(const Case& c) {
        Cleanup rows(db);
        if (c.row[0] != nullptr) {
            SeedDecode(db, rows, c.row[0], c.row[1], c.row[2], c.row[3]);
        }
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-p", dir.DataFolder().string()});
        return RunTool(dir, args);
    }

    const fs::path scan = dir.DataFolder() / "mistake3101" / "S1.pcd";
};

}  // namespace

// Each mistake that would store a wrong number ends the run with its line and
// status 1 before the row or the pallet folder is touched.
TEST_F(SetupMistakeRun, RefusedWithOneLineBeforeAnythingIsWritten) {
    const std::string height = "ERROR: Invalid pallet height: ";
    const std::string inMetres = " (millimetres: 0 for no pallet, else at least 2)\n";
    const std::string config = "ERROR: Unable to initialize config object!\n";
    const std::string resolution = "Invalid argument (octree.real.volume.resolution): out of range";
    const std::string nobody = "\tFilename: \"S0.pcd\"\n\tPlane: (0,0,0,0)\n\n";
    const std::string noRow = "ERROR: Not found: no awbexport row with ";
    const std::string missing = (scan.parent_path() / "S2.pcd").string();
    const Case cases[] = {
        // A pallet height in metres (0.144 for 144 mm) cut nothing and still
        // marked the row depalletized, pallet and goods measured as one.
        Case({"-i", "3101", "-e", "0.144"}, {}, height + "0.144" + inMetres, ""),
        Case({"-i", "3101", "-e", "1.999"}, {}, height + "1.999" + inMetres, ""),
        Case({"-i", "3101", "-d", "3101"}, {}, height + "0.144" + inMetres, ""),
        Case({"-i", "3101", "-e", "-0.144"}, {}, height + "-0.144\n", ""),
        // A resolution in millimetres (20 for 0.02 m) was refused as "out of
        // range" without saying why.
        Case(kMeasure, {"CONFIG", "octree.real.volume.resolution", "20", "D"}, config,
             resolution + ": 20 is beyond 1 in magnitude (the unit is metres)\n"),
        Case(kMeasure, {"CONFIG", "octree.real.volume.resolution", "nan", "D"}, config,
             resolution + "\n"),
        Case(kMeasure, {"CONFIG", "pallet.correction.height", "2000", "D"}, config,
             "Invalid argument (pallet.correction.height): out of range: 2000 is beyond 1000 in "
             "magnitude (the unit is millimetres)\n"),
        Case(kMeasure, {"FINE TUNE", "real.correction.l", "-40", "D"}, config,
             "Invalid argument (real.correction.l): out of range: -40 is beyond 1 in magnitude "
             "(the unit is metres)\n"),
        // "Not found:" printed id -1 and "S0.pcd", which hid a mistyped index
        // or session id; standard output stays as it was.
        Case({"-i", "3150", "-f"}, {}, nobody, noRow + "ID 3150 and a session row\n"),
        Case({"-s", "mistake3110", "-n", "1", "-z"}, {}, nobody,
             noRow + "sid \"mistake3110\" and NrPackages 1 and a session row\n"),
        Case({"-i", "3102", "-f"}, {}, missing + "\"\n\tPlane: (0,0,1,-1.4)\n\n",
             "ERROR: Not found: no scan file \"" + missing + "\" for row 3102\n"),
    };
    for (const Case& c : cases) {
        const RunResult run = Run(c);
        const std::string what = c.args[2] + " " + (c.row[2] ? c.row[2] : "") + "\n" + run.out;
        EXPECT_EQ(run.status, 1) << what;
        ASSERT_GE(run.out.size(), c.out.size()) << what;
        EXPECT_EQ(run.out.substr(run.out.size() - c.out.size()), c.out) << what;
        EXPECT_EQ(run.err, c.err) << what;
        EXPECT_EQ(Occurrences(run.out + run.err, "ERROR"), 1) << what;
        const auto row = ReadObject(db, 3101);
        EXPECT_EQ(row.at("HPackage"), "NULL") << what;
        EXPECT_EQ(row.at("pallet_op"), std::to_string(kPalletToRemove)) << what;
        EXPECT_FALSE(fs::exists(scan.parent_path() / "P")) << what;
    }
}

// Mistakes the run can live with are told once on standard error; standard
// output is what the run prints without them, the value used as given.
TEST_F(SetupMistakeRun, WarnedOnStandardErrorAndTheRunGoesOn) {
    const RunResult plain = Run(Case(kMeasure, {}, "", ""));
    ASSERT_EQ(plain.status, 0) << plain.out << plain.err;
    ASSERT_EQ(plain.err, "");
    const std::string unread = " is read by no setting; nearest known key: ";
    std::vector<Case> cases = {
        // A decode row no setting reads left its setting at the start value
        // without a trace.
        Case(kMeasure, {"CONFIG", "pcl.cluster.tolerance", "0.05", "D"}, "",
             R"(WARNING: decode row "CONFIG" "pcl.cluster.tolerance" "D" = "0.05")" + unread +
                 R"("CONFIG" "pcl.cluster.tollerance" "D")" + "\n"),
        Case(kMeasure, {"CONFIG", "base.data\tfolder", "/srv", "S"}, "",
             R"(WARNING: decode row "CONFIG" "base.data\x09folder" "S" = "/srv")" + unread +
                 R"("CONFIG" "base.data.folder" "S")" + "\n"),
        // 0 is no pallet, not a height in metres: measured as it stands.
        Case({"-i", "3101", "-e", "0", "-b", "4"}, {}, "HPackage = 0.400000\n", ""),
    };
    // Metres typed for millimetres: a pallet correction of 0.05 for 50 mm left
    // the pallet's deck in the cloud, a cluster tolerance of 0.05 linked
    // nothing ("Split: 0").
    const std::string correction =
        R"(WARNING: decode row "CONFIG" "pallet.correction.height" "D" = ")";
    const std::string under = "\" is under 1 mm: the setting is in millimetres (10 for 1 cm)\n";
    const std::string below = " is below 1 mm: the option is in millimetres (50 for 5 cm)\n";
    const std::pair<const char*, bool> values[] = {{"0.05", true}, {"-0.5", true}, {"0.999", true},
                                                   {"1", false},   {"-1", false},  {"0", false}};
    for (const auto& [value, warned] : values) {
        const std::string v = value;
        cases.push_back(Case(kMeasure, {"CONFIG", "pallet.correction.height", value, "D"},
                             "\tPallet Correction Height: " + v + "\n",
                             warned ? correction + v + under : ""));
        cases.push_back(Case({"-i", "3101", "-z", "-M", "100", "-t", v}, {}, "Begin split\n",
                             warned ? "WARNING: --cluster_tollerance " + v + below : ""));
    }
    for (const Case& c : cases) {
        const RunResult run = Run(c);
        const std::string what = c.args.back() + " " + (c.row[1] ? c.row[1] : "") + "\n" + run.out;
        EXPECT_EQ(run.status, 0) << what;
        EXPECT_EQ(run.err, c.err) << what;
        EXPECT_EQ(run.out.find("WARNING"), std::string::npos) << what;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << what;
        if (c.out.empty()) {
            EXPECT_EQ(run.out, plain.out) << what;
        }
    }
}
