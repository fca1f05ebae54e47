#include "cloud/VRMLObj.h"

#include <boost/format.hpp>
#include <ostream>

namespace {

// Viewers read this node by node, so the layout is fixed: %1%..%3% the centre,
// %4%..%6% the sizes along x, y, z.
const char* const kBoxTemplate =
    "\nTransform {\n"
    "    translation %1% %2% %3%\n"
    "    children [\n"
    "        Shape {\n"
    "            geometry Box {\n"
    "                size %4% %5% %6%\n"
    "            }\n"
    "        }\n"
    "    ]\n"
    "}";

}  // namespace

std::ostream& operator<<(std::ostream& os, const VRMLObj& box) {
    os << boost::format(kBoxTemplate) % box.transX % box.transY % box.transZ % box.d1 % box.d2 %
              box.d3;
    return os;
}
