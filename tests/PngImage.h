#pragma once

// PNG files as independent readers see them (pngcheck checks the structure and
// checksums, python3-pil decodes the pixels), and the picture's layout as
// docs/outputs.md gives it, written out apart from the code that draws it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <boost/filesystem.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kelvo_test {

using Colour = std::array<int, 3>;
using Pixel = std::pair<int, int>;
using Xy = std::array<double, 2>;
using Corners = std::array<Xy, 4>;  // A..D

/// A decoded picture: width x height RGB pixels, row by row.
struct PngImage {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;

    /// -1s outside the picture, which match no colour.
    Colour At(Pixel p) const {
        const std::size_t i = (static_cast<std::size_t>(p.second) * width + p.first) * 3;
        const bool inside = p.first >= 0 && p.second >= 0 && p.first < width && p.second < height;
        return inside ? Colour{rgb[i], rgb[i + 1], rgb[i + 2]} : Colour{-1, -1, -1};
    }
};

/// pngcheck's verdict: true when it finds no fault in the structure and checksums.
inline bool PngCheckAccepts(const boost::filesystem::path& file) {
    return std::system(("/usr/bin/pngcheck -q '" + file.string() + "' >/dev/null 2>&1").c_str()) ==
           0;
}

/// The picture in file; empty, with a test failure, unless pngcheck accepts
/// it and the imaging library decodes it as a PNG.
inline PngImage ReadPng(const boost::filesystem::path& file) {
    const std::string command =
        "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
        "assert im.format == 'PNG'; sys.stdout.buffer.write(b'%d %d\\n' % im.size + "
        "im.convert('RGB').tobytes())\" '" +
        file.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    PngImage image;
    const std::size_t eol = out.find('\n');
    if (pclose(pipe) == 0 && eol != std::string::npos && PngCheckAccepts(file)) {
        std::istringstream(out.substr(0, eol)) >> image.width >> image.height;
        image.rgb.assign(out.begin() + eol + 1, out.end());
    } else {
        ADD_FAILURE() << "pngcheck or python3-pil rejects " << file;
    }
    return image;
}

/// Every channel within tolerance; for EXPECT_PRED3, which prints the colours.
inline bool Near(const Colour& got, const Colour& want, int tolerance) {
    return std::equal(got.begin(), got.end(), want.begin(),
                      [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; });
}

const Colour kViewBackground{32, 36, 40}, kBox{255, 196, 0};
// Antialiased strokes cover a pixel on the path fully, but allow for rounding.
constexpr int kStrokeTolerance = 12;

/// Where a view puts a scene point: its area's box scaled uniformly into the
/// panel, centred, with a 56 pixel margin and at most 4000 pixels a metre.
struct ViewFit {
    std::array<double, 4> panel;  // x, y, width, height
    double minA, maxA, minB, maxB;
    Pixel At(Xy p) const {
        double s = 4000.0;
        if (maxA > minA) s = std::min(s, (panel[2] - 112) / (maxA - minA));
        if (maxB > minB) s = std::min(s, (panel[3] - 112) / (maxB - minB));
        return {
            static_cast<int>(std::floor(panel[0] + panel[2] / 2 + (p[0] - (minA + maxA) / 2) * s)),
            static_cast<int>(std::floor(panel[1] + panel[3] / 2 + (p[1] - (minB + maxB) / 2) * s))};
    }
};
constexpr std::array<double, 4> kTop{12, 112, 720, 676}, kSide{744, 112, 444, 676};

/// The top view's fit of the rectangle with these corners.
inline ViewFit TopFit(const Corners& c) {
    const auto [minX, maxX] = std::minmax({c[0][0], c[1][0], c[2][0], c[3][0]});
    const auto [minY, maxY] = std::minmax({c[0][1], c[1][1], c[2][1], c[3][1]});
    return {kTop, minX, maxX, minY, maxY};
}

/// A picture of the full size, the amber rectangle where the corners project,
/// and the view background in the panels' right-hand corners, where no point,
/// letter or label reaches.
inline void ExpectSnapshot(const PngImage& image, const Corners& corners) {
    ASSERT_EQ(image.width, 1200);
    ASSERT_EQ(image.height, 800);
    for (int i = 0; i < 4; ++i) {
        EXPECT_PRED3(Near, image.At(TopFit(corners).At(corners[i])), kBox, kStrokeTolerance)
            << "corner " << static_cast<char>('A' + i);
    }
    for (const Pixel& empty : {Pixel{727, 116}, Pixel{727, 783}, Pixel{1183, 116}}) {
        EXPECT_EQ(image.At(empty), kViewBackground) << empty.first << "," << empty.second;
    }
}

}  // namespace kelvo_test
