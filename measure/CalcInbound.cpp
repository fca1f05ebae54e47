#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "cloud/Cloud.h"
#include "config/Config.h"
#include "geom/BSRational.h"
#include "geom/MinimumAreaBox2.h"
#include "geom/OrientedBox.h"
#include "geom/UIntegerAP32.h"
#include "geom/Vector.h"
#include "measure/ConfigAccess.h"
#include "measure/precise/PreciseInbound.h"

namespace {

using Point2 = geom::Vector<2, float>;
using Rectangle = geom::OrientedBox<2, float>;
using ExactBox = geom::MinimumAreaBox2<float, geom::BSRational<geom::UIntegerAP32>>;

// z range start values: a cloud lying entirely above 100 m (or below -100 m)
// keeps them.
constexpr float kZMinStart = 100.0f;
constexpr float kZMaxStart = -100.0f;
constexpr float kCornerSearchStart = 1e6f;
// Corner offsets up to a tenth of a millimetre count as an axis-parallel
// rectangle.
constexpr double kTurnTolerance = 0.0001;
// Footprints of fewer points are taken whole, repeats and all.
constexpr std::size_t kLeastHalved = 1024;

//  The box, seen from above (x to the right, y up) for a rectangle whose
//  first axis u0 runs along x; E..H stand over A..D at the largest z.
//
//        D ---------- C          H ---------- G
//        |            |          |            |
//        |     c      |  u1      |            |
//        |            |  ^       |            |
//        A ---------- B  +-> u0  E ---------- F
//
//  The rectangle numbers its vertices by the signs of u0 and u1
//  (0: --, 1: +-, 2: -+, 3: ++), so going round is 0, 1, 3, 2.
constexpr std::array<int, 4> kCornerOrder = {0, 1, 3, 2};
constexpr int kBaseCorners = 4;
constexpr int kCorners = 8;

enum Axis { kX = 0, kY = 1, kZ = 2 };
enum Size { kH = 0, kL = 1, kW = 2 };

/// Sizes H, L, W and the volume of the box with these corners, corrected.
void StoreSizes(const float corners[3][8], const Config& config, float size[3], float& volume) {
    const auto side = [corners](int from, int to) {
        const float ex = corners[kX][from] - corners[kX][to];
        const float ey = corners[kY][from] - corners[kY][to];
        return std::sqrt(ex * ex + ey * ey);
    };
    // Each correction lands on the side it names: the length correction on
    // the longer side as measured, the width correction on the shorter one,
    // whichever of the two runs from A to B.
    const float ab = side(0, 1);
    const float bc = side(1, 2);
    const bool abIsLength = ab >= bc;
    const float h =
        std::fabs(corners[kZ][kBaseCorners] - corners[kZ][0]) + config.GetInboundCorrextionH();
    const float l =
        ab + (abIsLength ? config.GetInboundCorrextionL() : config.GetInboundCorrextionW());
    const float w =
        bc + (abIsLength ? config.GetInboundCorrextionW() : config.GetInboundCorrextionL());
    size[kH] = h;
    size[kL] = l;
    size[kW] = w;
    volume = (h * l) * w;
    if (w > l) {
        size[kL] = w;
        size[kW] = l;
    }
}

/// How many points of the footprint its rectangle needs: the first half
/// when the second repeats it point by point (goods whose bottom was closed
/// by their projection onto a level pallet's top), else all of them. Every
/// step of the exact rectangle prefers the first of equal points and sees
/// only their values, so the repeats change nothing but its cost.
std::size_t DistinctHalf(const std::vector<Point2>& footprint) {
    const std::size_t half = footprint.size() / 2;
    if (half < kLeastHalved || footprint.size() != 2 * half) {
        return footprint.size();
    }
    for (std::size_t i = 0; i < half; ++i) {
        const Point2& p = footprint[i];
        const Point2& q = footprint[half + i];
        if (!(p[0] == q[0] && p[1] == q[1])) {
            return footprint.size();
        }
    }
    return half;
}

}  // namespace

void Cloud::CalcInbound() {
    const Config& config = ConfigAccess::Get();

    std::vector<Point2> footprint;
    footprint.reserve(cloud->size());
    float zMin = kZMinStart;
    float zMax = kZMaxStart;
    for (const pcl::PointXYZRGB& p : cloud->points) {
        // A point without coordinates has no place in the footprint.
        if (!pcl::isFinite(p)) {
            continue;
        }
        footprint.push_back(Point2{p.x, p.y});
        if (p.z < zMin) {
            zMin = p.z;
        }
        if (p.z > zMax) {
            zMax = p.z;
        }
    }

    inboundTransform = Eigen::Affine3f::Identity();
    if (footprint.empty()) {
        // Nothing to measure: zero box, zero sizes, an unturned copy.
        for (auto& row : inboundCorners) {
            std::fill(std::begin(row), std::end(row), 0.0f);
        }
        std::fill(std::begin(inboundSize), std::end(inboundSize), 0.0f);
        volInbound = 0.0f;
        inboundAngle = 0.0f;
        inboundCenterX = 0.0f;
        inboundCenterY = 0.0f;
        alignedFrame = AlignedFrame();
        return;
    }

    ExactBox minimumAreaBox;
    const Rectangle rectangle =
        minimumAreaBox(static_cast<std::int32_t>(DistinctHalf(footprint)), footprint.data(), true);
    // The footprint is done with: freed now, it does not stand beside the precise box's copies.
    std::vector<Point2>().swap(footprint);
    std::array<Point2, 4> vertices;
    rectangle.GetVertices(vertices);

    for (int i = 0; i < kBaseCorners; ++i) {
        for (int j = 0; j < 2; ++j) {
            const int k = i + kBaseCorners * j;
            inboundCorners[kX][k] = vertices[kCornerOrder[i]][0];
            inboundCorners[kY][k] = vertices[kCornerOrder[i]][1];
            inboundCorners[kZ][k] = j == 0 ? zMin : zMax;
        }
    }

    StoreSizes(inboundCorners, config, inboundSize, volInbound);

    // The corner with the smallest y and the one with the largest x; the
    // first in A..H order wins a tie.
    float yMin = kCornerSearchStart;
    float xMax = -kCornerSearchStart;
    float xMin = kCornerSearchStart;
    float yMax = -kCornerSearchStart;
    float xAtYMin = 0.0f;
    float yAtXMax = 0.0f;
    for (int k = 0; k < kCorners; ++k) {
        const float x = inboundCorners[kX][k];
        const float y = inboundCorners[kY][k];
        if (y < yMin) {
            yMin = y;
            xAtYMin = x;
        }
        if (x > xMax) {
            xMax = x;
            yAtXMax = y;
        }
        xMin = std::min(xMin, x);
        yMax = std::max(yMax, y);
    }

    const float run = xMax - xAtYMin;
    const float rise = yMin - yAtXMax;
    // A rectangle already parallel to the axes needs no turn. The corner test
    // alone misses the one whose first corner has the largest x and y: there
    // the lowest and the rightmost corner face each other across the
    // diagonal, and turning by that diagonal would tilt the copy off the axes.
    const auto flat = [this](int axis, int from, int to) {
        return std::fabs(inboundCorners[axis][to] - inboundCorners[axis][from]) <= kTurnTolerance;
    };
    const bool axisParallel =
        (flat(kX, 0, 1) && flat(kY, 1, 2)) || (flat(kY, 0, 1) && flat(kX, 1, 2));
    const bool turned =
        !axisParallel && std::fabs(run) > kTurnTolerance && std::fabs(rise) > kTurnTolerance;
    if (!turned) {
        alignedFrame = AlignedFrame();
    } else {
        // Turning by the angle between the y axis and the side from the lowest
        // corner to the rightmost one lays the rectangle onto the axes.
        const float d = std::sqrt(run * run + rise * rise);
        // Rounding may push the cosine a hair past 1 for a nearly upright side.
        inboundAngle = std::acos(std::min((yAtXMax - yMin) / d, 1.0f));
        inboundCenterX = (xMax + xMin) / 2;
        inboundCenterY = (yMax + yMin) / 2;

        Eigen::Matrix4f toCenter = Eigen::Matrix4f::Identity();
        toCenter(0, 3) = -inboundCenterX;
        toCenter(1, 3) = -inboundCenterY;

        inboundTransform(0, 3) = inboundCenterX;
        inboundTransform(1, 3) = inboundCenterY;
        inboundTransform.rotate(Eigen::AngleAxisf(-inboundAngle, Eigen::Vector3f::UnitZ()));

        const Eigen::Affine3f turn(Eigen::AngleAxisf(inboundAngle, Eigen::Vector3f::UnitZ()));
        alignedFrame = AlignedFrame(toCenter, turn.matrix());
    }

    // The aligned frame and its transform stay on the exact rectangle in
    // both modes: the octree volumes do not depend on the mode.
    if (config.GetInboundPrecise() == 1) {
        const bool asCut = goodsAsCut && !goodsAsCut->empty();
        const PointCloudRGB& goods = asCut ? *goodsAsCut : *cloud;
        const PointCloudRGB none;
        const PointCloudRGB& foot = asCut && goodsFoot ? *goodsFoot : none;
        if (PreciseCorners(goods, rectangle, zMax + bottomAboveFloor, inboundCorners, *cloud,
                           asCut ? goodsFiltered : 0, foot)) {
            StoreSizes(inboundCorners, config, inboundSize, volInbound);
        }
    }
}
