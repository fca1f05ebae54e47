// kelvo_tools: measures one scanned object named by its shipment row or by
// its session and internal index, removing the pallet and/or splitting it.

#include <malloc.h>

#include <ctime>
#include <exception>
#include <iostream>
#include <string>

#include "app/LargePageHeap.h"
#include "app/Options.h"
#include "app/RunSteps.h"
#include "cloud/Cloud.h"
#include "cloud/CloudInfo.h"
#include "cloud/snapshot/Snapshot.h"
#include "config/Config.h"
#include "tools/Version.h"

namespace po = boost::program_options;

namespace {

using namespace app;

int Run(int argc, char** argv) {
    const std::time_t started = std::time(nullptr);
    const po::options_description options = BuildOptions();
    const po::variables_map vm = ParseCommandLine(argc, argv, options);
    if (vm.count("version")) {
        std::cout << "kelvo_tools " KELVO_VERSION << std::endl;
        return kExitOk;
    }
    // The listing needs neither the bootstrap file nor the database: it comes
    // first, flushed, so that a station not yet set up still sees it.
    const bool help = vm.count("help") > 0;
    if (help) {
        std::cout << options << std::endl;
    }

    Config* config =
        Config::GetInstance(vm.count("config") ? vm["config"].as<std::string>() : std::string());
    if (config == nullptr) {
        std::cout << "ERROR: Unable to initialize config object!" << std::endl;
        return kExitRefused;
    }

    if (help) {
        std::cout << "Default configuration:\n" << *config << std::endl;
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
    const Snapshot::Ground ground = Support(request, *config);
    if (request.depalletById || request.depalletByHeight) {
        const DepalletOutcome outcome = DepalletStep(cloud, *config, ground, started);
        if (outcome == DepalletOutcome::Refused) {
            return kExitRefused;
        }
        if (outcome == DepalletOutcome::NotStored) {
            status = kExitRefused;
        }
    }
    if (request.split && SplitStep(cloud, ground, started) != kExitOk) {
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
    UseLargePageHeap(kLargePageHeapBytes);
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
