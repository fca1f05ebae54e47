#include "measure/scene/FilterErosion.h"

#include <algorithm>
#include <cmath>

#include "measure/goods/SurfaceSupport.h"

namespace {

// The filter erodes an outline by a few pitches, a dome's grazing flank by a
// few centimetres; what it took farther off is no outline of the goods (the
// speckle of a noisy deck, flying pixels), whatever its density.
constexpr float kFarthestOutline = 0.05f;

}  // namespace

FilterErosion::FilterErosion(const std::vector<Point>& taken, const std::array<Vector2, 4>& base,
                             float grow01, float grow12, float pitch, float division) {
    const Vector2 centre = {(base[0][0] + base[2][0]) / 2, (base[0][1] + base[2][1]) / 2};
    const float side01 = std::hypot(base[1][0] - base[0][0], base[1][1] - base[0][1]);
    const float side12 = std::hypot(base[2][0] - base[1][0], base[2][1] - base[1][1]);
    if (!(side01 > 0.0f) || !(side12 > 0.0f) || !(pitch > 0.0f)) {
        return;
    }
    const Vector2 u = {(base[1][0] - base[0][0]) / side01, (base[1][1] - base[0][1]) / side01};
    const Vector2 v = {(base[2][0] - base[1][0]) / side12, (base[2][1] - base[1][1]) / side12};
    const float half01 = (side01 + grow01) / 2;
    const float half12 = (side12 + grow12) / 2;
    // How far each taken point stands beyond the box's outline.
    std::vector<Point> outside;
    std::vector<float> beyond;
    for (const Point& p : taken) {
        const float dx = p[0] - centre[0], dy = p[1] - centre[1];
        const float e = std::max(std::fabs(dx * u[0] + dy * u[1]) - half01,
                                 std::fabs(dx * v[0] + dy * v[1]) - half12);
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
