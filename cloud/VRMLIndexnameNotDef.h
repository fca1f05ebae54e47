#pragma once

#include <exception>

/// Raised when a box is asked for by an index outside a VRML list.
class VRMLIndexnameNotDef : public std::exception {
public:
    /// "VRML Index not defined".
    const char* what() const noexcept override;
};

/// The one instance; every throw throws a copy of it.
extern const VRMLIndexnameNotDef vrmlIndexnameNotDef;
