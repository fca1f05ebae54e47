#pragma once

#include <iosfwd>

/// One upright box of a VRML scene: its sizes along x, y, z and its centre.
class VRMLObj {
public:
    VRMLObj() = default;
    VRMLObj(float d1, float d2, float d3, float transX, float transY, float transZ)
        : d1(d1), d2(d2), d3(d3), transX(transX), transY(transY), transZ(transZ) {}

    void SetD1(float v) { d1 = v; }
    void SetD2(float v) { d2 = v; }
    void SetD3(float v) { d3 = v; }
    void SetTransX(float v) { transX = v; }
    void SetTransY(float v) { transY = v; }
    void SetTransZ(float v) { transZ = v; }
    float GetD1() const { return d1; }
    float GetD2() const { return d2; }
    float GetD3() const { return d3; }
    float GetTransX() const { return transX; }
    float GetTransY() const { return transY; }
    float GetTransZ() const { return transZ; }

    /// Writes the box as a VRML Transform node holding one Box.
    friend std::ostream& operator<<(std::ostream& os, const VRMLObj& box);

private:
    float d1 = 0.0f;
    float d2 = 0.0f;
    float d3 = 0.0f;
    float transX = 0.0f;
    float transY = 0.0f;
    float transZ = 0.0f;
};
