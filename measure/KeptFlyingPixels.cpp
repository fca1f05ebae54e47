#include "measure/KeptFlyingPixels.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>

#include "cloud/Units.h"
#include "measure/FloorPlane.h"

KeptFlyingPixels::KeptFlyingPixels(const PointCloudRGB& scan, const std::vector<bool>& kept,
                                   const FloorPlane& floor) {
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    if (height < 2 || width < 2 || width * height != scan.points.size() || kept.size() != scan.points.size()) {
        return;
    }
    const double n[3] = {floor.A(), floor.B(), floor.C()};
    const double drop = kDropMm / kMillimetresPerMetre;
    const double most = kMostShiftMm / kMillimetresPerMetre;
    for (std::size_t v = 0; v < height; ++v) {
        for (std::size_t u = 0; u < width; ++u) {
            const std::size_t i = v * width + u;
            if (!kept[i]) {
                continue;
            }
            const pcl::PointXYZRGB& p = scan.points[i];
            const double along = n[0] * p.x + n[1] * p.y + n[2] * p.z;
            if (!(along > 0.0)) {
                continue;
            }
            // How far off the vertical the pixel's ray runs: a point along it
            // moves this much sideways per metre it drops.
            const double side[3] = {p.x - along * n[0], p.y - along * n[1], p.z - along * n[2]};
            const double slope =
                std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]) / along;
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
                const pcl::PointXYZRGB& q = scan.points[j];
                const double d[3] = {p.x - q.x, p.y - q.y, p.z - q.z};
                const double dropped = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
                if (dropped <= drop) {
                    continue;
                }
                const double across[3] = {d[0] - dropped * n[0], d[1] - dropped * n[1],
                                          d[2] - dropped * n[2]};
                const double shift =
                    std::sqrt(across[0] * across[0] + across[1] * across[1] + across[2] * across[2]);
                if (shift > 0.5 * dropped * slope) {
                    off = std::max(off, shift);
                }
            }
            if (off > most) {
                ++count;
                widest = std::max(widest, off);
            }
        }
    }
}
