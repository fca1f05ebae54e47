#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cloud/VRMLObj.h"

/// An ordered list of boxes written as a VRML 2.0 scene.
class VRML {
public:
    VRML() = default;

    /// Appends a copy of box.
    void add(VRMLObj box) { boxes.push_back(box); }
    /// Removes every box.
    void clear() { boxes.clear(); }
    /// Box i, counted from 0; throws VRMLIndexnameNotDef when i is out of range.
    VRMLObj get(int i) const;
    /// Number of boxes.
    int size() const { return static_cast<int>(boxes.size()); }
    /// Writes the scene to the named file, replacing it.
    void save(std::string filename) const;

    /// The whole scene: three header lines, then every box in order.
    friend std::ostream& operator<<(std::ostream& os, const VRML& scene);

private:
    std::vector<VRMLObj> boxes;
};
