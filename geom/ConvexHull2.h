#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "geom/IntrinsicsVector2.h"
#include "geom/Line.h"
#include "geom/Logger.h"
#include "geom/PrimalQuery2.h"
#include "geom/Vector.h"

namespace geom {

/// Exact convex hull of a planar point set: the strict hull vertices as a counterclockwise
/// list of input indices.
///
/// The set is first classified in floating point (IntrinsicsVector2); only a two-dimensional
/// set gets a hull. Every orientation decision is exact. The list starts where the merge of
/// the two halves of the lexicographically sorted distinct points would start it: at the
/// left end of the upper bridge between the halves. Among equal input points the smallest
/// index is listed.
///
/// The call operator reaches that result without converting every point: for float input
/// it decides orientations in double arithmetic when an error bound proves the sign, then in
/// 128-bit integers when the operands allow, and only otherwise in ComputeType; it discards
/// points proven to lie strictly inside the hull before building it. ComputeReference runs
/// the plain divide-and-conquer construction with every point in ComputeType.
template <typename InputType, typename ComputeType>
class ConvexHull2 {
public:
    using Position = typename PrimalQuery2<ComputeType>::LinePosition;

    /// An empty hull.
    ConvexHull2()
        : epsilon(InputType(0)),
          dimension(0),
          numPoints(0),
          numUniquePoints(0),
          points(nullptr),
          allPointsExact(false) {
        line.origin.MakeZero();
        line.direction.MakeZero();
    }

    /// Builds the hull of `inNumPoints` points; returns true when the set is two-dimensional.
    /// A negative epsilon counts as 0. Fewer than three points give dimension 0.
    bool operator()(int32_t inNumPoints, Vector<2, InputType> const* inPoints,
                    InputType inEpsilon) {
        if (!Classify(inNumPoints, inPoints, inEpsilon)) {
            return false;
        }
        if constexpr (std::is_same<InputType, float>::value) {
            ComputeFiltered();
            return true;
        } else {
            ComputeAllExact();
            return true;
        }
    }

    /// Same result as the call operator, by divide and conquer over all distinct points with
    /// every point converted to ComputeType up front. Slow; the reference the fast path is
    /// checked against.
    bool ComputeReference(int32_t inNumPoints, Vector<2, InputType> const* inPoints,
                          InputType inEpsilon) {
        if (!Classify(inNumPoints, inPoints, inEpsilon)) {
            return false;
        }
        ComputeAllExact();
        return true;
    }

    /// The tolerance of the last call (never negative).
    InputType GetEpsilon() const { return epsilon; }
    /// 0 (a point), 1 (a segment) or 2 (a planar set).
    int32_t GetDimension() const { return dimension; }
    /// The line of a one-dimensional set.
    Line<2, InputType> const& GetLine() const { return line; }
    /// Number of input points of the last call.
    int32_t GetNumPoints() const { return numPoints; }
    /// Number of distinct input points of a two-dimensional set.
    int32_t GetNumUniquePoints() const { return numUniquePoints; }
    /// The caller's point array of the last call.
    Vector<2, InputType> const* GetPoints() const { return points; }
    /// Counterclockwise hull as input indices; empty unless the set is two-dimensional.
    std::vector<int32_t> const& GetHull() const { return hull; }

    /// Exact query over the converted points: after ComputeReference all input points by
    /// index, after the call operator the hull vertices in hull order.
    PrimalQuery2<ComputeType> const& GetQuery() const { return query; }

    /// Exact copies of the hull vertices, in hull order.
    std::vector<Vector<2, ComputeType>> GetHullPoints() const {
        if (!allPointsExact) {
            return computePoints;
        }
        std::vector<Vector<2, ComputeType>> result;
        result.reserve(hull.size());
        for (int32_t index : hull) {
            result.push_back(computePoints[index]);
        }
        return result;
    }

private:
    // Resets the results and classifies the set; true when a planar hull is to be built.
    bool Classify(int32_t inNumPoints, Vector<2, InputType> const* inPoints, InputType inEpsilon) {
        epsilon = std::max(inEpsilon, InputType(0));
        dimension = 0;
        line.origin.MakeZero();
        line.direction.MakeZero();
        numPoints = inNumPoints;
        points = inPoints;
        numUniquePoints = 0;
        merged.clear();
        hull.clear();
        computePoints.clear();
        query.Set(0, nullptr);
        allPointsExact = false;

        if (numPoints < kMinPlanarPoints || points == nullptr) {
            return false;
        }

        // Only the dimension, the bounds and the line are needed here.
        IntrinsicsVector2<InputType> info(numPoints, points, epsilon, false);
        minCoordinate = info.min;
        maxCoordinate = info.max;
        if (info.dimension == 0) {
            return false;
        }
        if (info.dimension == 1) {
            dimension = 1;
            line = Line<2, InputType>(info.origin, info.direction[0]);
            return false;
        }
        dimension = 2;
        return true;
    }

    // ---- Plain construction: all points exact, divide and conquer. ----

    void ComputeAllExact() {
        computePoints.resize(numPoints);
        query.Set(numPoints, computePoints.data());
        allPointsExact = true;
        for (int32_t i = 0; i < numPoints; ++i) {
            for (int32_t j = 0; j < 2; ++j) {
                computePoints[i][j] = ComputeType(points[i][j]);
            }
        }

        hull.resize(numPoints);
        for (int32_t i = 0; i < numPoints; ++i) {
            hull[i] = i;
        }
        // Stable, so that the smallest index of each run of equal points survives.
        std::stable_sort(hull.begin(), hull.end(),
                         [this](int32_t a, int32_t b) { return points[a] < points[b]; });
        auto newEnd = std::unique(hull.begin(), hull.end(),
                                  [this](int32_t a, int32_t b) { return points[a] == points[b]; });
        hull.erase(newEnd, hull.end());
        numUniquePoints = static_cast<int32_t>(hull.size());
        merged.resize(numUniquePoints);

        int32_t i0 = 0;
        int32_t i1 = numUniquePoints - 1;
        GetHull(i0, i1);
        hull.resize(i1 - i0 + 1);
    }

    void GetHull(int32_t& i0, int32_t& i1) {
        int32_t const numVertices = i1 - i0 + 1;
        if (numVertices > 1) {
            int32_t const mid = (i0 + i1) / 2;
            int32_t j0 = i0, j1 = mid, j2 = mid + 1, j3 = i1;
            GetHull(j0, j1);
            GetHull(j2, j3);
            Merge(j0, j1, j2, j3, i0, i1);
        }
    }

    Vector<2, ComputeType> const& At(int32_t position) const {
        return computePoints[hull[position]];
    }

    void Merge(int32_t j0, int32_t j1, int32_t j2, int32_t j3, int32_t& i0, int32_t& i1) {
        int32_t const size0 = j1 - j0 + 1;
        int32_t const size1 = j3 - j2 + 1;

        int32_t imax0 = j0;
        for (int32_t i = j0 + 1; i <= j1; ++i) {
            if (At(imax0) < At(i)) {
                imax0 = i;
            }
        }
        int32_t imin1 = j2;
        for (int32_t i = j2 + 1; i <= j3; ++i) {
            if (At(i) < At(imin1)) {
                imin1 = i;
            }
        }

        int32_t iLL = imax0, iLR = imin1;
        GetTangent(j0, j1, j2, j3, iLL, iLR);
        int32_t iUL = imax0, iUR = imin1;
        GetTangent(j2, j3, j0, j1, iUR, iUL);

        int32_t numMerged = 0;
        int32_t i = iUL;
        bool reached = false;
        for (int32_t k = 0; k < size0; ++k) {
            merged[numMerged++] = hull[i];
            if (i == iLL) {
                reached = true;
                break;
            }
            i = (i < j1 ? i + 1 : j0);
        }
        GEOM_REPORT_ASSERTION(reached, "Unexpected condition.");

        i = iLR;
        reached = false;
        for (int32_t k = 0; k < size1; ++k) {
            merged[numMerged++] = hull[i];
            if (i == iUR) {
                reached = true;
                break;
            }
            i = (i < j3 ? i + 1 : j2);
        }
        GEOM_REPORT_ASSERTION(reached, "Unexpected condition.");

        std::copy(merged.begin(), merged.begin() + numMerged, hull.begin() + j0);
        i0 = j0;
        i1 = j0 + numMerged - 1;
    }

    void GetTangent(int32_t j0, int32_t j1, int32_t j2, int32_t j3, int32_t& i0, int32_t& i1) {
        int32_t const size0 = j1 - j0 + 1;
        int32_t const size1 = j3 - j2 + 1;
        for (int32_t pass = 0; pass < size0 + size1; ++pass) {
            Vector<2, ComputeType> const& L1 = At(i0);
            Vector<2, ComputeType> const& R0 = At(i1);

            if (size0 > 1) {
                int32_t const iLm1 = (i0 > j0 ? i0 - 1 : j1);
                Position const position = query.ToLineExtended(R0, At(iLm1), L1);
                if (position == Position::NegativeSide || position == Position::CollinearBeyond) {
                    i0 = iLm1;
                    continue;
                }
            }

            if (size1 < 2) {
                return;
            }

            int32_t const iRp1 = (i1 < j3 ? i1 + 1 : j2);
            Position const position = query.ToLineExtended(L1, R0, At(iRp1));
            if (position == Position::NegativeSide || position == Position::CollinearBefore) {
                i1 = iRp1;
                continue;
            }
            return;
        }
    }

    // ---- Fast construction for float input. ----

    // Order-preserving map of a finite float to 32 bits; both zeros map alike.
    static uint32_t OrderedBits(float value) {
        if (value == 0.0f) {
            return kZeroOrderedBits;
        }
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        return (bits & kSignBit) ? ~bits : (bits | kSignBit);
    }

    // 64-bit key whose unsigned order is the lexicographic order of the point and whose
    // equality is float equality of both coordinates.
    static uint64_t LexKey(Vector<2, float> const& p) {
        return (static_cast<uint64_t>(OrderedBits(p[0])) << 32) | OrderedBits(p[1]);
    }

    // The number of distinct keys in [first, last). A small bucket compares each key with
    // those before it, which costs less than sorting it; a larger one is sorted in place.
    static int32_t DistinctKeys(uint64_t* first, uint64_t* last) {
        int32_t const n = static_cast<int32_t>(last - first);
        if (n <= kComparedBucket) {
            int32_t repeats = 0;
            for (int32_t i = 1; i < n; ++i) {
                bool seen = false;
                for (int32_t j = 0; j < i; ++j) {
                    seen |= first[j] == first[i];
                }
                repeats += seen ? 1 : 0;
            }
            return n - repeats;
        }
        std::sort(first, last);
        return static_cast<int32_t>(std::unique(first, last) - first);
    }

    // The median of the distinct points in lexicographic order. The keys are distributed
    // into buckets by a monotone function of the leading coordinate, so the buckets are
    // already in order: each bucket's distinct keys are counted, and only the bucket that
    // holds the median is sorted.
    uint64_t MedianDistinctKey() {
        int32_t const lead = (minCoordinate[0] < maxCoordinate[0] ? 0 : 1);
        double const low = minCoordinate[lead];
        double const range = static_cast<double>(maxCoordinate[lead]) - low;
        int32_t const numBuckets = std::max(1, std::min(kMaxBuckets, numPoints / kPointsPerBucket));
        double const scale = range > 0.0 ? (numBuckets - 1) / range : 0.0;
        auto bucketOf = [&](Vector<2, float> const& p) {
            return static_cast<int32_t>((static_cast<double>(p[lead]) - low) * scale);
        };

        std::vector<int32_t> offset(numBuckets + 1, 0);
        for (int32_t i = 0; i < numPoints; ++i) {
            ++offset[bucketOf(points[i]) + 1];
        }
        for (int32_t b = 0; b < numBuckets; ++b) {
            offset[b + 1] += offset[b];
        }
        std::unique_ptr<uint64_t[]> keys(new uint64_t[numPoints]);
        {
            std::vector<int32_t> next(offset.begin(), offset.end() - 1);
            for (int32_t i = 0; i < numPoints; ++i) {
                keys[next[bucketOf(points[i])]++] = LexKey(points[i]);
            }
        }

        std::vector<int32_t> distinct(numBuckets);
        numUniquePoints = 0;
        for (int32_t b = 0; b < numBuckets; ++b) {
            distinct[b] = DistinctKeys(keys.get() + offset[b], keys.get() + offset[b + 1]);
            numUniquePoints += distinct[b];
        }
        int32_t rank = (numUniquePoints - 1) / 2;
        int32_t b = 0;
        while (rank >= distinct[b]) {
            rank -= distinct[b];
            ++b;
        }
        uint64_t* first = keys.get() + offset[b];
        uint64_t* last = keys.get() + offset[b + 1];
        std::sort(first, last);
        // The bucket's distinct keys in order at its front.
        static_cast<void>(std::unique(first, last));
        return first[rank];
    }

    // Sign of DotPerp(b - a, c - a) for doubles holding float values: +1 when c lies left of
    // a -> b. Certain when it returns nonzero; 0 means the double result proves nothing.
    static int32_t OrientationByDouble(double ax, double ay, double bx, double by, double cx,
                                       double cy) {
        double const left = (bx - ax) * (cy - ay);
        double const right = (by - ay) * (cx - ax);
        double const det = left - right;
        double const bound = kOrientationErrorBound * (std::fabs(left) + std::fabs(right));
        if (det > bound) {
            return 1;
        }
        if (det < -bound) {
            return -1;
        }
        return 0;
    }

    // A float as odd integer times a power of two.
    struct Dyadic {
        int64_t integer;  // odd, or 0 for zero
        int32_t lowBit;   // exponent of the integer's lowest bit
        int32_t highBit;  // exponent of its highest bit
    };

    static Dyadic ToDyadic(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        uint32_t const biased = (bits >> kFloatTrailingBits) & kFloatBiasedMask;
        uint32_t magnitude = bits & kFloatTrailingMask;
        int32_t exponent = kFloatSubnormalExponent;
        if (biased != 0) {
            magnitude |= (1u << kFloatTrailingBits);
            exponent = static_cast<int32_t>(biased) + kFloatSubnormalExponent - 1;
        }
        if (magnitude == 0) {
            return Dyadic{0, 0, 0};
        }
        int32_t const shift = __builtin_ctz(magnitude);
        magnitude >>= shift;
        exponent += shift;
        int32_t const length = 32 - __builtin_clz(magnitude);
        int64_t const integer =
            (bits & kSignBit) ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        return Dyadic{integer, exponent, exponent + length - 1};
    }

    // Exact sign of DotPerp(b - a, c - a) in 128-bit integers when the six coordinates span
    // few enough bits; returns false when they do not.
    static bool OrientationByInteger(Vector<2, float> const& a, Vector<2, float> const& b,
                                     Vector<2, float> const& c, int32_t& sign) {
        std::array<Dyadic, 6> const d{ToDyadic(a[0]), ToDyadic(a[1]), ToDyadic(b[0]),
                                      ToDyadic(b[1]), ToDyadic(c[0]), ToDyadic(c[1])};
        int32_t low = std::numeric_limits<int32_t>::max();
        int32_t high = std::numeric_limits<int32_t>::min();
        for (auto const& v : d) {
            if (v.integer != 0) {
                low = std::min(low, v.lowBit);
                high = std::max(high, v.highBit);
            }
        }
        if (high == std::numeric_limits<int32_t>::min()) {
            sign = 0;
            return true;
        }
        // Scaled values below 2^62 keep differences below 2^63 and each product below 2^126.
        if (high - low > kMaxIntegerSpanBits) {
            return false;
        }
        std::array<int64_t, 6> s;
        for (int32_t i = 0; i < 6; ++i) {
            s[i] = d[i].integer == 0 ? 0 : d[i].integer * (int64_t(1) << (d[i].lowBit - low));
        }
        __int128 const left = static_cast<__int128>(s[2] - s[0]) * (s[5] - s[1]);
        __int128 const right = static_cast<__int128>(s[3] - s[1]) * (s[4] - s[0]);
        sign = (left > right ? 1 : (left < right ? -1 : 0));
        return true;
    }

    static int32_t OrientationExact(Vector<2, float> const& a, Vector<2, float> const& b,
                                    Vector<2, float> const& c) {
        ComputeType const ax(a[0]), ay(a[1]), bx(b[0]), by(b[1]), cx(c[0]), cy(c[1]);
        ComputeType const det = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
        ComputeType const zero(0);
        return (zero < det ? 1 : (det < zero ? -1 : 0));
    }

    // Exact sign of DotPerp(b - a, c - a).
    static int32_t Orientation(Vector<2, float> const& a, Vector<2, float> const& b,
                               Vector<2, float> const& c) {
        int32_t sign = OrientationByDouble(a[0], a[1], b[0], b[1], c[0], c[1]);
        if (sign != 0) {
            return sign;
        }
        if (OrientationByInteger(a, b, c, sign)) {
            return sign;
        }
        return OrientationExact(a, b, c);
    }

    // Convex polygon of extreme input points (counterclockwise) with, per edge, the margin
    // that a double-evaluated orientation must exceed to prove a point strictly inside.
    // The interior filter's polygon has a vertex per direction at most.
    static constexpr size_t kFilterEdges = 8;
    // Two doubles side by side, and the outcome of comparing two.
    using Double2 = double __attribute__((vector_size(16)));
    using Mask2 = int64_t __attribute__((vector_size(16)));
    // Points the filter takes at a time.
    static constexpr int32_t kFilterBlock = 256;

    struct InteriorFilter {
        std::vector<std::array<double, 2>> vertex;
        std::vector<std::array<double, 2>> edge;
        std::vector<double> margin;
        // The same edges side by side, filled up to kFilterEdges by repeating
        // the first: every point is tested against all of them without a
        // branch per edge.
        std::array<double, kFilterEdges> vertexX{}, vertexY{}, edgeX{}, edgeY{}, edgeMargin{};

        // Whether each of `count` points lies left of every edge by more than its margin,
        // two points at a time.
        void StrictlyInside(Vector<2, float> const* p, int32_t count, bool* inside) const {
            if (vertex.empty()) {
                std::fill(inside, inside + count, false);
                return;
            }
            for (int32_t j = 0; j < count; j += 2) {
                int32_t const second = std::min(j + 1, count - 1);
                Double2 const x{p[j][0], p[second][0]};
                Double2 const y{p[j][1], p[second][1]};
                Mask2 in{-1, -1};
                for (size_t e = 0; e < kFilterEdges; ++e) {
                    Double2 const det = edgeX[e] * (y - vertexY[e]) - edgeY[e] * (x - vertexX[e]);
                    in &= det > edgeMargin[e];
                }
                inside[j] = in[0] != 0;
                inside[second] = in[1] != 0;
            }
        }

        // Lays the edges side by side, once they are all known.
        void Pad() {
            for (size_t e = 0; e < kFilterEdges && !vertex.empty(); ++e) {
                size_t const from = e < vertex.size() ? e : 0;
                vertexX[e] = vertex[from][0];
                vertexY[e] = vertex[from][1];
                edgeX[e] = edge[from][0];
                edgeY[e] = edge[from][1];
                edgeMargin[e] = margin[from];
            }
        }
    };

    // The extremes of x, y, x + y and x - y, in counterclockwise order. A point strictly left
    // of every edge of such a closed polygon of input points winds around it and so lies in
    // the interior of the hull, whichever points were picked.
    InteriorFilter MakeInteriorFilter() const {
        constexpr int32_t kNumDirections = 8;
        // Directions in counterclockwise order: -y, x-y, x, x+y, y, y-x, -x, -x-y.
        std::array<double, kNumDirections> best;
        std::array<int32_t, kNumDirections> which;
        best.fill(-std::numeric_limits<double>::infinity());
        which.fill(0);
        // A block's largest value per direction first; only a block that beats the best
        // so far is searched for the first point reaching it, as a scan point by point
        // would keep it.
        std::array<std::array<double, kFilterBlock>, kNumDirections> value;
        for (int32_t from = 0; from < numPoints; from += kFilterBlock) {
            int32_t const count = std::min(kFilterBlock, numPoints - from);
            for (int32_t j = 0; j < count; ++j) {
                double const x = points[from + j][0];
                double const y = points[from + j][1];
                value[0][j] = -y;
                value[1][j] = x - y;
                value[2][j] = x;
                value[3][j] = x + y;
                value[4][j] = y;
                value[5][j] = y - x;
                value[6][j] = -x;
                value[7][j] = -x - y;
            }
            for (int32_t k = 0; k < kNumDirections; ++k) {
                double const* const v = value[k].data();
                Double2 top2{v[0], v[count > 1 ? 1 : 0]};
                for (int32_t j = 2; j + 1 < count; j += 2) {
                    Double2 const next{v[j], v[j + 1]};
                    top2 = next > top2 ? next : top2;
                }
                double top = std::max(top2[0], top2[1]);
                if (count % 2 != 0) {
                    top = std::max(top, v[count - 1]);
                }
                if (top > best[k]) {
                    int32_t j = 0;
                    while (v[j] != top) {
                        ++j;
                    }
                    best[k] = v[j];
                    which[k] = from + j;
                }
            }
        }
        // The points are finite: their bounds are the classification's.
        double const minX = minCoordinate[0], maxX = maxCoordinate[0];
        double const minY = minCoordinate[1], maxY = maxCoordinate[1];

        InteriorFilter filter;
        for (int32_t k = 0; k < kNumDirections; ++k) {
            std::array<double, 2> const v{points[which[k]][0], points[which[k]][1]};
            if (filter.vertex.empty() || filter.vertex.back() != v) {
                filter.vertex.push_back(v);
            }
        }
        while (filter.vertex.size() > 1 && filter.vertex.back() == filter.vertex.front()) {
            filter.vertex.pop_back();
        }
        if (filter.vertex.size() < 3) {
            filter.vertex.clear();
            return filter;
        }
        double const rangeX = maxX - minX;
        double const rangeY = maxY - minY;
        size_t const n = filter.vertex.size();
        for (size_t e = 0; e < n; ++e) {
            auto const& a = filter.vertex[e];
            auto const& b = filter.vertex[(e + 1) % n];
            std::array<double, 2> const d{b[0] - a[0], b[1] - a[1]};
            filter.edge.push_back(d);
            filter.margin.push_back(kFilterErrorBound *
                                    (std::fabs(d[0]) * rangeY + std::fabs(d[1]) * rangeX));
        }
        filter.Pad();
        return filter;
    }

    // A NaN or an infinity cannot be made exact; the first one in index order fails the
    // conversion exactly as converting every point would.
    void ConvertFirstNonFinite() const {
        for (int32_t i = 0; i < numPoints; ++i) {
            for (int32_t j = 0; j < 2; ++j) {
                if (!std::isfinite(points[i][j])) {
                    ComputeType const failing(points[i][j]);
                    (void)failing;
                    throw std::runtime_error("Non-finite coordinate.");
                }
            }
        }
    }

    void ComputeFiltered() {
        ConvertFirstNonFinite();

        // The distinct points in lexicographic order decide where the merge of the two
        // halves would start the hull: only the median distinct point is needed.
        uint64_t const splitKey = MedianDistinctKey();

        // Candidates: every point not proven strictly inside, sorted, smallest index first
        // among equal points.
        InteriorFilter const filter = MakeInteriorFilter();
        std::vector<std::pair<uint64_t, int32_t>> candidates;
        std::array<bool, kFilterBlock> inside;
        for (int32_t from = 0; from < numPoints; from += kFilterBlock) {
            int32_t const count = std::min(kFilterBlock, numPoints - from);
            filter.StrictlyInside(points + from, count, inside.data());
            for (int32_t j = 0; j < count; ++j) {
                if (!inside[j]) {
                    candidates.emplace_back(LexKey(points[from + j]), from + j);
                }
            }
        }
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(
            std::unique(candidates.begin(), candidates.end(),
                        [](std::pair<uint64_t, int32_t> const& a,
                           std::pair<uint64_t, int32_t> const& b) { return a.first == b.first; }),
            candidates.end());

        // Monotone chains over the sorted candidates; collinear points are dropped.
        int32_t const numCandidates = static_cast<int32_t>(candidates.size());
        std::vector<int32_t> chain(2 * numCandidates);
        int32_t size = 0;
        auto pushWithTurn = [&](int32_t index, int32_t floor) {
            while (size >= floor + 2 && Orientation(points[chain[size - 2]],
                                                    points[chain[size - 1]], points[index]) <= 0) {
                --size;
            }
            chain[size++] = index;
        };
        for (int32_t k = 0; k < numCandidates; ++k) {
            pushWithTurn(candidates[k].second, 0);
        }
        int32_t const lowerSize = size;
        for (int32_t k = numCandidates - 2; k >= 0; --k) {
            pushWithTurn(candidates[k].second, lowerSize - 1);
        }
        // The chain ends where it began; a set on one line closes after its two ends.
        --size;
        chain.resize(size);

        // Start at the first vertex of the lower half (keys up to the median) that follows a
        // vertex of the upper half.
        int32_t start = 0;
        for (int32_t k = 0; k < size; ++k) {
            int32_t const previous = chain[(k + size - 1) % size];
            if (LexKey(points[chain[k]]) <= splitKey && LexKey(points[previous]) > splitKey) {
                start = k;
                break;
            }
        }
        hull.resize(size);
        for (int32_t k = 0; k < size; ++k) {
            hull[k] = chain[(start + k) % size];
        }

        computePoints.resize(size);
        for (int32_t k = 0; k < size; ++k) {
            computePoints[k][0] = ComputeType(points[hull[k]][0]);
            computePoints[k][1] = ComputeType(points[hull[k]][1]);
        }
        query.Set(size, computePoints.data());
    }

    static constexpr int32_t kMinPlanarPoints = 3;
    static constexpr uint32_t kSignBit = 0x80000000u;
    static constexpr uint32_t kZeroOrderedBits = 0x80000000u;
    static constexpr int32_t kFloatTrailingBits = 23;
    static constexpr uint32_t kFloatTrailingMask = 0x007FFFFFu;
    static constexpr uint32_t kFloatBiasedMask = 0xFFu;
    static constexpr int32_t kFloatSubnormalExponent = -149;
    static constexpr int32_t kMaxIntegerSpanBits = 61;
    static constexpr int32_t kMaxBuckets = 1 << 16;
    static constexpr int32_t kPointsPerBucket = 8;
    // Buckets of up to this many keys count their distinct keys without sorting.
    static constexpr int32_t kComparedBucket = 32;
    // Four times the rounding error of the double orientation formula, in units of the sum
    // of the magnitudes of its two products (unit roundoff 2^-53).
    static constexpr double kOrientationErrorBound = 1.0 / (1ull << 50);
    // Same, against a per-edge bound taken over the bounding box of the whole set.
    static constexpr double kFilterErrorBound = 1.0 / (1ull << 49);

    InputType epsilon;
    int32_t dimension;
    Line<2, InputType> line;
    std::vector<Vector<2, ComputeType>> computePoints;
    PrimalQuery2<ComputeType> query;
    int32_t numPoints;
    int32_t numUniquePoints;
    Vector<2, InputType> const* points;
    std::vector<int32_t> merged;
    std::vector<int32_t> hull;
    bool allPointsExact;
    // Coordinate bounds of the last classified set.
    Vector<2, InputType> minCoordinate, maxCoordinate;
};

}  // namespace geom
