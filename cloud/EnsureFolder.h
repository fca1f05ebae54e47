#pragma once

#include <boost/filesystem/operations.hpp>

/// Creates folder, one level only, when it is missing; the parent must exist.
/// A folder that cannot be created raises the path library's exception.
inline void EnsureFolder(const boost::filesystem::path& folder) {
    if (!boost::filesystem::exists(folder)) {
        boost::filesystem::create_directory(folder);
    }
}
