#pragma once

#include <string>

/// Encodes an image held as cairo holds an RGB24 surface (each pixel one
/// native 32-bit word 0x00RRGGBB, rows `stride` bytes apart) as an 8-bit RGB
/// PNG file, in memory. Fast deflate after the Sub filter: pictures of flat
/// areas and points come out about as small as at the default settings in a
/// fifth of the time.
class PngEncoder {
public:
    /// The PNG file's bytes; throws std::runtime_error when the library fails.
    static std::string Encode(const unsigned char* pixels, int width, int height, int stride);
};
