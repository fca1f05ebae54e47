#include "cloud/Cloud.h"

#include <pcl/common/io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <boost/filesystem/operations.hpp>
#include <iostream>
#include <limits>
#include <stdexcept>

#include "cloud/CloudFilenameNotDef.h"
#include "cloud/CloudResultIndex.h"
#include "cloud/EnsureFolder.h"
#include "cloud/pcd/PcdReader.h"
#include "cloud/pcd/PcdWriter.h"

namespace fs = boost::filesystem;
using namespace cloud_index;

namespace {

/// Puts the points of a file into cloud as the library's copy between point
/// types does: x, y, z are replaced and every other member of a point already
/// held (its colour) is kept; points added carry the default colour.
void Apply(const PcdReader::Points& in, PointCloudRGB& cloud) {
    cloud.header = pcl::PCLHeader();
    cloud.width = in.width;
    cloud.height = in.height;
    cloud.is_dense = in.isDense;
    cloud.sensor_origin_ = Eigen::Vector4f(in.origin[0], in.origin[1], in.origin[2], 0.0f);
    cloud.sensor_orientation_ = Eigen::Quaternionf(in.orientation[0], in.orientation[1],
                                                   in.orientation[2], in.orientation[3]);
    const std::size_t count = in.xyz.size() / 3;
    const float* v = in.xyz.data();
    const float noReturn = std::numeric_limits<float>::quiet_NaN();
    // Some cameras mark a pixel without a return as their own centre, where
    // no surface can be: such a point is read as having no coordinates.
    const auto place = [&](pcl::PointXYZRGB& p) {
        if (v[0] == 0.0f && v[1] == 0.0f && v[2] == 0.0f) {
            p.x = p.y = p.z = noReturn;
            cloud.is_dense = false;
        } else {
            p.x = v[0];
            p.y = v[1];
            p.z = v[2];
        }
        v += 3;
    };
    if (!cloud.points.empty()) {
        cloud.resize(count);
        for (pcl::PointXYZRGB& p : cloud.points) {
            place(p);
        }
        return;
    }
    // An empty cloud (every load of the run): each point is built once,
    // whole, instead of cleared to its defaults first and then overwritten.
    cloud.points.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        pcl::PointXYZRGB p;
        place(p);
        cloud.points.push_back(p);
    }
}

}  // namespace

Cloud::Cloud() : cloud(new PointCloudRGB) {}

Cloud::Cloud(CloudInfo info) : Cloud() { cloudInfo = std::move(info); }

Cloud::~Cloud() = default;

void Cloud::Load() {
    const fs::path path = cloudInfo.GetPath();
    std::cout << "file: " << path << std::endl;
    if (!fs::exists(path)) {
        throw cloudFilenameNotDef;
    }
    Apply(PcdReader::Read(path.string()), *cloud);
    ForgetCut();
}

void Cloud::Load(std::string filename) {
    std::cout << "file: " << filename << std::endl;
    if (!fs::exists(filename)) {
        throw cloudFilenameNotDef;
    }
    Apply(PcdReader::Read(filename), *cloud);
    ForgetCut();
}

void Cloud::ForgetCut() {
    goodsAsCut.reset();
    goodsFoot.reset();
    bottomAboveFloor = 0.0f;
}

void Cloud::Save() {
    const fs::path folder = cloudInfo.GetBasePath();
    // Without a base folder the file would land relative to the working directory.
    if (folder.empty()) {
        throw cloudFilenameNotDef;
    }
    EnsureFolder(folder);
    PcdWriter::Write(cloudInfo.GetPath().string(), *cloud);
}

void Cloud::Save(std::string filename) {
    if (filename.empty()) {
        throw cloudFilenameNotDef;
    }
    PcdWriter::Write(filename, *cloud);
}

void Cloud::SavePallet() {
    EnsureFolder(cloudInfo.GetBasePathPallet());
    PcdWriter::Write(cloudInfo.GetPathPallet().string(), *cloud);
}

PointCloudRGBPtr Cloud::getAlignedCloud() const {
    PointCloudRGBPtr aligned(new PointCloudRGB);
    alignedFrame.CopyInto(*cloud, *aligned);
    return aligned;
}

void Cloud::setCloud(const PointCloudRGBPtr& src) {
    pcl::copyPointCloud(*src, *cloud);
    ForgetCut();
}

void Cloud::setCloud(const PointCloudXYZPtr& src) {
    pcl::copyPointCloud(*src, *cloud);
    ForgetCut();
}

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
