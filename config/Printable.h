#pragma once

#include <cctype>
#include <string>

/// A text as one printable line: control characters are shown as \xNN, so a
/// message that quotes a stored or typed text stays one line and shows what
/// no terminal would (a line end, a tab, a NUL).
inline std::string Printable(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::iscntrl(byte)) {
            static const char* const kHex = "0123456789ABCDEF";
            line += "\\x";
            line += kHex[byte >> 4];
            line += kHex[byte & 0x0F];
        } else {
            line += c;
        }
    }
    return line;
}
