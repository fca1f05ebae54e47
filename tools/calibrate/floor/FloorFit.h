#pragma once

#include <cstddef>

#include "cloud/Cloud.h"
#include "measure/FloorPlane.h"

/// The floor plane of a raw scan of the empty station, fitted by sample
/// consensus and refined by least squares on its inliers, with the floor's
/// noise. The plane is given as the tool reads a session's plane: a unit
/// normal pointing from the camera (the origin) toward the floor, so d < 0.
class FloorFit {
public:
    /// Points nearer than this to a candidate plane (metres) count as on it:
    /// well beyond the camera's depth noise, well below a box's height.
    static constexpr double kInlierDistance = 0.010;
    /// The noise is taken over the points this near the refined plane
    /// (metres): wide enough for a far camera's noise tails, which the
    /// inlier distance would cut off, narrow enough to leave out anything
    /// standing on the floor.
    static constexpr double kNoiseBand = 0.050;
    /// The plane must hold at least this share of the finite points to be
    /// the floor rather than a box top or a wall.
    static constexpr double kMinInlierShare = 0.5;
    /// A floor tilted more than this (degrees) from the scan's z axis is one
    /// the tool refuses to measure on: its boxes stand upright along z.
    static constexpr double kMaxTiltDegrees = FloorPlane::kMostTiltDegrees;
    /// Fewer finite points than this make no floor.
    static constexpr std::size_t kMinPoints = 100;

    /// Fits the plane; Ok() tells whether the scan has a usable floor.
    explicit FloorFit(const PointCloudRGB& scan);

    /// Why a scan has no usable floor.
    enum class Refusal { None, TooFewPoints, NoDominantPlane, Tilted };
    /// True when a dominant plane within the tilt limit was found.
    bool Ok() const { return why == Refusal::None; }
    Refusal Why() const { return why; }

    double A() const { return a; }
    double B() const { return b; }
    double C() const { return c; }
    double D() const { return d; }

    std::size_t FinitePoints() const { return finite; }
    std::size_t Inliers() const { return inliers; }
    /// Inliers over finite points, 0 to 1.
    double InlierShare() const { return finite ? static_cast<double>(inliers) / finite : 0.0; }
    /// Angle of the normal from the scan's z axis, degrees.
    double TiltDegrees() const { return tilt; }
    /// Root mean square of the distances from the plane of the points within
    /// the noise band, metres.
    double Rms() const { return rms; }
    /// 99.9th percentile of those distances, metres.
    double P999() const { return p999; }
    /// Centre of the inliers, where the comparison with a stored plane is made.
    double CentreX() const { return centre[0]; }
    double CentreY() const { return centre[1]; }
    double CentreZ() const { return centre[2]; }

    /// The pallet correction height (whole millimetres) that puts the cut
    /// clear of the floor's noise: the 99.9th percentile rounded up, plus the
    /// one millimetre the cut's whole-millimetre comparison may lose.
    int PalletCorrectionHeightMm() const;

    /// The scan checks' floor noise band (whole millimetres) for this floor:
    /// the correction height's, never below the tool's start value, so that
    /// a camera whose noise the correction clears is not refused for it.
    int FloorNoiseBandMm() const;
    static constexpr int kLeastNoiseBandMm = 25;

    /// Angle in degrees between this plane's normal and (pa, pb, pc), whose
    /// sign does not matter; 90 when that normal is null.
    double AngleTo(double pa, double pb, double pc) const;
    /// Distance in metres from the inliers' centre to the plane
    /// pa·x + pb·y + pc·z + pd = 0; infinite when its normal is null.
    double DistanceTo(double pa, double pb, double pc, double pd) const;

private:
    Refusal why = Refusal::None;
    double a = 0.0, b = 0.0, c = 1.0, d = 0.0;
    std::size_t finite = 0;
    std::size_t inliers = 0;
    double tilt = 0.0;
    double rms = 0.0;
    double p999 = 0.0;
    double centre[3] = {0.0, 0.0, 0.0};
};
