// The PCD header grammar: its lines, their order, and the layout of the fields they describe.
#include "cloud/pcd/PcdHeader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "cloud/pcd/PcdText.h"

namespace pcd {

namespace {

bool ValidType(char type, unsigned size) {
    if (type == 'F') {
        return size == 4 || size == 8;
    }
    return (type == 'I' || type == 'U') && (size == 1 || size == 2 || size == 4 || size == 8);
}

}  // namespace

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

}  // namespace pcd
