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

#include "measure/filter/OutlierGrid.h"
#include "measure/filter/OutlierSearch.h"
#include "measure/filter/WideKernels.h"

namespace {

// The cells' side is measured on every kSampleEvery-th point, or on fewer
// when that would leave less than kLeastSample points.
constexpr std::size_t kSampleEvery = 8;
constexpr std::size_t kLeastSample = 4096;
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

    // The cells' side is measured on every m-th point: the (k / m)-th
    // neighbour of a point among them lies about as far as its k-th among
    // all. Only how fast the search is depends on it, never what it finds.
    const std::size_t every =
        std::max<std::size_t>(1, std::min<std::size_t>(kSampleEvery, n / kLeastSample));
    const int sampleK = std::max(1, meanK / static_cast<int>(every));
    std::vector<float> sx, sy, sz;
    for (std::size_t i = 0; i < n; i += every) {
        sx.push_back(px[i]);
        sy.push_back(py[i]);
        sz.push_back(pz[i]);
    }
    // First guess: the points spread over the faces of their bounding box.
    double e[3];
    for (int a = 0; a < 3; ++a) {
        e[a] = static_cast<double>(box.hi[a]) - static_cast<double>(box.lo[a]);
    }
    const double area = 2.0 * (e[0] * e[1] + e[1] * e[2] + e[2] * e[0]);
    const double longest = std::max({e[0], e[1], e[2]});
    const double count = static_cast<double>(sx.size());
    const double side =
        area > 0 ? std::sqrt(area * sampleK / (kPi * count)) : longest * sampleK / count;
    double measured = 0.0;
    double guessed = 0.0;
    {
        const outliers::Grid rough(sx, sy, sz, box, side);
        measured = outliers::CellSide(rough, sampleK);
        guessed = rough.h;
    }
    const outliers::Grid grid(px, py, pz, box, measured > 0 ? measured : guessed);

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
