#pragma once

#include <exception>

/// Thrown by CloudCollection::get for an index outside the collection.
class CloudCollectionIndexnameNotDef : public std::exception {
public:
    /// "Cloud Collection Index not defined".
    const char* what() const noexcept override;
};

/// The one instance; every throw throws a copy of it.
extern const CloudCollectionIndexnameNotDef cloudCollectionIndexnameNotDef;
