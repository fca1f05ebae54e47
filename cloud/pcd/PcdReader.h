// PcdReader: the points of a PCD file read whole, or a one-line refusal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Strict reader of ASCII, binary and binary_compressed PCD files. A file is
/// read whole in one go; every file whose points could be read in more than
/// one way, or not completely, is refused instead of guessed at.
class PcdReader {
public:
    /// What loading keeps of a file: x, y, z of every point in file order and
    /// the cloud's shape, with the values the point-cloud library's own reader
    /// gives for the same file.
    struct Points {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        bool isDense = true;
        float origin[3] = {0.0f, 0.0f, 0.0f};             // VIEWPOINT translation
        float orientation[4] = {1.0f, 0.0f, 0.0f, 0.0f};  // VIEWPOINT rotation: w, x, y, z
        std::vector<float> xyz;                           // three values per point
    };

    /// Reads path; throws std::runtime_error with one line naming the file and the fault.
    static Points Read(const std::string& path);
};
