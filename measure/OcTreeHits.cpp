#include "measure/OcTreeHits.h"

#include <octomap/OcTree.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr int kKeyBits = 16;
constexpr std::uint64_t kKeyMask = (std::uint64_t{1} << kKeyBits) - 1;
// Half the key range of a 16-level tree: the key of coordinate 0.
constexpr double kKeyOffset = 32768.0;

std::uint64_t Pack(const octomap::OcTreeKey& key) {
    return (std::uint64_t{key[0]} << (2 * kKeyBits)) | (std::uint64_t{key[1]} << kKeyBits) |
           std::uint64_t{key[2]};
}

octomap::OcTreeKey Unpack(std::uint64_t packed) {
    return octomap::OcTreeKey(static_cast<octomap::key_type>((packed >> (2 * kKeyBits)) & kKeyMask),
                              static_cast<octomap::key_type>((packed >> kKeyBits) & kKeyMask),
                              static_cast<octomap::key_type>(packed & kKeyMask));
}

/// Sorts packed keys by their three 16-bit fields, lowest first: a radix
/// sort, since a scan has hundreds of thousands of hits.
void RadixSortKeys(std::vector<std::uint64_t>& keys) {
    constexpr std::size_t kBuckets = std::size_t{1} << kKeyBits;
    std::vector<std::uint64_t> sorted(keys.size());
    std::vector<std::size_t> start(kBuckets);
    for (int pass = 0; pass < 3; ++pass) {
        const int shift = pass * kKeyBits;
        std::fill(start.begin(), start.end(), 0);
        for (const std::uint64_t k : keys) {
            ++start[(k >> shift) & kKeyMask];
        }
        std::size_t sum = 0;
        for (std::size_t& s : start) {
            const std::size_t count = s;
            s = sum;
            sum += count;
        }
        for (const std::uint64_t k : keys) {
            sorted[start[(k >> shift) & kKeyMask]++] = k;
        }
        keys.swap(sorted);
    }
}

/// Sorts packed keys as RadixSortKeys does. The hits of one cloud usually
/// fill a small box of cells: then each cell of the box counts its hits in
/// one pass and the keys are written back cell by cell, in order.
void SortKeys(std::vector<std::uint64_t>& keys) {
    if (keys.empty()) {
        return;
    }
    std::uint64_t lo[3] = {kKeyMask, kKeyMask, kKeyMask};
    std::uint64_t hi[3] = {0, 0, 0};
    for (const std::uint64_t k : keys) {
        for (int a = 0; a < 3; ++a) {
            const std::uint64_t field = (k >> (a * kKeyBits)) & kKeyMask;
            lo[a] = std::min(lo[a], field);
            hi[a] = std::max(hi[a], field);
        }
    }
    // Field 0 (the lowest bits) varies fastest, as in the keys' own order.
    const std::uint64_t span0 = hi[0] - lo[0] + 1;
    const std::uint64_t span1 = hi[1] - lo[1] + 1;
    const std::uint64_t cells = span0 * span1 * (hi[2] - lo[2] + 1);
    if (cells > keys.size()) {
        RadixSortKeys(keys);
        return;
    }
    const auto cellOf = [&](std::uint64_t k) {
        return (((k >> (2 * kKeyBits)) & kKeyMask) - lo[2]) * span1 * span0 +
               (((k >> kKeyBits) & kKeyMask) - lo[1]) * span0 + ((k & kKeyMask) - lo[0]);
    };
    std::vector<std::uint32_t> hits(cells, 0);
    for (const std::uint64_t k : keys) {
        ++hits[cellOf(k)];
    }
    std::size_t out = 0;
    for (std::uint64_t c = 0; c < cells; ++c) {
        if (hits[c] == 0) {
            continue;
        }
        const std::uint64_t key = ((c / (span1 * span0) + lo[2]) << (2 * kKeyBits)) |
                                  ((c / span0 % span1 + lo[1]) << kKeyBits) | (c % span0 + lo[0]);
        std::fill_n(keys.begin() + static_cast<std::ptrdiff_t>(out), hits[c], key);
        out += hits[c];
    }
}

/// The packed keys of `count` points and whether each lies within the tree,
/// with the cell arithmetic of OcTreeHits::add. Built twice, for 512-bit
/// vectors and for any processor: the points go side by side.
__attribute__((target_clones("avx512f", "default"))) void CellKeys(const float* x, const float* y,
                                                                   const float* z,
                                                                   std::size_t count, double factor,
                                                                   std::uint64_t* keys,
                                                                   bool* within) {
    for (std::size_t i = 0; i < count; ++i) {
        const double sx = std::floor(factor * x[i]) + kKeyOffset;
        const double sy = std::floor(factor * y[i]) + kKeyOffset;
        const double sz = std::floor(factor * z[i]) + kKeyOffset;
        const bool in = sx >= 0.0 && sx < 2.0 * kKeyOffset && sy >= 0.0 && sy < 2.0 * kKeyOffset &&
                        sz >= 0.0 && sz < 2.0 * kKeyOffset;
        // Only a key within the range is converted.
        const auto key = [in](double scaled) {
            return static_cast<std::uint64_t>(static_cast<std::int32_t>(in ? scaled : 0.0));
        };
        keys[i] = (key(sx) << (2 * kKeyBits)) | (key(sy) << kKeyBits) | key(sz);
        within[i] = in;
    }
}

}  // namespace

OcTreeHits::OcTreeHits(const octomap::OcTree& tree)
    : resolutionFactor(1.0 / tree.getResolution()) {}

bool OcTreeHits::add(float x, float y, float z) {
    // The same cell arithmetic as the tree's own, checked in floating point
    // first so that no far-away coordinate overflows the integer key.
    octomap::key_type k[3];
    const float coords[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        const double scaled = std::floor(resolutionFactor * coords[i]) + kKeyOffset;
        if (!(scaled >= 0.0 && scaled < 2.0 * kKeyOffset)) {
            return false;
        }
        k[i] = static_cast<octomap::key_type>(scaled);
    }
    keys.push_back(Pack(octomap::OcTreeKey(k[0], k[1], k[2])));
    sorted = false;
    return true;
}

void OcTreeHits::add(const float* x, const float* y, const float* z, std::size_t count,
                     bool* recorded) {
    constexpr std::size_t kRun = 256;
    std::uint64_t run[kRun];
    for (std::size_t from = 0; from < count; from += kRun) {
        const std::size_t n = std::min(kRun, count - from);
        CellKeys(x + from, y + from, z + from, n, resolutionFactor, run, recorded + from);
        for (std::size_t i = 0; i < n; ++i) {
            if (recorded[from + i]) keys.push_back(run[i]);
        }
    }
    sorted = false;
}

void OcTreeHits::sortOnce() {
    if (!sorted) {
        SortKeys(keys);
        sorted = true;
    }
}

void OcTreeHits::applyFlatTo(octomap::OcTree& footprint) {
    sortOnce();
    // Sorted by x, then y, then z: with one z for all, equal cells still lie
    // side by side and the order stays sorted.
    const auto ground = static_cast<std::uint64_t>(kKeyOffset);
    for (std::uint64_t& k : keys) {
        k = (k & ~kKeyMask) | ground;
    }
    applyTo(footprint);
    std::vector<std::uint64_t>().swap(keys);
    sorted = false;
}

void OcTreeHits::applyTo(octomap::OcTree& tree) {
    sortOnce();
    const float hit = tree.getProbHitLog();
    const float ceiling = tree.getClampingThresMaxLog();
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i;
        // Repeats the tree's per-hit arithmetic: add, clamp, and no change once at the ceiling.
        float logOdds = 0.0f;
        for (; j < keys.size() && keys[j] == keys[i]; ++j) {
            if (logOdds < ceiling) {
                logOdds = std::min(logOdds + hit, ceiling);
            }
        }
        tree.updateNode(Unpack(keys[i]), logOdds, false);
        i = j;
    }
}
