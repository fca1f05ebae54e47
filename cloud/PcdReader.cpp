#include "cloud/PcdReader.h"

#include <fcntl.h>
#include <lzf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <stdexcept>
#include <thread>

#include "cloud/BothCores.h"

namespace {

/// Below this many bytes of ASCII data a second thread costs more than it saves.
constexpr std::size_t kParallelAsciiBytes = std::size_t{1} << 20;
constexpr int kXyz = 3;
constexpr std::uint32_t kMaxUnpackRatio = 88;

/// A fault in the file's content; Read adds the file name.
struct Malformed {
    std::string what;
};

[[noreturn]] void Fail(std::string what) { throw Malformed{std::move(what)}; }

std::string Str(std::size_t n) { return std::to_string(n); }

enum class Encoding { kAscii, kBinary, kCompressed };

struct Field {
    std::string name;
    char type = 'F';  // I, U or F
    unsigned size = 4;
    unsigned count = 1;
    std::size_t offset = 0;  // bytes into a point
    bool padding() const { return name == "_"; }
};

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

bool IsDelimiter(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// True when the whole text, compared without case, is word.
bool IsWord(const char* s, const char* e, const char* word) {
    for (; s != e && *word != '\0'; ++s, ++word) {
        if ((*s | 0x20) != *word) {
            return false;
        }
    }
    return s == e && *word == '\0';
}

/// A non-finite value as writers spell it: "nan", "inf" or "infinity" in
/// any case, with or without a sign. True with the value in out.
bool NonFiniteText(const char* s, const char* e, float& out) {
    bool negative = false;
    if (s != e && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        ++s;
    }
    if (IsWord(s, e, "nan")) {
        out = std::numeric_limits<float>::quiet_NaN();
        return true;
    }
    if (IsWord(s, e, "inf") || IsWord(s, e, "infinity")) {
        out = negative ? -std::numeric_limits<float>::infinity()
                       : std::numeric_limits<float>::infinity();
        return true;
    }
    return false;
}

/// Skips the sign the C library accepts and from_chars does not; true when a
/// digit or a decimal point follows, so that words and hex are not read as numbers.
bool NumberStart(const char*& s, const char* e) {
    if (s != e && *s == '+') {
        ++s;
    } else if (s != e && *s == '-' && e - s > 1 && s[1] != '+' && s[1] != '-') {
        return IsDigit(s[1]) || s[1] == '.';
    }
    return s != e && (IsDigit(*s) || *s == '.');
}

/// True when the whole text is one decimal number, read into d.
bool ParseDouble(const char* s, const char* e, double& d) {
    if (!NumberStart(s, e)) {
        return false;
    }
    const auto r = std::from_chars(s, e, d);
    return r.ec == std::errc() && r.ptr == e;
}

/// The library converts every value but the first through double to float;
/// a value beyond float is refused rather than read as infinity.
bool ParseNarrowed(const char* s, const char* e, float& out) {
    double d = 0.0;
    if (!ParseDouble(s, e, d)) {
        return false;
    }
    out = static_cast<float>(d);
    return std::isfinite(out);
}

/// The first value the library converts goes straight to float, rounded once;
/// outside float's range it keeps the conversion through double.
float ParseDirect(const char* s, const char* e, float narrowed) {
    NumberStart(s, e);
    float f = 0.0f;
    return std::from_chars(s, e, f).ec == std::errc() ? f : narrowed;
}

bool ParseInteger(const char* s, const char* e) {
    if (s != e && (*s == '+' || *s == '-')) {
        ++s;
    }
    if (s == e) {
        return false;
    }
    for (; s != e; ++s) {
        if (!IsDigit(*s)) {
            return false;
        }
    }
    return true;
}

bool ParseUnsigned(const std::string& text, std::uint64_t limit, std::uint64_t& out) {
    const char* s = text.data();
    const char* e = s + text.size();
    const auto r = std::from_chars(s, e, out);
    return s != e && IsDigit(*s) && r.ec == std::errc() && r.ptr == e && out <= limit;
}

/// One line split on the delimiters the library uses.
std::vector<std::string> Tokens(const char* s, const char* e) {
    std::vector<std::string> tokens;
    while (s != e) {
        while (s != e && IsDelimiter(*s)) {
            ++s;
        }
        const char* t = s;
        while (s != e && !IsDelimiter(*s)) {
            ++s;
        }
        if (t != s) {
            tokens.emplace_back(t, s);
        }
    }
    return tokens;
}

bool ValidType(char type, unsigned size) {
    if (type == 'F') {
        return size == 4 || size == 8;
    }
    return (type == 'I' || type == 'U') && (size == 1 || size == 2 || size == 4 || size == 8);
}

Header ParseHeader(const char* data, std::size_t size) {
    Header h;
    enum Seen { kFields, kSize, kType, kCount, kWidth, kHeight, kViewpoint, kPoints, kCountOf };
    bool seen[kCountOf] = {};
    auto once = [&seen](Seen s, const char* name) {
        if (seen[s]) {
            Fail(std::string("two ") + name + " lines");
        }
        seen[s] = true;
    };
    auto perField = [&h](const std::vector<std::string>& t, const char* name) {
        if (t.size() - 1 != h.fields.size()) {
            Fail(std::string(name) + " has " + Str(t.size() - 1) + " entries for " +
                 Str(h.fields.size()) + " fields");
        }
    };
    auto number = [](const std::string& text, std::uint64_t limit, const char* name) {
        std::uint64_t v = 0;
        if (!ParseUnsigned(text, limit, v)) {
            Fail(std::string("bad ") + name + " value '" + text + "'");
        }
        return v;
    };

    std::size_t pos = 0;
    bool atData = false;
    while (!atData) {
        if (pos >= size) {
            Fail(size == 0 ? "empty file" : "no DATA line");
        }
        const char* line = data + pos;
        const char* nl = static_cast<const char*>(std::memchr(line, '\n', size - pos));
        const char* end = nl ? nl : data + size;
        pos = nl ? pos + (end - line) + 1 : size;
        ++h.lines;
        if (line == end) {
            continue;
        }
        const std::vector<std::string> t = Tokens(line, end);
        if (t.empty()) {
            Fail("blank line in the header");
        }
        const std::string& key = t[0];
        if (key[0] == '#' || key == "VERSION") {
            continue;
        }
        if (key == "FIELDS") {
            once(kFields, "FIELDS");
            if (t.size() < 2) {
                Fail("no fields");
            }
            for (std::size_t i = 1; i < t.size(); ++i) {
                h.fields.push_back(Field{t[i]});
            }
        } else if (key == "SIZE") {
            once(kSize, "SIZE");
            if (!seen[kFields]) {
                Fail("SIZE before FIELDS");
            }
            perField(t, "SIZE");
            for (std::size_t i = 1; i < t.size(); ++i) {
                h.fields[i - 1].size = static_cast<unsigned>(number(t[i], 8, "SIZE"));
            }
        } else if (key == "TYPE") {
            once(kType, "TYPE");
            if (!seen[kSize]) {
                Fail("TYPE before SIZE");
            }
            perField(t, "TYPE");
            for (std::size_t i = 1; i < t.size(); ++i) {
                Field& f = h.fields[i - 1];
                f.type = t[i].size() == 1 ? static_cast<char>(t[i][0] & ~0x20) : '?';
                if (!ValidType(f.type, f.size)) {
                    Fail("field " + f.name + " has type " + t[i] + " of size " + Str(f.size));
                }
            }
        } else if (key == "COUNT") {
            once(kCount, "COUNT");
            if (!seen[kType]) {
                Fail("COUNT before TYPE");
            }
            perField(t, "COUNT");
            for (std::size_t i = 1; i < t.size(); ++i) {
                h.fields[i - 1].count = static_cast<unsigned>(number(t[i], 1u << 20, "COUNT"));
                if (h.fields[i - 1].count == 0) {
                    Fail("field " + h.fields[i - 1].name + " has COUNT 0");
                }
            }
        } else if (key == "WIDTH" || key == "HEIGHT" || key == "POINTS") {
            const Seen which = key == "WIDTH" ? kWidth : key == "HEIGHT" ? kHeight : kPoints;
            once(which, key.c_str());
            if (t.size() != 2) {
                Fail(key + " needs one value");
            }
            const auto v = number(t[1], std::numeric_limits<std::uint32_t>::max(), key.c_str());
            if (which == kWidth) {
                h.width = static_cast<std::uint32_t>(v);
            } else if (which == kHeight) {
                h.height = static_cast<std::uint32_t>(v);
            } else {
                h.points = v;
            }
        } else if (key == "VIEWPOINT") {
            once(kViewpoint, "VIEWPOINT");
            if (t.size() != 8) {
                Fail("VIEWPOINT needs 7 values");
            }
            float v[7];
            for (int i = 0; i < 7; ++i) {
                const std::string& s = t[i + 1];
                if (!ParseNarrowed(s.data(), s.data() + s.size(), v[i])) {
                    Fail("bad VIEWPOINT value '" + s + "'");
                }
            }
            std::copy(v, v + 3, h.origin);
            std::copy(v + 3, v + 7, h.orientation);
        } else if (key == "DATA") {
            if (t.size() != 2 ||
                (t[1] != "ascii" && t[1] != "binary" && t[1] != "binary_compressed")) {
                Fail("unknown DATA encoding");
            }
            h.encoding = t[1] == "ascii"    ? Encoding::kAscii
                         : t[1] == "binary" ? Encoding::kBinary
                                            : Encoding::kCompressed;
            h.dataStart = pos;
            atData = true;
        } else {
            Fail("unknown header line '" + key + "'");
        }
    }

    const char* required[] = {"FIELDS", "SIZE",   "TYPE",  nullptr,
                              "WIDTH",  "HEIGHT", nullptr, "POINTS"};
    for (int s = 0; s < kCountOf; ++s) {
        if (required[s] && !seen[s]) {
            Fail(std::string("no ") + required[s] + " line");
        }
    }
    if (std::uint64_t{h.width} * h.height != h.points) {
        Fail("WIDTH " + Str(h.width) + " x HEIGHT " + Str(h.height) + " is not POINTS " +
             Str(h.points));
    }
    for (std::size_t i = 0; i < h.fields.size(); ++i) {
        Field& f = h.fields[i];
        f.offset = h.pointStep;
        h.pointStep += std::size_t{f.size} * f.count;
        h.values += f.count;
        for (int a = 0; a < kXyz; ++a) {
            if (f.name == std::string(1, static_cast<char>('x' + a))) {
                if (h.xyz[a] >= 0) {
                    Fail("two " + f.name + " fields");
                }
                if (f.type != 'F' || f.size != 4 || f.count != 1) {
                    Fail("field " + f.name + " is not one 4-byte float");
                }
                h.xyz[a] = static_cast<int>(i);
            }
        }
        if (f.padding() && h.encoding == Encoding::kCompressed) {
            Fail("padding field in compressed data");
        }
    }
    for (int a = 0; a < kXyz; ++a) {
        if (h.xyz[a] < 0) {
            Fail(std::string("no ") + static_cast<char>('x' + a) + " field");
        }
    }
    if (h.points > 0 && h.pointStep > std::numeric_limits<std::uint32_t>::max() / h.points) {
        Fail("too many points");
    }
    return h;
}

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
    // Each value's role, in row order: the axis it fills, or -1 with its field.
    std::vector<int> axisOf;
    std::vector<const Field*> fieldOf;
    for (const Field& f : h.fields) {
        for (unsigned c = 0; c < f.count; ++c) {
            int axis = -1;
            for (int a = 0; a < kXyz; ++a) {
                axis = &f == &h.fields[h.xyz[a]] ? a : axis;
            }
            axisOf.push_back(axis);
            fieldOf.push_back(&f);
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
            if (nonFinite && f.type == 'F' && !f.padding()) {
                out.dense = false;
            }
            if (!out.sawFirst && !nonFinite && !f.padding()) {
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
    const auto firstHalf = [&] {
        ParseAscii(h, s, cut, static_cast<std::size_t>(h.points * share) + 1, chunks[0]);
    };
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

/// x, y, z and density of fixed-size records; stride and start place each
/// field's values, so one routine serves both the interleaved and the
/// field-by-field (decompressed) layout.
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

void ReadCompressed(const Header& h, const char* s, std::size_t size, PcdReader::Points& out) {
    if (size < 8) {
        Fail("compressed data cut short");
    }
    std::uint32_t packed = 0;
    std::uint32_t unpacked = 0;
    std::memcpy(&packed, s, 4);
    std::memcpy(&unpacked, s + 4, 4);
    if (unpacked != h.pointStep * h.points) {
        Fail("compressed data holds " + Str(unpacked) + " bytes, " + Str(h.pointStep * h.points) +
             " expected");
    }
    if (packed > size - 8 || !OnlyLineEnds(s + 8 + packed, s + size)) {
        Fail("compressed size " + Str(packed) + " but " + Str(size - 8) + " bytes follow");
    }
    // The longest back reference, three bytes, repeats 264: nothing unpacks to more than 88
    // times its size, and the buffer is not allocated for a promise the data cannot keep.
    if (unpacked / kMaxUnpackRatio > packed) {
        Fail("compressed data of " + Str(packed) + " bytes cannot unpack to " + Str(unpacked));
    }
    std::unique_ptr<char[]> buf(new char[unpacked + 1]);
    if (lzf_decompress(s + 8, packed, buf.get(), unpacked) != unpacked) {
        Fail("compressed data does not unpack");
    }
    // The field-by-field layout puts field k after all values of fields before it.
    Header byField = h;
    std::size_t start = 0;
    for (Field& f : byField.fields) {
        f.offset = start;
        start += std::size_t{f.size} * f.count;
    }
    ReadRecords(byField, buf.get(), true, out);
}

PcdReader::Points Parse(const char* data, std::size_t size) {
    const Header h = ParseHeader(data, size);
    PcdReader::Points out;
    out.width = h.width;
    out.height = h.height;
    std::copy(h.origin, h.origin + 3, out.origin);
    std::copy(h.orientation, h.orientation + 4, out.orientation);
    const char* body = data + h.dataStart;
    const std::size_t bodySize = size - h.dataStart;
    switch (h.encoding) {
        case Encoding::kAscii:
            ReadAscii(h, body, body + bodySize, out);
            break;
        case Encoding::kBinary:
            if (bodySize < h.pointStep * h.points ||
                !OnlyLineEnds(body + h.pointStep * h.points, body + bodySize)) {
                Fail("binary data of " + Str(bodySize) + " bytes for " + Str(h.points) +
                     " points of " + Str(h.pointStep) + " bytes");
            }
            ReadRecords(h, body, false, out);
            break;
        case Encoding::kCompressed:
            ReadCompressed(h, body, bodySize, out);
            break;
    }
    return out;
}

/// Closes the descriptor however the read ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

}  // namespace

PcdReader::Points PcdReader::Read(const std::string& path) {
    auto unreadable = [&path](const std::string& why) {
        return std::runtime_error("Unable to read point cloud file: " + path + " (" + why + ")");
    };
    // Non-blocking, so that a named pipe in place of the scan cannot stall the run.
    Descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat st;
    if (file.fd < 0 || fstat(file.fd, &st) != 0) {
        throw unreadable(std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) {
        throw unreadable("a folder, not a file");
    }
    if (!S_ISREG(st.st_mode)) {
        throw unreadable("not a regular file");
    }
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    std::unique_ptr<char[]> data(new char[size + 1]);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t r = read(file.fd, data.get() + got, size - got);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0) {
            throw unreadable(std::strerror(errno));
        }
        if (r == 0) {
            break;
        }
        got += static_cast<std::size_t>(r);
    }
    try {
        return Parse(data.get(), got);
    } catch (const Malformed& m) {
        throw std::runtime_error("Malformed point cloud file: " + path + " (" + m.what + ")");
    }
}
