#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "geom/ConvexHull2.h"
#include "geom/IntrinsicsVector2.h"
#include "geom/Logger.h"
#include "geom/OrientedBox.h"
#include "geom/Vector.h"

namespace geom {

/// Least-area rectangle enclosing a planar point set.
///
/// Only rectangles with a side on a hull edge are candidates; the hull, the removal of
/// collinear hull vertices, the support vertices and the area comparisons are all exact in
/// ComputeType, and only the winning rectangle is rounded to InputType.
template <typename InputType, typename ComputeType>
class MinimumAreaBox2 {
public:
    /// Ready for a call; the exact constants are built here once.
    MinimumAreaBox2()
        : numPoints(0),
          points(nullptr),
          support{0, 0, 0, 0},
          area(InputType(0)),
          zero(0),
          one(1),
          negOne(-1),
          half(InputType(0.5)),
          scaleUp(std::ldexp(InputType(1), 2 * kScaleHalfExponent)),
          scaleDown(std::ldexp(InputType(1), -2 * kScaleHalfExponent)) {}

    /// The rectangle of least area that contains the `inNumPoints` points; `useRotatingCalipers`
    /// selects the linear search over the hull edges instead of trying every edge in turn.
    /// Degenerate sets give a rectangle with zero extents: a point gives a zero box at the
    /// first point, a set on one line (two distinct points included) the segment between its
    /// extremes. No points give a zero box at the origin.
    OrientedBox<2, InputType> operator()(int32_t inNumPoints, Vector<2, InputType> const* inPoints,
                                         bool useRotatingCalipers = true) {
        numPoints = inNumPoints;
        points = inPoints;
        hull.clear();

        OrientedBox<2, InputType> result;
        if (numPoints < 1 || points == nullptr) {
            result.center.MakeZero();
            result.extent.MakeZero();
            return result;
        }

        ConvexHull2<InputType, ComputeType> convexHull;
        convexHull(numPoints, points, InputType(0));
        int32_t const dimension = convexHull.GetDimension();

        if (dimension == 0 && numPoints == 2 && IsFinite(points[0]) && IsFinite(points[1]) &&
            !(points[0] == points[1])) {
            // The hull classifies only three or more points; two distinct ones are a segment,
            // and a zero box at the first would leave the second outside.
            IntrinsicsVector2<InputType> info(numPoints, points, InputType(0));
            ComputeSegmentBox(info.origin, info.direction[0], result);
            return result;
        }

        if (dimension == 0) {
            result.center = points[0];
            result.axis[0].MakeUnit(0);
            result.axis[1].MakeUnit(1);
            result.extent.MakeZero();
            hull = {0};
            return result;
        }

        if (dimension == 1) {
            Line<2, InputType> const& line = convexHull.GetLine();
            ComputeSegmentBox(line.origin, line.direction, result);
            return result;
        }

        hull = convexHull.GetHull();
        std::vector<Vector<2, ComputeType>> polygon = convexHull.GetHullPoints();
        RemoveCollinearPoints(polygon);
        if (polygon.size() < kMinPolygonVertices) {
            // The float classification saw a planar set, yet every point lies exactly on one
            // line: answer as for a set classified as one-dimensional.
            IntrinsicsVector2<InputType> info(numPoints, points, InputType(0));
            ComputeSegmentBox(info.origin, info.direction[0], result);
            return result;
        }

        Box const box = useRotatingCalipers ? ComputeBoxForEdgeOrderN(polygon)
                                            : ComputeBoxForEdgeOrderNSqr(polygon);
        ConvertTo(box, polygon, result);
        return result;
    }

    /// Number of input points of the last call.
    int32_t GetNumPoints() const { return numPoints; }
    /// Input indices of the last call: the hull, the two extremes of a segment, or {0}.
    std::vector<int32_t> const& GetHull() const { return hull; }
    /// Bottom, right, top and left support vertices of the last planar result, as indices
    /// into the hull polygon without collinear vertices.
    std::array<int32_t, 4> const& GetSupport() const { return support; }
    /// Area of the last planar result, rounded.
    InputType GetArea() const { return area; }

private:
    // A candidate rectangle whose bottom side lies on a hull edge, all in exact numbers.
    struct Box {
        Box() : sqrLength(0), area(0) {
            direction[0].MakeZero();
            direction[1].MakeZero();
        }

        std::array<Vector<2, ComputeType>, 2> direction;
        std::array<int32_t, 4> support;
        ComputeType sqrLength;
        ComputeType area;
    };

    // Rotation needed to bring side k onto the hull edge leaving its support vertex.
    struct Angle {
        ComputeType value;
        int32_t k;
    };

    // The zero-height rectangle around the points' spread along the unit direction D. A
    // spread beyond half the float range overflows the float sums; it is then measured in
    // double, and refused when even the rounded result lies beyond the range.
    void ComputeSegmentBox(Vector<2, InputType> const& origin,
                           Vector<2, InputType> const& direction,
                           OrientedBox<2, InputType>& result) {
        SegmentBoxIn<InputType>(origin, direction, result);
        // A NaN origin or direction comes from a NaN point, which no arithmetic mends.
        if (!IsFinite(origin) || !IsFinite(direction)) {
            return;
        }
        if constexpr (std::is_same<InputType, float>::value) {
            if (!IsFinite(result.center) || !std::isfinite(result.extent[0])) {
                SegmentBoxIn<double>(origin, direction, result);
            }
        }
        GEOM_REPORT_ERROR(IsFinite(result.center) && std::isfinite(result.extent[0]),
                          kBeyondRange);
    }

    template <typename Arithmetic>
    void SegmentBoxIn(Vector<2, InputType> const& origin, Vector<2, InputType> const& direction,
                      OrientedBox<2, InputType>& result) {
        Arithmetic const ox(origin[0]), oy(origin[1]);
        Arithmetic const dx(direction[0]), dy(direction[1]);
        Arithmetic tmin(0), tmax(0);
        int32_t imin = 0, imax = 0;
        for (int32_t i = 0; i < numPoints; ++i) {
            Arithmetic const t = (Arithmetic(points[i][0]) - ox) * dx +
                                 (Arithmetic(points[i][1]) - oy) * dy;
            if (t > tmax) {
                tmax = t;
                imax = i;
            } else if (t < tmin) {
                tmin = t;
                imin = i;
            }
        }
        Arithmetic const halfInput(0.5);
        Arithmetic const middle = halfInput * (tmin + tmax);
        result.center = Vector<2, InputType>{static_cast<InputType>(ox + middle * dx),
                                             static_cast<InputType>(oy + middle * dy)};
        result.extent[0] = static_cast<InputType>(halfInput * (tmax - tmin));
        result.extent[1] = InputType(0);
        result.axis[0] = direction;
        result.axis[1] = Vector<2, InputType>{-direction[1], direction[0]};
        hull = {imin, imax};
    }

    // Drops every vertex whose incoming and outgoing edges are parallel.
    static void RemoveCollinearPoints(std::vector<Vector<2, ComputeType>>& polygon) {
        std::vector<Vector<2, ComputeType>> const copy = polygon;
        int32_t const n = static_cast<int32_t>(copy.size());
        if (n == 0) {
            return;
        }
        ComputeType const zero(0);
        int32_t kept = 0;
        Vector<2, ComputeType> ePrev = copy[0] - copy[n - 1];
        for (int32_t i0 = 0; i0 < n; ++i0) {
            int32_t const i1 = (i0 + 1 < n ? i0 + 1 : 0);
            Vector<2, ComputeType> eNext = copy[i1] - copy[i0];
            if (DotPerp(ePrev, eNext) != zero) {
                polygon[kept++] = copy[i0];
            }
            ePrev = std::move(eNext);
        }
        polygon.resize(kept);
    }

    // The rectangle whose bottom side lies on the edge polygon[i0] -> polygon[i1].
    Box SmallestBox(int32_t i0, int32_t i1,
                    std::vector<Vector<2, ComputeType>> const& polygon) const {
        Box box;
        box.direction[0] = polygon[i1] - polygon[i0];
        box.direction[1] = Vector<2, ComputeType>{-box.direction[0][1], box.direction[0][0]};
        box.support = {i1, i1, i1, i1};
        box.sqrLength = Dot(box.direction[0], box.direction[0]);

        Vector<2, ComputeType> const& origin = polygon[i1];
        Vector<2, ComputeType> right, top, left;
        int32_t const n = static_cast<int32_t>(polygon.size());
        for (int32_t i = 0; i < n; ++i) {
            Vector<2, ComputeType> const diff = polygon[i] - origin;
            Vector<2, ComputeType> const v{Dot(box.direction[0], diff),
                                           Dot(box.direction[1], diff)};
            if (right[0] < v[0] || (v[0] == right[0] && right[1] < v[1])) {
                box.support[1] = i;
                right = v;
            }
            if (top[1] < v[1] || (v[1] == top[1] && v[0] < top[0])) {
                box.support[2] = i;
                top = v;
            }
            if (v[0] < left[0] || (v[0] == left[0] && v[1] < left[1])) {
                box.support[3] = i;
                left = v;
            }
        }
        box.area = (right[0] - left[0]) * top[1] / box.sqrLength;
        return box;
    }

    // Rotating calipers: each step turns the rectangle onto the hull edge that needs the
    // least rotation, starting with the edge that ends at vertex 0.
    Box ComputeBoxForEdgeOrderN(std::vector<Vector<2, ComputeType>> const& polygon) const {
        int32_t const n = static_cast<int32_t>(polygon.size());
        std::vector<bool> visited(n, false);
        Box minBox = SmallestBox(n - 1, 0, polygon);
        visited[minBox.support[0]] = true;

        Box box = minBox;
        for (int32_t step = 0; step < n; ++step) {
            std::array<Angle, 4> angles;
            int32_t numAngles = 0;
            if (!ComputeAngles(polygon, box, angles, numAngles)) {
                break;
            }
            std::array<int32_t, 4> const order = SortAngles(angles, numAngles);
            if (!UpdateSupport(angles, numAngles, order, polygon, visited, box)) {
                break;
            }
            if (box.area < minBox.area) {
                minBox = box;
            }
        }
        return minBox;
    }

    // For each side whose support vertex is not shared with the next side, the squared sine
    // of its turn onto the next hull edge, scaled by the common squared length of the sides.
    bool ComputeAngles(std::vector<Vector<2, ComputeType>> const& polygon, Box const& box,
                       std::array<Angle, 4>& angles, int32_t& numAngles) const {
        int32_t const n = static_cast<int32_t>(polygon.size());
        numAngles = 0;
        for (int32_t k0 = 3, k1 = 0; k1 < 4; k0 = k1++) {
            if (box.support[k0] == box.support[k1]) {
                continue;
            }
            Vector<2, ComputeType> D = box.direction[k0 & 1];
            if (k0 & 2) {
                D = -D;
            }
            int32_t const j0 = box.support[k0];
            int32_t const j1 = (j0 + 1 < n ? j0 + 1 : 0);
            Vector<2, ComputeType> const E = polygon[j1] - polygon[j0];
            ComputeType const dp = DotPerp(D, E);
            angles[numAngles].value = dp * dp / Dot(E, E);
            angles[numAngles].k = k0;
            ++numAngles;
        }
        return numAngles > 0;
    }

    // Fixed compare-exchange network; with the entry order it decides which side wins a tie.
    static std::array<int32_t, 4> SortAngles(std::array<Angle, 4> const& angles,
                                             int32_t numAngles) {
        std::array<int32_t, 4> order{0, 1, 2, 3};
        auto exchange = [&](int32_t a, int32_t b) {
            if (angles[order[b]].value < angles[order[a]].value) {
                std::swap(order[a], order[b]);
            }
        };
        if (numAngles == 2) {
            exchange(0, 1);
        } else if (numAngles == 3) {
            exchange(0, 1);
            exchange(0, 2);
            exchange(1, 2);
        } else if (numAngles == 4) {
            exchange(0, 1);
            exchange(2, 3);
            exchange(0, 2);
            exchange(1, 3);
            exchange(1, 2);
        }
        return order;
    }

    // Moves every side with the least turn onto its next edge and makes the first of them
    // the bottom; false when that bottom edge has been a bottom before.
    bool UpdateSupport(std::array<Angle, 4> const& angles, int32_t numAngles,
                       std::array<int32_t, 4> const& order,
                       std::vector<Vector<2, ComputeType>> const& polygon,
                       std::vector<bool>& visited, Box& box) const {
        int32_t const n = static_cast<int32_t>(polygon.size());
        Angle const& amin = angles[order[0]];
        for (int32_t k = 0; k < numAngles; ++k) {
            Angle const& a = angles[order[k]];
            if (a.value != amin.value) {
                break;
            }
            box.support[a.k] = (box.support[a.k] + 1 < n ? box.support[a.k] + 1 : 0);
        }

        int32_t const bottom = box.support[amin.k];
        if (visited[bottom]) {
            return false;
        }
        visited[bottom] = true;

        std::array<int32_t, 4> const previous = box.support;
        for (int32_t k = 0; k < 4; ++k) {
            box.support[k] = previous[(amin.k + k) % 4];
        }

        int32_t const j1 = box.support[0];
        int32_t const j0 = (j1 > 0 ? j1 - 1 : n - 1);
        box.direction[0] = polygon[j1] - polygon[j0];
        box.direction[1] = Vector<2, ComputeType>{-box.direction[0][1], box.direction[0][0]};
        box.sqrLength = Dot(box.direction[0], box.direction[0]);
        Vector<2, ComputeType> const width = polygon[box.support[1]] - polygon[box.support[3]];
        Vector<2, ComputeType> const height = polygon[box.support[2]] - polygon[box.support[0]];
        box.area = Dot(box.direction[0], width) * Dot(box.direction[1], height) / box.sqrLength;
        return true;
    }

    // Tries every hull edge as the bottom side.
    Box ComputeBoxForEdgeOrderNSqr(std::vector<Vector<2, ComputeType>> const& polygon) const {
        int32_t const n = static_cast<int32_t>(polygon.size());
        Box minBox;
        minBox.area = negOne;
        for (int32_t i0 = n - 1, i1 = 0; i1 < n; i0 = i1++) {
            Box box = SmallestBox(i0, i1, polygon);
            if (minBox.area == negOne || box.area < minBox.area) {
                minBox = std::move(box);
            }
        }
        return minBox;
    }

    // Rounds the exact rectangle. Each direction is scaled so that its larger component is
    // exactly +-1 before rounding, which keeps the float normalisation well conditioned and
    // makes axis[1] exactly axis[0] turned counterclockwise.
    void ConvertTo(Box const& box, std::vector<Vector<2, ComputeType>> const& polygon,
                   OrientedBox<2, InputType>& result) {
        Vector<2, ComputeType> const& p0 = polygon[box.support[0]];
        Vector<2, ComputeType> const& p1 = polygon[box.support[1]];
        Vector<2, ComputeType> const& p2 = polygon[box.support[2]];
        Vector<2, ComputeType> const& p3 = polygon[box.support[3]];
        std::array<Vector<2, ComputeType>, 2> const sum{p1 + p3, p2 + p0};
        std::array<Vector<2, ComputeType>, 2> const diff{p1 - p3, p2 - p0};

        Vector<2, ComputeType> center = half * (Dot(box.direction[0], sum[0]) * box.direction[0] +
                                                Dot(box.direction[1], sum[1]) * box.direction[1]);
        center /= box.sqrLength;

        for (int32_t d = 0; d < 2; ++d) {
            ComputeType const h = half * Dot(box.direction[d], diff[d]);
            ComputeType const sqrExtent = h * h / box.sqrLength;
            result.center[d] = static_cast<InputType>(center[d]);
            result.extent[d] = SquareRoot(sqrExtent);

            Vector<2, ComputeType> const& direction = box.direction[d];
            ComputeType const absX = (direction[0] < zero ? -direction[0] : direction[0]);
            ComputeType const absY = (direction[1] < zero ? -direction[1] : direction[1]);
            ComputeType const inverse = one / (absX < absY ? absY : absX);
            for (int32_t j = 0; j < 2; ++j) {
                result.axis[d][j] = static_cast<InputType>(direction[j] * inverse);
            }
            Normalize(result.axis[d]);
        }

        GEOM_REPORT_ERROR(IsFinite(result.center) && IsFinite(result.extent), kBeyondRange);
        support = box.support;
        area = static_cast<InputType>(box.area);
    }

    // The square root of an exact non-negative number, rounded. The square of a half side
    // leaves the float range long before the side does (sides below about 1e-19 or above
    // 1e19), so such a square is scaled by an exact power of four into range first; in range
    // the result is the plain rounding of the square followed by the float square root.
    InputType SquareRoot(ComputeType const& square) const {
        ComputeType scaled = square;
        InputType rounded = static_cast<InputType>(scaled);
        int32_t halfExponent = 0;
        if (scaled != zero) {
            while (rounded < std::numeric_limits<InputType>::min()) {
                scaled = scaled * scaleUp;
                halfExponent -= kScaleHalfExponent;
                rounded = static_cast<InputType>(scaled);
            }
            while (std::isinf(rounded)) {
                scaled = scaled * scaleDown;
                halfExponent += kScaleHalfExponent;
                rounded = static_cast<InputType>(scaled);
            }
        }
        return std::ldexp(std::sqrt(rounded), halfExponent);
    }

    static constexpr size_t kMinPolygonVertices = 3;
    static constexpr char const* kBeyondRange = "The rectangle lies beyond the range of the input type.";
    // Squares are scaled by 4^32 at a time, a power of two that float holds exactly.
    static constexpr int32_t kScaleHalfExponent = 32;

    int32_t numPoints;
    Vector<2, InputType> const* points;
    std::vector<int32_t> hull;
    std::array<int32_t, 4> support;
    InputType area;
    ComputeType const zero, one, negOne, half, scaleUp, scaleDown;
};

}  // namespace geom
