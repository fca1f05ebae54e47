#include "tools/calibrate/floor/FloorFit.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <pcl/sample_consensus/ransac.h>
#include <pcl/sample_consensus/sac_model_plane.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "measure/scene/SceneChecks.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresToMm = 1000.0;
// The consensus stops after this many candidate planes at the latest; with a
// floor holding half the points or more it is found in a few dozen.
constexpr int kMaxIterations = 1000;
constexpr double kPercentile = 0.999;

}  // namespace

FloorFit::FloorFit(const PointCloudRGB& scan) {
    pcl::PointCloud<pcl::PointXYZ>::Ptr points(new pcl::PointCloud<pcl::PointXYZ>);
    points->reserve(scan.size());
    for (const auto& p : scan.points) {
        if (pcl::isFinite(p)) {
            points->push_back(pcl::PointXYZ(p.x, p.y, p.z));
        }
    }
    finite = points->size();
    if (finite < kMinPoints) {
        why = Refusal::TooFewPoints;
        return;
    }

    // Not seeded from the clock: the same scan gives the same plane.
    pcl::SampleConsensusModelPlane<pcl::PointXYZ>::Ptr model(
        new pcl::SampleConsensusModelPlane<pcl::PointXYZ>(points, false));
    pcl::RandomSampleConsensus<pcl::PointXYZ> consensus(model, kInlierDistance);
    consensus.setMaxIterations(kMaxIterations);
    if (!consensus.computeModel()) {
        why = Refusal::NoDominantPlane;
        return;
    }
    pcl::Indices chosen;
    consensus.getInliers(chosen);
    Eigen::VectorXf coarse;
    consensus.getModelCoefficients(coarse);
    Eigen::VectorXf refined;
    model->optimizeModelCoefficients(chosen, coarse, refined);
    // The refined plane may take in or let go of points at the threshold.
    model->selectWithinDistance(refined, kInlierDistance, chosen);
    inliers = chosen.size();

    double na = refined[0], nb = refined[1], nc = refined[2], nd = refined[3];
    const double length = std::sqrt(na * na + nb * nb + nc * nc);
    if (!(length > 0.0)) {
        why = Refusal::NoDominantPlane;
        return;
    }
    na /= length;
    nb /= length;
    nc /= length;
    nd /= length;
    // The camera is at the origin, on the negative side.
    if (nd > 0.0) {
        na = -na;
        nb = -nb;
        nc = -nc;
        nd = -nd;
    }
    a = na;
    b = nb;
    c = nc;
    d = nd;
    tilt = std::acos(std::min(1.0, std::fabs(c))) * 180.0 / kPi;

    for (const auto index : chosen) {
        const auto& p = (*points)[index];
        centre[0] += p.x;
        centre[1] += p.y;
        centre[2] += p.z;
    }
    for (double& v : centre) {
        v /= static_cast<double>(std::max<std::size_t>(chosen.size(), 1));
    }
    std::vector<double> distances;
    distances.reserve(chosen.size());
    double squares = 0.0;
    for (const auto& p : points->points) {
        const double r = a * p.x + b * p.y + c * p.z + d;
        if (std::fabs(r) <= kNoiseBand) {
            distances.push_back(std::fabs(r));
            squares += r * r;
        }
    }
    if (!distances.empty()) {
        const double n = static_cast<double>(distances.size());
        rms = std::sqrt(squares / n);
        const std::size_t rank = static_cast<std::size_t>(std::ceil(kPercentile * n)) - 1;
        std::nth_element(distances.begin(), distances.begin() + rank, distances.end());
        p999 = distances[rank];
    }

    if (InlierShare() < kMinInlierShare) {
        why = Refusal::NoDominantPlane;
    } else if (tilt > kMaxTiltDegrees) {
        why = Refusal::Tilted;
    }
}

int FloorFit::PalletCorrectionHeightMm() const { return SceneChecks::CorrectionForNoiseMm(p999); }

int FloorFit::FloorNoiseBandMm() const {
    return std::max(kLeastNoiseBandMm, PalletCorrectionHeightMm());
}

double FloorFit::AngleTo(double pa, double pb, double pc) const {
    const double length = std::sqrt(pa * pa + pb * pb + pc * pc);
    if (!(length > 0.0)) {
        return 90.0;
    }
    const double cosine = std::fabs(a * pa + b * pb + c * pc) / length;
    return std::acos(std::min(1.0, cosine)) * 180.0 / kPi;
}

double FloorFit::DistanceTo(double pa, double pb, double pc, double pd) const {
    const double length = std::sqrt(pa * pa + pb * pb + pc * pc);
    if (!(length > 0.0)) {
        return std::numeric_limits<double>::infinity();
    }
    return std::fabs(pa * centre[0] + pb * centre[1] + pc * centre[2] + pd) / length;
}
