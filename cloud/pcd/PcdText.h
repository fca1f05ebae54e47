// How PCD text spells numbers and splits lines: shared by the header and the ASCII rows.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

namespace pcd {

// Inline: the ASCII rows call these once for every value of a file.

inline bool IsDelimiter(char c) { return c == ' ' || c == '\t' || c == '\r'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// True when the whole text, compared without case, is word.
inline bool IsWord(const char* s, const char* e, const char* word) {
    for (; s != e && *word != '\0'; ++s, ++word) {
        if ((*s | 0x20) != *word) {
            return false;
        }
    }
    return s == e && *word == '\0';
}

/// A non-finite value as writers spell it: "nan", "inf" or "infinity" in
/// any case, with or without a sign. True with the value in out.
inline bool NonFiniteText(const char* s, const char* e, float& out) {
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
inline bool NumberStart(const char*& s, const char* e) {
    if (s != e && *s == '+') {
        ++s;
    } else if (s != e && *s == '-' && e - s > 1 && s[1] != '+' && s[1] != '-') {
        return IsDigit(s[1]) || s[1] == '.';
    }
    return s != e && (IsDigit(*s) || *s == '.');
}

/// True when the whole text is one decimal number, read into d.
inline bool ParseDouble(const char* s, const char* e, double& d) {
    if (!NumberStart(s, e)) {
        return false;
    }
    const auto r = std::from_chars(s, e, d);
    return r.ec == std::errc() && r.ptr == e;
}

/// The library converts every value but the first through double to float;
/// a value beyond float is refused rather than read as infinity.
inline bool ParseNarrowed(const char* s, const char* e, float& out) {
    double d = 0.0;
    if (!ParseDouble(s, e, d)) {
        return false;
    }
    out = static_cast<float>(d);
    return std::isfinite(out);
}

/// The first value the library converts goes straight to float, rounded once;
/// outside float's range it keeps the conversion through double.
inline float ParseDirect(const char* s, const char* e, float narrowed) {
    NumberStart(s, e);
    float f = 0.0f;
    return std::from_chars(s, e, f).ec == std::errc() ? f : narrowed;
}

inline bool ParseInteger(const char* s, const char* e) {
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

inline bool ParseUnsigned(const std::string& text, std::uint64_t limit, std::uint64_t& out) {
    const char* s = text.data();
    const char* e = s + text.size();
    const auto r = std::from_chars(s, e, out);
    return s != e && IsDigit(*s) && r.ec == std::errc() && r.ptr == e && out <= limit;
}

/// One line split on the delimiters the library uses.
inline std::vector<std::string> Tokens(const char* s, const char* e) {
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

}  // namespace pcd
