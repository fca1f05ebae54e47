#include "cloud/snapshot/PngEncoder.h"

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr int kCompressionLevel = 1;
constexpr int kFilter = PNG_FILTER_SUB;

struct Image {
    const unsigned char* pixels;
    int width, height, stride;
};

/// What the library reported before it gave up.
struct Fault {
    char text[160] = "";
};

// The library's own handlers print to standard error; a run's failure is its one line.
void OnError(png_structp png, png_const_charp message) {
    Fault* fault = static_cast<Fault*>(png_get_error_ptr(png));
    std::snprintf(fault->text, sizeof fault->text, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void Append(png_structp png, png_bytep data, std::size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data),
                                                           length);
}

/// Writes the rows into out; false after an error of the library, which
/// returns here through its jump buffer (so nothing in this function may need
/// a destructor).
bool Write(png_structp png, png_infop info, const Image& image, std::string* out) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, out, Append, nullptr);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, kCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilter);
    png_write_info(png, info);
    // A native word 0x00RRGGBB lies in memory as B G R 0 on little-endian
    // machines, as 0 R G B on the others.
    const std::uint32_t probe = 1;
    if (*reinterpret_cast<const unsigned char*>(&probe) == 1) {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < image.height; ++y) {
        png_write_row(png, image.pixels + static_cast<std::ptrdiff_t>(y) * image.stride);
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

std::string PngEncoder::Encode(const unsigned char* pixels, int width, int height, int stride) {
    Fault fault;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &fault, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::string bytes;
    const bool written =
        info != nullptr && Write(png, info, Image{pixels, width, height, stride}, &bytes);
    png_destroy_write_struct(&png, &info);
    if (!written) {
        throw std::runtime_error(std::string("PNG encoding failed: ") +
                                 (fault.text[0] != '\0' ? fault.text : "out of memory"));
    }
    return bytes;
}
