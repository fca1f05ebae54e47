#include "cloud/Cloud.h"

#include <pcl/PCLPointCloud2.h>
#include <pcl/common/io.h>
#include <pcl/console/print.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <boost/filesystem/operations.hpp>
#include <iostream>
#include <stdexcept>

#include "cloud/CloudFilenameNotDef.h"
#include "cloud/CloudResultIndex.h"
#include "cloud/EnsureFolder.h"
#include "cloud/Utilities.h"

namespace fs = boost::filesystem;
using namespace cloud_index;

namespace {

const char* const kPcdPattern = "S%d.pcd";

/// Keeps the point-cloud library's warnings down while it lives.
class QuietLibrary {
public:
    QuietLibrary() : saved(pcl::console::getVerbosityLevel()) {
        pcl::console::setVerbosityLevel(pcl::console::L_ERROR);
    }
    ~QuietLibrary() { pcl::console::setVerbosityLevel(saved); }
    QuietLibrary(const QuietLibrary&) = delete;
    QuietLibrary& operator=(const QuietLibrary&) = delete;

private:
    pcl::console::VERBOSITY_LEVEL saved;
};

/// True when the file has a PCD header with x, y and z fields and a data section.
/// The reader crashes on files without one, so they never reach it.
bool HasUsableHeader(const std::string& filename) {
    // Only a guard: its warnings would repeat what the refusal says.
    QuietLibrary quiet;
    pcl::PCLPointCloud2 header;
    Eigen::Vector4f origin;
    Eigen::Quaternionf orientation;
    int version = 0;
    int dataType = 0;
    unsigned int dataIndex = 0;
    if (pcl::PCDReader().readHeader(filename, header, origin, orientation, version, dataType,
                                    dataIndex) != 0 ||
        dataIndex == 0) {
        return false;
    }
    for (const char* name : {"x", "y", "z"}) {
        if (pcl::getFieldIndex(header, name) < 0) {
            return false;
        }
    }
    return true;
}

/// Reads x, y, z of a PCD file; a file the reader rejects never replaces the points held so far.
PointCloudXYZPtr ReadXYZ(const std::string& filename) {
    PointCloudXYZPtr tmp(new PointCloudXYZ);
    if (!HasUsableHeader(filename) || pcl::PCDReader().read(filename, *tmp, 0) != 0) {
        throw std::runtime_error("Malformed point cloud file: " + filename);
    }
    return tmp;
}

/// Writes the points as ASCII PCD; a failed write is an error, not a silent loss.
void WriteAscii(const std::string& filename, const PointCloudRGB& points) {
    pcl::PCDWriter writer;
    if (writer.write(filename, points, false) != 0) {
        throw std::runtime_error("Unable to write point cloud file: " + filename);
    }
}

}  // namespace

Cloud::Cloud() : cloud(new PointCloudRGB), alignedCloud(new PointCloudRGB) {}

Cloud::Cloud(CloudInfo info) : Cloud() { cloudInfo = std::move(info); }

Cloud::~Cloud() = default;

void Cloud::Load() {
    const fs::path path = cloudInfo.GetPath();
    std::cout << "file: " << path << std::endl;
    if (!fs::exists(path)) {
        throw cloudFilenameNotDef;
    }
    setCloud(ReadXYZ(path.string()));
}

void Cloud::Load(std::string filename) {
    std::cout << "file: " << filename << std::endl;
    if (!fs::exists(filename)) {
        throw cloudFilenameNotDef;
    }
    setCloud(ReadXYZ(filename));
}

void Cloud::Save() {
    const fs::path folder = cloudInfo.GetBasePath();
    // Without a base folder the file would land relative to the working directory.
    if (folder.empty()) {
        throw cloudFilenameNotDef;
    }
    EnsureFolder(folder);
    WriteAscii(cloudInfo.GetPath().string(), *cloud);
}

void Cloud::Save(std::string filename) {
    if (filename.empty()) {
        throw cloudFilenameNotDef;
    }
    WriteAscii(filename, *cloud);
}

void Cloud::SavePallet() {
    const fs::path folder = cloudInfo.GetBasePathPallet();
    EnsureFolder(folder);
    WriteAscii((folder / Utilities::StringFormat(kPcdPattern, cloudInfo.GetN())).string(), *cloud);
}

void Cloud::setCloud(const PointCloudRGBPtr& src) { pcl::copyPointCloud(*src, *cloud); }

void Cloud::setCloud(const PointCloudXYZPtr& src) { pcl::copyPointCloud(*src, *cloud); }

std::ostream& operator<<(std::ostream& os, const Cloud& c) {
    os << c.cloudInfo << std::endl;
    os << "Cloud:" << std::endl;
    os << "\tN. Point: " << static_cast<unsigned>(c.cloud->size()) << std::endl;
    for (int i = 0; i < kCornerCount; ++i) {
        os << "\t" << static_cast<char>('A' + i) << " = (" << c.inboundCorners[kX][i] << ","
           << c.inboundCorners[kY][i] << "," << c.inboundCorners[kZ][i] << ")" << std::endl;
    }
    os << "\tLxWxH = (" << c.inboundSize[kL] << "," << c.inboundSize[kW] << "," << c.inboundSize[kH]
       << ")" << std::endl;
    os << "\tInbound = " << c.volInbound << std::endl;
    os << "\tPackage = " << c.volPackage << std::endl;
    os << "\tSurface = " << c.volSurface << std::endl;
    os << "\tV-Shape = " << c.volVShape << std::endl;
    return os;
}
