#include "measure/goods/SurfaceSupport.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// 32 bits per cell coordinate, offset to stay positive.
constexpr long kKeyOffset = 1L << 31;
constexpr std::uint64_t kKeyMask = 0xffffffffULL;

}  // namespace

SurfaceSupport::SurfaceSupport(const std::vector<Point>& points, float radius, float depth)
    : points(points), radius(radius), depth(depth) {
    order.resize(points.size());
    std::iota(order.begin(), order.end(), 0U);
    std::vector<std::uint64_t> pointKeys(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto cell = CellOf(points[i]);
        pointKeys[i] = CellKey(cell[0], cell[1]);
    }
    std::sort(order.begin(), order.end(), [&pointKeys](std::uint32_t a, std::uint32_t b) {
        return pointKeys[a] < pointKeys[b];
    });
    keys.resize(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) keys[i] = pointKeys[order[i]];
}

std::array<long, 2> SurfaceSupport::CellOf(const Point& p) const {
    return {std::lround(std::floor(p[0] / radius)), std::lround(std::floor(p[1] / radius))};
}

std::uint64_t SurfaceSupport::CellKey(long x, long y) {
    const auto part = [](long v) { return static_cast<std::uint64_t>(v + kKeyOffset) & kKeyMask; };
    return (part(x) << 32) | part(y);
}

int SurfaceSupport::Neighbours(std::size_t i, int limit) const { return Count(points[i], i, limit); }

int SurfaceSupport::Near(const Point& p, int limit) const { return Count(p, points.size(), limit); }

template <class Visit>
void SurfaceSupport::ForEachInCells(const Point& p, Visit&& visit) const {
    const auto cell = CellOf(p);
    for (long dx = -1; dx <= 1; ++dx) {
        for (long dy = -1; dy <= 1; ++dy) {
            const auto range =
                std::equal_range(keys.begin(), keys.end(), CellKey(cell[0] + dx, cell[1] + dy));
            for (auto it = range.first; it != range.second; ++it) {
                if (!visit(order[static_cast<std::size_t>(it - keys.begin())])) return;
            }
        }
    }
}

int SurfaceSupport::Count(const Point& p, std::size_t self, int limit) const {
    const float r2 = radius * radius;
    int found = 0;
    ForEachInCells(p, [&](std::uint32_t j) {
        if (j == self) return true;
        const Point& q = points[j];
        const float ex = q[0] - p[0], ey = q[1] - p[1];
        return !(ex * ex + ey * ey <= r2 && std::fabs(q[2] - p[2]) <= depth && ++found >= limit);
    });
    return found;
}
