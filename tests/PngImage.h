#pragma once

// PNG files as independent readers see them: pngcheck checks the file's
// structure and checksums, and Debian's Python imaging library (python3-pil)
// decodes it into a plain PPM that is read here pixel by pixel.

#include <gtest/gtest.h>

#include <array>
#include <boost/filesystem.hpp>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace kelvo_test {

using Colour = std::array<int, 3>;

/// A decoded picture: width x height RGB pixels, row by row.
struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Colour At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            ADD_FAILURE() << "pixel " << x << "," << y << " outside " << width << "x" << height;
            return {-1, -1, -1};
        }
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

/// True when every channel of a is within tolerance of b.
inline bool Near(const Colour& a, const Colour& b, int tolerance) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

inline std::string Describe(const Colour& c) {
    std::ostringstream text;
    text << "(" << c[0] << "," << c[1] << "," << c[2] << ")";
    return text.str();
}

/// pngcheck's verdict on a file: true when it finds no fault.
inline bool PngCheckAccepts(const boost::filesystem::path& file) {
    const std::string command = "/usr/bin/pngcheck -q '" + file.string() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

/// The picture in file as the imaging library decodes it; an empty image and
/// a test failure when it cannot.
inline PngImage ReadPng(const boost::filesystem::path& file) {
    const boost::filesystem::path ppm =
        boost::filesystem::temp_directory_path() / boost::filesystem::unique_path("kelvo-png-%%%%-%%%%.ppm");
    // Only a PNG counts: the library would also open other formats.
    const std::string command =
        "/usr/bin/python3 -c 'import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1])\n"
        "assert im.format == \"PNG\", im.format\n"
        "im.load()\n"
        "im.convert(\"RGB\").save(sys.argv[2], \"PPM\")' '" +
        file.string() + "' '" + ppm.string() + "'";
    PngImage image;
    if (std::system(command.c_str()) != 0) {
        ADD_FAILURE() << "the imaging library (python3-pil) cannot read " << file;
        return image;
    }
    std::ifstream in(ppm.string(), std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();
    image.rgb.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    boost::system::error_code ignored;
    boost::filesystem::remove(ppm, ignored);
    if (magic != "P6" || maxValue != 255 ||
        image.rgb.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
        ADD_FAILURE() << "unexpected decoded form of " << file;
        return PngImage();
    }
    return image;
}

}  // namespace kelvo_test
