// kelvo_tools: measures one scanned object named by its shipment row or by
// its session and internal index, removing the pallet and/or splitting it.

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <boost/filesystem/operations.hpp>
#include <algorithm>
#include <boost/program_options.hpp>
#include <cmath>
#include <ctime>
#include <exception>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "cloud/BothCores.h"
#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "cloud/CloudInfo.h"
#include "cloud/Snapshot.h"
#include "config/Config.h"
#include "config/Printable.h"
#include "measure/CloudCollection.h"

namespace po = boost::program_options;

namespace {

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

/// True when the session id can name the session's folder; otherwise prints
/// the refusal.
bool UsableSid(const std::string& sid) {
    if (CloudInfo::IsValidSid(sid)) {
        return true;
    }
    std::cout << "ERROR: Invalid session id: " << Printable(sid) << std::endl;
    return false;
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
    if (request.index <= 0 && !UsableSid(request.sessionId)) {
        return kExitRefused;
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

/// A pallet height that is no number, or negative, cannot be cut by; one
/// above 0 and below 2 mm (a height typed in metres) cuts nothing. Either way
/// the run would still mark the row depalletized, with pallet and goods
/// measured as one. 0 stays: no pallet, nothing cut. Prints the refusal.
bool UsablePalletHeight(float heightMm) {
    if (std::isfinite(heightMm) && (heightMm == 0.0f || Cloud::CutsPallet(heightMm))) {
        return true;
    }
    std::cout << "ERROR: Invalid pallet height: " << heightMm;
    if (heightMm > 0.0f && std::isfinite(heightMm)) {
        std::cout << " (millimetres: 0 for no pallet, else at least 2)";
    }
    std::cout << std::endl;
    return false;
}

/// The object's identity, by index when one is given, else by session.
CloudInfo LookUp(const Config& config, const RunRequest& request) {
    if (request.index > 0) {
        return config.GetCloudInfo(request.index);
    }
    return config.GetCloudInfo(request.sessionId, request.internalIndex);
}

/// An object's files lie in B/S: a session id that is no single folder name
/// would put them elsewhere, and without a base data folder they would land
/// wherever the run was started. Prints the refusal; true when the run may go on.
bool PlacesFilesSafely(const CloudInfo& info, const Config& config) {
    if (!UsableSid(info.GetSid())) {
        return false;
    }
    const std::string base = config.GetBaseDataFolder();
    if (base.empty()) {
        std::cout << "ERROR: No base data folder: give --cloud_path or set base.data.folder"
                  << std::endl;
        return false;
    }
    // The system calls end a name at a NUL: the files would land in a cut-off folder.
    if (base.find('\0') != std::string::npos) {
        std::cout << "ERROR: Invalid base data folder: " << Printable(base) << std::endl;
        return false;
    }
    return true;
}

/// True when the run cuts a pallet away (a depallet by height under 2 mm cuts nothing).
bool CutsPallet(const RunRequest& request, const Config& config) {
    return request.depalletById ||
           (request.depalletByHeight && Cloud::CutsPallet(config.GetPalletHeight()));
}

/// The identity whose file the run reads. Once a row is marked depalletized
/// its own file is the cut cloud; cutting that again would take another
/// pallet off the goods, so a run that cuts always starts from the scan as
/// delivered and repeating it gives the same results.
CloudInfo Source(const CloudInfo& info, const RunRequest& request, const Config& config) {
    return CutsPallet(request, config) ? info.Delivered() : info;
}

/// True when the object has a row and the file the run reads is on disk.
bool Exists(const CloudInfo& info, const CloudInfo& source) {
    return info.GetId() > 0 && boost::filesystem::exists(source.GetPath());
}

/// The identity printed with "Not found:" shows id -1 and "S0.pcd" when no
/// row matched; this line on standard error says what was looked for, so a
/// mistyped index or session id shows.
void ReportNotFound(const RunRequest& request, const CloudInfo& info, const CloudInfo& source) {
    std::cerr << "ERROR: Not found: ";
    if (info.GetId() > 0) {
        std::cerr << "no scan file \"" << Printable(source.GetPath().string()) << "\" for row "
                  << info.GetId();
    } else if (request.index > 0) {
        std::cerr << "no awbexport row with ID " << request.index << " and a session row";
    } else {
        std::cerr << "no awbexport row with sid \"" << Printable(request.sessionId)
                  << "\" and NrPackages " << request.internalIndex << " and a session row";
    }
    std::cerr << std::endl;
}

/// The working cloud of the run: the object's identity with the points of the source file.
Cloud LoadCloud(const CloudInfo& info, const CloudInfo& source) {
    Cloud read(source);
    read.Load();
    Cloud cloud(info);
    cloud.getCloud()->swap(*read.getCloud());
    return cloud;
}

/// Inbound box, package volume and octree volumes of the cloud as it stands, then its printout.
void Measure(Cloud& cloud) {
    // The hull only reads the points and writes only the package volume, so
    // it runs on the second core beside the other two.
    BothCores([&cloud] { cloud.CalcPackage(); },
              [&cloud] {
                  cloud.CalcInbound();
                  cloud.CalcReal();
              });
    std::cout << cloud << std::endl;
}

/// The picture beside a cloud file the run wrote, when image.snapshot asks for one.
void SavePicture(const Cloud& cloud, const boost::filesystem::path& pcd, Snapshot::Ground ground,
                 std::time_t started) {
    if (Config::GetInstance("")->GetImageSnapshot() == 1) {
        Snapshot(started, ground).Save(cloud, Snapshot::PathBeside(pcd).string());
    }
}

/// How the depallet step ended.
enum class DepalletOutcome {
    Stored,     ///< files written, row updated
    Refused,    ///< nothing sensible to store; nothing written
    NotStored,  ///< files written, but the database refused the update
};

/// True when every value the update and the data file store is a number: a
/// NaN or an infinity would overwrite the row or the file with garbage.
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
DepalletOutcome DepalletStep(Cloud& cloud, const Config& config, std::time_t started) {
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
    SavePicture(cloud, cloud.GetCloudInfo().GetPathPallet(), Snapshot::Ground::PalletTop, started);
    cloud.SaveSurfacePallet();
    cloud.SaveVolSurfacePallet();
    cloud.SaveVolVShapePallet();
    const bool stored = config.ExecSQL(cloud.SaveDataSQL()) == 0;
    std::cout << cloud.SaveDataSQL() << std::endl;
    return stored ? DepalletOutcome::Stored : DepalletOutcome::NotStored;
}

/// Splits a copy of the cloud into the objects standing side by side; when
/// there are several, measures each and writes its files. Nothing is written
/// when a cluster's results are not numbers (coordinates near the float
/// limit overflow the volumes): its data file would carry them. Returns the
/// run's exit status.
int SplitStep(const Cloud& cloud, Snapshot::Ground ground, std::time_t started) {
    std::cout << "Begin split" << std::endl;
    CloudCollection collection(cloud);
    if (collection.size() <= 1) {
        std::cout << "Nothing to split" << std::endl << "Split: " << collection.size() << std::endl;
        return kExitOk;
    }
    std::cout << "Split: " << collection.size() << std::endl;
    for (int i = 0; i < collection.size(); ++i) {
        Measure(collection.get(i));
    }
    for (int i = 0; i < collection.size(); ++i) {
        if (!ResultsAreNumbers(collection.get(i))) {
            std::cout << "ERROR: The measured results of cluster "
                      << collection.get(i).GetCloudInfo().GetN()
                      << " are not numbers, nothing is stored!" << std::endl;
            return kExitRefused;
        }
    }
    collection.save();
    for (int i = 0; i < collection.size(); ++i) {
        SavePicture(collection.get(i), collection.get(i).GetCloudInfo().GetPath(), ground, started);
    }
    collection.saveVolume();
    collection.saveData();
    return kExitOk;
}

int Run(int argc, char** argv) {
    const std::time_t started = std::time(nullptr);
    const po::options_description options = BuildOptions();
    po::variables_map vm;
    const po::parsed_options parsed = po::parse_command_line(argc, argv, options);
    po::store(parsed, vm);
    po::notify(vm);
    RefuseUnusableValues(parsed, vm);
    WarnSubMillimetreTolerance(vm);

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

    if ((request.depalletById || request.depalletByHeight) &&
        !UsablePalletHeight(config->GetPalletHeight())) {
        return kExitRefused;
    }

    const CloudInfo info = LookUp(*config, request);
    if (info.GetId() > 0 && !PlacesFilesSafely(info, *config)) {
        return kExitRefused;
    }
    const CloudInfo source = Source(info, request, *config);
    if (!Exists(info, source)) {
        std::cout << "Not found:" << std::endl << info << std::endl;
        ReportNotFound(request, info, source);
        return kExitRefused;
    }
    std::cout << "Found!:" << std::endl;

    Cloud cloud = LoadCloud(info, source);
    // A scan in the wrong unit, or a floor plane that is not this scan's
    // floor, would be measured and stored as absurd sizes.
    if (request.split || request.depalletById || request.depalletByHeight) {
        const std::string fault = cloud.CheckScan(CutsPallet(request, *config),
                                                  request.depalletById || request.depalletByHeight);
        if (!fault.empty()) {
            std::cout << "ERROR: " << fault << std::endl;
            return kExitRefused;
        }
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
