#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "cloud/Cloud.h"
#include "measure/goods/FootprintGrid.h"
#include "measure/scene/FloorZone.h"

class FloorPlane;

/// What one pass over a scan tells about its scene against the session's
/// floor plane: how much of it lies on (or beyond) the floor, how near the
/// floor the goods come down, which borders of the camera's image (or, for
/// a scan without one, edges of the station's measuring zone) the points
/// kept by the cut touch, and how the points about the floor are layered
/// parallel to it.
class SceneTally {
public:
    /// Sides of an organized scan's image: its first and last row, first and last column.
    enum Side { kTop, kBottom, kLeft, kRight, kSides };

    /// Points within this many millimetres of the plane, either side, are
    /// layered; wide enough for a floor seen again 40 mm off it, narrow
    /// enough to leave out the top of any goods (50 mm and more).
    static constexpr int kLayerWindowMm = 50;
    /// Half the thickness of a layer (millimetres): a floor seen by a camera
    /// of a few millimetres of noise falls within it.
    static constexpr int kLayerHalfMm = 5;

    /// Edge of the footprint's grid cells (metres), and the cells it is
    /// widened by on every side: the mixed pixels along the foot of goods
    /// stray a few centimetres from their sides.
    static constexpr double kFootprintCell = 0.02;
    static constexpr int kFootprintMargin = 2;

    /// keepAbove: height above the floor (metres) beyond which the cut keeps
    /// points, or a negative value when nothing is cut (the floor's points
    /// off the goods' footprint are then counted); band: the floor's noise
    /// band (metres) either side of the plane; zone: the station's measuring
    /// zone, tested for a scan without an image.
    SceneTally(const PointCloudRGB& scan, const FloorPlane& floor, double keepAbove, double band,
               const FloorZone& zone = FloorZone());

    /// Points with coordinates.
    std::size_t Finite() const { return finite; }
    /// The largest squared distance of a point from the camera (square metres).
    double FarthestSquared() const { return farthestSquared; }
    /// Finite() and FarthestSquared() of a scan alone, in a pass of their own.
    static std::pair<std::size_t, double> Ranges(const PointCloudRGB& scan);
    /// The points beyond the floor's band; of the rest, those beyond the floor
    /// by more than keepAbove (the floor's strays past the cut) and how far
    /// the farthest of them lies past it (metres; 0 without any); of the rest,
    /// those farther above the floor than keepAbove. Counted whatever keepAbove.
    std::size_t PastBand() const { return pastBand; }
    std::size_t StraysPastCut() const { return straysPastCut; }
    double FarthestStray() const { return farthestStray; }
    std::size_t OverCut() const { return overCut; }
    /// Points farther from the floor than the camera, on its side of the plane.
    std::size_t BehindCamera() const { return behindCamera; }
    /// Points within the band of the floor, or beyond it, that lie outside the
    /// footprint of the points above the band: the floor and its strays, not
    /// the foot of goods standing on it. Counted when the tally was asked to.
    std::size_t OnFloor() const { return onFloor; }
    /// Flying pixels of a scan without a cut: points above the band that
    /// stand off a neighbouring pixel's point as FlyingPixel tests. The
    /// neighbours are those of the image; a scan without one has its
    /// pixels' neighbours found by their rays (RayGrid), none when its rays
    /// stand on no camera's lattice, and is tested along the direction
    /// between the two rays, which leaves faces seen at a grazing angle.
    std::size_t Flying() const { return flying; }

    /// Height above the floor (metres) of the point nearest it among those
    /// not beyond the band; negative when they lie beyond the plane. With no
    /// such point, the largest double.
    double LowestAbove() const { return lowestAbove; }

    /// True for a scan as the camera delivers it: more than one row, a point per pixel.
    bool Organized() const { return organized; }
    /// An unorganized scan tested against a measuring zone.
    bool Zoned() const { return zoned; }
    /// Pixels of an organized scan, else the finite points: what a layer's share is taken of.
    std::size_t Reference() const { return organized ? pixels : finite; }
    /// Points the cut keeps (without a cut, those above the band) that lie
    /// in the outermost row or column of that side.
    std::size_t AtBorder(Side side) const { return border[side]; }
    /// The longest run of neighbouring pixels along that side among them:
    /// goods cut off by the image's edge cross it in a run, the floor's
    /// strays above a cut stand there one by one.
    std::size_t BorderRun(Side side) const { return borderRun[side]; }
    /// Points the cut keeps in an unorganized scan whose ray meets the floor
    /// beyond that edge of the zone or within its margin; 0 without a zone.
    std::size_t AtZoneEdge(FloorZone::Side side) const { return zoneEdge[side]; }

    /// Thickness (millimetres) of the slabs just above and just below the
    /// cut whose points are counted: what a pallet's deck or a floor spans there.
    static constexpr int kAboveCutMm = 10;
    /// Points the cut keeps, those of them within the slab just above it,
    /// and the points the cut takes within the slab just below it.
    std::size_t Kept() const { return kept; }
    /// Of the points the cut keeps, those in square cells of kGoodsCell
    /// holding kLeastGoodsCellPoints of them or more: goods show as a
    /// surface, the floor's strays above a cut one by one.
    std::size_t KeptOnSurface() const { return keptOnSurface; }
    static constexpr double kGoodsCell = 0.03;
    /// The median height above the floor (metres) of the points the cut
    /// keeps; 0 when it keeps none.
    double KeptMedianHeight() const { return keptMedianHeight; }
    static constexpr std::size_t kLeastGoodsCellPoints = 3;
    std::size_t JustAboveCut() const { return justAboveCut; }
    std::size_t JustBelowCut() const { return justBelowCut; }
    /// Of the points in the slab just above the cut, those off the footprint
    /// of the points above the slab by more than kAboveLayerMm (FootprintGrid,
    /// kFootprintCell widened by kFootprintMargin): a layer spreading beyond
    /// the goods, not their sides or the noise of their top. And the points
    /// that far above the slab.
    std::size_t JustAboveCutOff() const { return justAboveCutOff; }
    std::size_t AboveSlab() const { return aboveSlab; }

    /// The densest layer parallel to the plane within the window: its offset
    /// from the plane (metres, positive beyond it, away from the camera) and
    /// its points.
    double LayerOffset() const { return layerOffset; }
    std::size_t LayerPoints() const { return layerPoints; }
    /// Points of the slab as thick as that layer mirrored about the plane.
    std::size_t MirrorPoints() const { return mirrorPoints; }
    /// Of that layer's points, those off the footprint of the points nearer
    /// the camera than the layer by more than kAboveLayerMm (the goods
    /// standing in it), and of these the ones in an outermost row or column
    /// of the image (in a scan without one, those whose ray meets the floor
    /// at an edge of the measuring zone, where it is set): the floor seen
    /// again spreads beyond the goods to the view's edges, the sides of goods
    /// sampled in rows and flat goods do not.
    std::size_t LayerPointsOff() const { return layerPointsOff; }
    std::size_t LayerOffAtBorder() const { return layerOffAtBorder; }
    /// The layer is the top of low goods in a cloud no camera took as an
    /// image (sampled on surfaces, fused, derived from a mesh: a scan without
    /// an image whose rays stand on no camera's lattice, RayGrid): nothing
    /// stands above it, and no camera saw a floor there.
    bool LayerTopsSampledCloud() const { return layerTopsSampled; }
    /// What stands this far (millimetres) nearer the camera than a layer is
    /// goods: the noise of a floor seen again reaches less than half of it.
    static constexpr int kAboveLayerMm = 25;
    /// A layer with fewer points above it than one per this many of its own
    /// has nothing standing on it (strays aside).
    static constexpr std::size_t kMostAboveTopPerLayer = 100;
    /// A layer whose points lie this share of them in cells of kGoodsCell
    /// holding kLeastGoodsCellPoints or more is a surface, not scattered noise.
    static constexpr double kLeastSurfaceShare = 0.9;

    /// Depth (millimetres) below the cut, down to the floor's band, in which
    /// the top of what the goods stand on, a pallet's deck, is sought: deep
    /// enough for a deck seen several centimetres below where its height puts it.
    static constexpr int kSupportWindowMm = 100;
    /// The densest layer parallel to the plane within that depth: its height
    /// above the floor (metres) and its points; no points without a cut.
    double SupportHeight() const { return supportHeight; }
    std::size_t SupportPoints() const { return supportPoints; }

    /// Height above the floor (metres) of the lowest return over it: where
    /// the scanner drops the returns near the floor, the height it drops
    /// below; the largest double when nothing lies above the floor.
    double LowestReturn() const { return lowestReturn; }
    /// Above a cut lower than the lowest return, that return within the
    /// floor's band (a scanner's floor removal, not goods whose top alone
    /// shows), in a camera's image: the
    /// pixels the cut keeps within kLowestReturnMm of that return, half of
    /// whose eight neighbours lie there too: a surface of the goods running
    /// on below the returns the scanner keeps (the mixed pixels along the
    /// foot of goods stand there one by one, in a line).
    std::size_t AtLowestReturn() const { return atLowestReturn; }
    static constexpr double kLowestReturnMm = 3.0;
    static constexpr int kLowestReturnNeighbours = 4;

private:
    /// The densest slab of 2 kLayerHalfMm + 1 bins: its first bin and its points.
    template <std::size_t N>
    static std::pair<std::size_t, std::size_t> DensestSlab(const std::array<std::size_t, N>& bins);
    void FindLayer();
    /// Finds the longest runs of points kept for measuring along the image's sides.
    void FindBorderRuns(const PointCloudRGB& scan, const FloorPlane& floor, double above);
    /// Counts the flying pixels above the band: over the image's pixels, or
    /// for a scan without one, over the points' rays.
    void CountFlying(const PointCloudRGB& scan, const FloorPlane& floor, double band);
    void CountFlyingRays(const PointCloudRGB& scan, const FloorPlane& floor, double band);
    /// Counts the points on the floor outside the footprint of those above it.
    void CountOffFootprint(const PointCloudRGB& scan, const FloorPlane& floor, double band);
    /// The box of some points' x and y; empty (lo above hi) before the first.
    struct Box {
        double lo[2] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
        double hi[2] = {-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
    };
    /// What the first pass gathers for CountLayersOff, which then reads
    /// again only the points about the floor and in the slab above the cut.
    struct Gathered {
        /// x and y of the points above the slab.
        std::vector<FootprintGrid::Point> overSlab;
        /// The box, x and y, and coordinates along the normal of the points the cut keeps.
        Box keptBox;
        std::vector<FootprintGrid::Point> kept;
        std::vector<float> keptAlong;
        /// x and y of the points that stand above any layer by more than kAboveLayerMm.
        std::vector<FootprintGrid::Point> overAnyLayer;
        /// Indices of the other points and of those in the slab above the cut, in order.
        std::vector<std::uint32_t> rest;
    };
    /// Counts the points of the slab above the cut and of the layer that lie
    /// off the footprints of what stands above each, and the points the cut
    /// keeps that stand with others in their cell (their coordinates along
    /// the normal reordered).
    void CountLayersOff(const PointCloudRGB& scan, const FloorPlane& floor, double keepAbove,
                        const FloorZone& zone, Gathered& gathered);
    /// Whether the scan's points from `first` to `last` millimetres past the
    /// floor lie on a surface (kLeastSurfaceShare of them in dense cells).
    bool LayerIsSurface(const PointCloudRGB& scan, const FloorPlane& floor, double first,
                        double last) const;
    /// Counts the surface the cut keeps at the lowest return (AtLowestReturn).
    void CountAtLowestReturn(const PointCloudRGB& scan, const FloorPlane& floor, double keepAbove);
    /// Counts the points the cut keeps that stand with others in their cell,
    /// from their counts by cell, and their median height from their
    /// coordinates along the normal (reordered).
    void CountKeptOnSurface(const FloorPlane& floor, const std::vector<std::uint32_t>& cells,
                            std::vector<float>& along);

    std::size_t finite = 0;
    double farthestSquared = 0.0;
    std::size_t pastBand = 0;
    std::size_t straysPastCut = 0;
    double farthestStray = 0.0;
    std::size_t overCut = 0;
    std::size_t behindCamera = 0;
    std::size_t kept = 0;
    std::size_t justAboveCut = 0;
    std::size_t justBelowCut = 0;
    std::size_t justAboveCutOff = 0;
    std::size_t keptOnSurface = 0;
    double keptMedianHeight = 0.0;
    std::size_t aboveSlab = 0;
    std::size_t layerPointsOff = 0;
    bool layerTopsSampled = false;
    bool zoned = false;
    std::size_t layerOffAtBorder = 0;
    std::size_t flying = 0;
    std::size_t onFloor = 0;
    double lowestAbove;
    double lowestReturn;
    std::size_t atLowestReturn = 0;
    bool organized = false;
    std::size_t pixels = 0;
    std::array<std::size_t, kSides> border{};
    std::array<std::size_t, kSides> borderRun{};
    std::array<std::size_t, FloorZone::kSides> zoneEdge{};
    std::array<std::size_t, 2 * kLayerWindowMm> layers{};  // 1 mm bins from -window to +window
    double layerOffset = 0.0;
    std::size_t layerPoints = 0;
    std::size_t mirrorPoints = 0;
    std::array<std::size_t, kSupportWindowMm> support{};  // 1 mm bins down from the cut
    double supportHeight = 0.0;
    std::size_t supportPoints = 0;
};
