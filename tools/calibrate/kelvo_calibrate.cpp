// kelvo_calibrate: sets a station up as dimensioners are on site. Fits the
// floor plane of a scan of the empty station, derives the corrections from
// scans of a reference box of known size, and checks a second box against
// the settings in force. It measures with the tool's own code, on the same
// bootstrap file and decode table. This file holds the command line; each
// command has a file of its own beside it.

#include <boost/program_options.hpp>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "config/Config.h"
#include "tools/Version.h"
#include "tools/calibrate/CalibrationStore.h"
#include "tools/calibrate/CommandOutput.h"
#include "tools/calibrate/box/BoxCommand.h"
#include "tools/calibrate/box/CheckCommand.h"
#include "tools/calibrate/floor/FloorCommand.h"

namespace po = boost::program_options;

namespace {

using namespace calibrate;

const char* const kUsage =
    "usage: kelvo_calibrate box   --size LxWxH (-i ID -i ID -i ID ... | -s SID SCAN SCAN SCAN "
    "...)\n"
    "                             [-d PALLET | -e MM] [--write]\n"
    "       kelvo_calibrate check --size LxWxH [--size LxWxH] (-i ID ... | -s SID SCAN ...)\n"
    "                             [-d PALLET | -e MM] [--division 5|10]\n"
    "       kelvo_calibrate floor SCAN [-s SID] [--write]\n"
    "       kelvo_calibrate --help | --version\n"
    "Common options: -c FILE (bootstrap file, default ./kelvo_tools.json), -p FOLDER (base data\n"
    "folder, for -i). Sizes in millimetres. The scans are cut as kelvo_tools cuts them with\n"
    "-d PALLET or -e MM; without either, as a box on the floor (-e 2). check with two sizes:\n"
    "every scan holds the pair side by side, split as kelvo_tools -z splits them.\n";

po::options_description BuildOptions() {
    po::options_description options("Options");
    // clang-format off
    options.add_options()
        ("help,h", "this listing")
        ("version", "the version")
        ("command", po::value<std::string>(), "box, check or floor")
        ("scan", po::value<std::vector<std::string>>(), "scan files")
        ("config,c", po::value<std::string>(), "bootstrap file")
        ("cloud_path,p", po::value<std::string>(), "base data folder")
        ("index,i", po::value<std::vector<int>>()->composing(), "shipment row of a scan")
        ("session_id,s", po::value<std::string>(), "session")
        ("depallet_by_id,d", po::value<int>(), "pallet the box stands on")
        ("depallet_by_h,e", po::value<float>(), "height of the pallet the box stands on, mm")
        ("size", po::value<std::vector<std::string>>()->composing(),
         "true size LxWxH, mm; check: twice for a pair side by side")
        ("division", po::value<double>(), "division to check against, mm")
        ("write", "store the results");
    // clang-format on
    return options;
}

int Run(int argc, char** argv) {
    const po::options_description options = BuildOptions();
    po::positional_options_description positional;
    positional.add("command", 1).add("scan", -1);
    po::variables_map vm;
    po::store(po::command_line_parser(argc, argv).options(options).positional(positional).run(),
              vm);
    po::notify(vm);

    if (vm.count("help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (vm.count("version")) {
        std::puts("kelvo_calibrate " KELVO_VERSION);
        return kExitOk;
    }
    const std::string command = vm.count("command") ? vm["command"].as<std::string>() : "";
    if (command != "box" && command != "check" && command != "floor") {
        std::fputs(kUsage, stderr);
        return kExitRefused;
    }

    Config* config =
        Config::GetInstance(vm.count("config") ? vm["config"].as<std::string>() : std::string());
    if (config == nullptr) {
        std::cout << "ERROR: Unable to initialize config object!" << std::endl;
        return kExitRefused;
    }
    CalibrationStore store(*config);
    try {
        if (command == "box") {
            return BoxCommand(vm, *config, store);
        }
        if (command == "check") {
            return CheckCommand(vm, *config, store);
        }
        return FloorCommand(vm, store);
    } catch (const Refused& e) {
        std::fflush(stdout);
        std::cout << "ERROR: " << e.what() << std::endl;
        return kExitRefused;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A rejected command line, an unreadable bootstrap file or an unreachable
    // database ends the run with one line on standard error, as the tool's do.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "ERROR: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "ERROR: unexpected failure" << std::endl;
    }
    return kExitRefused;
}
