#pragma once

#include <cstddef>
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

    /// Room for this many hits, so that recording them never holds two copies.
    void reserve(std::size_t hits) { keys.reserve(hits); }
    /// Records a hit at (x, y, z); false (nothing recorded) when the point lies outside the tree.
    bool add(float x, float y, float z);
    /// Records a hit at each of `count` points, their x, y and z side by side
    /// in three arrays, as add() records them one by one; recorded[i] tells
    /// whether point i was.
    void add(const float* x, const float* y, const float* z, std::size_t count, bool* recorded);
    /// Writes every recorded cell into the tree with the value its hits give;
    /// the hits stay recorded.
    void applyTo(octomap::OcTree& tree);
    /// Writes the hits recorded, each moved to z = 0, into `footprint`, a tree
    /// of the same cell size: the tree that adding every hit at (x, y, 0)
    /// builds, without a second list of hits. The hits are gone afterwards.
    void applyFlatTo(octomap::OcTree& footprint);

private:
    void sortOnce();

    double resolutionFactor;
    std::vector<std::uint64_t> keys;  // three 16-bit cell keys packed per hit
    bool sorted = false;
};
