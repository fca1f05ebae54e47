// kelvo_tools: measures one scanned object named by its shipment row or by
// its session and internal index, removing the pallet and/or splitting it.

#include <malloc.h>

#include <ctime>
#include <exception>
#include <iostream>
#include <string>

#include "app/Options.h"
#include "app/RunSteps.h"
#include "cloud/Cloud.h"
#include "cloud/CloudInfo.h"
#include "cloud/Snapshot.h"
#include "config/Config.h"

namespace po = boost::program_options;

namespace {

using namespace app;

int Run(int argc, char** argv) {
    const std::time_t started = std::time(nullptr);
    const po::options_description options = BuildOptions();
    const po::variables_map vm = ParseCommandLine(argc, argv, options);

    Config* config =
        Config::GetInstance(vm.count("config") ? vm["config"].as<std::string>() : std::string());
    if (config == nullptr) {
        std::cout << "ERROR: Unable to initialize config object!" << std::endl;
        return kExitRefused;
    }

    if (vm.count("help")) {
        std::cout << options << "\n"
                  << "Default configuration:\n"
                  << *config << std::endl;
        return kExitOk;
    }

    RunRequest request;
    ApplyOperations(vm, *config, request);
    if (const int refused = Validate(vm, options, request); refused != kExitOk) {
        return refused;
    }
    ApplyOverrides(vm, *config);
    std::cout << *config << std::endl;
    if (!UsablePallet(request, *config)) {
        return kExitRefused;
    }

    const CloudInfo info = LookUp(*config, request);
    if (info.GetId() > 0 && !PlacesFilesSafely(info, *config)) {
        return kExitRefused;
    }
    const CloudInfo source = Source(info, request, *config);
    if (!Found(request, info, source)) {
        return kExitRefused;
    }

    Cloud cloud = LoadCloud(info, source);
    if (!ScanUsable(cloud, request, *config)) {
        return kExitRefused;
    }
    // A refused update still lets the split go on (its files do not depend
    // on the row), but the run must not report success.
    int status = kExitOk;
    if (request.depalletById || request.depalletByHeight) {
        const DepalletOutcome outcome = DepalletStep(cloud, *config, started);
        if (outcome == DepalletOutcome::Refused) {
            return kExitRefused;
        }
        if (outcome == DepalletOutcome::NotStored) {
            status = kExitRefused;
        }
    }
    // Clusters of a cut cloud stood on the pallet, the others on the floor.
    const bool cut = CutsPallet(request, *config);
    if (request.split &&
        SplitStep(cloud, cut ? Snapshot::Ground::PalletTop : Snapshot::Ground::Floor, started) !=
            kExitOk) {
        return kExitRefused;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // The second core's work (hull, filter, parse, formatting) allocates in
    // the same heap as the main thread: a heap of its own per thread kept
    // some 30 MB of freed cloud copies resident at 870k points, for no speed.
    mallopt(M_ARENA_MAX, 1);
    // Whatever escapes the run (a rejected command line, an unreadable
    // bootstrap file, an unreachable database, a failed read or write) ends
    // it with one line on standard error instead of an abort.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "ERROR: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "ERROR: unexpected failure" << std::endl;
    }
    return kExitRefused;
}
