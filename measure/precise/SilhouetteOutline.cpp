#include "measure/precise/SilhouetteOutline.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "measure/Median.h"

namespace {

// Points of one ray bundle: their rays meet the support within half a pitch
// of each other, and they lie within four pitches along the side (the
// outermost pixels of a curved outline step two to three pitches apart).
constexpr float kBundleAlong = 4.0f;
constexpr float kBundleAcross = 0.5f;
// A silhouette is seen by a few pixels; a stray or a flying pixel is one.
constexpr std::size_t kBundleMates = 2;
// The outermost bundles that decide whether a side is an edge or a flank.
constexpr std::size_t kVotes = 9;
// The sheet: points whose rays reach the support within two pitches of the
// outermost ray's.
constexpr float kSheetPitches = 2.0f;
// The surface inside the sheet: three to five pitches in. A flank rises on
// by more than two pitches there; an edge's top (a box's, a bag's, the end of
// a lying cylinder) lies about level.
constexpr float kInnerFrom = 3.0f;
constexpr float kInnerTo = 5.0f;
constexpr float kFlankRise = 2.0f;
// With range noise of several millimetres the sheet's highest point stands
// that much above the flank it lies on, and the inside's median does not
// rise above it by two pitches where the rays run down a low flank (a 150 mm
// dome seen 15 degrees off vertical through 6 mm of noise). Their highest
// points stand alike above their surfaces: where the highest point inside
// rises above the sheet's by this much, and the sheet stays below the bound
// of half the goods as the silhouette does, the side is a flank too. The
// sheet of a lying cylinder's side reaches higher than the bound, over the
// widest part of the goods.
constexpr float kFlankRiseHighest = 2.5f;
// Rays meet a dome's flank low on it: a hemisphere's silhouette stands the
// sine of the rays' angle off vertical of its height up, a third at 20
// degrees. A lying cylinder's stands half its height up and higher, a bag's
// near its top: a silhouette higher than half the goods is the rounded edge
// of a top with a wall or an undercut below it, which hides no base beyond.
// Off the camera's axis the bound rises with the rays' angle, as a lying
// cylinder's silhouette does (half its height, and the sine of the angle of
// the upper half): seen 17 degrees off vertical, the outermost rays of a
// dome 150 mm high run along its flank up to 55 to 60 % of it, and a bound
// of half the goods took that flank for an edge and left the dome 25 mm
// narrow.
constexpr float kFlankShare = 0.5f;
// The sheet's top stands for the silhouette where the rays run about
// vertically. Where they run outward more steeply than this, the flank runs
// along them for tens of millimetres above the silhouette and lifts the
// sheet's top over half the goods (a 0.6 m dome seen 20 degrees off
// vertical): the highest point on the outermost rays stands for it.
constexpr float kSteepRays = 0.15f;
// Where the base lies under the sheet, as a share of the sheet's run in from
// the reach. A sphere's base lies half-way, under the true silhouette. But
// the highest point on the outermost rays stands above the silhouette where
// the rays run nearly down the flank (a camera almost overhead): for tens of
// millimetres above the silhouette the surface meets the support within the
// bundle's half pitch too, and passes for the sheet (on a 0.6 m dome seen 7
// degrees off vertical, 45 to 65 mm up for a silhouette at 23 mm). Half that
// run put such a dome's base 2 to 4 mm inside it. A quarter keeps it
// enclosed; on a true sheet of mixed pixels it errs outward by a quarter of
// the sheet's run.
constexpr float kBaseInRun = 0.25f;
// How far inside a side the sheets and the surfaces inside them are looked
// for, in pitches.
constexpr float kZonePitches = 50.0f;

}  // namespace

SilhouetteOutline::SilhouetteOutline(const std::vector<Point>& points, float pitch)
    : points(points), pitch(pitch), support(0.0f) {
    float highest = std::numeric_limits<float>::max();
    for (const Point& p : points) {
        support = std::max(support, p[2]);
        highest = std::min(highest, p[2]);
    }
    height = points.empty() ? 0.0f : support - highest;
}

float SilhouetteOutline::Beyond(const Vector2& origin, const Vector2& normal, float offset,
                                float least) const {
    const Vector2 along = {-normal[1], normal[0]};
    const float originAcross = normal[0] * origin[0] + normal[1] * origin[1];
    const float originAlong = along[0] * origin[0] + along[1] * origin[1];
    struct Sample {
        float across;  // along the normal, from the origin
        float along;
        float reach;   // where its ray meets the support, along the normal
        float height;  // over the support
        float tilt;    // outward run of its ray per unit of depth
    };
    std::vector<Sample> zone;
    for (const Point& p : points) {
        if (!(p[2] > 0.0f)) continue;
        const float out = normal[0] * p[0] + normal[1] * p[1];
        if (out - originAcross <= offset - kZonePitches * pitch) continue;
        zone.push_back({out - originAcross, along[0] * p[0] + along[1] * p[1] - originAlong,
                        out * (support / p[2]) - originAcross, support - p[2], out / p[2]});
    }
    std::sort(zone.begin(), zone.end(),
              [](const Sample& a, const Sample& b) { return a.along < b.along; });
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < zone.size(); ++i) {
        if (zone[i].across > offset + least && zone[i].tilt > 0.0f) candidates.push_back(i);
    }
    std::sort(candidates.begin(), candidates.end(),
              [&](std::size_t a, std::size_t b) { return zone[a].reach > zone[b].reach; });

    // The outermost bundles, farthest reach first: each an edge or a flank.
    std::size_t votes = 0;
    float widest = offset + least;
    std::vector<float> flanks, inside;
    for (std::size_t ci : candidates) {
        const Sample& c = zone[ci];
        const auto lo = std::lower_bound(zone.begin(), zone.end(), c.along - kBundleAlong * pitch,
                                         [](const Sample& a, float v) { return a.along < v; });
        const auto hi = std::upper_bound(lo, zone.end(), c.along + kBundleAlong * pitch,
                                         [](float v, const Sample& a) { return v < a.along; });
        std::size_t mates = 0;
        float top = c.height;
        // The silhouette: the highest point on the outermost rays.
        float silhouette = c.height;
        inside.clear();
        for (auto it = lo; it != hi; ++it) {
            const float in = c.reach - it->reach;
            if (&*it != &c && std::fabs(in) <= kBundleAcross * pitch) {
                ++mates;
                silhouette = std::max(silhouette, it->height);
            }
            if (in >= -kBundleAcross * pitch && in <= kSheetPitches * pitch) top = std::max(top, it->height);
            if (in >= kInnerFrom * pitch && in <= kInnerTo * pitch) inside.push_back(it->height);
        }
        if (mates < kBundleMates || inside.empty()) continue;
        ++votes;
        const float seen = c.tilt > kSteepRays ? silhouette : top;
        const float sine = c.tilt / std::sqrt(1.0f + c.tilt * c.tilt);
        const float bound = kFlankShare * (1.0f + sine) * height;
        const float insideHighest = *std::max_element(inside.begin(), inside.end());
        const bool rises = UpperMedian(inside) - top >= kFlankRise * pitch ||
                           (insideHighest - top >= kFlankRiseHighest * pitch && top < bound);
        if (rises && seen < bound) {
            // The sheet runs from the silhouette down to the support along
            // the outermost rays; the base lies part of its run in from the
            // reach (see kBaseInRun).
            flanks.push_back(c.reach - kBaseInRun * c.tilt * silhouette);
        }
        if (votes == kVotes) break;
    }
    if (2 * flanks.size() > votes)
        widest = std::max(widest, *std::max_element(flanks.begin(), flanks.end()));
    return widest > offset + least ? widest - offset : 0.0f;
}
