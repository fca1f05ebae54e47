// The steps of a run after its command line: the pallet and the object's
// files checked, the scan found and loaded, the depallet and split steps.

#include "app/RunSteps.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "cloud/BothCores.h"
#include "config/Config.h"
#include "config/Printable.h"
#include "measure/split/CloudCollection.h"

namespace {

using app::RunRequest;

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

/// True when every value the update and the data file store is a number: a
/// NaN or an infinity would overwrite the row or the file with garbage.
bool ResultsAreNumbers(const Cloud& cloud) {
    std::vector<float> values = {
        cloud.GetH(),          cloud.GetL(),          cloud.GetW(),        cloud.GetVolInbound(),
        cloud.GetVolPackage(), cloud.GetVolSurface(), cloud.GetVolVShape()};
    for (int axis = 0; axis < 3; ++axis) {
        for (int corner = 0; corner < 8; ++corner) {
            values.push_back(cloud.GetInboundCorner(axis, corner));
        }
    }
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

}  // namespace

namespace app {

bool UsablePallet(const RunRequest& request, const Config& config) {
    // Without its pallet row the pallet height is not the pallet's: the cut
    // would be wrong while the row still got marked as depalletized.
    if (request.depalletById && !config.IsPalletKnown()) {
        std::cout << "ERROR: Pallet not found: " << config.GetPalletId() << std::endl;
        return false;
    }
    return !(request.depalletById || request.depalletByHeight) ||
           UsablePalletHeight(config.GetPalletHeight());
}

CloudInfo LookUp(const Config& config, const RunRequest& request) {
    if (request.index > 0) {
        return config.GetCloudInfo(request.index);
    }
    return config.GetCloudInfo(request.sessionId, request.internalIndex);
}

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

bool CutsPallet(const RunRequest& request, const Config& config) {
    return request.depalletById ||
           (request.depalletByHeight && Cloud::CutsPallet(config.GetPalletHeight()));
}

Snapshot::Ground Support(const RunRequest& request, const Config& config) {
    // A cut within the floor's noise band (-e 2) takes the floor's layer, not
    // a pallet: the scan checks see such goods on the floor too.
    return CutsPallet(request, config) && !Cloud::GoodsOnFloor(config.GetPalletHeight(), config.GetFloorNoiseBand())
               ? Snapshot::Ground::PalletTop
               : Snapshot::Ground::Floor;
}

CloudInfo Source(const CloudInfo& info, const RunRequest& request, const Config& config) {
    return CutsPallet(request, config) ? info.Delivered() : info;
}

bool Found(const RunRequest& request, const CloudInfo& info, const CloudInfo& source) {
    if (!Exists(info, source)) {
        std::cout << "Not found:" << std::endl << info << std::endl;
        ReportNotFound(request, info, source);
        return false;
    }
    std::cout << "Found!:" << std::endl;
    return true;
}

Cloud LoadCloud(const CloudInfo& info, const CloudInfo& source) {
    Cloud read(source);
    read.Load();
    Cloud cloud(info);
    cloud.getCloud()->swap(*read.getCloud());
    return cloud;
}

bool ScanUsable(const Cloud& cloud, const RunRequest& request, const Config& config) {
    if (!request.split && !request.depalletById && !request.depalletByHeight) {
        return true;
    }
    const std::string fault = cloud.CheckScan(CutsPallet(request, config),
                                              request.depalletById || request.depalletByHeight);
    if (!fault.empty()) {
        std::cout << "ERROR: " << fault << std::endl;
        return false;
    }
    return true;
}

DepalletOutcome DepalletStep(Cloud& cloud, const Config& config, Snapshot::Ground ground,
                             std::time_t started) {
    std::cout << "Begin depallet" << std::endl;
    Measure(cloud);
    cloud.CalcDepallet();
    if (cloud.getCloud()->empty()) {
        std::cout << "ERROR: Nothing left of the cloud after removing the pallet!" << std::endl;
        return DepalletOutcome::Refused;
    }
    if (const std::string fault = cloud.CheckDepallet(); !fault.empty()) {
        std::cout << "ERROR: " << fault << std::endl;
        return DepalletOutcome::Refused;
    }
    Measure(cloud);
    if (const std::string fault = cloud.CheckEroded(); !fault.empty()) {
        std::cout << "ERROR: " << fault << std::endl;
        return DepalletOutcome::Refused;
    }
    if (!ResultsAreNumbers(cloud)) {
        std::cout << "ERROR: The measured results are not numbers, nothing is stored!" << std::endl;
        return DepalletOutcome::Refused;
    }
    cloud.ColorMap();
    cloud.SelfParent();
    cloud.SavePallet();
    SavePicture(cloud, cloud.GetCloudInfo().GetPathPallet(), ground, started);
    cloud.SaveSurfacePallet();
    cloud.SaveVolSurfacePallet();
    cloud.SaveVolVShapePallet();
    const bool stored = config.ExecSQL(cloud.SaveDataSQL()) == 0;
    std::cout << cloud.SaveDataSQL() << std::endl;
    return stored ? DepalletOutcome::Stored : DepalletOutcome::NotStored;
}

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

}  // namespace app
