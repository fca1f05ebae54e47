#include "measure/goods/ImageFloorNoise.h"

#include <pcl/common/point_tests.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cstdint>

#include "measure/FloorPlane.h"

namespace {

// Below the station's least height the goods' foot runs on a few pixels
// more (a wedge's thin end, a plate's rim); the floor is measured beyond
// several times that, so that no part of the goods passes for its noise.
constexpr std::size_t kGoodsMarginPixels = 24;
// A pixel above the cut or in the foot is part of goods when this many of
// its eight neighbours are too: a stray of the floor above the cut, with the
// odd pixel beside it above the least height, stands alone and leaves its
// surroundings to the floor.
constexpr int kGoodsNeighbours = 4;
constexpr double kTopShare = 0.999;

/// Marks every pixel within `margin` rows and columns of a marked one, in two
/// passes of running counts: along each row, then down the columns a row at
/// a time.
std::vector<std::uint8_t> Dilated(const std::vector<std::uint8_t>& marked, std::size_t width,
                                  std::size_t height, std::size_t margin) {
    std::vector<std::uint8_t> rows(marked.size(), 0);
    for (std::size_t r = 0; r < height; ++r) {
        const std::size_t base = r * width;
        std::uint32_t inWindow = 0;
        // The window of column c is [c - margin, c + margin].
        for (std::size_t c = 0; c < width + margin; ++c) {
            if (c < width) inWindow += marked[base + c];
            if (c >= 2 * margin + 1) inWindow -= marked[base + c - 2 * margin - 1];
            if (c >= margin) rows[base + c - margin] = inWindow > 0;
        }
    }
    std::vector<std::uint8_t> dilated(marked.size(), 0);
    std::vector<std::uint32_t> inWindow(width, 0);
    for (std::size_t r = 0; r < height + margin; ++r) {
        for (std::size_t c = 0; c < width; ++c) {
            if (r < height) inWindow[c] += rows[r * width + c];
            if (r >= 2 * margin + 1) inWindow[c] -= rows[(r - 2 * margin - 1) * width + c];
            if (r >= margin) dilated[(r - margin) * width + c] = inWindow[c] > 0;
        }
    }
    return dilated;
}

}  // namespace

ImageFloorNoise::ImageFloorNoise(const PointCloudRGB& scan, const FloorPlane& floor,
                                 const std::vector<bool>& kept, double least)
    : foot(scan, floor, kept, least) {
    const std::size_t width = scan.width;
    const std::size_t height = scan.height;
    if (!floor.HasNormal() || height < 2 || width < 2 || width * height != scan.points.size() ||
        kept.size() != scan.points.size()) {
        return;
    }
    std::vector<std::uint8_t> raised(kept.begin(), kept.end());
    for (const std::uint32_t i : foot.Points()) raised[i] = 1;
    // Too little floor in view (a scanner that drops the floor's returns):
    // nothing to measure.
    std::size_t floorPixels = 0;
    for (std::size_t i = 0; i < scan.points.size(); ++i) {
        floorPixels += raised[i] == 0 && pcl::isFinite(scan.points[i]);
    }
    if (floorPixels < kLeastFloorPixels) {
        pixels = floorPixels;
        return;
    }
    std::vector<std::uint8_t> goods(kept.size(), 0);
    for (std::size_t r = 1; r + 1 < height; ++r) {
        for (std::size_t c = 1; c + 1 < width; ++c) {
            const std::size_t i = r * width + c;
            if (!raised[i]) continue;
            const int around = raised[i - width - 1] + raised[i - width] + raised[i - width + 1] +
                               raised[i - 1] + raised[i + 1] + raised[i + width - 1] + raised[i + width] +
                               raised[i + width + 1];
            goods[i] = around >= kGoodsNeighbours;
        }
    }
    const std::vector<std::uint8_t> near = Dilated(goods, width, height, kGoodsMarginPixels);
    std::vector<float> heights;
    heights.reserve(floorPixels);
    for (std::size_t i = 0; i < scan.points.size(); ++i) {
        const pcl::PointXYZRGB& p = scan.points[i];
        if (near[i] || !pcl::isFinite(p)) continue;
        heights.push_back(floor.Floor() - floor.Along(p.x, p.y, p.z));
    }
    pixels = heights.size();
    if (pixels < kLeastFloorPixels) return;
    const auto at = heights.begin() + static_cast<std::ptrdiff_t>(kTopShare * static_cast<double>(pixels - 1));
    std::nth_element(heights.begin(), at, heights.end());
    top = *at;
    found = true;
}
