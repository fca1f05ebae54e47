#pragma once

/// A session's floor plane a·x + b·y + c·z + d = 0 as the pallet cut needs
/// it. Plane fits store it with either sign and any length; here the normal
/// has unit length and points from the camera (the scan's origin) toward the
/// floor, so that a point's coordinate along it grows toward the floor and
/// the floor itself lies at Floor().
class FloorPlane {
public:
    FloorPlane(float a, float b, float c, float d);

    /// The boxes are measured upright along the scan's z axis, so z must be
    /// the vertical: a floor tilted by t degrees lengthens the measured height
    /// of goods D wide by about D·sin t (21 mm per 1.2 m at 1 degree). Within
    /// this bound (degrees) the error stays below the camera's own noise.
    static constexpr double kMostTiltDegrees = 0.5;

    /// False for a plane stored as all zeros (or not as numbers): no floor is
    /// known, and the frame's own vertical (0, 0, 1) stands in for the normal.
    bool HasNormal() const { return normal; }

    /// The unit normal's components, pointing away from the camera.
    float A() const { return a; }
    float B() const { return b; }
    float C() const { return c; }

    /// Angle between the plane's normal line and the z axis, in degrees, 0
    /// to 90 (which side of the camera the floor lies on is not its matter).
    double TiltDegrees() const;

    /// Coordinate along the normal of the floor, which is also the camera's
    /// distance from it; 0 when the plane runs through the camera.
    float Floor() const { return floor; }
    /// Coordinate of a point along the normal, summed as ((a·x + b·y) + c·z)
    /// in single precision: for the vertical normal (0, 0, 1) it is z itself.
    float Along(float x, float y, float z) const { return (a * x + b * y) + c * z; }

private:
    float a = 0.0f;
    float b = 0.0f;
    float c = 1.0f;
    float floor = 0.0f;
    bool normal = false;
};
