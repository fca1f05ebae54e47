// scripts/reprocess.sh against the test database: many rows through GNU
// parallel, a failure that stays with its row, a resume that reruns only it,
// and rows reprocessed after a change of settings equal to single runs.

#include <boost/filesystem.hpp>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

constexpr int kFirstRow = 6001;
constexpr int kRows = 20;
constexpr int kBadRow = 6011;
const char* const kSession = "rep6000";

/// The result columns of a row (everything the update writes).
std::map<std::string, std::string> Results(TestDatabase& db, int id) {
    std::map<std::string, std::string> row = ReadObject(db, id);
    for (const char* identity : {"ID", "sid", "AWB", "NrPackages"}) {
        row.erase(identity);
    }
    return row;
}

class ReprocessRun : public RunFixture {
protected:
    void SetUp() override {
        SeedRunSettings(db, cleanup);
        for (int k = 0; k < kRows; ++k) {
            SeedScan(db, cleanup, dir, kFirstRow + k, kSession, k + 1,
                     ScanScene::BoxOnPallet(3.0 * k), kPalletToRemove);
        }
    }

    /// The script with the test's binary and bootstrap file, removing the
    /// pallet of each row, the joblog in a folder of its own.
    RunResult Reprocess(std::vector<std::string> options, const std::string& joblog) {
        std::vector<std::string> command = {
            "/bin/bash", std::string(KELVO_SOURCE_DIR) + "/scripts/reprocess.sh",
            "--bin",     RequireEnv("KELVO_TOOLS_BIN"),
            "--config",  RequireEnv("KELVO_TEST_CONFIG"),
            "--joblog",  (logs.Path() / joblog).string()};
        options.insert(options.end(), {"--", "-e", "144", "-p", dir.DataFolder().string()});
        command.insert(command.end(), options.begin(), options.end());
        return RunCommand(dir, command);
    }

    RunDir logs{false};
};

}  // namespace

TEST_F(ReprocessRun, TwentyRowsOnTwoSlotsWithABadScanAndAResume) {
    std::ofstream((dir.DataFolder() / kSession / "S11.pcd").string()) << "not a point cloud\n";
    const RunResult first = Reprocess({"--sid", kSession, "--jobs", "2"}, "first.joblog");
    const std::string log = (logs.Path() / "first.joblog").string();
    const std::string head =
        "reprocess: 20 rows, joblog " + log + ", outputs in " + log + ".d/<ID>/\n";
    EXPECT_EQ(first.status, 1) << first.out << first.err;
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(first.out, head + "exit 0: 19 rows\nexit 1: 1 row: 6011\n");

    // The bad scan failed alone, and said so in its own output.
    EXPECT_NE(ReadText(log + ".d/6011/stderr").find("ERROR: Malformed point cloud file: "),
              std::string::npos);
    EXPECT_EQ(ReadObject(db, kBadRow).at("HPackage"), "NULL");
    std::map<int, std::map<std::string, std::string>> stored;
    for (int id = kFirstRow; id < kFirstRow + kRows; ++id) {
        if (id != kBadRow) {
            stored[id] = Results(db, id);
            EXPECT_EQ(stored[id].at("pallet_op"), "3") << id;
        }
    }

    // The scan is fixed and a correction changes: the resume reruns the one
    // row that failed, so every other row keeps the results of the first call.
    SeedScan(db, cleanup, dir, kBadRow, kSession, kBadRow - kFirstRow + 1,
             ScanScene::BoxOnPallet(3.0 * (kBadRow - kFirstRow)), kPalletToRemove);
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.h", "0.01", "D");
    const RunResult resumed =
        Reprocess({"--sid", kSession, "--jobs", "2", "--resume-failed"}, "first.joblog");
    EXPECT_EQ(resumed.status, 0) << resumed.out << resumed.err;
    EXPECT_EQ(resumed.out, head + "exit 0: 20 rows\n");
    for (const auto& [id, results] : stored) {
        EXPECT_EQ(Results(db, id), results) << id;
    }
    EXPECT_EQ(ReadObject(db, kBadRow).at("pallet_op"), "3");

    // Every row again with the new correction, on the two hosts of a login
    // file (ssh replaced by a stand-in that runs the command here): each row
    // ends as a single run with the same settings leaves it.
    const fs::path hosts = logs.Path() / "hosts";
    std::ofstream(hosts.string()) << "1/hostA\n1/hostB\n";
    setenv("PARALLEL_SSH", (std::string(KELVO_SOURCE_DIR) + "/tests/run/local-ssh.sh").c_str(), 1);
    const RunResult again =
        Reprocess({"--ids", "6001-6020", "--sshloginfile", hosts.string()}, "again.joblog");
    unsetenv("PARALLEL_SSH");
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_NE(again.out.find("\nexit 0: 20 rows\n"), std::string::npos) << again.out;
    const std::string jobs = ReadText(logs.Path() / "again.joblog");
    EXPECT_GT(Occurrences(jobs, "\thostA\t") * Occurrences(jobs, "\thostB\t"), 0) << jobs;
    for (const int id : {kFirstRow, kBadRow, kFirstRow + kRows - 1}) {
        const auto reprocessed = Results(db, id);
        if (id != kBadRow) {  // the new correction reached the rows that ran before
            EXPECT_NEAR(std::stod(reprocessed.at("HPackage")),
                        std::stod(stored[id].at("HPackage")) + 0.01, 1e-5);
        }
        const RunResult single =
            RunTool(dir, {"-i", std::to_string(id), "-e", "144", "-p", dir.DataFolder().string()});
        ASSERT_EQ(single.status, 0) << single.out << single.err;
        EXPECT_EQ(Results(db, id), reprocessed) << id;
    }
}

// A session id pasted into the selection's SQL would choose every row.
TEST_F(ReprocessRun, CallsThatCannotRunAreRefusedBeforeAnyJob) {
    const RunResult run = Reprocess({"--sid", "x' OR '1'='1"}, "refused.joblog");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "reprocess: no awbexport row matches the selection\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(logs.Path() / "refused.joblog"));
    for (int id = kFirstRow; id < kFirstRow + kRows; ++id) {
        EXPECT_EQ(ReadObject(db, id).at("HPackage"), "NULL") << id;
    }
}

// A host whose shell cannot start the job's command still reports exit 0 to
// GNU parallel; a job that printed nothing never ran the tool.
TEST_F(ReprocessRun, JobsThatExitZeroWithoutOutputAreFailures) {
    const fs::path hosts = logs.Path() / "hosts";
    std::ofstream(hosts.string()) << "1/hostA\n";
    setenv("PARALLEL_SSH", "true", 1);
    const RunResult run =
        Reprocess({"--ids", "6001-6003", "--sshloginfile", hosts.string()}, "silent.joblog");
    unsetenv("PARALLEL_SSH");
    const std::string log = (logs.Path() / "silent.joblog").string();
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.out, "reprocess: 3 rows, joblog " + log + ", outputs in " + log +
                           ".d/<ID>/\nno output: 3 rows: 6001 6002 6003\n");
    for (int id = kFirstRow; id < kFirstRow + 3; ++id) {
        EXPECT_EQ(ReadObject(db, id).at("HPackage"), "NULL") << id;
    }
}
