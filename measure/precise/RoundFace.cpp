#include "measure/precise/RoundFace.h"

#include <cstddef>

namespace {

// The corner cells span this share of the rectangle's sides from each corner.
constexpr float kCornerShare = 0.15f;
// A face whose corner cells hold less than this share of what a full
// rectangle puts there is round: a disc leaves them empty, a bag whose edges
// are rounded by a fifth of its smaller side fills seven tenths.
constexpr float kRoundFill = 0.25f;
// Fewer points than this expected in the corners tell nothing (a face
// 0.1 m across seen at a 5 mm pitch puts some 28 there).
constexpr float kLeastExpected = 12.0f;

}  // namespace

RoundFace::RoundFace(const std::vector<Point>& face, const Point& axis0, const Point& axis1,
                     const std::array<float, 4>& outermost) {
    const float high0 = outermost[0], low0 = -outermost[1];
    const float high1 = outermost[2], low1 = -outermost[3];
    const float cell0 = kCornerShare * (high0 - low0);
    const float cell1 = kCornerShare * (high1 - low1);
    if (!(cell0 > 0.0f && cell1 > 0.0f)) return;
    std::size_t inCorners = 0;
    for (const Point& p : face) {
        const float a = p[0] * axis0[0] + p[1] * axis0[1];
        const float b = p[0] * axis1[0] + p[1] * axis1[1];
        const bool end0 = a > high0 - cell0 || a < low0 + cell0;
        const bool end1 = b > high1 - cell1 || b < low1 + cell1;
        if (end0 && end1) ++inCorners;
    }
    // The four cells of a face that fills its rectangle.
    const float expected = 4.0f * kCornerShare * kCornerShare * static_cast<float>(face.size());
    if (expected < kLeastExpected) return;
    round = static_cast<float>(inCorners) < kRoundFill * expected;
}
