#include "tools/calibrate/box/ScanMeasurement.h"

#include <Eigen/Geometry>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cmath>
#include <exception>
#include <iostream>
#include <sstream>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "config/Config.h"
#include "measure/ConfigAccess.h"
#include "measure/split/CloudCollection.h"

namespace {

/// The loader names the file it reads on standard output; the calibration
/// lists its scans in a table of its own, so that line is held back.
class QuietStandardOutput {
public:
    QuietStandardOutput() : saved(std::cout.rdbuf(sink.rdbuf())) {}
    ~QuietStandardOutput() { std::cout.rdbuf(saved); }
    QuietStandardOutput(const QuietStandardOutput&) = delete;
    QuietStandardOutput& operator=(const QuietStandardOutput&) = delete;

private:
    std::ostringstream sink;
    std::streambuf* saved;
};

void MeasureAsScanned(Cloud& cloud) {
    cloud.CalcInbound();
    cloud.CalcPackage();
    cloud.CalcReal();
}

/// Edge of the smallest column head, mm: the grid's cell.
double CellMm(const Cloud& cloud) {
    const VRML& heads = cloud.GetVrmlSurface();
    float cell = 0.0f;
    for (int i = 0; i < heads.size(); ++i) {
        const float s = heads.get(i).GetD1();
        cell = i == 0 ? s : std::min(cell, s);
    }
    return cell * kMillimetresPerMetre;
}

/// Extent of the octree's column heads along the aligned axes (the inbound
/// rectangle's), longer first, and the height the columns are counted with.
BoxSize OctreeExtent(const Cloud& cloud) {
    const VRML& heads = cloud.GetVrmlSurface();
    const VRML& columns = cloud.GetVrmlVolSurface();
    if (heads.size() == 0 || columns.size() == 0) {
        return BoxSize();
    }
    // The boxes stand in the scan frame; the columns were counted in the aligned one.
    const Eigen::Affine3f toAligned = cloud.GetInboundTransform().inverse();
    float lo[2] = {0.0f, 0.0f}, hi[2] = {0.0f, 0.0f};
    for (int i = 0; i < heads.size(); ++i) {
        const VRMLObj box = heads.get(i);
        const Eigen::Vector3f q =
            toAligned * Eigen::Vector3f(box.GetTransX(), box.GetTransY(), box.GetTransZ());
        const float half = box.GetD1() / 2.0f;
        for (int axis = 0; axis < 2; ++axis) {
            lo[axis] = i == 0 ? q[axis] - half : std::min(lo[axis], q[axis] - half);
            hi[axis] = i == 0 ? q[axis] + half : std::max(hi[axis], q[axis] + half);
        }
    }
    const double x = (hi[0] - lo[0]) * kMillimetresPerMetre;
    const double y = (hi[1] - lo[1]) * kMillimetresPerMetre;
    BoxSize size;
    size.l = std::max(x, y);
    size.w = std::min(x, y);
    size.h = columns.get(0).GetD3() * kMillimetresPerMetre;
    return size;
}

bool Finite(const BoxSize& s) {
    return std::isfinite(s.l) && std::isfinite(s.w) && std::isfinite(s.h);
}

/// What a run keeps of a measured cloud, in millimetres.
ScanMeasures Summarise(const Cloud& cloud) {
    ScanMeasures m;
    m.inbound.l = cloud.GetL() * kMillimetresPerMetre;
    m.inbound.w = cloud.GetW() * kMillimetresPerMetre;
    m.inbound.h = cloud.GetH() * kMillimetresPerMetre;
    m.octree = OctreeExtent(cloud);
    m.octreeCellMm = CellMm(cloud);
    m.volSurface = cloud.GetVolSurface();
    if (!Finite(m.inbound) || !Finite(m.octree) || !std::isfinite(m.volSurface) || !(m.octreeCellMm > 0.0)) {
        throw ScanFailure("the measured results are not numbers");
    }
    return m;
}

/// The scan as a depallet run leaves it: checked, measured, cut, measured again.
Cloud CutScan(const ScanSource& source) {
    Cloud cloud = ScanMeasurement::Load(source);
    const std::string fault = cloud.CheckScan(Cloud::CutsPallet(ConfigAccess::Get().GetPalletHeight()));
    if (!fault.empty()) {
        throw ScanFailure(fault);
    }
    MeasureAsScanned(cloud);
    cloud.CalcDepallet();
    if (cloud.getCloud()->empty()) {
        throw ScanFailure("nothing left after removing the pallet");
    }
    MeasureAsScanned(cloud);
    return cloud;
}

}  // namespace

Cloud ScanMeasurement::Load(const ScanSource& source) {
    const boost::filesystem::path path =
        source.file.empty() ? source.info.GetPath() : boost::filesystem::path(source.file);
    if (!boost::filesystem::is_regular_file(path)) {
        throw ScanFailure("no scan file " + path.string());
    }
    Cloud cloud(source.info);
    try {
        QuietStandardOutput quiet;
        if (source.file.empty()) {
            cloud.Load();
        } else {
            cloud.Load(source.file);
        }
    } catch (const std::exception& e) {
        throw ScanFailure("cannot read " + path.string() + ": " + e.what());
    }
    if (cloud.getCloud()->empty()) {
        throw ScanFailure("no points in " + path.string());
    }
    return cloud;
}

ScanMeasures ScanMeasurement::Measure(const ScanSource& source) {
    // Only the second measurement, of the goods without the pallet, is kept.
    return Summarise(CutScan(source));
}

std::vector<ScanMeasures> ScanMeasurement::MeasureClusters(const ScanSource& source) {
    const Cloud cut = CutScan(source);
    QuietStandardOutput quiet;
    CloudCollection clusters(cut);
    std::vector<ScanMeasures> measures;
    for (int i = 0; i < clusters.size(); ++i) {
        MeasureAsScanned(clusters.get(i));
        measures.push_back(Summarise(clusters.get(i)));
    }
    return measures;
}
