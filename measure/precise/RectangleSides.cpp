#include "measure/precise/RectangleSides.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "measure/Median.h"

namespace {

// A strip counts when it holds this many points: a lone stray makes no strip.
constexpr int kMinStripPoints = 3;
// The side is this quantile of the strips' outermost offsets: the outline of a
// box lies in almost every strip, that of a round face in the middle ones only.
constexpr float kSideQuantile = 0.5f;
// Too few strips for a line to tell a turn.
constexpr int kMinStripsForTurn = 5;
// Within a strip, the outermost point counts only when the next one lies
// within this share of the strip's width of it: a lone stray beyond the
// side is skipped, the rows of a straight edge are not.
constexpr float kStripGap = 0.5f;
// The outermost points of a strip kept to find one with a neighbour.
constexpr int kOuterKept = 3;
// Points whose strips are found side by side, and the most strips for that:
// every strip's number a whole float.
constexpr std::size_t kBlockPoints = 256;
constexpr std::size_t kMostBlockStrips = std::size_t{1} << 24;

struct Strip {
    float along = 0.0f;
    int points = 0;
    // The outermost offsets, largest first, with their positions along the side.
    std::array<float, kOuterKept> outer;
    std::array<float, kOuterKept> outerAlong;

    Strip() {
        outer.fill(-std::numeric_limits<float>::max());
        outerAlong.fill(0.0f);
    }

    void Add(float o, float a) {
        ++points;
        // Most points lie inside the outermost few: nothing to shift.
        if (!(o > outer[kOuterKept - 1])) return;
        for (int i = 0; i < kOuterKept; ++i) {
            if (o > outer[i]) {
                for (int j = kOuterKept - 1; j > i; --j) {
                    outer[j] = outer[j - 1];
                    outerAlong[j] = outerAlong[j - 1];
                }
                outer[i] = o;
                outerAlong[i] = a;
                return;
            }
        }
    }

    /// The outermost point that has another within the gap inward of it.
    void Settle(float gap, float& o, float& a) const {
        int i = 0;
        while (i + 1 < kOuterKept && i + 1 < points && outer[i] - outer[i + 1] > gap) ++i;
        o = outer[i];
        a = outerAlong[i];
    }
};

/// Median of the slopes between every two strips' outermost points: a
/// straight side through corners and bulges, whatever their share below half.
float MedianSlope(const std::vector<float>& along, const std::vector<float>& outer) {
    std::vector<float> slopes;
    for (std::size_t i = 0; i < along.size(); ++i) {
        for (std::size_t j = i + 1; j < along.size(); ++j) {
            const float run = along[j] - along[i];
            if (std::fabs(run) > 1e-6f) slopes.push_back((outer[j] - outer[i]) / run);
        }
    }
    if (slopes.empty()) return std::numeric_limits<float>::quiet_NaN();
    return UpperMedian(slopes);
}

/// The least-squares slope through the strips within `near` of the line of
/// `slope` through their median: the median slope alone reads the pixel
/// grid's staircase of a slightly turned side as no turn at all.
float RefinedSlope(const std::vector<float>& along, const std::vector<float>& outer, float slope,
                   float near) {
    std::vector<float> residual(along.size());
    for (std::size_t i = 0; i < along.size(); ++i) residual[i] = outer[i] - slope * along[i];
    std::vector<float> sorted = residual;
    const float median = UpperMedian(sorted);
    double n = 0, sa = 0, so = 0, saa = 0, sao = 0;
    for (std::size_t i = 0; i < along.size(); ++i) {
        if (std::fabs(residual[i] - median) > near) continue;
        n += 1;
        sa += along[i];
        so += outer[i];
        saa += static_cast<double>(along[i]) * along[i];
        sao += static_cast<double>(along[i]) * outer[i];
    }
    const double denominator = n * saa - sa * sa;
    if (n < kMinStripsForTurn || denominator <= 0) return slope;
    return static_cast<float>((n * sao - sa * so) / denominator);
}

RectangleSides::Side FitSide(const std::vector<RectangleSides::Point>& points,
                             const RectangleSides::Point& normal, float strip) {
    // Along the side: the normal turned counterclockwise by a right angle.
    const RectangleSides::Point along = {-normal[1], normal[0]};
    float lowest = std::numeric_limits<float>::max();
    float highest = -std::numeric_limits<float>::max();
    for (const auto& p : points) {
        const float a = p[0] * along[0] + p[1] * along[1];
        lowest = std::min(lowest, a);
        highest = std::max(highest, a);
    }
    RectangleSides::Side side;
    if (points.empty()) return side;
    const auto count = static_cast<std::size_t>((highest - lowest) / strip) + 1;
    std::vector<Strip> strips(count);
    if (count > kMostBlockStrips) {
        for (const auto& p : points) {
            const float a = p[0] * along[0] + p[1] * along[1];
            const float o = p[0] * normal[0] + p[1] * normal[1];
            strips[std::min(count - 1, static_cast<std::size_t>((a - lowest) / strip))].Add(o, a);
        }
    } else {
        // A block's positions, offsets and strips first, side by side; the
        // last strip, a whole number of floats, caps the quotient before it
        // is cut to a whole strip instead of after.
        const auto last = static_cast<float>(count - 1);
        std::array<float, kBlockPoints> a, o;
        std::array<std::int32_t, kBlockPoints> at;
        for (std::size_t from = 0; from < points.size(); from += kBlockPoints) {
            const std::size_t n = std::min(kBlockPoints, points.size() - from);
            for (std::size_t j = 0; j < n; ++j) {
                const auto& p = points[from + j];
                a[j] = p[0] * along[0] + p[1] * along[1];
                o[j] = p[0] * normal[0] + p[1] * normal[1];
                const float q = (a[j] - lowest) / strip;
                at[j] = static_cast<std::int32_t>(q < last ? q : last);
            }
            for (std::size_t j = 0; j < n; ++j) strips[at[j]].Add(o[j], a[j]);
        }
    }
    std::vector<float> stripAlong, stripOuter;
    for (const Strip& s : strips) {
        if (s.points < kMinStripPoints) continue;
        float o, a;
        s.Settle(kStripGap * strip, o, a);
        stripOuter.push_back(o);
        stripAlong.push_back(a);
    }
    if (stripOuter.empty()) return side;
    side.strips = static_cast<int>(stripOuter.size());
    side.outermost = *std::max_element(stripOuter.begin(), stripOuter.end());

    std::vector<float> outer = stripOuter;
    const auto at =
        static_cast<std::size_t>(kSideQuantile * static_cast<float>(outer.size() - 1) + 0.5f);
    std::nth_element(outer.begin(), outer.begin() + static_cast<std::ptrdiff_t>(at), outer.end());
    side.offset = outer[at];

    side.turn = std::numeric_limits<float>::quiet_NaN();
    if (side.strips >= kMinStripsForTurn) {
        const float slope = MedianSlope(stripAlong, stripOuter);
        if (!std::isnan(slope))
            side.turn = -std::atan(RefinedSlope(stripAlong, stripOuter, slope, kStripGap * strip));
    }
    return side;
}

}  // namespace

RectangleSides::RectangleSides(const std::vector<Point>& points, const Point& axis0,
                               const Point& axis1, float strip) {
    const std::array<Point, 4> normals = {Point{axis0[0], axis0[1]}, Point{-axis0[0], -axis0[1]},
                                          Point{axis1[0], axis1[1]}, Point{-axis1[0], -axis1[1]}};
    for (int k = 0; k < 4; ++k) sides[k] = FitSide(points, normals[k], strip);
}
