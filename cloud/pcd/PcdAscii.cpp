// The ASCII rows of a PCD file, read as the library reads them, on two threads when large.
#include "cloud/pcd/PcdAscii.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "cloud/BothCores.h"
#include "cloud/pcd/PcdText.h"

namespace pcd {

namespace {

/// Below this many bytes of ASCII data a second thread costs more than it saves.
constexpr std::size_t kParallelAsciiBytes = std::size_t{1} << 20;

/// x, y, z read from one run of whole ASCII lines.
struct AsciiChunk {
    std::vector<float> xyz;
    std::size_t rows = 0;
    std::size_t lines = 0;
    bool dense = true;
    /// Rows before the first line holding only blanks; the library counts such a line as a point.
    std::size_t blankAt = std::numeric_limits<std::size_t>::max();
    std::size_t blankLine = 0;
    std::string error;  // the first fault, with errorLine its line in the chunk
    std::size_t errorLine = 0;
    /// The first value the library would convert (neither a non-finite word nor padding):
    /// its row and axis when it is a coordinate, read the library's way.
    bool sawFirst = false;
    std::size_t firstRow = 0;
    int firstAxis = -1;
    float firstValue = 0.0f;
};

void ParseAscii(const Header& h, const char* s, const char* e, std::size_t expectRows,
                AsciiChunk& out) {
    // Each value's role, in row order: the axis it fills, or -1 with its
    // field; and whether it is padding, asked of every value without coordinates.
    std::vector<int> axisOf;
    std::vector<const Field*> fieldOf;
    std::vector<bool> paddingOf;
    for (const Field& f : h.fields) {
        for (unsigned c = 0; c < f.count; ++c) {
            int axis = -1;
            for (int a = 0; a < kXyz; ++a) {
                axis = &f == &h.fields[h.xyz[a]] ? a : axis;
            }
            axisOf.push_back(axis);
            fieldOf.push_back(&f);
            paddingOf.push_back(f.padding());
        }
    }
    // Each value takes a character and a delimiter at least: a count beyond
    // what the bytes can hold reserves no more than they can.
    const std::size_t fit = static_cast<std::size_t>(e - s) / (2 * h.values) + 1;
    out.xyz.reserve(std::min(expectRows, fit) * kXyz);
    float row[kXyz];
    while (s != e) {
        const char* nl = static_cast<const char*>(std::memchr(s, '\n', e - s));
        const char* end = nl ? nl : e;
        const char* p = s;
        s = nl ? nl + 1 : e;
        ++out.lines;
        if (p == end) {
            continue;  // the library skips empty lines without counting them
        }
        std::size_t v = 0;
        for (;; ++v) {
            while (p != end && IsDelimiter(*p)) {
                ++p;
            }
            if (p == end) {
                break;
            }
            const char* t = p;
            while (p != end && !IsDelimiter(*p)) {
                ++p;
            }
            if (v >= h.values) {
                continue;  // counted for the message only
            }
            const Field& f = *fieldOf[v];
            float special = 0.0f;
            const bool nonFinite = NonFiniteText(t, p, special);
            const int axis = axisOf[v];
            bool ok;
            if (axis >= 0) {
                ok = nonFinite || ParseNarrowed(t, p, row[axis]);
                if (nonFinite) {
                    row[axis] = special;
                }
            } else if (f.type == 'F') {
                double ignored;
                ok = nonFinite || ParseDouble(t, p, ignored);
            } else {
                ok = ParseInteger(t, p);
            }
            if (!ok) {
                out.error =
                    "value '" + std::string(t, p) + "' of field " + f.name + " is not a number";
                out.errorLine = out.lines;
                return;
            }
            if (nonFinite && f.type == 'F' && !paddingOf[v]) {
                out.dense = false;
            }
            if (!out.sawFirst && !nonFinite && !paddingOf[v]) {
                out.sawFirst = true;
                out.firstRow = out.rows;
                out.firstAxis = axis;
                if (axis >= 0) {
                    out.firstValue = ParseDirect(t, p, row[axis]);
                }
            }
        }
        if (v == 0) {
            if (out.blankAt == std::numeric_limits<std::size_t>::max()) {
                out.blankAt = out.rows;
                out.blankLine = out.lines;
            }
            continue;
        }
        if (v != h.values) {
            out.error = "row has " + Str(v) + " values, expected " + Str(h.values);
            out.errorLine = out.lines;
            return;
        }
        out.xyz.insert(out.xyz.end(), row, row + kXyz);
        ++out.rows;
    }
}

}  // namespace

void ReadAscii(const Header& h, const char* s, const char* e, PcdReader::Points& out) {
    // Split at a line start near the middle; each half is read by its own thread.
    const char* cut = e;
    if (static_cast<std::size_t>(e - s) >= kParallelAsciiBytes &&
        std::thread::hardware_concurrency() > 1) {
        const char* nl =
            static_cast<const char*>(std::memchr(s + (e - s) / 2, '\n', e - (s + (e - s) / 2)));
        cut = nl ? nl + 1 : e;
    }
    AsciiChunk chunks[2];
    const double share = e == s ? 1.0 : static_cast<double>(cut - s) / (e - s);
    // The first half's list has room for every row (as far as its bytes
    // allow), so that the second half is appended to it in place.
    const auto firstHalf = [&] { ParseAscii(h, s, cut, h.points + 1, chunks[0]); };
    if (cut == e) {
        firstHalf();
    } else {
        const std::size_t rows = static_cast<std::size_t>(h.points * (1.0 - share)) + 1;
        BothCores([&] { ParseAscii(h, cut, e, rows, chunks[1]); }, firstHalf);
    }

    std::size_t rowsBefore = 0;
    std::size_t linesBefore = h.lines;
    bool firstDone = false;
    for (AsciiChunk& c : chunks) {
        const auto where = [&](std::size_t line) { return " at line " + Str(linesBefore + line); };
        if (c.blankAt != std::numeric_limits<std::size_t>::max() &&
            rowsBefore + c.blankAt < h.points) {
            Fail("line of blanks inside the data" + where(c.blankLine));
        }
        if (!c.error.empty()) {
            Fail(c.error + where(c.errorLine));
        }
        if (!firstDone && c.sawFirst) {
            firstDone = true;
            if (c.firstAxis >= 0) {
                c.xyz[c.firstRow * kXyz + c.firstAxis] = c.firstValue;
            }
        }
        rowsBefore += c.rows;
        linesBefore += c.lines;
        out.isDense = out.isDense && c.dense;
    }
    if (rowsBefore != h.points) {
        Fail(Str(rowsBefore) + " rows for " + Str(h.points) + " points");
    }
    out.xyz = std::move(chunks[0].xyz);
    out.xyz.insert(out.xyz.end(), chunks[1].xyz.begin(), chunks[1].xyz.end());
}

}  // namespace pcd
