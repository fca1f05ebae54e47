#include <gtest/gtest.h>

#include <array>
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run/RunHarness.h"

using kelvo_test::RunResult;

namespace {

class LoadRun : public kelvo_test::RunFixture {};

}  // namespace

TEST_F(LoadRun, FoundObjectIsLoadedFromItsScan) {
    kelvo_test::SeedSession(db, cleanup, "run-load-ok");
    kelvo_test::SeedObject(db, cleanup, 3901, "run-load-ok", 3);
    const boost::filesystem::path scan = dir.DataFolder() / "run-load-ok" / "S3.pcd";
    kelvo_test::WriteScan(scan, {{0.0f, 0.0f, 1.0f}, {0.5f, 0.3f, 1.4f}});

    const RunResult r =
        kelvo_test::RunTool(dir, {"-f", "-i", "3901", "-p", dir.DataFolder().string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Found!:\nfile: \"" + scan.string() + "\"\n"), std::string::npos) << r.out;
}

/// A scan that cannot be read ends the run with one line naming the file,
/// before anything is written; the file and the row stay as they were.
TEST_F(LoadRun, UnreadableScanEndsWithOneLineAndKeepsTheFile) {
    namespace fs = boost::filesystem;
    const std::string head =
        "VERSION 0.7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nCOUNT 1 1 1\nWIDTH 2\nHEIGHT 1\n"
        "POINTS 2\nDATA ascii\n";
    struct Case {
        const char* name;
        std::string text;   // the scan's content; empty for a folder in its place
        mode_t mode;        // the scan's permissions
        std::string error;  // the expected line, after the scan's path
    };
    const Case cases[] = {
        {"not a cloud", "not a point cloud\n", 0644, " (unknown header line 'not')"},
        {"row too short", head + "0 0 1\n0.5 0.3\n", 0644,
         " (row has 2 values, expected 3 at line 11)"},
        {"folder", "", 0755, " (a folder, not a file)"},
        {"unreadable", head + "0 0 1\n0.5 0.3 1.4\n", 0, " (Permission denied)"},
    };
    int id = 3902;
    for (const Case& c : cases) {
        const std::string sid = std::string("run-load-bad-") + std::to_string(id);
        kelvo_test::SeedSession(db, cleanup, sid);
        kelvo_test::SeedObject(db, cleanup, id, sid, 1, 2);
        const fs::path scan = dir.DataFolder() / sid / "S1.pcd";
        fs::create_directories(scan.parent_path());
        if (c.text.empty()) {
            fs::create_directory(scan);
        } else {
            std::ofstream(scan.string(), std::ios::binary) << c.text;
        }
        fs::permissions(scan, static_cast<fs::perms>(c.mode));
        const auto rowBefore = kelvo_test::ReadObject(db, id);

        kelvo_test::RunLimits limits;
        limits.unprivileged = true;
        const kelvo_test::RunResult r = kelvo_test::RunTool(
            dir, {"-e", "120", "-z", "-i", std::to_string(id), "-p", dir.DataFolder().string()},
            limits);
        EXPECT_EQ(r.status, 1) << c.name << r.out << r.err;
        const std::string kind = c.text.empty() || c.mode == 0 ? "Unable to read" : "Malformed";
        EXPECT_EQ(r.err, "ERROR: " + kind + " point cloud file: " + scan.string() + c.error + "\n")
            << c.name;
        if (!c.text.empty()) {
            EXPECT_EQ(kelvo_test::ReadText(scan), c.text) << c.name;
        }
        EXPECT_FALSE(fs::exists(dir.DataFolder() / sid / "P")) << c.name;
        EXPECT_EQ(kelvo_test::ReadObject(db, id), rowBefore) << c.name;
        ++id;
    }
}
