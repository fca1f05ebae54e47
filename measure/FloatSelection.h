#pragma once

#include <cstddef>
#include <utility>
#include <vector>

/// The value that std::nth_element would place at `rank` of the values, found
/// by counting them into buckets of their bit patterns first: for the
/// hundreds of thousands of heights of a scan's top face, a few linear
/// passes instead of a partition per level. The values are reordered; they
/// must be numbers and `rank` within them. Among equal values (0 and -0) any
/// one may be returned, as nth_element may.
float SelectFloat(std::vector<float>& values, std::size_t rank);

/// The values SelectFloat would give at ranks `low` and `high` (low <= high),
/// both from one counting pass: the two ends of the bulk of a cloud.
std::pair<float, float> SelectFloats(std::vector<float>& values, std::size_t low, std::size_t high);

/// The smallest and the largest of `count` values (at least one, all
/// numbers), as std::minmax_element finds them, from several running extremes
/// side by side instead of one chain of comparisons through them all.
std::pair<float, float> FloatRange(const float* values, std::size_t count);
