#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "geom/BSRational.h"
#include "geom/ConvexHull2.h"
#include "geom/MinimumAreaBox2.h"
#include "geom/OrientedBox.h"
#include "geom/UIntegerAP32.h"
#include "geom/Vector.h"

/// The exact hull and rectangle fed with arbitrary bytes, as the inbound box calls them.
/// Shared by the fuzz target and the test that replays the inputs it once failed on.
namespace geomfuzz {

using Point = geom::Vector<2, float>;
using Exact = geom::BSRational<geom::UIntegerAP32>;

// The exact reference hull is quadratic in memory traffic; larger sets only run the product path.
constexpr int32_t kMaxReferencePoints = 64;
// Beyond this the exact work only slows the search without reaching new code.
constexpr int32_t kMaxPoints = 4096;
// The documented refusal of a rectangle that cannot be held in floats, and the size of
// coordinates from which it may occur.
const char* const kBeyondRange = "The rectangle lies beyond the range of the input type.";
constexpr float kHugeCoordinate = 1e37f;
// Float rounding of the centre and the axes, relative to the size of the coordinates.
constexpr double kRelativeSlack = 1e-5;

/// A broken property: the input stays in the corpus and the replay test reports it.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "geom fuzz: %s\n", what);
    std::abort();
}

/// First two bytes: the point count (mod one more than what the rest holds); then x, y floats
/// as raw bits.
inline std::vector<Point> Decode(const uint8_t* data, size_t size) {
    if (size < 2) {
        return {};
    }
    size_t const available = (size - 2) / (2 * sizeof(float));
    size_t const wanted = (static_cast<size_t>(data[0]) | (static_cast<size_t>(data[1]) << 8)) %
                          (available + 1);
    size_t const count = std::min(wanted, static_cast<size_t>(kMaxPoints));
    std::vector<Point> points(count);
    const uint8_t* p = data + 2;
    for (auto& point : points) {
        for (int j = 0; j < 2; ++j) {
            std::memcpy(&point[j], p, sizeof(float));
            p += sizeof(float);
        }
    }
    return points;
}

inline bool AllFinite(const std::vector<Point>& points) {
    return std::all_of(points.begin(), points.end(),
                       [](const Point& p) { return geom::IsFinite(p); });
}

/// Coordinates whose rectangle may not fit the float range.
inline bool Huge(const std::vector<Point>& points) {
    return std::any_of(points.begin(), points.end(), [](const Point& p) {
        return std::fabs(p[0]) >= kHugeCoordinate || std::fabs(p[1]) >= kHugeCoordinate;
    });
}

/// The product's call; a failure is acceptable only where the documented exact conversion
/// refuses a NaN or an infinity, or the rectangle of huge coordinates overflows floats.
inline bool RunRectangle(const std::vector<Point>& points, geom::OrientedBox<2, float>& box) {
    geom::MinimumAreaBox2<float, Exact> minimumAreaBox;
    try {
        box = minimumAreaBox(static_cast<int32_t>(points.size()), points.data(), true);
        return true;
    } catch (const std::runtime_error& e) {
        if (AllFinite(points) && !(std::strcmp(e.what(), kBeyondRange) == 0 && Huge(points))) {
            std::fprintf(stderr, "geom fuzz: finite input refused: %s\n", e.what());
            std::abort();
        }
        return false;
    }
}

inline void CheckContains(const std::vector<Point>& points, const geom::OrientedBox<2, float>& box) {
    Point const& a0 = box.axis[0];
    Point const& a1 = box.axis[1];
    if (!(a1[0] == -a0[1] && a1[1] == a0[0])) {
        Fail("axis[1] is not axis[0] turned a quarter");
    }
    double scale = std::fabs(box.center[0]) + std::fabs(box.center[1]);
    for (const Point& p : points) {
        scale = std::max(scale, std::fabs(static_cast<double>(p[0])) + std::fabs(p[1]));
    }
    for (int d = 0; d < 2; ++d) {
        if (!(box.extent[d] >= 0.0f) || !std::isfinite(box.center[d])) {
            Fail("rectangle of a finite set is not finite");
        }
    }
    double const slack = kRelativeSlack * scale + 1e-37;
    for (const Point& p : points) {
        double const dx = static_cast<double>(p[0]) - box.center[0];
        double const dy = static_cast<double>(p[1]) - box.center[1];
        for (int d = 0; d < 2; ++d) {
            double const along = dx * box.axis[d][0] + dy * box.axis[d][1];
            if (std::fabs(along) > box.extent[d] + slack) {
                Fail("a point lies outside the rectangle");
            }
        }
    }
}

inline void CheckHullAgainstReference(const std::vector<Point>& points) {
    int32_t const n = static_cast<int32_t>(points.size());
    geom::ConvexHull2<float, Exact> fast;
    geom::ConvexHull2<float, Exact> reference;
    fast(n, points.data(), 0.0f);
    reference.ComputeReference(n, points.data(), 0.0f);
    if (fast.GetDimension() != reference.GetDimension() || fast.GetHull() != reference.GetHull()) {
        Fail("the fast hull differs from the reference hull");
    }
}

/// One input: never crashes, refuses only non-finite sets, and a result holds its properties.
inline void Run(const uint8_t* data, size_t size) {
    std::vector<Point> const points = Decode(data, size);
    geom::OrientedBox<2, float> box;
    if (!RunRectangle(points, box) || !AllFinite(points)) {
        return;
    }
    CheckContains(points, box);
    if (points.size() <= static_cast<size_t>(kMaxReferencePoints)) {
        CheckHullAgainstReference(points);
    }
}

}  // namespace geomfuzz
