#include "measure/scene/FloorZone.h"

#include "cloud/Units.h"

FloorZone::FloorZone(double xMin, double xMax, double yMin, double yMax)
    : edges{xMin, xMax, yMin, yMax}, set(xMin != 0.0 || xMax != 0.0 || yMin != 0.0 || yMax != 0.0) {
    const double margin =
        static_cast<double>(kMarginMm) / static_cast<double>(kMillimetresPerMetre);
    inner[kXMin] = xMin + margin;
    inner[kXMax] = xMax - margin;
    inner[kYMin] = yMin + margin;
    inner[kYMax] = yMax - margin;
}
