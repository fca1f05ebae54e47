#include "measure/HullVolume.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "measure/HullCandidates.h"
#include "measure/QhullRun.h"

namespace {

// Both hulls are of one solid, but the library sums their facets in another
// order and may merge others, so their volumes differ in the last bits of a
// double (about 1e-16 of the volume, and the slack of the facets over their
// area). The shortcut holds only when a band this many times wider than that
// around its volume rounds to one float.
constexpr double kBandRelative = 1e-9;
constexpr double kBandSlack = 1e4;
// The shortcut pays only when it leaves out this share of the points.
constexpr double kMostKept = 0.8;
// A hull thinner than this share of its box is left to the full run: near
// flat, the library may build no hull from one set and one from the other.
constexpr double kLeastFill = 1e-6;

/// The points' coordinates as the library takes them, in a block from malloc.
double* Coordinates(const PointCloudRGB& cloud, const std::vector<std::uint32_t>* subset) {
    const std::size_t n = subset ? subset->size() : cloud.points.size();
    auto* coords = static_cast<double*>(std::malloc(n * 3 * sizeof(double)));
    if (coords == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const pcl::PointXYZRGB& p = cloud.points[subset ? (*subset)[i] : i];
        coords[3 * i + 0] = static_cast<double>(p.x);
        coords[3 * i + 1] = static_cast<double>(p.y);
        coords[3 * i + 2] = static_cast<double>(p.z);
    }
    return coords;
}

double BoxVolume(const PointCloudRGB& cloud, const std::vector<std::uint32_t>& subset) {
    double lo[3] = {INFINITY, INFINITY, INFINITY};
    double hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (const std::uint32_t i : subset) {
        const double p[3] = {cloud.points[i].x, cloud.points[i].y, cloud.points[i].z};
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], p[a]);
            hi[a] = std::max(hi[a], p[a]);
        }
    }
    return (hi[0] - lo[0]) * (hi[1] - lo[1]) * (hi[2] - lo[2]);
}

}  // namespace

double HullVolume::Of(const PointCloudRGB& cloud) {
    const QhullRun run(Coordinates(cloud, nullptr), cloud.points.size(), false);
    return run.Volume();
}

float HullVolume::Rounded(const PointCloudRGB& cloud) {
    const std::vector<std::uint32_t> candidates = HullCandidates::Of(cloud);
    if (candidates.size() <= kMostKept * static_cast<double>(cloud.points.size())) {
        const QhullRun run(Coordinates(cloud, &candidates), candidates.size(), false);
        const double v = run.Volume();
        const double band = kBandRelative * std::fabs(v) + kBandSlack * run.Slack() * run.Area();
        if (run.Built() && std::isfinite(v) && std::isfinite(band) &&
            v > kLeastFill * BoxVolume(cloud, candidates) &&
            static_cast<float>(v - band) == static_cast<float>(v + band)) {
            return static_cast<float>(v);
        }
    }
    return static_cast<float>(Of(cloud));
}
