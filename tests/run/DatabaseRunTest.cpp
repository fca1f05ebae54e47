// Whole runs against the database as a real line meets it: a connection lost
// mid-run, session ids made to break the query, runs side by side.

#include <pcl/io/pcd_io.h>
#include <pcl/point_types.h>

#include <chrono>
#include <future>
#include <regex>
#include <thread>

#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

class DatabaseRun : public kelvo_test::RunFixture {};

/// The name = value pairs of the last UPDATE a run printed.
std::map<std::string, double> PrintedUpdate(const std::string& out) {
    const auto at = out.rfind("UPDATE awbexport");
    std::map<std::string, double> values;
    if (at == std::string::npos) {
        return values;
    }
    const std::string text = out.substr(at, out.find("WHERE", at) - at);
    const std::regex pair(R"((\w+) = (-?[0-9.]+))");
    for (std::sregex_iterator it(text.begin(), text.end(), pair), end; it != end; ++it) {
        values[(*it)[1]] = std::stod((*it)[2]);
    }
    return values;
}

/// True when PCL's own reader takes the file and finds points in it.
bool WholePcd(const fs::path& file) {
    pcl::PointCloud<pcl::PointXYZRGB> cloud;
    return pcl::PCDReader().read(file.string(), cloud) == 0 && !cloud.empty() &&
           cloud.size() == static_cast<std::size_t>(cloud.width) * cloud.height;
}

}  // namespace

TEST_F(DatabaseRun, ConnectionLostBeforeTheUpdateEndsWithStatusOne) {
    SeedRunSettings(db, cleanup);
    SeedScan(db, cleanup, dir, 5201, "db5201", 1, ScanScene::BoxOnPallet(0.0), kPalletToRemove);

    // Hold the row so that the run's UPDATE waits, then cut the run's
    // connection while it waits, as a server going away would.
    db.Exec("START TRANSACTION");
    db.Rows("SELECT ID FROM awbexport WHERE ID = 5201 FOR UPDATE");
    auto run = std::async(std::launch::async, [&] {
        return RunTool(dir, {"-i", "5201", "-e", "144", "-p", dir.DataFolder().string()});
    });
    TestDatabase watcher;
    std::optional<std::string> waiting;
    while (!waiting && run.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        waiting = watcher.Value(
            "SELECT ID FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() AND "
            "INFO LIKE CONCAT('%', 'UPDATE awbexport', '%')");
    }
    ASSERT_TRUE(waiting) << "the run ended before its update: " << run.get().out;
    watcher.Exec("KILL CONNECTION " + *waiting);
    const RunResult result = run.get();
    db.Exec("ROLLBACK");

    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("# ERR: SQLException in \n(ExecSQL) on line 742\n"),
              std::string::npos)
        << result.out;
    const auto row = ReadObject(db, 5201);
    EXPECT_EQ(row.at("HPackage"), "NULL");
    EXPECT_EQ(row.at("pallet_op"), std::to_string(kPalletToRemove));
}

TEST_F(DatabaseRun, HostileSessionIdsAreMatchedLiterally) {
    const std::string literal = "q'uo\"te\\back`tick%_";
    SeedSession(db, cleanup, literal);
    SeedObject(db, cleanup, 5202, literal, 1);
    WriteScan(dir.DataFolder() / literal / "S1.pcd",
              {{0.0f, 0.0f, 1.0f}, {0.5f, 0.0f, 1.0f}, {0.5f, 0.3f, 1.2f}, {0.0f, 0.3f, 1.4f}});
    const std::string data = dir.DataFolder().string();

    const RunResult found = RunTool(dir, {"-f", "-p", data, "-s", literal, "-n", "1"});
    EXPECT_EQ(found.status, 0) << found.out << found.err;
    EXPECT_NE(found.out.find("Found!:\n"), std::string::npos);

    for (const std::string& sid :
         {std::string("x' OR '1'='1"), std::string("q'uo\"te\\back`tick%"), std::string("%"),
          std::string("'; DELETE FROM awbexport; -- "), std::string("\\' OR 1=1 #"),
          std::string("q\\'uo"), std::string(20000, '\'')}) {
        const RunResult r = RunTool(dir, {"-f", "-p", data, "-s", sid, "-n", "1"});
        EXPECT_EQ(r.status, 1) << sid;
        EXPECT_NE(r.out.find("Not found:\nCloud info:\n\tID: -1\n\tPallet op: 0\n"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("# ERR"), std::string::npos) << r.out;
    }
    EXPECT_FALSE(ReadObject(db, 5202).empty());
}

TEST_F(DatabaseRun, RunsSideBySideEachStoreWhatTheyPrinted) {
    SeedRunSettings(db, cleanup);
    constexpr int kRows = 8;
    for (int k = 0; k < kRows; ++k) {
        SeedScan(db, cleanup, dir, 5210 + k, "db5210", k + 1, ScanScene::PalletSideBySide(7.0 * k),
                 kPalletToRemove);
    }
    const std::string data = dir.DataFolder().string();
    // One run per row, and a second one on the first row at the same time.
    std::vector<int> ids;
    for (int k = 0; k < kRows; ++k) ids.push_back(5210 + k);
    ids.push_back(5210);
    std::vector<std::unique_ptr<RunDir>> dirs;
    std::vector<std::future<RunResult>> runs;
    for (const int id : ids) {
        dirs.push_back(std::make_unique<RunDir>());
        const RunDir& own = *dirs.back();
        runs.push_back(std::async(std::launch::async, [&own, id, data] {
            return RunTool(own, {"-i", std::to_string(id), "-e", "144", "-z", "-t", "50", "-m",
                                 "100", "-M", "10000000", "-p", data});
        }));
    }
    std::map<int, std::vector<std::map<std::string, double>>> printed;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const RunResult r = runs[i].get();
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        printed[ids[i]].push_back(PrintedUpdate(r.out));
    }

    for (const auto& [id, updates] : printed) {
        const auto row = ReadObject(db, id);
        for (const auto& update : updates) {
            ASSERT_EQ(update.size(), 32u) << id;
            for (const auto& [column, value] : update) {
                EXPECT_DOUBLE_EQ(std::stod(row.at(column)), value) << id << " " << column;
            }
        }
    }
    int pcd = 0, json = 0;
    for (fs::recursive_directory_iterator it(dir.DataFolder()), end; it != end; ++it) {
        const fs::path& file = it->path();
        if (file.extension() == ".pcd" && file.parent_path().filename() != "db5210") {
            EXPECT_TRUE(WholePcd(file)) << file;
            ++pcd;
        } else if (file.extension() == ".json") {
            EXPECT_TRUE(ReadJson(file).isObject()) << file;
            ++json;
        } else if (file.extension() == ".wrl") {
            const std::string scene = ReadText(file);
            EXPECT_EQ(scene.rfind(kSceneHeader, 0), 0u) << file;
        }
    }
    // Per row the depalletized cloud and two clusters.
    EXPECT_EQ(pcd, 3 * kRows);
    EXPECT_EQ(json, 2 * kRows);
}
