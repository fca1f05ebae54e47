#include "measure/scene/OutlineFall.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "measure/Median.h"

namespace {

// The bins along a side, in pitches, and the band inward of a bin's
// outermost point that gives the slope: past the mixed pixels of an edge,
// and near enough to see the surface as it meets the side.
constexpr float kBinPitches = 2.0f;
constexpr float kInwardFrom = 2.0f;
constexpr float kInwardTo = 5.0f;
constexpr float kNearOutermost = 1.5f;
constexpr float kNone = -std::numeric_limits<float>::max();

struct Bin {
    float outermost = kNone;
    float outermostHeight = 0.0f;
    float lowestNear = std::numeric_limits<float>::max();
    double inwardOut = 0.0;
    double inwardHeight = 0.0;
    std::size_t inward = 0;
};

}  // namespace

OutlineFall::OutlineFall(const std::array<Vector2, 4>& base, float pitch, float bottom,
                         std::size_t count, const std::function<Point(std::size_t)>& at) {
    const BoxBase box(base, 0.0f, 0.0f);
    if (!box.Valid() || !(pitch > 0.0f)) return;
    // Per side (axis, sign): its bins.
    std::array<std::vector<Bin>, 4> sides;
    for (int axis = 0; axis < 2; ++axis) {
        const auto bins =
            static_cast<std::size_t>(std::ceil(2 * box.Half(1 - axis) / (kBinPitches * pitch))) + 1;
        sides[2 * axis].resize(bins);
        sides[2 * axis + 1].resize(bins);
    }
    const float reach = kInwardTo * pitch;
    // Calls visit(bin, out, height) for every point near a side.
    const auto forEach = [&](const auto& visit) {
        for (std::size_t i = 0; i < count; ++i) {
            const Point p = at(i);
            const Vector2 a = box.Local(p[0], p[1]);
            for (int axis = 0; axis < 2; ++axis) {
                const float along = a[1 - axis];
                const float out = std::fabs(a[axis]) - box.Half(axis);
                if (out < -2 * reach || std::fabs(along) > box.Half(1 - axis)) continue;
                auto& side = sides[2 * axis + (a[axis] > 0.0f ? 1 : 0)];
                const auto bin =
                    static_cast<std::size_t>((along + box.Half(1 - axis)) / (kBinPitches * pitch));
                if (bin < side.size()) visit(side[bin], out, bottom - p[2]);
            }
        }
    };
    forEach([](Bin& bin, float out, float h) {
        if (out > bin.outermost) {
            bin.outermost = out;
            bin.outermostHeight = h;
        }
    });
    forEach([pitch](Bin& bin, float out, float h) {
        const float inward = bin.outermost - out;
        if (inward <= kNearOutermost * pitch) bin.lowestNear = std::min(bin.lowestNear, h);
        if (inward >= kInwardFrom * pitch && inward <= kInwardTo * pitch) {
            bin.inwardOut += out;
            bin.inwardHeight += h;
            ++bin.inward;
        }
    });
    for (int s = 0; s < 4; ++s) {
        std::vector<float> slopes;
        std::vector<float> heights;
        for (const Bin& bin : sides[s]) {
            if (bin.inward == 0) continue;
            const auto n = static_cast<double>(bin.inward);
            const double run = bin.outermost - bin.inwardOut / n;
            slopes.push_back(static_cast<float>((bin.inwardHeight / n - bin.outermostHeight) / run));
            heights.push_back(bin.lowestNear);
        }
        if (slopes.empty()) continue;
        slope[s] = UpperMedian(slopes);
        height[s] = UpperMedian(heights);
    }
}
