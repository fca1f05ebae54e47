#pragma once

/// A session's floor plane a·x + b·y + c·z + d = 0 as the pallet cut needs
/// it. Plane fits store it with either sign and any length; here the normal
/// always points from the camera (the scan's origin) toward the floor.
class FloorPlane {
public:
    FloorPlane(float a, float b, float c, float d);

    /// The normal's components, pointing away from the camera, with the
    /// stored length. A plane stored as all zeros has no normal; the frame's
    /// own vertical (0, 0, 1) stands in for it.
    float A() const { return a; }
    float B() const { return b; }
    float C() const { return c; }

    /// True when the plane tells which side the camera is on: a normal and
    /// the origin off the plane.
    bool Sided() const { return sided; }
    /// Signed distance in metres of a point from the plane, positive beyond
    /// it (away from the camera); 0 for a plane that is not sided.
    double Beyond(float x, float y, float z) const;

private:
    float a, b, c, d;
    double length = 0.0;
    bool sided = false;
};
