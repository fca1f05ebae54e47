#include "measure/goods/SurfaceSupport.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// 32 bits per cell coordinate, offset to stay positive.
constexpr long kKeyOffset = 1L << 31;
constexpr std::uint64_t kKeyMask = 0xffffffffULL;
// The smaller variance across the neighbours of a point on a surface, as a
// share of the squared radius: a half disc has some 0.07, the points along a
// line next to none.
constexpr double kLeastSpread = 0.02;

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

bool SurfaceSupport::OnSlope(std::size_t i, int needed, float tolerance, float leastGradient) const {
    const Point& p = points[i];
    const float r2 = radius * radius;
    // Sums for the least-squares plane dz = a + b dx + c dy through the neighbours.
    double n = 0, sx = 0, sy = 0, sz = 0, sxx = 0, sxy = 0, syy = 0, sxz = 0, syz = 0;
    ForEachInCells(p, [&](std::uint32_t j) {
        const Point& q = points[j];
        const double ex = q[0] - p[0], ey = q[1] - p[1], ez = q[2] - p[2];
        if (j == i || ex * ex + ey * ey > r2) return true;
        n += 1;
        sx += ex;
        sy += ey;
        sz += ez;
        sxx += ex * ex;
        sxy += ex * ey;
        syy += ey * ey;
        sxz += ex * ez;
        syz += ey * ez;
        return true;
    });
    if (n < needed) return false;
    // Spread across: the smaller eigenvalue of the neighbours' covariance in
    // x and y is that of a disc's edge, not of a line.
    const double mx = sx / n, my = sy / n;
    const double cxx = sxx / n - mx * mx, cyy = syy / n - my * my, cxy = sxy / n - mx * my;
    const double half = (cxx + cyy) / 2;
    const double least = half - std::sqrt((cxx - cyy) * (cxx - cyy) / 4 + cxy * cxy);
    if (least < kLeastSpread * static_cast<double>(r2)) return false;
    // The plane's height at the point itself.
    const double mz = sz / n;
    const double cxz = sxz / n - mx * mz, cyz = syz / n - my * mz;
    const double det = cxx * cyy - cxy * cxy;
    const double b = (cxz * cyy - cyz * cxy) / det;
    const double c = (cyz * cxx - cxz * cxy) / det;
    const double a = mz - b * mx - c * my;
    return std::fabs(a) <= tolerance && b * b + c * c >= static_cast<double>(leastGradient) * leastGradient;
}

