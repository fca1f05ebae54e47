#include "run/RunHarness.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kelvo_test {

namespace {

/// Status reported for a run that a signal ended, as shells do.
constexpr int kSignalStatusBase = 128;
/// User and group id of nobody on Debian.
constexpr unsigned kNobody = 65534;

}  // namespace

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

RunResult RunTool(const RunDir& dir, const std::vector<std::string>& args, const RunLimits& limits) {
    const std::string binary = RequireEnv("KELVO_TOOLS_BIN");
    // The captures sit beside the working folder so that a run never sees them.
    const boost::filesystem::path outFile = dir.Path().string() + ".stdout";
    const boost::filesystem::path errFile = dir.Path().string() + ".stderr";

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& arg : args) {
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
        if (in < 0 || out < 0 || err < 0 || chdir(dir.Path().c_str()) != 0) {
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

    RunResult result;
    result.status =
        WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : kSignalStatusBase + WTERMSIG(wstatus);
    result.out = ReadText(outFile);
    result.err = ReadText(errFile);
    boost::system::error_code ignored;
    boost::filesystem::remove(outFile, ignored);
    boost::filesystem::remove(errFile, ignored);
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
