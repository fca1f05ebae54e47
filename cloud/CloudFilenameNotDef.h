#pragma once

#include <exception>

/// Raised when a cloud's file or folder is missing or was never defined.
class CloudFilenameNotDef : public std::exception {
public:
    /// "Filename not defined".
    const char* what() const noexcept override;
};

/// The one instance; every throw throws a copy of it.
extern const CloudFilenameNotDef cloudFilenameNotDef;
