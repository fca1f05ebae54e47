#pragma once

#include <cstddef>
#include <vector>

/// The level of the highest surface of a scan: the camera looks along +z, so
/// the top of the goods is the first dense layer from the smallest z. The
/// level is the median of the points of that layer, not its extreme, so range
/// noise and strays above it do not move it; the band is the layer's half
/// thickness (three robust standard deviations of its noise, bounded).
class TopLevel {
public:
    /// Level and band of the heights z (metres). Non-finite heights are ignored;
    /// with no finite height both are 0 and Found() is false.
    explicit TopLevel(const std::vector<float>& z);

    float Level() const { return level; }
    float Band() const { return band; }
    /// Points of the layer within the band of the level.
    std::size_t Count() const { return count; }
    bool Found() const { return count > 0; }

private:
    float level = 0.0f;
    float band = 0.0f;
    std::size_t count = 0;
};
