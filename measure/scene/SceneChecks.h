#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <string>

#include "cloud/Units.h"

class FloorZone;
class SceneTally;

/// The checks of what a scan shows against the station it was taken at:
/// goods measured without a cut but with the floor in the scan or without
/// their lower part, goods reaching beyond the camera's image or the
/// station's measuring zone, and the floor
/// seen again away from the session's plane after the camera moved. Each
/// returns one line naming the session and the remedy, or an empty text.
class SceneChecks {
public:
    /// A run without a cut measures every point as goods, with no filter:
    /// a single stray of the floor off the goods' footprint widens them by
    /// its distance. More points than this within the floor's band or beyond
    /// it, off the footprint, are the floor or its strays.
    static constexpr std::size_t kMostFloorPoints = 0;
    /// A run without a cut has no filter for the flying pixels a camera
    /// returns along the goods' edges: more than this many widen the goods.
    static constexpr std::size_t kMostFlyingPixels = 8;
    /// More points than this kept in an outermost row or column of the image
    /// (or, without an image, along an edge of the measuring zone) are goods
    /// cut off by it; floor speckle above the cut leaves a few at most.
    static constexpr std::size_t kMostBorderPoints = 8;
    /// A layer parallel to the plane holding at least this share (per cent)
    /// of the pixels (of the points, for an unorganized scan) is a floor.
    static constexpr double kLeastFloorLayerPercent = 5.0;
    /// A floor layer farther than this (millimetres) from the plane is the
    /// floor seen again: the camera has moved since its plane was fitted.
    static constexpr double kMostFloorOffsetMm = 8.0;
    /// The floor's own noise, left in where the scanner's floor removal
    /// ends, stands as much on either side of the plane; a floor seen again
    /// stands on one side. A layer is the floor seen again only with more
    /// than this many points for each point of the slab mirrored about the
    /// plane (a scan without an image, whose removed floor leaves no pixels
    /// to share against, shows the noise as a layer otherwise).
    static constexpr double kLeastLayerPerMirror = 4.0;

    /// Goods kept by the cut show their sides just above it, a few points; a
    /// larger share (per cent of the kept points) there is a layer the cut
    /// missed, the pallet's deck or the floor nearer than the plane says,
    /// unless the slab just below the cut holds more than this many points
    /// for each of them: then it is the noise of a layer the cut took, whose
    /// few points above it the outlier filter takes.
    static constexpr double kMostJustAboveCutPercent = 5.0;
    static constexpr double kMostBelowPerAboveCut = 4.0;

    /// The top of what the goods stand on, a pallet's deck, is the densest
    /// layer below the cut: one holding at least this share (per cent) of the
    /// pixels (of the points, for an unorganized scan) lower than the pallet's
    /// height by more than kMostSupportDropMm (millimetres) is a pallet lower
    /// than its row says, or a floor farther than the plane puts it, and the
    /// cut takes that much of the goods' foot. A deck wholly under the goods
    /// shows no such layer and is not judged.
    static constexpr double kLeastSupportLayerPercent = 1.0;
    static constexpr double kMostSupportDropMm = 8.0;

    /// A run that cuts nothing, on a session with a plane: the floor in the
    /// scan, or goods whose lowest point lies above the floor's band.
    static std::string NoCut(const SceneTally& tally, const std::string& sid, double band);
    /// An organized scan whose kept points touch an edge of the image.
    /// Kept points scattered along a side, never kLeastGoodsRun side by side,
    /// are the floor's strays above the cut and are named so.
    static constexpr std::size_t kLeastGoodsRun = 4;
    static std::string ImageBorder(const SceneTally& tally, const std::string& sid);
    /// An unorganized scan whose kept points' rays meet the floor at an edge of the zone, or beyond it.
    static std::string ZoneEdge(const SceneTally& tally, const std::string& sid, const FloorZone& zone);
    /// Goods kept by a cut show as this many points at least, side by side
    /// (SceneTally::KeptOnSurface): fewer are the floor's (or the deck's)
    /// strays above it, or a sliver of goods too low to tell from what they
    /// stand on.
    static constexpr std::size_t kLeastGoodsPoints = 20;
    /// Strays of the floor above a cut are a small share of the scan (per cent).
    static constexpr double kMostStraysKeptPercent = 1.0;
    /// The least height of goods a cut at cutMm tells from what they stand
    /// on (millimetres above it): half the correction above the cut, where
    /// the correction clears the noise of what they stand on. Lower goods
    /// show above the cut only their noisy top's upper half.
    static double LeastGoodsHeightMm(double cutMm, double correctionMm) { return cutMm + correctionMm / 2; }
    /// The correction (whole millimetres) that clears a floor whose noise
    /// reaches `noiseTop` metres above its plane (its 99.9th percentile): the
    /// next whole millimetre above it, and one more.
    static int CorrectionForNoiseMm(double noiseTop) {
        return static_cast<int>(std::ceil(noiseTop * kMillimetresPerMetre)) + 1;
    }
    /// A run that cuts (cutMm above the floor; onFloor: goods on the floor,
    /// else on a pallet palletMm high) and keeps next to nothing, or only
    /// goods lower than the least height: their median kept point lies below it.
    static std::string TooLow(const SceneTally& tally, const std::string& sid, double cutMm,
                              double palletMm, bool onFloor);
    /// Goods on the floor whose surface runs on below the lowest return a
    /// scanner keeps (SceneTally::AtLowestReturn, more than kMostAtLowestReturn
    /// pixels): the part it dropped with the floor is missing from them.
    static std::string BelowLowestReturn(const SceneTally& tally, const std::string& sid,
                                         bool onFloor);
    static constexpr std::size_t kMostAtLowestReturn = 8;
    /// A run that cuts: a dense layer just above the cut, left in with the goods.
    /// onFloor: the cut lies within the floor's band (goods on the floor), so
    /// the layer may also be the floor's own noise reaching above it.
    static std::string LayerAboveCut(const SceneTally& tally, const std::string& sid, bool onFloor);
    /// A run that cuts above a pallet standing clear of the floor's band
    /// (palletHeight, band: metres): its deck seen below the pallet's height.
    static std::string SupportBelowPallet(const SceneTally& tally, const std::string& sid,
                                          double palletHeight, double band);
    /// More flying pixels than this kept by the filter of a cut, far off the
    /// goods' edges (KeptFlyingPixels), widen the box of today's mode.
    static constexpr std::size_t kMostKeptFlyingPixels = 8;
    /// A cut whose filter kept flying pixels far off the goods' edges (widest: metres).
    static std::string KeptFlying(std::size_t count, double widest, const std::string& sid);
    /// A cut whose filter kept `count` points standing alone beyond the
    /// goods' outline by more than the division (BoxStrays).
    static std::string KeptStrays(std::size_t count, const std::string& sid);
    /// A box of today's mode short of the goods: more points of their
    /// surfaces than this beyond it, and than a share of its outline's rows.
    static constexpr std::size_t kMostErodedPoints = 20;
    static constexpr double kMostErodedPerRow = 0.25;
    /// The division: points beyond the box by more than this (millimetres) count.
    static constexpr double kErodedBeyondMm = 5.0;
    /// The outlier filter took count points of the goods' surfaces up to
    /// farthest (metres) beyond the box; rows: the box's outline in pitches.
    static std::string Eroded(std::size_t count, double farthest, double rows, const std::string& sid);
    /// The box of today's mode shorter than the outline of the goods'
    /// surfaces (the rows the filter took and the foot below the cut
    /// included) by shortBy (metres).
    static std::string ShortOfOutline(double shortBy, const std::string& sid);
    /// Goods of today's mode whose surface still falls steeper than
    /// kSteepFall (height per length outward) at two opposite sides of the
    /// box, higher than kSteepFallAboveMm above its bottom, run on beyond what
    /// the scan shows of them. The edge of a box, blurred by mixed pixels and
    /// its foot, falls no higher than some 45 mm (boxes 70 to 80 mm tall on
    /// the floor). Steeper than kWallSlope the side is a wall, which goes
    /// straight down from where its points end (the rounded goods of the
    /// benches fall 4 in 1 at most, a box's side seen below its top 9 in 1).
    static constexpr double kSteepFall = 1.0;
    static constexpr double kWallSlope = 5.0;
    static constexpr double kSteepFallAboveMm = 50.0;
    /// The slopes and heights (metres) of two opposite sides (OutlineFall).
    static std::string FallsAtSides(const std::array<double, 2>& slope,
                                    const std::array<double, 2>& height, const std::string& sid);
    /// The box of the precise mode shorter than the outline of the goods'
    /// foot below the cut by shortBy (metres).
    static std::string FootBeyondBox(double shortBy, const std::string& sid);
    /// A dense layer parallel to the plane but off it: the floor, after the camera moved.
    static std::string MovedFloor(const SceneTally& tally, const std::string& sid);
};
