#include "cloud/VRML.h"

#include <fstream>
#include <ostream>
#include <stdexcept>

#include "cloud/VRMLIndexnameNotDef.h"

VRMLObj VRML::get(int i) const {
    if (i < 0 || i >= size()) {
        throw vrmlIndexnameNotDef;
    }
    return boxes[static_cast<std::size_t>(i)];
}

void VRML::save(std::string filename) const {
    std::ofstream out(filename, std::ios::out | std::ios::binary | std::ios::trunc);
    if (out) {
        out << *this;
        out.close();
    }
    // A scene that silently fails to reach the disk would be reported as written.
    if (!out) {
        throw std::runtime_error("Unable to write file: " + filename);
    }
}

std::ostream& operator<<(std::ostream& os, const VRML& scene) {
    os << "#VRML V2.0 utf8" << std::endl;
    os << "#" << std::endl;
    os << "# created from Kelvo Split" << std::endl;
    for (const VRMLObj& box : scene.boxes) {
        os << box;
    }
    os << std::endl;
    return os;
}
