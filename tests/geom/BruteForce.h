#pragma once

#include <gmpxx.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "GmpOracle.h"
#include "geom/Vector.h"

namespace geomtest {

using ExactPoint = geom::Vector<2, mpq_class>;

inline ExactPoint ToExact(geom::Vector<2, float> const& p) {
    return ExactPoint{ToMpq(p[0]), ToMpq(p[1])};
}

inline int32_t Orientation(ExactPoint const& a, ExactPoint const& b, ExactPoint const& c) {
    mpq_class const det = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    return sgn(det);
}

/// The distinct points of a set, exactly.
inline std::vector<ExactPoint> Distinct(std::vector<geom::Vector<2, float>> const& points) {
    std::vector<ExactPoint> result;
    for (auto const& p : points) {
        ExactPoint const q = ToExact(p);
        if (std::find(result.begin(), result.end(), q) == result.end()) {
            result.push_back(q);
        }
    }
    return result;
}

/// Strict hull vertices in counterclockwise order starting at the least point, by testing
/// every ordered pair of distinct points for being a hull edge.
inline std::vector<ExactPoint> BruteForceHull(std::vector<geom::Vector<2, float>> const& points) {
    std::vector<ExactPoint> const u = Distinct(points);
    int32_t const n = static_cast<int32_t>(u.size());
    if (n < 2) {
        return u;
    }
    std::vector<int32_t> next(n, -1);
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = 0; j < n; ++j) {
            if (i == j) {
                continue;
            }
            bool isEdge = true;
            for (int32_t k = 0; k < n && isEdge; ++k) {
                if (k == i || k == j) {
                    continue;
                }
                int32_t const o = Orientation(u[i], u[j], u[k]);
                if (o < 0) {
                    isEdge = false;
                } else if (o == 0) {
                    mpq_class const t = (u[k][0] - u[i][0]) * (u[j][0] - u[i][0]) +
                                        (u[k][1] - u[i][1]) * (u[j][1] - u[i][1]);
                    mpq_class const len = (u[j][0] - u[i][0]) * (u[j][0] - u[i][0]) +
                                          (u[j][1] - u[i][1]) * (u[j][1] - u[i][1]);
                    isEdge = (t > 0 && t < len);
                }
            }
            if (isEdge) {
                next[i] = j;
            }
        }
    }
    int32_t start = 0;
    for (int32_t i = 1; i < n; ++i) {
        if (u[i] < u[start]) {
            start = i;
        }
    }
    std::vector<ExactPoint> hull;
    for (int32_t i = start; hull.size() <= u.size();) {
        hull.push_back(u[i]);
        i = next[i];
        if (i < 0 || i == start) {
            break;
        }
    }
    return hull;
}

/// Least area of the rectangles that have a side on a hull edge.
inline mpq_class BruteForceMinArea(std::vector<ExactPoint> const& hull) {
    mpq_class best = -1;
    int32_t const n = static_cast<int32_t>(hull.size());
    for (int32_t i = 0; i < n; ++i) {
        ExactPoint const& a = hull[i];
        ExactPoint const& b = hull[(i + 1) % n];
        mpq_class const ex = b[0] - a[0], ey = b[1] - a[1];
        mpq_class lo = 0, hi = 0, top = 0, bottom = 0;
        for (auto const& p : hull) {
            mpq_class const dx = p[0] - a[0], dy = p[1] - a[1];
            mpq_class const along = ex * dx + ey * dy;
            mpq_class const across = ex * dy - ey * dx;
            lo = std::min(lo, along);
            hi = std::max(hi, along);
            bottom = std::min(bottom, across);
            top = std::max(top, across);
        }
        mpq_class const area = (hi - lo) * (top - bottom) / (ex * ex + ey * ey);
        if (best < 0 || area < best) {
            best = area;
        }
    }
    return best;
}

}  // namespace geomtest
