// kelvo_tools: measures one scanned object named by its shipment row or by
// its session and internal index, removing the pallet and/or splitting it.

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <boost/filesystem/operations.hpp>
#include <algorithm>
#include <boost/program_options.hpp>
#include <cmath>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "cloud/CloudInfo.h"
#include "config/Config.h"
#include "measure/CloudCollection.h"

namespace po = boost::program_options;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
/// The command line gives the cluster tolerance in millimetres; the setting is metres.

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
po::options_description BuildOptions() {
    po::options_description options("Available options",
                                    po::options_description::m_default_line_length,
                                    po::options_description::m_default_line_length / 2);
    // clang-format off
    options.add_options()
        ("help,h", "stampa lista opzioni")
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

/// Prints a refusal with the option listing; the run then ends with status 1.
int Refuse(const std::string& message, const po::options_description& options) {
    std::cout << message << std::endl << options << std::endl;
    return kExitRefused;
}

/// Applies the operation options (the pallet lookup happens here) and records the flags.
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

/// Checks the combination of options in their fixed order; returns the
/// refusal's exit status, or kExitOk when the run may go on.
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
    return kExitOk;
}

/// Command-line overrides of the settings; the later folder option wins.
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

/// The object's identity, by index when one is given, else by session.
CloudInfo LookUp(const Config& config, const RunRequest& request) {
    if (request.index > 0) {
        return config.GetCloudInfo(request.index);
    }
    return config.GetCloudInfo(request.sessionId, request.internalIndex);
}

/// The identity whose file the run reads. Once a row is marked depalletized
/// its own file is the cut cloud; cutting that again would take another
/// pallet off the goods, so a run that cuts always starts from the scan as
/// delivered and repeating it gives the same results.
CloudInfo Source(const CloudInfo& info, const RunRequest& request, const Config& config) {
    const bool cuts = request.depalletById ||
                      (request.depalletByHeight && Cloud::CutsPallet(config.GetPalletHeight()));
    return cuts ? info.Delivered() : info;
}

/// True when the object has a row and the file the run reads is on disk.
bool Exists(const CloudInfo& info, const CloudInfo& source) {
    return info.GetId() > 0 && boost::filesystem::exists(source.GetPath());
}

/// The working cloud of the run: the object's identity with the points of the source file.
Cloud LoadCloud(const CloudInfo& info, const CloudInfo& source) {
    Cloud read(source);
    read.Load();
    Cloud cloud(info);
    cloud.setCloud(read.getCloud());
    return cloud;
}

/// Inbound box, package volume and octree volumes of the cloud as it stands, then its printout.
void Measure(Cloud& cloud) {
    cloud.CalcInbound();
    cloud.CalcPackage();
    cloud.CalcReal();
    std::cout << cloud << std::endl;
}

/// How the depallet step ended.
enum class DepalletOutcome {
    Stored,     ///< files written, row updated
    Refused,    ///< nothing sensible to store; nothing written
    NotStored,  ///< files written, but the database refused the update
};

/// True when every value the update stores is a number: a NaN or an
/// infinity would overwrite the row with garbage.
bool ResultsAreNumbers(const Cloud& cloud) {
    std::vector<float> values = {cloud.GetH(),         cloud.GetL(),         cloud.GetW(),
                                 cloud.GetVolInbound(), cloud.GetVolPackage(), cloud.GetVolSurface(),
                                 cloud.GetVolVShape()};
    for (int axis = 0; axis < 3; ++axis) {
        for (int corner = 0; corner < 8; ++corner) {
            values.push_back(cloud.GetInboundCorner(axis, corner));
        }
    }
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

/// Measures the cloud with and without its pallet, writes the pallet folder's
/// files and stores the results in the object's row. Nothing is written when
/// the pallet cut leaves no points: zeros would overwrite the row.
DepalletOutcome DepalletStep(Cloud& cloud, const Config& config) {
    std::cout << "Begin depallet" << std::endl;
    Measure(cloud);
    cloud.CalcDepallet();
    if (cloud.getCloud()->empty()) {
        std::cout << "ERROR: Nothing left of the cloud after removing the pallet!" << std::endl;
        return DepalletOutcome::Refused;
    }
    Measure(cloud);
    if (!ResultsAreNumbers(cloud)) {
        std::cout << "ERROR: The measured results are not numbers, nothing is stored!" << std::endl;
        return DepalletOutcome::Refused;
    }
    cloud.ColorMap();
    cloud.SelfParent();
    cloud.SavePallet();
    cloud.SaveSurfacePallet();
    cloud.SaveVolSurfacePallet();
    cloud.SaveVolVShapePallet();
    const bool stored = config.ExecSQL(cloud.SaveDataSQL()) == 0;
    std::cout << cloud.SaveDataSQL() << std::endl;
    return stored ? DepalletOutcome::Stored : DepalletOutcome::NotStored;
}

/// Splits a copy of the cloud into the objects standing side by side; when
/// there are several, measures each and writes its files.
void SplitStep(const Cloud& cloud) {
    std::cout << "Begin split" << std::endl;
    CloudCollection collection(cloud);
    if (collection.size() <= 1) {
        std::cout << "Nothing to split" << std::endl << "Split: " << collection.size() << std::endl;
        return;
    }
    std::cout << "Split: " << collection.size() << std::endl;
    for (int i = 0; i < collection.size(); ++i) {
        Measure(collection.get(i));
    }
    collection.save();
    collection.saveVolume();
    collection.saveData();
}

int Run(int argc, char** argv) {
    const po::options_description options = BuildOptions();
    po::variables_map vm;
    po::store(po::parse_command_line(argc, argv, options), vm);
    po::notify(vm);

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

    // Without its pallet row the pallet height is not the pallet's: the cut
    // would be wrong while the row still got marked as depalletized.
    if (request.depalletById && !config->IsPalletKnown()) {
        std::cout << "ERROR: Pallet not found: " << config->GetPalletId() << std::endl;
        return kExitRefused;
    }

    // A pallet height that is no number, or negative, cannot be cut by; the
    // run would still mark the row depalletized.
    const float palletHeight = config->GetPalletHeight();
    if ((request.depalletById || request.depalletByHeight) &&
        !(std::isfinite(palletHeight) && palletHeight >= 0.0f)) {
        std::cout << "ERROR: Invalid pallet height: " << palletHeight << std::endl;
        return kExitRefused;
    }

    const CloudInfo info = LookUp(*config, request);
    const CloudInfo source = Source(info, request, *config);
    if (!Exists(info, source)) {
        std::cout << "Not found:" << std::endl << info << std::endl;
        return kExitRefused;
    }
    std::cout << "Found!:" << std::endl;

    Cloud cloud = LoadCloud(info, source);
    // A refused update still lets the split go on (its files do not depend
    // on the row), but the run must not report success.
    int status = kExitOk;
    if (request.depalletById || request.depalletByHeight) {
        const DepalletOutcome outcome = DepalletStep(cloud, *config);
        if (outcome == DepalletOutcome::Refused) {
            return kExitRefused;
        }
        if (outcome == DepalletOutcome::NotStored) {
            status = kExitRefused;
        }
    }
    if (request.split) {
        SplitStep(cloud);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
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
