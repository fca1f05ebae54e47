#pragma once

#include <cstdint>
#include <vector>

namespace octomap {
class OcTree;
}  // namespace octomap

/// Occupied hits gathered for one occupancy octree and written into it in one
/// pass, one update per distinct cell.
///
/// A cell's log-odds after k hits depends only on k (the sum of k hit updates,
/// clamped), and updating without lazy evaluation keeps the tree fully pruned
/// after every update. The tree after the batch is therefore the same tree
/// that inserting every hit one by one builds, whatever the order, at the
/// cost of one tree update per cell instead of one per point.
class OcTreeHits {
public:
    /// Hits for the given tree, which fixes the cell size and the key range.
    explicit OcTreeHits(const octomap::OcTree& tree);

    /// Records a hit at (x, y, z); false (nothing recorded) when the point lies outside the tree.
    bool add(float x, float y, float z);
    /// Writes every recorded cell into the tree with the value its hits give.
    void applyTo(octomap::OcTree& tree);

private:
    double resolutionFactor;
    std::vector<std::uint64_t> keys;  // three 16-bit cell keys packed per hit
};
