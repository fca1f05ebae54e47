// The fixed-size binary records of a PCD file, interleaved or field by field.
#include "cloud/pcd/PcdRecords.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pcd {

void ReadRecords(const Header& h, const char* data, bool byField, PcdReader::Points& out) {
    const std::size_t n = h.points;
    auto at = [&](const Field& f, std::size_t i, unsigned c) {
        return byField ? data + f.offset * n + (i * f.count + c) * f.size
                       : data + i * h.pointStep + f.offset + std::size_t{c} * f.size;
    };
    out.xyz.resize(n * kXyz);
    for (int a = 0; a < kXyz; ++a) {
        const Field& f = h.fields[h.xyz[a]];
        for (std::size_t i = 0; i < n; ++i) {
            std::memcpy(&out.xyz[i * kXyz + a], at(f, i, 0), sizeof(float));
        }
    }
    for (const Field& f : h.fields) {
        if (f.type != 'F') {
            continue;
        }
        for (std::size_t i = 0; i < n && out.isDense; ++i) {
            for (unsigned c = 0; c < f.count; ++c) {
                double v;
                if (f.size == 4) {
                    float x;
                    std::memcpy(&x, at(f, i, c), sizeof x);
                    v = x;
                } else {
                    std::memcpy(&v, at(f, i, c), sizeof v);
                }
                out.isDense = out.isDense && std::isfinite(v);
            }
        }
    }
}

/// True when nothing but line ends and blanks follow the data: some writers
/// end a binary file with a line break, which carries no points.
bool OnlyLineEnds(const char* s, const char* e) {
    return std::all_of(s, e, [](char c) { return c == '\n' || c == '\r' || c == ' '; });
}

void ReadBinary(const Header& h, const char* s, std::size_t size, PcdReader::Points& out) {
    if (size < h.pointStep * h.points || !OnlyLineEnds(s + h.pointStep * h.points, s + size)) {
        Fail("binary data of " + Str(size) + " bytes for " + Str(h.points) + " points of " +
             Str(h.pointStep) + " bytes");
    }
    ReadRecords(h, s, false, out);
}

}  // namespace pcd
