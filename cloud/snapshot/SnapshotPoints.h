// The points' layer of a view: pixel blocks written straight into the image, nearest point winning.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "cloud/snapshot/SnapshotLayout.h"

namespace snapshot {

// Largest point block; clouds too sparse to fill the picture with it look dotted.
constexpr int kLargestBlock = 6;

/// Side of the pixel block a point gets: about enough to close the gaps
/// between neighbours when n points spread over areaPixels.
inline int BlockSize(double areaPixels, std::size_t n) {
    if (n == 0 || !(areaPixels > 0.0)) {
        return 1;
    }
    const double side = std::ceil(2.5 * std::sqrt(areaPixels / static_cast<double>(n)));
    return static_cast<int>(std::clamp(side, 1.0, static_cast<double>(kLargestBlock)));
}

/// Pixels of the image surface, written directly: its data and the bytes a row takes.
class Pixels {
public:
    Pixels(unsigned char* data, int stride) : data(data), stride(stride) {}

    void Set(int x, int y, Rgb c) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        row[x] = (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
    }

private:
    unsigned char* data;
    int stride;
};

/// Points of one view: each one's pixel block, the point nearest to the
/// viewer winning, clipped to the panel.
class PointLayer {
public:
    PointLayer(const Panel& panel, int block)
        : panel(panel),
          block(block),
          depth(static_cast<std::size_t>(panel.w) * panel.h,
                std::numeric_limits<float>::infinity()) {}

    /// A point at pixel position at, depth d (smaller is nearer), colour c.
    void Put(Pixels& pixels, P2 at, float d, Rgb c) {
        // The block is centred on the point and always covers the pixel it falls in.
        const double left = at.x + 0.5 - block / 2.0 - panel.x;
        const double top = at.y + 0.5 - block / 2.0 - panel.y;
        // Also false for NaN: such a point has no place.
        if (!(left >= 0.0 && top >= 0.0 && left <= panel.w - block && top <= panel.h - block)) {
            return;
        }
        const int x0 = static_cast<int>(left);
        const int y0 = static_cast<int>(top);
        for (int y = y0; y < y0 + block; ++y) {
            float* row = &depth[static_cast<std::size_t>(y) * panel.w];
            for (int x = x0; x < x0 + block; ++x) {
                if (d < row[x]) {
                    row[x] = d;
                    pixels.Set(panel.x + x, panel.y + y, c);
                }
            }
        }
    }

private:
    Panel panel;
    int block;
    std::vector<float> depth;
};

}  // namespace snapshot
