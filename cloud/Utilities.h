#pragma once

#include <string>

#include "config/StringFormat.h"

/// Small helpers shared by the cloud writers.
class Utilities {
public:
    /// printf-style formatting into a new string, with the same rules as
    /// string_format; every file name of a cloud is made with it.
    template <typename... Args>
    static std::string StringFormat(const std::string& format, Args... args) {
        return string_format(format, args...);
    }
};
