#include "run/RunHarness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <pcl/PCLPointCloud2.h>
#include <pcl/io/pcd_io.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace kelvo_test {

namespace {

/// Status reported for a run that a signal ended, as shells do.
constexpr int kSignalStatusBase = 128;
/// User and group id of nobody on Debian.
constexpr unsigned kNobody = 65534;

/// The VRML97 parser of Debian's view3dscene package; it reports every fault
/// on standard error, also those it reads past with exit status 0.
const char* const kVrmlReader = "/usr/bin/tovrmlx3d";

/// Runs a program in `workDir` with no standard input, its two outputs sent
/// to the given files, under the given limits.
int RunProgram(const std::vector<std::string>& command, const boost::filesystem::path& workDir,
               const boost::filesystem::path& outFile, const boost::filesystem::path& errFile,
               const RunLimits& limits = RunLimits()) {
    std::vector<char*> argv;
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(workDir.c_str()) != 0) {
            _exit(127);
        }
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (limits.maxFileBytes >= 0) {
            // A write beyond the limit must fail with EFBIG, not kill the run.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit cap{static_cast<rlim_t>(limits.maxFileBytes),
                             static_cast<rlim_t>(limits.maxFileBytes)};
            setrlimit(RLIMIT_FSIZE, &cap);
        }
        if (limits.unprivileged && geteuid() == 0 &&
            (setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(127);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0) {
    }
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : kSignalStatusBase + WTERMSIG(wstatus);
}

/// Every regular file under a folder with the time it was last written.
std::map<std::string, std::filesystem::file_time_type> FilesWithTimes(
    const boost::filesystem::path& folder) {
    std::map<std::string, std::filesystem::file_time_type> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.string())) {
        if (entry.is_regular_file()) {
            files[entry.path().string()] = entry.last_write_time();
        }
    }
    return files;
}

void ExpectVrmlReadable(const boost::filesystem::path& file) {
    const boost::filesystem::path errFile = boost::filesystem::temp_directory_path() /
                                            boost::filesystem::unique_path("kelvo-wrl-%%%%-%%%%");
    const int status =
        RunProgram({kVrmlReader, file.string()}, file.parent_path(), "/dev/null", errFile);
    const std::string errors = ReadText(errFile);
    boost::filesystem::remove(errFile);
    EXPECT_EQ(status, 0) << kVrmlReader << " " << file << " (package view3dscene)";
    EXPECT_EQ(errors, "") << file;
}

void ExpectPcdReadable(const boost::filesystem::path& file) {
    pcl::PCLPointCloud2 cloud;
    ASSERT_EQ(pcl::PCDReader().read(file.string(), cloud), 0) << file;
    std::string fields;
    for (const pcl::PCLPointField& field : cloud.fields) {
        fields += (fields.empty() ? "" : " ") + field.name;
    }
    EXPECT_EQ(fields, "x y z rgb") << file;
    EXPECT_EQ(cloud.data.size(),
              static_cast<std::size_t>(cloud.width) * cloud.height * cloud.point_step)
        << file;
}

void ExpectJsonReadable(const boost::filesystem::path& file) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    Json::Value root;
    std::string errors;
    std::istringstream in(ReadText(file));
    EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << file << ": " << errors;
    EXPECT_TRUE(root.isObject()) << file;
}

}  // namespace

void ExpectReadable(const boost::filesystem::path& file) {
    const std::string kind = file.extension().string();
    if (kind == ".wrl") {
        ExpectVrmlReadable(file);
    } else if (kind == ".pcd") {
        ExpectPcdReadable(file);
    } else if (kind == ".json") {
        ExpectJsonReadable(file);
    } else {
        ADD_FAILURE() << "a file of no known kind: " << file;
    }
}

RunDir::RunDir(bool withBootstrap)
    : path(boost::filesystem::temp_directory_path() /
           boost::filesystem::unique_path("kelvo-run-%%%%-%%%%-%%%%")) {
    boost::filesystem::create_directories(path);
    if (withBootstrap) {
        boost::filesystem::copy_file(RequireEnv("KELVO_TEST_CONFIG"), path / "kelvo_tools.json");
    }
}

RunDir::~RunDir() {
    boost::system::error_code ignored;
    boost::filesystem::remove_all(path, ignored);
}

RunResult RunTool(const RunDir& dir, const std::vector<std::string>& args,
                  const RunLimits& limits) {
    std::vector<std::string> command = {RequireEnv("KELVO_TOOLS_BIN")};
    command.insert(command.end(), args.begin(), args.end());
    return RunCommand(dir, command, limits);
}

RunResult RunCommand(const RunDir& dir, const std::vector<std::string>& command,
                     const RunLimits& limits) {
    // The captures sit beside the working folder so that a run never sees them.
    const boost::filesystem::path outFile = dir.Path().string() + ".stdout";
    const boost::filesystem::path errFile = dir.Path().string() + ".stderr";

    const auto before = FilesWithTimes(dir.Path());
    RunResult result;
    result.status = RunProgram(command, dir.Path(), outFile, errFile, limits);
    result.out = ReadText(outFile);
    result.err = ReadText(errFile);
    boost::system::error_code ignored;
    boost::filesystem::remove(outFile, ignored);
    boost::filesystem::remove(errFile, ignored);

    for (const auto& [file, written] : FilesWithTimes(dir.Path())) {
        const auto old = before.find(file);
        if (old == before.end() || old->second != written) {
            ExpectReadable(file);
        }
    }
    return result;
}

std::string ReadText(const boost::filesystem::path& file) {
    std::ifstream in(file.string(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteScan(const boost::filesystem::path& file,
               const std::vector<std::array<float, 3>>& points) {
    boost::filesystem::create_directories(file.parent_path());
    std::ofstream out(file.string());
    out << "# .PCD v0.7 - Point Cloud Data file format\n"
        << "VERSION 0.7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nCOUNT 1 1 1\n"
        << "WIDTH " << points.size() << "\nHEIGHT 1\nVIEWPOINT 0 0 0 1 0 0 0\n"
        << "POINTS " << points.size() << "\nDATA ascii\n";
    out.precision(9);
    for (const auto& p : points) {
        out << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
    }
    if (!out) {
        throw std::runtime_error("cannot write scan " + file.string());
    }
}

}  // namespace kelvo_test
