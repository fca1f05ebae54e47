// The picture's layout and colours, and the 2D arithmetic that places a scene on a panel.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace snapshot {

/// A view's area on the picture, in pixels.
struct Panel {
    int x, y, w, h;
};

// The layout docs/outputs.md describes; tests find the corners by it.
constexpr int kHeaderHeight = 100;
constexpr Panel kTopPanel{12, 112, 720, 676};
constexpr Panel kSidePanel{744, 112, 444, 676};
// Room between the drawn box and the panel's edge for the letters, the side
// labels, the title and the scale bar.
constexpr double kFitMargin = 56.0;
// Pixels per metre at most: a box of a few millimetres is not blown up to the panel.
constexpr double kMaxScale = 4000.0;

/// A colour, 8 bits a channel.
struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb kPage{255, 255, 255};
constexpr Rgb kInk{26, 26, 26};
constexpr Rgb kViewBackground{32, 36, 40};
constexpr Rgb kViewInk{225, 228, 232};
// Amber: no colour of the colour maps, so the box stands out on any of them.
constexpr Rgb kBox{255, 196, 0};
constexpr Rgb kGround{150, 160, 170};
// Heights without a colour map: dark at the floor side, light at the top.
constexpr Rgb kLowShade{40, 70, 140};
constexpr Rgb kHighShade{215, 235, 255};

constexpr double kBoxLineWidth = 3.0;

/// A 2D point or direction in metres or pixels.
struct P2 {
    double x = 0.0, y = 0.0;
};
inline P2 operator+(P2 a, P2 b) { return {a.x + b.x, a.y + b.y}; }
inline P2 operator-(P2 a, P2 b) { return {a.x - b.x, a.y - b.y}; }
inline P2 operator*(P2 a, double s) { return {a.x * s, a.y * s}; }
inline double Dot(P2 a, P2 b) { return a.x * b.x + a.y * b.y; }
inline double Length(P2 a) { return std::sqrt(Dot(a, a)); }
inline P2 Unit(P2 a, P2 fallback) {
    const double n = Length(a);
    return n > 0.0 && std::isfinite(n) ? a * (1.0 / n) : fallback;
}

/// Uniform scale of an area of the scene onto a panel, centred, with the margin kept free.
struct Fit {
    double scale = kMaxScale;
    P2 centre;  // of the area, in metres
    P2 middle;  // of the panel, in pixels

    Fit(const Panel& panel, double minA, double maxA, double minB, double maxB) {
        const double spanA = maxA - minA;
        const double spanB = maxB - minB;
        if (spanA > 0.0) {
            scale = std::min(scale, (panel.w - 2.0 * kFitMargin) / spanA);
        }
        if (spanB > 0.0) {
            scale = std::min(scale, (panel.h - 2.0 * kFitMargin) / spanB);
        }
        centre = {(minA + maxA) / 2.0, (minB + maxB) / 2.0};
        middle = {panel.x + panel.w / 2.0, panel.y + panel.h / 2.0};
    }
    P2 operator()(P2 scene) const { return middle + (scene - centre) * scale; }
};

}  // namespace snapshot
