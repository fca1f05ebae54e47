// The scale bar in a view's lower left corner.
#include "cloud/snapshot/SnapshotScaleBar.h"

#include <cmath>
#include <string>

namespace snapshot {

namespace {

// Length the scale bar aims at; it takes the nearest 1, 2 or 5 times a power of ten.
constexpr double kScaleBarPixels = 150.0;

/// 1, 2 or 5 times a power of ten metres, near the length kScaleBarPixels stands for.
double ScaleBarLength(double scale) {
    const double target = kScaleBarPixels / scale;
    const double power = std::pow(10.0, std::floor(std::log10(target)));
    double best = power;
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        if (std::fabs(step * power - target) < std::fabs(best - target)) {
            best = step * power;
        }
    }
    return best;
}

}  // namespace

void ScaleBar(Painter& painter, const Panel& panel, double scale) {
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        return;
    }
    const double metres = ScaleBarLength(scale);
    const double pixels = metres * scale;
    const P2 left{panel.x + 16.0, panel.y + panel.h - 16.0};
    const P2 right = left + P2{pixels, 0.0};
    painter.Line(left, right, kViewInk, 3.0);
    painter.Line(left - P2{0.0, 6.0}, left, kViewInk, 2.0);
    painter.Line(right - P2{0.0, 6.0}, right, kViewInk, 2.0);
    const std::string label = metres >= 1.0 ? Format("%g m", metres) : Millimetres(metres);
    painter.Text(label, left + P2{pixels + 10.0, 0.0}, 14.0, false, kViewInk, Align::Left);
}

}  // namespace snapshot
