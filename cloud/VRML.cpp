#include "cloud/VRML.h"

#include <ostream>
#include <sstream>

#include "cloud/AtomicFile.h"
#include "cloud/VRMLIndexnameNotDef.h"

VRMLObj VRML::get(int i) const {
    if (i < 0 || i >= size()) {
        throw vrmlIndexnameNotDef;
    }
    return boxes[static_cast<std::size_t>(i)];
}

void VRML::save(std::string filename) const {
    std::ostringstream text;
    text << *this;
    AtomicFile file(filename, "Unable to write file: ");
    file.Write(text.str());
    file.Commit();
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
