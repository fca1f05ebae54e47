#include <octomap/OcTree.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <sstream>
#include <stdexcept>

#include "cloud/Cloud.h"
#include "config/Config.h"
#include "measure/ConfigAccess.h"
#include "measure/OcTreeHits.h"

namespace {

// Resolutions below half a millimetre (counted in tenths of a millimetre,
// truncated) fall back to a 2 cm grid.
constexpr float kTenthsOfMillimetrePerMetre = 10000.0f;
constexpr float kSmallestTenths = 4.0f;
constexpr float kFallbackResolution = 0.02f;
// Border widths up to a millimetre count as no border at all.
constexpr double kNoBorder = 0.001;
constexpr float kFarAway = 1e6f;

// Most octree lookups one cloud may cost (a few minutes at worst; a pallet
// scan of 300 000 points on the finest grid needs about a tenth of it). The
// head test walks the height cell by cell and the border searches the
// horizontal extents, so a fine grid over a cloud with far-flung points
// would otherwise run for hours.
constexpr double kMostLookups = 4e9;

/// Refuses a grid whose walks over the cloud's extent could not end in
/// reasonable time: every column head may walk the whole height and, when
/// borders count, both horizontal extents twice.
void RequireBoundedWork(float res, const Eigen::Vector3f& extent, const octomap::OcTree& footprint,
                        bool bordersCount) {
    // Each column has one head; merged footprint leaves stand for several columns.
    double columns = 0.0;
    for (auto it = footprint.begin_leafs(), end = footprint.end_leafs(); it != end; ++it) {
        const double cells = it.getSize() / res;
        columns += cells * cells;
    }
    const double nx = std::floor(extent.x() / res) + 1.0;
    const double ny = std::floor(extent.y() / res) + 1.0;
    const double nz = std::floor(extent.z() / res) + 1.0;
    const double lookups = columns * (nz + (bordersCount ? 2.0 * (nx + ny) : 0.0));
    if (lookups > kMostLookups) {
        std::ostringstream message;
        message << "Octree resolution " << res << " m is too fine for a cloud of " << extent.x()
                << " x " << extent.y() << " x " << extent.z() << " m";
        throw std::runtime_error(message.str());
    }
}

float GridResolution(float configured) {
    if (!std::isfinite(configured) ||
        std::trunc(configured * kTenthsOfMillimetrePerMetre) <= kSmallestTenths) {
        return kFallbackResolution;
    }
    return configured;
}

/// Looks for a footprint cell from `start` on, stepping by `step` along one
/// horizontal axis while `more(position)` holds; true when one is found.
template <typename More>
bool FindAlong(const octomap::OcTree& footprint, double x, double y, double stepX, double stepY,
               More more) {
    const octomap::OcTreeNode* found = footprint.search(x, y, 0.0);
    while (found == nullptr && more(stepX != 0.0 ? x : y)) {
        x += stepX;
        y += stepY;
        found = footprint.search(x, y, 0.0);
    }
    return found != nullptr;
}

}  // namespace

void Cloud::CalcReal() {
    vrmlSurface.clear();
    vrmlVolSurface.clear();
    vrmlVolVShape.clear();

    const Config& config = ConfigAccess::Get();
    const float res = GridResolution(config.GetOcTreeRealVolumeResolution());

    volSurface = 0.0f;
    volVShape = 0.0f;
    octomap::OcTree volumeTree(res);
    octomap::OcTree footprintTree(res);

    Eigen::Vector3f minP(kFarAway, kFarAway, kFarAway);
    Eigen::Vector3f maxP(-kFarAway, -kFarAway, -kFarAway);
    {
        // The footprint's hits are the volume's at z = 0: one list serves both trees.
        OcTreeHits hits(volumeTree);
        hits.reserve(cloud->size());
        std::array<std::array<float, AlignedFrame::kBlockPoints>, 3> xyz;
        std::array<bool, AlignedFrame::kBlockPoints> recorded;
        alignedFrame.ForEachBlock(*cloud, [&](const pcl::PointXYZRGB* points, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) {
                xyz[0][i] = points[i].x;
                xyz[1][i] = points[i].y;
                xyz[2][i] = points[i].z;
            }
            // Points without coordinates, or beyond the grid's reach, take no
            // part: they would only stretch the searches below over empty space.
            hits.add(xyz[0].data(), xyz[1].data(), xyz[2].data(), count, recorded.data());
            for (std::size_t i = 0; i < count; ++i) {
                if (recorded[i]) {
                    const Eigen::Vector3f v(xyz[0][i], xyz[1][i], xyz[2][i]);
                    minP = minP.cwiseMin(v);
                    maxP = maxP.cwiseMax(v);
                }
            }
        });
        hits.applyTo(volumeTree);
        hits.applyFlatTo(footprintTree);
    }
    const float zMin = minP.z();
    const float zMax = maxP.z();

    // The length correction belongs to the longer horizontal side.
    const Eigen::Vector3f extent = maxP - minP;
    const bool xIsLonger = extent.x() > extent.y();
    const float dx = -(xIsLonger ? config.GetRealCorrextionL() : config.GetRealCorrextionW());
    const float dy = -(xIsLonger ? config.GetRealCorrextionW() : config.GetRealCorrextionL());
    const float corrH = config.GetRealCorrextionH();
    const bool bordersCount = std::fabs(dx) > kNoBorder || std::fabs(dy) > kNoBorder;
    RequireBoundedWork(res, extent, footprintTree, bordersCount);

    for (auto it = volumeTree.begin(), end = volumeTree.end(); it != end; ++it) {
        if (!volumeTree.isNodeOccupied(*it)) {
            continue;
        }
        const double s = it.getSize();
        const double X = it.getX();
        const double Y = it.getY();
        const double Z = it.getZ();

        // Only the lowest occupied cell of a column (its head) is measured.
        double zb = Z - res;
        const octomap::OcTreeNode* below = volumeTree.search(X, Y, zb);
        while (below == nullptr && zb >= zMin) {
            zb -= res;
            below = volumeTree.search(X, Y, zb);
        }
        if (below != nullptr) {
            continue;
        }

        // A border cell has, on one of the four sides, no footprint from the
        // border width away out to the edge of the cloud.
        bool border = false;
        if (bordersCount) {
            border = !FindAlong(footprintTree, X + dx, Y, res, 0.0,
                                [&](double xs) { return maxP.x() > xs; });
            if (!border) {
                border = !FindAlong(footprintTree, X - dx, Y, -res, 0.0,
                                    [&](double xs) { return xs > minP.x(); });
            }
            if (!border) {
                border = !FindAlong(footprintTree, X, Y + dy, 0.0, res,
                                    [&](double ys) { return maxP.y() > ys; });
            }
            if (!border) {
                border = !FindAlong(footprintTree, X, Y - dy, 0.0, -res,
                                    [&](double ys) { return ys > minP.y(); });
            }
        }

        const double hV = std::fabs(zMax - Z);
        const double hS = std::fabs(zMax - zMin);
        if (!border) {
            const double area = s * s;
            volVShape = static_cast<float>(volVShape + (corrH + hV) * area);
            volSurface = static_cast<float>(volSurface + (corrH + hS) * area);
        }

        const Eigen::Vector3f head = inboundTransform * Eigen::Vector3f(X, Y, Z);
        const Eigen::Vector3f fromHead = inboundTransform * Eigen::Vector3f(X, Y, Z + hV / 2);
        const Eigen::Vector3f fullHeight = inboundTransform * Eigen::Vector3f(X, Y, zMin + hS / 2);
        const float side = static_cast<float>(s);
        vrmlSurface.add(VRMLObj(side, side, side, head.x(), head.y(), head.z()));
        vrmlVolVShape.add(
            VRMLObj(side, side, static_cast<float>(hV), fromHead.x(), fromHead.y(), fromHead.z()));
        vrmlVolSurface.add(VRMLObj(side, side, static_cast<float>(hS), fullHeight.x(),
                                   fullHeight.y(), fullHeight.z()));
    }
}
