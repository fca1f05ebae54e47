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
        WriteScan(scan, {{0.0f, 0.0f, 1.0f},
                         {0.5f, 0.0f, 1.0f},
                         {0.5f, 0.3f, 1.0f},
                         {0.0f, 0.3f, 1.0f},
                         {0.0f, 0.0f, 1.4f},
                         {0.5f, 0.0f, 1.4f},
                         {0.5f, 0.3f, 1.4f},
                         {0.0f, 0.3f, 1.4f}});
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
    const auto height = [](const char* option, const char* value, const char* hint) {
        return Case{{"-i", "3101", option, value},
                    {},
                    "ERROR: Invalid pallet height: " +
                        std::string(option[1] == 'd' ? "0.144" : value) + hint + "\n",
                    ""};
    };
    const auto beyond = [](const char* decClass, const char* key, const char* value,
                           const std::string& reason) {
        return Case{kMeasure,
                    {decClass, key, value, "D"},
                    "ERROR: Unable to initialize config object!\n",
                    "Invalid argument (" + std::string(key) + "): out of range" + reason + "\n"};
    };
    const char* inMetres = " (millimetres: 0 for no pallet, else at least 2)";
    const std::string nobody = "\tFilename: \"S0.pcd\"\n\tPlane: (0,0,0,0)\n\n";
    const std::string noRow = "ERROR: Not found: no awbexport row with ";
    const std::string missing = (scan.parent_path() / "S2.pcd").string();
    const Case cases[] = {
        // A pallet height in metres (0.144 for 144 mm) cut nothing and still
        // marked the row depalletized, pallet and goods measured as one.
        height("-e", "0.144", inMetres),
        height("-e", "1.999", inMetres),
        height("-d", "3101", inMetres),
        height("-e", "-0.144", ""),
        // A resolution in millimetres (20 for 0.02 m) was refused as "out of
        // range" without saying why.
        beyond("CONFIG", "octree.real.volume.resolution", "20",
               ": 20 is beyond 1 in magnitude (the unit is metres)"),
        beyond("CONFIG", "pallet.correction.height", "2000",
               ": 2000 is beyond 1000 in magnitude (the unit is millimetres)"),
        beyond("FINE TUNE", "real.correction.l", "-40",
               ": -40 is beyond 1 in magnitude (the unit is metres)"),
        beyond("CONFIG", "octree.real.volume.resolution", "nan", ""),
        // "Not found:" printed id -1 and "S0.pcd", which hid a mistyped index
        // or session id; standard output stays as it was.
        {{"-i", "3150", "-f"}, {}, nobody, noRow + "ID 3150 and a session row\n"},
        {{"-s", "mistake3110", "-n", "1", "-z"},
         {},
         nobody,
         noRow + "sid \"mistake3110\" and NrPackages 1 and a session row\n"},
        {{"-i", "3102", "-f"},
         {},
         missing + "\"\n\tPlane: (0,0,1,-1.4)\n\n",
         "ERROR: Not found: no scan file \"" + missing + "\" for row 3102\n"},
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
    const RunResult plain = Run({kMeasure, {}, "", ""});
    ASSERT_EQ(plain.status, 0) << plain.out << plain.err;
    ASSERT_EQ(plain.err, "");
    const auto unread = [](std::array<const char*, 4> row, const char* named, const char* nearest) {
        return Case{kMeasure, row, "",
                    "WARNING: decode row " + std::string(named) +
                        " is read by no setting; nearest known key: " + nearest + "\n"};
    };
    const auto correction = [](const char* value, bool warned) {
        const std::string v = value;
        return Case{kMeasure,
                    {"CONFIG", "pallet.correction.height", value, "D"},
                    "\tPallet Correction Height: " + v + "\n",
                    warned
                        ? R"(WARNING: decode row "CONFIG" "pallet.correction.height" "D" = ")" + v +
                              "\" is under 1 mm: the setting is in millimetres (10 for 1 cm)\n"
                        : ""};
    };
    const auto tolerance = [](const char* value, bool warned) {
        return Case{{"-i", "3101", "-z", "-M", "100", "-t", value},
                    {},
                    "Begin split\n",
                    warned ? "WARNING: --cluster_tollerance " + std::string(value) +
                                 " is below 1 mm: the option is in millimetres (50 for 5 cm)\n"
                           : ""};
    };
    const Case cases[] = {
        // A decode row no setting reads left its setting at the start value
        // without a trace.
        unread({"CONFIG", "pcl.cluster.tolerance", "0.05", "D"},
               R"("CONFIG" "pcl.cluster.tolerance" "D" = "0.05")",
               R"("CONFIG" "pcl.cluster.tollerance" "D")"),
        unread({"CONFIG", "base.data\tfolder", "/srv", "S"},
               R"("CONFIG" "base.data\x09folder" "S" = "/srv")",
               R"("CONFIG" "base.data.folder" "S")"),
        // A pallet correction in metres (0.01 for 10 mm) left the pallet's
        // deck in the cloud.
        correction("0.01", true),
        correction("-0.5", true),
        correction("0.999", true),
        correction("1", false),
        correction("0", false),
        // A cluster tolerance of 0.05 typed for 50 mm linked nothing ("Split: 0").
        tolerance("0.05", true),
        tolerance("-0.5", true),
        tolerance("0.999", true),
        tolerance("1", false),
        tolerance("0", false),
        // 0 is no pallet, not a height in metres: measured as it stands.
        {{"-i", "3101", "-e", "0", "-b", "4"}, {}, "HPackage = 0.400000\n", ""},
    };
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
