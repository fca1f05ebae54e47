#include "measure/goods/SurfaceSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace {

// 32 bits per cell coordinate, offset to stay positive.
constexpr long kKeyOffset = 1L << 31;
constexpr std::uint64_t kKeyMask = 0xffffffffULL;
// The points are counted into their cells when the box holds no more cells
// than this many per point (and this many more).
constexpr std::uint64_t kCellsPerPoint = 4;
constexpr std::uint64_t kLeastCells = 4096;

}  // namespace

SurfaceSupport::SurfaceSupport(const std::vector<Point>& points, float radius, float depth)
    : points(points), radius(radius), depth(depth) {
    std::vector<std::uint64_t> pointKeys(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto cell = CellOf(points[i], radius);
        pointKeys[i] = CellKey(cell[0], cell[1]);
    }
    SortByKey(pointKeys);
    keys.resize(order.size());
    for (int axis = 0; axis < 3; ++axis) coordinate[axis].resize(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        keys[i] = pointKeys[order[i]];
        for (int axis = 0; axis < 3; ++axis) coordinate[axis][i] = points[order[i]][axis];
    }
}

void SurfaceSupport::SortByKey(const std::vector<std::uint64_t>& pointKeys) {
    order.resize(pointKeys.size());
    // The cells of the points' box, numbered in the keys' order, when there
    // are not many more of them than points: counted into place. Within a
    // cell the order is free (a count up to a limit is the same in any).
    lowX = kKeyMask;
    highX = 0;
    lowY = kKeyMask;
    highY = 0;
    for (const std::uint64_t key : pointKeys) {
        lowX = std::min(lowX, key >> 32);
        highX = std::max(highX, key >> 32);
        lowY = std::min(lowY, key & kKeyMask);
        highY = std::max(highY, key & kKeyMask);
    }
    const std::uint64_t spanX = highX - lowX + 1;
    spanY = highY - lowY + 1;
    const std::uint64_t most = kCellsPerPoint * pointKeys.size() + kLeastCells;
    if (pointKeys.empty() || spanX > most || spanY > most / spanX) {
        std::iota(order.begin(), order.end(), 0U);
        std::sort(order.begin(), order.end(), [&pointKeys](std::uint32_t a, std::uint32_t b) {
            return pointKeys[a] < pointKeys[b];
        });
        return;
    }
    const auto cellOf = [&](std::uint64_t key) {
        return static_cast<std::size_t>(((key >> 32) - lowX) * spanY + ((key & kKeyMask) - lowY));
    };
    std::vector<std::uint32_t> next(static_cast<std::size_t>(spanX * spanY) + 1, 0);
    for (const std::uint64_t key : pointKeys) ++next[cellOf(key) + 1];
    for (std::size_t c = 1; c < next.size(); ++c) next[c] += next[c - 1];
    cellStart = next;
    for (std::size_t i = 0; i < pointKeys.size(); ++i) {
        order[next[cellOf(pointKeys[i])]++] = static_cast<std::uint32_t>(i);
    }
}

std::array<long, 2> SurfaceSupport::CellOf(const Point& p, float radius) {
    return {std::lround(std::floor(p[0] / radius)), std::lround(std::floor(p[1] / radius))};
}

std::uint64_t SurfaceSupport::CellKey(long x, long y) {
    const auto part = [](long v) { return static_cast<std::uint64_t>(v + kKeyOffset) & kKeyMask; };
    return (part(x) << 32) | part(y);
}

int SurfaceSupport::Neighbours(std::size_t i, int limit) const {
    return Count(points[i], i, limit);
}

int SurfaceSupport::Near(const Point& p, int limit) const { return Count(p, points.size(), limit); }

int SurfaceSupport::NeighboursAmong(const std::vector<Point>& points, std::size_t i, float radius,
                                    float depth, int limit) {
    const Point& p = points[i];
    const float r2 = radius * radius;
    const auto cell = CellOf(p, radius);
    const int most = std::max(limit, 1);
    int found = 0;
    for (std::size_t k = 0; k < points.size() && found < most; ++k) {
        const float ex = points[k][0] - p[0], ey = points[k][1] - p[1];
        if (!(ex * ex + ey * ey <= r2 && std::fabs(points[k][2] - p[2]) <= depth) || k == i) {
            continue;
        }
        // Within reach as Count finds it: in one of the nine cells about p's.
        const auto at = CellOf(points[k], radius);
        found += std::labs(at[0] - cell[0]) <= 1 && std::labs(at[1] - cell[1]) <= 1 ? 1 : 0;
    }
    return std::min(found, most);
}

int SurfaceSupport::Count(const Point& p, std::size_t self, int limit) const {
    const auto cell = CellOf(p, radius);
    // The count stops at the limit, and at the first point found for a limit below one.
    const int most = std::max(limit, 1);
    int found = 0;
    for (long dx = -1; dx <= 1; ++dx) {
        // The three cells of a column have consecutive keys unless the
        // column wraps round the key's range: one run of the sorted keys.
        const std::uint64_t lowest = CellKey(cell[0] + dx, cell[1] - 1);
        const std::uint64_t highest = CellKey(cell[0] + dx, cell[1] + 1);
        const bool consecutive = highest == lowest + 2;
        if (consecutive && !cellStart.empty()) {
            // The column's cells within the box, numbered one after another.
            const std::uint64_t x = lowest >> 32;
            const std::uint64_t from = std::max(lowest & kKeyMask, lowY);
            const std::uint64_t to = std::min(highest & kKeyMask, highY);
            if (x >= lowX && x <= highX && from <= to) {
                const std::uint64_t column = (x - lowX) * spanY;
                found += CountIn(cellStart[column + (from - lowY)],
                                 cellStart[column + (to - lowY) + 1], p, self);
            }
            if (found >= most) return most;
            continue;
        }
        for (long dy = -1; dy <= 1; dy += consecutive ? 3 : 1) {
            const std::uint64_t from = consecutive ? lowest : CellKey(cell[0] + dx, cell[1] + dy);
            const std::uint64_t to = consecutive ? highest : from;
            const auto first = std::lower_bound(keys.begin(), keys.end(), from);
            const auto last = std::upper_bound(first, keys.end(), to);
            found += CountIn(static_cast<std::size_t>(first - keys.begin()),
                             static_cast<std::size_t>(last - keys.begin()), p, self);
        }
        // Counted up to the limit only: the rest of the cells cannot lower it.
        if (found >= most) return most;
    }
    return found;
}

int SurfaceSupport::CountIn(std::size_t from, std::size_t to, const Point& p,
                            std::size_t self) const {
    const float r2 = radius * radius;
    const float* x = coordinate[0].data();
    const float* y = coordinate[1].data();
    const float* z = coordinate[2].data();
    const std::uint32_t* index = order.data();
    // Without branches, so that the points of a run go side by side.
    int found = 0;
    for (std::size_t k = from; k < to; ++k) {
        const float ex = x[k] - p[0], ey = y[k] - p[1];
        found += static_cast<int>((ex * ex + ey * ey <= r2) & (std::fabs(z[k] - p[2]) <= depth) &
                                  (index[k] != self));
    }
    return found;
}
