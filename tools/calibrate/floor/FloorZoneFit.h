#pragma once

#include <cstddef>

#include "cloud/Cloud.h"

/// The measuring zone of a station whose scans carry no image: the largest
/// rectangle, in the scan's x and y, over which a raw scan of the empty
/// station shows the floor, each floor point taken where its ray (the camera
/// is the origin) meets the fitted plane. The scan checks place the goods'
/// points the same way, so goods whose rays leave the zone were cut off by
/// the camera's view.
class FloorZoneFit {
public:
    /// Points within this distance of the plane (metres) are the floor's: the
    /// floor fit's noise band, which takes in a far camera's noise tails.
    static constexpr double kFloorBand = 0.050;
    /// A cell of the floor's grid that holds points belongs to the floor when
    /// at least this many of its eight neighbours hold some too: a straight
    /// edge of the view leaves five to its cells and a corner three, while
    /// strays off the floor's edge stand alone or in pairs.
    static constexpr int kLeastNeighbours = 3;
    /// Fewer floor points than this make no zone.
    static constexpr std::size_t kMinPoints = 100;

    /// True for a scan without an image: not a point per pixel of more than
    /// one row, as the camera delivers it. The tool checks an image's border
    /// instead of the zone.
    static bool Needed(const PointCloudRGB& scan);

    /// Fits the zone to the floor of the plane a·x + b·y + c·z + d = 0, whose
    /// unit normal points from the camera toward the floor (d < 0).
    FloorZoneFit(const PointCloudRGB& scan, double a, double b, double c, double d);

    /// False when the floor holds too few points, or covers no rectangle.
    bool Ok() const { return ok; }
    double XMin() const { return xMin; }
    double XMax() const { return xMax; }
    double YMin() const { return yMin; }
    double YMax() const { return yMax; }
    /// Floor points the zone was fitted to.
    std::size_t FloorPoints() const { return points; }
    /// Edge of the grid's cells (metres): about two points' spacing.
    double Cell() const { return cell; }

private:
    bool ok = false;
    double xMin = 0.0, xMax = 0.0, yMin = 0.0, yMax = 0.0;
    std::size_t points = 0;
    double cell = 0.0;
};
