#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace kelvo_detail {

/// Hands a std::string to snprintf as its characters; other arguments pass through.
template <typename T>
auto FormatArgument(const T& value) {
    if constexpr (std::is_same_v<std::decay_t<T>, std::string>) {
        return value.c_str();
    } else {
        return value;
    }
}

}  // namespace kelvo_detail

/// printf-style formatting into a new string of any length; throws
/// std::runtime_error("Error during formatting.") when the text cannot be measured.
template <typename... Args>
std::string string_format(const std::string& format, Args... args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    // The measured length is an int; -1 (an encoding error) widens to a needed size of 0.
    const std::size_t size = static_cast<std::size_t>(
        std::snprintf(nullptr, 0, format.c_str(), kelvo_detail::FormatArgument(args)...) + 1);
    if (size == 0) {
        throw std::runtime_error("Error during formatting.");
    }
    std::unique_ptr<char[]> buffer(new char[size]);
    std::snprintf(buffer.get(), size, format.c_str(), kelvo_detail::FormatArgument(args)...);
#pragma GCC diagnostic pop
    return std::string(buffer.get(), buffer.get() + size - 1);
}
