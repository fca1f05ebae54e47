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

/// A small scan, enough for the tool to find and load.
const std::vector<std::array<float, 3>> kSmallScan = {
    {0.0f, 0.0f, 1.0f}, {0.5f, 0.0f, 1.0f}, {0.5f, 0.3f, 1.0f}, {0.0f, 0.3f, 1.0f},
    {0.0f, 0.0f, 1.4f}, {0.5f, 0.0f, 1.4f}, {0.5f, 0.3f, 1.4f}, {0.0f, 0.3f, 1.4f},
};

class SetupMistakeRun : public RunFixture {
protected:
    /// Row `id` of session `sid` with the small scan as S1.pcd; returns the scan's path.
    fs::path SeedSmallScan(int id, const std::string& sid) {
        SeedSession(db, cleanup, sid, {0.0, 0.0, 1.0, -1.4});
        SeedObject(db, cleanup, id, sid, 1, kPalletToRemove);
        const fs::path scan = dir.DataFolder() / sid / "S1.pcd";
        WriteScan(scan, kSmallScan);
        return scan;
    }

    RunResult Run(std::vector<std::string> args) {
        args.insert(args.end(), {"-p", dir.DataFolder().string()});
        return RunTool(dir, args);
    }
};

/// Nothing of a refused depallet run reaches the row or the pallet folder.
void ExpectRowUntouched(TestDatabase& db, int id, const fs::path& scan) {
    const auto row = ReadObject(db, id);
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row.at("HPackage"), "NULL");
    EXPECT_EQ(row.at("pallet_op"), std::to_string(kPalletToRemove));
    EXPECT_FALSE(fs::exists(scan.parent_path() / "P"));
}

}  // namespace

// A pallet height in metres (0.144 for 144 mm) cut nothing and still marked
// the row depalletized, pallet and goods measured as one.
TEST_F(SetupMistakeRun, PalletHeightBelowTwoMillimetresIsRefused) {
    const fs::path scan = SeedSmallScan(3101, "mistake3101");
    SeedPallet(db, cleanup, 3101, "IN METRES", 0.144);
    const std::string hint = " (millimetres: 0 for no pallet, else at least 2)\n";
    struct Case {
        std::vector<std::string> args;
        std::string message;  // empty: accepted
    };
    const Case cases[] = {
        {{"-e", "0.144"}, "ERROR: Invalid pallet height: 0.144" + hint},
        {{"-e", "1.9"}, "ERROR: Invalid pallet height: 1.9" + hint},
        {{"-e", "1.999"}, "ERROR: Invalid pallet height: 1.999" + hint},
        {{"--depallet_by_h=1e-30"}, "ERROR: Invalid pallet height: 1e-30" + hint},
        {{"-d", "3101"}, "ERROR: Invalid pallet height: 0.144" + hint},
        // Refusals that were there before keep their line.
        {{"-e", "-0.144"}, "ERROR: Invalid pallet height: -0.144\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"-i", "3101"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult run = Run(args);
        EXPECT_EQ(run.status, 1) << c.args.front();
        EXPECT_EQ(Occurrences(run.out, c.message), 1) << c.args.front() << "\n" << run.out;
        EXPECT_EQ(run.out.substr(run.out.size() - c.message.size()), c.message);
        EXPECT_EQ(run.out.find("Found!:"), std::string::npos);
        EXPECT_EQ(run.err, "") << c.args.front();
        ExpectRowUntouched(db, 3101, scan);
    }

    // 0 is no pallet: measured and stored as it stands.
    const RunResult none = Run({"-i", "3101", "-e", "0", "-b", "4"});
    EXPECT_EQ(none.status, 0) << none.out << none.err;
    EXPECT_EQ(none.err, "");
    EXPECT_NE(ReadObject(db, 3101).at("HPackage"), "NULL");
}

// A decode row no setting reads left its setting at the start value without
// a trace. Each is now one warning line naming the row and the key it most
// likely means; the run's standard output is the same as without the row.
TEST_F(SetupMistakeRun, DecodeRowsNoSettingReadsAreNamedWithTheNearestKey) {
    SeedSmallScan(3102, "mistake3102");
    const RunResult baseline = Run({"-i", "3102", "-f"});
    ASSERT_EQ(baseline.status, 0) << baseline.out << baseline.err;
    ASSERT_EQ(baseline.err, "");

    const std::string unread = "\" is read by no setting; nearest known key: ";
    struct Case {
        const char* decClass;
        const char* key;
        const char* value;
        const char* type;
        std::string warning;  // empty: another program's row, no word about it
    };
    const Case cases[] = {
        {"CONFIG", "pcl.cluster.tolerance", "0.05", "D",
         "WARNING: decode row \"CONFIG\" \"pcl.cluster.tolerance\" \"D\" = \"0.05" + unread +
             "\"CONFIG\" \"pcl.cluster.tollerance\" \"D\"\n"},
        {"CONFIG", "pcl.min.cluster.size ", "100", "I",
         "WARNING: decode row \"CONFIG\" \"pcl.min.cluster.size \" \"I\" = \"100" + unread +
             "\"CONFIG\" \"pcl.min.cluster.size\" \"I\"\n"},
        {"CONFIG", "pcl.max.cluster.size", "10000000", "D",
         "WARNING: decode row \"CONFIG\" \"pcl.max.cluster.size\" \"D\" = \"10000000" + unread +
             "\"CONFIG\" \"pcl.max.cluster.size\" \"I\"\n"},
        {"CONFIG", "pcl.min.color.map", "100", "d",
         "WARNING: decode row \"CONFIG\" \"pcl.min.color.map\" \"d\" = \"100" + unread +
             "\"CONFIG\" \"pcl.min.color.map\" \"D\"\n"},
        {"CONFIG", "PCL.MAX.COLOR.MAP", "700", "D",
         "WARNING: decode row \"CONFIG\" \"PCL.MAX.COLOR.MAP\" \"D\" = \"700" + unread +
             "\"CONFIG\" \"pcl.max.color.map\" \"D\"\n"},
        {"Fine Tune", "real.correction.h", "0.005", "D",
         "WARNING: decode row \"Fine Tune\" \"real.correction.h\" \"D\" = \"0.005" + unread +
             "\"FINE TUNE\" \"real.correction.h\" \"D\"\n"},
        {"FINE TUNE", "octree.real.volume.resolution", "0.02", "D",
         "WARNING: decode row \"FINE TUNE\" \"octree.real.volume.resolution\" \"D\" = \"0.02" +
             unread + "\"CONFIG\" \"octree.real.volume.resolution\" \"D\"\n"},
        {"CONFIG", "base.data\tfolder", "/srv", "S",
         "WARNING: decode row \"CONFIG\" \"base.data\\x09folder\" \"S\" = \"/srv" + unread +
             "\"CONFIG\" \"base.data.folder\" \"S\"\n"},
        {"LABELS", "printer.name", "zebra", "S", ""},
    };
    for (const Case& c : cases) {
        Cleanup row(db);
        SeedDecode(db, row, c.decClass, c.key, c.value, c.type);
        const RunResult run = Run({"-i", "3102", "-f"});
        EXPECT_EQ(run.status, 0) << c.key;
        EXPECT_EQ(run.err, c.warning) << c.key;
        EXPECT_EQ(run.out, baseline.out) << c.key;
    }
}

// A pallet correction in metres (0.01 for 10 mm) left the pallet's deck in
// the cloud. Told once, the run goes on with the value as stored.
TEST_F(SetupMistakeRun, PalletCorrectionUnderOneMillimetreIsWarned) {
    SeedSmallScan(3103, "mistake3103");
    struct Case {
        const char* value;
        bool warned;
    };
    const Case cases[] = {{"0.01", true}, {"-0.5", true}, {"0.999", true}, {"0", false},
                          {"1", false},   {"-1", false},  {"10", false}};
    for (const Case& c : cases) {
        Cleanup row(db);
        SeedDecode(db, row, "CONFIG", "pallet.correction.height", c.value, "D");
        const RunResult run = Run({"-i", "3103", "-f"});
        EXPECT_EQ(run.status, 0) << c.value;
        EXPECT_EQ(run.err, c.warned ? "WARNING: decode row \"CONFIG\" \"pallet.correction.height\" "
                                      "\"D\" = \"" +
                                          std::string(c.value) +
                                          "\" is under 1 mm: the setting is in millimetres (10 "
                                          "for 1 cm)\n"
                                    : std::string())
            << c.value;
        EXPECT_NE(run.out.find("\tPallet Correction Height: " + std::string(c.value) + "\n"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(run.out.find("WARNING"), std::string::npos);
    }
}

// A resolution given in millimetres (20 for 0.02 m) was refused as "out of
// range" without saying why; the refusal now names the unit and the bound.
TEST_F(SetupMistakeRun, DecimalBeyondItsBoundIsRefusedWithUnitAndBound) {
    SeedSmallScan(3104, "mistake3104");
    struct Case {
        const char* key;
        const char* decClass;
        const char* value;
        std::string reason;
    };
    const Case cases[] = {
        {"octree.real.volume.resolution", "CONFIG", "20",
         "out of range: 20 is beyond 1 in magnitude (the unit is metres)"},
        {"octree.real.volume.resolution", "CONFIG", "-1.5",
         "out of range: -1.5 is beyond 1 in magnitude (the unit is metres)"},
        {"pallet.correction.height", "CONFIG", "2000",
         "out of range: 2000 is beyond 1000 in magnitude (the unit is millimetres)"},
        {"inbound.correction.w", "FINE TUNE", "10",
         "out of range: 10 is beyond 1 in magnitude (the unit is metres)"},
        {"real.correction.l", "FINE TUNE", "-40",
         "out of range: -40 is beyond 1 in magnitude (the unit is metres)"},
        // Not a magnitude at all: no bound to name.
        {"octree.real.volume.resolution", "CONFIG", "nan", "out of range"},
    };
    for (const Case& c : cases) {
        Cleanup row(db);
        SeedDecode(db, row, c.decClass, c.key, c.value, "D");
        const RunResult run = Run({"-i", "3104", "-f"});
        EXPECT_EQ(run.status, 1) << c.key << " " << c.value;
        EXPECT_EQ(run.out, "ERROR: Unable to initialize config object!\n");
        EXPECT_EQ(run.err, "Invalid argument (" + std::string(c.key) + "): " + c.reason + "\n");
    }
}

// "Not found:" printed id -1 and "S0.pcd" for a row that did not match,
// which hid a mistyped index or session id; standard error now says what
// was looked for.
TEST_F(SetupMistakeRun, NotFoundSaysWhatWasLookedFor) {
    const fs::path scan = SeedSmallScan(3105, "mistake3105");
    SeedObject(db, cleanup, 3106, "mistake3105", 2);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"-i", "3150", "-f"},
         "ERROR: Not found: no awbexport row with ID 3150 and a session row\n"},
        {{"-s", "mistake3015", "-n", "1", "-z"},
         "ERROR: Not found: no awbexport row with sid \"mistake3015\" and NrPackages 1 and a "
         "session row\n"},
        {{"-s", "mistake3105", "-n", "3", "-f"},
         "ERROR: Not found: no awbexport row with sid \"mistake3105\" and NrPackages 3 and a "
         "session row\n"},
        {{"-i", "3106", "-f"},
         "ERROR: Not found: no scan file \"" + (scan.parent_path() / "S2.pcd").string() +
             "\" for row 3106\n"},
    };
    for (const Case& c : cases) {
        const RunResult run = Run(c.args);
        EXPECT_EQ(run.status, 1) << c.args[1];
        EXPECT_EQ(run.err, c.message);
        // Standard output as it was: the identity printout ends it.
        EXPECT_EQ(Occurrences(run.out, "Not found:\nCloud info:\n"), 1) << run.out;
        EXPECT_EQ(run.out.substr(run.out.size() - 3), ")\n\n") << run.out;
    }
}

// A cluster tolerance of 0.05 typed for 50 mm linked nothing ("Split: 0").
// Told once; the run splits with the value given, as before.
TEST_F(SetupMistakeRun, ClusterToleranceBelowOneMillimetreIsWarned) {
    SeedSmallScan(3107, "mistake3107");
    struct Case {
        const char* value;
        std::string warning;
    };
    const std::string tail = " is below 1 mm: the option is in millimetres (50 for 5 cm)\n";
    const Case cases[] = {
        {"0.05", "WARNING: --cluster_tollerance 0.05" + tail},
        {"-0.5", "WARNING: --cluster_tollerance -0.5" + tail},
        {"0.999", "WARNING: --cluster_tollerance 0.999" + tail},
        {"0", ""},
        {"1", ""},
        {"50", ""},
    };
    for (const Case& c : cases) {
        const RunResult run = Run({"-i", "3107", "-z", "-t", c.value, "-M", "100"});
        EXPECT_EQ(run.status, 0) << c.value << run.out;
        EXPECT_EQ(run.err, c.warning);
        EXPECT_NE(run.out.find("Begin split\n"), std::string::npos) << c.value;
        EXPECT_EQ(run.out.find("WARNING"), std::string::npos);
    }
}
