#include "measure/precise/PreciseBox.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>

#include "measure/Median.h"
#include "measure/goods/SurfaceSupport.h"
#include "measure/precise/RectangleSides.h"
#include "measure/precise/RoundFace.h"
#include "measure/precise/SilhouetteOutline.h"
#include "measure/precise/SurfaceTop.h"
#include "measure/precise/TopLevel.h"

namespace {

using Vector2 = PreciseBox::Vector2;

// Strips along a side: two to three pixel pitches of a camera 1.5 to 2.5 m
// away, and at least kStripPitches pitches of a sparser scan.
constexpr float kStrip = 0.01f;
constexpr float kStripPitches = 2.5f;
// The given axes are turned by the median of the sides' own turns, up to this
// much; beyond it the face is no rectangle and the axes stay.
constexpr float kMaxTurn = 0.05f;  // about 3 degrees
// The pixel pitch on the top face, from its area and points, is kept within these.
constexpr float kMinPitch = 0.001f;
constexpr float kMaxPitch = 0.02f;
// A surface point's neighbours (SurfaceSupport's kPitches, kDepthRadii, kNeeded).
constexpr float kSupportPitches = SurfaceSupport::kPitches;
constexpr int kSupportNeeded = SurfaceSupport::kNeeded;
constexpr float kSupportDepthRadii = SurfaceSupport::kDepthRadii;
// Beyond a side of goods without a flat top, a surface holds as many
// neighbours as half a disc at a face's outline: below a rounded edge the
// camera returns several mixed pixels per column, a sheet dense enough to
// hold the ten that suffice beside a flat face's edge.
constexpr int kRoundedSideNeeded = kSupportNeeded + 4;
// A point of the foot below the cut is joined pixel by pixel to the goods
// already: on a flank seen at a grazing angle its outermost row holds half
// the neighbours of a surface's.
constexpr int kFootNeeded = kSupportNeeded / 2;
// The mixed pixels below a flat top's edge join its foot below the cut
// within a pitch or two beyond the edge; a foot that runs on further is the
// goods' own surface.
constexpr float kFootBeyondPitches = 3.0f;
// What an outlier filter kept of a surface lies within this many pitches of
// any point of it: the filter takes one to three pitches off an outline.
constexpr float kFilteredPitches = 5.0f;
// A face moves out to the farthest point of a surface beyond it, searched
// in slices of this depth from the farthest point down.
constexpr float kSliceDepth = 0.05f;
// How far the outermost sample of a face lies inside its true edge, in pixel
// pitches, as the median strip finds it. Any side keeps about a quarter of a
// pitch. A side along the rows or columns of the pixel grid is sampled at one
// phase along all its length: its last column of samples lies anywhere from
// nothing to a pitch inside the edge, and half a pitch is both the mean and
// the value that keeps the error within half a pitch either way; a side turned
// so that a strip spans a pitch across the grid has rows of every phase.
// Where the camera returns mixed pixels on the depth edge, the pixel that
// straddles it leaves the face, and the outline lies half a pitch further in.
constexpr float kBaseDeficit = 0.25f;
constexpr float kAlignedDeficit = 0.25f;
constexpr float kMixedDeficit = 0.5f;
// Mixed pixels: beyond the side by half a pitch up to this, below the face,
// on no surface, at least this many per pixel row along the side. Below the
// edge of goods 60 mm high they lie within a pitch of it.
constexpr float kMixedFrom = 0.5f;
constexpr float kMixedReach = 0.1f;
constexpr float kMixedPerRow = 0.3f;
constexpr std::size_t kMixedSample = 4000;
// A wall of the goods below a side: at least two points per pixel row along
// it within 0.1 m under the face, from a pitch inside the fitted side to two
// beyond (the rows of mixed pixels hold one per row).
constexpr float kWallDepth = 0.1f;
constexpr float kWallPitches = 2.0f;
constexpr float kWallPerRow = 2.0f;
// Cells of the highest surface's medians: some sixteen points of a face
// each, and at the top of a dome no more than a quarter millimetre of its
// curve.
constexpr float kTopCellPitches = 4.0f;
// A face's band is three standard deviations of its noise either way; the
// densest layer of a curved top spreads over more than twice that.
constexpr float kCurvedBandNoises = 6.0f;
// A side whose rays lean outward over the goods' whole height by no more than
// this many pitches faces the camera or lies under it: no sheet of mixed
// pixels and no hidden flank lies beyond it by more than the run and half a
// pixel, a pixel in all. (The sides of low goods near the camera's axis lean
// out a pitch or more: their mixed pixels lie further.)
constexpr float kFacingRunPitches = 0.5f;

Vector2 Turned(const Vector2& v, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {c * v[0] - s * v[1], s * v[0] + c * v[1]};
}

float Dot(const Vector2& a, float x, float y) { return a[0] * x + a[1] * y; }

/// The points beyond a side of the box, how far each, and the farthest.
struct Beyond {
    std::vector<PreciseBox::Point> points;
    std::vector<float> excess;
    float farthest = 0.0f;
};

/// Median of the known turns of the sides, 0 when none is known.
float MedianTurn(const RectangleSides& sides) {
    std::vector<float> turns;
    for (int k = 0; k < 4; ++k) {
        if (!std::isnan(sides.Get(k).turn)) turns.push_back(sides.Get(k).turn);
    }
    if (turns.empty()) return 0.0f;
    std::sort(turns.begin(), turns.end());
    const std::size_t n = turns.size();
    return n % 2 == 1 ? turns[n / 2] : (turns[n / 2 - 1] + turns[n / 2]) / 2;
}

/// The pixel pitch on the face: its area per point, within kMinPitch and kMaxPitch.
float Pitch(const RectangleSides& sides, std::size_t points) {
    const auto across = [&sides](int a, int b) {
        const bool fitted = sides.Get(a).strips > 0 && sides.Get(b).strips > 0;
        return fitted ? std::max(0.0f, sides.Get(a).offset + sides.Get(b).offset) : 0.0f;
    };
    if (points == 0) return kMaxPitch;
    const float area = across(0, 1) * across(2, 3);
    return std::min(kMaxPitch, std::max(kMinPitch, std::sqrt(area / static_cast<float>(points))));
}

}  // namespace

PreciseBox::PreciseBox(const std::vector<Point>& points, const Vector2& origin,
                       const Vector2& axis0, const Vector2& axis1, float division,
                       const std::vector<Point>& filtered, const std::vector<Point>& foot) {
    std::vector<float> heights;
    heights.reserve(points.size());
    for (const Point& p : points) heights.push_back(p[2]);
    const TopLevel level(heights);
    if (!level.Found()) return;

    std::vector<RectangleSides::Point> face;
    for (const Point& p : points) {
        if (std::fabs(p[2] - level.Level()) <= level.Band())
            face.push_back({p[0] - origin[0], p[1] - origin[1]});
    }
    axis = {axis0, axis1};
    // Strips of at least kStripPitches pitches, so that each holds a few
    // rows of a sparse scan too.
    RectangleSides sides(face, axis[0], axis[1], kStrip);
    const float strip = std::max(kStrip, kStripPitches * Pitch(sides, face.size()));
    // A dense scan keeps the narrowest strips: the sides are fitted already.
    if (strip != kStrip) sides = RectangleSides(face, axis[0], axis[1], strip);
    const float turn = MedianTurn(sides);
    if (turn != 0.0f && std::fabs(turn) <= kMaxTurn) {
        axis = {Turned(axis0, turn), Turned(axis1, turn)};
        sides = RectangleSides(face, axis[0], axis[1], strip);
    }

    // Outward normals of sides 0..3 and their offsets from the origin.
    const std::array<Vector2, 4> normal = {axis[0], Vector2{-axis[0][0], -axis[0][1]}, axis[1],
                                           Vector2{-axis[1][0], -axis[1][1]}};
    std::array<float, 4> offset;
    for (int k = 0; k < 4; ++k) {
        offset[k] = sides.Get(k).offset;
        if (sides.Get(k).strips == 0) {
            // No face along this side: its outermost point bounds it.
            offset[k] = -std::numeric_limits<float>::max();
            for (const Point& p : points) {
                offset[k] = std::max(offset[k], Dot(normal[k], p[0] - origin[0], p[1] - origin[1]));
            }
        }
    }
    // A round face reaches the sides fitted along its many points in their
    // middle strips only, and the crescent beyond holds too few points to
    // bear out a surface: its outermost samples bound the box (below).
    std::array<float, 4> outermost{};
    bool fourSides = true;
    for (int k = 0; k < 4; ++k) {
        outermost[k] = sides.Get(k).outermost;
        fourSides = fourSides && sides.Get(k).strips > 0;
    }
    const bool roundFace = fourSides && RoundFace(face, axis[0], axis[1], outermost).Round();
    top = level.Level();

    const float pitch = Pitch(sides, face.size());
    const float radius = kSupportPitches * pitch;
    // The filter erodes a surface's outline by a few pitches: a point of a
    // surface it kept has a kept point within kFilteredPitches of it.
    // Indexed on first use: most goods show no surface beyond their faces.
    const float keptRadius = kFilteredPitches * pitch;
    std::optional<SurfaceSupport> kept;
    const auto onKeptSurface = [&](const SurfaceSupport::Point& p) {
        if (filtered.empty()) return true;
        if (!kept) kept.emplace(filtered, keptRadius, keptRadius);
        return kept->Near(p, 1) > 0;
    };
    // Goods without a flat top (a dome, a bulge, a lying cylinder) rise above
    // their densest layer gradually, each pitch of them too sparse a layer of
    // its own: their highest surface is where the cells' medians reach, and
    // their outline lies on flanks seen at a grazing angle.
    const SurfaceTop surface(points, kTopCellPitches * pitch);
    // A densest layer spread over more than twice a face's band, and over
    // more than the division, is a curved top (a lying cylinder's ridge seen
    // off the camera's axis), however little the goods rise above it: no face
    // to fit the sides to. (The faces of a scan quantised to whole
    // millimetres show no noise at all.)
    const bool curvedTop =
        surface.Found() && level.Band() > std::max(division, kCurvedBandNoises * surface.Noise());
    const bool lifted =
        surface.Found() && level.Level() - surface.Highest() > std::max(division, surface.Lift());
    const bool rounded = curvedTop || lifted;
    // Above the face by more than its noise and the division: goods higher than the face.
    const float rise = std::max(division, level.Band());

    // Goods beyond a face by more than the limit, judged on their own: the
    // noise of the face itself, or its outline, must not lend support to a
    // mixed pixel or a stray just beyond it.
    // The points beyond sides from..to-1 by more than `least` (k < 4 along
    // the side's normal, k = 4 above the face) and how far, in one pass.
    // Counted first and then stored in room made once: beside a pallet or a
    // lower part of the goods, hundreds of thousands of points lie beyond.
    const auto collect = [&](int from, int to, float least) {
        const auto beyondBy = [&](int k, const Point& p) {
            return k < 4 ? Dot(normal[k], p[0] - origin[0], p[1] - origin[1]) - offset[k]
                         : (top - rise) - p[2];
        };
        std::array<std::size_t, 5> count{};
        for (const Point& p : points) {
            for (int k = from; k < to; ++k) count[k] += beyondBy(k, p) > least ? 1 : 0;
        }
        std::array<Beyond, 5> beyond;
        for (int k = from; k < to; ++k) {
            beyond[k].farthest = least;
            beyond[k].points.reserve(count[k]);
            beyond[k].excess.reserve(count[k]);
        }
        for (const Point& p : points) {
            for (int k = from; k < to; ++k) {
                const float e = beyondBy(k, p);
                if (e > least) {
                    beyond[k].points.push_back(p);
                    beyond[k].excess.push_back(e);
                    beyond[k].farthest = std::max(beyond[k].farthest, e);
                }
            }
        }
        return beyond;
    };
    const auto reach = [&](int k, float least, const Beyond& found) {
        const int needed = rounded && k < 4 ? kRoundedSideNeeded : kSupportNeeded;
        const std::vector<SurfaceSupport::Point>& beyond = found.points;
        const std::vector<float>& excess = found.excess;
        const float farthest = found.farthest;
        // From the farthest down, one slice at a time: a point's neighbours
        // lie within the search radius of it along the normal too, so only
        // the slice and a radius around it need indexing. The farthest
        // surface is usually in the first slice, however much lies beyond.
        std::vector<SurfaceSupport::Point> slice;
        std::vector<float> sliceExcess;
        std::vector<std::size_t> order;
        for (float upper = farthest; upper > least; upper -= kSliceDepth) {
            const float lower = std::max(least, upper - kSliceDepth);
            slice.clear();
            sliceExcess.clear();
            for (std::size_t i = 0; i < beyond.size(); ++i) {
                if (excess[i] > lower - radius && excess[i] <= upper + radius) {
                    slice.push_back(beyond[i]);
                    sliceExcess.push_back(excess[i]);
                }
            }
            order.clear();
            for (std::size_t i = 0; i < slice.size(); ++i) {
                if (sliceExcess[i] > lower && sliceExcess[i] <= upper) order.push_back(i);
            }
            // The farthest supported point is what counts, and it is usually
            // among the first few: they come off a heap one at a time rather
            // than all being sorted. Among equal excesses any one will do.
            const auto lessFar = [&](std::size_t a, std::size_t b) {
                return sliceExcess[a] < sliceExcess[b];
            };
            // The farthest of all is tried before the slice is indexed or any
            // heap is built, in one pass over the slice.
            const float depth = kSupportDepthRadii * radius;
            const auto farthestAt = std::max_element(order.begin(), order.end(), lessFar);
            if (farthestAt != order.end() &&
                SurfaceSupport::NeighboursAmong(slice, *farthestAt, radius, depth, needed) >=
                    needed &&
                onKeptSurface(slice[*farthestAt]))
                return sliceExcess[*farthestAt];
            const SurfaceSupport support(slice, radius, depth);
            std::make_heap(order.begin(), order.end(), lessFar);
            for (auto last = order.end(); last != order.begin(); --last) {
                std::pop_heap(order.begin(), last, lessFar);
                const std::size_t i = *(last - 1);
                if (support.Supported(i, needed) && onKeptSurface(slice[i])) return sliceExcess[i];
            }
        }
        return 0.0f;
    };
    // The sampling deficit of an outline along side k without mixed pixels
    // (see kBaseDeficit).
    const auto sampled = [&](int k) {
        const float across = std::min(std::fabs(normal[k][0]), std::fabs(normal[k][1]));
        const float along = std::max(std::fabs(normal[k][0]), std::fabs(normal[k][1]));
        const float aligned = std::max(0.0f, 1.0f - across / along * strip / pitch);
        return pitch * (kBaseDeficit + kAlignedDeficit * aligned);
    };
    std::array<bool, 4> mixedEdge = {false, false, false, false};
    // The deficit of the outline along side k: sampled, and half a pitch
    // more where mixed pixels stand on its edge (see kMixedDeficit).
    const auto edgeDeficit = [&](int k) {
        return sampled(k) + (mixedEdge[k] ? kMixedDeficit * pitch : 0.0f);
    };
    // Below the face, per fitted side: the offsets of a wall under it; then,
    // only for the sides that show no wall, the points where mixed pixels
    // would lie.
    const float faceBottom = level.Level() + level.Band();
    const auto excess = [&](int k, const Point& p) {
        return Dot(normal[k], p[0] - origin[0], p[1] - origin[1]) - offset[k];
    };
    std::array<std::vector<float>, 4> walls;
    for (const Point& p : points) {
        if (p[2] <= faceBottom || !(p[2] < faceBottom + kWallDepth)) continue;
        for (int k = 0; k < 4; ++k) {
            if (sides.Get(k).strips == 0) continue;
            const float e = excess(k, p);
            if (e > -pitch && e < kWallPitches * pitch) walls[k].push_back(e);
        }
    }
    const auto rowsAlong = [&](int k) {
        return (k < 2 ? offset[2] + offset[3] : offset[0] + offset[1]) / pitch;
    };
    // A face too narrow for a row of pixels (rows not above 0) has no wall to tell.
    const auto showsWall = [&](int k) {
        return !walls[k].empty() &&
               static_cast<float>(walls[k].size()) >= kWallPerRow * rowsAlong(k);
    };
    std::array<bool, 4> wallless;
    for (int k = 0; k < 4; ++k) wallless[k] = sides.Get(k).strips > 0 && !showsWall(k);
    std::array<std::vector<SurfaceSupport::Point>, 4> belows;
    if (std::find(wallless.begin(), wallless.end(), true) != wallless.end()) {
        for (const Point& p : points) {
            if (p[2] <= faceBottom) continue;
            for (int k = 0; k < 4; ++k) {
                if (!wallless[k]) continue;
                const float e = excess(k, p);
                if (e > kMixedFrom * pitch && e < kMixedReach) belows[k].push_back(p);
            }
        }
    }
    // How far the true outline lies beyond a fitted side: where a wall of the
    // goods is seen below it, the wall's own offset; otherwise the sampling
    // deficit (see kBaseDeficit).
    const auto outline = [&](int k) {
        std::vector<SurfaceSupport::Point>& below = belows[k];
        const float rows = rowsAlong(k);
        if (showsWall(k)) return UpperMedian(walls[k]);
        bool mixed = false;
        if (static_cast<float>(below.size()) >= kMixedPerRow * rows) {
            // Counted on a sample where a surface (a pallet's deck) lies beyond.
            const SurfaceSupport support(below, radius, kSupportDepthRadii * radius);
            const std::size_t stride = below.size() / kMixedSample + 1;
            std::size_t strays = 0;
            for (std::size_t i = 0; i < below.size(); i += stride) {
                strays += support.Supported(i, kSupportNeeded) ? 0 : 1;
            }
            mixed = static_cast<float>(strays * stride) >= kMixedPerRow * rows;
        }
        mixedEdge[k] = mixed;
        return edgeDeficit(k);
    };
    // The sides on the outline, then out to the goods wherever a surface of
    // them stands beyond it by more than half the division (plus the
    // sampling deficit of that surface's own outline), so that
    // no dimension is short of the goods by more than the division.
    std::array<float, 4> moved = offset;
    for (int k = 0; k < 4; ++k) {
        if (sides.Get(k).strips > 0) moved[k] += outline(k);
    }
    offset = moved;
    // Goods without a flat top: a flank's base hidden under the sheet of
    // mixed pixels at its silhouette. Only where the goods rise above their
    // densest layer (a dome): a curved top that does not is a lying
    // cylinder's ridge, whose widest point stands below its silhouette with
    // an undercut below it, and hides no base beyond.
    const SilhouetteOutline silhouette(points, pitch);
    const std::array<Beyond, 5> sidesBeyond = collect(0, 4, division / 2);
    for (int k = 0; k < 4; ++k) {
        float further = reach(k, division / 2, sidesBeyond[k]);
        if (lifted)
            further =
                std::max(further, silhouette.Beyond(origin, normal[k], offset[k], division / 2));
        if (further > 0.0f)
            moved[k] += further + edgeDeficit(k);
    }
    offset = moved;
    // Goods without a flat top: their outline is where their surface ends.
    // The sides above are fitted to a face, which on a lying cylinder or a
    // dome ends well inside the flanks that widen below it, and seen at a
    // grazing angle those flanks are too sparse beyond a side to bear out a
    // surface of their own; beside the rest of the goods they do. The foot
    // below the cut is the goods' surface already, kept or not by the filter.
    // Goods with a flat top go straight down below its outline, and their
    // foot with them, but for the mixed pixels of its edge; where the foot
    // runs on beyond a side by more than those (a wedge's thin end below the
    // cut), the side moves out to it as to any surface beyond it.
    const float footBeyond = std::max(division / 2, kFootBeyondPitches * pitch);
    if (rounded || !foot.empty()) {
        std::vector<Point> whole(points);
        whole.insert(whole.end(), foot.begin(), foot.end());
        const SurfaceSupport goods(whole, radius, kSupportDepthRadii * radius);
        const int footNeeded = rounded ? kFootNeeded : kSupportNeeded;
        // Where a side faces the camera (see kFacingRunPitches), a flank seen
        // edge-on from above stacks its points in columns, each a pixel row
        // apart and tens of millimetres deeper than the last: too steep for
        // the surface's depth, and too sparse for the outlier filter to keep.
        // There a point counts with the neighbours of its column at any
        // depth, kept by the filter or not: a stray beside the goods passes
        // only within the search radius of their outline.
        float lowest = top;
        for (const Point& p : whole) lowest = std::max(lowest, p[2]);
        std::optional<SurfaceSupport> columns;
        for (int k = 0; k < 4; ++k) {
            float outermost = 0.0f;
            float column = 0.0f;
            const float across = Dot(normal[k], origin[0], origin[1]) + offset[k];
            const bool facing = rounded && top > 0.0f &&
                                across * (lowest - top) / top <= kFacingRunPitches * pitch;
            if (facing && !columns) {
                columns.emplace(whole, radius, std::numeric_limits<float>::max());
            }
            for (std::size_t i = rounded ? 0 : points.size(); i < whole.size(); ++i) {
                const Point& p = whole[i];
                const float e = Dot(normal[k], p[0] - origin[0], p[1] - origin[1]) - offset[k];
                if (e > outermost &&
                    goods.Supported(i, i < points.size() ? kSupportNeeded : footNeeded) &&
                    (i >= points.size() || onKeptSurface(p)))
                    outermost = e;
                if (facing && e > column && columns->Supported(i, kSupportNeeded)) column = e;
            }
            if (rounded) {
                // The last point of a flank lies inside its outline by the
                // sampling deficit, as a face's does: a lying cylinder along
                // the pixel rows shows its flank's last row up to a pitch in.
                // A column's last point may be the mixed pixel that straddles
                // the outline already, and takes none.
                if (outermost > 0.0f || column > 0.0f)
                    offset[k] += std::max(outermost > 0.0f ? outermost + sampled(k) : 0.0f, column);
            } else if (outermost > footBeyond) {
                offset[k] += outermost + sampled(k);
            }
        }
    }
    // k = 4: above the face. Goods without a flat top reach up to the
    // highest of the cells' medians, which noise does not lift: over a
    // bulging top seen with 6 mm of range noise, enough points stand 15 mm
    // higher to pass for a surface above it.
    if (rounded) {
        top = surface.Top();
    } else if (surface.Found() && level.Level() - surface.Highest() > surface.Lift() &&
               level.Band() > kCurvedBandNoises * surface.Noise()) {
        // A curved top (a lying cylinder's ridge) rising less than the
        // division above its densest layer: that layer is no face.
        top = surface.Top();
    } else {
        const float higher = reach(4, 0.0f, collect(4, 5, 0.0f)[4]);
        if (higher > 0.0f) top = top - rise - higher;
    }

    if (roundFace) {
        for (int k = 0; k < 4; ++k) offset[k] = std::max(offset[k], outermost[k] + edgeDeficit(k));
    }

    extent = {(offset[0] + offset[1]) / 2, (offset[2] + offset[3]) / 2};
    const float shift0 = (offset[0] - offset[1]) / 2;
    const float shift1 = (offset[2] - offset[3]) / 2;
    center = {origin[0] + shift0 * axis[0][0] + shift1 * axis[1][0],
              origin[1] + shift0 * axis[0][1] + shift1 * axis[1][1]};
    fitted = true;
}
