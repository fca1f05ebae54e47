// The tool's option table, the reading of a command line against it, and the
// refusals of values and combinations no run can use.
#pragma once

#include <boost/program_options.hpp>
#include <string>

class Config;

namespace app {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;

/// What the command line asks of this run.
struct RunRequest {
    std::string sessionId;
    int index = 0;
    int internalIndex = 0;
    bool split = false;
    bool depalletById = false;
    bool depalletByHeight = false;
    bool depalletAuto = false;
};

/// The option table; its order is the order of the help listing.
boost::program_options::options_description BuildOptions();

/// The command line read against the table. Values no run can use end the
/// run as values that do not convert do (the parser's error is thrown); a
/// tolerance that looks typed in metres is warned of on standard error.
boost::program_options::variables_map ParseCommandLine(
    int argc, char** argv, const boost::program_options::options_description& options);

/// True when the session id can name the session's folder; otherwise prints
/// the refusal.
bool UsableSid(const std::string& sid);

/// Applies the operation options (the pallet lookup happens here) and records the flags.
void ApplyOperations(const boost::program_options::variables_map& vm, Config& config,
                     RunRequest& request);

/// Checks the combination of options in their fixed order; returns the
/// refusal's exit status, or kExitOk when the run may go on.
int Validate(const boost::program_options::variables_map& vm,
             const boost::program_options::options_description& options, RunRequest& request);

/// Command-line overrides of the settings; the later folder option wins.
void ApplyOverrides(const boost::program_options::variables_map& vm, Config& config);

}  // namespace app
