#pragma once

// Point sets with exact truths for the estimators of the precise inbound box:
// faces sampled on a camera's pixel grid (a pitch, a sampling phase, range
// noise along z), the walls below their outline, rows of mixed pixels along
// an edge and strays.

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace face_grid {

using Point = std::array<float, 3>;

/// Points of a pixel grid of this pitch (axis-parallel, offset by `phase`
/// pitches) that fall into the rectangle of half sides a and b around
/// (cx, cy), turned by `angle`, at height z with normal noise sigma.
inline std::vector<Point> Rectangle(float a, float b, float cx, float cy, float angle, float z,
                                    float pitch, float sigma, unsigned seed, float phase = 0.37f) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, sigma);
    const float c = std::cos(angle), s = std::sin(angle);
    const float reach = std::sqrt(a * a + b * b) + pitch;
    std::vector<Point> points;
    for (float x = cx - reach + phase * pitch; x <= cx + reach; x += pitch) {
        for (float y = cy - reach + phase * pitch; y <= cy + reach; y += pitch) {
            const float u = c * (x - cx) + s * (y - cy);
            const float v = -s * (x - cx) + c * (y - cy);
            if (std::fabs(u) <= a && std::fabs(v) <= b)
                points.push_back({x, y, z + (sigma > 0 ? noise(rng) : 0.0f)});
        }
    }
    return points;
}

/// Grid points of a disc of radius r around (cx, cy) at height z.
inline std::vector<Point> Disc(float r, float cx, float cy, float z, float pitch) {
    std::vector<Point> points;
    for (float x = cx - r; x <= cx + r; x += pitch) {
        for (float y = cy - r; y <= cy + r; y += pitch) {
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) points.push_back({x, y, z});
        }
    }
    return points;
}

/// A lying cylinder of radius r along x (length 2a) whose top line is at
/// height top (z grows downward), seen from above: one point per grid pixel
/// on its upper half.
inline std::vector<Point> LyingCylinder(float a, float r, float top, float pitch) {
    std::vector<Point> points;
    for (float x = -a; x <= a; x += pitch) {
        for (float y = -r + pitch / 2; y < r; y += pitch) {
            points.push_back({x, y, top + r - std::sqrt(r * r - y * y)});
        }
    }
    return points;
}

/// A row of mixed pixels beyond the edge x = edge (one per grid row along y
/// in [-b, b]), each `out` beyond it and at a depth between top and floor.
inline std::vector<Point> MixedRow(float edge, float b, float out, float top, float floor,
                                   float pitch, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> mix(0.1f, 0.9f);
    std::vector<Point> points;
    for (float y = -b; y <= b; y += pitch) {
        const float f = mix(rng);
        points.push_back({edge + out * f, y, top + f * (floor - top)});
    }
    return points;
}

inline void Append(std::vector<Point>& to, const std::vector<Point>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

}  // namespace face_grid
