// What a picture draws of one cloud, and the colour each of its points gets.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "cloud/Cloud.h"
#include "cloud/snapshot/SnapshotLayout.h"

namespace snapshot {

/// What a picture draws of one cloud, gathered once.
struct Scene {
    std::array<P2, 4> base;  // A..D in x, y
    P2 centre;
    P2 along;             // unit direction of the longer side, rightward on the top view
    P2 across;            // unit direction of the shorter side, downward on the top view
    double length = 0.0;  // of the longer side, metres, as drawn
    double zTop = 0.0;    // smallest z: nearest the camera
    double zBottom = 0.0;
    bool longSideAB = true;

    explicit Scene(const Cloud& cloud) {
        for (int i = 0; i < 4; ++i) {
            base[i] = {cloud.GetInboundCorner(0, i), cloud.GetInboundCorner(1, i)};
            centre = centre + base[i] * 0.25;
        }
        zTop = cloud.GetInboundCorner(2, 0);
        zBottom = cloud.GetInboundCorner(2, 4);
        const double ab = Length(base[1] - base[0]);
        const double bc = Length(base[2] - base[1]);
        longSideAB = !(bc > ab);
        const P2 longSide = longSideAB ? base[1] - base[0] : base[2] - base[1];
        length = longSideAB ? ab : bc;
        along = Unit(longSide, {1.0, 0.0});
        // Seen from the top view's lower edge: t grows to the right there too.
        if (along.x < 0.0 || (along.x == 0.0 && along.y < 0.0)) {
            along = along * -1.0;
        }
        across = {-along.y, along.x};
    }
};

/// Colour of a point: its own after a colour map, else its height in the box.
class Shade {
public:
    Shade(bool mapped, double zTop, double zBottom) : mapped(mapped) {
        const double span = zBottom - zTop;
        top = zTop;
        perMetre = span > 0.0 ? 255.0 / span : 0.0;
        for (int i = 0; i < 256; ++i) {
            const double f = i / 255.0;
            const auto mix = [f](std::uint8_t low, std::uint8_t high) {
                return static_cast<std::uint8_t>(std::lround(low + (high - low) * f));
            };
            ramp[i] = {mix(kLowShade.r, kHighShade.r), mix(kLowShade.g, kHighShade.g),
                       mix(kLowShade.b, kHighShade.b)};
        }
    }

    /// A template so that only the views, which walk the points, need the point type's header.
    template <typename PointRGB>
    Rgb operator()(const PointRGB& p) const {
        if (mapped) {
            return {p.r, p.g, p.b};
        }
        const double level = 255.0 - (p.z - top) * perMetre;
        return ramp[static_cast<int>(std::clamp(std::isfinite(level) ? level : 0.0, 0.0, 255.0))];
    }

private:
    bool mapped;
    double top = 0.0;
    double perMetre = 0.0;
    std::array<Rgb, 256> ramp;
};

}  // namespace snapshot
