#pragma once

#include "cloud/VRMLObj.h"

#include <iosfwd>
#include <string>
#include <vector>

/// An ordered list of boxes written as a VRML 2.0 scene.
class VRML {
public:
    VRML() = default;

    void add(VRMLObj box) { boxes.push_back(box); }
    void clear() { boxes.clear(); }
    /// Box i, counted from 0; throws VRMLIndexnameNotDef when i is out of range.
    VRMLObj get(int i) const;
    int size() const { return static_cast<int>(boxes.size()); }
    /// Writes the scene to the named file, replacing it.
    void save(std::string filename) const;

    friend std::ostream& operator<<(std::ostream& os, const VRML& scene);

private:
    std::vector<VRMLObj> boxes;
};
