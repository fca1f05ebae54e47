#include "measure/scene/BoxStrays.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "measure/goods/SurfaceSupport.h"
#include "measure/scene/BoxBase.h"

namespace {

// A point of the goods has at least this many others within the search
// radius across (a quarter of a disc at a corner, a column or two of a flank
// seen edge-on); a stray of the floor's noise, centimetres off, none.
constexpr int kNeighbours = SurfaceSupport::kNeeded / 2;

}  // namespace

BoxStrays::BoxStrays(const std::array<Vector2, 4>& base, float pitch, float division,
                     std::size_t points, const std::function<Point(std::size_t)>& at) {
    const BoxBase box(base, 0.0f, 0.0f);
    if (!box.Valid() || !(pitch > 0.0f)) return;
    const float radius = SurfaceSupport::kPitches * pitch;
    // Only what lies within the division and a radius of a side can bound the
    // goods there: a side whose goods lie further in is a stray's already.
    const float band = division + radius;
    std::vector<SurfaceSupport::Point> near;
    std::vector<Vector2> local;
    for (std::size_t i = 0; i < points; ++i) {
        const Point p = at(i);
        const Vector2 a = box.Local(p[0], p[1]);
        const float inside = std::min(box.Half(0) - std::fabs(a[0]), box.Half(1) - std::fabs(a[1]));
        if (inside <= band) {
            near.push_back(p);
            local.push_back(a);
        }
    }
    if (near.empty()) return;
    const SurfaceSupport support(near, radius, std::numeric_limits<float>::max());
    // Per side (axis, sign): how far the outermost point among others stands
    // inside it; a side without one, the whole band. The points are tried
    // from the side inward, and the first among others ends the search: below
    // a box's wall every point of it stands in the band.
    std::array<float, 4> goods;
    goods.fill(-band);
    std::vector<std::pair<float, std::size_t>> order;
    for (int side = 0; side < 4; ++side) {
        const int axis = side / 2;
        const bool positive = side % 2 == 1;
        order.clear();
        for (std::size_t i = 0; i < near.size(); ++i) {
            if ((local[i][axis] > 0.0f) == positive)
                order.emplace_back(std::fabs(local[i][axis]) - box.Half(axis), i);
        }
        std::make_heap(order.begin(), order.end());
        for (auto last = order.end(); last != order.begin(); --last) {
            std::pop_heap(order.begin(), last);
            if (support.Supported((last - 1)->second, kNeighbours)) {
                goods[side] = (last - 1)->first;
                break;
            }
        }
    }
    for (const Vector2& a : local) {
        for (int axis = 0; axis < 2; ++axis) {
            const int side = 2 * axis + (a[axis] > 0.0f ? 1 : 0);
            if (std::fabs(a[axis]) - box.Half(axis) > goods[side] + division) {
                ++count;
                break;
            }
        }
    }
}
