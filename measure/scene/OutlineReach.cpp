#include "measure/scene/OutlineReach.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>

#include "measure/Median.h"
#include "measure/goods/SurfaceSupport.h"

namespace {

// The filter erodes an outline by a few pitches; beyond this a point is no
// outline of the goods (the speckle of a deck, flying pixels).
constexpr float kFarthestOutline = 0.05f;
// The bins along a side, in pitches: a row of the outline has a point or two in each.
constexpr float kBinPitches = 2.0f;

}  // namespace

OutlineReach::OutlineReach(const std::array<Vector2, 4>& base, float grow01, float grow12,
                           float pitch)
    : pitch(pitch), radius(SurfaceSupport::kPitches * pitch) {
    const float side01 = std::hypot(base[1][0] - base[0][0], base[1][1] - base[0][1]);
    const float side12 = std::hypot(base[2][0] - base[1][0], base[2][1] - base[1][1]);
    valid = side01 > 0.0f && side12 > 0.0f && pitch > 0.0f;
    if (!valid) {
        return;
    }
    centre = {(base[0][0] + base[2][0]) / 2, (base[0][1] + base[2][1]) / 2};
    u = {(base[1][0] - base[0][0]) / side01, (base[1][1] - base[0][1]) / side01};
    v = {(base[2][0] - base[1][0]) / side12, (base[2][1] - base[1][1]) / side12};
    half = {(side01 + grow01) / 2, (side12 + grow12) / 2};
}

void OutlineReach::Add(const Point& p) {
    if (!valid) return;
    const float dx = p[0] - centre[0], dy = p[1] - centre[1];
    const Vector2 a = {dx * u[0] + dy * u[1], dx * v[0] + dy * v[1]};
    const float beyond = std::max(std::fabs(a[0]) - half[0], std::fabs(a[1]) - half[1]);
    if (beyond > -radius && beyond <= kFarthestOutline) {
        near.push_back(p);
        local.push_back(a);
    }
}

void OutlineReach::Judge() {
    if (!valid) return;
    const SurfaceSupport support(near, radius, SurfaceSupport::kDepthRadii * radius);
    // Per side (axis, sign): the outermost surface point of each bin along it.
    std::array<std::map<long, float>, 4> outermost;
    for (std::size_t i = 0; i < near.size(); ++i) {
        for (int axis = 0; axis < 2; ++axis) {
            const float along = local[i][1 - axis];
            if (std::fabs(along) > half[1 - axis]) continue;
            const float beyond = std::fabs(local[i][axis]) - half[axis];
            if (beyond <= -radius) continue;
            const long bin = std::lround(std::floor(along / (kBinPitches * pitch)));
            auto& side = outermost[2 * axis + (local[i][axis] > 0.0f ? 1 : 0)];
            const auto found = side.find(bin);
            if (found != side.end() && found->second >= beyond) continue;
            if (!support.Supported(i, SurfaceSupport::kNeeded)) continue;
            side[bin] = beyond;
        }
    }
    std::array<float, 4> reach{};
    for (int s = 0; s < 4; ++s) {
        std::vector<float> values;
        for (const auto& entry : outermost[s]) values.push_back(entry.second);
        reach[s] = values.empty() ? -radius : UpperMedian(values);
    }
    short01 = reach[0] + reach[1];
    short12 = reach[2] + reach[3];
}
