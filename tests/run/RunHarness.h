#pragma once

// Helpers for whole runs of the kelvo_tools binary against the test database:
// a scratch working folder with a bootstrap file, the run itself with its
// captured output, and small scan files. Rows are seeded with run/TestRows.h.

#include <gtest/gtest.h>

#include <array>
#include <boost/filesystem/path.hpp>
#include <string>
#include <vector>

#include "run/TestRows.h"

namespace kelvo_test {

/// What one run of the binary printed and returned.
struct RunResult {
    int status = -1;  ///< exit status; 128 + signal number when the run was killed
    std::string out;  ///< standard output
    std::string err;  ///< standard error
};

/// A scratch working folder, removed with everything in it on destruction.
/// It holds a copy of the test database's bootstrap file ("kelvo_tools.json",
/// the default the binary looks for) unless asked not to.
class RunDir {
public:
    explicit RunDir(bool withBootstrap = true);
    ~RunDir();
    RunDir(const RunDir&) = delete;
    RunDir& operator=(const RunDir&) = delete;

    /// The working folder itself.
    const boost::filesystem::path& Path() const { return path; }
    /// A base data folder inside the working folder (not created): pass it with --cloud_path.
    boost::filesystem::path DataFolder() const { return path / "data"; }

private:
    boost::filesystem::path path;
};

/// The fixture of whole runs: a working folder, a connection to seed rows and
/// read them back, and the removal of every row seeded.
class RunFixture : public ::testing::Test {
protected:
    RunDir dir;
    TestDatabase db;
    Cleanup cleanup{db};
};

/// Restrictions a run starts under.
struct RunLimits {
    long long maxFileBytes = -1;  ///< RLIMIT_FSIZE when not negative; SIGXFSZ is ignored
    bool unprivileged = false;    ///< run as nobody when started as root, so file modes hold
};

/// Runs the binary named by KELVO_TOOLS_BIN (set by CTest) with the given
/// arguments in the folder `dir`, with no standard input. Afterwards every
/// file the run wrote or replaced under `dir` is opened with an independent
/// reader (ExpectReadable); a test fails on any file no reader accepts.
RunResult RunTool(const RunDir& dir, const std::vector<std::string>& args,
                  const RunLimits& limits = RunLimits());

/// Runs another program (its path first) in the folder `dir` as RunTool runs
/// the binary, with the same check of the files written under `dir`.
RunResult RunCommand(const RunDir& dir, const std::vector<std::string>& command,
                     const RunLimits& limits = RunLimits());

/// Opens a file the tool writes with a real reader of its kind: a VRML97
/// parser for .wrl (anything on its standard error fails), PCL's reader for
/// .pcd, jsoncpp in strict mode for .json. Any other kind of file fails.
void ExpectReadable(const boost::filesystem::path& file);

/// The whole content of a file, byte for byte (empty when it cannot be read).
std::string ReadText(const boost::filesystem::path& file);

/// Writes an ASCII PCD file of x y z points, creating its folders.
void WriteScan(const boost::filesystem::path& file,
               const std::vector<std::array<float, 3>>& points);

}  // namespace kelvo_test
