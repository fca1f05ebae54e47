// The header of a PCD file as read, its fields' layout, and the fault a file's content raises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pcd {

constexpr int kXyz = 3;

/// A fault in the file's content; PcdReader::Read adds the file name.
struct Malformed {
    std::string what;
};

[[noreturn]] inline void Fail(std::string what) { throw Malformed{std::move(what)}; }

inline std::string Str(std::size_t n) { return std::to_string(n); }

enum class Encoding { kAscii, kBinary, kCompressed };

/// One entry of FIELDS with its SIZE, TYPE and COUNT.
struct Field {
    std::string name;
    char type = 'F';  // I, U or F
    unsigned size = 4;
    unsigned count = 1;
    std::size_t offset = 0;  // bytes into a point
    bool padding() const { return name == "_"; }
};

/// What the header says: the fields, the cloud's shape, the viewpoint, and
/// where and how the data follows.
struct Header {
    std::vector<Field> fields;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t points = 0;
    std::size_t pointStep = 0;
    std::size_t values = 0;  // values per ASCII row
    int xyz[kXyz] = {-1, -1, -1};
    Encoding encoding = Encoding::kAscii;
    std::size_t dataStart = 0;
    std::size_t lines = 0;  // lines before the data
    float origin[3] = {0.0f, 0.0f, 0.0f};
    float orientation[4] = {1.0f, 0.0f, 0.0f, 0.0f};
};

/// The header at the start of data, size bytes; throws Malformed for a header
/// that could be read in more than one way or leaves the points unplaced.
Header ParseHeader(const char* data, std::size_t size);

}  // namespace pcd
