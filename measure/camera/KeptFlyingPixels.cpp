#include "measure/camera/KeptFlyingPixels.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>

#include "cloud/Units.h"
#include "measure/FloorPlane.h"
#include "measure/camera/FlyingPixel.h"
#include "measure/camera/RayGrid.h"

namespace {

// Two neighbours' rays lie across a point from each other when the directions
// from them to it are within some 45 degrees of opposite.
constexpr double kAcrossCosine = 0.7;

}  // namespace

KeptFlyingPixels::KeptFlyingPixels(const PointCloudRGB& scan, const std::vector<bool>& kept,
                                   const FloorPlane& floor, double cut) {
    if (kept.size() != scan.points.size()) {
        return;
    }
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    if (height > 1 && width > 1 && width * height == scan.points.size()) {
        OverImage(scan, kept, floor);
    } else {
        OverRays(scan, kept, floor, cut);
    }
}

void KeptFlyingPixels::Tally(double off) {
    if (off > kMostShiftMm / kMillimetresPerMetre) {
        ++count;
        widest = std::max(widest, off);
    }
}

void KeptFlyingPixels::OverRays(const PointCloudRGB& scan, const std::vector<bool>& kept,
                                const FloorPlane& floor, double cut) {
    const RayGrid rays(scan, floor, cut);
    if (!rays.OnLattice()) {
        return;
    }
    FlyingPixel test(floor, 0.0);
    struct Neighbour {
        std::size_t i;
        double toward[3];
    };
    std::vector<Neighbour> around;
    for (std::size_t k = 0; k < rays.Size(); ++k) {
        const std::size_t p = rays.Point(k);
        if (!kept[p] || !test.Take(scan.points[p])) {
            continue;
        }
        around.clear();
        rays.Neighbours(k, [&](std::size_t i, const double(&toward)[3]) {
            if (kept[i]) around.push_back({i, {toward[0], toward[1], toward[2]}});
            return true;
        });
        double off = 0.0;
        for (const Neighbour& q : around) {
            // A kept ray across p from q (the goods' lower step under the edge).
            const bool across = std::any_of(around.begin(), around.end(), [&q](const Neighbour& r) {
                return q.toward[0] * r.toward[0] + q.toward[1] * r.toward[1] + q.toward[2] * r.toward[2] <
                       -kAcrossCosine;
            });
            if (!across) off = std::max(off, test.OffBy(scan.points[q.i]));
        }
        Tally(off);
    }
}

void KeptFlyingPixels::OverImage(const PointCloudRGB& scan, const std::vector<bool>& kept,
                                 const FloorPlane& floor) {
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    // Every kept point stands above the cut: the test applies to all of them.
    FlyingPixel test(floor, 0.0);
    for (std::size_t v = 0; v < height; ++v) {
        for (std::size_t u = 0; u < width; ++u) {
            const std::size_t i = v * width + u;
            if (!kept[i] || !test.Take(scan.points[i])) {
                continue;
            }
            // Each neighbour, and the pixel across p from it.
            const std::size_t neighbours[4][4] = {{u - 1, v, u + 1, v},
                                                  {u + 1, v, u - 1, v},
                                                  {u, v - 1, u, v + 1},
                                                  {u, v + 1, u, v - 1}};
            double off = 0.0;
            for (const auto& at : neighbours) {
                const std::size_t j = at[1] * width + at[0];
                if (at[0] >= width || at[1] >= height || !kept[j]) {
                    continue;  // beyond the image (unsigned wrap included), or not kept
                }
                // Goods kept across it (a lower step of the goods under the
                // edge) hold it within their outline: it widens nothing.
                if (at[2] < width && at[3] < height && kept[at[3] * width + at[2]]) {
                    continue;
                }
                off = std::max(off, test.OffBy(scan.points[j]));
            }
            Tally(off);
        }
    }
}
