// The tool's option table, the reading of a command line against it, the
// refusals of its values and combinations, and the settings it overrides.

#include "app/Options.h"

#include <cmath>
#include <iostream>
#include <string>

#include "cloud/CloudInfo.h"
#include "cloud/Units.h"
#include "config/Config.h"
#include "config/Printable.h"

namespace po = boost::program_options;

namespace {

/// The text given for an option on the command line, as typed.
std::string Token(const po::parsed_options& parsed, const std::string& name) {
    for (const po::option& o : parsed.options) {
        if (o.string_key == name && !o.value.empty()) {
            return o.value.front();
        }
    }
    return std::string();
}

/// Values the parser converts but no run can use end the run as values that
/// do not convert do, before anything is looked up: a decimal that is no
/// number or infinite, a negative count of points, a smallest cluster larger
/// than the largest. A tolerance of 0 (nothing is split) and a negative one
/// (it links like its magnitude, as the decode table's does) stay.
void RefuseUnusableValues(const po::parsed_options& parsed, const po::variables_map& vm) {
    const auto refuse = [&parsed](const char* name) {
        po::invalid_option_value error(Token(parsed, name));
        error.set_option_name(name);
        error.set_prefix(po::command_line_style::allow_long);
        throw error;
    };
    for (const char* name : {"cluster_tollerance", "min_color_map", "max_color_map"}) {
        if (vm.count(name) && !std::isfinite(vm[name].as<float>())) {
            refuse(name);
        }
    }
    for (const char* name : {"min_cluster_size", "max_cluster_size"}) {
        if (vm.count(name) && vm[name].as<int>() < 0) {
            refuse(name);
        }
    }
    if (vm.count("min_cluster_size") && vm.count("max_cluster_size") &&
        vm["min_cluster_size"].as<int>() > vm["max_cluster_size"].as<int>()) {
        throw po::error("Min cluster size " + Token(parsed, "min_cluster_size") +
                        " greater than max cluster size " + Token(parsed, "max_cluster_size"));
    }
}

/// A tolerance typed in metres for the millimetres the option takes links
/// points only a fraction of a millimetre apart, so nothing is split and the
/// run still ends well. Said on standard error; the run goes on.
void WarnSubMillimetreTolerance(const po::variables_map& vm) {
    constexpr float kSmallestLikelyToleranceMm = 1.0f;
    if (!vm.count("cluster_tollerance")) {
        return;
    }
    const float tolerance = vm["cluster_tollerance"].as<float>();
    if (tolerance != 0.0f && std::fabs(tolerance) < kSmallestLikelyToleranceMm) {
        std::cerr << "WARNING: --cluster_tollerance " << tolerance
                  << " is below 1 mm: the option is in millimetres (50 for 5 cm)" << std::endl;
    }
}

/// Prints a refusal with the option listing; the run then ends with status 1.
int Refuse(const std::string& message, const po::options_description& options) {
    std::cout << message << std::endl << options << std::endl;
    return app::kExitRefused;
}

}  // namespace

namespace app {

po::options_description BuildOptions() {
    po::options_description options("Available options",
                                    po::options_description::m_default_line_length,
                                    po::options_description::m_default_line_length / 2);
    // clang-format off
    options.add_options()
        ("help,h", "stampa lista opzioni")
        ("version", "Version of the program")
        ("index,i", po::value<int>(), "Index of object")
        ("user_id,u", po::value<int>(), "User Id")
        ("session_id,s", po::value<std::string>(), "Session id")
        ("config,c", po::value<std::string>(), "Config path & file")
        ("internal_index,n", po::value<int>(), "internal index")
        ("cloud_path,p", po::value<std::string>(), "Cloud path")
        ("cloud_path_tmp,o", po::value<std::string>(), "Cloud temporary path")
        ("cluster_tollerance,t", po::value<float>(), "Cluster tollerance")
        ("min_cluster_size,m", po::value<int>(), "Min cluster size")
        ("max_cluster_size,M", po::value<int>(), "Max cluster size")
        ("depallet_by_id,d", po::value<int>(), "Depallet by id pallet")
        ("depallet_by_h,e", po::value<float>(), "Depallet by height")
        ("depallet_auto,f", "Depallet auto, read al info from database")
        ("min_color_map,a", po::value<float>(), "Min color map")
        ("max_color_map,A", po::value<float>(), "Max color map")
        ("color_map_type,b", po::value<std::string>(),
         "Color map type (0: Blue / Red, 1: Green / Magenta, 2: White / Red, 3: Gray / Red, "
         "4: Blue / Green / Red -Rainbow) or custom color (#RRGGBBAA, es:#00AFFFFF)")
        ("split,z", "Split cloud");
    // clang-format on
    return options;
}

po::variables_map ParseCommandLine(int argc, char** argv, const po::options_description& options) {
    po::variables_map vm;
    const po::parsed_options parsed = po::parse_command_line(argc, argv, options);
    po::store(parsed, vm);
    po::notify(vm);
    RefuseUnusableValues(parsed, vm);
    WarnSubMillimetreTolerance(vm);
    return vm;
}

bool UsableSid(const std::string& sid) {
    if (CloudInfo::IsValidSid(sid)) {
        return true;
    }
    std::cout << "ERROR: Invalid session id: " << Printable(sid) << std::endl;
    return false;
}

void ApplyOperations(const po::variables_map& vm, Config& config, RunRequest& request) {
    if (vm.count("split")) {
        request.split = true;
    }
    if (vm.count("depallet_by_id")) {
        config.SetPalletId(vm["depallet_by_id"].as<int>());
        request.depalletById = true;
    }
    if (vm.count("depallet_by_h")) {
        config.SetPalletHeight(vm["depallet_by_h"].as<float>());
        request.depalletByHeight = true;
    }
    if (vm.count("depallet_auto")) {
        request.depalletAuto = true;
    }
    if (vm.count("min_color_map")) {
        config.SetMinColorMap(vm["min_color_map"].as<float>());
    }
    if (vm.count("max_color_map")) {
        config.SetMaxColorMap(vm["max_color_map"].as<float>());
    }
    if (vm.count("color_map_type")) {
        config.SetColorMapType(vm["color_map_type"].as<std::string>());
    }
}

int Validate(const po::variables_map& vm, const po::options_description& options,
             RunRequest& request) {
    if (request.depalletById && request.depalletByHeight) {
        return Refuse("Incompatible operation Depallet by id pallet / Depallet by height", options);
    }
    if (!request.split && !request.depalletById && !request.depalletByHeight &&
        !request.depalletAuto) {
        return Refuse("Operation not defined", options);
    }
    if (vm.count("index")) {
        request.index = vm["index"].as<int>();
        if (request.index <= 0) {
            return Refuse("Invalid index, must be > 0!", options);
        }
    }
    if (vm.count("internal_index")) {
        request.internalIndex = vm["internal_index"].as<int>();
        if (request.internalIndex <= 0) {
            return Refuse("Invalid internal index,  must be > 0!", options);
        }
    }
    if (vm.count("session_id")) {
        request.sessionId = vm["session_id"].as<std::string>();
    }
    if (request.index <= 0 && (request.sessionId.empty() || request.internalIndex <= 0)) {
        return Refuse("You must specify the index or session id with the internal index!", options);
    }
    if (request.index <= 0 && !UsableSid(request.sessionId)) {
        return kExitRefused;
    }
    return kExitOk;
}

void ApplyOverrides(const po::variables_map& vm, Config& config) {
    if (vm.count("cloud_path")) {
        config.SetBaseDataFolder(vm["cloud_path"].as<std::string>());
    }
    if (vm.count("cloud_path_tmp")) {
        config.SetBaseDataFolder(vm["cloud_path_tmp"].as<std::string>());
    }
    if (vm.count("cluster_tollerance")) {
        config.SetClusterTollerance(vm["cluster_tollerance"].as<float>() / kMillimetresPerMetre);
    }
    if (vm.count("min_cluster_size")) {
        config.SetMinClusterSize(vm["min_cluster_size"].as<int>());
    }
    if (vm.count("max_cluster_size")) {
        config.SetMaxClusterSize(vm["max_cluster_size"].as<int>());
    }
}

}  // namespace app
