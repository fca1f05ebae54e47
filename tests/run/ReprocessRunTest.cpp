// scripts/reprocess.sh against the test database: many rows through GNU
// parallel, a failure that stays with its row, a resume that reruns only it,
// and rows reprocessed after a change of settings equal to single runs.

#include <algorithm>
#include <boost/filesystem.hpp>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
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

/// One line of a joblog.
struct Job {
    int seq = 0;
    std::string host;
    double start = 0.0;
    double runtime = 0.0;
    int exitval = 0;
    int signal = 0;
    std::string command;
};

std::vector<Job> ReadJoblog(const fs::path& file) {
    std::istringstream in(ReadText(file));
    std::string line;
    std::getline(in, line);  // the header
    std::vector<Job> jobs;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, '\t');) {
            cells.push_back(cell);
        }
        if (cells.size() != 9) {
            ADD_FAILURE() << "joblog line: " << line;
            continue;
        }
        jobs.push_back({std::stoi(cells[0]), cells[1], std::stod(cells[2]), std::stod(cells[3]),
                        std::stoi(cells[6]), std::stoi(cells[7]), cells[8]});
    }
    return jobs;
}

/// The row a job ran: the value after its "-i".
int RowOf(const Job& job) {
    const std::size_t at = job.command.find(" -i ");
    return at == std::string::npos ? 0 : std::atoi(job.command.c_str() + at + 4);
}

/// Most jobs of a joblog that ran at one time.
int MostAtOnce(const std::vector<Job>& jobs) {
    int most = 0;
    for (const Job& a : jobs) {
        int running = 0;
        for (const Job& b : jobs) {
            running += b.start <= a.start && a.start < b.start + b.runtime;
        }
        most = std::max(most, running);
    }
    return most;
}

/// The result columns of a row (everything the update writes).
std::map<std::string, std::string> Results(TestDatabase& db, int id) {
    std::map<std::string, std::string> row = ReadObject(db, id);
    row.erase("ID");
    row.erase("sid");
    row.erase("AWB");
    row.erase("NrPackages");
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

    /// The scan of a row of the session.
    fs::path Scan(int id) const {
        return dir.DataFolder() / kSession / ("S" + std::to_string(id - kFirstRow + 1) + ".pcd");
    }

    /// The script with the test's binary and bootstrap file, the joblog in its
    /// own folder; `prefix` runs it under another program.
    RunResult Reprocess(const std::vector<std::string>& options, const std::string& joblog,
                        const std::vector<std::string>& toolOptions,
                        std::vector<std::string> prefix = {}) {
        std::vector<std::string> command = {
            "/bin/bash", std::string(KELVO_SOURCE_DIR) + "/scripts/reprocess.sh",
            "--bin",     RequireEnv("KELVO_TOOLS_BIN"),
            "--config",  RequireEnv("KELVO_TEST_CONFIG"),
            "--joblog",  (logs.Path() / joblog).string()};
        command.insert(command.end(), options.begin(), options.end());
        command.push_back("--");
        command.insert(command.end(), toolOptions.begin(), toolOptions.end());
        prefix.insert(prefix.end(), command.begin(), command.end());
        return RunCommand(dir, prefix);
    }

    std::vector<std::string> Depallet() const {
        return {"-e", "144", "-p", dir.DataFolder().string()};
    }

    RunDir logs{false};
};

}  // namespace

TEST_F(ReprocessRun, TwentyRowsOnTwoSlotsWithABadScanAndAResume) {
    {
        std::ofstream bad(Scan(kBadRow).string(), std::ios::trunc);
        bad << "not a point cloud\n";
    }

    const RunResult first =
        Reprocess({"--sid", kSession, "--jobs", "2"}, "first.joblog", Depallet());
    EXPECT_EQ(first.status, 1) << first.out << first.err;
    EXPECT_EQ(first.err, "");
    const fs::path log = logs.Path() / "first.joblog";
    EXPECT_EQ(first.out, "reprocess: 20 rows, joblog " + log.string() + ", outputs in " +
                             log.string() + ".d/<ID>/\n" +
                             "exit 0: 19 rows\nexit 1: 1 row: " + std::to_string(kBadRow) + "\n");

    // One job per row, on this machine, never more than the two slots at once.
    const std::vector<Job> jobs = ReadJoblog(log);
    ASSERT_EQ(jobs.size(), static_cast<std::size_t>(kRows));
    std::set<int> rows;
    for (const Job& job : jobs) {
        rows.insert(RowOf(job));
        EXPECT_EQ(job.host, ":");
        EXPECT_EQ(job.exitval, RowOf(job) == kBadRow ? 1 : 0) << job.command;
    }
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(kRows));
    EXPECT_EQ(*rows.begin(), kFirstRow);
    EXPECT_EQ(*rows.rbegin(), kFirstRow + kRows - 1);
    EXPECT_LE(MostAtOnce(jobs), 2);

    // The bad scan failed alone, and said so in its own output.
    EXPECT_NE(ReadText(log.string() + ".d/" + std::to_string(kBadRow) + "/stderr")
                  .find("ERROR: Malformed point cloud file: "),
              std::string::npos);
    EXPECT_EQ(ReadObject(db, kBadRow).at("HPackage"), "NULL");
    std::map<int, std::map<std::string, std::string>> stored;
    for (int id = kFirstRow; id < kFirstRow + kRows; ++id) {
        if (id != kBadRow) {
            stored[id] = Results(db, id);
            EXPECT_EQ(stored[id].at("pallet_op"), "3") << id;
            EXPECT_NE(ReadText(log.string() + ".d/" + std::to_string(id) + "/stdout")
                          .find("Begin depallet\n"),
                      std::string::npos);
        }
    }

    // The scan is fixed and a correction changes: the resume reruns the one row that failed.
    SeedScan(db, cleanup, dir, kBadRow, kSession, kBadRow - kFirstRow + 1,
             ScanScene::BoxOnPallet(3.0 * (kBadRow - kFirstRow)), kPalletToRemove);
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.h", "0.01", "D");
    const RunResult resumed = Reprocess({"--sid", kSession, "--jobs", "2", "--resume-failed"},
                                        "first.joblog", Depallet());
    EXPECT_EQ(resumed.status, 0) << resumed.out << resumed.err;
    EXPECT_EQ(resumed.out, "reprocess: 20 rows, joblog " + log.string() + ", outputs in " +
                               log.string() + ".d/<ID>/\nexit 0: 20 rows\n");
    const std::vector<Job> after = ReadJoblog(log);
    ASSERT_EQ(after.size(), static_cast<std::size_t>(kRows + 1));
    EXPECT_EQ(RowOf(after.back()), kBadRow);
    EXPECT_EQ(after.back().exitval, 0);
    for (const auto& [id, results] : stored) {
        EXPECT_EQ(Results(db, id), results) << id;
    }
    EXPECT_EQ(ReadObject(db, kBadRow).at("pallet_op"), "3");

    // A resume must run what the first call ran.
    const RunResult changed = Reprocess({"--resume-failed"}, "first.joblog", {"-e", "150"});
    EXPECT_EQ(changed.status, 1);
    EXPECT_EQ(changed.err.rfind("reprocess: --resume-failed needs the binary, bootstrap file and "
                                "tool options of the first call: ",
                                0),
              0u)
        << changed.err;
    EXPECT_EQ(ReadJoblog(log).size(), static_cast<std::size_t>(kRows + 1));

    // Every row again with the new correction, by id range: each row ends as a
    // single run with the same settings leaves it, and repeating changes nothing.
    const RunResult again =
        Reprocess({"--ids", "6001-6020", "--jobs", "2"}, "again.joblog", Depallet());
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_NE(again.out.find("\nexit 0: 20 rows\n"), std::string::npos) << again.out;
    std::map<int, std::map<std::string, std::string>> reprocessed;
    for (int id = kFirstRow; id < kFirstRow + kRows; ++id) {
        reprocessed[id] = Results(db, id);
    }
    EXPECT_NEAR(std::stod(reprocessed[kFirstRow].at("HPackage")),
                std::stod(stored[kFirstRow].at("HPackage")) + 0.01, 1e-5);
    for (const int id : {kFirstRow, kBadRow, kFirstRow + kRows - 1}) {
        const RunResult single =
            RunTool(dir, {"-i", std::to_string(id), "-e", "144", "-p", dir.DataFolder().string()});
        ASSERT_EQ(single.status, 0) << single.out << single.err;
        EXPECT_EQ(Results(db, id), reprocessed[id]) << id;
    }
}

// The path through --sshloginfile, with ssh replaced by a stand-in that runs
// the command here: the jobs are spread over the hosts of the file.
TEST_F(ReprocessRun, HostsOfAnSshLoginFileShareTheRows) {
    const fs::path logins = logs.Path() / "hosts";
    {
        std::ofstream out(logins.string());
        out << "1/hostA\n1/hostB\n";
    }
    setenv("PARALLEL_SSH", (std::string(KELVO_SOURCE_DIR) + "/tests/run/local-ssh.sh").c_str(), 1);
    const RunResult run = Reprocess({"--ids", "6001-6006", "--sshloginfile", logins.string()},
                                    "hosts.joblog", Depallet());
    unsetenv("PARALLEL_SSH");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\nexit 0: 6 rows\n"), std::string::npos) << run.out;
    std::set<std::string> hosts;
    for (const Job& job : ReadJoblog(logs.Path() / "hosts.joblog")) {
        hosts.insert(job.host);
    }
    EXPECT_EQ(hosts, (std::set<std::string>{"hostA", "hostB"}));
    for (int id = kFirstRow; id < kFirstRow + 6; ++id) {
        EXPECT_EQ(ReadObject(db, id).at("pallet_op"), "3") << id;
    }
    EXPECT_EQ(ReadObject(db, kFirstRow + 6).at("pallet_op"), std::to_string(kPalletToRemove));
}

TEST_F(ReprocessRun, CallsThatCannotRunAreRefusedBeforeAnyJob) {
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> tool;
        std::string message;
    };
    const std::vector<std::string> op = {"-z"};
    const Case cases[] = {
        {{"--sid", kSession}, {}, "no tool options: give the operation after --, e.g. -- -d 3 -z"},
        {{"--sid", kSession},
         {"-z", "-i", "5"},
         "tool option '-i': the rows and the bootstrap file are the script's own (--sid, --ids, "
         "--config)"},
        {{}, op, "no rows chosen: give --sid and/or --ids"},
        {{"--ids", "20-3"}, op, "--ids '20-3': need 1 <= A <= B <= 2147483647"},
        {{"--ids", "3"}, op, "--ids '3' is not a range A-B"},
        {{"--sid", "rep6000x"}, op, "no awbexport row matches the selection"},
        {{"--sid", "x' OR '1'='1"}, op, "no awbexport row matches the selection"},
        {{"--sid", kSession, "--ids", "1-6000"}, op, "no awbexport row matches the selection"},
        {{"--sid", kSession, "--jobs", "0"}, op, "--jobs '0' is not a number of job slots (1-999)"},
        {{"--resume-failed"},
         op,
         "nothing to resume: no joblog '" + (logs.Path() / "refused.joblog").string() +
             "' from an earlier call"},
        {{"--bogus"}, op, "unknown option '--bogus' (tool options go after --)"},
    };
    for (const Case& c : cases) {
        const RunResult run = Reprocess(c.options, "refused.joblog", c.tool);
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_EQ(run.err, "reprocess: " + c.message + "\n");
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(logs.Path() / "refused.joblog"));
    }

    // A second call on the same joblog while one runs: here the lock is held
    // by flock(1) around the call.
    const fs::path lock = logs.Path() / "busy.joblog.d" / "lock";
    fs::create_directories(lock.parent_path());
    const RunResult busy =
        Reprocess({"--sid", kSession}, "busy.joblog", op, {"/usr/bin/flock", lock.string()});
    EXPECT_EQ(busy.status, 1);
    EXPECT_EQ(busy.err, "reprocess: another call is using joblog '" +
                            (logs.Path() / "busy.joblog").string() + "'\n");

    for (int id = kFirstRow; id < kFirstRow + kRows; ++id) {
        EXPECT_EQ(ReadObject(db, id).at("HPackage"), "NULL");
    }
}
