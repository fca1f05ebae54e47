#include "measure/scene/FilterErosion.h"

#include <algorithm>
#include <cmath>

#include "measure/goods/SurfaceSupport.h"
#include "measure/scene/BoxBase.h"

namespace {

// The filter erodes an outline by a few pitches, a dome's grazing flank by a
// few centimetres; what it took farther off is no outline of the goods (the
// speckle of a noisy deck, flying pixels), whatever its density.
constexpr float kFarthestOutline = 0.05f;

}  // namespace

FilterErosion::FilterErosion(const std::vector<Point>& taken, const std::array<Vector2, 4>& base,
                             float grow01, float grow12, float pitch, float division) {
    const BoxBase box(base, grow01, grow12);
    if (!box.Valid() || !(pitch > 0.0f)) {
        return;
    }
    // How far each taken point stands beyond the box's outline.
    std::vector<Point> outside;
    std::vector<float> beyond;
    for (const Point& p : taken) {
        const float e = box.Beyond(box.Local(p[0], p[1]));
        if (e > 0.0f) {
            outside.push_back(p);
            beyond.push_back(e);
        }
    }
    const float radius = SurfaceSupport::kPitches * pitch;
    const SurfaceSupport support(outside, radius, SurfaceSupport::kDepthRadii * radius);
    for (std::size_t i = 0; i < outside.size(); ++i) {
        if (beyond[i] > division && beyond[i] <= kFarthestOutline && support.Supported(i, SurfaceSupport::kNeeded)) {
            ++count;
            farthest = std::max(farthest, beyond[i]);
        }
    }
}
