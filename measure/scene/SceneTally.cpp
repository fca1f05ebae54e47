#include "measure/scene/SceneTally.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

#include "cloud/Units.h"
#include "measure/FloatSelection.h"
#include "measure/FloorPlane.h"
#include "measure/goods/FootprintGrid.h"
#include "measure/camera/FlyingPixel.h"
#include "measure/camera/RayGrid.h"

namespace {

/// The zone's edges (FloorZone::Near) at the point where the ray to p (the
/// camera is the origin; along: p's distance along the floor's normal)
/// meets the floor; a ray that never does (the point beside or behind the
/// camera) tells nothing.
unsigned ZoneEdgesOfRay(const pcl::PointXYZRGB& p, float along, const FloorPlane& floor,
                        const FloorZone& zone) {
    if (!(along > 0.0f)) return 0;
    const double scale = static_cast<double>(floor.Floor()) / static_cast<double>(along);
    return zone.Near(p.x * scale, p.y * scale);
}

// The densest layer's slab starts kLayerWindowMm past the floor at the
// nearest (FindLayer): a point that stands more than kAboveLayerMm above that,
// and a millimetre to spare, stands above any layer (metres past the floor).
constexpr int kAboveAnyLayerMm = SceneTally::kLayerWindowMm + SceneTally::kAboveLayerMm + 1;
constexpr double kAboveAnyLayer = -static_cast<double>(kAboveAnyLayerMm) / kMillimetresPerMetre;

/// The squared distance of p from the camera. The root grows with its
/// argument: the farthest range is the root of the largest square, taken once.
double SquaredRange(const pcl::PointXYZRGB& p) {
    return static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y +
           static_cast<double>(p.z) * p.z;
}

}  // namespace

std::pair<std::size_t, double> SceneTally::Ranges(const PointCloudRGB& scan) {
    std::pair<std::size_t, double> ranges{0, 0.0};
    for (const pcl::PointXYZRGB& p : scan.points) {
        if (pcl::isFinite(p)) {
            ++ranges.first;
            ranges.second = std::max(ranges.second, SquaredRange(p));
        }
    }
    return ranges;
}

SceneTally::SceneTally(const PointCloudRGB& scan, const FloorPlane& floor, double keepAbove,
                       double band, const FloorZone& zone)
    : lowestAbove(std::numeric_limits<double>::max()),
      lowestReturn(std::numeric_limits<double>::max()) {
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    pixels = width * height;
    organized = height > 1 && width > 1 && pixels == scan.points.size();
    const bool cuts = keepAbove >= 0.0;
    const bool inZone = !organized && zone.IsSet();
    zoned = inZone;
    const double slab = kAboveCutMm / kMillimetresPerMetre;
    // The later passes' first parts gathered here (CountLayersOff): the
    // points the cut keeps, those that far above the slab, and those that
    // far above any layer; of the rest, about the floor, only their places.
    const double overSlabAbove = keepAbove + slab + kAboveLayerMm / kMillimetresPerMetre;
    Gathered gathered;
    gathered.overSlab.reserve(cuts ? scan.points.size() : 0);
    gathered.kept.reserve(cuts ? scan.points.size() : 0);
    gathered.keptAlong.reserve(cuts ? scan.points.size() : 0);
    gathered.overAnyLayer.reserve(scan.points.size());
    Box& keptBox = gathered.keptBox;
    for (std::size_t i = 0; i < scan.points.size(); ++i) {
        const pcl::PointXYZRGB& p = scan.points[i];
        if (!pcl::isFinite(p)) {
            continue;
        }
        ++finite;
        farthestSquared = std::max(farthestSquared, SquaredRange(p));
        const float along = floor.Along(p.x, p.y, p.z);
        const double pastFloor = static_cast<double>(along) - static_cast<double>(floor.Floor());
        if (pastFloor > band) {
            ++pastBand;
        } else if (pastFloor > keepAbove) {
            ++straysPastCut;
            farthestStray = std::max(farthestStray, pastFloor);
        } else if (-pastFloor > keepAbove) {
            ++overCut;
        }
        if (along < 0.0f) {
            ++behindCamera;
        }
        if (pastFloor <= band && -pastFloor < lowestAbove) {
            lowestAbove = -pastFloor;
        }
        if (pastFloor < 0.0 && -pastFloor < lowestReturn) {
            lowestReturn = -pastFloor;
        }
        const double bin = std::floor(pastFloor * kMillimetresPerMetre) + kLayerWindowMm;
        if (bin >= 0.0 && bin < static_cast<double>(layers.size())) {
            ++layers[static_cast<std::size_t>(bin)];
        }
        bool inSlab = false;
        if (cuts && -pastFloor > keepAbove) {
            ++kept;
            inSlab = -pastFloor <= keepAbove + slab;
            justAboveCut += inSlab;
            keptBox.lo[0] = std::min(keptBox.lo[0], static_cast<double>(p.x));
            keptBox.lo[1] = std::min(keptBox.lo[1], static_cast<double>(p.y));
            keptBox.hi[0] = std::max(keptBox.hi[0], static_cast<double>(p.x));
            keptBox.hi[1] = std::max(keptBox.hi[1], static_cast<double>(p.y));
            gathered.kept.push_back({p.x, p.y});
            gathered.keptAlong.push_back(along);
            if (-pastFloor > overSlabAbove) {
                gathered.overSlab.push_back({p.x, p.y});
            }
        } else if (cuts) {
            justBelowCut += -pastFloor > keepAbove - slab;
            const double down = std::floor((keepAbove + pastFloor) * kMillimetresPerMetre);
            if (-pastFloor > band && down < static_cast<double>(support.size())) {
                ++support[static_cast<std::size_t>(down)];
            }
        }
        if (pastFloor < kAboveAnyLayer) {
            gathered.overAnyLayer.push_back({p.x, p.y});
        }
        if (!(pastFloor < kAboveAnyLayer) || inSlab) {
            gathered.rest.push_back(static_cast<std::uint32_t>(i));
        }
        // Without a cut, what stands above the floor's band is the goods.
        const bool measured = -pastFloor > (cuts ? keepAbove : band);
        if (organized && measured) {
            const std::size_t u = i % width;
            const std::size_t v = i / width;
            border[kTop] += v == 0;
            border[kBottom] += v + 1 == height;
            border[kLeft] += u == 0;
            border[kRight] += u + 1 == width;
        }
        if (inZone && measured) {
            const unsigned near = ZoneEdgesOfRay(p, along, floor, zone);
            for (int side = 0; near != 0 && side < FloorZone::kSides; ++side) {
                zoneEdge[side] += (near >> side) & 1u;
            }
        }
    }
    FindLayer();
    CountLayersOff(scan, floor, keepAbove, zone, gathered);
    if (organized) {
        FindBorderRuns(scan, floor, cuts ? keepAbove : band);
    }
    if (cuts && organized && lowestReturn > keepAbove && lowestReturn <= band) {
        CountAtLowestReturn(scan, floor, keepAbove);
    }
    if (cuts) {
        const auto [first, points] = DensestSlab(support);
        supportPoints = points;
        // Bin k lies k to k + 1 mm below the cut.
        supportHeight = keepAbove - (static_cast<double>(first) + kLayerHalfMm + 0.5) / kMillimetresPerMetre;
    }
    if (!cuts) {
        CountOffFootprint(scan, floor, band);
        if (organized) {
            CountFlying(scan, floor, band);
        } else {
            CountFlyingRays(scan, floor, band);
        }
    }
}

void SceneTally::CountFlying(const PointCloudRGB& scan, const FloorPlane& floor, double band) {
    FlyingPixel test(floor, band);
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    for (std::size_t v = 0; v < height; ++v) {
        for (std::size_t u = 0; u < width; ++u) {
            const pcl::PointXYZRGB& p = scan.points[v * width + u];
            if (!pcl::isFinite(p) || !test.Take(p)) {
                continue;
            }
            const std::size_t neighbours[4][2] = {{u - 1, v}, {u + 1, v}, {u, v - 1}, {u, v + 1}};
            for (const auto& at : neighbours) {
                if (at[0] >= width || at[1] >= height) {
                    continue;  // beyond the image (unsigned wrap included)
                }
                const pcl::PointXYZRGB& q = scan.points[at[1] * width + at[0]];
                if (pcl::isFinite(q) && test.StandsOff(q)) {
                    ++flying;
                    break;
                }
            }
        }
    }
}

void SceneTally::CountFlyingRays(const PointCloudRGB& scan, const FloorPlane& floor, double band) {
    const RayGrid rays(scan, floor, band);
    if (!rays.OnLattice()) {
        return;
    }
    FlyingPixel test(floor, band);
    // Most points lie about as far as every ray beside theirs: those are
    // passed over without looking for their neighbours. The grid keeps its
    // depths in single precision, a few micrometres at the floor: a
    // millimetre to spare keeps every point that could stand off another.
    const double least = (FlyingPixel::kDropMm - 1) / kMillimetresPerMetre;
    for (std::size_t k = 0; k < rays.Size(); ++k) {
        if (rays.Along(k) - rays.NearestAbout(k) <= least ||
            !test.Take(scan.points[rays.Point(k)])) {
            continue;
        }
        bool off = false;
        rays.Neighbours(k, [&](std::size_t i, const double(&toward)[3]) {
            off = test.StandsOffToward(scan.points[i], toward);
            return !off;
        });
        flying += off;
    }
}

void SceneTally::CountOffFootprint(const PointCloudRGB& scan, const FloorPlane& floor,
                                   double band) {
    const auto pastFloor = [&floor](const pcl::PointXYZRGB& p) {
        return static_cast<double>(floor.Along(p.x, p.y, p.z)) - static_cast<double>(floor.Floor());
    };
    // The footprint in the scan's x and y: the plane is level within half a
    // degree, so they span the floor.
    std::vector<FootprintGrid::Point> above;
    above.reserve(finite);
    for (const pcl::PointXYZRGB& p : scan.points) {
        if (pcl::isFinite(p) && -pastFloor(p) > band) {
            above.push_back({p.x, p.y});
        }
    }
    const FootprintGrid footprint(above, kFootprintCell, kFootprintMargin);
    for (const pcl::PointXYZRGB& p : scan.points) {
        if (pcl::isFinite(p) && pastFloor(p) >= -band && !footprint.Covers(p.x, p.y)) {
            ++onFloor;
        }
    }
}

void SceneTally::CountLayersOff(const PointCloudRGB& scan, const FloorPlane& floor,
                                double keepAbove, const FloorZone& zone, Gathered& gathered) {
    const bool cuts = keepAbove >= 0.0;
    const double slab = kAboveCutMm / kMillimetresPerMetre;
    const auto pastFloorOf = [&floor](const pcl::PointXYZRGB& p) {
        return static_cast<double>(floor.Along(p.x, p.y, p.z)) - static_cast<double>(floor.Floor());
    };
    // The layer's slab in millimetres past the floor (FindLayer), and what
    // stands nearer the camera than it by more than kAboveLayerMm: the
    // points above any layer and those of the rest that far above this one.
    const double layerFirst = std::round(layerOffset * kMillimetresPerMetre - kLayerHalfMm - 0.5);
    const double layerLast = layerFirst + 2 * kLayerHalfMm + 1;
    const double aboveLayer = (layerFirst - kAboveLayerMm) / kMillimetresPerMetre;
    std::vector<FootprintGrid::Point> overLayer;
    if (layerPoints > 0) {
        overLayer.swap(gathered.overAnyLayer);
        for (const std::uint32_t i : gathered.rest) {
            const pcl::PointXYZRGB& p = scan.points[i];
            const double pastFloor = pastFloorOf(p);
            if (!(pastFloor < kAboveAnyLayer) && pastFloor < aboveLayer) {
                overLayer.push_back({p.x, p.y});
            }
        }
    }
    // The kept points' cells (CountKeptOnSurface): square cells of
    // kGoodsCell over their box, coarser for a box too wide for the grid.
    const bool countsKept = cuts && kept > 0;
    constexpr double kMostCellsPerSide = 4096.0;
    const double* lo = gathered.keptBox.lo;
    const double* hi = gathered.keptBox.hi;
    const double cell =
        std::max(kGoodsCell, std::max(hi[0] - lo[0], hi[1] - lo[1]) / (kMostCellsPerSide - 1.0));
    const auto nx = countsKept ? static_cast<std::size_t>((hi[0] - lo[0]) / cell) + 1 : 0;
    const auto ny = countsKept ? static_cast<std::size_t>((hi[1] - lo[1]) / cell) + 1 : 0;
    std::vector<std::uint32_t> keptCells(nx * ny, 0);
    if (countsKept) {
        for (const FootprintGrid::Point& p : gathered.kept) {
            const auto ix = std::min(nx - 1, static_cast<std::size_t>((p[0] - lo[0]) / cell));
            const auto iy = std::min(ny - 1, static_cast<std::size_t>((p[1] - lo[1]) / cell));
            ++keptCells[iy * nx + ix];
        }
    }
    aboveSlab = gathered.overSlab.size();
    // Nothing above the layer in a scan without an image: a floor seen again
    // by a camera, or low goods in a cloud no camera took as an image; the
    // rays tell which (built only then: a layer with nothing above is rare).
    // The rays are those of the layer and what stands above it.
    if (!organized && layerPoints > 0 && layerOffset < 0.0 &&
        overLayer.size() * kMostAboveTopPerLayer <= layerPoints &&
        LayerIsSurface(scan, floor, layerFirst, layerLast)) {
        const double below = -layerOffset - (kLayerHalfMm + 1) / kMillimetresPerMetre;
        layerTopsSampled = !RayGrid(scan, floor, std::max(0.0, below)).OnLattice();
    }
    if (countsKept) {
        CountKeptOnSurface(floor, keptCells, gathered.keptAlong);
    }
    const FootprintGrid slabFootprint(gathered.overSlab, kFootprintCell, kFootprintMargin);
    const FootprintGrid layerFootprint(overLayer, kFootprintCell, kFootprintMargin);
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    // The slab's points and the layer's lie among the rest (the layer
    // within the window, less than kAboveAnyLayer past the floor).
    for (const std::uint32_t i : gathered.rest) {
        const pcl::PointXYZRGB& p = scan.points[i];
        const double pastFloor = pastFloorOf(p);
        if (cuts && -pastFloor > keepAbove && -pastFloor <= keepAbove + slab &&
            !slabFootprint.Covers(p.x, p.y)) {
            ++justAboveCutOff;
        }
        // Binned as FindLayer bins them: whole millimetres past the floor.
        const double mm = std::floor(pastFloor * kMillimetresPerMetre);
        if (layerPoints > 0 && mm >= layerFirst && mm < layerLast &&
            !layerFootprint.Covers(p.x, p.y)) {
            ++layerPointsOff;
            if (organized) {
                const std::size_t u = i % width;
                const std::size_t v = i / width;
                layerOffAtBorder += v == 0 || v + 1 == height || u == 0 || u + 1 == width;
            } else if (zone.IsSet()) {
                layerOffAtBorder += ZoneEdgesOfRay(p, floor.Along(p.x, p.y, p.z), floor, zone) != 0 ? 1 : 0;
            }
        }
    }
}

bool SceneTally::LayerIsSurface(const PointCloudRGB& scan, const FloorPlane& floor, double first,
                                double last) const {
    // The layer's points by square cells of kGoodsCell.
    std::unordered_map<std::uint64_t, std::uint32_t> cells;
    std::size_t points = 0;
    for (const pcl::PointXYZRGB& p : scan.points) {
        if (!pcl::isFinite(p)) continue;
        const double mm = std::floor(
            (static_cast<double>(floor.Along(p.x, p.y, p.z)) - static_cast<double>(floor.Floor())) *
            kMillimetresPerMetre);
        if (mm < first || mm >= last) continue;
        const auto x = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(p.x / kGoodsCell)));
        const auto y = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(p.y / kGoodsCell)));
        ++cells[(static_cast<std::uint64_t>(x) << 32) | y];
        ++points;
    }
    std::size_t dense = 0;
    for (const auto& cell : cells) dense += cell.second >= kLeastGoodsCellPoints ? cell.second : 0;
    return points > 0 && static_cast<double>(dense) >= kLeastSurfaceShare * static_cast<double>(points);
}

void SceneTally::CountAtLowestReturn(const PointCloudRGB& scan, const FloorPlane& floor,
                                     double keepAbove) {
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    const double top = lowestReturn + kLowestReturnMm / kMillimetresPerMetre;
    const auto low = [&](std::size_t u, std::size_t v) {
        const pcl::PointXYZRGB& p = scan.points[v * width + u];
        if (!pcl::isFinite(p)) return false;
        const double over =
            static_cast<double>(floor.Floor()) - static_cast<double>(floor.Along(p.x, p.y, p.z));
        return over > keepAbove && over < top;
    };
    for (std::size_t v = 1; v + 1 < height; ++v) {
        for (std::size_t u = 1; u + 1 < width; ++u) {
            if (!low(u, v)) continue;
            int around = 0;
            for (std::size_t dv = 0; dv < 3; ++dv) {
                for (std::size_t du = 0; du < 3; ++du) {
                    around += (du != 1 || dv != 1) && low(u + du - 1, v + dv - 1);
                }
            }
            atLowestReturn += around >= kLowestReturnNeighbours;
        }
    }
}

void SceneTally::CountKeptOnSurface(const FloorPlane& floor,
                                    const std::vector<std::uint32_t>& cells,
                                    std::vector<float>& along) {
    // The height falls as the coordinate along the normal grows, so the
    // median height is the floor's coordinate less the coordinate of that
    // rank counted from the top: selected among the floats themselves.
    const float median = SelectFloat(along, along.size() - 1 - along.size() / 2);
    keptMedianHeight = static_cast<double>(floor.Floor()) - static_cast<double>(median);
    for (const std::uint32_t c : cells) {
        keptOnSurface += c >= kLeastGoodsCellPoints ? c : 0;
    }
}

void SceneTally::FindBorderRuns(const PointCloudRGB& scan, const FloorPlane& floor, double above) {
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    const auto measured = [&](std::size_t u, std::size_t v) {
        const pcl::PointXYZRGB& p = scan.points[v * width + u];
        return pcl::isFinite(p) &&
               -(static_cast<double>(floor.Along(p.x, p.y, p.z)) - static_cast<double>(floor.Floor())) > above;
    };
    // Each side as its pixels in order: the first and last row, the first and last column.
    const std::size_t lengths[kSides] = {width, width, height, height};
    for (int side = 0; side < kSides; ++side) {
        std::size_t run = 0;
        for (std::size_t k = 0; k < lengths[side]; ++k) {
            const std::size_t u = side == kLeft ? 0 : side == kRight ? width - 1 : k;
            const std::size_t v = side == kTop ? 0 : side == kBottom ? height - 1 : k;
            run = measured(u, v) ? run + 1 : 0;
            borderRun[side] = std::max(borderRun[side], run);
        }
    }
}

template <std::size_t N>
std::pair<std::size_t, std::size_t> SceneTally::DensestSlab(const std::array<std::size_t, N>& bins) {
    const std::size_t slab = 2 * kLayerHalfMm + 1;
    std::size_t sum = 0;
    std::pair<std::size_t, std::size_t> densest{0, 0};
    for (std::size_t k = 0; k < bins.size(); ++k) {
        sum += bins[k];
        if (k >= slab) {
            sum -= bins[k - slab];
        }
        if (k + 1 >= slab && sum > densest.second) {
            densest = {k + 1 - slab, sum};
        }
    }
    return densest;
}

void SceneTally::FindLayer() {
    const auto [first, points] = DensestSlab(layers);
    if (points == 0) {
        return;
    }
    layerPoints = points;
    // Bin k covers [k - window, k - window + 1) mm; the slab's centre is its middle bin's.
    const double centreMm = static_cast<double>(first) - kLayerWindowMm + 0.5;
    layerOffset = (centreMm + kLayerHalfMm) / kMillimetresPerMetre;
    // The slab covers [first - window, first - window + slab) mm; its mirror
    // (-(first - window + slab), -(first - window)], bins 2 window - first - slab on.
    const std::size_t slab = 2 * kLayerHalfMm + 1;
    for (std::size_t k = 0; k < slab; ++k) {
        const std::size_t bin = 2 * kLayerWindowMm - first - slab + k;
        if (bin < layers.size()) {  // unsigned: also below 0
            mirrorPoints += layers[bin];
        }
    }
}
