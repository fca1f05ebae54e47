#include "measure/scene/OutlineReach.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "measure/Median.h"
#include "measure/goods/SurfaceSupport.h"

namespace {

// The filter erodes an outline by a few pitches; beyond this a point is no
// outline of the goods (the speckle of a deck, flying pixels).
constexpr float kFarthestOutline = 0.05f;
// The bins along a side, in pitches: a row of the outline has a point or two in each.
constexpr float kBinPitches = 2.0f;
constexpr float kNone = -std::numeric_limits<float>::max();

}  // namespace

OutlineReach::OutlineReach(const std::array<Vector2, 4>& base, float grow01, float grow12,
                           float pitch, const std::vector<Point>& beyond)
    : box(base, grow01, grow12), pitch(pitch), radius(SurfaceSupport::kPitches * pitch) {
    valid = box.Valid() && pitch > 0.0f;
    if (!valid) {
        return;
    }
    for (int axis = 0; axis < 2; ++axis) {
        const auto bins =
            static_cast<std::size_t>(std::ceil(2 * box.Half(1 - axis) / (kBinPitches * pitch))) + 1;
        outermost[2 * axis].assign(bins, kNone);
        outermost[2 * axis + 1].assign(bins, kNone);
    }
    // The grid spans the box and the farthest outline beyond it.
    for (int axis = 0; axis < 2; ++axis) {
        cells[axis] =
            static_cast<long>(std::ceil(2 * (box.Half(axis) + kFarthestOutline) / radius)) + 1;
    }
    for (const Point& p : beyond) {
        float out = 0.0f;
        const Vector2 a = Local(p, out);
        if (!(out > -radius && out <= kFarthestOutline)) continue;
        beyondPoints.push_back(p);
        beyondLocal.push_back(a);
    }
}

OutlineReach::Vector2 OutlineReach::Local(const Point& p, float& beyond) const {
    const Vector2 a = box.Local(p[0], p[1]);
    beyond = box.Beyond(a);
    return a;
}

long OutlineReach::Cell(const Vector2& a) const {
    const long x = static_cast<long>(std::floor((a[0] + box.Half(0) + kFarthestOutline) / radius));
    const long y = static_cast<long>(std::floor((a[1] + box.Half(1) + kFarthestOutline) / radius));
    if (x < 0 || x >= cells[0] || y < 0 || y >= cells[1]) return -1;
    return y * cells[0] + x;
}

bool OutlineReach::Bound(const Vector2& a, bool test) {
    bool raises = false;
    for (int axis = 0; axis < 2; ++axis) {
        const float along = a[1 - axis];
        if (std::fabs(along) > box.Half(1 - axis)) continue;
        const float out = std::fabs(a[axis]) - box.Half(axis);
        if (out <= -radius) continue;
        auto& side = outermost[2 * axis + (a[axis] > 0.0f ? 1 : 0)];
        const auto bin =
            static_cast<std::size_t>((along + box.Half(1 - axis)) / (kBinPitches * pitch));
        if (bin >= side.size() || side[bin] >= out) continue;
        raises = true;
        if (!test) side[bin] = out;
    }
    return raises;
}

void OutlineReach::Judge(std::size_t count, const std::function<Point(std::size_t)>& keptAt) {
    if (!valid) return;
    const auto nearOutline = [this](const Point& p, Vector2& a) {
        float out = 0.0f;
        a = Local(p, out);
        return out > -radius && out <= kFarthestOutline;
    };
    Vector2 a{};
    for (std::size_t i = 0; i < count; ++i) {
        if (nearOutline(keptAt(i), a)) Bound(a);
    }
    // The points beyond that would raise a bin count where they stand on a
    // surface: theirs, or the kept one they border.
    std::vector<Point> near;
    std::vector<Vector2> candidates;
    std::vector<bool> candidate(beyondPoints.size(), false);
    for (std::size_t i = 0; i < beyondPoints.size(); ++i) {
        if (Bound(beyondLocal[i], true)) {
            candidate[i] = true;
            near.push_back(beyondPoints[i]);
            candidates.push_back(beyondLocal[i]);
        }
    }
    if (!candidates.empty()) {
        std::vector<std::uint8_t> marked(static_cast<std::size_t>(cells[0] * cells[1]), 0);
        for (const Vector2& c : candidates) {
            const long cell = Cell(c);
            if (cell < 0) continue;
            const long x = cell % cells[0], y = cell / cells[0];
            for (long dy = -1; dy <= 1; ++dy) {
                for (long dx = -1; dx <= 1; ++dx) {
                    if (x + dx >= 0 && x + dx < cells[0] && y + dy >= 0 && y + dy < cells[1])
                        marked[static_cast<std::size_t>((y + dy) * cells[0] + x + dx)] = 1;
                }
            }
        }
        for (std::size_t i = 0; i < beyondPoints.size(); ++i) {
            const long cell = Cell(beyondLocal[i]);
            if (!candidate[i] && cell >= 0 && marked[static_cast<std::size_t>(cell)] != 0)
                near.push_back(beyondPoints[i]);
        }
        for (std::size_t i = 0; i < count; ++i) {
            const Point p = keptAt(i);
            if (!nearOutline(p, a)) continue;
            const long cell = Cell(a);
            if (cell >= 0 && marked[static_cast<std::size_t>(cell)] != 0) near.push_back(p);
        }
        const SurfaceSupport support(near, radius, SurfaceSupport::kDepthRadii * radius);
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (Bound(candidates[i], true) && support.Supported(i, SurfaceSupport::kNeeded))
                Bound(candidates[i]);
        }
    }
    std::array<float, 4> reach{};
    for (int s = 0; s < 4; ++s) {
        std::vector<float> values;
        for (const float value : outermost[s]) {
            if (value != kNone) values.push_back(value);
        }
        reach[s] = values.empty() ? -radius : UpperMedian(values);
    }
    short01 = reach[0] + reach[1];
    short12 = reach[2] + reach[3];
}
