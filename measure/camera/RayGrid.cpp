#include "measure/camera/RayGrid.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "measure/FloorPlane.h"
#include "measure/Median.h"

namespace {

// A first guess of the spacing that proves too small finds no neighbours in
// its cells: the cells are widened this many times, doubling, before the
// scan is taken for no lattice.
constexpr int kWidenings = 3;
// The first guess of the spacing looks at every this many points.
constexpr std::size_t kGuessStride = 16;

}  // namespace

RayGrid::RayGrid(const pcl::PointCloud<pcl::PointXYZRGB>& scan, const FloorPlane& floor,
                 double band) {
    // Two unit directions across the floor's normal: the scan's x (or y, for
    // a normal near x) without its part along the normal, and the third side.
    const double n[3] = {floor.A(), floor.B(), floor.C()};
    if (std::fabs(n[0]) > 0.5) {
        u[0] = 0.0;
        u[1] = 1.0;
    }
    const double un = u[0] * n[0] + u[1] * n[1] + u[2] * n[2];
    for (int i = 0; i < 3; ++i) {
        u[i] -= un * n[i];
    }
    const double length = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    for (double& c : u) {
        c /= length;
    }
    v[0] = n[1] * u[2] - n[2] * u[1];
    v[1] = n[2] * u[0] - n[0] * u[2];
    v[2] = n[0] * u[1] - n[1] * u[0];

    double lo[2] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    double hi[2] = {-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
    index.reserve(scan.points.size());
    s.reserve(scan.points.size());
    t.reserve(scan.points.size());
    along.reserve(scan.points.size());
    for (std::size_t i = 0; i < scan.points.size(); ++i) {
        const pcl::PointXYZRGB& p = scan.points[i];
        if (!pcl::isFinite(p)) {
            continue;
        }
        const double depth = n[0] * p.x + n[1] * p.y + n[2] * p.z;
        if (!(depth > 0.0) || !(floor.Floor() - depth > band)) {
            continue;
        }
        const double out = 1.0 / depth;
        const double ps = (u[0] * p.x + u[1] * p.y + u[2] * p.z) * out;
        const double pt = (v[0] * p.x + v[1] * p.y + v[2] * p.z) * out;
        index.push_back(static_cast<std::uint32_t>(i));
        along.push_back(static_cast<float>(depth));
        s.push_back(static_cast<float>(ps));
        t.push_back(static_cast<float>(pt));
        lo[0] = std::min(lo[0], ps);
        lo[1] = std::min(lo[1], pt);
        hi[0] = std::max(hi[0], ps);
        hi[1] = std::max(hi[1], pt);
    }
    const std::size_t points = index.size();
    if (points < kLeastPoints || !(hi[0] > lo[0]) || !(hi[1] > lo[1])) {
        return;
    }
    s0 = lo[0];
    t0 = lo[1];
    extent[0] = hi[0] - lo[0];
    extent[1] = hi[1] - lo[1];

    // First guess: the area the rays cover, per point. Every kGuessStride-th
    // point is binned in cells of four times the area per such point: rays
    // that fill the area fill every cell, rays that fill part of it the cells
    // there, and a few more at their border.
    const std::size_t few = (points + kGuessStride - 1) / kGuessStride;
    const double wide = 2.0 * std::sqrt(extent[0] * extent[1] / static_cast<double>(few));
    const std::size_t wx = static_cast<std::size_t>(extent[0] / wide) + 1;
    const std::size_t wy = static_cast<std::size_t>(extent[1] / wide) + 1;
    std::vector<unsigned char> seen(wx * wy, 0);
    std::size_t occupied = 0;
    for (std::size_t k = 0; k < points; k += kGuessStride) {
        const std::size_t x = std::min(wx - 1, static_cast<std::size_t>((s[k] - s0) / wide));
        const std::size_t y = std::min(wy - 1, static_cast<std::size_t>((t[k] - t0) / wide));
        occupied += seen[y * wx + x] == 0;
        seen[y * wx + x] = 1;
    }
    double guess = wide * std::sqrt(static_cast<double>(occupied) / static_cast<double>(points));

    // The spacing from a sample spread over the scan: the median distance to
    // the nearest ray, and how many of the sampled rays have their second
    // nearest much farther than their nearest.
    const std::size_t stride = std::max<std::size_t>(1, points / kSample);
    std::vector<double> nearest;
    std::size_t uneven = 0;
    for (int widening = 0; widening < kWidenings; ++widening, guess *= 2.0) {
        if (!Bin(kCellPerSpacing * guess)) {
            return;
        }
        nearest.clear();
        uneven = 0;
        std::size_t sampled = 0;
        for (std::size_t k = 0; k < points; k += stride, ++sampled) {
            double first, second;
            Nearest(k, first, second);
            if (second <= cell) {
                nearest.push_back(first);
                uneven += second > kMostNearestRatio * first;
            }
        }
        if (2 * nearest.size() >= sampled) {
            break;
        }
    }
    if (nearest.empty()) {
        return;
    }
    spacing = UpperMedian(nearest);
    if (!(spacing > 0.0) || 100.0 * static_cast<double>(uneven) >
                                kMostUnevenPercent * static_cast<double>(nearest.size())) {
        return;
    }
    // Cells far off the spacing find too few neighbours, or cost too much.
    if ((cell < 1.2 * spacing || cell > 2.5 * spacing) && !Bin(kCellPerSpacing * spacing)) {
        return;
    }
    FindNearestAbout();
    lattice = true;
}

void RayGrid::FindNearestAbout() {
    std::vector<float> least(nx * ny, std::numeric_limits<float>::infinity());
    for (std::size_t k = 0; k < index.size(); ++k) {
        least[cellOf[k]] = std::min(least[cellOf[k]], along[k]);
    }
    // Along the rows, then along the columns.
    nearestAbout.assign(nx * ny, std::numeric_limits<float>::infinity());
    for (std::size_t y = 0; y < ny; ++y) {
        for (std::size_t x = 0; x < nx; ++x) {
            float m = least[y * nx + x];
            m = x > 0 ? std::min(m, least[y * nx + x - 1]) : m;
            m = x + 1 < nx ? std::min(m, least[y * nx + x + 1]) : m;
            nearestAbout[y * nx + x] = m;
        }
    }
    least.swap(nearestAbout);
    for (std::size_t y = 0; y < ny; ++y) {
        for (std::size_t x = 0; x < nx; ++x) {
            float m = least[y * nx + x];
            m = y > 0 ? std::min(m, least[(y - 1) * nx + x]) : m;
            m = y + 1 < ny ? std::min(m, least[(y + 1) * nx + x]) : m;
            nearestAbout[y * nx + x] = m;
        }
    }
}

bool RayGrid::Bin(double c) {
    const double cx = std::floor(extent[0] / c) + 1.0;
    const double cy = std::floor(extent[1] / c) + 1.0;
    if (!(cx * cy <= static_cast<double>(kMostCells))) {
        return false;
    }
    cell = c;
    perCell = 1.0 / c;
    nx = static_cast<std::size_t>(cx);
    ny = static_cast<std::size_t>(cy);
    start.assign(nx * ny + 1, 0);
    cellOf.resize(index.size());
    for (std::size_t k = 0; k < index.size(); ++k) {
        cellOf[k] = static_cast<std::uint32_t>(CellOf(s[k], t[k]));
        ++start[cellOf[k] + 1];
    }
    for (std::size_t at = 0; at < nx * ny; ++at) {
        start[at + 1] += start[at];
    }
    slots.resize(index.size());
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (std::size_t k = 0; k < index.size(); ++k) {
        slots[next[cellOf[k]]++] = static_cast<std::uint32_t>(k);
    }
    return true;
}

std::size_t RayGrid::CellOf(float ps, float pt) const {
    const std::size_t x = std::min(nx - 1, static_cast<std::size_t>((ps - s0) * perCell));
    const std::size_t y = std::min(ny - 1, static_cast<std::size_t>((pt - t0) * perCell));
    return y * nx + x;
}

void RayGrid::Row(std::size_t x, std::size_t y, std::uint32_t& begin, std::uint32_t& end) const {
    const std::size_t first = x == 0 ? 0 : x - 1;
    const std::size_t last = std::min(nx - 1, x + 1);
    begin = start[y * nx + first];
    end = start[y * nx + last + 1];
}

void RayGrid::Nearest(std::size_t k, double& first, double& second) const {
    double a = std::numeric_limits<double>::infinity();
    double b = a;
    Around(k, [&a, &b](std::uint32_t, double d2) {
        if (d2 < a) {
            b = a;
            a = d2;
        } else if (d2 < b) {
            b = d2;
        }
        return true;
    });
    first = std::sqrt(a);
    second = std::sqrt(b);
}
