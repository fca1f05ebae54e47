#pragma once

#include "cloud/Cloud.h"

#include <iosfwd>
#include <memory>
#include <vector>

/// Owning, ordered list of the clouds a split produces: one per cluster of
/// the parent's footprint, numbered 1, 2, ... largest first.
class CloudCollection {
public:
    CloudCollection() = default;
    /// An empty collection that then splits c.
    explicit CloudCollection(Cloud c);

    CloudCollection(const CloudCollection&) = delete;
    CloudCollection& operator=(const CloudCollection&) = delete;

    /// Replaces the contents with one cloud per cluster of c's footprint (z ignored).
    void split(Cloud c);
    /// Appends a heap-allocated cloud; the collection takes ownership.
    void add(Cloud* c);
    /// Destroys all clouds.
    void clear() { clouds.clear(); }
    /// Colours and writes every cloud's PCD file.
    void save();
    /// Writes every cloud's three VRML scenes.
    void saveVolume();
    /// Writes every cloud's JSON data file.
    void saveData();
    /// Cloud i, counted from 0; throws CloudCollectionIndexnameNotDef when out of range.
    Cloud& get(int i);
    const Cloud& get(int i) const;
    /// Number of clouds held.
    int size() const { return static_cast<int>(clouds.size()); }

    friend std::ostream& operator<<(std::ostream& os, const CloudCollection& collection);

private:
    /// i as a position in clouds; throws CloudCollectionIndexnameNotDef when out of range.
    std::size_t checked(int i) const;

    std::vector<std::unique_ptr<Cloud>> clouds;
};
