#pragma once

// The picture's layout as docs/outputs.md gives it, written out here
// independently of the code that draws it: where each view sits, how it fits
// the scene, and the colours a reader can rely on.

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "PngImage.h"

namespace kelvo_test {
namespace snapshot_layout {

struct PanelRect {
    double x, y, w, h;
};
constexpr PanelRect kTop{12, 112, 720, 676};
constexpr PanelRect kSide{744, 112, 444, 676};
constexpr double kMargin = 56.0;
constexpr double kMaxScale = 4000.0;

const Colour kViewBackground{32, 36, 40};
const Colour kBox{255, 196, 0};
const Colour kGround{150, 160, 170};
const Colour kHighShade{215, 235, 255};
// Antialiased strokes cover a pixel on the path fully, but allow for rounding.
constexpr int kStrokeTolerance = 12;

/// Pixels in the panels' right-hand corners: no point, letter or label reaches them.
constexpr std::array<std::pair<int, int>, 3> kEmptyPixels = {{{727, 116}, {727, 783}, {1183, 116}}};

/// The fit rule of a view: the area's box scaled uniformly into the panel, centred.
struct ViewFit {
    double scale, midU, midV, centreA, centreB;
    ViewFit(const PanelRect& p, double minA, double maxA, double minB, double maxB) {
        scale = kMaxScale;
        if (maxA > minA) scale = std::min(scale, (p.w - 2 * kMargin) / (maxA - minA));
        if (maxB > minB) scale = std::min(scale, (p.h - 2 * kMargin) / (maxB - minB));
        midU = p.x + p.w / 2;
        midV = p.y + p.h / 2;
        centreA = (minA + maxA) / 2;
        centreB = (minB + maxB) / 2;
    }
    /// The pixel a scene point falls in.
    std::pair<int, int> Pixel(double a, double b) const {
        return {static_cast<int>(std::floor(midU + (a - centreA) * scale)),
                static_cast<int>(std::floor(midV + (b - centreB) * scale))};
    }
};

/// The top view's fit of the rectangle with these four corners (x, y).
inline ViewFit TopFit(const std::array<std::array<double, 2>, 4>& corners) {
    double minX = corners[0][0], maxX = minX, minY = corners[0][1], maxY = minY;
    for (const auto& c : corners) {
        minX = std::min(minX, c[0]);
        maxX = std::max(maxX, c[0]);
        minY = std::min(minY, c[1]);
        maxY = std::max(maxY, c[1]);
    }
    return ViewFit(kTop, minX, maxX, minY, maxY);
}

}  // namespace snapshot_layout
}  // namespace kelvo_test
