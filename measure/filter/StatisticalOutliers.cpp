// The statistical outlier filter: the finite points' grid, mean distances and threshold.
// Built with -ffp-contract=off: a fused multiply-add would round the
// statistics differently from the reference filter and move points across
// the threshold.
#include "measure/filter/StatisticalOutliers.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "measure/filter/OutlierGrid.h"
#include "measure/filter/OutlierSearch.h"
#include "measure/filter/WideKernels.h"

namespace {

// The first grid is built again when its cells differ more than this from
// the measured side.
constexpr double kRebuildRatio = 1.25;
constexpr double kPi = 3.14159265358979323846;

}  // namespace

std::vector<float> StatisticalOutliers::MeanDistances(const PointCloudRGB& cloud) const {
    const auto& points = cloud.points;
    std::vector<float> px, py, pz;
    std::vector<std::size_t> finiteIndex;
    px.reserve(points.size());
    py.reserve(points.size());
    pz.reserve(points.size());
    finiteIndex.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& p = points[i];
        if (!pcl::isFinite(p)) {
            continue;
        }
        px.push_back(p.x);
        py.push_back(p.y);
        pz.push_back(p.z);
        finiteIndex.push_back(i);
    }
    const std::size_t n = px.size();
    if (meanK < 1 || n < static_cast<std::size_t>(meanK) + 1) {
        return {};
    }
    const outliers::Box box = outliers::CoreBox(px, py, pz);

    // First guess: the points spread over the faces of their bounding box.
    double e[3];
    for (int a = 0; a < 3; ++a) {
        e[a] = static_cast<double>(box.hi[a]) - static_cast<double>(box.lo[a]);
    }
    const double area = 2.0 * (e[0] * e[1] + e[1] * e[2] + e[2] * e[0]);
    const double longest = std::max({e[0], e[1], e[2]});
    double side = area > 0 ? std::sqrt(area * meanK / (kPi * static_cast<double>(n)))
                           : longest * meanK / static_cast<double>(n);
    const outliers::Grid rough(px, py, pz, box, side);
    const double measured = outliers::CellSide(rough, meanK);
    const bool resize =
        measured > 0 && (measured > rough.h * kRebuildRatio || measured * kRebuildRatio < rough.h);
    std::optional<outliers::Grid> resized;
    if (resize) {
        resized.emplace(px, py, pz, box, measured);
    }
    const outliers::Grid& grid = resized ? *resized : rough;

    std::vector<float> slotMeans(n);
    outliers::MeansOfCells(grid, meanK, slotMeans, outliers::WideKernelsRun());
    std::vector<float> means(points.size(), 0.0f);
    for (std::size_t s = 0; s < n; ++s) {
        means[finiteIndex[grid.slotOf[s]]] = slotMeans[s];
    }
    return means;
}

std::vector<int> StatisticalOutliers::Inliers(const PointCloudRGB& cloud) const {
    const std::vector<float> distances = MeanDistances(cloud);
    std::vector<int> kept;
    if (distances.empty()) {
        kept.resize(cloud.points.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            kept[i] = static_cast<int>(i);
        }
        return kept;
    }

    // The statistics run in the reference's order and precision: every
    // point's distance in index order, the square taken in float.
    const auto valid = std::count_if(cloud.points.begin(), cloud.points.end(),
                                     [](const pcl::PointXYZRGB& p) { return pcl::isFinite(p); });
    double sum = 0.0;
    double squares = 0.0;
    for (const float d : distances) {
        sum += d;
        squares += d * d;
    }
    const double count = static_cast<double>(valid);
    const double mean = sum / count;
    const double variance = (squares - sum * sum / count) / (count - 1.0);
    const double threshold = mean + stddevMul * std::sqrt(variance);

    kept.reserve(distances.size());
    for (std::size_t i = 0; i < distances.size(); ++i) {
        if (!(distances[i] > threshold)) {
            kept.push_back(static_cast<int>(i));
        }
    }
    return kept;
}
