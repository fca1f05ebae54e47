#include <gtest/gtest.h>

#include <array>
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run/RunHarness.h"

using kelvo_test::Cleanup;
using kelvo_test::RunDir;
using kelvo_test::RunResult;
using kelvo_test::TestDatabase;

namespace {

int LineCount(const std::string& text) {
    int lines = 0;
    for (char ch : text) {
        lines += ch == '\n';
    }
    return lines;
}

class LoadRun : public ::testing::Test {
protected:
    RunDir dir;
    TestDatabase db;
    Cleanup cleanup{db};
};

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

TEST_F(LoadRun, MalformedScanEndsWithOneLineAndKeepsTheFile) {
    kelvo_test::SeedSession(db, cleanup, "run-load-bad");
    kelvo_test::SeedObject(db, cleanup, 3902, "run-load-bad", 1, 2);
    const boost::filesystem::path scan = dir.DataFolder() / "run-load-bad" / "S1.pcd";
    kelvo_test::WriteScan(scan, {{0.0f, 0.0f, 1.0f}});
    const std::string broken = "not a point cloud\n";
    {
        std::ofstream out(scan.string(), std::ios::binary | std::ios::trunc);
        out << broken;
    }
    const auto rowBefore = kelvo_test::ReadObject(db, 3902);

    const RunResult r = kelvo_test::RunTool(
        dir, {"-e", "120", "-z", "-i", "3902", "-p", dir.DataFolder().string()});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(LineCount(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("Malformed point cloud file: " + scan.string()), std::string::npos)
        << r.err;
    EXPECT_EQ(kelvo_test::ReadText(scan), broken);
    EXPECT_FALSE(boost::filesystem::exists(dir.DataFolder() / "run-load-bad" / "P"));
    EXPECT_EQ(kelvo_test::ReadObject(db, 3902), rowBefore);
}
