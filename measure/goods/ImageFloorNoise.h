#pragma once

#include <cstddef>
#include <vector>

#include "cloud/Cloud.h"
#include "measure/goods/ImageFoot.h"

class FloorPlane;

/// How high the floor's own noise reaches in a camera's image, measured on
/// the floor that the image shows away from the goods. The cut clears a
/// noise given by the station's settings; a camera whose floor lies flatter
/// than that shows the goods' foot between its own noise and the cut, and a
/// foot followed down to there is the goods' whole outline.
class ImageFloorNoise {
public:
    /// Pixels of floor needed for the 99.9th percentile to rest on some of them.
    static constexpr std::size_t kLeastFloorPixels = 2000;

    /// kept: per point of the scan, whether the cut keeps it; least: the
    /// height above the floor (metres) that the station's correction puts
    /// the floor's noise below. The goods are the pixels the cut keeps and
    /// their foot down to `least`, each among others of them (strays above
    /// the cut are the floor's own noise); the floor is every pixel with coordinates
    /// some twenty pixels or more from them. Found() is false for a scan
    /// without an image (one row) and for an image with too little floor.
    ImageFloorNoise(const PointCloudRGB& scan, const FloorPlane& floor, const std::vector<bool>& kept,
                    double least);

    bool Found() const { return found; }
    /// The 99.9th percentile of the floor pixels' heights above the floor
    /// plane (metres; negative below it).
    double Top() const { return top; }
    std::size_t FloorPixels() const { return pixels; }
    /// The goods' foot down to `least`.
    const ImageFoot& Foot() const { return foot; }

private:
    ImageFoot foot;
    bool found = false;
    double top = 0.0;
    std::size_t pixels = 0;
};
